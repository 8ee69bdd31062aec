// Pick list window TPosition_Title_Pick_List: The position titles (POS_TITLE).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TPosition_Title_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TPosition_Title_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
