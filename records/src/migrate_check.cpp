// Checks of an old table file before the Paradox library reads it, the memo file reader and the
// text conversion: all of it our own bounds-checked code, run on bytes we do not trust.
#include <cstring>
#include <set>

#include "records/src/migrate_internal.h"

namespace pavo::records::migrate {

namespace {

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Reads exactly n bytes at offset or fails with kind.
void read_exact(const ByteSource& src, void* buf, std::size_t n, std::uint64_t offset,
                const char* kind, const std::string& what) {
    if (offset > src.size || n > src.size - offset || src.read_at(buf, n, offset) != n)
        throw OldFileError(kind, what + " lies beyond the end of the file");
}

// The size a field type always has in the record; 0 for the types whose size the header gives,
// -1 for a type we do not know.
int fixed_size(std::uint8_t type) {
    switch (type) {
        case kDate:
        case kLong:
        case kTime:
        case kAutoInc:
            return 4;
        case kShort:
            return 2;
        case kCurrency:
        case kNumber:
        case kTimestamp:
            return 8;
        case kLogical:
            return 1;
        case kBcd:
            return 17;
        case kAlpha:
        case kBytes:
        case kMemo:
        case kBlob:
        case kFmtMemo:
        case kOle:
        case kGraphic:
            return 0;
        default:
            return -1;
    }
}

bool is_blob(std::uint8_t type) {
    return type == kMemo || type == kBlob || type == kFmtMemo || type == kOle || type == kGraphic;
}

constexpr std::size_t kFixedHeader = 0x58;
constexpr std::size_t kMemoBlock = 4096;

}  // namespace

std::string old_type_name(std::uint8_t type) {
    switch (type) {
        case kAlpha:
            return "Alpha";
        case kDate:
            return "Date";
        case kShort:
            return "Short";
        case kLong:
            return "Long";
        case kCurrency:
            return "Currency";
        case kNumber:
            return "Number";
        case kLogical:
            return "Logical";
        case kMemo:
            return "Memo";
        case kBlob:
            return "Binary";
        case kFmtMemo:
            return "Formatted Memo";
        case kOle:
            return "OLE";
        case kGraphic:
            return "Graphic";
        case kTime:
            return "Time";
        case kTimestamp:
            return "Timestamp";
        case kAutoInc:
            return "AutoIncrement";
        case kBcd:
            return "BCD";
        case kBytes:
            return "Bytes";
        default: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "type 0x%02X", type);
            return buf;
        }
    }
}

ByteSource memory_source(std::string_view bytes) {
    ByteSource s;
    s.size = bytes.size();
    s.read_at = [bytes](void* buf, std::size_t n, std::uint64_t offset) -> std::size_t {
        if (offset >= bytes.size()) return 0;
        std::size_t k = std::min<std::size_t>(n, bytes.size() - offset);
        std::memcpy(buf, bytes.data() + offset, k);
        return k;
    };
    return s;
}

