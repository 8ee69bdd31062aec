// The table-set creation window: the name field, the progress memo and the outcome messages.
#include "app/datastore/create_tables.h"

#include <QGroupBox>

#include "app/kit/pictures.h"
#include "app/kit/ui_seam.h"
#include "store/table_set.h"

namespace pavo::app::datastore {

TCreate_Tables::TCreate_Tables(QWidget* owner)
    : KitWindow(owner, "Create_Tables", "Create Tables", {633, 235}) {
    Panel1 = new kit::SidePanel(this, "Panel1");
    Panel1->setGeometry(0, 0, 176, 235);
    auto* group = new QGroupBox("> CREATE NEW TABLES <", Panel1);
    group->setObjectName("GroupBox1");
    group->setGeometry(8, 8, 161, 90);
    btn_create_tables = new QPushButton("Create Tables", group);
    btn_create_tables->setObjectName("btn_create_tables");
    btn_create_tables->setGeometry(7, 22, 147, 25);
    btn_create_tables->setAutoDefault(false);
    Exit = new QPushButton("Exit", group);
    Exit->setObjectName("Exit");
    Exit->setGeometry(7, 54, 147, 25);
    Exit->setAutoDefault(false);
    auto* picture = new QLabel(Panel1);
    picture->setObjectName("Image1");
    picture->setGeometry(24, 110, 128, 110);
    picture->setPixmap(kit::panel_picture(QSize(128, 110)));

    fld_directory = new kit::UpperEdit(this, "fld_directory", 8);
    Label1 = kit::caption_for(this, fld_directory, "Label1",
                              "Enter The Directory For The New Tables", 190, 10);
    Label2 = kit::caption_for(this, nullptr, "Label2", "(8 Characters Maximum)", 190, 28);
    fld_directory->setGeometry(190, 48, 120, 22);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setGeometry(190, 78, 435, 150);
    Memo1->setAccessibleName("Progress");

    connect(btn_create_tables, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_create_tablesClick(); }); });
    connect(Exit, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { ExitClick(); }); });
}

void TCreate_Tables::FormActivate() {
    Panel1->paint_lime();
}

void TCreate_Tables::ExitClick() {
    close_window();
}

void TCreate_Tables::btn_create_tablesClick() {
    Memo1->clear();
    store::TableSetCreator creator([this](const std::string& line) {
        Memo1->appendPlainText(QString::fromStdString(line));
        // The run holds the user-interface thread; paint each line as it comes.
        if (Memo1->isVisible()) Memo1->viewport()->repaint();
    });
    switch (creator.create(fld_directory->text().toStdString())) {
        case store::CreateOutcome::kEmptyName:
            kit::message_box(this, "TABLE CREATION REQUEST",
                             "You must tell me the directory where to create the tables",
                             kit::Buttons::kYesNo);
            break;
        case store::CreateOutcome::kHasFullStop:
            kit::message_box(this, "", "You may not specify an extention", kit::Buttons::kOk);
            break;
        case store::CreateOutcome::kDirectoryFailed:
        case store::CreateOutcome::kDone:
            break;
    }
}

}  // namespace pavo::app::datastore
