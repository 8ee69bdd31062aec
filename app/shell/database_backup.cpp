// Backup, restore and pre-conversion backup of the table directory through the archive control.
#include "app/shell/database_backup.h"

#include "app/kit/ui_seam.h"
#include "app/shell/hosted_arcvane.h"
#include "app/shell/main_screen.h"
#include "app/shell/window_registry.h"
#include "platform/com/com.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "store/table_check.h"
#include "tables/table.h"
#include "utility/tkit.h"

namespace pavo::app::shell {

namespace {

using kit::Answer;
using kit::Buttons;

const char kTablesDir[] = "c:\\mydata\\KV-DB\\PAVODEN2\\db\\";
const char kArchiveDir[] = "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\";
const char kRestoreDir[] = "c:\\temp02\\restored";

void make_zip_folders() {
    for (const char* level :
         {"c:\\mydata", "c:\\mydata\\KV-DB", "c:\\mydata\\KV-DB\\PAVODEN2",
          "c:\\mydata\\KV-DB\\PAVODEN2\\zip", "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases"})
        (void)make_directory(level);
}

ArchiveControl& control_of(MainScreen& main) {
    ArchiveControl* control = main.Arcvane1();
    if (!control)
        throw Error(ErrorKind::kNotFound, "The archive control Arcvane1 is not available");
    return *control;
}

std::u16string wide(const std::string& text) {
    return com::from_utf8(text);
}

// The message a failed run gets instead of the success message: the component's own text.
std::string failure_text(const std::string& what, const ArchiveControl::RunResult& run) {
    std::string text =
        what + "\nThe archive component reported error " + std::to_string(run.error_number);
    if (!run.message.empty()) text += ": " + run.message;
    return text + "\n";
}

// Packs the table directory into archive; returns the control's result.
ArchiveControl::RunResult pack_tables(MainScreen& main, const std::string& archive) {
    // Whatever this command's scope has posted goes to the table files before they are read.
    tables::CommandScope command;
    command.commit();
    ArchiveControl& arc = control_of(main);
    arc.set_text_property(arcvane_ids::kSourceDirectory, wide(kTablesDir));
    arc.set_text_property(arcvane_ids::kFilesToProcess, wide(std::string(kTablesDir) + "*.*"));
    arc.set_text_property(arcvane_ids::kZipFileName, wide(archive));
    arc.set_bool_property(arcvane_ids::kRecurseSubDirectories, true);
    arc.set_bool_property(arcvane_ids::kOverwrite, true);
    return arc.invoke(arcvane_ids::kAdd);
}

// Makes the folders, packs the tables into a new archive named prefix + time stamp, and tells the
// user where it went (or why it did not); returns whether the archive was made.
bool backup_with_message(MainScreen& main, const std::string& prefix) {
    make_zip_folders();
    const std::string archive =
        std::string(kArchiveDir) + prefix + tkit_yyyy_mm_dd_hh_mm_ss() + ".zip";
    ArchiveControl::RunResult run = pack_tables(main, archive);
    if (run.error_number != 0) {
        kit::message_box(&main, "MESSAGE",
                         failure_text("The databases could NOT be ZIPPED into: " + archive, run),
                         Buttons::kOk);
        return false;
    }
    kit::message_box(&main, "MESSAGE",
                     "The databases have been ZIPPED up into: " + archive +
                         "\nThe filename is in the format of: " + prefix + "YYYY-MM-DD-HH-MM-SS\n",
                     Buttons::kOk);
    return true;
}

}  // namespace

void zip_databases_command(MainScreen& main) {
    if (kit::message_box(&main, "DATABASE ZIPPING REQUESTED",
                         "ZIPPING of Databases could take awhile, depening on the amount of data.  "
                         "Continue??\n",
                         Buttons::kYesNo) != Answer::kYes)
        return;
    backup_with_message(main, "PAVODEN-");
}

std::string restored_tables_report(const std::string& folder) {
    std::vector<store::TableCheck> checks;
    try {
        checks = store::check_table_folder(folder, true);
    } catch (const Error& e) {
        return std::string("Table check: ") + e.what() + "\n";
    }
    int bad = 0;
    std::string lines;
    for (const auto& c : checks) {
        if (c.ok) {
            lines += "  " + c.table + ": " + std::to_string(c.rows) + " rows, sound\n";
        } else {
            ++bad;
            lines += "  " + c.table + ": DAMAGED - " + c.problem + "\n";
        }
    }
    std::string head =
        "Table check of " + folder + ": " + std::to_string(checks.size()) + " tables, " +
        (bad ? std::to_string(bad) + " DAMAGED" : std::string("all open and sound")) + "\n";
    return head + lines;
}

void unzip_databases_command(MainScreen& main) {
    make_zip_folders();
    kit::OpenFileRequest request;
    request.parent = &main;
    request.initial_dir = "c:\\mydata\\kv-db\\pavoden2\\zip\\databases";
    request.file_name = "*.zip";
    request.default_extension = "*.zip";
    std::optional<std::string> chosen = kit::prompter().open_file(request);
    if (!chosen || chosen->empty()) return;
    (void)make_directory("c:\\temp02");
    (void)make_directory(kRestoreDir);

    ArchiveControl& arc = control_of(main);
    arc.set_text_property(arcvane_ids::kExtractDirectory, wide(kRestoreDir));
    arc.set_text_property(arcvane_ids::kFilesToProcess, u"*.*");
    arc.set_text_property(arcvane_ids::kZipFileName, wide(*chosen));
    arc.set_bool_property(arcvane_ids::kOverwrite, true);
    ArchiveControl::RunResult run = arc.invoke(arcvane_ids::kExtract);
    if (run.error_number != 0) {
        kit::message_box(&main, "MESSAGE",
                         failure_text("The databases could NOT be restored from: " + *chosen, run),
                         Buttons::kOk);
        return;
    }
    kit::message_box(&main, "MESSAGE",
                     "The databases have restored to: c:\\temp02\\.........\nYOU will need to use "
                     "Windows Explorer to\nmove the file into the live directory\nThis program "
                     "will NOT overwrite the 'live' files.\n\n" +
                         restored_tables_report(kRestoreDir),
                     Buttons::kOk);
}

void table_conversion_command(MainScreen& main) {
    const std::string request =
        std::string(
            "The requested action will cause massive changes to the tables, I'm going to "
            "make you\n") +
        "ZIP the tables first to insure that you don't loose data.  Before using this routine\n" +
        "please insure:\n\n" + "1.\tYou have the previous version of the PAVODEN program,\n" +
        "\tfile name xxxxxxxxxxxxxxxxxxxxxxxxx available.\n\n" +
        "2.\tYou copy the file created either to a floppy, ZIP drive\n" +
        "\tor another system (like a network drive) to insure you have\n" +
        "\tan extra copy of it, not on your system\n";
    if (kit::message_box(&main, "TABLE CHANGES REQUESTED", request, Buttons::kYesNo) !=
        Answer::kYes)
        return;
    if (!backup_with_message(main, "PAVODEN-PREDATAPUMP-")) return;
    kit::message_box(&main, "TABLE CHANGES REQUESTED",
                     "Please look at the manual, and use the DATAPUMP to move the data..\n",
                     Buttons::kOk);
}

void register_backup_commands() {
    register_command("ZIPDatabases1", zip_databases_command);
    register_command("UNZIPDatabases1", unzip_databases_command);
    register_command("TableConversion1", table_conversion_command);
}

}  // namespace pavo::app::shell
