// Headless run of a downloaded program: load, run in slices, copy the serial output out.
#include "headless.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <unistd.h>

#include "executor.h"
#include "machine.h"
#include "monitor.h"
#include "srecord.h"

namespace korvan::sim {

namespace {

constexpr std::uint32_t kDefaultEntry = 0x80'2000;
constexpr std::uint32_t kSlice = 1u << 20;

std::string hex8(std::uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", value);
    return buf;
}

void report(std::ostream& err, const Machine& machine, const std::string& reason) {
    err << reason << '\n';
    for (const std::string& row : registerDump(machine)) err << row << '\n';
}

// One byte from the input; false at its end.
bool readByte(int fd, std::uint8_t& byte) {
    for (;;) {
        const ssize_t n = ::read(fd, &byte, 1);
        if (n == 1) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace

int runHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
    std::ifstream file(options.path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        err << "korvan-sim: cannot read " << options.path << ": " << std::strerror(errno) << '\n';
        return kRunCannotLoad;
    }
    const SRecordImage image = parseSRecords(text.str());
    if (!image.error.empty()) {
        err << "korvan-sim: " << options.path << ", " << image.error << '\n';
        return kRunCannotLoad;
    }
    Machine machine;
    for (const SRecordImage::Block& block : image.blocks) {
        for (std::size_t i = 0; i < block.bytes.size(); ++i) {
            const std::uint32_t at = block.address + static_cast<std::uint32_t>(i);
            if (!machine.poke8(at, block.bytes[i])) {
                err << "korvan-sim: " << options.path << ": data outside memory at " << hex8(at) << '\n';
                return kRunCannotLoad;
            }
        }
    }
    machine.registers().pc = image.entry.value_or(kDefaultEntry);

    CpuExecutor executor;
    std::uint64_t executed = 0;
    for (;;) {
        std::uint32_t budget = kSlice;
        if (options.maxInstructions) {
            if (executed >= *options.maxInstructions) {
                report(err, machine, "instruction limit reached after " + std::to_string(executed) + " instructions");
                return kRunLimit;
            }
            budget = static_cast<std::uint32_t>(std::min<std::uint64_t>(kSlice, *options.maxInstructions - executed));
        }
        const std::uint64_t before = executor.executed();
        const Outcome outcome = executor.run(machine, budget);
        executed += executor.executed() - before;
        out << machine.serialOut() << std::flush;
        machine.serialOut().clear();
        if (outcome.waiting) {
            std::uint8_t byte = 0;
            if (!readByte(options.inputFd, byte)) {
                executor.interrupted(machine);  // shown on its TRAP, as after ESC
                report(err, machine, "input ended while the program waits for a character");
                return kRunStopped;
            }
            machine.serialIn().push_back(byte);
            continue;
        }
        if (outcome.stopped) {
            if (outcome.reason == kProgramEnded) return kRunEnded;
            report(err, machine, outcome.reason);
            return kRunStopped;
        }
    }
}

}  // namespace korvan::sim
