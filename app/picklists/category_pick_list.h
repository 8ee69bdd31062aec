// Pick list window TCategory_Pick_List: The payment categories (CATEGORY).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TCategory_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TCategory_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
