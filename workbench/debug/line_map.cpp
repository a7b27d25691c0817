// The listing gives the location, the bytes and the sequence number of every listed line, but
// not its file: the source files are read again and merged into one stream of lines exactly as
// the assembler's reader delivers them (include lines replaced by the included file), so that
// sequence number n names the n-th line of that stream.
#include "line_map.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvan::debug {
namespace fs = std::filesystem;
namespace {

constexpr int kMaxIncludeDepth = 15;  // the assembler refuses deeper nesting

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool ReadFile(const std::string& path, std::string& text) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

// The lines of a file as the assembler's reader delivers them: split at every line feed (so a
// final line end yields one more, empty, line), without carriage returns, cut at a NUL byte,
// ASCII letters upper-cased.
std::vector<std::string> ReaderLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (;;) {
        std::size_t nl = text.find('\n', pos);
        const std::size_t end = nl == std::string::npos ? text.size() : nl;
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (const std::size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
        for (char& c : line) c = Upper(c);
        lines.push_back(std::move(line));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

// The word after INCLUDE when line is an include directive (INCLUDE in the mnemonic field).
std::optional<std::string_view> IncludeWord(std::string_view line) {
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(line[i])) ++i;
    };
    auto wordEnd = [&](std::size_t from) {
        while (from < n && !IsBlank(line[from])) ++from;
        return from;
    };
    skipBlanks();
    if (i == n || line[i] == '*') return std::nullopt;
    std::size_t end = wordEnd(i);
    if (i == 0 || line[end - 1] == ':') {
        i = end;
        skipBlanks();
        end = wordEnd(i);
    }
    if (line.substr(i, end - i) != "INCLUDE") return std::nullopt;
    i = end;
    skipBlanks();
    return line.substr(i, wordEnd(i) - i);
}

// dir/name as the assembler finds it: as written, else with every component that does not
// exist as written matched without regard to case (include names arrive upper-cased).
std::optional<fs::path> FindFile(const fs::path& dir, std::string_view name) {
    std::error_code ec;
    fs::path exact = dir / fs::path(std::string(name));
    if (fs::exists(exact, ec)) return exact;
    fs::path path = dir;
    for (const fs::path& part : fs::path(std::string(name))) {
        const std::string p = part.string();
        if (p.empty() || p == "." || p == ".." || fs::exists(path / part, ec)) {
            path /= part;
            continue;
        }
        std::optional<std::string> best;
        for (const auto& entry : fs::directory_iterator(path.empty() ? fs::path(".") : path, ec)) {
            const std::string candidate = entry.path().filename().string();
            if (EqualNoCase(candidate, p) && (!best || candidate < *best)) best = candidate;
        }
        if (!best) return std::nullopt;
        path /= *best;
    }
    if (!fs::exists(path, ec)) return std::nullopt;
    return path;
}

fs::path Normal(const fs::path& p) {
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    return (ec ? p : abs).lexically_normal();
}

struct StreamLine {
    int file;
    int line;
    std::string text;
};

class StreamBuilder {
public:
    StreamBuilder(std::vector<std::string>& files, std::vector<StreamLine>& stream, fs::path workDir)
        : m_files(files), m_stream(stream), m_workDir(std::move(workDir)) {}

    bool add(const fs::path& path, int depth) {
        std::string text;
        if (!ReadFile(path.string(), text)) return false;
        const int file = fileIndex(path.string());
        m_open.push_back(path);
        std::vector<std::string> lines = ReaderLines(text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::optional<std::string_view> word = IncludeWord(lines[i]);
            if (word && !word->empty() && depth < kMaxIncludeDepth) {
                std::optional<fs::path> found = FindFile(path.parent_path(), *word);
                if (!found && !m_workDir.empty()) found = FindFile(m_workDir, *word);
                if (found) {
                    const fs::path child = Normal(*found);
                    // A cycle would make the assembler refuse the source; never recurse on it.
                    if (std::find(m_open.begin(), m_open.end(), child) == m_open.end() && add(child, depth + 1))
                        continue;
                }
            }
            m_stream.push_back({file, static_cast<int>(i) + 1, std::move(lines[i])});
        }
        m_open.pop_back();
        return true;
    }

private:
    int fileIndex(const std::string& path) {
        const auto it = std::find(m_files.begin(), m_files.end(), path);
        if (it != m_files.end()) return static_cast<int>(it - m_files.begin());
        m_files.push_back(path);
        return static_cast<int>(m_files.size()) - 1;
    }

