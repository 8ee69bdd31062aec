// Pick list window TComment_JS_Pick_List: The job-search comments (COMMENT).
#pragma once

#include "app/picklists/pick_list_window.h"

namespace pavo::app::picklists {

class TComment_JS_Pick_List : public PickListWindow {
    Q_OBJECT
  public:
    explicit TComment_JS_Pick_List(QWidget* owner);
};

}  // namespace pavo::app::picklists
