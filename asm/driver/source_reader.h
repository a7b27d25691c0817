// Source reader: one assembly source file and its include files, read into memory once and
// delivered as a single stream of upper-cased lines, each with its file and line number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qubrix {

// Why a file of the include tree failed.
enum class OpenFailure {
    None,
    CannotOpen,  // the file itself could not be opened or read
    NotFound,    // an INCLUDE line names a file found neither beside this file nor in the
                 // working directory
    NoFileName,  // an INCLUDE line has no second word
    TooDeep,     // an INCLUDE line would nest more than kMaxIncludeDepth levels, or include
                 // a file that is already being included (directly or through others)
};

// One delivered line: NUL-terminated text inside the reader's own buffer (valid until the
// tree is destroyed), its file and its 1-based number in that file.
struct SourceLine {
    const char* text = "";
    std::size_t length = 0;
    const std::string* file = nullptr;
    int32_t number = 0;
    std::string_view view() const { return std::string_view(text, length); }
};

class Fichier {
public:
    static constexpr int kMaxIncludeDepth = 15;

    // Opens path and scans it and, recursively, every file it includes. Include files are
    // looked for beside the including file, then in workDir (empty, or ending in '/'); a
    // name that does not exist as written is matched case-insensitively in that folder.
    Fichier(std::string path, std::string workDir);
    virtual ~Fichier();
    Fichier(const Fichier&) = delete;
    Fichier& operator=(const Fichier&) = delete;

    // One physical line of this file, upper-cased, without its line end; at the end of the
    // file an empty line. The current line number goes up by one either way.
    std::string_view ReadLine();

    // The next line of the merged stream. True when this file has reached its end (for the
    // root: the source is exhausted); the line delivered with true is still a line.
    bool GetLine(SourceLine& out);
    bool GetLine(std::string& text, std::string& file, int& line);

    // The first file of the tree, in scan order, that failed: its name and the line number
    // at which its scan stopped (0 when the file itself did not open).
    bool FindOpenError(std::string& file, int& line, OpenFailure* reason = nullptr) const;

    // Every file back to its first line, line numbers 0, no active include.
    void Rewind();

    const std::string& name() const { return m_name; }
    int32_t currentLine() const { return m_lineNo; }
    bool openFailed() const { return m_failure != OpenFailure::None; }
    OpenFailure failure() const { return m_failure; }
    std::size_t childCount() const { return m_children.size(); }
    const Fichier& child(std::size_t i) const { return *m_children[i]; }

private:
    struct LineRecord {
        std::size_t offset;   // into m_text
        uint32_t length;      // up to the line end or the first NUL byte
        int32_t includeAt;    // column of the first "INCLUDE", or -1
    };
    using FileId = std::pair<uint64_t, uint64_t>;  // device and inode

    Fichier(std::string path, const std::string& workDir, int depth, std::vector<FileId>& open);
    void scan(const std::string& workDir, int depth, std::vector<FileId>& open);
    bool load(FileId& id);
    const LineRecord& readRecord();
    int selectChild(std::string_view fileWord) const;

    std::string m_name;
    std::string m_upperName;  // for matching INCLUDE names against children
    std::string m_text;       // the whole file, upper-cased, line ends replaced by NUL
    std::vector<LineRecord> m_lines;
    bool m_endsWithLineEnd = false;
    OpenFailure m_failure = OpenFailure::None;

    std::size_t m_next = 0;  // index of the next physical line
    int32_t m_lineNo = 0;
    bool m_eof = false;
    int m_active = -1;       // child being read, -1 for none

    std::vector<std::unique_ptr<Fichier>> m_children;
};

// The second blank-separated word of an INCLUDE line (blanks are spaces and tabs); empty
// when the line has fewer than two words.
std::string_view IncludeFileWord(std::string_view line);

}  // namespace qubrix
