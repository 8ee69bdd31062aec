// Pick list window TReason_Pick_List.
#include "app/picklists/reason_pick_list.h"

namespace pavo::app::picklists {

TReason_Pick_List::TReason_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Reason_Pick_List", "Reason Not Submitted Pick List", "table_reason",
                     "ds_reason") {}

}  // namespace pavo::app::picklists
