// Pick list window TPosition_Code_Pick_List: The position codes (POS_CODE, POS_DESC).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TPosition_Code_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TPosition_Code_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
