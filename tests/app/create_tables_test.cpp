// The table creation window: its three refusals, a full run with the progress lines in the memo,
// and the forced upper case and eight-character limit of the name.
#include "app/datastore/create_tables.h"

#include <QTest>
#include <filesystem>

#include "app_fixture.h"
#include "platform/drive_map.h"
#include "store/schema.h"
#include "store/table_set.h"

namespace pavo::app::testing {
namespace {

namespace fs = std::filesystem;
using kit::Answer;

QStringList memo_lines(datastore::TCreate_Tables& w) {
    return w.Memo1->toPlainText().split('\n');
}

TEST_F(AppTest, CreateTablesRefusalsAndSuccess) {
    start();
    datastore::TCreate_Tables w(&main());
    w.show();
    EXPECT_EQ(w.Panel1->colour(), kit::kLime);

    QTest::keyClicks(w.fld_directory, "newset123");
    EXPECT_EQ(w.fld_directory->text(), "NEWSET12") << "upper case, eight characters at most";

    struct Refusal {
        const char* name;
        const char* caption;
        const char* text;
        kit::Buttons buttons;
    };
    const Refusal refusals[] = {
        {"", "TABLE CREATION REQUEST", "You must tell me the directory where to create the tables",
         kit::Buttons::kYesNo},
        {"A.B", "", "You may not specify an extention", kit::Buttons::kOk},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        w.fld_directory->setText(r.name);
        prompts.boxes.clear();
        prompts.answers = {Answer::kYes};
        click(w, "btn_create_tables");
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].caption, r.caption);
        EXPECT_EQ(prompts.boxes[0].text, r.text);
        EXPECT_EQ(prompts.boxes[0].buttons, r.buttons);
        EXPECT_FALSE(
            fs::exists(DriveMap::current().to_host(store::TableSetCreator::set_directory("A.B"))));
    }

    prompts.boxes.clear();
    w.fld_directory->setText("SET1");
    click(w, "btn_create_tables");
    EXPECT_TRUE(prompts.boxes.empty());
    QStringList lines = memo_lines(w);
    EXPECT_EQ(lines.front(), "Attempting to create directory");
    EXPECT_TRUE(lines.contains("Done.....Please close screen or create another one......."));
    EXPECT_EQ(lines.back(), "Creating this database DOESN'T change you to it...");
    const fs::path dir = DriveMap::current().to_host(store::TableSetCreator::set_directory("SET1"));
    int tables = 0;
    for (const auto& e : fs::directory_iterator(dir)) tables += e.is_regular_file();
    EXPECT_GE(tables, static_cast<int>(store::schema().size()));

    // The same name again stops at the folder, with the three lines, and leaves the first set.
    click(w, "btn_create_tables");
    lines = memo_lines(w);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith("Operating System Error code : "));
    EXPECT_EQ(lines[3], "Process stopped");
    EXPECT_TRUE(prompts.boxes.empty());
    click(w, "Exit");
    EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace pavo::app::testing