OldHeader check_table_file(const ByteSource& file) {
    if (file.size == 0) throw OldFileError("empty", "the file is empty");
    if (file.size < kFixedHeader)
        throw OldFileError("not_paradox", "the file is too short to be a Paradox table");
    unsigned char h[kFixedHeader];
    read_exact(file, h, sizeof h, 0, "not_paradox", "the header");
    OldHeader r;
    r.record_size = le16(h + 0x00);
    r.header_size = le16(h + 0x02);
    r.file_type = h[0x04];
    const int block_kb = h[0x05];
    r.records = static_cast<int>(std::min<std::uint32_t>(le32(h + 0x06), 0x7fffffff));
    const int file_blocks = le16(h + 0x0C);
    r.first_block = le16(h + 0x0E);
    const int field_count = le16(h + 0x21);
    r.version = h[0x39];
    r.autoinc = le32(h + 0x49);

    if (r.file_type != 0 && r.file_type != 2)
        throw OldFileError("not_paradox", "file type " + std::to_string(r.file_type) +
                                              " is not a Paradox data table");
    if (r.header_size == 0 || r.header_size % 0x800 != 0)
        throw OldFileError("not_paradox", "header size " + std::to_string(r.header_size) +
                                              " is not a Paradox one");
    if (r.version < 3 || r.version > 12)
        throw OldFileError("bad_header", "unknown file version " + std::to_string(r.version));
    if (!(block_kb >= 1 && block_kb <= 4) && block_kb != 8 && block_kb != 16 && block_kb != 32)
        throw OldFileError("bad_header", "block size of " + std::to_string(block_kb) + " KB");
    r.block_size = block_kb * 1024;
    if (static_cast<std::uint64_t>(r.header_size) > file.size)
        throw OldFileError("truncated", "the file ends inside its header");

    // The rest of the header: the field types and sizes, then the names.
    std::string head(static_cast<std::size_t>(r.header_size), '\0');
    read_exact(file, head.data(), head.size(), 0, "truncated", "the header");
    const auto* hb = reinterpret_cast<const unsigned char*>(head.data());
    const bool extended = r.version >= 5;  // version 4.0 files and later carry a second part
    // Later versions keep the key in the second part and a fixed pattern in the first; a file
    // with a key in either place counts as encrypted, as the library would decrypt it then.
    const std::uint32_t first_key = le32(hb + 0x25);
    bool encrypted = first_key != 0 && first_key != 0xFF00FF00u;
    std::size_t pos = kFixedHeader;
    if (extended) {
        if (head.size() < 0x78) throw OldFileError("bad_header", "the header is too short");
        encrypted = encrypted || le32(hb + 0x5C) != 0;
        r.codepage = le16(hb + 0x6A);
        pos = 0x78;
    }
    r.encrypted = encrypted;
    if (field_count < 1 || field_count > 255)
        throw OldFileError("bad_header", std::to_string(field_count) + " fields");
    const std::size_t name_table = r.version >= 12 ? 261 : 79;
    const std::size_t names_at = pos + 2 * field_count + 4 + 4 * field_count + name_table;
    if (names_at >= head.size())
        throw OldFileError("bad_header", "the field list does not fit in the header");
    int sum = 0;
    for (int i = 0; i < field_count; ++i) {
        OldField f;
        f.type = hb[pos + 2 * i];
        f.size = hb[pos + 2 * i + 1];
        const int fixed = fixed_size(f.type);
        if (fixed < 0)
            throw OldFileError("bad_header", "field " + std::to_string(i + 1) + " has unknown " +
                                                 old_type_name(f.type));
        if ((fixed > 0 && f.size != fixed) || (fixed == 0 && f.size < (is_blob(f.type) ? 10 : 1)))
            throw OldFileError("bad_header", "field " + std::to_string(i + 1) + " (" +
                                                 old_type_name(f.type) + ") has size " +
                                                 std::to_string(f.size));
        f.offset = sum;
        sum += f.size;
        r.fields.push_back(f);
    }
    if (sum != r.record_size)
        throw OldFileError("bad_header", "record size " + std::to_string(r.record_size) +
                                             " is not the fields' " + std::to_string(sum));
    if (r.record_size > r.block_size - 6)
        throw OldFileError("bad_header", "a record does not fit in a block");
    std::size_t at = names_at;
    for (OldField& f : r.fields) {
        std::size_t end = head.find('\0', at);
        if (end == std::string::npos) throw OldFileError("bad_header", "field names are cut off");
        f.name = head.substr(at, end - at);
        at = end + 1;
    }

    // Blocks: each one inside the file, the chain from the first block without loops, and the
    // records of its blocks adding up to the header's count.
    const std::uint64_t data_bytes = file.size - static_cast<std::uint64_t>(r.header_size);
    if (r.encrypted) {
        // The block headers are encrypted as well; only the sizes can be checked here.
        if (static_cast<std::uint64_t>(file_blocks) * r.block_size > data_bytes)
            throw OldFileError("truncated", "the file ends before its last block");
        return r;
    }
    std::set<int> seen;
    std::int64_t total = 0;
    int block = r.first_block;
    if (r.records == 0 && block == 0) return r;
    while (block != 0) {
        if (!seen.insert(block).second)
            throw OldFileError("bad_blocks",
                               "the block chain loops at block " + std::to_string(block));
        const std::uint64_t start =
            r.header_size + static_cast<std::uint64_t>(block - 1) * r.block_size;
        if (start + r.block_size > file.size) {
            if (block <= file_blocks)
                throw OldFileError("truncated",
                                   "the file ends inside block " + std::to_string(block));
            throw OldFileError("bad_blocks", "block " + std::to_string(block) + " of " +
                                                 std::to_string(file_blocks) +
                                                 " is outside the file");
        }
        unsigned char bh[6];
        read_exact(file, bh, sizeof bh, start, "truncated", "block " + std::to_string(block));
        const int next = le16(bh);
        const auto add = static_cast<std::int16_t>(le16(bh + 4));
        int count = 0;
        if (add >= 0) {
            if (add % r.record_size != 0)
                throw OldFileError("bad_blocks",
                                   "block " + std::to_string(block) + " does not end on a record");
            count = add / r.record_size + 1;
            if (6 + count * r.record_size > r.block_size)
                throw OldFileError("bad_blocks", "block " + std::to_string(block) +
                                                     " claims more records than it holds");
        }
        total += count;
        r.chain.push_back({block, count});
        block = next;
    }
    if (total != r.records)
        throw OldFileError("bad_blocks", "the header counts " + std::to_string(r.records) +
                                             " records, the blocks hold " + std::to_string(total));
    return r;
}

