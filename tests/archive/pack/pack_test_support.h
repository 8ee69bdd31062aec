// Test support for the packing tests: a private home and source folder, file makers, and an
// independent archive reader (zlib inflate, own decryption) to check what the packer wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/pack/pack_engine.h"
#include "archive/zipcore/zip_format.h"

namespace pavo::zip::testing {

namespace fs = std::filesystem;

// A fresh PAVODEN2_HOME and a source folder made the current folder; both undone on destruction.
class PackSandbox {
  public:
    PackSandbox();
    ~PackSandbox();
    PackSandbox(const PackSandbox&) = delete;
    PackSandbox& operator=(const PackSandbox&) = delete;

    const fs::path& root() const { return root_; }
    const fs::path& src() const { return src_; }
    fs::path out(const std::string& name) const { return root_ / "out" / name; }

    // Writes src/rel (making folders), optionally with a modification time.
    void write(const std::string& rel, const std::string& data,
               std::optional<std::int64_t> mtime = {});
    // Names in the source folder that look like our temporary archives.
    std::vector<std::string> temp_files() const;

  private:
    fs::path root_, src_, old_cwd_;
};

// Runs the packing engine with args (program name added), collecting messages and progress.
struct PackRunResult {
    int rc = -1;
    std::vector<std::string> messages;
    std::vector<FileProgress> progress;
};
PackRunResult run_pack(const std::vector<std::string>& args, PackCallbacks cb = {});

struct Member {
    CentralEntry entry;
    std::string data;      // decoded bytes (empty when decoding failed)
    bool decoded = false;  // CRC matched after decryption and inflating
    std::string raw;       // local header through the end of the member data, as stored
};
// Reads every member of an archive. password: used for encrypted members.
// Fails the current test (and returns what it has) when the archive cannot be read.
std::vector<Member> read_members(const fs::path& archive, const std::string& password = {});
std::map<std::string, Member> members_by_name(const fs::path& archive,
                                              const std::string& password = {});

std::string read_bytes(const fs::path& p);
// Deterministic text that compresses like table data; n bytes.
std::string table_like(std::size_t n, unsigned seed = 1);
// Bytes that do not compress.
std::string noise(std::size_t n, unsigned seed = 1);

}  // namespace pavo::zip::testing
