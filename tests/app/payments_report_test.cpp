// The payments report window: controls and activation, Generate into the box (the dataset left
// unfiltered, a failure's last line), Save's file and its failures, Export CSV, the filter window
// and the menu entry.
#include "app/payments/payments_report.h"

#include <QListWidgetItem>

#include "app/shell/main_screen.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "store/data_module.h"
#include "utility/tkit.h"

namespace pavo::app::testing {
namespace {

using payments::TPayments_Report;

class PaymentsReportWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        tables::CommandScope scope;
        const char* categories[] = {"SPOUSAL SUPPORT", "PAYMENT", "GROCERIES", "RETIRED PAY"};
        for (int i = 1; i <= 12; ++i) {
            add({{"ITEM_DATE", "3/" + std::to_string(i) + "/2004"},
                 {"CATEGORY", categories[i % 4]},
                 {"SS_AMT", "100.25"},
                 {"ITEM", "ITEM " + std::to_string(i)}});
        }
        scope.commit();
    }
    static tables::Table& pay() { return store::DataModule::instance()->table_pavoden; }
    static void add(const std::map<std::string, std::string>& fields) {
        tables::Table& t = pay();
        t.append();
        for (const auto& [k, v] : fields) t.field(k).set_as_string(v);
        t.field("YYYYMMDD").set_as_string(tkit_Date_To_YYYYMMDD(t.field("ITEM_DATE").as_date()));
        t.post();
    }
    fs::path reports() { return home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "reports"; }
    static std::vector<std::string> memo(TPayments_Report& w) {
        std::vector<std::string> lines;
        for (int i = 0; i < w.fld_memo->line_count(); ++i) lines.push_back(w.fld_memo->line(i));
        return lines;
    }
    static std::vector<bool> ticks(TPayments_Report& w) {
        std::vector<bool> t;
        for (int i = 0; i < records::kPaymentReportItems; ++i)
            t.push_back(w.CheckListBox1->checked(i));
        return t;
    }
};

