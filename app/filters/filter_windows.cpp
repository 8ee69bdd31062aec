// Opening the filter windows.
#include "app/filters/filter_windows.h"

#include <memory>

#include "app/filters/tfltr_jsearch.h"
#include "app/filters/tfltr_pavoden2.h"
#include "app/kit/ui_seam.h"

namespace pavo::app::filters {

void open_filter_window(QWidget* owner, FilterTarget target) {
    std::unique_ptr<FilterWindow> window;
    if (target == FilterTarget::kPayments) {
        window = std::make_unique<Tfltr_pavoden2>(owner);
    } else {
        window = std::make_unique<Tfltr_jsearch>(owner);
    }
    kit::run_modal(*window);
}

}  // namespace pavo::app::filters
