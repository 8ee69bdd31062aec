// The migration window: old folder, new set name, code page, and the child run's lines.
#include "app/datastore/migrate_tables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QProcess>
#include <cstdlib>

#include "app/kit/ui_seam.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "utility/tkit.h"

namespace pavo::app::datastore {

namespace {

constexpr const char* kProgram = "pavoden2-migrate";
constexpr const char* kReports = "c:\\mydata\\KV-DB\\pavoden2\\reports";

}  // namespace

TMigrate_Tables::TMigrate_Tables(QWidget* owner)
    : KitWindow(owner, "Migrate_Tables", "Migrate Old Tables", {633, 330}) {
    Panel1 = new kit::SidePanel(this, "Panel1");
    Panel1->setGeometry(0, 0, 176, 330);
    auto* group = new QGroupBox("> MIGRATE OLD TABLES <", Panel1);
    group->setObjectName("GroupBox1");
    group->setGeometry(8, 8, 161, 122);
    btn_migrate = new QPushButton("Migrate", group);
    btn_migrate->setObjectName("btn_migrate");
    btn_migrate->setGeometry(7, 22, 147, 25);
    btn_migrate->setAutoDefault(false);
    btn_save_report = new QPushButton("Save Report", group);
    btn_save_report->setObjectName("btn_save_report");
    btn_save_report->setGeometry(7, 54, 147, 25);
    btn_save_report->setAutoDefault(false);
    Exit = new QPushButton("Exit", group);
    Exit->setObjectName("Exit");
    Exit->setGeometry(7, 86, 147, 25);
    Exit->setAutoDefault(false);

    fld_old_folder = new QLineEdit(this);
    fld_old_folder->setObjectName("fld_old_folder");
    kit::caption_for(this, fld_old_folder, "Label1", "Folder Of The Old Tables", 190, 10);
    fld_old_folder->setGeometry(190, 28, 340, 22);
    btn_browse = new QPushButton("Browse...", this);
    btn_browse->setObjectName("btn_browse");
    btn_browse->setGeometry(538, 27, 87, 24);
    btn_browse->setAutoDefault(false);
    fld_directory = new kit::UpperEdit(this, "fld_directory", 8);
    kit::caption_for(this, fld_directory, "Label2", "Name Of The New Tables (8 Characters Maximum)",
                     190, 56);
    fld_directory->setGeometry(190, 74, 120, 22);
    cmb_codepage = new QComboBox(this);
    cmb_codepage->setObjectName("cmb_codepage");
    cmb_codepage->addItems({"From the tables", "437", "850", "1252"});
    kit::caption_for(this, cmb_codepage, "Label3", "Code Page", 330, 56);
    cmb_codepage->setGeometry(330, 74, 140, 22);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setGeometry(190, 104, 435, 218);
    Memo1->setAccessibleName("Progress and report");

    connect(btn_migrate, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_migrateClick(); }); });
    connect(btn_save_report, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_save_reportClick(); }); });
    connect(btn_browse, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_browseClick(); }); });
    connect(Exit, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { ExitClick(); }); });
}

void TMigrate_Tables::FormActivate() {
    Panel1->paint_lime();
}

void TMigrate_Tables::ExitClick() {
    close_window();
}

std::string TMigrate_Tables::migrate_program() {
    if (const char* env = std::getenv("PAVODEN2_MIGRATE"); env && *env) return env;
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {here + "/" + kProgram, here + "/../records/" + kProgram,
                                     here + "/../../records/" + kProgram})
        if (QFileInfo(candidate).isExecutable()) return QDir::cleanPath(candidate).toStdString();
    return kProgram;
}

void TMigrate_Tables::btn_browseClick() {
    if (auto folder = kit::prompter().browse_folder(this, "Folder Of The Old Tables"))
        fld_old_folder->setText(QString::fromStdString(*folder));
}

void TMigrate_Tables::btn_migrateClick() {
    Memo1->clear();
    const QString old_folder = fld_old_folder->text().trimmed();
    const QString name = fld_directory->text().trimmed();
    if (old_folder.isEmpty()) {
        kit::message_box(this, "TABLE MIGRATION REQUEST",
                         "You must tell me the folder of the old tables", kit::Buttons::kOk);
        return;
    }
    if (name.isEmpty()) {
        kit::message_box(this, "TABLE MIGRATION REQUEST",
                         "You must tell me the directory where to create the tables",
                         kit::Buttons::kOk);
        return;
    }
    if (name.contains('.')) {
        kit::message_box(this, "", "You may not specify an extention", kit::Buttons::kOk);
        return;
    }
    QStringList args;
    if (cmb_codepage->currentIndex() > 0) args << "--codepage" << cmb_codepage->currentText();
    args << old_folder << name;

    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QString::fromStdString(migrate_program()), args);
    if (!child.waitForStarted()) {
        Memo1->appendPlainText("The migration program could not be started: " +
                               child.errorString());
        return;
    }
    btn_migrate->setEnabled(false);
    QByteArray pending;
    auto show_lines = [&](bool all) {
        pending += child.readAllStandardOutput();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            Memo1->appendPlainText(QString::fromUtf8(pending.left(end)));
            pending.remove(0, end + 1);
        }
        if (all && !pending.isEmpty()) {
            Memo1->appendPlainText(QString::fromUtf8(pending));
            pending.clear();
        }
        // The run holds the user-interface thread; paint each line as it comes.
        if (Memo1->isVisible()) Memo1->viewport()->repaint();
    };
    while (!child.waitForFinished(100)) {
        if (child.state() == QProcess::NotRunning) break;
        show_lines(false);
    }
    show_lines(true);
    btn_migrate->setEnabled(true);
    const QString errors = QString::fromUtf8(child.readAllStandardError()).trimmed();
    if (child.exitStatus() != QProcess::NormalExit) {
        Memo1->appendPlainText("The migration program stopped: " + child.errorString());
        Memo1->appendPlainText("Nothing was made.");
        return;
    }
    if (child.exitCode() != 0) {
        if (!errors.isEmpty()) Memo1->appendPlainText(errors);
        if (child.exitCode() == 2) Memo1->appendPlainText("Nothing was made.");
        return;
    }
    Memo1->appendPlainText("");
    Memo1->appendPlainText(
        "Migrating DOESN'T change you to the new tables: switch to them with Change Databases.");
}

void TMigrate_Tables::btn_save_reportClick() {
    const std::string text = Memo1->toPlainText().toStdString();
    if (text.empty()) {
        kit::message_box(this, "MESSAGE", "There is no report to save yet", kit::Buttons::kOk);
        return;
    }
    make_directories(kReports);
    const std::string logical =
        std::string(kReports) + "\\MIGRATION___" + tkit_yyyy_mm_dd_hh_mm_ss() + ".txt";
    write_file_atomically(DriveMap::current().to_host(logical), text + "\n");
    kit::message_box(this, "MESSAGE", "Report saved to " + logical, kit::Buttons::kOk);
}

}  // namespace pavo::app::datastore
