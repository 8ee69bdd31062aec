// The main window: start-up reads, the menu, the exit prompt, Change Databases and the backup
// bracket around the two record-maintenance windows.
#include "app/shell/main_screen.h"

#include <QCoreApplication>
#include <QMenu>
#include <vector>

#include "app/kit/pictures.h"
#include "app/kit/ui_seam.h"
#include "app/shell/window_registry.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "store/data_module.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::app::shell {

using kit::Answer;
using kit::Buttons;

namespace {

MainScreen* g_instance = nullptr;

ArchiveControlFactory& factory_slot() {
    static ArchiveControlFactory f;
    return f;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

void set_archive_control_factory(ArchiveControlFactory factory) {
    factory_slot() = std::move(factory);
}
const ArchiveControlFactory& archive_control_factory() {
    return factory_slot();
}

struct MainScreen::Entry {
    std::vector<const char*> path;  // submenu item names from the bar down
    const char* caption;
    const char* name;
    void (MainScreen::*handler)();
    const char* needs;  // window class, "cmd" for a registered command, nullptr for none
};

MainScreen::MainScreen(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Main_Screen2");
    setFixedSize(546, 310);
    register_builtin_windows();

    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 537, 237);
    Image1->setScaledContents(true);
    Image1->setPixmap(kit::banner_picture(QSize(537, 237)));
    Image1->setAccessibleName("Pavoden banner");
    Label1 = new QLabel(client);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 241, 530, 20);
    build_menu();

    // Reading the alias comes first: without it the program cannot start.
    refresh_label();
    setWindowTitle(q(kCaptionPrefix + tkit_Get_Versioning_Info("FileVersion")));
    setAccessibleName(windowTitle());
    if (archive_control_factory()) arcvane_ = archive_control_factory()(this);
    g_instance = this;
}

MainScreen::~MainScreen() {
    if (g_instance == this) g_instance = nullptr;
}

MainScreen* MainScreen::instance() {
    return g_instance;
}

