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

#include "driver/big_allocator.h"

namespace qubrix {

// Why a file of the include tree failed.
enum class OpenFailure {
    None,
    CannotOpen,  // the file itself could not be opened or read
    NotFound,    // an INCLUDE line names a file found neither beside this file nor in the
                 // working directory
    NoFileName,  // an INCLUDE line has no second word
    TooDeep,     // an INCLUDE line would nest more than kMaxIncludeDepth levels
    Cycle,       // an INCLUDE line names a file that is already being included (directly
                 // or through others)
    TooLarge,    // the whole tree would exceed kMaxIncludeFiles files or kMaxTreeBytes bytes
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
    // Every INCLUDE line reads its file afresh, so a few lines per file, a few levels deep,
    // multiply: the whole tree is bounded, not only its depth.
    static constexpr std::size_t kMaxIncludeFiles = 4096;
    static constexpr std::size_t kMaxTreeBytes = std::size_t{64} << 20;

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
    // For an include that failed: the file its INCLUDE line named, as found on disk (a cycle,
    // a nesting too deep, a tree too large) or as written (not found). Empty otherwise.
    const std::string& failedInclude() const { return m_failedInclude; }

    // Every file back to its first line, line numbers 0, no active include.
    void Rewind();

    const std::string& name() const { return m_name; }
    int32_t currentLine() const { return m_lineNo; }
    bool openFailed() const { return m_failure != OpenFailure::None; }
    OpenFailure failure() const { return m_failure; }
    std::size_t childCount() const { return m_children.size(); }
    // The physical lines of the whole tree: this file's and those of every include.
    std::size_t treeLineCount() const;
    const Fichier& child(std::size_t i) const { return *m_children[i]; }

private:
    struct LineRecord {
        std::size_t offset;  // into m_text
        uint32_t length;     // up to the line end or the first NUL byte
        int32_t include;     // an INCLUDE line: the index of its child (-1 until the scan
                             // reaches it); -2 for any other line
    };
    using FileId = std::pair<uint64_t, uint64_t>;  // device and inode
    struct Budget {
        std::size_t files = 0;
        std::size_t bytes = 0;
    };
    struct ScanState {
        std::vector<FileId> open;  // the files being scanned, root first
        Budget used;
        bool exhausted = false;  // the bound was reached: every scan stops there
    };

    Fichier(std::string path, const std::string& workDir, int depth, ScanState& state);
    void scan(const std::string& workDir, int depth, ScanState& state);
    bool load(FileId& id, ScanState& state);
    const LineRecord& readRecord();

    std::string m_name;
    // The whole file, upper-cased, line ends replaced by NUL, and one NUL after it.
    std::vector<char, BigAllocator<char>> m_text;
    std::vector<LineRecord, BigAllocator<LineRecord>> m_lines;
    bool m_endsWithLineEnd = false;
    OpenFailure m_failure = OpenFailure::None;
    std::string m_failedInclude;

    std::size_t m_next = 0;  // index of the next physical line
    int32_t m_lineNo = 0;
    bool m_eof = false;
    int m_active = -1;  // child being read, -1 for none

    std::vector<std::unique_ptr<Fichier>> m_children;
};

// Whether a line is an INCLUDE directive: INCLUDE in the mnemonic field, after leading blanks
// or a label, never inside a comment or a longer word. Then fileWord is the word after it
// (blanks are spaces and tabs), empty when the line ends there.
bool IsIncludeLine(std::string_view line, std::string_view* fileWord = nullptr);

}  // namespace qubrix