void check_memo_file(const ByteSource& mb) {
    unsigned char type = 0xFF;
    if (mb.size < kMemoBlock || mb.read_at(&type, 1, 0) != 1 || type != 0)
        throw OldFileError("memo_damaged", "the memo file has no header block");
}

std::string read_memo(const ByteSource* mb, std::string_view field, bool& in_record) {
    in_record = true;
    if (field.size() < 10) throw OldFileError("memo_damaged", "a memo field under 10 bytes");
    const std::size_t leader = field.size() - 10;
    const auto* p = reinterpret_cast<const unsigned char*>(field.data() + leader);
    const std::uint32_t where = le32(p);
    const std::uint32_t length = le32(p + 4);
    if (length == 0) return {};
    if (where == 0) {
        if (length > leader)
            throw OldFileError("memo_damaged", "a memo of " + std::to_string(length) +
                                                   " bytes without a place in the memo file");
        return std::string(field.substr(0, length));
    }
    in_record = false;
    if (!mb) throw OldFileError("memo_missing", "the memo file is missing");
    const std::uint64_t block = where & ~0xFFu;
    const unsigned index = where & 0xFFu;
    auto damaged = [&](const std::string& why) {
        return OldFileError("memo_damaged", "memo at offset " + std::to_string(block) + ": " + why);
    };
    if (block < kMemoBlock || block % kMemoBlock != 0 || block + kMemoBlock > mb->size)
        throw damaged("outside the memo file");
    unsigned char bh[12 + 64 * 5];
    if (mb->read_at(bh, sizeof bh, block) != sizeof bh) throw damaged("the block is cut off");
    std::string text;
    if (index == 0xFF) {
        if (bh[0] != 2) throw damaged("not a single memo block");
        const std::uint64_t chunks = le16(bh + 1);
        const std::uint32_t stored = le32(bh + 3);
        if (stored != length) throw damaged("its length disagrees with the record's");
        if (chunks == 0 || block + chunks * kMemoBlock > mb->size ||
            9 + static_cast<std::uint64_t>(length) > chunks * kMemoBlock)
            throw damaged("the memo runs past its block");
        text.resize(length);
        if (mb->read_at(text.data(), length, block + 9) != length) throw damaged("cut off");
    } else {
        if (bh[0] != 3) throw damaged("not a shared memo block");
        if (index >= 64) throw damaged("entry " + std::to_string(index) + " does not exist");
        const unsigned char* e = bh + 12 + index * 5;
        const unsigned start = e[0] * 16u;
        const unsigned paragraphs = e[1];
        const unsigned rest = e[4];
        if (e[0] == 0 || paragraphs == 0 || rest > 15) throw damaged("an empty entry");
        const unsigned stored = (paragraphs - 1) * 16 + (rest == 0 ? 16 : rest);
        if (stored != length) throw damaged("its length disagrees with the record's");
        if (start < sizeof bh || start + stored > kMemoBlock)
            throw damaged("the memo runs past its block");
        text.resize(length);
        if (mb->read_at(text.data(), length, block + start) != length) throw damaged("cut off");
    }
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string decode_text(std::string_view bytes, const char16_t* table, bool& replaced) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char32_t u = table ? table[c - 0x80] : 0;
        if (u == 0) {
            u = 0xFFFD;
            replaced = true;
        }
        if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
    return out;
}

}  // namespace pavo::records::migrate