void MainScreen::build_menu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");
    MainMenu1->setNativeMenuBar(false);
    struct Sub {
        const char* name;
        const char* caption;
        const char* parent;
    };
    static const Sub subs[] = {
        {"Databases1", "Databases", nullptr},
        {"PaymentRecords1", "Payment Records", "Databases1"},
        {"JobSearchRecords1", "Job Search Records", "Databases1"},
        {"PickLists1", "Pick Lists", "Databases1"},
        {"PaymentRecords2", "Payment Records", "PickLists1"},
        {"JobSearch1", "Job Search", "PickLists1"},
        {"Reports1", "Reports", nullptr},
        {"JobSearch2", "Job Search", "Reports1"},
        {"Utilities1", "Utilities", nullptr},
    };
    using M = MainScreen;
    static const Entry entries[] = {
        {{}, "Exit", "Exit1", &M::Exit1Click, nullptr},
        {{"PaymentRecords1"},
         "Filter Payment Records",
         "FilterPaymentRecords1",
         &M::FilterPaymentRecords1Click,
         "Tfltr_pavoden2"},
        {{"PaymentRecords1"},
         "Maintain Payment Records",
         "MaintainPaymentRecords1",
         &M::MaintainPaymentRecords1Click,
         "TOstrand_Records"},
        {{"JobSearchRecords1"},
         "Filter Job Search Records",
         "FilterJobSearchRecords2",
         &M::FilterJobSearchRecords2Click,
         "Tfltr_jsearch"},
        {{"JobSearchRecords1"},
         "Maintain Job Search Records",
         "MaintainJobSearchRecords1",
         &M::MaintainJobSearchRecords1Click,
         "TJob_Search"},
        {{"JobSearchRecords1"},
         "Job Search Edits/Imports",
         "JobSearchEditsImports1",
         &M::JobSearchEditsImports1Click,
         "Tjob_search_import_edits_form"},
        {{"JobSearchRecords1"},
         "Update Statistics",
         "UpdateStatistics1",
         &M::UpdateStatistics1Click,
         "Tstatistics_update"},
        {{"PaymentRecords2"}, "Carrier", "Carrier1", &M::Carrier1Click, "TCarrier_Pick_List"},
        {{"PaymentRecords2"}, "Category", "Category1", &M::Category1Click, "TCategory_Pick_List"},
        {{"PaymentRecords2"}, "Comments", "Comments2", &M::Comments2Click, "TComment_Pick_List"},
        {{"PaymentRecords2"},
         "Contact Name",
         "ContactName1",
         &M::ContactName1Click,
         "TContact_Name_Pick_List"},
        {{"PaymentRecords2"}, "Item", "Item1", &M::Item1Click, "TItem_Pick_List"},
        {{"JobSearch1"}, "City", "City1", &M::City1Click, "TCity"},
        {{"JobSearch1"}, "Comments", "Comments1", &M::Comments1Click, "TComment_JS_Pick_List"},
        {{"JobSearch1"},
         "Contact Name",
         "ContactName2",
         &M::ContactName2Click,
         "TContact_Name_Pick_List"},
        {{"JobSearch1"},
         "Disqualified Job Titles",
         "DisqualifiedJobTitles1",
         &M::DisqualifiedJobTitles1Click,
         "TJob_Search_Disq_Titles_List"},
        {{"JobSearch1"},
         "Disqualified States",
         "DisqualifiedStates1",
         &M::DisqualifiedStates1Click,
         "TJob_Search_Disqualified_States_List"},
        {{"JobSearch1"},
         "Job Title Edits",
         "JobTitleEdits1",
         &M::JobTitleEdits1Click,
         "TJob_Title_Edit"},
        {{"JobSearch1"},
         "Position Code",
         "PositionCode1",
         &M::PositionCode1Click,
         "TPosition_Code_Pick_List"},
        {{"JobSearch1"},
         "Position Title",
         "PositionTitle1",
         &M::PositionTitle1Click,
         "TPosition_Title_Pick_List"},
        {{"JobSearch1"},
         "Reason Not Submitted",
         "ReasonNotSubmitted1",
         &M::ReasonNotSubmitted1Click,
         "TReason_Pick_List"},
        {{"JobSearch1"},
         "Search Engines",
         "SearchEngines1",
         &M::SearchEngines1Click,
         "TSearch_Engines"},
        {{"Databases1"}, "ZIP Databases", "ZIPDatabases1", &M::ZIPDatabases1Click, "cmd"},
        {{"Databases1"}, "UNZIP Databases", "UNZIPDatabases1", &M::UNZIPDatabases1Click, "cmd"},
        {{"Reports1"}, "Payments", "Payments1", &M::Payments1Click, "TPayments_Report"},
        {{"JobSearch2"}, "All Jobs", "AllJobs1", &M::AllJobs1Click, "TJob_Search_Report"},
        {{"JobSearch2"},
         "Disqualified By State",
         "DisqualifiedByState1",
         &M::DisqualifiedByState1Click,
         "TJob_Search_Stats_Job_State"},
        {{"JobSearch2"},
         "Disqualified By Title",
         "DisqualifiedByTitle1",
         &M::DisqualifiedByTitle1Click,
         "TJob_Search_Stats_Job_Title"},
        {{"JobSearch2"}, "Charts", "Charts1", &M::Charts1Click, "TJob_Search_Charts"},
        {{"Utilities1"},
         "Create Databases",
         "CreateDatabases1",
         &M::CreateDatabases1Click,
         "TCreate_Tables"},
        {{"Utilities1"},
         "Change Databases",
         "ChangeDatabases1",
         &M::ChangeDatabases1Click,
         nullptr},
        {{"Utilities1"},
         "Configuration",
         "Configuration1",
         &M::Configuration1Click,
         "TConfiguration"},
        {{"Utilities1"}, "Table Conversion", "TableConversion1", &M::TableConversion1Click, "cmd"},
        {{"Utilities1"},
         "Migrate Old Tables",
         "MigrateOldTables1",
         &M::MigrateOldTables1Click,
         "TMigrate_Tables"},
    };

    std::map<std::string, QMenu*> menus;
    // The bar's order is Exit, Databases, Reports, Utilities; Exit is an action of its own.
    const Entry& exit_entry = entries[0];
    QAction* exit = MainMenu1->addAction(exit_entry.caption);
    exit->setObjectName(exit_entry.name);
    connect(exit, &QAction::triggered, this,
            [this] { kit::guarded(this, [this] { Exit1Click(); }); });
    items_[exit_entry.name] = exit;
    for (const Sub& s : subs) {
        QMenu* m = s.parent ? menus[s.parent]->addMenu(s.caption) : MainMenu1->addMenu(s.caption);
        m->setObjectName(s.name);
        m->menuAction()->setObjectName(s.name);
        menus[s.name] = m;
    }
    // The submenus exist before any action is added, so in Databases they come ahead of the ZIP
    // commands as on the bar.
    for (std::size_t i = 1; i < std::size(entries); ++i) {
        const Entry& e = entries[i];
        QMenu* m = menus[e.path.front()];
        QAction* a = m->addAction(e.caption);
        a->setObjectName(e.name);
        const auto handler = e.handler;
        connect(a, &QAction::triggered, this,
                [this, handler] { kit::guarded(this, [&] { (this->*handler)(); }); });
        items_[e.name] = a;
        if (e.needs)
            needs_[e.name] = std::string(e.needs) == "cmd" ? "cmd:" + std::string(e.name) : e.needs;
    }
    refresh_menu();
}

