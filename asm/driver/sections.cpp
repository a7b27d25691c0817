// The code and variable sections, the absolute location counter of ORG, and the memory map.
#include "driver/sections.h"

#include <cctype>
#include <string_view>

namespace qubrix {
namespace {

// Location arithmetic on 32-bit counters; an advance (taken as unsigned) that ends beyond
// $100000000, or any advance from there, runs past the top of the address space.
int32_t Advance32(int32_t location, int32_t n, bool& atTop, bool& pastTop) {
    const uint64_t end = uint64_t{static_cast<uint32_t>(location)} + static_cast<uint32_t>(n);
    if ((atTop && n != 0) || end > uint64_t{1} << 32) pastTop = true;
    if (end == uint64_t{1} << 32) atTop = true;
    return static_cast<int32_t>(static_cast<uint32_t>(end));
}

constexpr std::size_t kSectionNameMax = 7;  // longer selector names are cut, never overrun

}  // namespace

Section::Section(std::string name, int32_t origin) : m_location(origin), m_origin(origin), m_name(std::move(name)) {}

void Section::reset() {
    m_location = m_origin;
    m_size = 0;
    m_atTop = m_pastTop = false;
}

void Section::advance(int32_t n) {
    m_location = Advance32(m_location, n, m_atTop, m_pastTop);
    m_size = static_cast<int32_t>(static_cast<uint32_t>(m_size) + static_cast<uint32_t>(n));
}

void Section::evenOut() {
    if (m_location & 1) advance(1);
}

uint64_t Section::end() const {
    // The location wraps to 0 at $100000000; a section that went past the top (the run
    // reports it) is taken to end there.
    const uint32_t origin = static_cast<uint32_t>(m_origin), location = static_cast<uint32_t>(m_location);
    if (m_atTop || m_pastTop || location < origin) return uint64_t{1} << 32;
    return location;
}

bool Section::overlaps(const Section& other) const {
    // Half-open ranges compared as unsigned addresses: sections above $80000000 are no
    // negative numbers.
    if (empty() || other.empty()) return false;
    return static_cast<uint32_t>(m_origin) < other.end() && static_cast<uint32_t>(other.m_origin) < end();
}

std::string Section::rangeText() const {
    std::string name = m_name;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char range[48];
    std::snprintf(range, sizeof range, " $%X-$%llX", static_cast<unsigned>(m_origin),
                  static_cast<unsigned long long>(end()));
    return name + range;
}

void Section::writeMapLine(std::FILE* out) const {
    if (!out) return;
    std::fprintf(out, "%s\t%x\t%x\t%x\r\n", m_name.c_str(), static_cast<unsigned>(m_origin),
                 static_cast<unsigned>(m_location), static_cast<unsigned>(m_size));
}

SectionManager::SectionManager(int32_t codeOrigin, int32_t varOrigin) {
    // New sections go to the front: the map lists "VAR" before "CODE".
    m_sections.emplace_back("VAR", varOrigin);
    m_sections.emplace_back("CODE", codeOrigin);
    select("CODE");
}

bool SectionManager::select(const std::string& name) {
    std::string_view wanted = std::string_view(name).substr(0, kSectionNameMax);
    if (wanted == "9")
        wanted = "CODE";
    else if (wanted == "15")
        wanted = "VAR";
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        if (m_sections[i].name() == wanted) {
            m_current = static_cast<int>(i);
            return true;
        }
    }
    m_current = -1;
    return false;
}

void SectionManager::resetForPass() {
    m_absolute = 0;
    m_absoluteAtTop = m_absolutePastTop = false;
    for (Section& section : m_sections) section.reset();
    select("CODE");
}

void SectionManager::advance(int32_t n) {
    if (m_current < 0)
        m_absolute = Advance32(m_absolute, n, m_absoluteAtTop, m_absolutePastTop);
    else
        m_sections[m_current].advance(n);
}

void SectionManager::setAbsolute(int32_t address) {
    m_current = -1;
    m_absolute = address;
    m_absoluteAtTop = false;
}

bool SectionManager::pastTop() const {
    if (m_absolutePastTop) return true;
    for (const Section& section : m_sections)
        if (section.pastTop()) return true;
    return false;
}

void SectionManager::evenOut() {
    for (Section& section : m_sections) section.evenOut();
}

std::optional<std::pair<const Section*, const Section*>> SectionManager::findOverlap() const {
    for (std::size_t a = 0; a < m_sections.size(); ++a) {
        for (std::size_t b = a + 1; b < m_sections.size(); ++b) {
            if (m_sections[a].overlaps(m_sections[b])) return std::make_pair(&m_sections[a], &m_sections[b]);
        }
    }
    return std::nullopt;
}

std::string SectionManager::overlapText() const {
    const auto pair = findOverlap();
    if (!pair) return std::string();
    auto [first, second] = *pair;
    if (static_cast<uint32_t>(second->origin()) < static_cast<uint32_t>(first->origin())) std::swap(first, second);
    return first->rangeText() + ", " + second->rangeText();
}

void SectionManager::writeMap(std::FILE* out) const {
    if (!out) return;
    std::fputs("\r\nNom\tdebut\tfin\ttaille\r\n", out);
    for (const Section& section : m_sections) section.writeMapLine(out);
}

int32_t ParseOrigin(const std::string& text, int32_t fallback) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto blank = [&](std::size_t k) { return text[k] == ' ' || text[k] == '\t'; };
    while (i < n && blank(i)) ++i;
    if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < n && std::isxdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        const char c = text[i];
        const int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu) return fallback;
    }
    while (i < n && blank(i)) ++i;
    if (digits == 0 || i != n) return fallback;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace qubrix
