// The line map of a linked ELF program, read with elfutils: the DWARF line table gives the
// lines, the subprogram entries and the symbol table the function names.
#include <dwarf.h>
#include <elfutils/libdw.h>
#include <fcntl.h>
#include <gelf.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "line_map.h"

namespace korvan::debug {
namespace fs = std::filesystem;
namespace {

// Owns the descriptor and the libdw handles of one open file.
class ElfFile {
public:
    explicit ElfFile(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) return;
        elf_version(EV_CURRENT);
        m_elf = elf_begin(m_fd, ELF_C_READ, nullptr);
        if (m_elf && elf_kind(m_elf) == ELF_K_ELF) m_dwarf = dwarf_begin_elf(m_elf, DWARF_C_READ, nullptr);
    }
    ~ElfFile() {
        if (m_dwarf) dwarf_end(m_dwarf);
        if (m_elf) elf_end(m_elf);
        if (m_fd >= 0) ::close(m_fd);
    }
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;

    bool isElf() const { return m_elf && elf_kind(m_elf) == ELF_K_ELF; }
    Elf* elf() const { return m_elf; }
    Dwarf* dwarf() const { return m_dwarf; }

private:
    int m_fd = -1;
    Elf* m_elf = nullptr;
    Dwarf* m_dwarf = nullptr;
};

std::string Normal(const char* name, const char* compDir) {
    fs::path p(name);
    if (p.is_relative() && compDir) p = fs::path(compDir) / p;
    return p.lexically_normal().string();
}

// Subprograms with code, also those inside namespaces and classes.
void CollectFunctions(Dwarf_Die* parent, std::vector<FunctionRange>& out) {
    Dwarf_Die child;
    if (dwarf_child(parent, &child) != 0) return;
    do {
        const int tag = dwarf_tag(&child);
        if (tag == DW_TAG_subprogram) {
            Dwarf_Addr low = 0, high = 0;
            if (dwarf_lowpc(&child, &low) == 0 && dwarf_highpc(&child, &high) == 0 && high > low) {
                Dwarf_Attribute attr;
                const char* name = dwarf_formstring(dwarf_attr_integrate(&child, DW_AT_name, &attr));
                out.push_back({static_cast<uint32_t>(low), static_cast<uint32_t>(high), name ? name : ""});
            }
        } else if (tag == DW_TAG_namespace || tag == DW_TAG_class_type || tag == DW_TAG_structure_type) {
            CollectFunctions(&child, out);
        }
    } while (dwarf_siblingof(&child, &child) == 0);
}

// Sized function symbols of the ELF symbol table: code without debugging information.
void CollectSymbols(Elf* elf, std::vector<FunctionRange>& out) {
    Elf_Scn* scn = nullptr;
    while ((scn = elf_nextscn(elf, scn)) != nullptr) {
        GElf_Shdr shdr;
        if (!gelf_getshdr(scn, &shdr) || shdr.sh_type != SHT_SYMTAB || shdr.sh_entsize == 0) continue;
        Elf_Data* data = elf_getdata(scn, nullptr);
        if (!data) continue;
        const std::size_t count = shdr.sh_size / shdr.sh_entsize;
        for (std::size_t i = 0; i < count; ++i) {
            GElf_Sym sym;
            if (!gelf_getsym(data, static_cast<int>(i), &sym)) continue;
            if (GELF_ST_TYPE(sym.st_info) != STT_FUNC || sym.st_size == 0) continue;
            const char* name = elf_strptr(elf, shdr.sh_link, sym.st_name);
            out.push_back({static_cast<uint32_t>(sym.st_value), static_cast<uint32_t>(sym.st_value + sym.st_size),
                           name ? name : ""});
        }
    }
}

// Sorted by start; where ranges overlap the one found first (DWARF before symbols) keeps its
// addresses.
std::vector<FunctionRange> Disjoint(std::vector<FunctionRange> all) {
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    std::vector<FunctionRange> out;
    for (FunctionRange& f : all) {
        if (!out.empty() && f.start < out.back().end) continue;
        out.push_back(std::move(f));
    }
    return out;
}

}  // namespace

std::optional<LineMap> LineMap::FromElf(const std::string& elfPath, std::string* error) {
    ElfFile file(elfPath);
    if (!file.isElf()) {
        if (error) *error = "not a readable ELF file: " + elfPath;
        return std::nullopt;
    }
    LineMap map;
    map.m_lowestAddressOnly = true;
    std::map<std::string, int> fileIds;
    std::vector<FunctionRange> functions;
    int sequence = 0;

    if (file.dwarf()) {
        Dwarf_Off offset = 0, next = 0;
        std::size_t headerSize = 0;
        while (dwarf_nextcu(file.dwarf(), offset, &next, &headerSize, nullptr, nullptr, nullptr) == 0) {
            Dwarf_Die cu;
            const bool haveCu = dwarf_offdie(file.dwarf(), offset + headerSize, &cu) != nullptr;
            offset = next;
            if (!haveCu) continue;
            CollectFunctions(&cu, functions);
            Dwarf_Attribute attr;
            const char* compDir = dwarf_formstring(dwarf_attr(&cu, DW_AT_comp_dir, &attr));
            Dwarf_Lines* lines = nullptr;
            std::size_t count = 0;
            if (dwarf_getsrclines(&cu, &lines, &count) != 0) continue;
            // Each is_stmt row runs to the next is_stmt row (or the end) of its sequence;
            // rows at the same address leave the last one, which is what the address shows.
            LineEntry open;
            bool isOpen = false;
            for (std::size_t i = 0; i < count; ++i) {
                Dwarf_Line* row = dwarf_onesrcline(lines, i);
                Dwarf_Addr addr = 0;
                bool stmt = false, endSeq = false;
                int lineNo = 0;
                if (!row || dwarf_lineaddr(row, &addr) != 0 || dwarf_lineendsequence(row, &endSeq) != 0 ||
                    dwarf_linebeginstatement(row, &stmt) != 0 || dwarf_lineno(row, &lineNo) != 0)
                    continue;
                const uint32_t address = static_cast<uint32_t>(addr);
                if (isOpen && (endSeq || stmt)) {
                    open.end = address;
                    if (open.end > open.start) map.m_lines.push_back(open);
                    isOpen = false;
                }
                if (endSeq || !stmt) continue;
                const char* src = dwarf_linesrc(row, nullptr, nullptr);
                if (!src || lineNo <= 0) continue;
                const std::string path = Normal(src, compDir);
                auto [it, added] = fileIds.try_emplace(path, static_cast<int>(map.m_files.size()));
                if (added) map.m_files.push_back(path);
                open = LineEntry{address, address, it->second, lineNo, ++sequence, false};
                isOpen = true;
            }
        }
    }
    if (map.m_lines.empty()) {
        if (error) *error = "no line table (build with -g): " + elfPath;
        return std::nullopt;
    }
    CollectSymbols(file.elf(), functions);
    map.m_functions = Disjoint(std::move(functions));
    map.index();
    return map;
}

}  // namespace korvan::debug