    std::vector<std::string>& m_files;
    std::vector<StreamLine>& m_stream;
    fs::path m_workDir;
    std::vector<fs::path> m_open;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsHex(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return HexValue(c) >= 0; });
}

}  // namespace

namespace listing {

std::optional<Row> ParseRow(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab < 9) return std::nullopt;
    std::string_view left = line.substr(0, tab);
    // The sequence number is the run of digits right before the tab: every item of the byte
    // column ends with a blank or the dots, so a number wider than its five places still
    // stands apart.
    std::size_t digits = left.size();
    while (digits > 0 && left[digits - 1] >= '0' && left[digits - 1] <= '9') --digits;
    if (digits == left.size() || left.size() - digits > 9) return std::nullopt;
    if (!IsHex(left.substr(0, 8)) || left[8] != ' ') return std::nullopt;
    Row row;
    for (char c : left.substr(0, 8)) row.location = row.location << 4 | static_cast<uint32_t>(HexValue(c));
    for (char c : left.substr(digits)) row.sequence = row.sequence * 10 + (c - '0');
    std::string_view items = left.substr(9, digits - 9);
    while (!items.empty()) {
        const std::size_t start = items.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        items.remove_prefix(start);
        const std::size_t end = std::min(items.find(' '), items.size());
        const std::string_view item = items.substr(0, end);
        items.remove_prefix(end);
        if (item.find("...") != std::string_view::npos) {
            row.truncated = true;
            break;
        }
        if (item[0] == '=') break;  // an equate: its value, no bytes
        if (IsHex(item) && (item.size() == 2 || item.size() == 4 || item.size() == 8))
            row.listedBytes += static_cast<uint32_t>(item.size() / 2);
    }
    row.text = line.substr(tab + 1);
    return row;
}

std::string_view Mnemonic(std::string_view line) {
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(line[i])) ++i;
    };
    auto wordEnd = [&](std::size_t from) {
        while (from < n && !IsBlank(line[from])) ++from;
        return from;
    };
    skipBlanks();
    if (i == n || line[i] == '*' || line[i] == ';') return {};
    std::size_t end = wordEnd(i);
    if (i == 0 || line[end - 1] == ':') {
        i = end;
        skipBlanks();
        end = wordEnd(i);
    }
    std::string_view word = line.substr(i, end - i);
    if (!word.empty() && word[0] == ';') return {};
    if (const std::size_t dot = word.find('.'); dot != std::string_view::npos) word = word.substr(0, dot);
    return word;
}

}  // namespace listing

std::string LineMap::ListingPathFor(const std::string& sourcePath) {
    fs::path p(sourcePath);
    p.replace_extension(".lis");
    return p.string();
}

std::optional<LineMap> LineMap::FromListing(const std::string& sourcePath, const std::string& listingPath,
                                            const std::string& workDir, std::string* error) {
    std::string listingText;
    if (!ReadFile(listingPath, listingText)) {
        if (error) *error = "cannot read the listing " + listingPath;
        return std::nullopt;
    }
    LineMap map;
    std::vector<StreamLine> stream;
    StreamBuilder builder(map.m_files, stream, workDir.empty() ? fs::path() : Normal(workDir));
    if (!builder.add(Normal(sourcePath), 0)) {
        if (error) *error = "cannot read the source " + sourcePath;
        return std::nullopt;
    }

    std::vector<listing::Row> rows;
    std::size_t pos = 0;
    while (pos < listingText.size()) {
        std::size_t nl = listingText.find('\n', pos);
        if (nl == std::string::npos) nl = listingText.size();
        if (auto row = listing::ParseRow(std::string_view(listingText).substr(pos, nl - pos))) rows.push_back(*row);
        pos = nl + 1;
    }

    for (std::size_t r = 0; r < rows.size(); ++r) {
        const listing::Row& row = rows[r];
        if (row.sequence < 1 || static_cast<std::size_t>(row.sequence) > stream.size()) {
            ++map.m_mismatched;
            continue;
        }
        const StreamLine& source = stream[static_cast<std::size_t>(row.sequence) - 1];
        // The listing may add " : " and a diagnostic's class text after the source text.
        const bool same = row.text == source.text || (row.text.size() > source.text.size() + 3 &&
                                                      row.text.substr(0, source.text.size()) == source.text &&
                                                      row.text.substr(source.text.size(), 3) == " : ");
        if (!same) ++map.m_mismatched;
        if (row.listedBytes == 0 && !row.truncated) continue;

        uint32_t end = row.location + row.listedBytes;
        if (row.truncated && r + 1 < rows.size()) {
            // More bytes than the column shows: the next line starts where this one ended,
            // unless it moved the location itself (ORG).
            const listing::Row& next = rows[r + 1];
            if (next.sequence == row.sequence + 1 && listing::Mnemonic(next.text) != "ORG" && next.location >= end)
                end = next.location;
        }
        const std::string_view mnemonic = listing::Mnemonic(source.text);
        map.m_lines.push_back(
            {row.location, end, source.file, source.line, row.sequence, mnemonic == "DC" || mnemonic == "DCB"});
    }
    map.index();
    return map;
}

