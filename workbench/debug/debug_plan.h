// The breakpoints of a debugging session over the monitor line and the command sequences that
// run, step and stop a program with them. A breakpoint is the BKPT word written over the first
// word of an instruction by a one-block download; the original word, known from the program
// image, is written back when it is removed or when the program must run the instruction under
// it. Nothing here talks to the module: the plans are lists of monitor steps for the caller to
// carry out, one after the other, each ended by the monitor's prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvan::debug {

class LineMap;
class ProgramImage;

// One word written into the module's memory.
struct WordWrite {
    uint32_t address = 0;
    uint16_t word = 0;
    bool operator==(const WordWrite&) const = default;
};

// One command for the monitor, answered by a prompt.
struct MonitorStep {
    enum class Kind {
        Write,  // a download: "LO", one block per word, a lone CR
        SetPc,  // "PC=address"
        Step,   // "ss"
        Go,     // "GO address"; with fromCurrentPc, from the PC of the last dump
    };
    Kind kind = Kind::Go;
    std::vector<WordWrite> writes;  // Write
    uint32_t address = 0;           // SetPc, Go
    bool fromCurrentPc = false;     // Go
    bool operator==(const MonitorStep&) const = default;
};
using Plan = std::vector<MonitorStep>;

// Breakpoints by source line, and the state of the module's memory under them.
class BreakpointTable {
public:
    // More than a student sets; every one costs two bytes of download per run.
    static constexpr std::size_t kMaxLines = 64;

    // Adds the breakpoint of file:line (1-based) or removes it. False when adding to a full table.
    bool toggle(const std::string& file, int line);
    bool has(const std::string& file, int line) const;
    // The lines of file that hold a breakpoint.
    std::vector<int> linesIn(const std::string& file) const;
    // Replaces the lines of file (an edit moved them).
    void setLinesIn(const std::string& file, const std::vector<int>& lines);
    std::size_t size() const { return m_lines.size(); }

    // The program in the module: map and image of the file downloaded last (either may be null:
    // no breakpoint can then be planted). A line that emits nothing moves to the next line that
    // does. With downloaded, the module has just received the program: none of its words holds
    // a breakpoint any longer.
    void bind(const LineMap* map, const ProgramImage* image, bool downloaded);
    // The addresses of the breakpoints (user and temporary) that can be planted.
    std::vector<uint32_t> wantedAddresses() const;
    // The user's breakpoint addresses only.
    bool isUserAddress(uint32_t address) const { return m_userSites.count(address) != 0; }
    // The module holds the BKPT word at address.
    bool isPlanted(uint32_t address) const { return m_planted.count(address) != 0; }
    // The program's own word at address, when the image holds it.
    std::optional<uint16_t> original(uint32_t address) const;

    // A breakpoint of the debugger's own (step over, step out, run to cursor): removed at the
    // next stop. False when the address cannot take one.
    bool addTemporary(uint32_t address);

    // The writes that bring the module's memory to the wanted state, counted as done: BKPT where
    // a breakpoint is wanted but not planted, the original word where one is planted but no
    // longer wanted. At exceptAt the original word is wanted whatever the breakpoints (the
    // program is about to run that instruction).
    std::vector<WordWrite> sync(std::optional<uint32_t> exceptAt = {});

    // Runs from start (the PC is pc): when a breakpoint sits at start, its instruction runs first
    // as one step with the original word in place, then the breakpoint goes back and the run
    // goes on.
    Plan planRun(uint32_t start, uint32_t pc);
    // One instruction at pc, the original word in place under a breakpoint.
    Plan planStepInto(uint32_t pc);
    // A call or a trap at pc runs up to the next instruction (code: the bytes at pc); anything
    // else is one step.
    Plan planStepOver(uint32_t pc, const uint8_t* code, std::size_t size);
    // Runs from pc until target (or any breakpoint on the way).
    Plan planRunTo(uint32_t pc, uint32_t target);
    // The writes of sync() as a plan (after the user set or cleared a breakpoint).
    Plan planSync() { return withWrites(sync()); }
    // The program stopped: the temporary breakpoints go, and breakpoints changed while it ran
    // are written.
    Plan planAfterStop();

private:
    Plan withWrites(std::vector<WordWrite> writes) const;

    std::set<std::pair<std::string, int>> m_lines;
    const LineMap* m_map = nullptr;
    const ProgramImage* m_image = nullptr;
    std::set<uint32_t> m_userSites;
    std::set<uint32_t> m_temporary;
    std::set<uint32_t> m_planted;
};

// The bytes of a memory display ("md"): rows of an 8-digit hexadecimal address followed by up
// to 16 two-digit bytes ("--" for a byte that could not be read, left out). Other lines are
// ignored.
std::map<uint32_t, uint8_t> ParseMemoryDisplay(std::string_view text);

// The instruction words a register dump shows after the address pc (the dump's last row:
// "00802000  41F9 0080 3000 ..."), as bytes; empty when the dump has no such row.
std::vector<uint8_t> ParseInstructionBytes(std::string_view dump, uint32_t pc);

}  // namespace korvan::debug
