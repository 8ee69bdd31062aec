// The packing tests' sandbox and their own archive reader, kept apart from the engines under test.
#include "pack_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "archive/zipcore/crc32.h"
#include "archive/zipcore/zip_crypto.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"

namespace pavo::zip::testing {

PackSandbox::PackSandbox() {
    std::string tmpl = (fs::temp_directory_path() / "pavo-pack-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    root_ = tmpl;
    src_ = root_ / "src";
    fs::create_directories(src_);
    fs::create_directories(root_ / "out");
    fs::create_directories(root_ / "home");
    ::setenv("PAVODEN2_HOME", (root_ / "home").c_str(), 1);
    DriveMap::set_current_home(root_ / "home");
    AliasConfig::reset_current();
    old_cwd_ = fs::current_path();
    fs::current_path(src_);
}

PackSandbox::~PackSandbox() {
    std::error_code ec;
    fs::current_path(old_cwd_, ec);
    AliasConfig::reset_current();
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

void PackSandbox::write(const std::string& rel, const std::string& data,
                        std::optional<std::int64_t> mtime) {
    fs::path p = src_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
    if (mtime) real_file_system().set_times(p, *mtime, *mtime);
}

std::vector<std::string> PackSandbox::temp_files() const {
    std::vector<std::string> out;
    for (const auto& dir : {src_, root_ / "out"})
        for (const auto& e : fs::directory_iterator(dir)) {
            std::string n = e.path().filename().string();
            if (n.size() == 8 && n.rfind("zi", 0) == 0) out.push_back(n);
        }
    return out;
}

PackRunResult run_pack(const std::vector<std::string>& args, PackCallbacks cb) {
    PackRunResult r;
    std::vector<const char*> argv{"arcvane-pack"};
    for (const auto& a : args) argv.push_back(a.c_str());
    auto user_message = cb.message;
    cb.message = [&r, user_message](const std::string& s) {
        r.messages.push_back(s);
        if (user_message) user_message(s);
    };
    auto user_progress = cb.progress;
    cb.progress = [&r, user_progress](const FileProgress& p) {
        r.progress.push_back(p);
        if (user_progress) user_progress(p);
    };
    r.rc = pack_main(static_cast<int>(argv.size()), argv.data(), cb);
    return r;
}

std::string read_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

namespace {

bool inflate_raw(const std::string& in, std::size_t expected, std::string& out) {
    out.assign(expected, '\0');
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_FINISH);
    bool ok = rc == Z_STREAM_END && zs.total_out == expected;
    inflateEnd(&zs);
    return ok;
}

}  // namespace

std::vector<Member> read_members(const fs::path& archive, const std::string& password) {
    std::vector<Member> out;
    auto f = real_file_system().open(archive, OpenMode::kRead);
    ArchiveDirectory dir;
    std::string msg;
    ReadStatus st = read_directory(*f, dir, &msg);
    EXPECT_EQ(st, ReadStatus::kOk) << archive << ": " << msg;
    if (st != ReadStatus::kOk) return out;
    std::string bytes = read_bytes(archive);
    for (const auto& e : dir.entries) {
        Member m;
        m.entry = e;
        std::uint64_t data_offset = 0;
        EXPECT_EQ(locate_member_data(*f, dir, e, data_offset), ReadStatus::kOk) << e.name;
        std::uint64_t start = e.local_header_offset + dir.prefix_bytes;
        m.raw = bytes.substr(start, data_offset + e.compressed_size - start);
        std::string data = bytes.substr(data_offset, e.compressed_size);
        if (e.encrypted()) {
            TraditionalCipher c(password);
            if (data.size() < kEncryptionHeaderSize ||
                !check_encryption_header(c, reinterpret_cast<const std::uint8_t*>(data.data()),
                                         encryption_check_byte(e.flags, e.crc32, e.dos_time))) {
                out.push_back(std::move(m));
                continue;
            }
            data = data.substr(kEncryptionHeaderSize);
            c.decrypt(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
        }
        if (e.method == kMethodStored) {
            m.data = data;
        } else if (e.method == kMethodDeflated) {
            if (!inflate_raw(data, e.uncompressed_size, m.data)) m.data.clear();
        }
        m.decoded = m.data.size() == e.uncompressed_size &&
                    crc32_update(0, m.data.data(), m.data.size()) == e.crc32;
        out.push_back(std::move(m));
    }
    return out;
}

std::map<std::string, Member> members_by_name(const fs::path& archive,
                                              const std::string& password) {
    std::map<std::string, Member> out;
    for (auto& m : read_members(archive, password)) out.emplace(m.entry.name, std::move(m));
    return out;
}

std::string table_like(std::size_t n, unsigned seed) {
    static const char* const kWords[] = {"PAYMENT",  "cheque",  "carrier", "AUSTIN",     "TX",
                                         "engineer", "support", "cleared", "2023-04-01", "jsearch"};
    std::mt19937 rng(seed);
    std::string s;
    s.reserve(n + 32);
    while (s.size() < n) {
        s += kWords[rng() % 10];
        s += (rng() % 7 == 0) ? '\n' : '|';
        s += std::to_string(rng() % 100000);
        s += ' ';
    }
    s.resize(n);
    return s;
}

std::string noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() >> 24);
    return s;
}

}  // namespace pavo::zip::testing
