// Runs downloaded code on the CPU32 core: the module's bus, the monitor's services and stops.
#include "executor.h"

#include <algorithm>
#include <cstdio>

#include "cpu32/cpu32.h"

namespace korvan::sim {

namespace {

constexpr std::uint16_t kSrMask = 0xA71F;  // the bits the CPU32 keeps
constexpr std::uint32_t kFrameFormatC = 0xC;

std::string hex(std::uint32_t value, int digits = 8) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%0*X", digits, value);
    return buf;
}

bool inMonitorArea(std::uint32_t pc) {
    const std::uint32_t a = pc & kAddressMask;
    return a >= kMonitorAreaBase && a < kMonitorAreaEnd;
}

std::uint16_t word(Machine& m, std::uint32_t address) {
    std::uint16_t v = 0;
    m.read16(address, v);
    return v;
}

std::uint32_t longWord(Machine& m, std::uint32_t address) {
    std::uint32_t v = 0;
    m.read32(address, v);
    return v;
}

// RTE done by the monitor: SR and PC from the frame on the supervisor stack, the frame removed.
void returnFromException(Machine& m) {
    Registers& r = m.registers();
    const std::uint32_t sp = r.ss;
    const std::uint16_t sr = word(m, sp);
    const std::uint32_t pc = longWord(m, sp + 2);
    const unsigned format = word(m, sp + 6) >> 12;
    r.ss = sp + (format == kFrameFormatC ? 24 : format == 2 ? 12 : 8);
    r.sr = static_cast<std::uint16_t>(sr & kSrMask);
    r.pc = pc;
}

}  // namespace

std::string stopReason(Machine& m, unsigned vector, Language language) {
    const std::uint32_t sp = m.registers().ss;
    const std::uint32_t pc = longWord(m, sp + 2);
    const std::uint32_t address = longWord(m, sp + 8);  // format 2 and $C frames
    auto say = [language](Text id, std::initializer_list<std::string_view> args = {}) {
        return text(id, language, args);
    };
    switch (vector) {
    case 2:
    case 3: {
        const std::uint16_t ssw = word(m, sp + 22);
        const bool read = (ssw & 0x40) != 0;
        const unsigned fc = ssw & 7;
        const std::string what = say(vector == 2 ? Text::BusError : Text::AddressError);
        if (read && (fc == 2 || fc == 6)) return what + say(Text::InstructionFetch, {hex(address)});
        return what + say(read ? Text::ReadOf : Text::WriteTo, {hex(address)}) +
               say(Text::ByInstruction, {hex(longWord(m, sp + 16))});
    }
    case 4: {
        const std::uint16_t op = word(m, pc);
        if (op == 0x4AFC) return say(Text::IllegalOpcode, {hex(pc)});
        if ((op & 0xFFF8) == 0x4848) return say(Text::Breakpoint, {std::to_string(op & 7), hex(pc)});
        return say(Text::IllegalInstruction, {hex(op, 4), hex(pc)});
    }
    case 5: return say(Text::ZeroDivide, {hex(address)});
    case 6: return say(Text::Chk, {hex(address)});
    case 7: return say(Text::Trapv, {hex(address)});
    case 8: return say(Text::Privilege, {hex(pc)});
    case 9: return say(Text::Trace, {hex(address)});
    case 10: return say(Text::LineA, {hex(word(m, pc), 4), hex(pc)});
    case 11: return say(Text::LineF, {hex(word(m, pc), 4), hex(pc)});
    case 14: return say(Text::FormatError, {hex(pc)});
    case 15: return say(Text::Uninitialised);
    case 24: return say(Text::Spurious);
    default: break;
    }
    if (vector >= 25 && vector <= 31) return say(Text::InterruptLevel, {std::to_string(vector - 24)});
    if (vector >= 32 && vector < kServiceTrap)
        return say(Text::TrapWithoutHandler, {std::to_string(vector - 32), hex(pc)});
    return say(Text::VectorWithoutHandler, {std::to_string(vector)});
}

// The module's memory seen by the core: function codes decide only that nobody answers in CPU
// space; RAM is reached directly, everything else through the machine's memory map.
class CpuExecutor::BusAdapter final : public cpu32::Bus {
public:
    Machine* machine = nullptr;

