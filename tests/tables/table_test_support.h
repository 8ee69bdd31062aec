// Shared fixture of the table tests: a private program home with a test alias and small tables.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/error.h"
#include "tables/table.h"

namespace pavo::tables::test {

namespace fs = std::filesystem;

// Runs statement and expects a pavo::Error of kind whose text contains text.
#define EXPECT_PAVO_ERROR(statement, error_kind, text)                                  \
    do {                                                                                \
        try {                                                                           \
            statement;                                                                  \
            ADD_FAILURE() << "no error from " #statement;                               \
        } catch (const ::pavo::Error& e) {                                              \
            EXPECT_EQ(e.kind(), error_kind) << e.what();                                \
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what(); \
        }                                                                               \
    } while (0)

// Rows committed to the file, as another program reading it sees them (-1 when unreadable).
int committed_rows(const fs::path& file);

class TableTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A closed Table on the test alias.
    std::unique_ptr<Table> table(const std::string& name);
    // Creates (replacing) a table with the given definitions.
    void create(const std::string& name, std::vector<FieldDef> fields,
                std::vector<IndexDef> indexes);
    // Appends rows, each a list of texts in field order ("" leaves a field empty).
    void fill(Table& t, const std::vector<std::vector<std::string>>& rows);
    // Values of one field over the whole view, first to last.
    std::vector<std::string> column(Table& t, const std::string& field);
    fs::path data_dir() const { return home_ / "drive_c" / "data"; }

    // The job-search layout (a subset) used by several groups.
    void create_jobs();

    fs::path home_;
};

}  // namespace pavo::tables::test
