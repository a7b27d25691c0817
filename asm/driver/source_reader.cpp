// The source reader: every file of the include tree is read into memory once, upper-cased and
// split into lines by the scan; the passes then walk the tree without touching the disk.
#include "driver/source_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace qubrix {
namespace {

constexpr std::string_view kInclude = "INCLUDE";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The directory part of a path, separator included; empty when it has none.
std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The entry of folder dir (empty: the current folder) whose name equals name apart from the
// case of ASCII letters; the first in byte order when several do.
std::optional<std::string> FindEntryNoCase(const std::string& dir, std::string_view name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view entry(e->d_name);
        if (EqualNoCase(entry, name) && (!best || entry < *best)) best = std::string(entry);
    }
    ::closedir(d);
    return best;
}

// dir + name when that exists; otherwise the same path with every component of name that
// does not exist as written matched case-insensitively. Source lines reach the reader
// upper-cased, so an include name has lost the case of the file on disk.
std::optional<std::string> FindFile(const std::string& dir, std::string_view name) {
    std::string exact = dir + std::string(name);
    if (Exists(exact)) return exact;
    std::string path = dir;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        const std::string_view part = name.substr(start, slash - start);
        const bool last = slash == name.size();
        if (part.empty() || part == "." || part == "..") {
            path.append(part);
        } else {
            std::string direct = path + std::string(part);
            if (Exists(direct)) {
                path = std::move(direct);
            } else {
                std::optional<std::string> found = FindEntryNoCase(path, part);
                if (!found) return std::nullopt;
                path += *found;
            }
        }
        if (last) break;
        path += '/';
        start = slash + 1;
    }
    if (!Exists(path)) return std::nullopt;
    return path;
}

const std::string kNoText;

// The first occurrence of word in text[from, size), or null.
const char* FindWord(const char* text, std::size_t size, std::size_t from, std::string_view word) {
    if (from >= size) return nullptr;
    return static_cast<const char*>(::memmem(text + from, size - from, word.data(), word.size()));
}

// Upper-cases the ASCII letters of text in place, eight bytes at a time, other bytes left as
// they are; returns the number of line feeds.
std::size_t UpperCaseAndCountLineEnds(char* text, std::size_t size) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    std::size_t lineEnds = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, text + i, 8);
        // A byte is a lower-case letter when its high bit is clear and its low seven bits
        // are at least 'a' and at most 'z'; the sums below never carry into the next byte.
        const uint64_t low = w & kLow7;
        const uint64_t atLeastA = low + (0x80 - 'a') * kOnes;
        const uint64_t aboveZ = low + (0x80 - 'z' - 1) * kOnes;
        const uint64_t lower = atLeastA & ~aboveZ & ~w & kHigh;
        w ^= lower >> 2;  // clears bit 5 of each lower-case letter
        std::memcpy(text + i, &w, 8);
        // Line feeds: the bytes equal to '\n' become zero; a zero byte alone keeps its high
        // bit clear after adding 0x7F to its low seven bits.
        const uint64_t x = w ^ ('\n' * kOnes);
        const uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
        lineEnds += static_cast<std::size_t>((((zero >> 7) * kOnes) >> 56) & 0xFF);
    }
    for (; i < size; ++i) {
        const char c = text[i];
        if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 32);
        lineEnds += c == '\n';
    }
    return lineEnds;
}

}  // namespace

bool IsIncludeLine(std::string_view line, std::string_view* fileWord) {
    const std::size_t n = line.size();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(line[i])) ++i;
    };
    auto wordEnd = [&](std::size_t from) {
        while (from < n && !IsBlank(line[from])) ++from;
        return from;
    };
    skipBlanks();
    if (i == n || line[i] == '*') return false;  // an empty line or a comment
    std::size_t end = wordEnd(i);
    // A label: any word in column one, or an indented word ending in ':'.
    if (i == 0 || line[end - 1] == ':') {
        i = end;
        skipBlanks();
        end = wordEnd(i);
    }
    if (line.substr(i, end - i) != kInclude) return false;
    if (fileWord) {
        i = end;
        skipBlanks();
        *fileWord = line.substr(i, wordEnd(i) - i);
    }
    return true;
}

