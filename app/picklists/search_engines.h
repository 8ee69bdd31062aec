// Pick list window TSearch_Engines: The job boards (SEARCH_ENGINE).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TSearch_Engines : public PickListWindow {
    Q_OBJECT
  public:
    explicit TSearch_Engines(QWidget* owner);
};

}  // namespace pavo::app::picklists
