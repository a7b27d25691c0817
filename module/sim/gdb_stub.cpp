// GDB's remote serial protocol: packet framing, the packets a source-level session uses, stops.
#include "gdb_stub.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace korvan::sim {

namespace {

constexpr char kInterruptByte = 0x03;
constexpr std::uint16_t kSrMask = 0xA71F;  // the bits the CPU32 keeps
constexpr unsigned kRegisterCount = 18;    // D0-D7, A0-A7, PS, PC
constexpr unsigned kPs = 16;
constexpr unsigned kPc = 17;

// GDB's m68k core feature without floating point: the CPU32 has none, and without this the
// debugger's default 68020 register set expects FP0-FP7 and the FP control registers.
constexpr std::string_view kTargetXml =
    "<?xml version=\"1.0\"?>\n"
    "<target version=\"1.0\">\n"
    "  <architecture>m68k:cpu32</architecture>\n"
    "  <feature name=\"org.gnu.gdb.m68k.core\">\n"
    "    <reg name=\"d0\" bitsize=\"32\"/>\n"
    "    <reg name=\"d1\" bitsize=\"32\"/>\n"
    "    <reg name=\"d2\" bitsize=\"32\"/>\n"
    "    <reg name=\"d3\" bitsize=\"32\"/>\n"
    "    <reg name=\"d4\" bitsize=\"32\"/>\n"
    "    <reg name=\"d5\" bitsize=\"32\"/>\n"
    "    <reg name=\"d6\" bitsize=\"32\"/>\n"
    "    <reg name=\"d7\" bitsize=\"32\"/>\n"
    "    <reg name=\"a0\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a1\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a2\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a3\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a4\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a5\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"fp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"ps\" bitsize=\"32\"/>\n"
    "    <reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>\n"
    "  </feature>\n"
    "</target>\n";

int digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hexadecimal number that fits 32 bits (leading zeros allowed), the whole text.
std::optional<std::uint32_t> number(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        const int d = digit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<unsigned>(d);
        if (value > 0xFFFF'FFFFu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// "ADDR,LENGTH" with an optional tail after sep: the address, the length and the tail.
struct Range {
    std::uint32_t address;
    std::uint32_t length;
    std::string_view tail;
};

std::optional<Range> range(std::string_view args, char sep = '\0') {
    const std::size_t comma = args.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    std::string_view length = args.substr(comma + 1);
    std::string_view tail;
    if (sep != '\0') {
        const std::size_t at = length.find(sep);
        if (at == std::string_view::npos) return std::nullopt;
        tail = length.substr(at + 1);
        length = length.substr(0, at);
    }
    const auto a = number(args.substr(0, comma));
    const auto n = number(length);
    if (!a || !n) return std::nullopt;
    return Range{*a, *n, tail};
}

void appendHex(std::string& out, std::uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) out.push_back(kDigits[(value >> (4 * i)) & 0xF]);
}

std::string hexText(std::string_view text) {
    std::string out;
    for (char c : text) appendHex(out, static_cast<unsigned char>(c), 2);
    return out;
}

}  // namespace

int stopSignal(const Outcome& outcome, std::uint16_t opcode) {
    if (!outcome.vector) return gdb_signal::kAbort;
    const unsigned v = *outcome.vector;
    switch (v) {
    case 2: return gdb_signal::kBus;
    case 3: return gdb_signal::kSegv;
    case 4: return (opcode & 0xFFF8) == 0x4848 ? gdb_signal::kTrap : gdb_signal::kIllegal;
    case 5:
    case 6:
    case 7: return gdb_signal::kArithmetic;
    case 8:
    case 10:
    case 11:
    case 14: return gdb_signal::kIllegal;
    case 9: return gdb_signal::kTrap;
    default: break;
    }
    if (v >= 32 && v <= kServiceTrap) return gdb_signal::kTrap;
    return gdb_signal::kAbort;  // interrupts and vectors nothing should raise
}

GdbStub::GdbStub(Machine& machine, Executor& executor) : m_machine(machine), m_executor(executor) {}

std::string GdbStub::takeOutput() {
    std::string out;
    out.swap(m_out);
    return out;
}

void GdbStub::feed(std::string_view bytes) {
    for (char c : bytes) feedByte(c);
}

void GdbStub::feedByte(char c) {
    switch (m_state) {
    case State::Idle:
        if (c == '$') {
            m_state = State::Data;
            m_packet.clear();
            m_overflow = false;
        } else if (c == '-') {
            m_out += m_lastPacket;
        } else if (c == kInterruptByte && m_running) {
            m_executor.interrupted(m_machine);
            stopped("T02");
        }
        break;  // '+' and anything between packets
    case State::Data:
        if (c == '#') {
            m_state = State::Checksum;
            m_checksum.clear();
        } else if (c == '$') {
            m_packet.clear();  // a packet cut short: the new one counts
            m_overflow = false;
        } else if (m_packet.size() < kPacketSize) {
            m_packet.push_back(c);
        } else {
            m_overflow = true;
        }
        break;
    case State::Checksum:
        m_checksum.push_back(c);
        if (m_checksum.size() == 2) {
            m_state = State::Idle;
            packetEnd();
        }
        break;
    }
}

void GdbStub::packetEnd() {
    unsigned sum = 0;
    for (char c : m_packet) sum += static_cast<unsigned char>(c);
    const std::optional<std::uint32_t> expected = number(m_checksum);
    if (m_overflow || !expected || *expected != (sum & 0xFF)) {
        m_out += '-';
        return;
    }
    m_out += '+';
    if (m_running) {
        send("E03");  // only the interrupt byte is taken while the program runs
        return;
    }
    if (const std::optional<std::string> reply = handle(m_packet)) send(*reply);
}

std::optional<std::string> GdbStub::handle(std::string_view packet) {
    if (packet.empty()) return std::string();
    const std::string_view args = packet.substr(1);
    switch (packet[0]) {
    case '?': return m_lastStop;
    case 'g': return readRegisters();
    case 'G': {
        if (args.size() != kRegisterCount * 8) return "E01";
        std::vector<std::uint32_t> values;
        for (unsigned n = 0; n < kRegisterCount; ++n) {
            const auto v = number(args.substr(n * 8, 8));
            if (!v) return "E01";
            values.push_back(*v);
        }
        writeRegister(kPs, values[kPs]);  // first, so that SP goes to the stack of the new mode
        for (unsigned n = 0; n < kRegisterCount; ++n) writeRegister(n, values[n]);
        return "OK";
    }
    case 'p': {
        const auto n = number(args);
        if (!n || *n >= kRegisterCount) return "E01";
        return readRegisters().substr(*n * 8, 8);
    }
    case 'P': {
        const std::size_t eq = args.find('=');
        const auto n = number(args.substr(0, eq));
        const auto v = eq == std::string_view::npos ? std::nullopt : number(args.substr(eq + 1));
        return n && v && writeRegister(*n, *v) ? "OK" : "E01";
    }
    case 'm': return readMemory(args);
    case 'M': return writeMemory(args, false);
    case 'X': return writeMemory(args, true);
    case 'Z': return breakpoint(args, true);
    case 'z': return breakpoint(args, false);
    case 'c': resume(args, false); return std::nullopt;
    case 's': resume(args, true); return std::nullopt;
    case 'k': m_closing = true; return std::nullopt;
    case 'D': m_closing = true; return "OK";
    case 'H':
    case 'T': return "OK";  // one thread, always alive
    default: break;
    }
    if (packet.starts_with("qSupported")) {
        // swbreak: a stop at a breakpoint says so, and the debugger takes PC as it is (the m68k
        // default would move it back by the size of a TRAP it did not plant).
        std::string out = "PacketSize=";
        appendHex(out, kPacketSize, 4);
        return out + ";qXfer:features:read+;swbreak+";
    }
    if (packet == "qAttached") return "1";  // the module was there before: quitting detaches
    if (packet == "qC") return "QC1";
    if (packet == "qfThreadInfo") return "m1";
    if (packet == "qsThreadInfo") return "l";
    if (packet.starts_with("qXfer:features:read:")) return targetDescription(packet.substr(20));
    return std::string();  // not supported
}

std::string GdbStub::readRegisters() const {
    const Registers& r = m_machine.registers();
    std::string out;
    for (int i = 0; i < 8; ++i) appendHex(out, r.d[i], 8);
    for (int i = 0; i < 8; ++i) appendHex(out, r.addressRegister(i), 8);
    appendHex(out, r.sr, 8);
    appendHex(out, r.pc, 8);
    return out;
}

bool GdbStub::writeRegister(unsigned n, std::uint32_t value) {
    Registers& r = m_machine.registers();
    if (n < 8)
        r.d[n] = value;
    else if (n < 16)
        r.setAddressRegister(static_cast<int>(n - 8), value);
    else if (n == kPs)
        r.sr = static_cast<std::uint16_t>(value & kSrMask);
    else if (n == kPc)
        r.pc = value;
    else
        return false;
    return true;
}

// The bytes readable from the address on, at most as many as a reply holds; E01 when the first
// is not mapped.
std::string GdbStub::readMemory(std::string_view args) const {
    const std::optional<Range> r = range(args);
    if (!r) return "E01";
    const std::uint32_t length = std::min<std::uint32_t>(r->length, kPacketSize / 2);
    std::string out;
    for (std::uint32_t i = 0; i < length; ++i) {
        std::uint8_t b = 0;
        if (!m_machine.peek8(r->address + i, b)) break;
        appendHex(out, b, 2);
    }
    return out.empty() && length > 0 ? "E01" : out;
}

// All or nothing: nothing is written when a byte falls outside memory.
std::string GdbStub::writeMemory(std::string_view args, bool binary) {
    const std::optional<Range> r = range(args, ':');
    if (!r) return "E01";
    std::vector<std::uint8_t> bytes;
    if (binary) {
        for (std::size_t i = 0; i < r->tail.size(); ++i) {
            char c = r->tail[i];
            if (c == '}') {
                if (++i == r->tail.size()) return "E01";
                c = static_cast<char>(r->tail[i] ^ 0x20);
            }
            bytes.push_back(static_cast<std::uint8_t>(c));
        }
    } else {
        if (r->tail.size() % 2 != 0) return "E01";
        for (std::size_t i = 0; i < r->tail.size(); i += 2) {
            const auto b = number(r->tail.substr(i, 2));
            if (!b) return "E01";
            bytes.push_back(static_cast<std::uint8_t>(*b));
        }
    }
    if (bytes.size() != r->length) return "E01";
    for (std::uint32_t i = 0; i < r->length; ++i)
        if (!Machine::mapped(r->address + i)) return "E01";
    for (std::uint32_t i = 0; i < r->length; ++i) m_machine.poke8(r->address + i, bytes[i]);
    return "OK";
}

// Software breakpoints only ("Z0"); the other kinds are not supported (empty reply).
std::string GdbStub::breakpoint(std::string_view args, bool insert) {
    if (!args.starts_with("0,")) return {};
    const std::optional<Range> r = range(args.substr(2));  // address and kind
    if (!r) return "E01";
    const std::uint32_t address = r->address & kAddressMask;
    if (!insert) {
        m_breakpoints.erase(address);
    } else if (!m_breakpoints.contains(address)) {
        if (m_breakpoints.size() >= kMaxBreakpoints) return "E01";
        m_breakpoints.insert(address);
    }
    return "OK";
}

// "target.xml:OFFSET,LENGTH": a part of the description, 'm' when more follows, 'l' for the last.
std::string GdbStub::targetDescription(std::string_view args) const {
    constexpr std::string_view kAnnex = "target.xml:";
    if (!args.starts_with(kAnnex)) return "E00";
    const std::optional<Range> r = range(args.substr(kAnnex.size()));
    if (!r) return "E01";
    if (r->address >= kTargetXml.size()) return "l";
    const std::string_view part = kTargetXml.substr(r->address, std::min<std::uint32_t>(r->length, kPacketSize / 2));
    return (r->address + part.size() < kTargetXml.size() ? "m" : "l") + std::string(part);
}

void GdbStub::resume(std::string_view args, bool step) {
    if (m_exited) {
        send(m_lastStop);  // the program is gone: it ends again
        return;
    }
    if (!args.empty()) {
        const auto pc = number(args);
        if (!pc) {
            send("E01");
            return;
        }
        m_machine.registers().pc = *pc;
    }
    m_running = true;
    m_waiting = false;
    m_leaving = true;
    m_stepping = step;
    if (step) {
        const Outcome outcome = m_executor.step(m_machine);
        if (!outcome.stopped) {
            m_waiting = outcome.waiting;  // the instruction goes on in service()
            return;
        }
        finish(outcome);
    }
}

void GdbStub::service(std::uint32_t budget) {
    if (!m_running) return;
    if (m_stepping) {
        // A step waiting for a character or for room for its output.
        const Outcome outcome = m_executor.run(m_machine, 0);
        m_waiting = outcome.waiting;
        if (!outcome.waiting && !outcome.blocked) finish(outcome);
        return;
    }
    if (m_breakpoints.empty()) {
        const Outcome outcome = m_executor.run(m_machine, budget);
        m_waiting = outcome.waiting;
        if (outcome.stopped) finish(outcome);
        return;
    }
    for (std::uint32_t n = 0; n < budget; ++n) {
        if (!m_leaving && m_breakpoints.contains(m_machine.registers().pc & kAddressMask)) {
            stopped("T05swbreak:;");
            return;
        }
        m_leaving = false;
        const Outcome outcome = m_executor.step(m_machine);
        if (!outcome.stopped) {
            m_waiting = outcome.waiting;
            return;
        }
        if (!outcome.reason.empty()) {
            finish(outcome);
            return;
        }
    }
}

void GdbStub::disconnected() {
    if (m_running) m_executor.interrupted(m_machine);
    m_running = false;
    m_closing = true;
}

// After a step or a stop of the program: the exit status, or the signal with the monitor's
// reason shown in the debugger's console.
void GdbStub::finish(const Outcome& outcome) {
    if (outcome.exitStatus) {
        m_exited = true;
        std::string reply = "W";
        appendHex(reply, *outcome.exitStatus, 2);
        stopped(reply);
        return;
    }
    if (outcome.reason.empty()) {
        stopped("T05");
        return;
    }
    send("O" + hexText(outcome.reason + "\n"));
    std::uint8_t hi = 0, lo = 0;
    m_machine.peek8(m_machine.registers().pc, hi);
    m_machine.peek8(m_machine.registers().pc + 1, lo);
    const auto opcode = static_cast<std::uint16_t>(hi << 8 | lo);
    std::string reply = "T";
    appendHex(reply, static_cast<std::uint32_t>(stopSignal(outcome, opcode)), 2);
    stopped(reply);
}

void GdbStub::stopped(std::string reply) {
    m_running = m_stepping = m_waiting = false;
    m_lastStop = reply;
    send(reply);
}

// Frames a packet; '$', '#', '}' and '*' (run-length marker) in the payload are escaped.
void GdbStub::send(std::string_view payload) {
    std::string framed = "$";
    unsigned sum = 0;
    for (char c : payload) {
        if (c == '$' || c == '#' || c == '}' || c == '*') {
            framed.push_back('}');
            sum += '}';
            c = static_cast<char>(c ^ 0x20);
        }
        framed.push_back(c);
        sum += static_cast<unsigned char>(c);
    }
    framed.push_back('#');
    appendHex(framed, sum & 0xFF, 2);
    m_lastPacket = framed;
    m_out += framed;
}

}  // namespace korvan::sim
