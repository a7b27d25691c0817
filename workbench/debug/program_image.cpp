// S-record data records merged into contiguous runs; later records overwrite earlier bytes,
// as they do in the module's memory.
#include "program_image.h"

#include <fstream>
#include <sstream>

namespace korvan::debug {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool ProgramImage::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_blocks.clear();
        m_entry.reset();
        m_error = "cannot read " + path;
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    return parse(all.str());
}

bool ProgramImage::parse(std::string_view text) {
    m_blocks.clear();
    m_entry.reset();
    m_error.clear();
    int lineNo = 0;
    std::map<uint32_t, uint8_t> bytes;
    while (!text.empty()) {
        const std::size_t nl = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(std::min(nl + 1, text.size()));
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.empty()) continue;
        const auto fail = [&](const char* why) {
            m_error = "line " + std::to_string(lineNo) + ": " + why;
            m_blocks.clear();
            m_entry.reset();
            return false;
        };
        if (line.size() < 4 || line[0] != 'S' || (line.size() % 2) != 0) return fail("not an S-record");
        const char type = line[1];
        std::vector<uint8_t> rec;
        for (std::size_t i = 2; i + 1 < line.size(); i += 2) {
            const int hi = HexValue(line[i]), lo = HexValue(line[i + 1]);
            if (hi < 0 || lo < 0) return fail("bad hexadecimal digit");
            rec.push_back(static_cast<uint8_t>(hi << 4 | lo));
        }
        if (rec.empty() || rec[0] + 1u != rec.size()) return fail("bad byte count");
        unsigned sum = 0;
        for (uint8_t b : rec) sum += b;
        if ((sum & 0xFFu) != 0xFFu) return fail("bad checksum");
        int addressBytes = 0;
        bool data = false;
        switch (type) {
        case '0': continue;
        case '1': addressBytes = 2, data = true; break;
        case '2': addressBytes = 3, data = true; break;
        case '3': addressBytes = 4, data = true; break;
        case '5':
        case '6': continue;
        case '7': addressBytes = 4; break;
        case '8': addressBytes = 3; break;
        case '9': addressBytes = 2; break;
        default: return fail("unknown record type");
        }
        if (rec.size() < static_cast<std::size_t>(addressBytes) + 2) return fail("record too short");
        uint32_t address = 0;
        for (int i = 0; i < addressBytes; ++i) address = address << 8 | rec[1 + static_cast<std::size_t>(i)];
        if (!data) {
            m_entry = address;
            continue;
        }
        const std::size_t first = 1 + static_cast<std::size_t>(addressBytes);
        for (std::size_t i = first; i + 1 < rec.size(); ++i) bytes[address + static_cast<uint32_t>(i - first)] = rec[i];
    }
    // Contiguous runs for quick reads.
    for (const auto& [address, value] : bytes) {
        if (!m_blocks.empty()) {
            auto& last = *m_blocks.rbegin();
            if (last.first + last.second.size() == address) {
                last.second.push_back(value);
                continue;
            }
        }
        m_blocks[address].push_back(value);
    }
    return true;
}

bool ProgramImage::contains(uint32_t address) const { return read(address, 1).has_value(); }

std::optional<std::vector<uint8_t>> ProgramImage::read(uint32_t address, std::size_t size) const {
    auto it = m_blocks.upper_bound(address);
    if (it == m_blocks.begin()) return std::nullopt;
    --it;
    const uint64_t offset = address - it->first;
    if (offset + size > it->second.size()) return std::nullopt;
    return std::vector<uint8_t>(it->second.begin() + static_cast<std::ptrdiff_t>(offset),
                                it->second.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

std::optional<uint16_t> ProgramImage::word(uint32_t address) const {
    const auto bytes = read(address, 2);
    if (!bytes) return std::nullopt;
    return static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]);
}

}  // namespace korvan::debug