Fichier::Fichier(std::string path, std::string workDir) : m_name(std::move(path)) {
    ScanState state;
    scan(workDir, 0, state);
}

Fichier::Fichier(std::string path, const std::string& workDir, int depth, ScanState& state) : m_name(std::move(path)) {
    scan(workDir, depth, state);
}

Fichier::~Fichier() = default;

bool Fichier::load(FileId& id, ScanState& state) {
    // Only regular files are sources: a device such as /dev/zero would never end and a FIFO
    // would block the run (hence O_NONBLOCK on the open, which regular files ignore).
    const int fd = ::open(m_name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    if (static_cast<uint64_t>(st.st_size) > kMaxTreeBytes - state.used.bytes) {
        ::close(fd);
        m_failure = OpenFailure::TooLarge;
        state.exhausted = true;
        return false;
    }
    std::size_t used = 0;
    m_text.resize(static_cast<std::size_t>(st.st_size) + 1);
    for (;;) {
        if (used == m_text.size()) m_text.resize(m_text.size() * 2);
        const ssize_t got = ::read(fd, m_text.data() + used, m_text.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            m_text.clear();
            return false;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
        if (used > kMaxTreeBytes - state.used.bytes) {  // the file grew while being read
            ::close(fd);
            m_text.clear();
            m_failure = OpenFailure::TooLarge;
            state.exhausted = true;
            return false;
        }
    }
    state.used.bytes += used;
    ::close(fd);
    m_text.resize(used);

    m_text.resize(used + 1);  // the last line's terminator when the file does not end in one
    m_text[used] = '\0';

    char* const base = m_text.data();
    const bool endsWithLineEnd = used > 0 && base[used - 1] == '\n';
    const std::size_t lineEnds = UpperCaseAndCountLineEnds(base, used);
    m_lines.reserve(lineEnds + 1);
    // A NUL byte ends the text of its line for everything that reads it; most files have
    // none, and their lines' lengths need no look at the bytes.
    const bool hasNul = std::memchr(base, '\0', used) != nullptr;
    // INCLUDE lines are told apart only where the word occurs.
    const char* nextInclude = FindWord(base, used, 0, kInclude);

    // Split into lines: every line end (LF or CR LF) becomes a NUL so that each line is a C
    // string in place.
    std::size_t pos = 0;
    while (pos < used) {
        char* const start = base + pos;
        char* nl = static_cast<char*>(std::memchr(start, '\n', used - pos));
        const std::size_t end = nl ? static_cast<std::size_t>(nl - base) : used;
        std::size_t stop = end;
        if (stop > pos && base[stop - 1] == '\r') base[--stop] = '\0';
        if (nl) *nl = '\0';
        const std::size_t len = hasNul ? ::strnlen(start, stop - pos) : stop - pos;
        int32_t include = -2;
        if (nextInclude && nextInclude < base + end) {
            if (IsIncludeLine(std::string_view(start, len))) include = -1;
            nextInclude = FindWord(base, used, end, kInclude);
        }
        m_lines.push_back({pos, static_cast<uint32_t>(len), include});
        pos = end + 1;
    }
    m_endsWithLineEnd = endsWithLineEnd;
    return true;
}

void Fichier::scan(const std::string& workDir, int depth, ScanState& state) {
    FileId id;
    if (!load(id, state)) {
        if (m_failure == OpenFailure::None) m_failure = OpenFailure::CannotOpen;
        return;
    }
    state.open.push_back(id);
    const std::string dir = DirectoryOf(m_name);
    while (!m_eof && m_failure == OpenFailure::None && !state.exhausted) {
        const std::size_t index = m_next;
        const LineRecord& rec = readRecord();
        if (rec.include == -2 || index >= m_lines.size()) continue;
        std::string_view word;
        IsIncludeLine(std::string_view(m_text.data() + rec.offset, rec.length), &word);
        if (word.empty()) {
            m_failure = OpenFailure::NoFileName;
            break;
        }
        std::optional<std::string> found = FindFile(dir, word);
        if (!found) found = FindFile(workDir, word);
        if (!found) {
            m_failure = OpenFailure::NotFound;
            m_failedInclude = std::string(word);
            break;
        }
        // Bound the nesting and the whole tree, and refuse a file that is already open
        // further up the tree: it would include itself without end.
        struct stat st;
        const bool known = ::stat(found->c_str(), &st) == 0;
        const FileId childId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        if (known && std::find(state.open.begin(), state.open.end(), childId) != state.open.end())
            m_failure = OpenFailure::Cycle;
        else if (depth + 1 > kMaxIncludeDepth)
            m_failure = OpenFailure::TooDeep;
        else if (state.used.files + 1 >= kMaxIncludeFiles)
            m_failure = OpenFailure::TooLarge;
        if (m_failure != OpenFailure::None) {
            state.exhausted = m_failure == OpenFailure::TooLarge;
            m_failedInclude = std::move(*found);
            break;
        }
        ++state.used.files;
        m_lines[index].include = static_cast<int32_t>(m_children.size());
        m_children.push_back(std::unique_ptr<Fichier>(new Fichier(std::move(*found), workDir, depth + 1, state)));
        // A child that grew the tree past its bound fails at this line, with the bound's
        // reason rather than as a file that cannot be opened.
        if (m_children.back()->m_failure == OpenFailure::TooLarge && m_children.back()->m_lines.empty()) {
            m_failedInclude = m_children.back()->m_name;
            m_children.pop_back();
            m_failure = OpenFailure::TooLarge;
        }
    }
    state.open.pop_back();
    if (m_failure == OpenFailure::None) {
        m_next = 0;
        m_lineNo = 0;
        m_eof = false;
    }
}

const Fichier::LineRecord& Fichier::readRecord() {
    static const LineRecord kEmpty{0, 0, -2};
    ++m_lineNo;
    if (m_next < m_lines.size()) {
        const LineRecord& rec = m_lines[m_next++];
        // A last line without a line end leaves the file at its end at once; after a line
        // end the end is only seen by the next read, which yields one more, empty, line.
        if (m_next == m_lines.size() && !m_endsWithLineEnd) m_eof = true;
        return rec;
    }
    m_eof = true;
    return kEmpty;
}

std::string_view Fichier::ReadLine() {
    const LineRecord& rec = readRecord();
    if (rec.length == 0) return std::string_view();
    return std::string_view(m_text.data() + rec.offset, rec.length);
}

bool Fichier::GetLine(SourceLine& out) {
    for (;;) {
        if (m_active >= 0) {
            const bool childEnd = m_children[static_cast<std::size_t>(m_active)]->GetLine(out);
            if (childEnd) m_active = -1;
            // When the INCLUDE line was this file's last line, the include's last line is also
            // the last line of this file.
            return childEnd && m_eof;
        }
        const LineRecord& rec = readRecord();
        const char* text = rec.length ? m_text.data() + rec.offset : "";
        if (rec.include >= 0) {
            // An INCLUDE line is never delivered: the file it named at the scan takes over
            // the stream.
            m_active = rec.include;
            continue;
        }
        out = SourceLine{text, rec.length, &m_name, m_lineNo};
        return m_eof;
    }
}

bool Fichier::GetLine(std::string& text, std::string& file, int& line) {
    SourceLine out;
    const bool end = GetLine(out);
    text.assign(out.text, out.length);
    file = out.file ? *out.file : kNoText;
    line = out.number;
    return end;
}

bool Fichier::FindOpenError(std::string& file, int& line, OpenFailure* reason) const {
    if (m_failure != OpenFailure::None) {
        file = m_name;
        line = m_failure == OpenFailure::CannotOpen ? 0 : m_lineNo;
        if (reason) *reason = m_failure;
        return true;
    }
    for (const auto& child : m_children)
        if (child->FindOpenError(file, line, reason)) return true;
    return false;
}

std::size_t Fichier::treeLineCount() const {
    std::size_t n = m_lines.size();
    for (const auto& child : m_children) n += child->treeLineCount();
    return n;
}

void Fichier::Rewind() {
    m_next = 0;
    m_lineNo = 0;
    m_eof = false;
    m_active = -1;
    for (auto& child : m_children) child->Rewind();
}

}  // namespace qubrix
