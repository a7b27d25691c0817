// Internal state of the CPU32 core and the helpers every instruction handler uses: bus cycles
// with function codes, effective addresses, register writes by size and exception entry.
#pragma once

#include "cpu32/cpu32.h"
#include "cpu32/flags.h"

#include <array>

namespace cpu32 {

// A bus or address error met in the middle of an instruction. Thrown out of the handler (the
// instruction is abandoned) and turned into the exception by the step loop.
struct AccessFault {
    uint32_t address;
    bool addressError;  // odd word/long access or odd instruction fetch
    bool write;
    FunctionCode fc;
    uint8_t size;
};

// Where an operand lives once its effective address is resolved.
struct Operand {
    enum Kind : uint8_t { DataReg, AddrReg, Memory, Immediate } kind;
    uint8_t reg;
    uint32_t value;  // memory address, or the immediate data
};

constexpr uint16_t kSrS = 0x2000, kSrT1 = 0x8000, kSrT0 = 0x4000, kSrMask = 0xA71F;

class Machine;
using Handler = void (*)(Machine&, uint16_t opcode);

// Stack frame formats of the CPU32.
enum class Frame : uint8_t { Normal = 0x0, WithAddress = 0x2, BusFault = 0xC };

class Machine {
public:
    explicit Machine(Bus& bus);

    Bus& bus;
    Registers r;
    uint32_t instrPc = 0;  // address of the instruction being executed
    bool isStopped = false;
    bool isHalted = false;
    int taken = -1;  // vector of the exception taken during this step, -1 for none
    uint32_t watchLo = 1, watchHi = 0;
    // Set by whatever the run loop must look at before the next instruction: an exception, a
    // change of SR (trace bits, mode), STOP. Plain instructions leave it alone.
    bool attention = false;
    // The decode table, fetched once rather than through its function-local static per step.
    const Handler* dispatch;

    // RAM the core reaches directly, without a bus call: an address (masked to the lines the
    // bus decodes) whose offset from windowBase is below windowLimit[S] holds S bytes at
    // windowHost + offset. Everything else (devices, bus errors) goes through the bus.
    uint8_t* windowHost = nullptr;
    uint32_t windowBase = 0, windowMask = 0xFFFFFFFF;
    uint32_t windowLimit[5] = {};  // by access size 1, 2 and 4; 0 while there is no window
    void setWindow(uint8_t* host, uint32_t base, uint32_t size, uint32_t addressMask);
    // Host bytes of an S-byte access wholly inside the window at an even address (bytes: any
    // address), else null: odd word accesses must reach readAt/writeAt for their address error.
    template <int S> uint8_t* direct(uint32_t addr) const {
        const uint32_t offset = (addr & windowMask) - windowBase;
        if (offset >= windowLimit[S]) return nullptr;
        if (S > 1 && (addr & 1)) return nullptr;
        return windowHost + offset;
    }

    StepResult step();
    RunResult run(uint64_t maxInstructions);
    // Executes up to 'budget' instructions while the trace bit is clear, leaving early after an
    // instruction that raised 'attention' or left PC in the watched range. Returns how many ran.
    uint64_t runPlain(uint64_t budget);

    // -- status register and stacks
    bool supervisor() const { return r.sr & kSrS; }
    // While the core runs, the condition codes live outside SR, one word per flag, so that an
    // instruction stores its flags with a few moves and a branch tests a single word:
    //   N is bit 31 of flagN, Z is flagZ == 0, V is bit 31 of flagV, C and X are 0 or 1.
    // r.sr's low byte is brought up to date (syncSr) whenever the registers are handed out,
    // and read back (loadCcr) whenever the core takes them again.
    uint32_t flagN = 0, flagZ = 1, flagV = 0, flagC = 0, flagX = 0;
    uint8_t ccr() const {
        return uint8_t((flagN >> 31 ? flags::N : 0) | (flagZ == 0 ? flags::Z : 0) | (flagV >> 31 ? flags::V : 0) |
                       (flagC ? flags::C : 0) | (flagX ? flags::X : 0));
    }
    void setCcr(uint8_t c) {
        flagN = (c & flags::N) ? 0x80000000u : 0;
        flagZ = (c & flags::Z) ? 0 : 1;
        flagV = (c & flags::V) ? 0x80000000u : 0;
        flagC = (c & flags::C) ? 1 : 0;
        flagX = (c & flags::X) ? 1 : 0;
    }
    uint16_t sr() const { return uint16_t((r.sr & 0xFF00) | ccr()); }
    void syncSr() { r.sr = sr(); }
    void loadCcr() { setCcr(uint8_t(r.sr & 0x1F)); }

