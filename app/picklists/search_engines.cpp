// Pick list window TSearch_Engines: shorter than the others, and Add waits for the pending row.
#include "app/picklists/search_engines.h"

namespace pavo::app::picklists {

TSearch_Engines::TSearch_Engines(QWidget* owner)
    : PickListWindow(owner, "Search_Engines", "Search Engines Pick List", "table_sengine",
                     "ds_sengine", {753, 305}, {184, 8, 561, 289},
                     kit::MaintenanceLayout{.add_disabled_in_edit = true}) {}

}  // namespace pavo::app::picklists
