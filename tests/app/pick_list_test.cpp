// Pick lists driven through their buttons and grid: add, edit, delete with its question, save,
// cancel, a refused duplicate, the pending row on a second Add, and each list's differences.
#include <QTest>

#include "app/picklists/carrier_pick_list.h"
#include "app/picklists/city.h"
#include "app/picklists/item_pick_list.h"
#include "app/picklists/position_code_pick_list.h"
#include "app/picklists/search_engines.h"
#include "app_fixture.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using kit::Answer;
using picklists::PickListWindow;

std::vector<std::string> column(tables::Table& t, const std::string& field) {
    std::vector<std::string> out;
    const int fi = t.field(field).index();
    for (int n = 1; n <= t.record_count(); ++n) out.push_back(t.text_at(n, fi));
    return out;
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// Types a value into the grid cell of the current row, as the user does after Add or Edit.
void type_into_grid(PickListWindow& w, const std::string& text, int column = 0) {
    kit::DatasetModel* m = w.DBGrid1->dataset_model();
    const int row = m->current_row();
    ASSERT_GE(row, 0);
    ASSERT_TRUE(m->setData(m->index(row, column), QString::fromStdString(text), Qt::EditRole));
}

class PickListTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
    }
    tables::Table& carriers() { return store::DataModule::instance()->table_carrier; }
};

TEST_F(PickListTest, AddEditDeleteSaveCancelOnTheSharedDataset) {
    picklists::TCarrier_Pick_List w(&main());
    w.show();
    const int before = carriers().record_count();
    EXPECT_FALSE(w.in_edit_mode());

    // Add, type, Save: the row is stored and the window is back in normal mode.
    click(w, "btn_add");
    EXPECT_TRUE(w.in_edit_mode());
    EXPECT_TRUE(enabled(w, "btn_add")) << "Add stays enabled in a pick list";
    EXPECT_FALSE(enabled(w, "btn_exit"));
    EXPECT_TRUE(enabled(w, "DBGrid1"));
    EXPECT_EQ(w.DBGrid1->dataset_model()->rowCount(), before + 1) << "the new row shows";
    type_into_grid(w, "ZZ FREIGHT");
    click(w, "btn_save");
    EXPECT_FALSE(w.in_edit_mode());
    EXPECT_EQ(carriers().record_count(), before + 1);
    EXPECT_TRUE(contains(column(carriers(), "CARRIER"), "ZZ FREIGHT"));
    EXPECT_EQ(w.DBGrid1->dataset_model()->cell_text(w.DBGrid1->dataset_model()->current_row(), 0),
              "ZZ FREIGHT");

    // Edit then Cancel restores; Edit then Save changes.
    ASSERT_TRUE(carriers().locate("CARRIER", {"ZZ FREIGHT"}));
    click(w, "btn_edit");
    type_into_grid(w, "ZZ CHANGED");
    click(w, "btn_cancel");
    EXPECT_TRUE(contains(column(carriers(), "CARRIER"), "ZZ FREIGHT"));
    EXPECT_FALSE(contains(column(carriers(), "CARRIER"), "ZZ CHANGED"));
    click(w, "btn_edit");
    type_into_grid(w, "ZZ CHANGED");
    click(w, "btn_save");
    EXPECT_TRUE(contains(column(carriers(), "CARRIER"), "ZZ CHANGED"));

    // Delete asks; No keeps the row, Yes removes it; both end in normal mode.
    ASSERT_TRUE(carriers().locate("CARRIER", {"ZZ CHANGED"}));
    prompts.answers = {Answer::kNo, Answer::kYes};
    click(w, "btn_delete");
    EXPECT_TRUE(contains(column(carriers(), "CARRIER"), "ZZ CHANGED"));
    ASSERT_TRUE(carriers().locate("CARRIER", {"ZZ CHANGED"}));
    click(w, "btn_delete");
    EXPECT_FALSE(contains(column(carriers(), "CARRIER"), "ZZ CHANGED"));
    EXPECT_EQ(carriers().record_count(), before);
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].caption, kit::kDeleteCaption);
    EXPECT_EQ(prompts.boxes[0].text, kit::kDeleteText);
    EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kYesNo);
    EXPECT_FALSE(w.in_edit_mode());
}

TEST_F(PickListTest, DuplicateKeyIsRefusedAndTheRowStaysPending) {
    picklists::TCarrier_Pick_List w(&main());
    w.show();
    const std::string existing = column(carriers(), "CARRIER").front();
    const int before = carriers().record_count();
    click(w, "btn_add");
    type_into_grid(w, existing);
    prompts.answers = {Answer::kOk};
    click(w, "btn_save");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, kit::kApplicationTitle);
    EXPECT_NE(prompts.boxes[0].text.find("Key violation"), std::string::npos)
        << prompts.boxes[0].text;
    EXPECT_TRUE(w.in_edit_mode()) << "the window stays in edit mode";
    EXPECT_EQ(carriers().state(), tables::DatasetState::kInsert) << "the row is still pending";
    // Corrected and saved again.
    type_into_grid(w, "ZZ UNIQUE");
    click(w, "btn_save");
    EXPECT_FALSE(w.in_edit_mode());
    EXPECT_EQ(carriers().record_count(), before + 1);
}

