// Opening the filter windows from the menu, the record windows and the reports.
#pragma once

#include <QWidget>

namespace pavo::app::filters {

enum class FilterTarget { kPayments, kJobSearch };

// Opens Tfltr_pavoden2 or Tfltr_jsearch modally over owner; returns when it closes. The window is
// created for this opening and destroyed when it closes. Errors of its commands are shown inside
// it; this call throws pavo::Error only when the shared datasets are not open.
void open_filter_window(QWidget* owner, FilterTarget target);

}  // namespace pavo::app::filters
