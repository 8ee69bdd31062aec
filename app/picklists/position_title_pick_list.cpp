// Pick list window TPosition_Title_Pick_List.
#include "app/picklists/position_title_pick_list.h"

namespace pavo::app::picklists {

TPosition_Title_Pick_List::TPosition_Title_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Position_Title_Pick_List", "Position Title Pick List",
                     "table_position_title", "ds_table_position_title") {}

}  // namespace pavo::app::picklists
