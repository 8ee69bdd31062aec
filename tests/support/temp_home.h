// A private program home for one test: a fresh folder set as PAVODEN2_HOME, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/alias_config.h"
#include "platform/drive_map.h"

namespace pavo::testing {

class TempHome {
  public:
    TempHome() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "pavo-home-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        path_ = tmpl;
        ::setenv("PAVODEN2_HOME", path_.c_str(), 1);
        DriveMap::set_current_home(path_);
        AliasConfig::reset_current();
    }
    ~TempHome() {
        AliasConfig::reset_current();
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path drive_c() const { return path_ / "drive_c"; }

  private:
    std::filesystem::path path_;
};

}  // namespace pavo::testing
