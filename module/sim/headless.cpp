// Headless run of a downloaded program: load, run in slices, copy the serial output out.
#include "headless.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <poll.h>
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
// Instructions per slice; standard input is looked at and the output written out between slices.
// An instruction writes at most one byte to SCDR, so an output buffer of the slice's size never
// refuses a program that writes without polling the transmit flags.
constexpr std::uint32_t kSlice = 1u << 16;
constexpr std::size_t kOutputCapacity = kSlice;

std::string hex8(std::uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", value);
    return buf;
}

void report(std::ostream& err, const Machine& machine, const std::string& reason) {
    err << reason << '\n';
    for (const std::string& row : registerDump(machine)) err << row << '\n';
}

int status(const Outcome& outcome) {
    if (outcome.exitStatus) return *outcome.exitStatus;
    return outcome.vector ? exceptionStatus(*outcome.vector) : kRunStopped;
}

}  // namespace

// Vectors above 127 (user interrupts, which nothing raises here) share the highest status.
int exceptionStatus(unsigned vector) { return static_cast<int>(std::min(kRunStopped + vector, 255u)); }

bool takeInput(int fd, Machine& machine, bool wait) {
    const std::size_t room = Machine::kInputCapacity - machine.serialIn().size();
    if (room == 0) return true;
    pollfd p{fd, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&p, 1, wait ? -1 : 0)) < 0 && errno == EINTR) {}
    if (ready < 0 || (p.revents & POLLNVAL) != 0) return false;
    if (ready == 0) return true;
    std::uint8_t buf[Machine::kInputCapacity];
    ssize_t n;
    while ((n = ::read(fd, buf, room)) < 0 && errno == EINTR) {}
    if (n < 0) return errno == EAGAIN;
    for (ssize_t i = 0; i < n; ++i) machine.serialIn().push_back(buf[i]);
    return n > 0;
}

std::string loadProgram(const std::string& path, Machine& machine) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) return "cannot read " + path + ": " + std::strerror(errno);
    const SRecordImage image = parseSRecords(text.str());
    if (!image.error.empty()) return path + ", " + image.error;
    for (const SRecordImage::Block& block : image.blocks) {
        for (std::size_t i = 0; i < block.bytes.size(); ++i) {
            const std::uint32_t at = block.address + static_cast<std::uint32_t>(i);
            if (!machine.poke8(at, block.bytes[i])) return path + ": data outside memory at " + hex8(at);
        }
    }
    machine.registers().pc = image.entry.value_or(kDefaultEntry);
    return {};
}

namespace {

int runLoaded(const HeadlessOptions& options, std::ostream& out, std::ostream& err, std::uint64_t& executed) {
    Machine machine;
    if (const std::string error = loadProgram(options.path, machine); !error.empty()) {
        err << "korvan-sim: " << error << '\n';
        return kRunCannotLoad;
    }
    machine.setOutputCapacity(kOutputCapacity);

    CpuExecutor executor;
    bool inputEnded = false;
    for (;;) {
        if (!inputEnded) inputEnded = !takeInput(options.inputFd, machine, false);
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
        if (!machine.serialOut().empty()) {
            out << machine.serialOut() << std::flush;
            machine.serialOut().clear();
        }
        if (outcome.waiting) {
            if (!inputEnded) inputEnded = !takeInput(options.inputFd, machine, true);
            if (!machine.serialIn().empty() || !inputEnded) continue;
            executor.interrupted(machine);  // shown on its TRAP, as after ESC
            report(err, machine, "input ended while the program waits for a character");
            return kRunStopped;
        }
        if (outcome.stopped) {
            if (!outcome.exitStatus) report(err, machine, outcome.reason);
            return status(outcome);
        }
    }
}

}  // namespace

int runHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
    std::uint64_t executed = 0;
    const int status = runLoaded(options, out, err, executed);
    if (options.count) err << executed << " instructions\n";
    return status;
}

}  // namespace korvan::sim
