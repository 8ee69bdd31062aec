// The main window TMain_Screen2: banner, alias label, archive control slot and the whole menu.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <map>
#include <memory>
#include <string>

#include "app/shell/archive_slot.h"

namespace pavo::app::shell {

inline constexpr const char* kCaptionPrefix = "Quillon Ridozerizez Pavoden - Version ";

class MainScreen : public QMainWindow {
    Q_OBJECT
  public:
    // Reads the alias PAVODEN2 into Label1 and creates the archive control when a factory is set;
    // throws pavo::Error when the alias is missing or the control cannot be created.
    explicit MainScreen(QWidget* parent = nullptr);
    ~MainScreen() override;

    // The menu item of a name ("Carrier1"), nullptr when there is none.
    QAction* item(const std::string& name) const;
    // Re-evaluates which entries have their window or command (after late registrations).
    void refresh_menu();
    // Label1 from the first parameter of the alias, in lower case.
    void refresh_label();

    // The program-wide instance (Main_Screen2), set while one exists.
    static MainScreen* instance();

    // Backup hook of the maintenance bracket: runs the ZIP Databases command.
    void zip_databases();
    ArchiveControl* Arcvane1() const { return arcvane_.get(); }

    // Menu handlers.
    void Exit1Click();
    void FilterPaymentRecords1Click();
    void MaintainPaymentRecords1Click();
    void FilterJobSearchRecords2Click();
    void MaintainJobSearchRecords1Click();
    void JobSearchEditsImports1Click();
    void UpdateStatistics1Click();
    void Carrier1Click();
    void Category1Click();
    void Comments2Click();
    void ContactName1Click();
    void Item1Click();
    void City1Click();
    void Comments1Click();
    void ContactName2Click();
    void DisqualifiedJobTitles1Click();
    void DisqualifiedStates1Click();
    void JobTitleEdits1Click();
    void PositionCode1Click();
    void PositionTitle1Click();
    void ReasonNotSubmitted1Click();
    void SearchEngines1Click();
    void ZIPDatabases1Click();
    void UNZIPDatabases1Click();
    void Payments1Click();
    void AllJobs1Click();
    void DisqualifiedByState1Click();
    void DisqualifiedByTitle1Click();
    void Charts1Click();
    void CreateDatabases1Click();
    void ChangeDatabases1Click();
    void Configuration1Click();
    void TableConversion1Click();
    void MigrateOldTables1Click();

    QLabel* Image1;
    QLabel* Label1;
    QMenuBar* MainMenu1;

  signals:
    // The program is to end (Exit answered Yes, or the alias was changed).
    void termination_requested();

  private:
    struct Entry;
    void build_menu();
    // Opens a window of the registry modally, owned by this window; a window not in the registry
    // yet is announced as such.
    void open_window(const std::string& class_name);
    void run_command(const std::string& item_name, const std::string& what);
    void backup_bracket(const std::string& class_name);
    bool auto_zip_on();
    void not_available(const std::string& what);

    std::unique_ptr<ArchiveControl> arcvane_;
    std::map<std::string, QAction*> items_;
    std::map<std::string, std::string> needs_;  // item name -> window class or "cmd:<item>"
};

inline constexpr const char* kAutoZipBeforeText =
    "You configured me to zip the databases before editing\nif you want to change this, access "
    "the configuration screen\ndepending on the number of databases and their size it could\na "
    "little time.\n\nOn a 700MHz, PII, 384MB RAM, 160MB of databases, it took about 30 "
    "seconds\n\nDo you want to continue and ZIP the databases???\n\n";
inline constexpr const char* kAutoZipAfterText =
    "You configured me to zip the databases after editing\nif you want to change this, access "
    "the configuration screen\ndepending on the number of databases and their size it could\na "
    "little time.\n\nOn a 700MHz, PII, 384MB RAM, 160MB of databases, it took about 30 "
    "seconds\n\nDo you want to continue and ZIP the databases???\n\n";
inline constexpr const char* kNotValidDirText =
    "This doesn't appear to be a valid PAVODEN data directory, not changing";
inline constexpr const char* kRestartText =
    "You need to stop and restart the program....I will shutdown now..please restart";
inline constexpr const char* kNotAvailableText = " is not available yet in this version.";

}  // namespace pavo::app::shell