    bool read8(uint32_t addr, cpu32::FunctionCode fc, uint8_t& v) override {
        if (const std::uint8_t* p = ram(addr, 1, fc)) {
            v = p[0];
            return true;
        }
        return fc != cpu32::FunctionCode::CpuSpace && machine->read8(addr, v);
    }
    bool read16(uint32_t addr, cpu32::FunctionCode fc, uint16_t& v) override {
        if (const std::uint8_t* p = ram(addr, 2, fc)) {
            v = static_cast<uint16_t>(p[0] << 8 | p[1]);
            return true;
        }
        return fc != cpu32::FunctionCode::CpuSpace && machine->read16(addr, v);
    }
    bool read32(uint32_t addr, cpu32::FunctionCode fc, uint32_t& v) override {
        if (const std::uint8_t* p = ram(addr, 4, fc)) {
            v = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
            return true;
        }
        return fc != cpu32::FunctionCode::CpuSpace && machine->read32(addr, v);
    }
    bool write8(uint32_t addr, cpu32::FunctionCode fc, uint8_t v) override {
        if (std::uint8_t* p = ram(addr, 1, fc)) {
            p[0] = v;
            return true;
        }
        return fc != cpu32::FunctionCode::CpuSpace && machine->write8(addr, v);
    }
    bool write16(uint32_t addr, cpu32::FunctionCode fc, uint16_t v) override {
        if (std::uint8_t* p = ram(addr, 2, fc)) {
            p[0] = static_cast<uint8_t>(v >> 8);
            p[1] = static_cast<uint8_t>(v);
            return true;
        }
        return fc != cpu32::FunctionCode::CpuSpace && machine->write16(addr, v);
    }
    bool write32(uint32_t addr, cpu32::FunctionCode fc, uint32_t v) override {
        if (std::uint8_t* p = ram(addr, 4, fc)) {
            p[0] = static_cast<uint8_t>(v >> 24);
            p[1] = static_cast<uint8_t>(v >> 16);
            p[2] = static_cast<uint8_t>(v >> 8);
            p[3] = static_cast<uint8_t>(v);
            return true;
        }
        return fc != cpu32::FunctionCode::CpuSpace && machine->write32(addr, v);
    }

private:
    // The RAM bytes of an access that lies wholly in RAM, else null.
    std::uint8_t* ram(uint32_t addr, uint32_t size, cpu32::FunctionCode fc) const {
        const uint32_t offset = (addr & kAddressMask) - kRamBase;
        if (offset > kRamSize - size || fc == cpu32::FunctionCode::CpuSpace) return nullptr;
        return machine->ram() + offset;
    }
};

CpuExecutor::CpuExecutor(Language language)
    : m_bus(std::make_unique<BusAdapter>()), m_cpu(std::make_unique<cpu32::Cpu>(*m_bus)), m_language(language) {
    m_cpu->setWatchRange(kMonitorAreaBase, kMonitorAreaEnd - 1);
}

CpuExecutor::~CpuExecutor() = default;

void CpuExecutor::load(Machine& machine) {
    m_bus->machine = &machine;
    m_cpu->setRamWindow(machine.ram(), kRamBase, kRamSize, kAddressMask);  // RAM has no side effects
    const Registers& s = machine.registers();
    cpu32::Registers& c = m_cpu->regs();
    for (int i = 0; i < 8; ++i) c.d[i] = s.d[i];
    for (int i = 0; i < 7; ++i) c.a[i] = s.a[i];
    c.pc = s.pc;
    c.vbr = s.vbr;
    c.sfc = s.sfc & 7;
    c.dfc = s.dfc & 7;
    c.sr = s.sr & kSrMask;
    c.a[7] = s.a7();
    (s.supervisor() ? c.usp : c.ssp) = s.supervisor() ? s.us : s.ss;
    m_cpu->restart();  // a STOP or halt ended the last run; the monitor's GO goes on from here
}

void CpuExecutor::store(Machine& machine) {
    Registers& s = machine.registers();
    const cpu32::Registers& c = m_cpu->regs();
    for (int i = 0; i < 8; ++i) s.d[i] = c.d[i];
    for (int i = 0; i < 7; ++i) s.a[i] = c.a[i];
    s.pc = c.pc;
    s.vbr = c.vbr;
    s.sfc = c.sfc;
    s.dfc = c.dfc;
    s.sr = c.sr;
    s.ss = m_cpu->supervisorStack();
    s.us = m_cpu->userStack();
}

std::optional<Outcome> CpuExecutor::enterMonitor(Machine& machine, bool byException) {
    Registers& r = machine.registers();
    const std::uint32_t offset = (r.pc & kAddressMask) - kMonitorAreaBase;
    const unsigned vector = offset / 4;
    if (!byException || !r.supervisor() || offset % 4 != 0 || vector >= kVectorCount)
        return Outcome{true, text(Text::JumpedIntoMonitor, m_language, {hex(r.pc)})};
    if (vector == kServiceTrap) return service(machine);
    Outcome outcome{true, stopReason(machine, vector, m_language)};
    outcome.vector = vector;
    returnFromException(machine);
    return outcome;
}

