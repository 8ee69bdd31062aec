// Pick list window TContact_Name_Pick_List: The contact names, shared by payments and job searches
// (CONTACT_NAME).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TContact_Name_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TContact_Name_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