void MainScreen::refresh_menu() {
    for (const auto& [name, need] : needs_) {
        const bool present = need.rfind("cmd:", 0) == 0 ? find_command(need.substr(4)) != nullptr
                                                        : find_window(need) != nullptr;
        items_[name]->setEnabled(present);
    }
}

QAction* MainScreen::item(const std::string& name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : it->second;
}

void MainScreen::refresh_label() {
    const std::vector<std::string> params = AliasConfig::current().params("PAVODEN2");
    Label1->setText(params.empty() ? QString() : q(to_lower(params.front())));
    Label1->setAccessibleName(Label1->text());
}

void MainScreen::not_available(const std::string& what) {
    kit::message_box(this, "MESSAGE", what + kNotAvailableText, Buttons::kOk);
}

void MainScreen::open_window(const std::string& class_name) {
    const WindowFactory* factory = find_window(class_name);
    if (!factory) {
        not_available("The window " + class_name);
        return;
    }
    std::unique_ptr<QDialog> window = (*factory)(this);
    kit::run_modal(*window);
}

void MainScreen::run_command(const std::string& item_name, const std::string& what) {
    const MainCommand* command = find_command(item_name);
    if (!command) {
        not_available(what);
        return;
    }
    (*command)(*this);
}

bool MainScreen::auto_zip_on() {
    tables::Field f = store::DataModule::instance()->table_config.field("AUTO_ZIP");
    const std::string text = f.type() == tables::FieldType::kBoolean && !f.is_null()
                                 ? format_bool(f.as_boolean())
                                 : f.as_string();
    return text == "True";
}

void MainScreen::backup_bracket(const std::string& class_name) {
    store::DataModule* dm = store::DataModule::instance();
    if (!dm) throw Error(ErrorKind::kInternal, "The shared datasets are not open");
    // Reopened so that a value saved by the configuration window in this run is seen.
    dm->table_config.close();
    dm->table_config.open();
    if (auto_zip_on() &&
        kit::message_box(this, "MESSAGE", kAutoZipBeforeText, Buttons::kYesNo) == Answer::kYes)
        zip_databases();
    open_window(class_name);
    if (auto_zip_on() &&
        kit::message_box(this, "MESSAGE", kAutoZipAfterText, Buttons::kYesNo) == Answer::kYes)
        zip_databases();
}

void MainScreen::zip_databases() {
    run_command("ZIPDatabases1", "ZIP Databases");
}

void MainScreen::Exit1Click() {
    if (kit::message_box(this, "PROGRAM TERMINATION REQUESTED", "Do you really want to exit??\n",
                         Buttons::kYesNo) == Answer::kYes)
        emit termination_requested();
}

