// The simulator without a line: load an S-record file, run it, the program's output on stdout.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace korvan::sim {

class Machine;

// Exit statuses of a headless run: the program's own (0-255, TRAP #15 function 0 with the status
// in D1.B), else the simulator's, out of the way of the usual ones as timeout(1) and shells do.
inline constexpr int kRunLimit = 124;       // the instruction limit was reached
inline constexpr int kRunCannotLoad = 125;  // unreadable file, bad record, data outside memory
inline constexpr int kRunStopped = 128;     // a stop without an exception: STOP, double fault, end of input ...
// kRunStopped + the vector number: an exception stopped the program (131 address error, 132
// illegal instruction, BKPT and ILLEGAL, 175 an unknown TRAP #15 function ...).
int exceptionStatus(unsigned vector);

struct HeadlessOptions {
    std::string path;
    std::optional<std::uint64_t> maxInstructions;
    int inputFd = 0;     // what TRAP #15 functions 3 and 4 and the QSM receiver see, as it arrives
    bool count = false;  // "N instructions" on err at the end, for benchmarks
};

// Loads an S-record file into the machine's memory and sets PC to its entry (or $802000).
// Returns what went wrong (the file's name included), empty when the program is loaded.
std::string loadProgram(const std::string& path, Machine& machine);

// Moves what fd holds into the program's input queue, as much as the queue takes; with wait,
// waits for at least one byte first. False at the input's end (or on an error).
bool takeInput(int fd, Machine& machine, bool wait);

// Runs the program from its entry (or $802000). The program's serial output goes to out as it
// comes; why it stopped (unless it ended normally) and the register dump go to err.
int runHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvan::sim
