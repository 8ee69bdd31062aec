// The job-search filter window.
#include "app/filters/tfltr_jsearch.h"

#include "records/filter_lists.h"

namespace pavo::app::filters {

Tfltr_jsearch::Tfltr_jsearch(QWidget* owner)
    : FilterWindow(owner, "Tfltr_jsearch", "table_jsearch2", records::kJobSearchFilterList,
                   "FILTER JOB SEARCH") {}

}  // namespace pavo::app::filters
