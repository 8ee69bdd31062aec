// Pick list window TCarrier_Pick_List: The carriers a payment travels by (CARRIER).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TCarrier_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TCarrier_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
