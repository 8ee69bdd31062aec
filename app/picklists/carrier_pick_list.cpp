// Pick list window TCarrier_Pick_List.
#include "app/picklists/carrier_pick_list.h"

namespace pavo::app::picklists {

TCarrier_Pick_List::TCarrier_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Carrier_Pick_List", "Carrier Pick List", "table_carrier",
                     "ds_carrier") {}

}  // namespace pavo::app::picklists
