// The simulator without a line: load an S-record file, run it, the program's output on stdout.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace korvan::sim {

// Exit statuses of a headless run.
inline constexpr int kRunEnded = 0;       // TRAP #15 function 0
inline constexpr int kRunStopped = 1;     // an exception, BKPT, STOP, end of input ...
inline constexpr int kRunCannotLoad = 3;  // unreadable file, bad record, data outside memory
inline constexpr int kRunLimit = 4;       // the instruction limit was reached

struct HeadlessOptions {
    std::string path;
    std::optional<std::uint64_t> maxInstructions;
    int inputFd = 0;  // what TRAP #15 function 3 and SCDR reads take, a byte at a time
};

// Runs the program from its entry (or $802000). The program's serial output goes to out as it
// comes; why it stopped (unless it ended normally) and the register dump go to err.
int runHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvan::sim
