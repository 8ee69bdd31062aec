// The link between a dataset and the controls bound to it: it listens to the dataset and tells
// the controls, and it knows where an unposted new row stands so grids can show it.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "store/data_module.h"
#include "tables/table.h"

namespace pavo::app::kit {

// The program's shared datasets; throws pavo::Error (kNotFound) when they are not open.
store::DataModule& data_module();

class DataSource : public QObject {
    Q_OBJECT
  public:
    // A data source over a dataset that lives elsewhere (the shared datasets); table must outlive
    // this object.
    DataSource(tables::Table* table, QObject* parent, const std::string& name);
    // A data source that owns its dataset (a window's private dataset).
    DataSource(std::unique_ptr<tables::Table> table, QObject* parent, const std::string& name);
    ~DataSource() override;

    tables::Table& dataset() const { return *table_; }
    bool active() const { return table_->active(); }
    bool editing() const;  // edit or insert state
    // Something was written into the edit buffer since the row went into edit or insert state.
    bool modified() const { return modified_; }
    // 0-based position of the unposted new row in the view, -1 when not inserting.
    int insert_row() const;

    // Appends or inserts through the data source so the new row's place is known. A pending row
    // is settled first, as leaving it would: posted when something was typed, dropped when not.
    void append();
    void insert();
    // Posts a pending row that was written to, drops one that was not.
    void check_browse_mode();

  signals:
    void dataChanged();
    void scrolled();
    void stateChanged();
    void fieldChanged(int field_index);

  private:
    void attach();
    void on_event(const tables::Event& event);

    std::unique_ptr<tables::Table> owned_;
    tables::Table* table_;
    int observer_ = -1;
    bool modified_ = false;
    int insert_row_ = -1;  // noted by append()/insert(); -1: unknown, taken as the end
};

}  // namespace pavo::app::kit
