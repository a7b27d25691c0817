// Address to source line map of a program: of an assembled program from the assembler's
// listing (.lis) and the source files it was built from, of a C or C++ program from the DWARF
// line table of its linked ELF file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::debug {

// One source line that emitted bytes.
struct LineEntry {
    uint32_t start = 0;  // address of its first byte
    uint32_t end = 0;    // one past its last byte
    int file = 0;        // index into LineMap::files()
    int line = 0;        // 1-based line number in that file
    int sequence = 0;    // the listing's sequence number (the line's place in the merged stream)
    bool data = false;   // a DC or DCB line: data rather than an instruction
};

// A source position for the user: an absolute file path and a 1-based line.
struct SourceLocation {
    std::string file;
    int line = 0;
    bool operator==(const SourceLocation&) const = default;
};

// A function of an ELF program and its addresses.
struct FunctionRange {
    uint32_t start = 0;
    uint32_t end = 0;  // one past its last byte
    std::string name;
};

// Where a breakpoint asked for on a line goes.
struct BreakSite {
    int line = 0;                     // the line used: the one asked for, or the next that emits
    std::vector<uint32_t> addresses;  // its first address, once per time the line was assembled
                                      // (an include file included twice has two), lowest first
};

class LineMap {
public:
    // Builds the map of the program assembled from sourcePath, whose listing is listingPath.
    // Include files are found as the assembler finds them: beside the including file, then
    // in workDir (the assembler's working folder; may be empty). Returns nothing, with error
    // set, when the listing or the main source cannot be read.
    static std::optional<LineMap> FromListing(const std::string& sourcePath, const std::string& listingPath,
                                              const std::string& workDir, std::string* error = nullptr);
    // The listing of sourcePath: the same path with the extension .lis.
    static std::string ListingPathFor(const std::string& sourcePath);

    // Builds the map of a linked ELF program from the is_stmt rows of its DWARF line table;
    // a row's bytes run up to the next row of its sequence. The functions come from the
    // DWARF subprograms, and from the ELF symbol table for code without debugging
    // information. Returns nothing, with error set, when the file is not a readable ELF
    // file or has no line table (built without -g).
    static std::optional<LineMap> FromElf(const std::string& elfPath, std::string* error = nullptr);

    // Absolute, normalised paths: the main source first, then include files in the order met.
    const std::vector<std::string>& files() const { return m_files; }
    // The emitting lines in the order they were assembled.
    const std::vector<LineEntry>& lines() const { return m_lines; }
    // Listed lines whose text differs from the source file as it is now: the source changed
    // after the build, so lines may be off. 0 for an up-to-date listing.
    int mismatchedLines() const { return m_mismatched; }

    // The line whose bytes hold address; when code was assembled twice over the same
    // addresses (ORG), the last one assembled, which is what the program holds.
    const LineEntry* lineAt(uint32_t address) const;
    std::optional<SourceLocation> locationAt(uint32_t address) const;

    // The first emitting line at or after line in file (an absolute path, or a path that
    // names the same file); data lines (DC, DCB) are skipped unless allowData. Nothing when
    // no line from there on emits.
    std::optional<BreakSite> addressOf(std::string_view file, int line, bool allowData = false) const;

    // Index of file in files(), -1 when the program has no such file.
    int fileIndex(std::string_view file) const;

    // The function holding address (ELF programs only), nullptr when none does.
    const FunctionRange* functionAt(uint32_t address) const;
    const std::vector<FunctionRange>& functions() const { return m_functions; }

private:
    void index();

    std::vector<std::string> m_files;
    std::vector<LineEntry> m_lines;
    std::vector<int> m_byAddress;  // indices into m_lines, by start address then assembly order
    uint32_t m_longest = 0;        // longest entry, bounds the backward search of lineAt
    int m_mismatched = 0;
    // A C line has several rows (a loop's start, test and step): a breakpoint takes only its
    // lowest address. An assembly line has one place per time it was assembled.
    bool m_lowestAddressOnly = false;
    std::vector<FunctionRange> m_functions;  // by start address, not overlapping
};

// The pieces of the listing reader, usable on their own.
namespace listing {

// The fields of one listing line; nullopt for lines that are not line records (the summary).
struct Row {
    uint32_t location = 0;
    int sequence = 0;
    uint32_t listedBytes = 0;  // bytes shown in the byte column
    bool truncated = false;    // the column ended in "..." (more bytes than it shows)
    std::string_view text;     // the source text, with any diagnostic annotation
};
std::optional<Row> ParseRow(std::string_view line);

// The mnemonic or directive of an (upper-cased) source line without its size suffix; empty
// for comments, empty lines and labels alone.
std::string_view Mnemonic(std::string_view line);

}  // namespace listing

}  // namespace korvan::debug
