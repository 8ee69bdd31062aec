// Pick list window TItem_Pick_List.
#include "app/picklists/item_pick_list.h"

namespace pavo::app::picklists {

TItem_Pick_List::TItem_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Item_Pick_List", "Item Pick List", "table_item", "ds_item") {
    // This list has always kept its panel in the window's face colour.
    paint_panel_lime_ = false;
}

}  // namespace pavo::app::picklists
