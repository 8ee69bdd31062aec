// Reading, editing and atomically saving the alias configuration file.
#include "platform/alias_config.h"

#include <algorithm>
#include <memory>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo {

namespace {

std::mutex g_mutex;
std::unique_ptr<AliasConfig> g_current;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

}  // namespace

AliasConfig::AliasConfig(fs::path file) : file_(std::move(file)) {}

AliasConfig& AliasConfig::current() {
    std::lock_guard lock(g_mutex);
    if (!g_current) {
        g_current = std::make_unique<AliasConfig>(DriveMap::current().home() / "aliases.cfg");
        g_current->load();
    }
    return *g_current;
}

void AliasConfig::reset_current() {
    std::lock_guard lock(g_mutex);
    g_current.reset();
}

void AliasConfig::load() {
    aliases_.clear();
    if (!file_system().exists(file_)) return;
    std::string text = read_whole_file(file_);
    std::size_t pos = 0;
    int line_no = 0;
    Alias* cur = nullptr;
    auto fail = [&](const std::string& why) {
        throw Error(ErrorKind::kCorruption, "Alias configuration '" + file_.string() + "', line " +
                                                std::to_string(line_no) + ": " + why);
    };
    while (pos <= text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = trim(text.substr(pos, nl - pos));
        pos = nl + 1;
        ++line_no;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) fail("malformed section header");
            std::string name = trim(line.substr(1, line.size() - 2));
            if (find(name) != aliases_.end()) fail("alias '" + name + "' defined twice");
            aliases_.push_back(Alias{name, "Paradox", "", false});
            cur = &aliases_.back();
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos || !cur) fail("expected NAME=value inside an alias section");
        std::string key = upper(trim(line.substr(0, eq)));
        std::string value = trim(line.substr(eq + 1));
        if (key == "PATH")
            cur->path = value;
        else if (key == "DRIVER")
            cur->driver = value;
        // Unknown keys are ignored so that a later version's settings do not break this one.
    }
}

void AliasConfig::save() const {
    std::string out =
        "# pavoden2 table-layer aliases; written by the program, one section per alias\n";
    for (const auto& a : aliases_) {
        if (a.in_memory_only) continue;
        out += "[" + a.name + "]\nDRIVER=" + a.driver + "\nPATH=" + a.path + "\n";
    }
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    write_file_atomically(file_, out);
}

std::vector<AliasConfig::Alias>::iterator AliasConfig::find(const std::string& name) {
    std::string key = upper(name);
    return std::find_if(aliases_.begin(), aliases_.end(),
                        [&](const Alias& a) { return upper(a.name) == key; });
}

std::vector<AliasConfig::Alias>::const_iterator AliasConfig::find(const std::string& name) const {
    std::string key = upper(name);
    return std::find_if(aliases_.begin(), aliases_.end(),
                        [&](const Alias& a) { return upper(a.name) == key; });
}

const AliasConfig::Alias& AliasConfig::get(const std::string& name) const {
    auto it = find(name);
    if (it == aliases_.end()) throw Error(ErrorKind::kNotFound, "Alias '" + name + "' not found");
    return *it;
}

bool AliasConfig::exists(const std::string& name) const {
    return find(name) != aliases_.end();
}

std::vector<std::string> AliasConfig::params(const std::string& name) const {
    const Alias& a = get(name);
    return {"PATH=" + a.path, "DEFAULT DRIVER=" + upper(a.driver), "ENABLE BCD=FALSE"};
}

std::string AliasConfig::path(const std::string& name) const {
    return get(name).path;
}
std::string AliasConfig::driver(const std::string& name) const {
    return get(name).driver;
}

void AliasConfig::remove(const std::string& name) {
    auto it = find(name);
    if (it == aliases_.end()) throw Error(ErrorKind::kNotFound, "Alias '" + name + "' not found");
    aliases_.erase(it);
}

void AliasConfig::add_standard(const std::string& name, const std::string& path,
                               const std::string& driver, bool in_memory_only) {
    if (name.empty() || name.find_first_of("[]\n\r=") != std::string::npos)
        throw Error(ErrorKind::kInvalidInput, "Invalid alias name '" + name + "'");
    if (path.find_first_of("\n\r") != std::string::npos)
        throw Error(ErrorKind::kInvalidInput, "Invalid alias path for '" + name + "'");
    if (exists(name)) throw Error(ErrorKind::kExists, "Alias '" + name + "' already exists");
    aliases_.push_back(Alias{name, driver, path, in_memory_only});
}

std::vector<std::string> AliasConfig::names() const {
    std::vector<std::string> out;
    for (const auto& a : aliases_) out.push_back(a.name);
    return out;
}

}  // namespace pavo
