// File selection: expands file arguments (wildcards in their last component), walks folders without
// recursion on the call stack, and applies the mask, hidden-file and date rules to stored names.
#include "archive/pack/src/pack_select.h"

#include <algorithm>
#include <set>

#include "archive/zipcore/mask.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::zip::detail {

namespace {

namespace fs = std::filesystem;

// Stored names are at most this long (the 16-bit name length of the records).
constexpr std::size_t kMaxNameLength = 65535;

MaskOptions mask_options(const PackOptions& opts) {
    MaskOptions m;
    m.angle_classes = opts.angle_classes;
    m.case_insensitive = true;
    return m;
}

bool has_wildcard(const std::string& s, bool angle) {
    for (char c : s)
        if (c == '*' || c == '?' || c == (angle ? '<' : '[')) return true;
    return false;
}

bool in_date_range(const PackOptions& opts, std::int64_t mtime) {
    if (opts.after && mtime < *opts.after) return false;
    if (opts.before && mtime >= *opts.before) return false;
    return true;
}

// Joins the path's parts with "/", leaving out empty, "." and ".." parts.
std::string join_clean(const std::string& t) {
    std::string out;
    std::size_t i = 0;
    while (i <= t.size()) {
        std::size_t j = t.find('/', i);
        if (j == std::string::npos) j = t.size();
        std::string comp = t.substr(i, j - i);
        if (!comp.empty() && comp != "." && comp != "..") {
            if (!out.empty()) out += '/';
            out += comp;
        }
        i = j + 1;
    }
    return out;
}

// The stored form of a path given on the command line for a file outside the current folder: the
// path with its ".." folded, then drive and root dropped, so no stored name can climb out on
// extraction ("c:\mydata\..\x.txt" is "x.txt", "/srv/x.txt" is "srv/x.txt").
std::string clean_argument_name(const std::string& text, const fs::path& host) {
    if (!text.empty() && text[0] == '/') return join_clean(host.relative_path().generic_string());
    if (text.size() >= 2 && text[1] == ':') {
        try {
            auto logical = DriveMap::current().parse(text);
            std::string joined;
            for (const auto& c : logical.components) joined += c + "/";
            return join_clean(joined);
        } catch (const Error&) {
        }
    }
    return join_clean(normalize_pack_mask(text));
}

class Walker {
  public:
    Walker(const PackOptions& opts, const fs::path& cwd, const fs::path& skip)
        : opts_(opts), cwd_(cwd), skip_(skip.lexically_normal()) {}

    void add_argument(const std::string& arg) {
        std::string norm = normalize_pack_mask(arg);
        std::size_t slash = norm.rfind('/');
        std::string last = slash == std::string::npos ? norm : norm.substr(slash + 1);
        if (has_wildcard(last, opts_.angle_classes)) {
            std::string folder_text = slash == std::string::npos
                                          ? std::string()
                                          : arg.substr(0, arg.size() - last.size());
            fs::path folder = folder_text.empty() ? cwd_ : map_path_argument(folder_text, cwd_);
            std::string prefix = stored_prefix(folder, folder_text);
            FileInfo fi = file_system().stat(folder);
            if (fi.type != EntryType::kDirectory) {
                warn("name not matched: " + arg);
                return;
            }
            bool any = false;
            for (const auto& name : sorted_names(folder)) {
                if (!mask_matches(last, name, mask_options(opts_))) continue;
                any = true;
                consider(folder / name, prefix + name, true);
            }
            if (!any) warn("name not matched: " + arg);
            return;
        }
        fs::path host = map_path_argument(arg, cwd_);
        FileInfo fi = file_system().stat(host);
        if (fi.type == EntryType::kMissing) {
            warn("name not matched: " + arg);
            return;
        }
        consider(host, stored_name_for(host, arg), true);
    }

    Selection take() { return std::move(sel_); }

  private:
    void warn(const std::string& w) { sel_.warnings.push_back(w); }

