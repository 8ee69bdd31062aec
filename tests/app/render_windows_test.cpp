// Renders every window of the program into PNG files under the build folder, for people to look at.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

#include "app/datastore/create_tables.h"
#include "app/shell/window_registry.h"
#include "app_fixture.h"

namespace pavo::app::testing {
namespace {

QString out_dir() {
    const char* bin = std::getenv("PAVO_BINARY_DIR");
    const QString dir = QString::fromLocal8Bit(bin ? bin : ".") + "/app/screens";
    QDir().mkpath(dir);
    return dir;
}

// A picture that is one colour all over shows nothing.
bool has_content(const QImage& img) {
    if (img.isNull()) return false;
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (img.pixel(x, y) != first) return true;
    return false;
}

void save(QWidget& w, const QString& name) {
    const QImage img = w.grab().toImage();
    EXPECT_TRUE(has_content(img)) << name.toStdString();
    const QString file = out_dir() + "/" + name + ".png";
    EXPECT_TRUE(img.save(file)) << file.toStdString();
}

TEST_F(AppTest, RenderEveryWindow) {
    start();
    main().show();
    save(main(), "Main_Screen2");
    const char* classes[] = {"TCategory_Pick_List",
                             "TCarrier_Pick_List",
                             "TItem_Pick_List",
                             "TComment_Pick_List",
                             "TContact_Name_Pick_List",
                             "TComment_JS_Pick_List",
                             "TCity",
                             "TPosition_Code_Pick_List",
                             "TPosition_Title_Pick_List",
                             "TReason_Pick_List",
                             "TSearch_Engines",
                             "TConfiguration",
                             "TCreate_Tables",
                             "TJob_Search",
                             "TJob_Title_Edit",
                             "TJob_Search_Disqualified_States_List",
                             "TJob_Search_Disq_Titles_List",
                             "TJob_Search_Report",
                             "TPayments_Report",
                             "TOstrand_Records",
                             "Tfltr_pavoden2",
                             "Tfltr_jsearch",
                             "Tjob_search_import_edits_form",
                             "Tstatistics_update",
                             "TJob_Search_Stats_Job_State",
                             "TJob_Search_Stats_Job_Title",
                             "TJob_Search_Charts",
                             "TMigrate_Tables"};
    for (const char* cls : classes) {
        const shell::WindowFactory* f = shell::find_window(cls);
        ASSERT_NE(f, nullptr) << cls;
        std::unique_ptr<QDialog> w = (*f)(&main());
        w->show();
        save(*w, QString::fromLatin1(cls + 1));
        if (std::string(cls) == "TConfiguration") {
            w->findChild<QAbstractButton*>("btn_edit")->click();
            save(*w, "Configuration_editing");
            w->findChild<QAbstractButton*>("btn_cancel")->click();
        }
        if (std::string(cls) == "TCreate_Tables") {
            auto& ct = static_cast<datastore::TCreate_Tables&>(*w);
            ct.fld_directory->setText("RENDER");
            ct.btn_create_tablesClick();
            save(*w, "Create_Tables_done");
        }
    }
    // A message box as the platform shows it.
    QMessageBox box(QMessageBox::NoIcon, "PROGRAM TERMINATION REQUESTED",
                    "Do you really want to exit??\n", QMessageBox::Yes | QMessageBox::No, &main());
    box.show();
    save(box, "MessageBox_exit");
}

// Every control a person can work has a name a screen reader can say: its text, or its caption.
TEST_F(AppTest, EveryWindowAndControlHasAnAccessibleName) {
    start();
    auto name_of = [](QObject* o) {
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(o);
        return i ? i->text(QAccessible::Name) : QString();
    };
    std::vector<std::unique_ptr<QDialog>> windows;
    for (const char* cls : {"TCategory_Pick_List",
                            "TCarrier_Pick_List",
                            "TItem_Pick_List",
                            "TComment_Pick_List",
                            "TContact_Name_Pick_List",
                            "TComment_JS_Pick_List",
                            "TCity",
                            "TPosition_Code_Pick_List",
                            "TPosition_Title_Pick_List",
                            "TReason_Pick_List",
                            "TSearch_Engines",
                            "TConfiguration",
                            "TJob_Search",
                            "TJob_Title_Edit",
                            "TJob_Search_Disqualified_States_List",
                            "TJob_Search_Disq_Titles_List",
                            "TCreate_Tables",
                            "TJob_Search_Report",
                            "Tfltr_pavoden2",
                            "Tfltr_jsearch",
                            "Tstatistics_update",
                            "TJob_Search_Stats_Job_State",
                            "TJob_Search_Stats_Job_Title",
                            "TJob_Search_Charts",
                            "TPayments_Report",
                            "TOstrand_Records",
                            "Tjob_search_import_edits_form", "TMigrate_Tables"}) {
        windows.push_back((*shell::find_window(cls))(&main()));
    }
    std::vector<QWidget*> tops{&main()};
    for (auto& w : windows) tops.push_back(w.get());
    for (QWidget* top : tops) {
        top->show();
        SCOPED_TRACE(top->objectName().toStdString());
        EXPECT_FALSE(name_of(top).isEmpty());
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            const bool workable = qobject_cast<QAbstractButton*>(w) ||
                                  qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                                  qobject_cast<QPlainTextEdit*>(w) ||
                                  qobject_cast<QAbstractItemView*>(w);
            // Editors inside a combo box or a view belong to their owner.
            if (!workable || qobject_cast<QComboBox*>(w->parentWidget()) ||
                qobject_cast<QAbstractItemView*>(w->parentWidget()))
                continue;
            EXPECT_FALSE(name_of(w).isEmpty())
                << w->objectName().toStdString() << " of class " << w->metaObject()->className();
        }
    }
    for (QAction* a : main().findChildren<QAction*>()) {
        if (!a->objectName().isEmpty()) {
            EXPECT_FALSE(a->text().isEmpty()) << a->objectName().toStdString();
        }
    }
    for (auto& w : windows) static_cast<kit::KitWindow&>(*w).force_close();
}

}  // namespace
}  // namespace pavo::app::testing
