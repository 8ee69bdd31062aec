// Old Paradox tables made with pxlib's writer on a memory stream, and memo files laid out by hand.
#include "tests/support/old_tables.h"

#include <strings.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern "C" {
#include <paradox.h>
}

namespace pavo::test {

namespace {

void put_le16(std::string& s, std::size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put_le32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Lays out memos: a header block, shared blocks of up to 64 short memos, single blocks for long
// ones. Returns the 10-byte pointer of each memo.
class MemoFile {
  public:
    MemoFile() : bytes_(4096, '\0') {}
    std::string add(const std::string& memo) {
        std::uint32_t where = 0;
        if (memo.size() <= 2048) {
            const std::size_t paragraphs = (memo.size() + 15) / 16;
            if (shared_ == 0 || entries_ == 64 || next_para_ + paragraphs > 256) {
                shared_ = bytes_.size();
                bytes_.append(4096, '\0');
                bytes_[shared_] = 3;
                put_le16(bytes_, shared_ + 1, 1);
                entries_ = 0;
                next_para_ = 21;  // after the 12-byte head and the 64 five-byte entries
            }
            char* e = bytes_.data() + shared_ + 12 + entries_ * 5;
            e[0] = static_cast<char>(next_para_);
            e[1] = static_cast<char>(paragraphs);
            e[4] = static_cast<char>(memo.size() % 16);
            std::memcpy(bytes_.data() + shared_ + next_para_ * 16, memo.data(), memo.size());
            where = static_cast<std::uint32_t>(shared_) | static_cast<std::uint32_t>(entries_);
            ++entries_;
            next_para_ += paragraphs;
        } else {
            const std::size_t start = bytes_.size();
            const std::size_t chunks = (9 + memo.size() + 4095) / 4096;
            bytes_.append(chunks * 4096, '\0');
            bytes_[start] = 2;
            put_le16(bytes_, start + 1, static_cast<unsigned>(chunks));
            put_le32(bytes_.data() + start + 3, static_cast<std::uint32_t>(memo.size()));
            std::memcpy(bytes_.data() + start + 9, memo.data(), memo.size());
            where = static_cast<std::uint32_t>(start) | 0xFF;
        }
        std::string ptr(10, '\0');
        put_le32(ptr.data(), where);
        put_le32(ptr.data() + 4, static_cast<std::uint32_t>(memo.size()));
        return ptr;
    }
    bool used() const { return bytes_.size() > 4096; }
    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
    std::size_t shared_ = 0, entries_ = 0, next_para_ = 0;
};

std::uint8_t type_for(tables::FieldType t) {
    switch (t) {
        case tables::FieldType::kString:
            return pxfAlpha;
        case tables::FieldType::kDate:
            return pxfDate;
        case tables::FieldType::kFloat:
            return pxfNumber;
        case tables::FieldType::kBoolean:
            return pxfLogical;
        case tables::FieldType::kAutoInc:
            return pxfAutoInc;
        case tables::FieldType::kMemo:
            return pxfMemoBLOb;
    }
    return pxfAlpha;
}

int size_for(std::uint8_t type, int alpha) {
    switch (type) {
        case pxfAlpha:
            return alpha;
        case pxfDate:
        case pxfLong:
        case pxfAutoInc:
        case pxfTime:
            return 4;
        case pxfShort:
            return 2;
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp:
            return 8;
        case pxfLogical:
            return 1;
        case pxfMemoBLOb:
            return 20;
        default:
            return alpha;
    }
}

}  // namespace

Cell Cell::date(int year, int month, int day) {
    using namespace std::chrono;
    const auto d = sys_days{std::chrono::year{year} / month / day} -
                   sys_days{std::chrono::year{1} / January / 1};
    return whole(static_cast<long>(d.count()) + 1);
}

OldTableSpec spec_for(const store::TableSchema& schema) {
    OldTableSpec spec;
    for (const tables::FieldDef& f : schema.fields) {
        const std::uint8_t type = type_for(f.type);
        spec.columns.push_back({f.name, type, size_for(type, f.size)});
    }
    return spec;
}

int column_index(const OldTableSpec& spec, const std::string& name) {
    for (std::size_t i = 0; i < spec.columns.size(); ++i)
        if (::strcasecmp(spec.columns[i].name.c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

std::vector<Cell> empty_row(const OldTableSpec& spec) {
    return std::vector<Cell>(spec.columns.size());
}

OldFiles build_old_table(const OldTableSpec& spec) {
    int record_size = 0;
    for (const OldColumn& c : spec.columns) record_size += c.size;
    const std::size_t capacity = 16384 + spec.rows.size() * (record_size + 8) * 2;
    std::string buffer(capacity, '\0');
    FILE* fp = ::fmemopen(buffer.data(), buffer.size(), "w+");
    if (!fp) throw std::runtime_error("fmemopen failed");
    pxdoc_t* doc = PX_new();
    auto* fields = static_cast<pxfield_t*>(std::calloc(spec.columns.size(), sizeof(pxfield_t)));
    for (std::size_t i = 0; i < spec.columns.size(); ++i) {
        fields[i].px_fname = ::strdup(spec.columns[i].name.c_str());
        fields[i].px_ftype = static_cast<char>(spec.columns[i].type);
        fields[i].px_flen = spec.columns[i].size;
    }
    if (PX_create_fp(doc, fields, static_cast<int>(spec.columns.size()), fp, spec.file_type) < 0)
        throw std::runtime_error("PX_create_fp failed");
    MemoFile memos;
    std::vector<char> rec(static_cast<std::size_t>(record_size));
    int recno = 0;
    for (const auto& row : spec.rows) {
        std::fill(rec.begin(), rec.end(), 0);
        int at = 0;
        for (std::size_t i = 0; i < spec.columns.size(); ++i) {
            const OldColumn& c = spec.columns[i];
            const Cell& v = i < row.size() ? row[i] : Cell{};
            char* p = rec.data() + at;
            at += c.size;
            switch (v.kind) {
                case Cell::kNull:
                    break;
                case Cell::kRaw:
                    std::memcpy(p, v.text.data(), std::min<std::size_t>(v.text.size(), c.size));
                    break;
                case Cell::kText:
                    std::memcpy(p, v.text.data(), std::min<std::size_t>(v.text.size(), c.size));
                    break;
                case Cell::kNumber:
                    PX_put_data_double(doc, p, 8, v.number);
                    break;
                case Cell::kInteger:
                    if (c.type == pxfShort)
                        PX_put_data_short(doc, p, 2, static_cast<short>(v.integer));
                    else
                        PX_put_data_long(doc, p, 4, static_cast<int>(v.integer));
                    break;
                case Cell::kBool:
                    PX_put_data_byte(doc, p, 1, v.flag ? 1 : 0);
                    break;
                case Cell::kMemo: {
                    const std::size_t leader = static_cast<std::size_t>(c.size) - 10;
                    std::memcpy(p, v.text.data(), std::min(leader, v.text.size()));
                    if (v.text.size() <= leader) {
                        put_le32(p + leader + 4, static_cast<std::uint32_t>(v.text.size()));
                    } else {
                        std::string ptr = memos.add(v.text);
                        std::memcpy(p + leader, ptr.data(), 10);
                    }
                    break;
                }
            }
        }
        if (PX_put_recordn(doc, rec.data(), recno++) < 0)
            throw std::runtime_error("PX_put_recordn failed");
    }
    PX_close(doc);
    PX_delete(doc);
    std::fclose(fp);
    const auto* h = reinterpret_cast<const unsigned char*>(buffer.data());
    const std::size_t header = h[2] | (h[3] << 8);
    const std::size_t blocks = h[0x0C] | (h[0x0D] << 8);
    buffer.resize(header + blocks * h[5] * 1024u);
    // The writer keeps neither the counter nor the code page we ask for; both are set here.
    put_le32(buffer.data() + 0x49, spec.autoinc);
    put_le16(buffer, 0x6A, static_cast<unsigned>(spec.codepage));
    return {buffer, memos.used() ? memos.bytes() : std::string()};
}

void write_old_table(const fs::path& dir, const std::string& stem, const OldTableSpec& spec) {
    OldFiles files = build_old_table(spec);
    std::ofstream(dir / (stem + ".DB"), std::ios::binary) << files.db;
    if (!files.mb.empty()) std::ofstream(dir / (stem + ".MB"), std::ios::binary) << files.mb;
}

}  // namespace pavo::test
