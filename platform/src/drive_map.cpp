// Mapping between logical drive-letter paths and host paths, with case-insensitive lookup.
#include "platform/drive_map.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo {

namespace {

std::mutex g_mutex;
std::unique_ptr<DriveMap> g_current;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::vector<std::string> split_components(std::string_view text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\\' || c == '/') {
            if (!cur.empty()) out.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) out.push_back(std::move(cur));
    return out;
}

// Folds "." and ".."; ".." at the top stays at the top.
void fold_into(std::vector<std::string>& out, const std::vector<std::string>& parts) {
    for (const auto& p : parts) {
        if (p == ".") continue;
        if (p == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(p);
    }
}

bool has_drive(std::string_view s) {
    return s.size() >= 2 && s[1] == ':' &&
           ((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'));
}

// Appends components to root, matching each existing one case-insensitively.
fs::path resolve_under(fs::path root, const std::vector<std::string>& components) {
    bool searching = true;
    for (const auto& c : components) {
        if (searching) {
            auto found = DriveMap::find_entry(root, c);
            if (found) {
                root /= *found;
                continue;
            }
            searching = false;  // below a missing component nothing can exist
        }
        root /= c;
    }
    return root;
}

}  // namespace

DriveMap::DriveMap(fs::path home) : home_(std::move(home)) {}

fs::path DriveMap::default_home() {
    if (const char* h = std::getenv("PAVODEN2_HOME"); h && *h) return fs::path(h);
    const char* user_home = std::getenv("HOME");
    return fs::path(user_home && *user_home ? user_home : "/root") / ".pavoden2";
}

DriveMap& DriveMap::current() {
    std::lock_guard lock(g_mutex);
    if (!g_current) g_current = std::make_unique<DriveMap>(default_home());
    return *g_current;
}

void DriveMap::set_current_home(const fs::path& home) {
    std::lock_guard lock(g_mutex);
    g_current = std::make_unique<DriveMap>(home);
}

std::optional<fs::path> DriveMap::drive_root(char letter) const {
    letter = lower(letter);
    if (letter == 'z') return fs::path("/");
    if (letter == 'c') return home_ / "drive_c";
    if (letter < 'a' || letter > 'z') return std::nullopt;
    fs::path p = home_ / (std::string("drive_") + letter);
    if (file_system().is_directory(p)) return p;
    return std::nullopt;
}

DriveMap::Logical DriveMap::parse(std::string_view logical) const {
    if (!has_drive(logical))
        throw Error(ErrorKind::kInvalidInput,
                    "Not an absolute path with a drive letter: '" + std::string(logical) + "'");
    Logical out;
    out.drive = lower(logical[0]);
    if (!drive_root(out.drive))
        throw Error(ErrorKind::kInvalidInput,
                    std::string("Drive ") + static_cast<char>(out.drive) + ": is not available");
    fold_into(out.components, split_components(logical.substr(2)));
    return out;
}

std::string DriveMap::format(const Logical& logical) {
    std::string out;
    out.push_back(logical.drive);
    out += ":\\";
    for (std::size_t i = 0; i < logical.components.size(); ++i) {
        if (i) out.push_back('\\');
        out += logical.components[i];
    }
    return out;
}

fs::path DriveMap::to_host(std::string_view logical, const fs::path& base) const {
    if (has_drive(logical)) {
        Logical l = parse(logical);
        fs::path root = *drive_root(l.drive);
        if (l.drive == 'c' && !file_system().exists(root)) {
            // The c: drive folder is made on first use so that the tree can be created under it.
            std::error_code ec;
            fs::create_directories(root, ec);
        }
        return resolve_under(root, l.components);
    }
    fs::path root = base.empty() ? fs::current_path() : base;
    std::vector<std::string> comps;
    fold_into(comps, split_components(logical));
    return resolve_under(root, comps);
}

fs::path DriveMap::argument_to_host(std::string_view text, const fs::path& cwd) const {
    if (has_drive(text)) return to_host(text);
    if (!text.empty() && text.front() == '/') return fs::path(text).lexically_normal();
    const fs::path base = cwd.empty() ? fs::current_path() : fs::absolute(cwd);
    std::vector<std::string> comps;
    for (const auto& c : base.lexically_normal().relative_path())
        if (!c.empty()) comps.push_back(c.string());
    // The part of the current folder that ".." leaves standing is spelled as the host has it; only
    // what the argument adds below it is looked up case-insensitively.
    std::size_t kept = comps.size();
    for (auto& part : split_components(text)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!comps.empty()) comps.pop_back();
            kept = std::min(kept, comps.size());
            continue;
        }
        comps.push_back(std::move(part));
    }
    fs::path root = base.root_path();
    for (std::size_t i = 0; i < kept; ++i) root /= comps[i];
    return resolve_under(root, std::vector<std::string>(comps.begin() + kept, comps.end()));
}

const char* DriveMap::argument_rule_help() {
    return "paths: c:\\... and other drive letters map through the drive table\n"
           "  (c: is $PAVODEN2_HOME/drive_c, z: is the host's /); a path beginning with /\n"
           "  is a host path; any other path is relative to the current folder, and .. climbs\n"
           "  as in a shell. Names inside an archive never reach outside the extraction folder.\n";
}

std::string DriveMap::to_logical(const fs::path& host) const {
    fs::path abs = host.is_absolute() ? host : fs::current_path() / host;
    abs = abs.lexically_normal();
    // Longest matching drive folder wins; z: is the fallback.
    for (char letter = 'a'; letter <= 'y'; ++letter) {
        auto root = drive_root(letter);
        if (!root) continue;
        fs::path r = root->lexically_normal();
        auto rel = abs.lexically_relative(r);
        if (rel.empty() || *rel.begin() == "..") continue;
        Logical l;
        l.drive = letter;
        for (const auto& c : rel)
            if (c != "." && !c.empty()) l.components.push_back(c.string());
        return format(l);
    }
    Logical l;
    l.drive = 'z';
    for (const auto& c : abs.relative_path())
        if (!c.empty()) l.components.push_back(c.string());
    return format(l);
}

std::optional<std::string> DriveMap::find_entry(const fs::path& dir, const std::string& name) {
    FileSystem& fsys = file_system();
    if (fsys.stat(dir / name, false).type != EntryType::kMissing) return name;
    std::vector<DirEntry> entries;
    try {
        entries = fsys.list(dir);
    } catch (const Error&) {
        return std::nullopt;
    }
    for (const auto& e : entries)
        if (iequals(e.name, name)) return e.name;
    return std::nullopt;
}

MkdirResult make_directory(std::string_view logical) {
    MkdirResult r;
    fs::path host;
    try {
        host = DriveMap::current().to_host(logical);
    } catch (const Error&) {
        r.error = ENOENT;
        r.text = os_error_text(r.error);
        return r;
    }
    r.error = file_system().make_directory(host);
    if (r.error) r.text = os_error_text(r.error);
    return r;
}

void make_directories(std::string_view logical) {
    DriveMap& map = DriveMap::current();
    DriveMap::Logical l;
    try {
        l = map.parse(logical);
    } catch (const Error&) {
        return;
    }
    DriveMap::Logical level;
    level.drive = l.drive;
    for (const auto& c : l.components) {
        level.components.push_back(c);
        (void)make_directory(DriveMap::format(level));
    }
}

}  // namespace pavo
