// Pick list window TReason_Pick_List: The reasons an application was not submitted (REASON).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TReason_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TReason_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
