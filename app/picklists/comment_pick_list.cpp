// Pick list window TComment_Pick_List.
#include "app/picklists/comment_pick_list.h"

namespace pavo::app::picklists {

TComment_Pick_List::TComment_Pick_List(QWidget* owner)
    : PickListWindow(owner, "Comment_Pick_List", "Comments Pick List", "table_comment",
                     "ds_comment") {}

}  // namespace pavo::app::picklists
