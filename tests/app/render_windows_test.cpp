// Renders every window of the program into PNG files under the build folder, for people to look at.
#include <QDir>
#include <QImage>
#include <QMessageBox>

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
                             "TCreate_Tables"};
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

}  // namespace
}  // namespace pavo::app::testing
