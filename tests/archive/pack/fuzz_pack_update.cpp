// libFuzzer target: the fuzz input is an existing archive that the packer updates and deletes from.
// Whatever the input, the run ends in a listed result; a failed run leaves the input file as it
// was, and a successful one writes an archive that the reader accepts with every member in bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/pack/pack_engine.h"
#include "archive/zipcore/zip_format.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace {

// The real file system without the syncs, which would otherwise bound the run rate.
class NoSyncFileSystem : public pavo::FaultyFileSystem {
  public:
    std::unique_ptr<pavo::File> open(const fs::path& path, pavo::OpenMode mode,
                                     std::uint32_t permissions) override {
        return std::make_unique<NoSyncFile>(pavo::FaultyFileSystem::open(path, mode, permissions));
    }
    void sync_directory(const fs::path&) override {}

  private:
    class NoSyncFile : public pavo::File {
      public:
        explicit NoSyncFile(std::unique_ptr<pavo::File> f) : f_(std::move(f)) {}
        std::size_t read(void* b, std::size_t n) override { return f_->read(b, n); }
        std::size_t read_at(void* b, std::size_t n, std::uint64_t o) override {
            return f_->read_at(b, n, o);
        }
        void write(const void* b, std::size_t n) override { f_->write(b, n); }
        void write_at(const void* b, std::size_t n, std::uint64_t o) override {
            f_->write_at(b, n, o);
        }
        void seek(std::uint64_t o) override { f_->seek(o); }
        std::uint64_t tell() override { return f_->tell(); }
        std::uint64_t size() override { return f_->size(); }
        void truncate(std::uint64_t s) override { f_->truncate(s); }
        void sync() override {}
        void close() override { f_->close(); }

      private:
        std::unique_ptr<pavo::File> f_;
    };
};

fs::path setup() {
    std::string tmpl = (fs::temp_directory_path() / "pavo-fuzz-pack-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    fs::path dir = tmpl;
    fs::create_directories(dir / "home");
    pavo::DriveMap::set_current_home(dir / "home");
    fs::current_path(dir);
    static NoSyncFileSystem no_sync;
    pavo::set_file_system(&no_sync);
    std::ofstream("a.txt") << "new member data, new member data, new member data";
    return dir;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int run(std::vector<std::string> args) {
    args.insert(args.begin(), "arcvane-pack");
    std::vector<const char*> argv;
    for (auto& a : args) argv.push_back(a.c_str());
    return pavo::zip::pack_main(static_cast<int>(argv.size()), argv.data(), {});
}

void check_result(const std::string& input, int rc) {
    static const std::set<int> kAllowed = {0, 2, 3, 6, 11, 12, 13};
    if (!kAllowed.count(rc)) std::abort();
    std::string now = slurp("old.zip");
    if (rc != 0) {
        if (now != input) std::abort();  // a failed run must not touch the archive
        return;
    }
    auto f = pavo::real_file_system().open("old.zip", pavo::OpenMode::kRead);
    pavo::zip::ArchiveDirectory dir;
    if (pavo::zip::read_directory(*f, dir) != pavo::zip::ReadStatus::kOk) std::abort();
    for (const auto& e : dir.entries) {
        std::uint64_t off = 0;
        if (pavo::zip::locate_member_data(*f, dir, e, off) != pavo::zip::ReadStatus::kOk)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fs::path dir = setup();
    (void)dir;
    std::string input(reinterpret_cast<const char*>(data), size);
    for (int mode = 0; mode < 2; ++mode) {
        {
            std::ofstream out("old.zip", std::ios::binary | std::ios::trunc);
            out << input;
        }
        int rc = mode == 0 ? run({"-q", "old.zip", "a.txt"}) : run({"-d", "-q", "old.zip", "a*"});
        check_result(input, rc);
    }
    return 0;
}