    std::vector<std::string> sorted_names(const fs::path& dir) {
        std::vector<std::string> names;
        try {
            for (const auto& e : file_system().list(dir)) names.push_back(e.name);
        } catch (const Error& e) {
            warn(std::string("cannot read folder: ") + e.what());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Relative stored name of a host path under the current folder, else the cleaned argument.
    std::string stored_name_for(const fs::path& host, const std::string& arg) {
        fs::path rel = host.lexically_normal().lexically_relative(cwd_.lexically_normal());
        if (!rel.empty() && *rel.begin() != ".." && rel != ".") return rel.generic_string();
        return clean_argument_name(arg, host);
    }

    std::string stored_prefix(const fs::path& folder, const std::string& folder_text) {
        if (folder_text.empty()) return {};
        std::string s = stored_name_for(folder, folder_text);
        if (!s.empty() && s.back() != '/') s += '/';
        return s;
    }

    // One file or folder found by an argument or a walk. from_argument: named on the command line
    // (a folder named so is walked with -r, or stored as an entry of its own without it).
    void consider(const fs::path& start, const std::string& start_name, bool from_argument) {
        // Explicit stack: deep trees must not exhaust the call stack.
        std::vector<std::pair<fs::path, std::string>> stack{{start, start_name}};
        (void)from_argument;
        while (!stack.empty()) {
            auto [host, name] = std::move(stack.back());
            stack.pop_back();
            if (name.empty()) continue;
            if (!opts_.include_hidden && is_hidden_name(name)) continue;
            if (host.lexically_normal() == skip_) continue;
            FileInfo link = file_system().stat(host, false);
            FileInfo fi = link.type == EntryType::kSymlink ? file_system().stat(host) : link;
            if (fi.type == EntryType::kFile) {
                add_item(host, name, false, fi);
            } else if (fi.type == EntryType::kDirectory) {
                // A linked folder is not entered: it may lead outside the tree or round in a loop.
                if (link.type == EntryType::kSymlink) continue;
                std::string dir_name = name.back() == '/' ? name : name + "/";
                if (!opts_.no_dir_entries) add_item(host, dir_name, true, fi);
                if (!opts_.recurse) continue;
                auto names = sorted_names(host);
                for (auto it = names.rbegin(); it != names.rend(); ++it)
                    stack.emplace_back(host / *it, dir_name + *it);
            }
            // Devices, pipes and sockets are never read: a pipe would block the run.
        }
    }

    void add_item(const fs::path& host, std::string name, bool is_dir, const FileInfo& fi) {
        if (opts_.junk_paths) {
            if (is_dir) return;
            std::size_t slash = name.rfind('/');
            if (slash != std::string::npos) name = name.substr(slash + 1);
        }
        if (!passes_masks(opts_, name)) return;
        if (!in_date_range(opts_, fi.mtime)) return;
        if (name.size() > kMaxNameLength) {
            warn("name too long, skipped: " + name.substr(0, 80) + "...");
            return;
        }
        if (!seen_.insert(name).second) return;
        SourceItem item;
        item.stored_name = std::move(name);
        item.host = host;
        item.is_dir = is_dir;
        item.size = is_dir ? 0 : fi.size;
        item.mtime = fi.mtime;
        item.atime = fi.atime;
        item.mode = fi.mode;
        sel_.items.push_back(std::move(item));
    }

    const PackOptions& opts_;
    fs::path cwd_;
    fs::path skip_;
    Selection sel_;
    std::set<std::string> seen_;
};

}  // namespace

bool is_hidden_name(const std::string& stored_name) {
    std::size_t i = 0;
    while (i < stored_name.size()) {
        if (stored_name[i] == '.') {
            std::size_t j = stored_name.find('/', i);
            std::string comp = stored_name.substr(i, j == std::string::npos ? j : j - i);
            if (comp != "." && comp != "..") return true;
        }
        std::size_t j = stored_name.find('/', i);
        if (j == std::string::npos) break;
        i = j + 1;
    }
    return false;
}

bool passes_masks(const PackOptions& opts, const std::string& stored_name) {
    MaskOptions m = mask_options(opts);
    if (!opts.include.empty()) {
        bool any = false;
        for (const auto& mask : opts.include)
            if (mask_matches(normalize_pack_mask(mask), stored_name, m)) {
                any = true;
                break;
            }
        if (!any) return false;
    }
    for (const auto& mask : opts.exclude)
        if (mask_matches(normalize_pack_mask(mask), stored_name, m)) return false;
    return true;
}

fs::path map_path_argument(const std::string& text, const fs::path& cwd) {
    return DriveMap::current().argument_to_host(text, cwd);
}

Selection select_sources(const PackOptions& opts, const fs::path& cwd, const fs::path& skip) {
    Walker w(opts, cwd, skip);
    for (const auto& arg : opts.files) w.add_argument(arg);
    return w.take();
}

}  // namespace pavo::zip::detail
