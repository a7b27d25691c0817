// GDB's remote serial protocol over the simulated module: bytes from the debugger in, replies
// out, the program run in slices so that the connection is served while it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "machine.h"
#include "monitor.h"

namespace korvan::sim {

// Signal numbers of GDB's remote protocol (its own numbering, not the host's).
namespace gdb_signal {
inline constexpr int kInterrupt = 2;   // SIGINT: the debugger's Ctrl-C
inline constexpr int kIllegal = 4;     // SIGILL: illegal, privileged, line A/F instruction, bad RTE frame
inline constexpr int kTrap = 5;        // SIGTRAP: breakpoint, step, BKPT, trace, TRAP without a handler
inline constexpr int kAbort = 6;       // SIGABRT: STOP, double fault, a jump into the monitor's area
inline constexpr int kArithmetic = 8;  // SIGFPE: zero divide, CHK, TRAPV
inline constexpr int kBus = 10;        // SIGBUS: bus error
inline constexpr int kSegv = 11;       // SIGSEGV: address error
}  // namespace gdb_signal

// The signal a stop is reported with; opcode is the word at PC after the stop (BKPT is a trap).
int stopSignal(const Outcome& outcome, std::uint16_t opcode);

// One debugger's session with the module. Registers are GDB's m68k core set: D0-D7, A0-A7 (A7 the
// stack pointer of the current mode), PS (SR) and PC, 32 bits each; the target description says
// so, so that the debugger expects no floating-point registers. Breakpoints are addresses checked
// before each instruction while the program runs, so memory always holds the program's own words
// and continuing from a breakpoint executes its instruction first.
class GdbStub {
public:
    static constexpr std::size_t kPacketSize = 0x4000;  // the largest packet accepted, as announced
    static constexpr std::size_t kMaxBreakpoints = 256;

    GdbStub(Machine& machine, Executor& executor);

    // Bytes received from the debugger: acknowledgements, packets, the interrupt byte 0x03.
    void feed(std::string_view bytes);
    // What to send to the debugger, taken out.
    std::string takeOutput();

    // The program runs ('c' or 's'): the connection side calls service() whenever it has nothing
    // else to do, except while the program waits for a character from standard input.
    bool running() const { return m_running; }
    bool waiting() const { return m_running && m_waiting; }
    // Runs at most budget instructions; a stop sends its reply.
    void service(std::uint32_t budget);
    // The debugger went away: a running program stops as after an interrupt.
    void disconnected();
    // 'k' or 'D' was received: the connection ends once the output is sent.
    bool closing() const { return m_closing; }

private:
    enum class State { Idle, Data, Checksum };

    void feedByte(char c);
    void packetEnd();
    // The reply, or nothing for a packet answered later ('c', 's') or never ('k').
    std::optional<std::string> handle(std::string_view packet);
    std::string readRegisters() const;
    bool writeRegister(unsigned n, std::uint32_t value);
    std::string readMemory(std::string_view args) const;
    std::string writeMemory(std::string_view args, bool binary);
    std::string breakpoint(std::string_view args, bool insert);
    std::string targetDescription(std::string_view args) const;
    void resume(std::string_view args, bool step);
    void finish(const Outcome& outcome);
    void stopped(std::string reply);
    void send(std::string_view payload);

    Machine& m_machine;
    Executor& m_executor;
    std::set<std::uint32_t> m_breakpoints;

    State m_state = State::Idle;
    std::string m_packet;  // between '$' and '#'
    bool m_overflow = false;
    std::string m_checksum;
    std::string m_lastPacket;  // sent again on a '-'
    std::string m_out;

    bool m_running = false;
    bool m_stepping = false;  // the run is one instruction
    bool m_leaving = false;   // the next instruction is not checked against the breakpoints
    bool m_waiting = false;
    bool m_exited = false;
    bool m_closing = false;
    std::string m_lastStop = "S05";
};

}  // namespace korvan::sim
