// The code and variable sections, the absolute location counter of ORG, and the memory map.
#include "driver/sections.h"

#include <cctype>
#include <string_view>

namespace qubrix {
namespace {

// Location arithmetic wraps like the 32-bit counters of the target instead of overflowing.
int32_t Add32(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr std::size_t kSectionNameMax = 7;  // longer selector names are cut, never overrun

}  // namespace

Section::Section(std::string name, int32_t origin)
    : m_location(origin), m_origin(origin), m_name(std::move(name))
{
}

void Section::reset()
{
    m_location = m_origin;
    m_size = 0;
}

void Section::advance(int32_t n)
{
    m_location = Add32(m_location, n);
    m_size = Add32(m_size, n);
}

void Section::evenOut()
{
    if (m_location & 1)
        advance(1);
}

bool Section::overlaps(int32_t start, int32_t end) const
{
    // The location is the next free byte, so a section starting exactly where this one ends
    // counts as overlapping it.
    return (m_origin <= start && start <= m_location) || (m_origin < end && end <= m_location);
}

void Section::writeMapLine(std::FILE* out) const
{
    if (!out)
        return;
    std::fprintf(out, "%s\t%x\t%x\t%x\r\n", m_name.c_str(), static_cast<unsigned>(m_origin),
                 static_cast<unsigned>(m_location), static_cast<unsigned>(m_size));
}

SectionManager::SectionManager(int32_t codeOrigin, int32_t varOrigin)
{
    // New sections go to the front: the map lists "VAR" before "CODE".
    m_sections.emplace_back("VAR", varOrigin);
    m_sections.emplace_back("CODE", codeOrigin);
    select("CODE");
}

bool SectionManager::select(const std::string& name)
{
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

void SectionManager::resetForPass()
{
    m_absolute = 0;
    for (Section& section : m_sections)
        section.reset();
    select("CODE");
}

void SectionManager::advance(int32_t n)
{
    if (m_current < 0)
        m_absolute = Add32(m_absolute, n);
    else
        m_sections[m_current].advance(n);
}

void SectionManager::setAbsolute(int32_t address)
{
    m_current = -1;
    m_absolute = address;
}

int32_t SectionManager::value(int which) const
{
    if (m_current < 0)
        return m_absolute;
    return m_sections[m_current].value(which);
}

void SectionManager::evenOut()
{
    for (Section& section : m_sections)
        section.evenOut();
}

bool SectionManager::overlapTest() const
{
    for (std::size_t a = 0; a < m_sections.size(); ++a) {
        for (std::size_t b = 0; b < m_sections.size(); ++b) {
            if (a == b)
                continue;
            if (m_sections[b].overlaps(m_sections[a].origin(), m_sections[a].location()))
                return true;
        }
    }
    return false;
}

void SectionManager::writeMap(std::FILE* out) const
{
    if (!out)
        return;
    std::fputs("\r\nNom\tdebut\tfin\ttaille\r\n", out);
    for (const Section& section : m_sections)
        section.writeMapLine(out);
}

int32_t ParseOrigin(const std::string& text, int32_t fallback)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto blank = [&](std::size_t k) { return text[k] == ' ' || text[k] == '\t'; };
    while (i < n && blank(i))
        ++i;
    if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        i += 2;
    uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < n && std::isxdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        const char c = text[i];
        const int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu)
            return fallback;
    }
    while (i < n && blank(i))
        ++i;
    if (digits == 0 || i != n)
        return fallback;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace qubrix
