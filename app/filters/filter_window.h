// The filter builder: condition lines assembled from field names and operators, applied as the
// filter of one shared dataset, and a list of saved conditions kept in a text file.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "app/kit/kit_window.h"
#include "tables/table.h"

namespace pavo::app::filters {

class FilterWindow : public kit::KitWindow {
    Q_OBJECT
  public:
    QLabel* lbl_title;
    QLabel* lbl_manual;
    QPlainTextEdit* Memo1;  // the condition lines
    QComboBox* ComboBox1;   // the expression and the saved list
    QComboBox* ComboBox2;   // hidden scratch list used by Delete Filter
    QListWidget* ListBox1;  // field names, sorted
    QListWidget* ListBox2;  // operators
    QPushButton* BtnApplyFilter;
    QPushButton* BtnClear;
    QPushButton* BtnClose;
    QPushButton* btn_load_list;
    QPushButton* btn_save_list;
    QPushButton* btn_delete_filter;
    QLabel* lbl_status;  // "312 of 5,000 records" after Apply

    // The routines behind the controls (public so the windows can be driven headless). Each runs
    // through the kit's command runner when a control triggers it; called directly they throw.
    void AddFieldName();      // appends the selected field name
    void ListBox2DblClick();  // appends the selected operator
    void Memo1Change();
    void ComboBox1Change();
    void ApplyFilter();
    void SBtnClearClick();
    void SBtnCloseClick();
    void btn_load_listClick();
    void btn_save_listClick();
    void btn_delete_filterClick();

    // The expression text and the saved list as the window holds them.
    std::string expression() const;
    std::vector<std::string> saved_list() const;
    tables::Table& dataset() { return dataset_; }

  protected:
    // dataset: the shared dataset's name in the data module; list_file: logical path.
    FilterWindow(QWidget* owner, const std::string& name, const std::string& dataset,
                 std::string list_file, const std::string& title);
    void FormActivate() override;

  private:
    void FormCreate();
    void append_to_condition(const QListWidget* list);
    void set_expression_text(const QString& text);
    bool refuse_while_editing();
    void run_apply();
    void run_clear();
    void load_list();
    void fill_list(const std::vector<std::string>& items);
    void write_list(const std::vector<std::string>& items);
    void reload_after_failed_write();
    void throw_if_unread();
    void place_cursor_at_error(const std::string& message, const std::string& expression);

    tables::Table& dataset_;
    std::string list_file_;
    bool updating_ = false;  // set while the program itself changes Memo1 or ComboBox1
    // The error of the last failed read of the list file: Save and Delete refuse while it stands,
    // so a file the window could not read is never replaced unseen.
    std::optional<std::string> unread_error_;
};

}  // namespace pavo::app::filters
