// The grid bound to a dataset: a virtual model that reads only the rows on screen, chosen columns
// with titles, widths, pick lists, colours and read-only flags, and the current row kept in step
// with the dataset both ways.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>
#include <optional>
#include <string>
#include <vector>

#include "app/kit/data_source.h"

namespace pavo::app::kit {

struct GridColumn {
    std::string field;
    std::string title;                   // the field name when empty
    int width = 0;                       // pixels; 0: the view's default
    std::vector<std::string> pick_list;  // offered in a drop-down while editing the cell
    std::optional<QColor> colour;        // cell background
    bool read_only = false;
    // Numbers and dates read best right-aligned.
    bool right_aligned = false;
};

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    DatasetModel(DataSource* source, QObject* parent);
    // No columns given: every field of the table, in table order, titled by its name.
    void set_columns(std::vector<GridColumn> columns);
    const std::vector<GridColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The dataset row shown at a view row: the text of one cell as the user sees it.
    QString cell_text(int row, int column) const;
    // Characters of a text column's field, 0 for other types.
    int field_size(int column) const;
    // Reads of stored rows since the last reset (a check that the view reads only what it shows).
    long long row_reads() const { return row_reads_; }
    void reset_row_reads() { row_reads_ = 0; }
    DataSource* source() const { return source_; }
    // The view row of the dataset's current row (the new row while inserting), -1 when none.
    int current_row() const;

    QWidget* error_parent = nullptr;

  private:
    void reload();
    int field_index(int column) const;

    DataSource* source_;
    std::vector<GridColumn> columns_;
    mutable std::vector<int> field_indexes_;
    bool all_fields_ = true;
    mutable long long row_reads_ = 0;
};

class DBGrid : public QTableView {
    Q_OBJECT
  public:
    DBGrid(QWidget* parent, const std::string& name, DataSource* source);
    void set_columns(std::vector<GridColumn> columns);
    DatasetModel* dataset_model() const { return model_; }
    // Selects the dataset's current row in the view.
    void follow_dataset();

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    void apply_widths();
    DatasetModel* model_;
    bool following_ = false;
};

}  // namespace pavo::app::kit
