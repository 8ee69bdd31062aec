// Writes the seed inputs of migrate_fuzz (committed under corpus/): test tables of the set made
// with pxlib's writer, each with its memo file, in the fuzz target's input form.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "store/schema.h"
#include "support/old_tables.h"

using pavo::test::Cell;

namespace {

void seed(const std::string& dir, const std::string& name, const pavo::test::OldTableSpec& spec) {
    pavo::test::OldFiles f = pavo::test::build_old_table(spec);
    std::uint32_t n = static_cast<std::uint32_t>(f.db.size());
    std::string out(4, '\0');
    std::memcpy(out.data(), &n, 4);
    std::ofstream(dir + "/" + name, std::ios::binary) << out << f.db << f.mb;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    auto city = pavo::test::spec_for(*pavo::store::find_table_schema("CITY.db"));
    for (int i = 0; i < 60; ++i) city.rows.push_back({Cell::str("CITY " + std::to_string(i))});
    seed(dir, "city_two_blocks", city);
    auto pay = pavo::test::spec_for(*pavo::store::find_table_schema("PAVODEN2.DB"));
    const int memo = pavo::test::column_index(pay, "MEMO");
    const int amount = pavo::test::column_index(pay, "SS_AMT");
    const int date = pavo::test::column_index(pay, "ITEM_DATE");
    const std::string memos[] = {"in the record", std::string(200, 'a'), std::string(5000, 'b')};
    for (int i = 0; i < 3; ++i) {
        auto row = pavo::test::empty_row(pay);
        row[static_cast<std::size_t>(memo)] = Cell::memo(memos[i]);
        row[static_cast<std::size_t>(amount)] = Cell::num(12.5 * i);
        row[static_cast<std::size_t>(date)] = Cell::date(2004, 2, 29);
        pay.rows.push_back(row);
    }
    seed(dir, "payments_memos", pay);
    auto config = pavo::test::spec_for(*pavo::store::find_table_schema("CONFIG.DB"));
    config.rows.push_back(pavo::test::empty_row(config));
    config.rows.back()[1] = Cell::str("C:\\");
    config.rows.back()[2] = Cell::boolean(true);
    seed(dir, "config_one_row", config);
    return 0;
}
