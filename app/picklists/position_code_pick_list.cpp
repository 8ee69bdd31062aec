// Pick list window TPosition_Code_Pick_List.
#include "app/picklists/position_code_pick_list.h"

namespace pavo::app::picklists {

TPosition_Code_Pick_List::TPosition_Code_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Position_Code_Pick_List", "Position Code Pick List",
                     "table_position_code", "ds_position_code") {}

}  // namespace pavo::app::picklists