    // Flags of the common results, by operand size. Logic (MOVE, AND, TST ...): N and Z from
    // the result, V and C cleared, X kept.
    template <int S> void setLogicFlags(uint32_t result) {
        flagN = uint32_t(flags::signExtend<S>(result));
        flagZ = result & flags::mask<S>();
        flagV = 0;
        flagC = 0;
    }
    // result = d + s: all five flags.
    template <int S> void setAddFlags(uint32_t s, uint32_t d, uint32_t result) {
        constexpr int top = flags::bits<S>() - 1;
        flagN = uint32_t(flags::signExtend<S>(result));
        flagZ = result & flags::mask<S>();
        flagV = ((s ^ result) & (d ^ result)) << (31 - top);
        flagC = flagX = (((s & d) | (~result & (s | d))) >> top) & 1;
    }
    // result = d - s: N, Z, V and C; X too unless it is a compare.
    template <int S, bool SetX = true> void setSubFlags(uint32_t s, uint32_t d, uint32_t result) {
        constexpr int top = flags::bits<S>() - 1;
        flagN = uint32_t(flags::signExtend<S>(result));
        flagZ = result & flags::mask<S>();
        flagV = ((s ^ d) & (result ^ d)) << (31 - top);
        flagC = (((s & ~d) | (result & ~d) | (s & result)) >> top) & 1;
        if constexpr (SetX) flagX = flagC;
    }
    // The condition tests of Bcc, DBcc, Scc and TRAPcc on the flag words.
    [[gnu::always_inline]] bool condition(unsigned cc) const {
        return flags::condition(cc, flagC != 0, flagV >> 31, flagZ == 0, flagN >> 31);
    }
    void setSr(uint16_t sr);

    // -- bus cycles; a failed cycle throws AccessFault
    FunctionCode dataFc() const { return supervisor() ? FunctionCode::SupervisorData : FunctionCode::UserData; }
    FunctionCode programFc() const {
        return supervisor() ? FunctionCode::SupervisorProgram : FunctionCode::UserProgram;
    }
    template <int S> uint32_t readAt(uint32_t addr, FunctionCode fc);
    template <int S> void writeAt(uint32_t addr, uint32_t v, FunctionCode fc);
    // The window answers for the program and data spaces alike, as the RAM behind the bus does.
    // These are inlined into every handler: a call per memory access costs more than the access.
    template <int S> [[gnu::always_inline]] uint32_t read(uint32_t addr) {
        if (const uint8_t* p = direct<S>(addr)) return loadBigEndian<S>(p);
        return readAt<S>(addr, dataFc());
    }
    template <int S> [[gnu::always_inline]] void write(uint32_t addr, uint32_t v) {
        if (uint8_t* p = direct<S>(addr)) return storeBigEndian<S>(p, v);
        writeAt<S>(addr, v, dataFc());
    }
    // Program-space reads relative to PC (PC-relative operands) use the program function code.
    template <int S> [[gnu::always_inline]] uint32_t readProgram(uint32_t addr) {
        if (const uint8_t* p = direct<S>(addr)) return loadBigEndian<S>(p);
        return readAt<S>(addr, programFc());
    }

