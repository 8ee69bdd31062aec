// The disqualified job titles window: the grid over STATS_JT.DB, its Save and Find Category.
#include "app/jobsearch/disq_titles_list.h"

#include "app/kit/data_source.h"
#include "app/kit/ui_seam.h"
#include "platform/error.h"
#include "records/job_search_edits.h"
#include "store/data_module.h"

namespace pavo::app::jobsearch {

using kit::data_module;

namespace {

kit::MaintenanceLayout titles_layout() {
    kit::MaintenanceLayout l;
    l.add_disabled_in_edit = true;
    return l;
}

}  // namespace

TJob_Search_Disq_Titles_List::TJob_Search_Disq_Titles_List(QWidget* owner)
    : MaintenanceWindow(owner, "Job_Search_Disq_Titles_List", "", {753, 400},
                        "Disqualified job titles", titles_layout()),
      stats_(data_module().table_stat_jt) {
    auto* ds = new kit::DataSource(&stats_, this, "ds_stat_jt");
    set_data_source(ds);
    DBGrid1 = new kit::DBGrid(this, "DBGrid1", ds);
    DBGrid1->setGeometry(176, 0, 577, 400);
    DBGrid1->setAccessibleName("Disqualified job titles");
    set_columns(false);

    fld_find = new QLineEdit(Panel1);
    fld_find->setObjectName("fld_find");
    fld_find->setAccessibleName("Category to find");
    fld_find->setGeometry(8, Panel1->height() - 62, 161, 22);
    btn_find = new QPushButton("Find Category", Panel1);
    btn_find->setObjectName("btn_find");
    btn_find->setAutoDefault(false);
    btn_find->setGeometry(15, Panel1->height() - 34, 147, 25);
    connect(btn_find, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_findClick(); }); });
    connect(fld_find, &QLineEdit::returnPressed, this,
            [this] { kit::guarded(this, [this] { btn_findClick(); }); });
}

TJob_Search_Disq_Titles_List::~TJob_Search_Disq_Titles_List() {
    try {
        if (stats_.state() == tables::DatasetState::kEdit ||
            stats_.state() == tables::DatasetState::kInsert)
            stats_.cancel();
        records::restore_title_order(stats_);
    } catch (const std::exception&) {
        // A dataset that cannot be reopened says so to the next window that uses it.
    }
}

void TJob_Search_Disq_Titles_List::set_columns(bool editing) {
    std::optional<QColor> kept;
    if (editing) kept = QColor(Qt::yellow);
    DBGrid1->set_columns({{"ORDER", "", 60, {}, {}, false, true},
                          {"CATEGORY", "", 190, {}, {}, false, false},
                          {"COUNT", "", 70, {}, kept, true, true},
                          {"PERCENTAGE", "", 90, {}, kept, true, true},
                          {"REASON_NOT_SUBMITTED", "", 150, {}, {}, false, false}});
}

void TJob_Search_Disq_Titles_List::flds_normal() {
    set_columns(false);
    fld_find->setEnabled(true);
    fld_find->show();
    btn_find->setEnabled(true);
    btn_find->show();
}

void TJob_Search_Disq_Titles_List::flds_edit() {
    set_columns(true);
    fld_find->setEnabled(false);
    fld_find->hide();
    btn_find->setEnabled(false);
    btn_find->hide();
}

void TJob_Search_Disq_Titles_List::btn_saveClick() {
    const records::TitleSave saved = records::save_title_category(stats_);
    btns_normal();
    flds_normal();
    if (saved == records::TitleSave::kNeedsOrder) btn_editClick();
}

void TJob_Search_Disq_Titles_List::btn_findClick() {
    records::find_category(stats_, fld_find->text().toStdString());
}

}  // namespace pavo::app::jobsearch