TEST_F(PaymentsReportWindowTest, ControlsAndActivation) {
    TPayments_Report w(&main());
    w.show();
    EXPECT_EQ(w.windowTitle(), "Payments_Report");
    EXPECT_EQ(w.size(), QSize(942, 529));
    ASSERT_EQ(w.CheckListBox1->count(), 26);
    EXPECT_EQ(w.CheckListBox1->item(0)->text(), "Carrier");
    EXPECT_EQ(w.CheckListBox1->item(25)->text(), "Spousal Support Amount");
    std::vector<bool> defaults(26, false);
    for (int i : {0, 2, 3, 9, 10, 12, 18, 19, 24, 25}) defaults[static_cast<std::size_t>(i)] = true;
    EXPECT_EQ(ticks(w), defaults);
    // Item Date cannot be unticked by the user.
    EXPECT_FALSE(w.CheckListBox1->item(19)->flags() & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(w.CheckListBox1->item(19)->flags() & Qt::ItemIsEnabled);
    EXPECT_TRUE(w.CheckListBox1->item(18)->flags() & Qt::ItemIsUserCheckable);
    EXPECT_EQ(w.CheckListBox1->palette().color(QPalette::Base), kit::kLime);
    EXPECT_EQ(w.fld_memo->font().family(), "Courier New");
    for (const char* b : {"btn_filter", "btn_generate", "btn_save", "btn_export"})
        EXPECT_TRUE(enabled(w, b)) << b;
    EXPECT_EQ(w.btn_filter->text(), "Filter");
    EXPECT_EQ(w.fld_memo->line_count(), 0);
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, GenerateShowsTheRoutinesLinesAndLeavesRecordsUnfiltered) {
    TPayments_Report w(&main());
    w.show();
    w.CheckListBox1->set_checked(0, false);  // no carrier column
    w.CheckListBox1->set_checked(23, true);
    click(w, "btn_generate");
    std::vector<std::string> lines = memo(w);
    EXPECT_EQ(lines, w.box_lines());
    // The default filter: SPOUSAL SUPPORT, PAYMENT and RETIRED PAY, not GROCERIES.
    ASSERT_EQ(lines.size(), 15u + 2u + 9u + 2u);
    EXPECT_EQ(lines[15].find("CARRIER"), std::string::npos);
    EXPECT_NE(lines[15].find("OTHER $$"), std::string::npos);
    EXPECT_EQ(lines.back().substr(0, 10), "   TOTALS:");
    EXPECT_NE(lines.back().find("902.25"), std::string::npos) << lines.back();
    EXPECT_EQ(pay().filter(), "");
    EXPECT_FALSE(pay().filtered());
    EXPECT_EQ(pay().record_count(), 12);

    // A user's filter is used, then removed too.
    pay().set_filter("CATEGORY = 'GROCERIES'");
    pay().set_filtered(true);
    click(w, "btn_generate");
    EXPECT_EQ(w.fld_memo->line_count(), 15 + 2 + 3 + 2);
    EXPECT_EQ(pay().filter(), "");
    EXPECT_TRUE(prompts.boxes.empty());
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, FailedGenerateSaysWhereAndDropsOnlyTheDefaultFilter) {
    add({{"ITEM_DATE", "3/20/2004"}, {"CATEGORY", "OTHER"}, {"OTHER_AMT", "5e17"}});
    TPayments_Report w(&main());
    w.show();
    click(w, "btn_generate");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, kit::kApplicationTitle);
    const std::string last = w.fld_memo->line(w.fld_memo->line_count() - 1);
    EXPECT_EQ(last, prompts.boxes[0].text);
    EXPECT_NE(last.find("stopped at record 10 of 10"), std::string::npos) << last;
    // The payment window must not be left showing only the report's categories.
    EXPECT_EQ(pay().filter(), "");
    EXPECT_FALSE(pay().filtered());
    // Nothing to export from a report that did not finish.
    click(w, "btn_export");
    EXPECT_EQ(prompts.boxes.back().text, payments::kGenerateFirstText);
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, SaveWritesTheBoxThenAddsItsTwoLines) {
    clock::ScopedFixedTime at({2004, 2, 29, 23, 59, 59});
    TPayments_Report w(&main());
    w.show();
    click(w, "btn_generate");
    const std::vector<std::string> generated = w.box_lines();
    const std::string name =
        "c:\\mydata\\KV-DB\\pavoden2\\reports\\PAYMENTS___2004-02-29-23-59-59.TXT";
    const fs::path file = reports() / "PAYMENTS___2004-02-29-23-59-59.TXT";

    // An unwritable folder: the error names the file, box and disk stay as they were.
    {
        FaultyFileSystem faulty;
        faulty.fail_open_call = 0;
        ScopedFileSystem use(&faulty);
        click(w, "btn_save");
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("PAYMENTS___2004-02-29-23-59-59.TXT"), std::string::npos)
        << prompts.boxes[0].text;
    EXPECT_EQ(memo(w), generated);
    EXPECT_TRUE(file_system().list(reports()).empty());

    click(w, "btn_save");
    std::vector<std::string> expected = generated;
    expected.push_back("");
    expected.push_back("Saved to file: " + name);
    EXPECT_EQ(memo(w), expected);
    std::string crlf;
    for (const auto& l : expected) crlf += l + "\r\n";
    EXPECT_EQ(read_whole_file(file), crlf);

    // A second save in the same second shares the name and replaces the file.
    click(w, "btn_save");
    expected.push_back("");
    expected.push_back("Saved to file: " + name);
    EXPECT_EQ(memo(w), expected);
    crlf.clear();
    for (const auto& l : expected) crlf += l + "\r\n";
    EXPECT_EQ(read_whole_file(file), crlf);
    EXPECT_EQ(file_system().list(reports()).size(), 1u);
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, ExportWritesTheLastGeneratesRecords) {
    clock::ScopedFixedTime at({2004, 3, 31, 8, 0, 0});
    TPayments_Report w(&main());
    w.show();
    click(w, "btn_export");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, payments::kGenerateFirstText);
    EXPECT_TRUE(file_system().list(reports()).empty());

    click(w, "btn_generate");
    click(w, "btn_export");
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].text,
              "Exported to file: "
              "c:\\mydata\\KV-DB\\pavoden2\\reports\\PAYMENTS___2004-03-31-08-00-00.CSV");
    const std::string csv = read_whole_file(reports() / "PAYMENTS___2004-03-31-08-00-00.CSV");
    std::size_t rows = 0;
    for (std::size_t p = 0; (p = csv.find("\r\n", p)) != std::string::npos; p += 2) ++rows;
    EXPECT_EQ(rows, 1u + 9u);
    EXPECT_NE(csv.find("\"2004-03-01\""), std::string::npos);
    EXPECT_NE(csv.find("\"100.25\""), std::string::npos);
    EXPECT_EQ(csv.find("GROCERIES"), std::string::npos);
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, HeaderSeesAConfigurationSavedMeanwhile) {
    TPayments_Report w(&main());
    w.show();
    // Saved through another dataset, as the configuration window's own posts reach the file.
    tables::Table other;
    other.set_database_name("PAVODEN2");
    other.set_table_name("CONFIG.DB");
    other.open();
    other.first();
    other.edit();
    other.field("EX_SPOUSE_NAME").set_as_string("NEW NAME");
    other.post();
    click(w, "btn_generate");
    EXPECT_EQ(w.fld_memo->line(6), "PERSON RECEIVING PAYMENTS: NEW NAME");
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, ReturningFromTheFilterWindowResetsTicksAndBox) {
    TPayments_Report w(&main());
    w.show();
    click(w, "btn_generate");
    w.CheckListBox1->set_checked(21, true);
    std::string opened;
    kit::queue_modal_hook([&](QDialog& filter) {
        opened = filter.objectName().toStdString();
        static_cast<kit::KitWindow&>(filter).force_close();
    });
    click(w, "btn_filter");
    EXPECT_FALSE(opened.empty());
    EXPECT_FALSE(w.CheckListBox1->checked(21));
    EXPECT_EQ(w.fld_memo->line_count(), 0);
    EXPECT_TRUE(w.box_lines().empty());
    w.close_window();
}

TEST_F(PaymentsReportWindowTest, MenuEntryOpensTheReport) {
    std::string opened;
    kit::queue_modal_hook([&](QDialog& report) {
        opened = report.objectName().toStdString();
        static_cast<kit::KitWindow&>(report).close_window();
    });
    main().item("Payments1")->trigger();
    EXPECT_EQ(opened, "Payments_Report");
}

}  // namespace
}  // namespace pavo::app::testing
