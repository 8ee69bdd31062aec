// Shared fixture of the migration tests: a private home, an old folder filled with tables made by
// pxlib's writer, and readers of the new set.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "records/migrate.h"
#include "store/schema.h"
#include "support/old_tables.h"
#include "support/temp_home.h"
#include "tables/table.h"

namespace pavo::records::test {

namespace fs = std::filesystem;
using pavo::test::Cell;
using pavo::test::OldTableSpec;

class MigrateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        old_ = home_.path() / "old";
        fs::create_directories(old_);
        target_ = home_.path() / "sets" / "NEWSET";
        fs::create_directories(target_.parent_path());
    }

    // The old columns of a table of the set, by its name ("jsearch2.DB").
    static OldTableSpec spec(const std::string& table) {
        return pavo::test::spec_for(*store::find_table_schema(table));
    }
    // A row with the given cells by column name, the rest null.
    static std::vector<Cell> row(const OldTableSpec& s, const std::map<std::string, Cell>& cells) {
        auto r = pavo::test::empty_row(s);
        for (const auto& [name, cell] : cells) {
            int i = pavo::test::column_index(s, name);
            EXPECT_GE(i, 0) << name;
            if (i >= 0) r[static_cast<std::size_t>(i)] = cell;
        }
        return r;
    }
    // A job-search row with every required field set.
    static std::vector<Cell> job(const OldTableSpec& s, long pk, const std::string& contact) {
        return row(s, {{"PK", Cell::whole(pk)},
                       {"DATE", Cell::date(2004, 2, 29)},
                       {"YYYYMMDD", Cell::str("20040229")},
                       {"TIME", Cell::str("09:30")},
                       {"CONTACT_NAME", Cell::str(contact)},
                       {"POS_TYPE", Cell::str("FT")},
                       {"POS_CITY", Cell::str("DENVER")},
                       {"POS_STATE", Cell::str("CO")}});
    }
    void write(const std::string& stem, const OldTableSpec& s) {
        pavo::test::write_old_table(old_, stem, s);
    }

    MigrationReport migrate(MigrationOptions o = {}) {
        o.old_dir = old_;
        o.target = target_;
        if (o.reader_seconds == 60) o.reader_seconds = 30;
        return migrate_tables(o);
    }
    const TableReport* table_report(const MigrationReport& r, const std::string& table) {
        for (const TableReport& t : r.tables)
            if (t.table == table) return &t;
        return nullptr;
    }

    // Every row of a new table as texts by field name (null fields left out).
    std::vector<std::map<std::string, std::string>> rows(const std::string& table) {
        tables::Table t;
        t.set_database_name(DriveMap::current().to_logical(target_));
        t.set_table_name(table);
        t.open();
        std::vector<std::map<std::string, std::string>> out;
        for (t.first(); !t.eof(); t.next()) {
            auto& m = out.emplace_back();
            for (int i = 0; i < t.field_count(); ++i)
                if (!t.field(i).is_null()) m[t.field(i).name()] = t.field(i).as_string();
        }
        return out;
    }

    // Folders beside the target (a temporary one must never stay).
    std::vector<std::string> beside_target() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(target_.parent_path()))
            names.push_back(e.path().filename().string());
        return names;
    }

    pavo::testing::TempHome home_;
    fs::path old_, target_;
};

}  // namespace pavo::records::test
