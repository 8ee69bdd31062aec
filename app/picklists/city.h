// Pick list window TCity: The cities of job searches (CITY), through a dataset of the window's own.
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TCity : public PickListWindow {
    Q_OBJECT
  public:
    explicit TCity(QWidget* owner);
};

}  // namespace pavo::app::picklists
