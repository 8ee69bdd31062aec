// Pick list window TComment_JS_Pick_List.
#include "app/picklists/comment_js_pick_list.h"

namespace pavo::app::picklists {

TComment_JS_Pick_List::TComment_JS_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Comment_JS_Pick_List", "Job Search Comments Pick List",
                     "table_comment_js", "ds_comment_js") {}

}  // namespace pavo::app::picklists
