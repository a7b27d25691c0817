// Breakpoint table, run and step plans, and the readers of the monitor's memory display and
// register dump.
#include "debug_plan.h"

#include <algorithm>

#include "instruction.h"
#include "line_map.h"
#include "program_image.h"

namespace korvan::debug {

bool BreakpointTable::toggle(const std::string& file, int line) {
    const auto key = std::make_pair(file, line);
    if (m_lines.erase(key) == 0) {
        if (m_lines.size() >= kMaxLines) return false;
        m_lines.insert(key);
    }
    bind(m_map, m_image, false);
    return true;
}

bool BreakpointTable::has(const std::string& file, int line) const { return m_lines.count({file, line}) != 0; }

std::vector<int> BreakpointTable::linesIn(const std::string& file) const {
    std::vector<int> lines;
    for (auto it = m_lines.lower_bound({file, 0}); it != m_lines.end() && it->first == file; ++it)
        lines.push_back(it->second);
    return lines;
}

void BreakpointTable::setLinesIn(const std::string& file, const std::vector<int>& lines) {
    for (auto it = m_lines.lower_bound({file, 0}); it != m_lines.end() && it->first == file;) it = m_lines.erase(it);
    for (int line : lines)
        if (line > 0 && m_lines.size() < kMaxLines) m_lines.insert({file, line});
    bind(m_map, m_image, false);
}

void BreakpointTable::bind(const LineMap* map, const ProgramImage* image, bool downloaded) {
    m_map = map;
    m_image = image;
    if (downloaded) {
        m_planted.clear();
        m_temporary.clear();
    }
    m_userSites.clear();
    if (!map || !image) return;
    std::set<std::pair<std::string, int>> moved;
    for (const auto& [file, line] : m_lines) {
        const std::optional<BreakSite> site = map->addressOf(file, line);
        if (!site) {
            moved.insert({file, line});  // kept as asked: the file may emit code after a rebuild
            continue;
        }
        moved.insert({file, site->line});
        for (uint32_t address : site->addresses)
            if (CanPlantBreakpoint(address) && image->word(address)) m_userSites.insert(address);
    }
    m_lines = std::move(moved);
}

std::vector<uint32_t> BreakpointTable::wantedAddresses() const {
    std::set<uint32_t> all = m_userSites;
    all.insert(m_temporary.begin(), m_temporary.end());
    return {all.begin(), all.end()};
}

std::optional<uint16_t> BreakpointTable::original(uint32_t address) const {
    return m_image ? m_image->word(address) : std::nullopt;
}

bool BreakpointTable::addTemporary(uint32_t address) {
    if (!CanPlantBreakpoint(address) || !original(address)) return false;
    m_temporary.insert(address);
    return true;
}

std::vector<WordWrite> BreakpointTable::sync(std::optional<uint32_t> exceptAt) {
    std::vector<WordWrite> writes;
    const std::vector<uint32_t> wanted = wantedAddresses();
    const std::set<uint32_t> wantedSet(wanted.begin(), wanted.end());
    for (auto it = m_planted.begin(); it != m_planted.end();) {
        const bool keep = wantedSet.count(*it) && *it != exceptAt;
        const std::optional<uint16_t> word = original(*it);
        if (keep || !word) {
            ++it;
            continue;
        }
        writes.push_back({*it, *word});
        it = m_planted.erase(it);
    }
    for (uint32_t address : wanted) {
        if (address == exceptAt || m_planted.count(address)) continue;
        writes.push_back({address, kBkptWord});
        m_planted.insert(address);
    }
    return writes;
}

Plan BreakpointTable::withWrites(std::vector<WordWrite> writes) const {
    Plan plan;
    if (!writes.empty()) plan.push_back({MonitorStep::Kind::Write, std::move(writes), 0, false});
    return plan;
}

Plan BreakpointTable::planRun(uint32_t start, uint32_t pc) {
    const std::vector<uint32_t> wanted = wantedAddresses();
    const bool underBreakpoint = std::find(wanted.begin(), wanted.end(), start) != wanted.end();
    if (!underBreakpoint) {
        Plan plan = withWrites(sync());
        plan.push_back({MonitorStep::Kind::Go, {}, start, false});
        return plan;
    }
    Plan plan = withWrites(sync(start));
    if (start != pc) plan.push_back({MonitorStep::Kind::SetPc, {}, start, false});
    plan.push_back({MonitorStep::Kind::Step, {}, 0, false});
    for (MonitorStep& write : withWrites(sync())) plan.push_back(std::move(write));
    plan.push_back({MonitorStep::Kind::Go, {}, 0, true});
    return plan;
}

Plan BreakpointTable::planStepInto(uint32_t pc) {
    Plan plan = withWrites(sync(pc));
    plan.push_back({MonitorStep::Kind::Step, {}, 0, false});
    for (MonitorStep& write : withWrites(sync())) plan.push_back(std::move(write));
    return plan;
}

Plan BreakpointTable::planStepOver(uint32_t pc, const uint8_t* code, std::size_t size) {
    const std::optional<uint32_t> next = StepOverTarget(pc, code, size);
    if (next && addTemporary(*next)) return planRun(pc, pc);
    return planStepInto(pc);
}

Plan BreakpointTable::planRunTo(uint32_t pc, uint32_t target) {
    if (!addTemporary(target)) return {};
    return planRun(pc, pc);
}

Plan BreakpointTable::planAfterStop() {
    m_temporary.clear();
    return withWrites(sync());
}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The value of text when it is made of hexadecimal digits only.
std::optional<uint32_t> hexValue(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t v = 0;
    for (char c : text) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v << 4 | uint32_t(d);
    }
    return v;
}

