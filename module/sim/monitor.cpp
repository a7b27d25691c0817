// The resident monitor's command line, register dump, memory display and download mode.
#include "monitor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

namespace korvan::sim {

namespace {

constexpr std::uint8_t kBs = 0x08;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kSyn = 0x16;  // follows "LO" to start the download
constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kCtrlC = 0x03;
constexpr std::uint8_t kDel = 0x7F;

constexpr std::uint32_t kDefaultDisplayCount = 0x40;
constexpr std::uint32_t kMaxDisplayCount = 0x1000;
constexpr int kInstructionWords = 3;  // words shown after the dump's next-instruction address

// One row per command, for "he".
constexpr Text kHelp[] = {Text::HelpVe, Text::HelpDr, Text::HelpSs, Text::HelpGo, Text::HelpRegister,
                          Text::HelpSr, Text::HelpLo, Text::HelpMd, Text::HelpHe};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

// 1 to maxDigits hexadecimal digits, with an optional "$" or "0x" prefix.
std::optional<std::uint32_t> parseHex(std::string_view text, std::size_t maxDigits = 8) {
    if (text.starts_with('$'))
        text.remove_prefix(1);
    else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string hex(std::uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

std::string binary3(std::uint8_t value) {
    return {char('0' + (value >> 2 & 1)), char('0' + (value >> 1 & 1)), char('0' + (value & 1))};
}

}  // namespace

Outcome PlaceholderExecutor::step(Machine& machine) {
    machine.registers().pc += 2;
    return {};
}

Outcome PlaceholderExecutor::run(Machine&, std::uint32_t) { return {true, std::string(kProgramEnded)}; }

Monitor::Monitor(Machine& machine, Executor& executor) : Monitor(machine, executor, Options{}) {}

Monitor::Monitor(Machine& machine, Executor& executor, Options options)
    : m_machine(machine), m_executor(executor), m_options(options) {}

void Monitor::lineOpened() {
    m_fresh = true;
    m_rowStart = false;  // the other side's cursor may stand anywhere
    m_line.clear();
    if (m_mode != Mode::Running) m_mode = Mode::Command;
}

std::string Monitor::takeOutput(std::size_t max) {
    std::string out;
    if (max >= m_out.size()) {
        out.swap(m_out);
    } else {
        out.assign(m_out, 0, max);
        m_out.erase(0, max);
    }
    std::string& program = m_machine.serialOut();
    if (running() && out.size() < max && !program.empty()) {
        // Program output follows all of the monitor's text, so its last byte is the row's end.
        const std::size_t n = std::min(max - out.size(), program.size());
        out.append(program, 0, n);
        program.erase(0, n);
        m_rowStart = out.back() == '\n';
    }
    return out;
}

bool Monitor::hasOutput() const { return !m_out.empty() || (running() && !m_machine.serialOut().empty()); }

void Monitor::emit(std::string_view text) {
    if (text.empty()) return;
    m_out.append(text);
    m_rowStart = text.back() == '\n';
}

void Monitor::newRow() {
    if (!m_rowStart) emit("\r\n");
}

void Monitor::line(std::string_view text) {
    newRow();
    emit(toLatin1(text));  // the line carries one Latin-1 byte a character
    emit("\r\n");
}

void Monitor::error(std::string_view text) { line(say(Text::ErrorPrefix).append(text)); }

std::string Monitor::say(Text id, std::initializer_list<std::string_view> args) const {
    return text(id, m_options.language, args);
}

void Monitor::prompt() {
    newRow();
    emit(kPrompt);
}

void Monitor::feed(std::string_view bytes) {
    for (char c : bytes) feedByte(static_cast<std::uint8_t>(c));
}

void Monitor::feedByte(std::uint8_t b) {
    if (m_fresh) {
        m_fresh = false;
        if (m_mode == Mode::Command) {
            line(say(Text::Name));
            line(say(Text::TypeHelp));
            prompt();
        }
    }
    switch (m_mode) {
    case Mode::Command: commandByte(b); break;
    case Mode::LoadStart:
        if (b == kSyn) {
            m_mode = Mode::LoadHeader;
            m_headerLength = 0;
            m_blocks = 0;
            m_loaded = m_unmapped = 0;
            break;
        }
        m_mode = Mode::Command;
        error(say(Text::ErrorLoadStart));
        prompt();
        commandByte(b);
        break;
    case Mode::LoadHeader:
    case Mode::LoadData: loadByte(b); break;
    case Mode::Running:
        if (b == kEsc || b == kCtrlC) {
            m_executor.interrupted(m_machine);
            // What the line has not taken yet is dropped: the stop comes at once, not after it.
            m_machine.serialOut().clear();
            finishRun({true, say(Text::Interrupted)});
        } else {
            m_machine.receive(b);  // lost when the program leaves its input queue full
        }
        break;
    }
}

void Monitor::commandByte(std::uint8_t b) {
    if (b == kCr) {
        emit("\r\n");
        const std::string text = std::move(m_line);
        m_line.clear();
        execute(text);
        return;
    }
    if (b == kBs || b == kDel) {
        if (!m_line.empty()) {
            m_line.pop_back();
            emit("\b \b");
        }
        return;
    }
    if (b < 0x20 || b > 0x7E) return;  // LF after CR, stray control characters
    if (m_line.size() >= kMaxLine) {
        emit("\a");
        return;
    }
    m_line.push_back(static_cast<char>(b));
    emit(std::string_view(&m_line.back(), 1));
}

void Monitor::loadByte(std::uint8_t b) {
    if (m_mode == Mode::LoadHeader) {
        if (m_headerLength == 0 && b == kCr) {
            endLoad();
            return;
        }
        m_header[m_headerLength++] = b;
        if (m_headerLength < sizeof m_header) return;
        m_headerLength = 0;
        m_blockAddress = std::uint32_t(m_header[0]) << 24 | std::uint32_t(m_header[1]) << 16 |
                         std::uint32_t(m_header[2]) << 8 | m_header[3];
        m_blockRemaining = std::uint32_t(m_header[4]) << 8 | m_header[5];
        if (m_blockRemaining > 0) {
            m_mode = Mode::LoadData;
            return;
        }
    } else {
        // Bytes are stored as they arrive; what falls outside memory is counted for the report.
        if (m_machine.poke8(m_blockAddress, b)) {
            ++m_loaded;
        } else {
            if (m_unmapped++ == 0) m_firstUnmapped = m_blockAddress;
        }
        ++m_blockAddress;
        if (--m_blockRemaining > 0) return;
        m_mode = Mode::LoadHeader;
    }
    ++m_blocks;
    if (m_options.acknowledge) emit(".");
}

void Monitor::endLoad() {
    m_mode = Mode::Command;
    const std::string loaded = std::to_string(m_loaded), blocks = std::to_string(m_blocks);
    std::string report = say(m_loaded == 1 ? Text::LoadedOne : Text::LoadedMany, {loaded}) +
                         say(m_blocks == 1 ? Text::BlockOne : Text::BlockMany, {blocks});
    if (m_unmapped > 0) report += say(Text::LoadedOutside, {std::to_string(m_unmapped), hex(m_firstUnmapped, 8)});
    line(report);
    prompt();
}

void Monitor::execute(const std::string& text) {
    const std::string command = lower(text);
    const std::vector<std::string_view> args = words(command);
    if (args.empty()) {
        prompt();
        return;
    }
    const std::string_view verb = args[0];

    if (const std::size_t eq = verb.find('='); eq != std::string_view::npos && args.size() == 1) {
        if (!setRegister(verb.substr(0, eq), verb.substr(eq + 1))) error(say(Text::ErrorRegister));
        prompt();
        return;
    }

    const bool bare = args.size() == 1;
    if (verb == "ve" && bare) {
        line(say(Text::Name));
    } else if (verb == "dr" && bare) {
        dump();
    } else if (verb == "ss" && bare) {
        const Outcome outcome = m_executor.step(m_machine);
        if (!outcome.stopped) {
            // The instruction waits for a character or for room for its output: the line is
            // served until the step completes.
            m_mode = Mode::Running;
            m_stepping = true;
            m_waiting = outcome.waiting;
            m_blocked = outcome.blocked;
            return;
        }
        drainProgramOutput();
        if (!outcome.reason.empty()) line(outcome.reason);
        dump();
    } else if (verb == "he" && bare) {
        help();
    } else if (verb == "lo" && bare) {
        m_mode = Mode::LoadStart;  // nothing is sent before the blocks, so "." stays first
        return;
    } else if (verb == "go" && args.size() <= 2) {
        std::optional<std::uint32_t> pc = m_machine.registers().pc;
        if (args.size() == 2) pc = parseHex(args[1]);
        if (!pc) {
            error(say(Text::ErrorGo));
        } else {
            startRun(*pc);
            return;
        }
    } else if (verb == "md" && (args.size() == 2 || args.size() == 3)) {
        const std::optional<std::uint32_t> address = parseHex(args[1]);
        const std::optional<std::uint32_t> count =
            args.size() == 3 ? parseHex(args[2]) : std::optional<std::uint32_t>(kDefaultDisplayCount);
        if (!address || !count || *count == 0 || *count > kMaxDisplayCount)
            error(say(Text::ErrorMd));
        else
            memoryDisplay(*address, *count);
    } else {
        error(say(Text::ErrorUnknown, {text}));
    }
    prompt();
}

bool Monitor::setRegister(std::string_view name, std::string_view digits) {
    Registers& regs = m_machine.registers();
    if (name == "sr") {
        const std::optional<std::uint32_t> value = parseHex(digits, 4);
        if (value) regs.sr = static_cast<std::uint16_t>(*value);
        return value.has_value();
    }
    const std::optional<std::uint32_t> value = parseHex(digits, 8);
    if (!value) return false;
    if (name.size() == 2 && (name[0] == 'd' || name[0] == 'a') && name[1] >= '0' && name[1] <= '7') {
        const int n = name[1] - '0';
        if (name[0] == 'd')
            regs.d[n] = *value;
        else
            regs.setAddressRegister(n, *value);
    } else if (name == "pc") {
        regs.pc = *value;
    } else if (name == "ss") {
        regs.ss = *value;
    } else if (name == "us") {
        regs.us = *value;
    } else {
        return false;
    }
    return true;
}

void Monitor::startRun(std::uint32_t pc) {
    m_machine.registers().pc = pc;
    m_mode = Mode::Running;
    m_stepping = false;
    m_waiting = m_blocked = false;
    service();
}

void Monitor::service() {
    if (m_mode != Mode::Running) return;
    const Outcome outcome = m_executor.run(m_machine, m_stepping ? 0 : m_options.sliceBudget);
    m_waiting = outcome.waiting;
    m_blocked = outcome.blocked;
    if (outcome.stopped || (m_stepping && !outcome.waiting && !outcome.blocked)) finishRun(outcome);
}

void Monitor::finishRun(const Outcome& outcome) {
    drainProgramOutput();
    m_machine.serialIn().clear();
    m_mode = Mode::Command;
    if (!m_stepping || !outcome.reason.empty())
        line(outcome.reason.empty() ? say(Text::ProgramStopped) : outcome.reason);
    m_stepping = m_waiting = m_blocked = false;
    dump();
    prompt();
}

void Monitor::drainProgramOutput() {
    std::string& pending = m_machine.serialOut();
    emit(pending);
    pending.clear();
}

std::vector<std::string> registerDump(const Machine& machine) {
    const Registers& r = machine.registers();
    std::vector<std::string> rows;
    std::string row;
    for (int i = 0; i < 8; ++i) {
        row += "D" + std::to_string(i) + "=" + hex(r.d[i], 8) + (i % 4 == 3 ? "" : " ");
        if (i % 4 == 3) {
            rows.push_back(row);
            row.clear();
        }
    }
    for (int i = 0; i < 8; ++i) {
        row += "A" + std::to_string(i) + "=" + hex(r.addressRegister(i), 8) + (i % 4 == 3 ? "" : " ");
        if (i % 4 == 3) {
            rows.push_back(row);
            row.clear();
        }
    }
    rows.push_back("PC=" + hex(r.pc, 8) + " SR=" + hex(r.sr, 4) + " SS=" + hex(r.ss, 8) + " US=" + hex(r.us, 8));
    rows.push_back("VBR=" + hex(r.vbr, 8) + " SFC=" + binary3(r.sfc) + " DFC=" + binary3(r.dfc));
    // The next instruction's first words; "----" where nothing is mapped.
    row = hex(r.pc, 8) + " ";
    for (int i = 0; i < kInstructionWords; ++i) {
        std::uint8_t hi = 0, lo = 0;
        const std::uint32_t at = r.pc + 2 * static_cast<std::uint32_t>(i);
        row += machine.peek8(at, hi) && machine.peek8(at + 1, lo) ? " " + hex(hi, 2) + hex(lo, 2) : " ----";
    }
    rows.push_back(row);
    return rows;
}

void Monitor::dump() {
    for (const std::string& row : registerDump(m_machine)) line(row);
}

void Monitor::memoryDisplay(std::uint32_t address, std::uint32_t count) {
    for (std::uint32_t offset = 0; offset < count; offset += 16) {
        const std::uint32_t rowStart = address + offset;
        std::string row = hex(rowStart, 8) + " ";
        std::string ascii;
        for (std::uint32_t i = 0; i < 16 && offset + i < count; ++i) {
            std::uint8_t b = 0;
            if (m_machine.peek8(rowStart + i, b)) {
                row += " " + hex(b, 2);
                ascii += b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
            } else {
                row += " --";
                ascii += ' ';
            }
        }
        row.resize(8 + 1 + 16 * 3, ' ');
        line(row + "  " + ascii);
    }
}

void Monitor::help() {
    for (const Text row : kHelp) line(say(row));
}

}  // namespace korvan::sim
