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

    // Split into lines: every line end (LF or CR LF) becomes a NUL so that each line is a C
    // string in place, and ASCII letters are upper-cased; other bytes stay as they are.
    char* const base = m_text.data();
    const bool endsWithLineEnd = used > 0 && base[used - 1] == '\n';
    std::size_t pos = 0;
    while (pos < used) {
        char* const start = base + pos;
        char* nl = static_cast<char*>(std::memchr(start, '\n', used - pos));
        const std::size_t end = nl ? static_cast<std::size_t>(nl - base) : used;
        std::size_t stop = end;
        if (stop > pos && base[stop - 1] == '\r') --stop;
        for (std::size_t i = pos; i < stop; ++i) {
            const char c = base[i];
            if (c >= 'a' && c <= 'z') base[i] = static_cast<char>(c - 32);
        }
        for (std::size_t i = stop; i < end; ++i) base[i] = '\0';
        if (nl) *nl = '\0';
        // Text stops at the first NUL byte, as it does for everything that reads the line.
        const std::size_t len = ::strnlen(start, stop - pos);
        const std::string_view text(start, len);
        m_lines.push_back({pos, static_cast<uint32_t>(len), IsIncludeLine(text) ? -1 : -2});
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

void Fichier::Rewind() {
    m_next = 0;
    m_lineNo = 0;
    m_eof = false;
    m_active = -1;
    for (auto& child : m_children) child->Rewind();
}

}  // namespace qubrix
