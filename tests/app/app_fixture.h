// What the window tests share: a private installed home, a scripted prompter that records every
// box and answers from a script, modal-window hooks, and finders by object name.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/kit/ui_seam.h"
#include "app/shell/startup.h"
#include "store/install.h"
#include "support/temp_home.h"
#include "tables/table.h"

namespace pavo::app::testing {

struct SeenBox {
    std::string caption;
    std::string text;
    kit::Buttons buttons;
};

class ScriptedPrompter : public kit::Prompter {
  public:
    std::deque<kit::Answer> answers;
    std::deque<std::optional<std::string>> folders;
    std::deque<std::optional<std::string>> files;
    std::vector<SeenBox> boxes;
    std::vector<std::string> folder_titles;
    std::vector<kit::OpenFileRequest> file_requests;
    int unscripted = 0;

    kit::Answer message_box(const kit::MessageRequest& r) override {
        boxes.push_back({r.caption, r.text, r.buttons});
        // A box with only OK has nothing to decide; it takes a scripted OK when one is next.
        if (r.buttons == kit::Buttons::kOk) {
            if (!answers.empty() && answers.front() == kit::Answer::kOk) answers.pop_front();
            return kit::Answer::kOk;
        }
        if (answers.empty()) {
            ++unscripted;
            switch (r.buttons) {
                case kit::Buttons::kYesNo:
                    return kit::Answer::kNo;
                case kit::Buttons::kYesNoCancel:
                    return kit::Answer::kCancel;
                default:
                    return kit::Answer::kOk;
            }
        }
        const kit::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> open_file(const kit::OpenFileRequest& r) override {
        file_requests.push_back(r);
        if (files.empty()) {
            ++unscripted;
            return std::nullopt;
        }
        auto f = files.front();
        files.pop_front();
        return f;
    }
    std::optional<std::string> browse_folder(QWidget*, const std::string& title) override {
        folder_titles.push_back(title);
        if (folders.empty()) {
            ++unscripted;
            return std::nullopt;
        }
        auto f = folders.front();
        folders.pop_front();
        return f;
    }
};

// A test with an installed home and the prompter and modal windows under script.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store::install({});
        kit::set_prompter(&prompts);
        kit::set_modal_scripting(true);
    }
    void TearDown() override {
        EXPECT_EQ(kit::unexpected_modal_windows(), 0)
            << "a window opened unscripted or stayed open";
        EXPECT_EQ(kit::pending_modal_hooks(), 0) << "a scripted window never opened";
        EXPECT_EQ(prompts.unscripted, 0) << "a box or dialog came that the test did not expect";
        kit::set_modal_scripting(false);
        kit::set_prompter(nullptr);
    }
    // Starts the program as the executable does (without its message loop).
    shell::Program& start() {
        program_ = std::make_unique<shell::Program>();
        EXPECT_EQ(program_->start(), 0);
        return *program_;
    }
    shell::MainScreen& main() { return *program_->main_screen(); }

    pavo::testing::TempHome home;
    ScriptedPrompter prompts;
    std::unique_ptr<shell::Program> program_;
};

// A table of the given fields in c:\kit (which must exist), open; keyed on its first field.
inline std::unique_ptr<tables::Table> kit_table(const std::string& name,
                                                std::vector<tables::FieldDef> fields,
                                                bool keyed = true) {
    auto t = std::make_unique<tables::Table>();
    t->set_database_name("c:\\kit");
    t->set_table_name(name);
    t->set_field_defs(std::move(fields));
    if (keyed) t->set_index_defs({tables::IndexDef{"", t->field_defs().front().name, true, true}});
    t->create_table();
    t->open();
    return t;
}

template <typename T = QWidget>
T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no control named " << name << " in " << parent.objectName().toStdString();
    return found;
}

inline void click(QWidget& parent, const char* name) {
    auto* b = child<QAbstractButton>(parent, name);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->isEnabled()) << name << " is disabled";
    b->click();
}

inline bool enabled(QWidget& parent, const char* name) {
    auto* w = child<QWidget>(parent, name);
    return w && w->isEnabled();
}

}  // namespace pavo::app::testing
