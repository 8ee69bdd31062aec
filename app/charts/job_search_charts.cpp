// The charts window: tab pages, gathering the charts without disturbing the shared datasets, and
// the per-chart commands.
#include "app/charts/job_search_charts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSizeGrip>
#include <QVBoxLayout>

#include "app/charts/chart_builder.h"
#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/error.h"
#include "store/data_module.h"
#include "utility/tkit.h"

namespace pavo::app::charts {

using kit::data_module;

namespace {

QString name_for(const char* prefix, records::ChartKind kind) {
    return QString::fromLatin1(prefix) + QString::fromLatin1(records::chart_word(kind));
}

// What a window relies on in a shared dataset: its order, filter and current record. Whatever a
// chart's gathering does, the dataset is put back as it was when this ends, also after an error.
class KeepView {
  public:
    explicit KeepView(tables::Table& t)
        : t_(t),
          active_(t.active()),
          index_name_(t.index_name()),
          index_fields_(t.index_field_names()),
          filter_(t.filter()),
          filtered_(t.filtered()),
          nocase_(t.filter_case_insensitive()),
          mark_(active_ ? t.bookmark() : tables::Bookmark{}) {}
    ~KeepView() {
        try {
            restore();
        } catch (const std::exception&) {
            // The error that ended the gathering is the one the user sees.
        }
    }
    KeepView(const KeepView&) = delete;
    KeepView& operator=(const KeepView&) = delete;

  private:
    void restore() {
        if (!active_) return;
        if (!t_.active()) t_.open();
        if (t_.index_field_names() != index_fields_ || t_.index_name() != index_name_) {
            if (!index_fields_.empty())
                t_.set_index_field_names(index_fields_);
            else
                t_.set_index_name(index_name_);
        }
        if (t_.filter() != filter_) t_.set_filter(filter_);
        if (t_.filter_case_insensitive() != nocase_) t_.set_filter_case_insensitive(nocase_);
        if (t_.filtered() != filtered_) t_.set_filtered(filtered_);
        if (mark_.valid() && t_.bookmark().row != mark_.row && t_.bookmark_valid(mark_))
            t_.goto_bookmark(mark_);
    }

    tables::Table& t_;
    bool active_;
    std::string index_name_, index_fields_, filter_;
    bool filtered_, nocase_;
    tables::Bookmark mark_;
};

}  // namespace

const char* chart_tab_caption(records::ChartKind kind) {
    switch (kind) {
        case records::ChartKind::kMonth:
            return "By month";
        case records::ChartKind::kReasons:
            return "Why not submitted";
        case records::ChartKind::kTitles:
            return "By title category";
        case records::ChartKind::kStates:
            return "By state";
    }
    return "";
}

ChartPage::ChartPage(QWidget* parent, records::ChartKind kind) : QWidget(parent), kind_(kind) {
    setObjectName(name_for("tab_", kind));
    data_.kind = kind;

    lbl_notice = new QLabel(this);
    lbl_notice->setObjectName(name_for("lbl_notice_", kind));
    lbl_notice->setWordWrap(true);
    lbl_notice->hide();

    chart_view = new QChartView(this);
    chart_view->setObjectName(name_for("chart_", kind));
    chart_view->setRenderHint(QPainter::Antialiasing);
    chart_view->setMinimumSize(400, 250);
    chart_view->setAccessibleName(kit::q(chart_tab_caption(kind)) + " chart");

    grid_numbers = new QTableWidget(this);
    grid_numbers->setObjectName(name_for("grid_", kind));
    grid_numbers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_numbers->setAccessibleName(kit::q(chart_tab_caption(kind)) + " numbers");
    grid_numbers->verticalHeader()->hide();
    grid_numbers->horizontalHeader()->setStretchLastSection(true);
    grid_numbers->hide();

    btn_save_picture = new QPushButton("Save Picture", this);
    btn_save_picture->setObjectName(name_for("btn_save_", kind));
    btn_copy_table = new QPushButton("Copy Table", this);
    btn_copy_table->setObjectName(name_for("btn_copy_", kind));
    chk_show_numbers = new QCheckBox("Show Numbers", this);
    chk_show_numbers->setObjectName(name_for("chk_numbers_", kind));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_save_picture);
    buttons->addWidget(btn_copy_table);
    buttons->addWidget(chk_show_numbers);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(lbl_notice);
    column->addWidget(chart_view, 3);
    column->addWidget(grid_numbers, 1);
    column->addLayout(buttons);

    connect(btn_save_picture, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_save_pictureClick(); }); });
    connect(btn_copy_table, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_copy_tableClick(); }); });
    connect(chk_show_numbers, &QCheckBox::toggled, this,
            [this](bool on) { kit::guarded(this, [this, on] { chk_show_numbersClick(on); }); });

    show_data(data_);
}

