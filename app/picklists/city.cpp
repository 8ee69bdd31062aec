// Pick list window TCity: its own dataset over CITY.db, opened with the window, closed with it.
#include "app/picklists/city.h"

namespace pavo::app::picklists {

namespace {

std::unique_ptr<tables::Table> open_city_table() {
    auto table = std::make_unique<tables::Table>();
    table->set_database_name("PAVODEN2");
    table->set_table_name("CITY.db");
    table->open();
    return table;
}

}  // namespace

TCity::TCity(QWidget* owner)
    : PickListWindow(owner, "City", "City Pick List", open_city_table(), "DataSource1") {}

}  // namespace pavo::app::picklists
