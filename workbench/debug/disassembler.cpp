// objdump is run without a shell; its output is parsed line by line: "  ADDR:\tHEX WORDS \tTEXT",
// where an instruction longer than the byte column continues on lines without text.
#include "disassembler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "process.h"

namespace korvan::debug {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

bool IsElf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && std::memcmp(magic,
                                            "\x7f"
                                            "ELF",
                                            4) == 0;
}

// A temporary file that is removed with the object.
class TempFile {
public:
    TempFile() {
        const char* dir = std::getenv("TMPDIR");
        m_path = std::string(dir && *dir ? dir : "/tmp") + "/korvan-dis-XXXXXX";
        m_fd = ::mkstemp(m_path.data());
        if (m_fd < 0) m_path.clear();
    }
    ~TempFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    bool write(const uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    std::string m_path;
    int m_fd = -1;
};

}  // namespace

std::vector<DisassemblyRow> ParseObjdump(std::string_view output) {
    std::vector<DisassemblyRow> rows;
    while (!output.empty()) {
        const std::size_t nl = std::min(output.find('\n'), output.size());
        std::string_view line = output.substr(0, nl);
        output.remove_prefix(std::min(nl + 1, output.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        // "  802000:\t4e90           \tjsr %a0@"
        std::size_t i = line.find_first_not_of(' ');
        if (i == std::string_view::npos) continue;
        uint32_t address = 0;
        std::size_t digits = 0;
        for (; i < line.size() && HexValue(line[i]) >= 0 && digits <= 8; ++i, ++digits)
            address = address << 4 | static_cast<uint32_t>(HexValue(line[i]));
        if (digits == 0 || digits > 8 || i + 1 >= line.size() || line[i] != ':' || line[i + 1] != '\t') continue;
        line.remove_prefix(i + 2);
        const std::size_t tab = line.find('\t');
        const std::string_view hex = line.substr(0, tab);
        std::vector<uint8_t> bytes;
        bool valid = true;
        for (std::size_t k = 0; k < hex.size();) {
            if (hex[k] == ' ') {
                ++k;
                continue;
            }
            if (k + 1 >= hex.size() || HexValue(hex[k]) < 0 || HexValue(hex[k + 1]) < 0) {
                valid = false;
                break;
            }
            bytes.push_back(static_cast<uint8_t>(HexValue(hex[k]) << 4 | HexValue(hex[k + 1])));
            k += 2;
        }
        if (!valid || bytes.empty()) continue;
        if (tab == std::string_view::npos) {
            // The rest of the previous instruction's bytes.
            if (!rows.empty() && rows.back().address + rows.back().bytes.size() == address)
                rows.back().bytes.insert(rows.back().bytes.end(), bytes.begin(), bytes.end());
            continue;
        }
        std::string_view text = line.substr(tab + 1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
        rows.push_back({address, std::move(bytes), std::string(text)});
    }
    return rows;
}

Disassembly Disassembler::run(const std::vector<std::string>& args) const {
    Disassembly result;
    const ProcessResult p = RunProcess(m_objdump, args);
    if (!p.started) {
        result.error = p.error;
        return result;
    }
    if (p.exitCode != 0) {
        std::string why = p.err;
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
        result.error = m_objdump + " failed" + (why.empty() ? std::string() : ": " + why);
        return result;
    }
    result.rows = ParseObjdump(p.out);
    std::stable_sort(result.rows.begin(), result.rows.end(),
                     [](const auto& a, const auto& b) { return a.address < b.address; });
    return result;
}

Disassembly Disassembler::disassembleFile(const std::string& path) const {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {"cannot read " + path, {}};
    // An ELF file: its code sections only (-D would take the debugging sections as code).
    if (IsElf(path)) return run({"-m", "m68k:cpu32", "-d", "-z", path});
    return run({"-b", "srec", "-m", "m68k:cpu32", "-D", "-z", path});
}

Disassembly Disassembler::disassembleBytes(uint32_t address, const uint8_t* data, std::size_t size) const {
    if (size == 0) return {};
    TempFile file;
    if (file.path().empty() || !file.write(data, size)) return {"cannot write a temporary file", {}};
    return run({"-b", "binary", "-m", "m68k:cpu32", "--adjust-vma=" + Hex(address), "-D", "-z", file.path()});
}

bool ProgramDisassembly::load(const std::string& path) {
    struct stat st;
    const bool exists = ::stat(path.c_str(), &st) == 0;
    const int64_t size = exists ? static_cast<int64_t>(st.st_size) : -1;
    const int64_t mtime = exists ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0;
    if (exists && path == m_path && size == m_size && mtime == m_mtime && m_result.ok()) return true;
    m_result = m_disassembler.disassembleFile(path);
    if (!m_result.ok()) {
        m_result.rows.clear();
        m_path.clear();
        m_size = -1;
        return false;
    }
    m_path = path;
    m_size = size;
    m_mtime = mtime;
    return true;
}

void ProgramDisassembly::clear() {
    m_result = {};
    m_path.clear();
    m_size = -1;
}

int ProgramDisassembly::indexAt(uint32_t address) const {
    const auto& rows = m_result.rows;
    auto it = std::upper_bound(rows.begin(), rows.end(), address,
                               [](uint32_t a, const DisassemblyRow& r) { return a < r.address; });
    if (it == rows.begin()) return -1;
    --it;
    if (address - it->address >= it->bytes.size()) return -1;
    return static_cast<int>(it - rows.begin());
}

const DisassemblyRow* ProgramDisassembly::rowAt(uint32_t address) const {
    const int i = indexAt(address);
    return i < 0 ? nullptr : &m_result.rows[static_cast<std::size_t>(i)];
}

}  // namespace korvan::debug