void ChartPage::show_data(const records::ChartData& data) {
    data_ = data;
    // The view owns the new chart but hands the old one back rather than deleting it.
    QChart* old = chart_view->chart();
    chart_view->setChart(build_chart(data_).release());
    delete old;

    lbl_notice->setText(kit::q(data_.notice));
    lbl_notice->setVisible(!data_.notice.empty());

    grid_numbers->clear();
    QStringList headings{kit::q(data_.label_heading)};
    for (const auto& s : data_.series) headings << kit::q(s);
    grid_numbers->setColumnCount(static_cast<int>(headings.size()));
    grid_numbers->setHorizontalHeaderLabels(headings);
    grid_numbers->setRowCount(static_cast<int>(data_.bars.size()));
    long long total = 0;
    for (std::size_t r = 0; r < data_.bars.size(); ++r) {
        const records::ChartBar& bar = data_.bars[r];
        auto* label = new QTableWidgetItem(kit::q(bar.label));
        label->setToolTip(kit::q(bar.label));
        grid_numbers->setItem(static_cast<int>(r), 0, label);
        for (std::size_t s = 0; s < data_.series.size(); ++s) {
            const long long v = s < bar.values.size() ? bar.values[s] : 0;
            total += v;
            auto* item = new QTableWidgetItem(QString::number(v));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            // What a screen reader says for the bar: its label, series and count.
            item->setData(Qt::AccessibleDescriptionRole, kit::q(bar.label) + ", " +
                                                             kit::q(data_.series[s]).toLower() +
                                                             ": " + QString::number(v));
            grid_numbers->setItem(static_cast<int>(r), static_cast<int>(s) + 1, item);
        }
    }
    grid_numbers->resizeColumnsToContents();
    chart_view->setAccessibleDescription(
        data_.empty() ? QString::fromLatin1(kNoRecordsText)
                      : QStringLiteral("%1 bars, %2 records; Show Numbers lists them")
                            .arg(data_.bars.size())
                            .arg(total));
}

void ChartPage::btn_save_pictureClick() {
    const std::string name = records::chart_file_name(kind_, tkit_yyyy_mm_dd_hh_mm_ss());
    save_chart_png(data_, name);
    last_picture_ = name;
    kit::message_box(this, "MESSAGE", "The chart was saved to the file:\n" + name,
                     kit::Buttons::kOk);
}

void ChartPage::btn_copy_tableClick() {
    QStringList lines;
    for (const auto& line : records::chart_tab_lines(data_)) lines << kit::q(line);
    QGuiApplication::clipboard()->setText(lines.join('\n') + '\n');
}

void ChartPage::chk_show_numbersClick(bool on) {
    grid_numbers->setVisible(on);
}

TJob_Search_Charts::TJob_Search_Charts(QWidget* owner)
    : KitWindow(owner, "Job_Search_Charts", "Job Search Charts", {1000, 700}, {}, true) {
    store::DataModule& dm = data_module();
    tables_ = {&dm.table_jsearch2, &dm.table_stat_jt, &dm.table_stat_st};

    // Unlike the fixed record windows, the charts follow the window's size.
    setMinimumSize(640, 480);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    TabControl1 = new QTabWidget(this);
    TabControl1->setObjectName("TabControl1");
    for (records::ChartKind kind : records::kChartKinds) {
        auto* p = new ChartPage(TabControl1, kind);
        pages_[static_cast<std::size_t>(kind)] = p;
        TabControl1->addTab(p, kit::q(chart_tab_caption(kind)));
    }
    btn_refresh = new QPushButton("Refresh", this);
    btn_refresh->setObjectName("btn_refresh");
    btn_close = new QPushButton("Close", this);
    btn_close->setObjectName("btn_close");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btn_refresh);
    buttons->addWidget(btn_close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(TabControl1, 1);
    column->addLayout(buttons);

    connect(btn_refresh, &QPushButton::clicked, this, [this] { refresh_charts(); });
    connect(btn_close, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_closeClick(); }); });
}

void TJob_Search_Charts::FormActivate() {
    refresh_charts();
}

void TJob_Search_Charts::refresh_charts() {
    for (ChartPage* p : pages_) {
        // Each chart on its own: statistics that cannot be read leave the month chart standing.
        const bool ok = kit::guarded(this, [&] {
            KeepView keep(*tables_.jobs);
            p->show_data(records::gather_chart(p->kind(), tables_));
        });
        if (!ok) {
            records::ChartData empty;
            empty.kind = p->kind();
            p->show_data(empty);
        }
    }
}

void TJob_Search_Charts::btn_closeClick() {
    close_window();
}

}  // namespace pavo::app::charts
