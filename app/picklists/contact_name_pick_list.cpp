// Pick list window TContact_Name_Pick_List.
#include "app/picklists/contact_name_pick_list.h"

namespace pavo::app::picklists {

TContact_Name_Pick_List::TContact_Name_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Contact_Name_Pick_List", "Contact Name Pick List",
                     "table_contact_name", "ds_Contact_Name") {}

}  // namespace pavo::app::picklists
