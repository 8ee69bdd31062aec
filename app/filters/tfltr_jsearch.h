// The filter window over the job-search records (table_jsearch2, compared case-insensitively).
#pragma once

#include "app/filters/filter_window.h"

namespace pavo::app::filters {

class Tfltr_jsearch : public FilterWindow {
    Q_OBJECT
  public:
    // Throws pavo::Error when the shared datasets are not open.
    explicit Tfltr_jsearch(QWidget* owner);
};

}  // namespace pavo::app::filters
