// Pick list window TItem_Pick_List.
#include "app/picklists/item_pick_list.h"

namespace pavo::app::picklists {
namespace {

// This list has always kept its panel in the window's face colour.
kit::MaintenanceLayout face_coloured_panel() {
    kit::MaintenanceLayout layout;
    layout.paint_panel_lime = false;
    return layout;
}

}  // namespace

TItem_Pick_List::TItem_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Item_Pick_List", "Item Pick List", "table_item", "ds_item", {753, 361},
                     {176, 0, 577, 361}, face_coloured_panel()) {}

}  // namespace pavo::app::picklists
