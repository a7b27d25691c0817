// The code and variable sections, the absolute location counter of ORG, and the memory map.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/diagnostics.h"

namespace qubrix {

class Section {
public:
    Section(std::string name, int32_t origin);
    virtual ~Section() = default;

    void reset();
    void advance(int32_t n);
    void evenOut();
    int32_t value(int which) const { return which == 0 ? m_location : m_origin; }
    const std::string& name() const { return m_name; }
    int32_t origin() const { return m_origin; }
    int32_t location() const { return m_location; }
    int32_t size() const { return m_size; }
    // The section covers the half-open range [origin, end): end is the next free address,
    // $100000000 for a section that reached the top of the address space.
    uint64_t end() const;
    bool empty() const { return end() == static_cast<uint32_t>(m_origin); }
    // True when both sections hold a byte at the same address; an empty section overlaps
    // nothing, and a section ending where the other starts shares no byte with it.
    bool overlaps(const Section& other) const;
    // "code $802000-$803400": the lower-case name and the range, end excluded.
    std::string rangeText() const;
    // True once the location has been moved past the top of the 32-bit address space.
    bool pastTop() const { return m_pastTop; }
    void writeMapLine(std::FILE* out) const;

private:
    int32_t m_size = 0;
    int32_t m_location = 0;
    bool m_atTop = false;  // the location is $100000000, held as 0
    bool m_pastTop = false;
    int32_t m_origin = 0;
    std::string m_name;
};

class SectionManager {
public:
    // Creates "CODE" then "VAR" (the list reads "VAR" first) and selects "CODE".
    SectionManager(int32_t codeOrigin, int32_t varOrigin);
    virtual ~SectionManager() = default;

    bool select(const std::string& name);  // "9"/"CODE", "15"/"VAR"; false: absolute mode
    void resetForPass();
    void advance(int32_t n);
    void setAbsolute(int32_t address);
    // Asked for every emitted item: kept inline.
    int32_t value(int which) const { return m_current < 0 ? m_absolute : m_sections[m_current].value(which); }
    void evenOut();
    // The first two sections, in list order, that share a byte; nothing when none do.
    std::optional<std::pair<const Section*, const Section*>> findOverlap() const;
    bool overlapTest() const { return findOverlap().has_value(); }
    // Names the two overlapping sections and their ranges, the lower one first
    // ("code $802000-$803400, var $803000-$803010"); empty when no sections overlap.
    std::string overlapText() const;
    void writeMap(std::FILE* out) const;
    const std::vector<Section>& sections() const { return m_sections; }
    bool absoluteMode() const { return m_current < 0; }
    int currentIndex() const { return m_current; }  // -1 in absolute mode
    // True when a location counter of this pass ran past $FFFFFFFF.
    bool pastTop() const;

private:
    int32_t m_absolute = 0;
    bool m_absoluteAtTop = false;
    bool m_absolutePastTop = false;
    int m_current = -1;  // index into m_sections, -1 for absolute mode
    std::vector<Section> m_sections;
};

// Reads a section origin setting: hexadecimal text, optional 0x; the fallback when the text is
// not hexadecimal.
QUBRIX_API int32_t ParseOrigin(const std::string& text, int32_t fallback);

}  // namespace qubrix
