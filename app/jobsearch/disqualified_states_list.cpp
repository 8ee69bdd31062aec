// The disqualified states window: the grid over STATS_ST.DB and its Save.
#include "app/jobsearch/disqualified_states_list.h"

#include <cctype>

#include "app/kit/data_source.h"
#include "platform/error.h"
#include "store/data_module.h"

namespace pavo::app::jobsearch {

using kit::data_module;

TJob_Search_Disqualified_States_List::TJob_Search_Disqualified_States_List(QWidget* owner)
    : MaintenanceWindow(owner, "Job_Search_Disqualified_States_List", "", {753, 361},
                        "Disqualified states"),
      states_(data_module().table_stat_st) {
    auto* ds = new kit::DataSource(&states_, this, "ds_stat_st");
    set_data_source(ds);
    DBGrid1 = new kit::DBGrid(this, "DBGrid1", ds);
    DBGrid1->setGeometry(176, 0, 577, 361);
    DBGrid1->setAccessibleName("Disqualified states");
    set_columns(false);
}

void TJob_Search_Disqualified_States_List::set_columns(bool editing) {
    std::optional<QColor> kept;
    if (editing) kept = QColor(Qt::yellow);
    DBGrid1->set_columns({{"STATE", "", 80, {}, {}, false, false},
                          {"COUNT", "", 90, {}, kept, true, true},
                          {"PERCENTAGE", "", 110, {}, kept, true, true},
                          {"AS_OF_DATE", "", 110, {}, kept, true, true}});
}

void TJob_Search_Disqualified_States_List::flds_normal() {
    set_columns(false);
}

void TJob_Search_Disqualified_States_List::flds_edit() {
    set_columns(true);
}

void TJob_Search_Disqualified_States_List::btn_saveClick() {
    tables::Field state = states_.field("STATE");
    std::string text = state.as_string();
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (text != state.as_string()) state.set_as_string(text);
    MaintenanceWindow::btn_saveClick();
}

}  // namespace pavo::app::jobsearch
