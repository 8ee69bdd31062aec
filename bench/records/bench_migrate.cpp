// bench-migrate: the migration of 65,000 old job-search records (a memo in every tenth) into a new
// set, and the checked reading alone, each against pxlib reading (plus raw SQLite inserts in one
// transaction for the whole run) in the same process. Prints "name ours_ms baseline_ms ratio".
//
// pxlib's writer re-reads every block header per record, so the old table is made once per build
// folder on a memory stream and kept under bench-data/.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "records/migrate.h"
#include "records/src/migrate_internal.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "tests/support/old_tables.h"
#include "utility/text_conv.h"

extern "C" {
#include <paradox.h>
}

namespace fs = std::filesystem;
using namespace pavo;
using namespace pavo::bench;
using pavo::test::Cell;

namespace {

constexpr int kJobs = 65000;

// The old jsearch2 table of kJobs generated records, made when the build folder lacks it.
fs::path old_folder() {
    const fs::path dir = fs::path(PAVO_BINARY_DIR) / "bench-data" / "migrate-65k";
    if (fs::exists(dir / "JSEARCH2.DB")) return dir;
    fs::create_directories(dir);
    const store::TableSchema& schema = *store::find_table_schema("jsearch2.DB");
    auto spec = pavo::test::spec_for(schema);
    auto texts = sample::Generator().job_searches(kJobs);
    for (std::size_t r = 0; r < texts.size(); ++r) {
        std::vector<Cell> row;
        for (std::size_t i = 0; i < schema.fields.size(); ++i) {
            const std::string& t = texts[r][i];
            switch (schema.fields[i].type) {
                case tables::FieldType::kAutoInc:
                    row.push_back(Cell::whole(static_cast<long>(r) + 1));
                    break;
                case tables::FieldType::kDate: {
                    auto d = parse_short_date(t);
                    row.push_back(d ? Cell::whole(static_cast<long>(*d) + 693594) : Cell::null());
                    break;
                }
                case tables::FieldType::kFloat: {
                    auto n = parse_number(t);
                    row.push_back(n ? Cell::num(*n) : Cell::null());
                    break;
                }
                case tables::FieldType::kBoolean: {
                    auto b = parse_bool(t);
                    row.push_back(b ? Cell::boolean(*b) : Cell::null());
                    break;
                }
                case tables::FieldType::kMemo:
                    row.push_back(r % 10 == 0 ? Cell::memo("Follow-up notes for application " +
                                                           std::to_string(r + 1) + ": " +
                                                           std::string(150, 'n'))
                                              : Cell::null());
                    break;
                case tables::FieldType::kString:
                    row.push_back(t.empty() ? Cell::null() : Cell::str(t));
                    break;
            }
        }
        spec.rows.push_back(std::move(row));
    }
    spec.autoinc = kJobs;
    pavo::test::write_old_table(dir, "JSEARCH2", spec);
    return dir;
}

// pxlib reading every record and decoding every field, as a plain reader would.
struct PlainRow {
    std::vector<std::string> text;
    std::vector<double> number;
};
std::vector<PlainRow> pxlib_read(const fs::path& db, int& fields_out) {
    FILE* fp = std::fopen(db.c_str(), "rb");
    pxdoc_t* doc = PX_new();
    if (PX_open_fp(doc, fp) < 0) std::exit(1);
    const int n = PX_get_num_records(doc);
    const int nf = PX_get_num_fields(doc);
    fields_out = nf;
    std::vector<char> rec(static_cast<std::size_t>(PX_get_recordsize(doc)));
    std::vector<PlainRow> rows(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        PX_get_record(doc, i, rec.data());
        int at = 0;
        PlainRow& row = rows[static_cast<std::size_t>(i)];
        row.text.resize(static_cast<std::size_t>(nf));
        row.number.resize(static_cast<std::size_t>(nf));
        for (int f = 0; f < nf; ++f) {
            pxfield_t* fd = PX_get_field(doc, f);
            char* p = rec.data() + at;
            at += fd->px_flen;
            if (fd->px_ftype == pxfAlpha) {
                int len = 0;
                while (len < fd->px_flen && p[len]) ++len;
                row.text[static_cast<std::size_t>(f)].assign(p, static_cast<std::size_t>(len));
            } else if (fd->px_ftype == pxfNumber) {
                PX_get_data_double(doc, p, 8, &row.number[static_cast<std::size_t>(f)]);
            } else if (fd->px_flen == 4) {
                long v = 0;
                PX_get_data_long(doc, p, 4, &v);
                row.number[static_cast<std::size_t>(f)] = static_cast<double>(v);
            }
        }
    }
    PX_close(doc);
    PX_delete(doc);
    std::fclose(fp);
    return rows;
}

// The baseline of the whole run: pxlib reading, then raw SQLite inserts in one transaction.
void baseline_migrate(const fs::path& db, const fs::path& out) {
    int nf = 0;
    auto rows = pxlib_read(db, nf);
    fs::remove(out);
    sqlite3* s = nullptr;
    sqlite3_open(out.c_str(), &s);
    std::string create = "CREATE TABLE data(rid INTEGER PRIMARY KEY AUTOINCREMENT";
    std::string insert = "INSERT INTO data VALUES(NULL";
    for (int f = 0; f < nf; ++f) {
        create += ", c" + std::to_string(f);
        insert += ", ?";
    }
    sqlite3_exec(s, (create + ")").c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(s, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(s, (insert + ")").c_str(), -1, &st, nullptr);
    for (const PlainRow& r : rows) {
        for (int f = 0; f < nf; ++f) {
            const std::string& t = r.text[static_cast<std::size_t>(f)];
            if (!t.empty())
                sqlite3_bind_text(st, f + 1, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
            else
                sqlite3_bind_double(st, f + 1, r.number[static_cast<std::size_t>(f)]);
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(s, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(s);
}

}  // namespace

int main() {
    const fs::path old = old_folder();
    const fs::path work =
        fs::temp_directory_path() / ("bench-migrate-" + std::to_string(::getpid()));
    fs::create_directories(work);
    ::setenv("PAVODEN2_HOME", (work / "home").c_str(), 1);
    DriveMap::set_current_home(work / "home");
    const fs::path target = work / "sets" / "NEWSET";
    fs::create_directories(target.parent_path());

    records::MigrationOptions options;
    options.old_dir = old;
    options.target = target;
    bool ok = true;
    const double ours = best_ms(
        3, [&] { fs::remove_all(target); },
        [&] { ok = records::migrate_tables(options).done && ok; });
    if (!ok) {
        std::fprintf(stderr, "bench-migrate: the migration failed\n");
        return 1;
    }
    const double base =
        best_ms(3, [&] { baseline_migrate(old / "JSEARCH2.DB", work / "base.db"); });
    report("migrate_65k", ours, base, 0);

    std::size_t rows = 0;
    const double read_ours = best_ms(3, [&] {
        rows = records::migrate::read_table_in_child(old / "JSEARCH2.DB", nullptr, true, {})
                   .rows.size();
    });
    int nf = 0;
    const double read_base = best_ms(3, [&] { (void)pxlib_read(old / "JSEARCH2.DB", nf); });
    report("read_65k", read_ours, read_base, 0);
    fs::remove_all(work);
    return rows == static_cast<std::size_t>(kJobs) ? 0 : 1;
}
