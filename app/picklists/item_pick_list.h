// Pick list window TItem_Pick_List: The payment items (ITEM).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TItem_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TItem_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
