// Logical Windows paths (c:\mydata\...) mapped to host paths under the program's home, and back.
//
// c: is $PAVODEN2_HOME/drive_c (home defaults to ~/.pavoden2); another letter x: is
// $PAVODEN2_HOME/drive_x when that folder exists; z: is the host root "/". Both '\' and '/'
// separate components; "." and ".." are folded, and ".." never climbs above the drive's root.
// Each component that exists on disk is matched case-insensitively (ASCII letters), so
// c:\mydata\KV-DB\pavoden2 and C:\MYDATA\kv-db\PAVODEN2 name one folder; a component that does not
// exist yet keeps the spelling given, which is the spelling a later creation uses.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavo {

namespace fs = std::filesystem;

class DriveMap {
  public:
    // A map rooted at home (host path, created on demand for drive c:).
    explicit DriveMap(fs::path home);

    // The process-wide map: home from $PAVODEN2_HOME, else ~/.pavoden2.
    static DriveMap& current();
    // Re-roots the process-wide map (tests, and the setup tool's --home).
    static void set_current_home(const fs::path& home);
    // The home the environment names ($PAVODEN2_HOME, else $HOME/.pavoden2).
    static fs::path default_home();

    const fs::path& home() const { return home_; }

    // Host folder of a drive letter, or nullopt when the letter is not mapped.
    std::optional<fs::path> drive_root(char letter) const;

    // "c:\a\.\b\..\C" -> {'c', {"a","C"}}; throws kInvalidInput for a text with no drive letter
    // (use resolve() for relative paths) or an unmapped drive letter.
    struct Logical {
        char drive = 'c';                     // lower case
        std::vector<std::string> components;  // folded, spelled as given
    };
    Logical parse(std::string_view logical) const;

    // Canonical logical text: lower-case drive, '\' separators, no trailing separator
    // ("c:\mydata\KV-DB"); the bare drive is "c:\".
    static std::string format(const Logical& logical);

    // Host path of a logical path. Absolute logical paths (with a drive letter) are mapped through
    // the drive table; a path without a drive letter is taken relative to base (a host folder,
    // the process's current folder when empty), folding ".." only within it.
    // Existing components are resolved case-insensitively; throws kInvalidInput on an unmapped
    // drive.
    fs::path to_host(std::string_view logical, const fs::path& base = {}) const;

    // Host path of a path named on a command line or typed by the user; the one rule of every
    // command-line tool and of both archive engines:
    //  - with a drive letter ("c:\mydata", "z:\srv"): through the drive table, as in to_host();
    //  - beginning with '/': a host path as written ("." and ".." folded lexically);
    //  - anything else: relative to cwd (the process's current folder when empty), and ".." climbs
    //    out of it as in a shell, up to the host root. '\' separates like '/', and the components
    //    the argument adds that exist are matched case-insensitively as to_host() matches them.
    // Names stored inside an archive never go through this; the engines keep them under their
    // extraction folder. Throws kInvalidInput on an unmapped drive letter.
    fs::path argument_to_host(std::string_view text, const fs::path& cwd = {}) const;

    // The rule above as the tools' --help prints it (lines of at most 100 columns, ending in '\n').
    static const char* argument_rule_help();

    // Logical form of a host path: inside a drive folder -> that drive, else z:\... .
    // A relative host path is made absolute against the current folder first.
    std::string to_logical(const fs::path& host) const;

    // Finds the on-disk spelling of name inside dir (exact match first, then ASCII
    // case-insensitive).
    static std::optional<std::string> find_entry(const fs::path& dir, const std::string& name);

  private:
    fs::path home_;
};

// Result of a directory creation as the run-time library reports it.
struct MkdirResult {
    int error = 0;     // errno, 0 on success
    std::string text;  // the library's text for error, empty on success
    bool ok() const { return error == 0; }
};

// Creates one directory level named by a logical path (its parent must exist).
// An existing directory is a failure with EEXIST, as the run-time library reports it.
MkdirResult make_directory(std::string_view logical);

// Creates every level of a logical path from the drive root down, ignoring each result.
void make_directories(std::string_view logical);

}  // namespace pavo
