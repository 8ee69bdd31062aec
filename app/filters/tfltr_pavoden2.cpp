// The payment filter window.
#include "app/filters/tfltr_pavoden2.h"

#include "records/filter_lists.h"

namespace pavo::app::filters {

Tfltr_pavoden2::Tfltr_pavoden2(QWidget* owner)
    : FilterWindow(owner, "Tfltr_pavoden2", "table_pavoden", records::kPaymentFilterList,
                   "FILTER OSTRAND RECORDS") {}

}  // namespace pavo::app::filters