void MainScreen::ChangeDatabases1Click() {
    const std::optional<std::string> folder =
        kit::prompter().browse_folder(this, "Choose the folder:");
    if (folder) {
        const std::string test = *folder + "\\" + "PAVODEN2.DB";
        bool found = false;
        try {
            found = file_system().stat(DriveMap::current().to_host(test)).type == EntryType::kFile;
        } catch (const Error&) {
            found = false;
        }
        if (!found) {
            kit::message_box(this, "DIRECTORY CHANGE REQUEST", kNotValidDirText, Buttons::kOk);
        } else {
            try {
                // The new alias is made in a copy and written in one rename, so a failure leaves
                // the old alias in place rather than none at all.
                AliasConfig& current = AliasConfig::current();
                AliasConfig next = current;
                if (next.exists("PAVODEN2")) next.remove("PAVODEN2");
                next.add_standard("PAVODEN2", *folder, "Paradox");
                next.save();
                current = next;
                kit::message_box(this, "DIRECTORY CHANGE REQUEST", kRestartText, Buttons::kOk);
                emit termination_requested();
            } catch (const Error&) {
                // A refused change is dropped silently; the old alias stays whole.
            }
        }
    }
    refresh_label();
}

void MainScreen::FilterPaymentRecords1Click() {
    open_window("Tfltr_pavoden2");
}
void MainScreen::MaintainPaymentRecords1Click() {
    backup_bracket("TOstrand_Records");
}
void MainScreen::FilterJobSearchRecords2Click() {
    open_window("Tfltr_jsearch");
}
void MainScreen::MaintainJobSearchRecords1Click() {
    backup_bracket("TJob_Search");
}
void MainScreen::JobSearchEditsImports1Click() {
    open_window("Tjob_search_import_edits_form");
}
void MainScreen::UpdateStatistics1Click() {
    open_window("Tstatistics_update");
}
void MainScreen::Carrier1Click() {
    open_window("TCarrier_Pick_List");
}
void MainScreen::Category1Click() {
    open_window("TCategory_Pick_List");
}
void MainScreen::Comments2Click() {
    open_window("TComment_Pick_List");
}
void MainScreen::ContactName1Click() {
    open_window("TContact_Name_Pick_List");
}
void MainScreen::Item1Click() {
    open_window("TItem_Pick_List");
}
void MainScreen::City1Click() {
    open_window("TCity");
}
void MainScreen::Comments1Click() {
    open_window("TComment_JS_Pick_List");
}
void MainScreen::ContactName2Click() {
    open_window("TContact_Name_Pick_List");
}
void MainScreen::DisqualifiedJobTitles1Click() {
    open_window("TJob_Search_Disq_Titles_List");
}
void MainScreen::DisqualifiedStates1Click() {
    open_window("TJob_Search_Disqualified_States_List");
}
void MainScreen::JobTitleEdits1Click() {
    open_window("TJob_Title_Edit");
}
void MainScreen::PositionCode1Click() {
    open_window("TPosition_Code_Pick_List");
}
void MainScreen::PositionTitle1Click() {
    open_window("TPosition_Title_Pick_List");
}
void MainScreen::ReasonNotSubmitted1Click() {
    open_window("TReason_Pick_List");
}
void MainScreen::SearchEngines1Click() {
    open_window("TSearch_Engines");
}
void MainScreen::ZIPDatabases1Click() {
    run_command("ZIPDatabases1", "ZIP Databases");
}
void MainScreen::UNZIPDatabases1Click() {
    run_command("UNZIPDatabases1", "UNZIP Databases");
}
void MainScreen::Payments1Click() {
    open_window("TPayments_Report");
}
void MainScreen::AllJobs1Click() {
    open_window("TJob_Search_Report");
}
void MainScreen::DisqualifiedByState1Click() {
    open_window("TJob_Search_Stats_Job_State");
}
void MainScreen::DisqualifiedByTitle1Click() {
    open_window("TJob_Search_Stats_Job_Title");
}
void MainScreen::Charts1Click() {
    open_window("TJob_Search_Charts");
}
void MainScreen::CreateDatabases1Click() {
    open_window("TCreate_Tables");
}
void MainScreen::Configuration1Click() {
    open_window("TConfiguration");
}
void MainScreen::TableConversion1Click() {
    run_command("TableConversion1", "Table Conversion");
}
void MainScreen::MigrateOldTables1Click() {
    open_window("TMigrate_Tables");
}

}  // namespace pavo::app::shell
