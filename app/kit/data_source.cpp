// Data source: dataset notifications turned into Qt signals, and the new row's place.
#include "app/kit/data_source.h"

#include "platform/error.h"

namespace pavo::app::kit {

store::DataModule& data_module() {
    store::DataModule* dm = store::DataModule::instance();
    if (!dm) throw Error(ErrorKind::kNotFound, "The shared datasets are not open.");
    return *dm;
}

using tables::DatasetState;
using tables::EventKind;

DataSource::DataSource(tables::Table* table, QObject* parent, const std::string& name)
    : QObject(parent), table_(table) {
    setObjectName(QString::fromStdString(name));
    attach();
}

DataSource::DataSource(std::unique_ptr<tables::Table> table, QObject* parent,
                       const std::string& name)
    : QObject(parent), owned_(std::move(table)), table_(owned_.get()) {
    setObjectName(QString::fromStdString(name));
    attach();
}

DataSource::~DataSource() {
    if (observer_ >= 0) table_->remove_observer(observer_);
}

void DataSource::attach() {
    observer_ = table_->add_observer([this](const tables::Event& e) { on_event(e); });
}

void DataSource::on_event(const tables::Event& event) {
    switch (event.kind) {
        case EventKind::kDataChanged:
            emit dataChanged();
            break;
        case EventKind::kScrolled:
            emit scrolled();
            break;
        case EventKind::kStateChanged:
            modified_ = false;
            if (table_->state() != DatasetState::kInsert) insert_row_ = -1;
            emit stateChanged();
            break;
        case EventKind::kFieldChanged:
            modified_ = true;
            emit fieldChanged(event.field_index);
            break;
    }
}

bool DataSource::editing() const {
    const DatasetState s = table_->state();
    return s == DatasetState::kEdit || s == DatasetState::kInsert;
}

int DataSource::insert_row() const {
    if (table_->state() != DatasetState::kInsert) return -1;
    return insert_row_ >= 0 ? insert_row_ : table_->record_count();
}

void DataSource::check_browse_mode() {
    if (!editing()) return;
    // The table's own rule for leaving a row: what nobody changed is let go, the rest is posted.
    if (table_->modified()) {
        table_->post();
    } else {
        table_->cancel();
    }
}

void DataSource::append() {
    check_browse_mode();
    const int at = table_->record_count();
    table_->append();
    insert_row_ = at;
    emit stateChanged();  // the view learns the row's place even if the state event came first
}

void DataSource::insert() {
    check_browse_mode();
    const int current = table_->record_count() == 0 ? 1 : table_->record_number();
    table_->insert();
    insert_row_ = current > 0 ? current - 1 : 0;
    emit stateChanged();
}

}  // namespace pavo::app::kit
