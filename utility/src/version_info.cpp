// Locates the ".pavo_version" section in an ELF executable and parses its NUL-separated pairs.
#include "utility/version_info.h"

#include <elf.h>

#include <cstring>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo {

namespace {

const char kSectionName[] = ".pavo_version";
const char kMagic[] = "PAVO-VERSION-BLOCK";

template <typename Ehdr, typename Shdr>
std::string find_section(File& f, std::uint64_t file_size) {
    Ehdr eh;
    if (f.read_at(&eh, sizeof eh, 0) != sizeof eh) return {};
    if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum) return {};
    std::uint64_t table_size = std::uint64_t(eh.e_shnum) * sizeof(Shdr);
    if (eh.e_shoff > file_size || table_size > file_size - eh.e_shoff) return {};
    std::vector<Shdr> sh(eh.e_shnum);
    if (f.read_at(sh.data(), table_size, eh.e_shoff) != table_size) return {};
    const Shdr& strtab = sh[eh.e_shstrndx];
    if (strtab.sh_offset > file_size || strtab.sh_size > file_size - strtab.sh_offset ||
        strtab.sh_size > (1u << 24))
        return {};
    std::string names(strtab.sh_size, '\0');
    if (f.read_at(names.data(), names.size(), strtab.sh_offset) != names.size()) return {};
    for (const Shdr& s : sh) {
        if (s.sh_name >= names.size()) continue;
        if (std::strcmp(names.c_str() + s.sh_name, kSectionName) != 0) continue;
        if (s.sh_type == SHT_NOBITS || s.sh_offset > file_size ||
            s.sh_size > file_size - s.sh_offset || s.sh_size > 65536)
            return {};
        std::string data(s.sh_size, '\0');
        if (f.read_at(data.data(), data.size(), s.sh_offset) != data.size()) return {};
        return data;
    }
    return {};
}

}  // namespace

std::map<std::string, std::string> read_version_block(const std::filesystem::path& elf_file) {
    std::map<std::string, std::string> out;
    std::string data;
    try {
        auto f = file_system().open(elf_file, OpenMode::kRead);
        std::uint64_t size = f->size();
        unsigned char ident[EI_NIDENT];
        if (f->read_at(ident, sizeof ident, 0) != sizeof ident) return out;
        if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return out;
        if (ident[EI_CLASS] == ELFCLASS64)
            data = find_section<Elf64_Ehdr, Elf64_Shdr>(*f, size);
        else if (ident[EI_CLASS] == ELFCLASS32)
            data = find_section<Elf32_Ehdr, Elf32_Shdr>(*f, size);
    } catch (const Error&) {
        return out;
    }
    // Layout: magic NUL, then key NUL value NUL pairs, ended by an empty key.
    std::size_t pos = 0;
    auto next = [&](std::string& s) {
        std::size_t end = data.find('\0', pos);
        if (end == std::string::npos) return false;
        s = data.substr(pos, end - pos);
        pos = end + 1;
        return true;
    };
    std::string magic, key, value;
    if (!next(magic) || magic != kMagic) return out;
    while (next(key) && !key.empty() && next(value)) out[key] = value;
    return out;
}

std::string read_version_value(const std::string& key) {
    auto block = read_version_block("/proc/self/exe");
    auto it = block.find(key);
    return it == block.end() ? std::string() : it->second;
}

}  // namespace pavo
