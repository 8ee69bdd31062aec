// The common pick-list window.
#include "app/picklists/pick_list_window.h"

#include "platform/error.h"
#include "store/data_module.h"

namespace pavo::app::picklists {

tables::Table& shared_dataset(const std::string& name) {
    store::DataModule* dm = store::DataModule::instance();
    if (!dm) throw Error(ErrorKind::kInternal, "The shared datasets are not open");
    tables::Table* t = dm->dataset(name);
    if (!t) throw Error(ErrorKind::kNotFound, "No shared dataset " + name);
    return *t;
}

PickListWindow::PickListWindow(QWidget* owner, const std::string& name,
                               const std::string& accessible, const std::string& dataset,
                               const std::string& data_source, QSize client, QRect grid,
                               kit::MaintenanceLayout layout)
    : MaintenanceWindow(owner, name, "", client, accessible, std::move(layout)) {
    build(new kit::DataSource(&shared_dataset(dataset), this, data_source), grid);
}

PickListWindow::PickListWindow(QWidget* owner, const std::string& name,
                               const std::string& accessible, std::unique_ptr<tables::Table> own,
                               const std::string& data_source, QSize client, QRect grid)
    : MaintenanceWindow(owner, name, "", client, accessible) {
    build(new kit::DataSource(std::move(own), this, data_source), grid);
}

void PickListWindow::build(kit::DataSource* source, QRect grid) {
    set_data_source(source);
    DBGrid1 = new kit::DBGrid(this, "DBGrid1", source);
    DBGrid1->setGeometry(grid);
    DBGrid1->setAccessibleName(accessibleName());
}

}  // namespace pavo::app::picklists