// The lines of text, without their CR.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The space-separated words of line, each with where it starts.
std::vector<std::pair<std::size_t, std::string_view>> wordsOf(std::string_view line) {
    std::vector<std::pair<std::size_t, std::string_view>> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) words.emplace_back(start, line.substr(start, i - start));
    }
    return words;
}

}  // namespace

std::map<uint32_t, uint8_t> ParseMemoryDisplay(std::string_view text) {
    std::map<uint32_t, uint8_t> bytes;
    for (std::string_view line : linesOf(text)) {
        const auto words = wordsOf(line);
        if (words.size() < 2 || words[0].first != 0 || words[0].second.size() != 8) continue;
        const std::optional<uint32_t> address = hexValue(words[0].second);
        if (!address) continue;
        // The byte columns end where two spaces open the character column.
        const std::size_t asciiStart = line.find("  ", line.find_first_not_of(' ', 8) + 1);
        uint32_t at = *address;
        for (std::size_t k = 1; k < words.size() && k <= 16; ++k) {
            const auto& [pos, word] = words[k];
            if (asciiStart != std::string_view::npos && pos >= asciiStart) break;
            if (word == "--") {
                ++at;
                continue;
            }
            const std::optional<uint32_t> value = word.size() == 2 ? hexValue(word) : std::nullopt;
            if (!value) break;
            bytes[at++] = uint8_t(*value);
        }
    }
    return bytes;
}

std::vector<uint8_t> ParseInstructionBytes(std::string_view dump, uint32_t pc) {
    for (std::string_view line : linesOf(dump)) {
        const auto words = wordsOf(line);
        if (words.size() < 2 || words[0].second.size() != 8 || hexValue(words[0].second) != pc) continue;
        std::vector<uint8_t> bytes;
        for (std::size_t k = 1; k < words.size(); ++k) {
            const std::optional<uint32_t> w = words[k].second.size() == 4 ? hexValue(words[k].second) : std::nullopt;
            if (!w) break;
            bytes.push_back(uint8_t(*w >> 8));
            bytes.push_back(uint8_t(*w));
        }
        if (!bytes.empty()) return bytes;
    }
    return {};
}

}  // namespace korvan::debug
