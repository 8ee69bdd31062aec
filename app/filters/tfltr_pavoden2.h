// The filter window over the payment records (table_pavoden, compared case-sensitively).
#pragma once

#include "app/filters/filter_window.h"

namespace pavo::app::filters {

class Tfltr_pavoden2 : public FilterWindow {
    Q_OBJECT
  public:
    // Throws pavo::Error when the shared datasets are not open.
    explicit Tfltr_pavoden2(QWidget* owner);
};

}  // namespace pavo::app::filters
