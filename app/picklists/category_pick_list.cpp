// Pick list window TCategory_Pick_List.
#include "app/picklists/category_pick_list.h"

namespace pavo::app::picklists {

TCategory_Pick_List::TCategory_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Category_Pick_List", "Category Pick List", "table_category",
                     "ds_category") {}

}  // namespace pavo::app::picklists
