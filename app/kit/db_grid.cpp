// Virtual dataset model and the grid view over it.
#include "app/kit/db_grid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/error.h"
#include "utility/text_conv.h"

namespace pavo::app::kit {

using tables::DatasetState;
using tables::FieldType;

namespace {

// A drop-down editor for the columns that carry a pick list.
class PickListDelegate : public QStyledItemDelegate {
  public:
    PickListDelegate(DatasetModel* model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const auto& cols = model_->columns();
        if (index.column() < static_cast<int>(cols.size()) &&
            !cols[static_cast<std::size_t>(index.column())].pick_list.empty()) {
            auto* box = new QComboBox(parent);
            box->setEditable(true);
            for (const auto& item : cols[static_cast<std::size_t>(index.column())].pick_list)
                box->addItem(q(item));
            return box;
        }
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            box->setCurrentText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, box->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

  private:
    DatasetModel* model_;
};

}  // namespace

DatasetModel::DatasetModel(DataSource* source, QObject* parent)
    : QAbstractTableModel(parent), source_(source) {
    connect(source_, &DataSource::dataChanged, this, &DatasetModel::reload);
    connect(source_, &DataSource::stateChanged, this, &DatasetModel::reload);
    connect(source_, &DataSource::fieldChanged, this, [this](int) {
        const int row = current_row();
        if (row >= 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
}

void DatasetModel::set_columns(std::vector<GridColumn> columns) {
    beginResetModel();
    all_fields_ = columns.empty();
    columns_ = std::move(columns);
    field_indexes_.clear();
    endResetModel();
}

void DatasetModel::reload() {
    beginResetModel();
    field_indexes_.clear();
    endResetModel();
}

int DatasetModel::field_index(int column) const {
    if (field_indexes_.empty()) {
        tables::Table& t = source_->dataset();
        if (all_fields_) {
            const_cast<DatasetModel*>(this)->columns_.clear();
            for (const std::string& name : t.field_names()) {
                GridColumn column;
                column.field = name;
                const_cast<DatasetModel*>(this)->columns_.push_back(column);
            }
        }
        for (const GridColumn& c : columns_) {
            int at = -1;
            try {
                at = t.field(c.field).index();
            } catch (const Error&) {
            }
            field_indexes_.push_back(at);
        }
    }
    return column < static_cast<int>(field_indexes_.size())
               ? field_indexes_[static_cast<std::size_t>(column)]
               : -1;
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !source_->active()) return 0;
    return source_->dataset().record_count() + (source_->insert_row() >= 0 ? 1 : 0);
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    if (all_fields_ && source_->active()) {
        field_index(0);
        return static_cast<int>(columns_.size());
    }
    return static_cast<int>(columns_.size());
}

int DatasetModel::current_row() const {
    if (!source_->active()) return -1;
    const int ins = source_->insert_row();
    if (ins >= 0) return ins;
    const int n = source_->dataset().record_number();
    return n > 0 ? n - 1 : -1;
}

QString DatasetModel::cell_text(int row, int column) const {
    if (!source_->active()) return {};
    tables::Table& t = source_->dataset();
    const int fi = field_index(column);
    if (fi < 0) return {};
    const int ins = source_->insert_row();
    try {
        // The pending row is shown from the edit buffer, the others from the stored rows.
        if (row == current_row() && source_->editing()) {
            tables::Field f = t.field(fi);
            if (f.type() == FieldType::kBoolean && !f.is_null())
                return q(format_bool(f.as_boolean()));
            return q(f.as_string());
        }
        int stored = row + 1;
        if (ins >= 0 && row > ins) stored = row;
        if (stored < 1 || stored > t.record_count()) return {};
        ++row_reads_;
        return q(t.text_at(stored, fi));
    } catch (const Error&) {
        return {};
    }
}

int DatasetModel::field_size(int column) const {
    if (!source_->active()) return 0;
    const int fi = field_index(column);
    if (fi < 0) return 0;
    try {
        tables::Field f = source_->dataset().field(fi);
        return f.type() == FieldType::kString ? f.size() : 0;
    } catch (const Error&) {
        return 0;
    }
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto col = static_cast<std::size_t>(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return cell_text(index.row(), index.column());
        case Qt::BackgroundRole:
            if (col < columns_.size() && columns_[col].colour) return *columns_[col].colour;
            return {};
        case Qt::TextAlignmentRole:
            if (col < columns_.size() && columns_[col].right_aligned)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            return {};
        default:
            return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columnCount()) return {};
    const GridColumn& c = columns_[static_cast<std::size_t>(section)];
    return q(c.title.empty() ? c.field : c.title);
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const auto col = static_cast<std::size_t>(index.column());
    if (index.isValid() && col < columns_.size() && !columns_[col].read_only)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const int fi = field_index(index.column());
    if (fi < 0) return false;
    return guarded(error_parent, [&] {
        tables::Table& t = source_->dataset();
        if (index.row() != current_row()) {
            t.set_record_number(index.row() + 1);
        }
        // Typing into a row that is only being shown starts editing it.
        if (!source_->editing()) t.edit();
        t.field(fi).set_as_string(value.toString().toStdString());
    });
}

DBGrid::DBGrid(QWidget* parent, const std::string& name, DataSource* source)
    : QTableView(parent), model_(new DatasetModel(source, this)) {
    setObjectName(q(name));
    model_->error_parent = this;
    setModel(model_);
    setItemDelegate(new PickListDelegate(model_, this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Fixed row heights keep the view from measuring every row of a large table.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        apply_widths();
        follow_dataset();
    });
    connect(source, &DataSource::scrolled, this, &DBGrid::follow_dataset);
    apply_widths();
    follow_dataset();
}

void DBGrid::set_columns(std::vector<GridColumn> columns) {
    model_->set_columns(std::move(columns));
}

void DBGrid::apply_widths() {
    const auto& cols = model_->columns();
    for (std::size_t i = 0; i < cols.size(); ++i) {
        int width = cols[i].width;
        if (width <= 0) {
            // Without a given width a text column is as wide as its field holds characters, within
            // reason, so that pick-list values are readable without resizing.
            const int chars = model_->field_size(static_cast<int>(i));
            if (chars > 0) {
                const QString title =
                    model_->headerData(static_cast<int>(i), Qt::Horizontal, Qt::DisplayRole)
                        .toString();
                QFont bold = horizontalHeader()->font();
                bold.setBold(true);
                const int title_width = QFontMetrics(bold).horizontalAdvance(title) + 24;
                width =
                    std::max(title_width,
                             std::clamp(chars * fontMetrics().averageCharWidth() + 12, 60, 520));
            }
        }
        if (width > 0) setColumnWidth(static_cast<int>(i), width);
    }
}

void DBGrid::follow_dataset() {
    const int row = model_->current_row();
    if (row < 0) return;
    following_ = true;
    const int col = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(model_->index(row, col));
    following_ = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid() || current.row() == model_->current_row()) return;
    // Moving to another row leaves the pending one, which the dataset posts first.
    const int ins = model_->source()->insert_row();
    const int stored = ins >= 0 && current.row() > ins ? current.row() : current.row() + 1;
    const bool moved =
        guarded(this, [&] { model_->source()->dataset().set_record_number(stored); });
    if (!moved) follow_dataset();
}

}  // namespace pavo::app::kit
