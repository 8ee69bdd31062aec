// Pieces of the migration shared by its sources, the fuzz target and the tests: the checks of a
// Paradox table file, the memo reader, the code pages and the table reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pavo::records::migrate {

namespace fs = std::filesystem;

// Field type codes of a Paradox table.
enum OldType : std::uint8_t {
    kAlpha = 0x01,
    kDate = 0x02,
    kShort = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kNumber = 0x06,
    kLogical = 0x09,
    kMemo = 0x0C,
    kBlob = 0x0D,
    kFmtMemo = 0x0E,
    kOle = 0x0F,
    kGraphic = 0x10,
    kTime = 0x14,
    kTimestamp = 0x15,
    kAutoInc = 0x16,
    kBcd = 0x17,
    kBytes = 0x18,
};

// "Alpha", "Number", ...; "type 0xNN" for a code we do not know.
std::string old_type_name(std::uint8_t type);

// A check or read that found the file unusable; kind as in MigrationError.
class OldFileError : public std::runtime_error {
  public:
    OldFileError(std::string kind, const std::string& message)
        : std::runtime_error(message), kind_(std::move(kind)) {}
    const std::string& kind() const { return kind_; }

  private:
    std::string kind_;
};

// Positioned reads of a file or a buffer: returns the bytes read, short only at the end.
struct ByteSource {
    std::function<std::size_t(void*, std::size_t, std::uint64_t)> read_at;
    std::uint64_t size = 0;
};
ByteSource memory_source(std::string_view bytes);

struct OldField {
    std::string name;
    std::uint8_t type = 0;
    int size = 0;
    int offset = 0;  // in the record
};

struct OldHeader {
    int record_size = 0;
    int header_size = 0;
    int file_type = 0;
    int block_size = 0;
    int records = 0;
    int first_block = 0;
    int version = 0;            // the file version byte
    int codepage = 0;           // 0 when the header records none
    std::uint32_t autoinc = 0;  // the header's counter: the last number handed out
    bool encrypted = false;
    std::vector<OldField> fields;
    // The data blocks in chain order with the records each holds (left empty for an encrypted
    // table, whose block heads only the library can decrypt).
    struct Block {
        int number = 0, records = 0;
    };
    std::vector<Block> chain;
};

// Checks a table file before the Paradox library reads it: file type 0 or 2, block and header
// size, field types and sizes adding up to the record size, names inside the header, and (for a
// file that is not encrypted) every block of the chain inside the file, the chain without loops
// and its records adding up to the header's count. Throws OldFileError (empty, not_paradox,
// bad_header, truncated, bad_blocks).
OldHeader check_table_file(const ByteSource& file);

// Reads the memo of a record's memo field (the field's bytes: the leading text, then the 10-byte
// pointer). A memo held in the record itself is taken from there without the memo file (mb may
// then be null). Sets in_record. Throws OldFileError memo_damaged for a pointer or block that does
// not hold together, and memo_missing when the memo lives in a memo file and mb is null.
std::string read_memo(const ByteSource* mb, std::string_view field, bool& in_record);
// Checks the memo file's header block (memo_damaged when it is not one).
void check_memo_file(const ByteSource& mb);

// Code pages: the upper 128 bytes as code points (0 where the page lacks the byte); nullptr for
// a page we have no table of.
const char16_t* code_page_table(int code_page);
// Converts old text to UTF-8; a byte the page lacks becomes U+FFFD and sets replaced.
std::string decode_text(std::string_view bytes, const char16_t* table, bool& replaced);

// Days of a Paradox date (1 = 1 January of year 1) to the program's date value (days from
// 30 December 1899).
inline double date_from_old_days(std::int64_t days) {
    return static_cast<double>(days - 693594);
}

// One value as read from an old record.
struct OldValue {
    enum Kind : std::uint8_t { kNull, kText, kNumber, kInteger, kDate, kBool, kSkippedMemo };
    Kind kind = kNull;
    std::string text;  // raw bytes (kText)
    double number = 0;
    std::int64_t integer = 0;  // kInteger, and the day number of kDate
    bool flag = false;
};

struct OldTable {
    OldHeader header;
    std::vector<std::vector<OldValue>> rows;
};

// Reads every record of a checked table with the Paradox library, in this process. mb is the
// memo file (null when missing; memos outside the record are then kSkippedMemo when skip_memos,
// else memo_missing). Throws OldFileError.
OldTable read_table(const fs::path& db, const fs::path* mb, bool skip_memos);

struct ReaderLimits {
    int seconds = 60;
    std::uint64_t memory = 2048ull << 20;
    std::function<void()> start_hook;
};

// read_table in a child process under the limits. A crash, a kill or the time limit gives
// OldFileError reader_failed; the child's own errors come back with their kinds.
OldTable read_table_in_child(const fs::path& db, const fs::path* mb, bool skip_memos,
                             const ReaderLimits& limits);

}  // namespace pavo::records::migrate
