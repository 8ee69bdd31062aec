// Pick list window TComment_Pick_List: The payment comments (COMMENT).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TComment_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TComment_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
