// Pick list window TItem_Pick_List.
#include "app/picklists/item_pick_list.h"

namespace pavo::app::picklists {

TItem_Pick_List::TItem_Pick_List(QWidget* owner)
    // This list has always kept its panel in the window's face colour.
    : PickListWindow(owner, "Item_Pick_List", "Item Pick List", "table_item", "ds_item", {753, 361},
                     {176, 0, 577, 361}, kit::MaintenanceLayout{.paint_panel_lime = false}) {}

}  // namespace pavo::app::picklists
