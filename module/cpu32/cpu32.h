// The CPU32 processor core of the simulated module: registers, bus interface, step and run.
#pragma once

#include <cstdint>
#include <memory>

namespace cpu32 {

// Function codes driven with every bus cycle, so that a bus can tell program from data and
// user from supervisor accesses.
enum class FunctionCode : uint8_t {
    UserData = 1,
    UserProgram = 2,
    SupervisorData = 5,
    SupervisorProgram = 6,
    CpuSpace = 7,
};

// Memory behind one small interface: RAM, device registers and bus errors are implementations.
// Every access returns false for a bus error. Word and long accesses always arrive at even
// addresses (the core raises the address error itself); addresses are the full 32 bits the core
// computed, so a bus that models the 24 address lines masks them itself.
class Bus {
public:
    virtual ~Bus() = default;
    virtual bool read8(uint32_t addr, FunctionCode fc, uint8_t& v) = 0;
    virtual bool read16(uint32_t addr, FunctionCode fc, uint16_t& v) = 0;
    virtual bool read32(uint32_t addr, FunctionCode fc, uint32_t& v) = 0;
    virtual bool write8(uint32_t addr, FunctionCode fc, uint8_t v) = 0;
    virtual bool write16(uint32_t addr, FunctionCode fc, uint16_t v) = 0;
    virtual bool write32(uint32_t addr, FunctionCode fc, uint32_t v) = 0;
};

// The programmer's model. a[7] is the stack pointer of the current mode; the other mode's
// stack pointer is kept in usp (while supervisor) or ssp (while user). Cpu::setSr switches them,
// Cpu::userStack/supervisorStack read either one whatever the mode.
struct Registers {
    uint32_t d[8] = {};
    uint32_t a[8] = {};
    uint32_t pc = 0;
    uint32_t usp = 0;
    uint32_t ssp = 0;
    uint32_t vbr = 0;
    uint16_t sr = 0x2700;
    uint8_t sfc = 0;
    uint8_t dfc = 0;
};

// Exception vector numbers of the CPU32.
namespace vector {
constexpr uint8_t BusError = 2, AddressError = 3, IllegalInstruction = 4, ZeroDivide = 5, Chk = 6, TrapV = 7,
                  PrivilegeViolation = 8, Trace = 9, LineA = 10, LineF = 11, FormatError = 14, Trap0 = 32;
}

enum class StepStatus : uint8_t {
    Normal,     // the instruction completed
    Exception,  // an exception was taken; PC is the handler's first instruction
    Stopped,    // STOP or LPSTOP executed (or already stopped): the core waits
    Halted,     // double fault: the core stopped and needs a reset
};

struct StepResult {
    StepStatus status = StepStatus::Normal;
    uint8_t vector = 0;  // with Exception
};

enum class RunReason : uint8_t { Count, Exception, Watch, Stopped, Halted };

struct RunResult {
    uint64_t executed = 0;  // instructions executed, the one that took an exception included
    RunReason reason = RunReason::Count;
    uint8_t vector = 0;  // with Exception
};

class Machine;

class Cpu {
public:
    explicit Cpu(Bus& bus);
    ~Cpu();
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

    Registers& regs();
    const Registers& regs() const;

    // Writes SR, switching A7 between the user and supervisor stack pointers when S changes.
    void setSr(uint16_t sr);
    uint32_t userStack() const;
    uint32_t supervisorStack() const;
    void setUserStack(uint32_t v);
    void setSupervisorStack(uint32_t v);

    // The processor's reset: supervisor mode, interrupts masked, VBR = 0, then SSP and PC read
    // from vectors 0 and 1. Returns false (and halts) when those reads fail.
    bool reset();
    // Clears a halt or stop without touching the registers (the simulator then sets them).
    void restart();
    bool stopped() const;
    bool halted() const;

    StepResult step();
    // Executes until maxInstructions ran, an exception was taken, PC entered the watched range,
    // or the core stopped or halted.
    RunResult run(uint64_t maxInstructions);
    // Inclusive range of addresses; run() returns when PC lands in it. lo > hi watches nothing.
    void setWatchRange(uint32_t lo, uint32_t hi);
    // Plain RAM the core may read, write and fetch from directly instead of through the bus:
    // 'size' bytes at 'host' seen at 'base', once an address is masked with 'addressMask' (the
    // address lines the bus decodes). The bus must answer for these addresses exactly as the
    // window does, in the program and data spaces; devices and bus errors stay behind the bus.
    // A null host removes the window.
    void setRamWindow(uint8_t* host, uint32_t base, uint32_t size, uint32_t addressMask = 0xFFFFFFFF);

private:
    std::unique_ptr<Machine> m_machine;
};

}  // namespace cpu32
