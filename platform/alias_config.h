// The table layer's persistent configuration: named aliases, each a driver name and a PATH.
//
// Stored as a small text file under the program's home (aliases.cfg):
//     [PAVODEN2]
//     DRIVER=Paradox
//     PATH=c:\mydata\KV-DB\PAVODEN2\db\  (a trailing backslash is part of the path)
// Alias names compare case-insensitively. Aliases added "in memory only" live until the process
// ends and are never written by save().
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace pavo {

namespace fs = std::filesystem;

class AliasConfig {
  public:
    // A configuration kept in file (host path). Nothing is read until load().
    explicit AliasConfig(fs::path file);

    // The process-wide configuration: <home>/aliases.cfg, loaded on first use.
    static AliasConfig& current();
    // Drops the process-wide configuration so the next current() reloads it (tests, home change).
    static void reset_current();

    // Reads the file; a missing file is an empty configuration. A malformed line throws kCorruption
    // naming the file and the line number.
    void load();
    // Writes every persistent alias to a new file and renames it over the old one.
    void save() const;

    bool exists(const std::string& name) const;
    // The alias's parameters as NAME=value lines, PATH first. Throws kNotFound: "Alias 'X' not
    // found".
    std::vector<std::string> params(const std::string& name) const;
    // The PATH of an alias (logical path text). Throws kNotFound as params().
    std::string path(const std::string& name) const;
    std::string driver(const std::string& name) const;
    // Removes an alias; throws kNotFound when there is none.
    void remove(const std::string& name);
    // Adds a standard alias; throws kExists when the name is taken.
    void add_standard(const std::string& name, const std::string& path,
                      const std::string& driver = "Paradox", bool in_memory_only = false);
    std::vector<std::string> names() const;
    const fs::path& file() const { return file_; }

  private:
    struct Alias {
        std::string name;
        std::string driver;
        std::string path;
        bool in_memory_only = false;
    };
    std::vector<Alias>::iterator find(const std::string& name);
    std::vector<Alias>::const_iterator find(const std::string& name) const;
    const Alias& get(const std::string& name) const;

    fs::path file_;
    std::vector<Alias> aliases_;
};

}  // namespace pavo