TEST_F(PickListTest, SecondAddPostsATypedRowAndDropsAnEmptyOne) {
    picklists::TCarrier_Pick_List w(&main());
    w.show();
    const int before = carriers().record_count();
    click(w, "btn_add");
    click(w, "btn_add");  // nothing typed: dropped
    type_into_grid(w, "ZZ ONE");
    click(w, "btn_add");  // typed: posted
    type_into_grid(w, "ZZ TWO");
    click(w, "btn_save");
    EXPECT_EQ(carriers().record_count(), before + 2);
    EXPECT_TRUE(contains(column(carriers(), "CARRIER"), "ZZ ONE"));
    EXPECT_TRUE(contains(column(carriers(), "CARRIER"), "ZZ TWO"));
}

TEST_F(PickListTest, EachListsOwnDifferences) {
    {
        picklists::TItem_Pick_List item(&main());
        item.show();
        EXPECT_NE(item.Panel1->colour(), kit::kLime) << "the Item list keeps the face colour";
        picklists::TCarrier_Pick_List carrier(&main());
        carrier.show();
        EXPECT_EQ(carrier.Panel1->colour(), kit::kLime);
        EXPECT_EQ(carrier.size(), QSize(753, 361));
        EXPECT_EQ(carrier.DBGrid1->geometry(), QRect(176, 0, 577, 361));
        EXPECT_TRUE(carrier.windowTitle().isEmpty());
        EXPECT_FALSE(carrier.windowFlags() & Qt::WindowCloseButtonHint);
    }
    {
        picklists::TSearch_Engines se(&main());
        se.show();
        EXPECT_EQ(se.size(), QSize(753, 305));
        EXPECT_EQ(se.DBGrid1->geometry(), QRect(184, 8, 561, 289));
        click(se, "btn_edit");
        EXPECT_FALSE(enabled(se, "btn_add")) << "Add waits in edit mode here";
        click(se, "btn_cancel");
        EXPECT_TRUE(enabled(se, "btn_add"));
        EXPECT_EQ(se.DBGrid1->dataset_model()->rowCount(),
                  store::DataModule::instance()->table_sengine.record_count());
    }
    {
        picklists::TPosition_Code_Pick_List pc(&main());
        pc.show();
        kit::DatasetModel* m = pc.DBGrid1->dataset_model();
        tables::Table& codes = store::DataModule::instance()->table_position_code;
        ASSERT_GT(codes.record_count(), 0);
        EXPECT_EQ(m->rowCount(), codes.record_count()) << "its rows show through ds_position_code";
        EXPECT_EQ(m->columnCount(), 2);
        EXPECT_EQ(m->cell_text(0, 1).toStdString(), codes.text_at(1, 1));
    }
    {
        // The City list works on a dataset of its own; the shared one sees its rows on re-read.
        tables::Table& shared = store::DataModule::instance()->table_city;
        picklists::TCity city(&main());
        city.show();
        EXPECT_NE(&city.data_source()->dataset(), &shared);
        click(city, "btn_add");
        type_into_grid(city, "SPRINGFIELD");
        click(city, "btn_save");
        shared.refresh();
        EXPECT_TRUE(contains(column(shared, "CITY"), "SPRINGFIELD"));
    }
}

TEST_F(PickListTest, NestedModalWindowsReturnTheOpenerToNormalModeWithItsRowPending) {
    // A pick list opened from the main menu opens another window on top; when that closes, the
    // first one is activated again: normal-mode buttons, but the row typed before stays pending.
    std::vector<std::string> order;
    kit::queue_modal_hook([&](QDialog& d) {
        auto& outer = static_cast<PickListWindow&>(d);
        order.push_back(outer.objectName().toStdString());
        click(outer, "btn_add");
        type_into_grid(outer, "ZZ NESTED");
        kit::queue_modal_hook([&](QDialog& inner) {
            order.push_back(inner.objectName().toStdString());
            EXPECT_TRUE(outer.in_edit_mode()) << "the opener waits in its mode";
            click(inner, "btn_exit");
        });
        picklists::TItem_Pick_List inner(&outer);
        kit::run_modal(inner);
        EXPECT_FALSE(outer.in_edit_mode());
        EXPECT_EQ(carriers().state(), tables::DatasetState::kInsert);
        EXPECT_EQ(carriers().field("CARRIER").as_string(), "ZZ NESTED");
        // Edit mode again through Edit; Save posts the row that waited.
        click(outer, "btn_edit");
        click(outer, "btn_save");
        click(outer, "btn_exit");
    });
    main().item("Carrier1")->trigger();
    EXPECT_EQ(order, (std::vector<std::string>{"Carrier_Pick_List", "Item_Pick_List"}));
    EXPECT_TRUE(carriers().locate("CARRIER", {"ZZ NESTED"}));
}

TEST_F(PickListTest, ExitIsTheOnlyWayOutAndOnlyFromNormalMode) {
    picklists::TCarrier_Pick_List w(&main());
    w.show();
    click(w, "btn_add");
    w.close();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible()) << "no close box, no Escape";
    click(w, "btn_cancel");
    click(w, "btn_exit");
    EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace pavo::app::testing
