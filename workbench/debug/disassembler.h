// CPU32 disassembly through binutils' objdump: a whole program (S-record or ELF file), kept
// in memory for the debugger's views, or a few bytes read from the module.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::debug {

struct DisassemblyRow {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;  // the instruction's bytes (all of them, also when objdump
                                 // spread them over several lines)
    std::string text;            // objdump's text, e.g. "movel #1,%d0"
};

struct Disassembly {
    std::string error;  // empty on success; otherwise why objdump could not give the text
    std::vector<DisassemblyRow> rows;
    bool ok() const { return error.empty(); }
};

// The rows of an objdump listing (-D or -d); headers, section and symbol lines are skipped.
std::vector<DisassemblyRow> ParseObjdump(std::string_view output);

class Disassembler {
public:
    // objdump: the program to run (a path, or a name looked up in PATH), for instance the
    // cross toolchain's m68k-elf-objdump; binutils' multi-target m68k-linux-gnu-objdump
    // reads the same files.
    explicit Disassembler(std::string objdump = "m68k-linux-gnu-objdump") : m_objdump(std::move(objdump)) {}

    const std::string& objdump() const { return m_objdump; }

    // Every section of an S-record file, or the code sections of an ELF file.
    Disassembly disassembleFile(const std::string& path) const;
    // size bytes of data taken as code loaded at address.
    Disassembly disassembleBytes(uint32_t address, const uint8_t* data, std::size_t size) const;

private:
    Disassembly run(const std::vector<std::string>& args) const;

    std::string m_objdump;
};

// The disassembly of the program in the module, made once per program file and looked up on
// every stop.
class ProgramDisassembly {
public:
    explicit ProgramDisassembly(Disassembler disassembler) : m_disassembler(std::move(disassembler)) {}

    // Disassembles path unless the same file (path, size and modification time) is already
    // loaded. False with error() set when objdump failed; the rows are then empty.
    bool load(const std::string& path);
    void clear();

    const std::string& error() const { return m_result.error; }
    const std::vector<DisassemblyRow>& rows() const { return m_result.rows; }
    // The row whose bytes hold address; nullptr outside the program.
    const DisassemblyRow* rowAt(uint32_t address) const;
    // Index of that row in rows(), -1 when none (for views that show the rows around it).
    int indexAt(uint32_t address) const;

private:
    Disassembler m_disassembler;
    Disassembly m_result;
    std::string m_path;
    int64_t m_size = -1;
    int64_t m_mtime = 0;
};

}  // namespace korvan::debug