    template <int S> static uint32_t loadBigEndian(const uint8_t* p) {
        if constexpr (S == 1)
            return p[0];
        else if constexpr (S == 2)
            return uint32_t(p[0]) << 8 | p[1];
        else
            return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    template <int S> static void storeBigEndian(uint8_t* p, uint32_t v) {
        if constexpr (S >= 4) {
            p[0] = uint8_t(v >> 24);
            p[1] = uint8_t(v >> 16);
        }
        if constexpr (S >= 2) p[S - 2] = uint8_t(v >> 8);
        p[S - 1] = uint8_t(v);
    }

    [[gnu::always_inline]] uint16_t fetch16() {
        const uint32_t v = readProgram<2>(r.pc);
        r.pc += 2;
        return uint16_t(v);
    }
    uint32_t fetch32() {
        const uint32_t hi = fetch16();
        return (hi << 16) | fetch16();
    }
    template <int S> uint32_t fetchImmediate() {
        if constexpr (S == 1)
            return fetch16() & 0xFF;
        else if constexpr (S == 2)
            return fetch16();
        else
            return fetch32();
    }
    void push16(uint16_t v) {
        r.a[7] -= 2;
        write<2>(r.a[7], v);
    }
    void push32(uint32_t v) {
        r.a[7] -= 4;
        write<4>(r.a[7], v);
    }
    uint16_t pop16() {
        const uint32_t v = read<2>(r.a[7]);
        r.a[7] += 2;
        return uint16_t(v);
    }
    uint32_t pop32() {
        const uint32_t v = read<4>(r.a[7]);
        r.a[7] += 4;
        return v;
    }

    // -- registers by size: only the low byte/word of a data register changes
    template <int S> void setD(unsigned n, uint32_t v) {
        r.d[n] = (r.d[n] & ~flags::mask<S>()) | (v & flags::mask<S>());
    }

    // -- effective addresses
    // Always inlined: in a handler instantiated for one addressing mode the switches fold away.
    // Extension words of the indexed modes, brief and full format; a form the CPU32 does not
    // have (memory indirect) throws IllegalForm.
    uint32_t indexed(uint32_t base, bool pcRelative);
    template <int S> [[gnu::always_inline]] inline Operand resolve(unsigned mode, unsigned reg);
    // Address of a control-mode operand (JMP, JSR, LEA, PEA, MOVEM ...).
    uint32_t controlAddress(unsigned mode, unsigned reg);
    template <int S> [[gnu::always_inline]] inline uint32_t get(const Operand& o);
    template <int S> [[gnu::always_inline]] inline void put(const Operand& o, uint32_t v);
    template <int S> [[gnu::always_inline]] uint32_t readEa(unsigned mode, unsigned reg) {
        return get<S>(resolve<S>(mode, reg));
    }

    // -- exceptions
    // Enters exception processing: builds the frame on the supervisor stack and jumps through
    // the vector. With WithAddress the extra long is 'address' (the instruction's address);
    // pc is the return address stacked.
    void exception(uint8_t vec, Frame format, uint32_t pc, uint32_t address = 0);
    void faultException(const AccessFault& f);
    void illegal() { exception(vector::IllegalInstruction, Frame::Normal, instrPc); }
    void privilegeViolation() { exception(vector::PrivilegeViolation, Frame::Normal, instrPc); }
    bool requireSupervisor() {
        if (supervisor()) return true;
        privilegeViolation();
        return false;
    }

    static const std::array<Handler, 65536>& table();
};

template <int S> uint32_t Machine::readAt(uint32_t addr, FunctionCode fc) {
    if constexpr (S == 1) {
        uint8_t v;
        if (!bus.read8(addr, fc, v)) throw AccessFault{addr, false, false, fc, 1};
        return v;
    } else if constexpr (S == 2) {
        if (addr & 1) throw AccessFault{addr, true, false, fc, 2};
        uint16_t v;
        if (!bus.read16(addr, fc, v)) throw AccessFault{addr, false, false, fc, 2};
        return v;
    } else {
        if (addr & 1) throw AccessFault{addr, true, false, fc, 4};
        uint32_t v;
        if (!bus.read32(addr, fc, v)) throw AccessFault{addr, false, false, fc, 4};
        return v;
    }
}

template <int S> void Machine::writeAt(uint32_t addr, uint32_t v, FunctionCode fc) {
    bool ok;
    if constexpr (S == 1) {
        ok = bus.write8(addr, fc, uint8_t(v));
    } else {
        if (addr & 1) throw AccessFault{addr, true, true, fc, uint8_t(S)};
        ok = S == 2 ? bus.write16(addr, fc, uint16_t(v)) : bus.write32(addr, fc, v);
    }
    if (!ok) throw AccessFault{addr, false, true, fc, uint8_t(S)};
}

// An extension word of a form the CPU32 lacks; the step loop turns it into an illegal
// instruction exception.
struct IllegalForm {};

template <int S> Operand Machine::resolve(unsigned mode, unsigned reg) {
    // A7 moves by two for byte operands so the stack stays word aligned.
    constexpr uint32_t step7 = S == 1 ? 2 : S;
    switch (mode) {
    case 0: return {Operand::DataReg, uint8_t(reg), 0};
    case 1: return {Operand::AddrReg, uint8_t(reg), 0};
    case 2: return {Operand::Memory, 0, r.a[reg]};
    case 3: {
        const uint32_t a = r.a[reg];
        r.a[reg] += reg == 7 ? step7 : S;
        return {Operand::Memory, 0, a};
    }
    case 4: r.a[reg] -= reg == 7 ? step7 : S; return {Operand::Memory, 0, r.a[reg]};
    case 5: return {Operand::Memory, 0, r.a[reg] + uint32_t(int16_t(fetch16()))};
    case 6: return {Operand::Memory, 0, indexed(r.a[reg], false)};
    default:
        switch (reg) {
        case 0: return {Operand::Memory, 0, uint32_t(int16_t(fetch16()))};
        case 1: return {Operand::Memory, 0, fetch32()};
        case 2: {
            const uint32_t base = r.pc;
            return {Operand::Memory, 1, base + uint32_t(int16_t(fetch16()))};
        }
        case 3: return {Operand::Memory, 1, indexed(r.pc, true)};
        default: return {Operand::Immediate, 0, fetchImmediate<S>()};
        }
    }
}

template <int S> uint32_t Machine::get(const Operand& o) {
    switch (o.kind) {
    case Operand::DataReg: return r.d[o.reg] & flags::mask<S>();
    case Operand::AddrReg: return r.a[o.reg] & flags::mask<S>();
    case Operand::Memory: return o.reg ? readProgram<S>(o.value) : read<S>(o.value);
    default: return o.value;
    }
}

template <int S> void Machine::put(const Operand& o, uint32_t v) {
    switch (o.kind) {
    case Operand::DataReg: setD<S>(o.reg, v); break;
    case Operand::AddrReg: r.a[o.reg] = v; break;
    default: write<S>(o.value, v); break;
    }
}

}  // namespace cpu32
