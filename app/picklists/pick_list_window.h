// The common pick-list window: the editing panel on the left and one grid of the whole lookup
// table on the right, where values are typed.
#pragma once

#include <QRect>
#include <memory>
#include <string>

#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"

namespace pavo::app::picklists {

class PickListWindow : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    kit::DBGrid* DBGrid1;

  protected:
    // Over one of the shared datasets (by its name in the data module) and its data source name.
    PickListWindow(QWidget* owner, const std::string& name, const std::string& accessible,
                   const std::string& dataset, const std::string& data_source,
                   QSize client = {753, 361}, QRect grid = {176, 0, 577, 361},
                   kit::MaintenanceLayout layout = {});
    // Over a dataset of the window's own.
    PickListWindow(QWidget* owner, const std::string& name, const std::string& accessible,
                   std::unique_ptr<tables::Table> own, const std::string& data_source,
                   QSize client = {753, 361}, QRect grid = {176, 0, 577, 361});

  private:
    void build(kit::DataSource* source, QRect grid);
};

// The shared dataset of that name; throws pavo::Error when the data module is not there.
tables::Table& shared_dataset(const std::string& name);

}  // namespace pavo::app::picklists
