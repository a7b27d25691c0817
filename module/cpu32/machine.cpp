// The CPU32 core's step loop, addressing, exception entry and the public Cpu facade.
#include "cpu32/machine.h"

namespace cpu32 {

Machine::Machine(Bus& b) : bus(b), dispatch(table().data()) { r.a[7] = 0; }

void Machine::setWindow(uint8_t* host, uint32_t base, uint32_t size, uint32_t addressMask) {
    windowHost = host;
    windowBase = base;
    windowMask = addressMask;
    for (uint32_t s : {1u, 2u, 4u}) windowLimit[s] = host && size >= s ? size - s + 1 : 0;
}

void Machine::setSr(uint16_t sr) {
    sr &= kSrMask;
    const bool wasS = r.sr & kSrS, nowS = sr & kSrS;
    if (wasS != nowS) {
        if (nowS) {
            r.usp = r.a[7];
            r.a[7] = r.ssp;
        } else {
            r.ssp = r.a[7];
            r.a[7] = r.usp;
        }
    }
    r.sr = sr;
    loadCcr();
    attention = true;  // the trace bits or the mode may have changed
}

uint32_t Machine::indexed(uint32_t base, bool) {
    const uint16_t ext = fetch16();
    const unsigned xn = (ext >> 12) & 7;
    uint32_t index = (ext & 0x8000) ? r.a[xn] : r.d[xn];
    if (!(ext & 0x0800)) index = uint32_t(int32_t(int16_t(index)));
    index <<= (ext >> 9) & 3;
    if (!(ext & 0x0100)) return base + index + uint32_t(int32_t(int8_t(ext & 0xFF)));

    // Full format: base and index may be suppressed, 16- or 32-bit base displacement. The
    // memory indirect forms (I/IS != 0) do not exist on the CPU32.
    if (ext & 0x000F) throw IllegalForm{};
    if (ext & 0x0080) base = 0;
    if (ext & 0x0040) index = 0;
    uint32_t bd = 0;
    switch ((ext >> 4) & 3) {
    case 0: throw IllegalForm{};
    case 1: break;
    case 2: bd = uint32_t(int32_t(int16_t(fetch16()))); break;
    default: bd = fetch32(); break;
    }
    return base + bd + index;
}

uint32_t Machine::controlAddress(unsigned mode, unsigned reg) {
    switch (mode) {
    case 2: return r.a[reg];
    case 5: return r.a[reg] + uint32_t(int32_t(int16_t(fetch16())));
    case 6: return indexed(r.a[reg], false);
    default:
        switch (reg) {
        case 0: return uint32_t(int32_t(int16_t(fetch16())));
        case 1: return fetch32();
        case 2: {
            const uint32_t base = r.pc;
            return base + uint32_t(int32_t(int16_t(fetch16())));
        }
        default: return indexed(r.pc, true);
        }
    }
}

void Machine::exception(uint8_t vec, Frame format, uint32_t pc, uint32_t address) {
    const uint16_t oldSr = sr();
    setSr(uint16_t((oldSr | kSrS) & ~(kSrT1 | kSrT0)));
    isStopped = false;
    try {
        if (format == Frame::WithAddress) push32(address);
        push16(uint16_t((unsigned(format) << 12) | (vec * 4u)));
        push32(pc);
        push16(oldSr);
        r.pc = readAt<4>(r.vbr + vec * 4u, FunctionCode::SupervisorData);
    } catch (const AccessFault&) {
        // The frame or the vector cannot be reached: the processor gives up (double fault).
        isHalted = true;
        attention = true;
        return;
    }
    taken = vec;
    attention = true;
}

void Machine::faultException(const AccessFault& f) {
    const uint8_t vec = f.addressError ? vector::AddressError : vector::BusError;
    const uint16_t oldSr = sr();
    setSr(uint16_t((oldSr | kSrS) & ~(kSrT1 | kSrT0)));
    // Special status word: read/write, size of the faulted cycle and its function code.
    const uint16_t sizeBits = f.size == 1 ? 1 : f.size == 2 ? 2 : 0;
    const uint16_t ssw = uint16_t((f.write ? 0 : 0x40) | (sizeBits << 4) | unsigned(f.fc));
    try {
        push16(ssw);
        push16(0);          // internal transfer count
        push32(instrPc);    // current instruction
        push32(0);          // data buffer
        push32(f.address);  // faulted address
        push16(uint16_t(0xC000 | (vec * 4u)));
        push32(instrPc);  // RTE restarts the instruction
        push16(oldSr);
        r.pc = readAt<4>(r.vbr + vec * 4u, FunctionCode::SupervisorData);
    } catch (const AccessFault&) {
        isHalted = true;
        attention = true;
        return;
    }
    taken = vec;
    attention = true;
}

StepResult Machine::step() {
    if (isHalted) return {StepStatus::Halted, 0};
    if (isStopped) return {StepStatus::Stopped, 0};
    taken = -1;
    const bool tracing = r.sr & kSrT1;
    instrPc = r.pc;
    try {
        const uint16_t op = fetch16();
        dispatch[op](*this, op);
        if (tracing && taken < 0 && !isHalted) exception(vector::Trace, Frame::WithAddress, r.pc, instrPc);
    } catch (const AccessFault& f) {
        faultException(f);
    } catch (const IllegalForm&) {
        illegal();
    }
    if (isHalted) return {StepStatus::Halted, 0};
    if (taken >= 0) return {StepStatus::Exception, uint8_t(taken)};
    if (isStopped) return {StepStatus::Stopped, 0};
    return {StepStatus::Normal, 0};
}

uint64_t Machine::runPlain(uint64_t budget) {
    const uint32_t lo = watchLo, span = watchHi - watchLo;
    const bool watching = watchLo <= watchHi;
    attention = false;
    taken = -1;
    uint64_t n = 0;
    while (n < budget) {
        instrPc = r.pc;
        try {
            const uint16_t op = fetch16();
            dispatch[op](*this, op);
        } catch (const AccessFault& f) {
            faultException(f);
        } catch (const IllegalForm&) {
            illegal();
        }
        ++n;
        if (attention || (watching && r.pc - lo <= span)) break;
    }
    return n;
}

RunResult Machine::run(uint64_t maxInstructions) {
    Machine& m = *this;
    RunResult out;
    const uint32_t lo = m.watchLo, span = m.watchHi - m.watchLo;
    const bool watching = m.watchLo <= m.watchHi;
    if (m.isHalted || m.isStopped) {
        out.reason = m.isHalted ? RunReason::Halted : RunReason::Stopped;
        return out;
    }
    while (out.executed < maxInstructions) {
        if (m.r.sr & kSrT1) {
            // A traced instruction goes through step(), which takes the trace exception after it.
            const StepResult s = m.step();
            switch (s.status) {
            case StepStatus::Normal: break;
            case StepStatus::Exception:
                ++out.executed;
                out.reason = RunReason::Exception;
                out.vector = s.vector;
                return out;
            case StepStatus::Stopped:
                ++out.executed;
                out.reason = RunReason::Stopped;
                return out;
            case StepStatus::Halted: out.reason = RunReason::Halted; return out;
            }
            ++out.executed;
        } else {
            out.executed += m.runPlain(maxInstructions - out.executed);
            // The same outcomes, in the same order, as for a stepped instruction: a double fault
            // does not count the instruction, an exception or STOP ends the run.
            if (m.isHalted) {
                --out.executed;
                out.reason = RunReason::Halted;
                return out;
            }
            if (m.taken >= 0) {
                out.reason = RunReason::Exception;
                out.vector = uint8_t(m.taken);
                return out;
            }
            if (m.isStopped) {
                out.reason = RunReason::Stopped;
                return out;
            }
        }
        if (watching && m.r.pc - lo <= span) {
            out.reason = RunReason::Watch;
            return out;
        }
    }
    out.reason = RunReason::Count;
    return out;
}

// ---- public facade

Cpu::Cpu(Bus& bus) : m_machine(std::make_unique<Machine>(bus)) {}
Cpu::~Cpu() = default;

Registers& Cpu::regs() { return m_machine->r; }
const Registers& Cpu::regs() const { return m_machine->r; }
void Cpu::setSr(uint16_t sr) { m_machine->setSr(sr); }

uint32_t Cpu::userStack() const {
    const auto& r = m_machine->r;
    return (r.sr & kSrS) ? r.usp : r.a[7];
}

uint32_t Cpu::supervisorStack() const {
    const auto& r = m_machine->r;
    return (r.sr & kSrS) ? r.a[7] : r.ssp;
}

void Cpu::setUserStack(uint32_t v) {
    auto& r = m_machine->r;
    ((r.sr & kSrS) ? r.usp : r.a[7]) = v;
}

void Cpu::setSupervisorStack(uint32_t v) {
    auto& r = m_machine->r;
    ((r.sr & kSrS) ? r.a[7] : r.ssp) = v;
}

bool Cpu::reset() {
    Machine& m = *m_machine;
    m.isHalted = false;
    m.isStopped = false;
    m.setSr(0x2700);
    m.r.vbr = 0;
    try {
        m.r.a[7] = m.readAt<4>(0, FunctionCode::SupervisorProgram);
        m.r.pc = m.readAt<4>(4, FunctionCode::SupervisorProgram);
    } catch (const AccessFault&) {
        m.isHalted = true;
        return false;
    }
    return true;
}

void Cpu::restart() {
    m_machine->isHalted = false;
    m_machine->isStopped = false;
}

bool Cpu::stopped() const { return m_machine->isStopped; }
bool Cpu::halted() const { return m_machine->isHalted; }

StepResult Cpu::step() {
    m_machine->loadCcr();  // the registers may have been changed since the last step or run
    const StepResult s = m_machine->step();
    m_machine->syncSr();
    return s;
}

RunResult Cpu::run(uint64_t maxInstructions) {
    m_machine->loadCcr();
    const RunResult out = m_machine->run(maxInstructions);
    m_machine->syncSr();
    return out;
}

void Cpu::setRamWindow(uint8_t* host, uint32_t base, uint32_t size, uint32_t addressMask) {
    m_machine->setWindow(host, base, size, addressMask);
}

void Cpu::setWatchRange(uint32_t lo, uint32_t hi) {
    m_machine->watchLo = lo;
    m_machine->watchHi = hi;
}

}  // namespace cpu32