std::optional<Outcome> CpuExecutor::waitForRoom(Machine& machine) {
    m_waitingAt = machine.registers().pc;  // PC stays on the entry: the next run() or step() goes on
    Outcome outcome{false, {}};
    outcome.blocked = true;
    return outcome;
}

std::optional<Outcome> CpuExecutor::service(Machine& machine) {
    Registers& r = machine.registers();
    std::optional<Outcome> outcome;
    switch (r.d[0]) {
    case 0: {
        const auto status = static_cast<std::uint8_t>(r.d[1]);
        outcome = Outcome{true, text(Text::ProgramEnded, m_language)};
        if (status != 0) outcome->reason += text(Text::WithStatus, m_language, {std::to_string(status)});
        outcome->exitStatus = status;
        break;
    }
    case 1:
        if (!machine.send(static_cast<std::uint8_t>(r.d[1]))) return waitForRoom(machine);
        break;
    case 2:
        // A string longer than the room left goes out in parts; the call returns after its end.
        for (std::uint32_t at = m_stringAt.value_or(r.a[0]);; ++at) {
            std::uint8_t b = 0;
            if (!machine.read8(at, b)) {
                outcome = Outcome{true, text(Text::StringUnmapped, m_language, {hex(at)})};
                outcome->vector = 2;  // as the bus error it would be on the module
                break;
            }
            if (b == 0) break;
            if (!machine.send(b)) {
                m_stringAt = at;
                return waitForRoom(machine);
            }
        }
        m_stringAt.reset();
        break;
    case 3:
        if (machine.serialIn().empty()) {
            m_waitingAt = r.pc;  // PC stays on the entry: the next run() or step() tries again
            return Outcome{false, {}, true};
        }
        r.d[1] = (r.d[1] & 0xFFFF'FF00u) | machine.serialIn().front();
        machine.serialIn().pop_front();
        break;
    case 4: r.d[1] = machine.serialIn().empty() ? 0 : 1; break;
    default:
        outcome = Outcome{true, text(Text::NoFunction, m_language, {std::to_string(r.d[0])})};
        outcome->vector = kServiceTrap;  // stopped as for an exception on TRAP #15's vector
        break;
    }
    returnFromException(machine);
    return outcome;
}

void CpuExecutor::interrupted(Machine& machine) {
    // A program waiting for a character or for room for its output is left on its TRAP #15,
    // so GO calls the service again.
    Registers& r = machine.registers();
    if (resumesService(machine)) {
        returnFromException(machine);
        r.pc -= 2;
    }
    m_waitingAt.reset();
    m_stringAt.reset();
}

bool CpuExecutor::resumesService(const Machine& machine) {
    const bool waiting = m_waitingAt == machine.registers().pc;
    m_waitingAt.reset();
    if (!waiting) m_stringAt.reset();
    return waiting;
}

Outcome CpuExecutor::step(Machine& machine) {
    if (resumesService(machine)) {
        const std::optional<Outcome> outcome = service(machine);
        return outcome ? *outcome : Outcome{};
    }
    load(machine);
    const cpu32::StepResult result = m_cpu->step();
    store(machine);
    if (result.status == cpu32::StepStatus::Normal || result.status == cpu32::StepStatus::Exception) ++m_executed;
    if (result.status == cpu32::StepStatus::Halted) return {true, text(Text::DoubleFault, m_language)};
    if (result.status == cpu32::StepStatus::Stopped) return {true, text(Text::Stop, m_language)};
    if (inMonitorArea(machine.registers().pc)) {
        const std::optional<Outcome> outcome = enterMonitor(machine, result.status == cpu32::StepStatus::Exception);
        if (outcome) return *outcome;
    }
    return {};
}

Outcome CpuExecutor::run(Machine& machine, std::uint32_t budget) {
    if (resumesService(machine)) {
        if (std::optional<Outcome> outcome = service(machine)) return *outcome;
    }
    load(machine);
    std::uint64_t left = budget;
    while (left > 0) {
        const cpu32::RunResult result = m_cpu->run(left);
        left -= std::min(left, result.executed);
        m_executed += result.executed;
        switch (result.reason) {
        case cpu32::RunReason::Count: break;
        case cpu32::RunReason::Halted: store(machine); return {true, text(Text::DoubleFault, m_language)};
        case cpu32::RunReason::Stopped: store(machine); return {true, text(Text::Stop, m_language)};
        case cpu32::RunReason::Exception:
        case cpu32::RunReason::Watch:
            if (!inMonitorArea(m_cpu->regs().pc)) break;  // a handler of the program's own
            store(machine);
            if (std::optional<Outcome> outcome = enterMonitor(machine, result.reason == cpu32::RunReason::Exception))
                return *outcome;
            load(machine);
            break;
        }
    }
    store(machine);
    return {false, {}};
}

}  // namespace korvan::sim
