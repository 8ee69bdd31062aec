// The registry file: a text tree of keys and quoted values, read whole and saved atomically.
#include "platform/com/registry.h"

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::com {

namespace {

constexpr std::string_view kHeader = "PAVODEN2 REGISTRY 1";

std::string fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::vector<std::string> split_key(std::string_view key) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos) end = key.size();
        if (end > start) parts.emplace_back(key.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

void check_component(const std::string& c) {
    if (c.find_first_of("\r\n[]") != std::string::npos)
        throw Error(ErrorKind::kInvalidInput, "Registry key name not allowed: '" + c + "'");
}

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

// Reads a quoted text starting at pos (which holds the opening quote); pos ends after the closing
// one.
bool unquote(std::string_view line, std::size_t& pos, std::string* out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out->clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= line.size()) return false;
            char e = line[pos++];
            switch (e) {
                case 'n':
                    out->push_back('\n');
                    break;
                case 'r':
                    out->push_back('\r');
                    break;
                case '\\':
                case '"':
                    out->push_back(e);
                    break;
                default:
                    return false;
            }
        } else {
            out->push_back(c);
        }
    }
    return false;
}

}  // namespace

Registry::Registry(std::filesystem::path path) : path_(std::move(path)) {
    load();
}

std::filesystem::path Registry::current_path() {
    return DriveMap::current().home() / "registry.txt";
}

Registry Registry::open_current() {
    return Registry(current_path());
}

void Registry::load() {
    if (!file_system().exists(path_)) return;
    std::string text = read_whole_file(path_);
    auto bad = [&](std::size_t line_no) {
        return Error(ErrorKind::kCorruption, "Registry file " + path_.string() +
                                                 " is damaged at line " + std::to_string(line_no));
    };
    Node* current = nullptr;
    std::size_t pos = 0, line_no = 0;
    bool header_seen = false;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string_view line(text.data() + pos, eol - pos);
        pos = eol + 1;
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!header_seen) {
            if (line != kHeader) throw bad(line_no);
            header_seen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') throw bad(line_no);
            current = find_or_create(line.substr(1, line.size() - 2));
            continue;
        }
        if (!current) throw bad(line_no);
        std::string name, value;
        std::size_t p = 0;
        if (line.front() == '@') {
            p = 1;
        } else if (!unquote(line, p, &name)) {
            throw bad(line_no);
        }
        if (p >= line.size() || line[p] != '=') throw bad(line_no);
        ++p;
        if (!unquote(line, p, &value) || p != line.size()) throw bad(line_no);
        current->values[fold(name)] = {name, value};
    }
    if (!text.empty() && !header_seen) throw bad(1);
}

void Registry::save() const {
    std::string out(kHeader);
    out += "\n";
    // Depth-first, parents before children, so loading recreates every level in order.
    struct Walk {
        static void node(const Node& n, const std::string& path, std::string& out) {
            if (!path.empty()) {
                out += "\n[" + path + "]\n";
                for (const auto& [folded, nv] : n.values) {
                    out += nv.first.empty() ? std::string("@") : quote(nv.first);
                    out += "=" + quote(nv.second) + "\n";
                }
            }
            for (const auto& [folded, child] : n.children)
                node(*child, path.empty() ? child->name : path + "\\" + child->name, out);
        }
    };
    Walk::node(root_, "", out);
    std::error_code ec;
    if (!path_.parent_path().empty()) std::filesystem::create_directories(path_.parent_path(), ec);
    write_file_atomically(path_, out);
}

void Registry::changed() const {
    if (!defer_save) save();
}

const Registry::Node* Registry::find(std::string_view key) const {
    const Node* n = &root_;
    for (const auto& part : split_key(key)) {
        auto it = n->children.find(fold(part));
        if (it == n->children.end()) return nullptr;
        n = it->second.get();
    }
    return n;
}

Registry::Node* Registry::find_or_create(std::string_view key) {
    Node* n = &root_;
    for (const auto& part : split_key(key)) {
        check_component(part);
        auto& slot = n->children[fold(part)];
        if (!slot) {
            slot = std::make_unique<Node>();
            slot->name = part;
        }
        n = slot.get();
    }
    return n;
}

bool Registry::key_exists(std::string_view key) const {
    return !split_key(key).empty() && find(key) != nullptr;
}

void Registry::create_key(std::string_view key) {
    find_or_create(key);
    changed();
}

void Registry::set_value(std::string_view key, std::string_view name, std::string_view value) {
    Node* n = find_or_create(key);
    n->values[fold(name)] = {std::string(name), std::string(value)};
    changed();
}

std::optional<std::string> Registry::get_value(std::string_view key, std::string_view name) const {
    const Node* n = find(key);
    if (!n) return std::nullopt;
    auto it = n->values.find(fold(name));
    if (it == n->values.end()) return std::nullopt;
    return it->second.second;
}

bool Registry::delete_tree(std::string_view key) {
    auto parts = split_key(key);
    if (parts.empty()) return false;
    std::string last = parts.back();
    parts.pop_back();
    Node* n = &root_;
    for (const auto& part : parts) {
        auto it = n->children.find(fold(part));
        if (it == n->children.end()) return false;
        n = it->second.get();
    }
    if (n->children.erase(fold(last)) == 0) return false;
    changed();
    return true;
}

std::vector<std::string> Registry::subkeys(std::string_view key) const {
    std::vector<std::string> out;
    if (const Node* n = find(key))
        for (const auto& [folded, child] : n->children) out.push_back(child->name);
    return out;
}

std::vector<std::string> Registry::value_names(std::string_view key) const {
    std::vector<std::string> out;
    if (const Node* n = find(key))
        for (const auto& [folded, nv] : n->values) out.push_back(nv.first);
    return out;
}

}  // namespace pavo::com