void LineMap::index() {
    m_byAddress.resize(m_lines.size());
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        m_byAddress[i] = static_cast<int>(i);
        m_longest = std::max(m_longest, m_lines[i].end - m_lines[i].start);
    }
    std::stable_sort(m_byAddress.begin(), m_byAddress.end(),
                     [this](int a, int b) { return m_lines[a].start < m_lines[b].start; });
}

const LineEntry* LineMap::lineAt(uint32_t address) const {
    // The last entry starting at or below address, then back over those that could still
    // reach it, keeping the one assembled last.
    auto it = std::upper_bound(m_byAddress.begin(), m_byAddress.end(), address,
                               [this](uint32_t a, int i) { return a < m_lines[i].start; });
    const LineEntry* best = nullptr;
    while (it != m_byAddress.begin()) {
        const LineEntry& e = m_lines[*--it];
        if (address - e.start >= m_longest) break;
        if (address < e.end && (!best || e.sequence > best->sequence)) best = &e;
    }
    return best;
}

std::optional<SourceLocation> LineMap::locationAt(uint32_t address) const {
    const LineEntry* e = lineAt(address);
    if (!e) return std::nullopt;
    return SourceLocation{m_files[static_cast<std::size_t>(e->file)], e->line};
}

int LineMap::fileIndex(std::string_view file) const {
    const std::string wanted = Normal(fs::path(std::string(file))).string();
    for (std::size_t i = 0; i < m_files.size(); ++i)
        if (m_files[i] == wanted) return static_cast<int>(i);
    // The same file under another name (a link, a different spelling of the folder).
    std::error_code ec;
    for (std::size_t i = 0; i < m_files.size(); ++i)
        if (fs::equivalent(m_files[i], wanted, ec)) return static_cast<int>(i);
    return -1;
}

std::optional<BreakSite> LineMap::addressOf(std::string_view file, int line, bool allowData) const {
    const int f = fileIndex(file);
    if (f < 0) return std::nullopt;
    BreakSite site;
    for (const LineEntry& e : m_lines) {
        if (e.file != f || e.line < line || (e.data && !allowData)) continue;
        if (site.addresses.empty() || e.line < site.line) {
            site.line = e.line;
            site.addresses.assign(1, e.start);
        } else if (e.line == site.line) {
            site.addresses.push_back(e.start);
        }
    }
    if (site.addresses.empty()) return std::nullopt;
    std::sort(site.addresses.begin(), site.addresses.end());
    site.addresses.erase(std::unique(site.addresses.begin(), site.addresses.end()), site.addresses.end());
    if (m_lowestAddressOnly) site.addresses.resize(1);
    return site;
}

const FunctionRange* LineMap::functionAt(uint32_t address) const {
    auto it = std::upper_bound(m_functions.begin(), m_functions.end(), address,
                               [](uint32_t a, const FunctionRange& f) { return a < f.start; });
    if (it == m_functions.begin()) return nullptr;
    --it;
    return address < it->end ? &*it : nullptr;
}

}  // namespace korvan::debug
