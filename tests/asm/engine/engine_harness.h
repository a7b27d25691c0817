// Runs the language engine over a few source lines in two passes, as the driver does, and
// reads back what reached the S-record file, line by line.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qubrix::test {

struct LineResult {
    int code = 0;                // the line's pass-2 diagnostic
    uint32_t start = 0;          // location before the line (pass 2)
    uint32_t end = 0;            // location after the line
    std::vector<uint8_t> bytes;  // what the object file holds for [start, end)
};

struct Assembled {
    std::vector<LineResult> lines;
    std::map<uint32_t, uint8_t> memory;       // every byte of the object file
    std::vector<int> pass1Codes;              // the diagnostics pass 1 raised, line by line
    std::string hex(std::size_t line) const;  // "4E71" style, the line's bytes
};

struct Origins {
    int32_t code = 0x802000;
    int32_t var = 0x803000;
};

// Lines are upper-cased as the source reader would.
Assembled AssembleLines(const std::vector<std::string>& lines, Origins origins = {});

// Hex text of bytes, upper case, no separators.
std::string Hex(const std::vector<uint8_t>& bytes);

// The diagnostic code of that name in driver/diagnostics.h ("kErrSyntax"); a failure if none.
int CodeNamed(const std::string& name);

// Runs every case of a file of the data folder (see ReadCases): its "src" lines are assembled
// together and each "want HEX [CODE] [pass1=CODE] [at=ADDR] [end=ADDR] [mem=ADDR:BYTE]" checks
// the src line above it: HEX its bytes ("-" none, "*" unchecked), CODE its pass-2 diagnostic by
// name (none when left out), pass1 the pass-1 one, at and end its hex locations before and after
// it, mem a byte of the object file (all hex).
void RunLineCases(const std::string& file);

}  // namespace qubrix::test
