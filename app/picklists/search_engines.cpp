// Pick list window TSearch_Engines: shorter than the others, and Add waits for the pending row.
#include "app/picklists/search_engines.h"

namespace pavo::app::picklists {
namespace {

kit::MaintenanceLayout add_waits_in_edit() {
    kit::MaintenanceLayout layout;
    layout.add_disabled_in_edit = true;
    return layout;
}

}  // namespace

TSearch_Engines::TSearch_Engines(QWidget* owner)
    : PickListWindow(owner, "Search_Engines", "Search Engines Pick List", "table_sengine",
                     "ds_sengine", {753, 305}, {184, 8, 561, 289}, add_waits_in_edit()) {}

}  // namespace pavo::app::picklists
