// Creation of a complete new table set in C:\MYDATA\KV-DB\PAVODEN2\DB\<NAME>\ through the alias
// TEMPDB.
#pragma once

#include <functional>
#include <string>

#include "store/schema.h"

namespace pavo::store {

// Receives each progress line as it is produced (the creation window shows them in its memo).
using LineSink = std::function<void(const std::string&)>;

enum class CreateOutcome {
    kEmptyName,        // nothing typed: the caller asks for a name
    kHasFullStop,      // the name holds a '.': the caller refuses the extension
    kDirectoryFailed,  // the folder could not be made (it existed, ...): three lines were written
    kDone,             // every table was made
};

class TableSetCreator {
  public:
    explicit TableSetCreator(LineSink sink);

    // The whole run for a folder name: "Attempting to create directory", the checks, the folder,
    // every table in order, and the closing lines. A table-layer error (a full disk, ...) is not
    // caught: it propagates with the tables made so far left in place and the lines so far written.
    CreateOutcome create(const std::string& name);

    // The folder a name's set goes to: "C:\MYDATA\KV-DB\PAVODEN2\DB\" + name + "\".
    static std::string set_directory(const std::string& name);

    // One routine per table; each points TEMPDB at the current set's folder and writes its lines.
    void create_pavoden2_table();
    void create_stats_state_table();
    void create_stats_job_title_table();
    void create_carrier_table();
    void create_category_table();
    void create_Contact_Name_table();
    void create_config_table();
    void create_item_table();
    void create_jsearch2_table();
    void create_poscode_table();
    void create_posqual_table();
    void create_postitle_table();
    void create_time10_table();
    void create_reason_table();
    void create_city_table();
    void create_search_engine_table();
    void create_comment_table();
    void create_comment_job_search_table();
    void create_job_search_edit_table();

    // Creates one table of the schema in a logical folder (used by the routines above, and by the
    // installation step, which fills the live folder without the window's texts).
    // before_rows runs after the table is made and before its initial rows are added.
    static void create_table_in(const std::string& database, const TableSchema& table,
                                const std::function<void()>& before_rows = {});

  private:
    void create_by_method(const std::string& method);
    LineSink sink_;
    std::string name_;
};

}  // namespace pavo::store
