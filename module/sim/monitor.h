// The resident monitor as a state machine: bytes from the line in, the monitor's answer out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"
#include "texts.h"

namespace korvan::sim {

// What a step or a slice of a run left behind.
struct Outcome {
    bool stopped = true;   // false: the slice ran out and the program goes on
    std::string reason;    // why it stopped, as the monitor prints it; empty after a plain step
    bool waiting = false;  // not stopped: the program waits for a character from the line
    bool blocked = false;  // not stopped: an output service waits for room in the output buffer
    std::optional<std::uint8_t> exitStatus = std::nullopt;  // it ended through TRAP #15 function 0
    std::optional<unsigned> vector = std::nullopt;          // the exception that stopped it
};

// Executes code on the machine. The monitor asks for one instruction (ss) or for slices of a
// run (GO), and keeps serving the line between slices.
class Executor {
public:
    virtual ~Executor() = default;
    virtual Outcome step(Machine& machine) = 0;
    // Runs at most budget instructions from the current PC. A step or run that waits for a
    // character or for room for its output goes on in run() calls (budget 0 while finishing a
    // step).
    virtual Outcome run(Machine& machine, std::uint32_t budget) = 0;
    // ESC or Ctrl-C ended the run: leave the registers as the program would show them.
    virtual void interrupted(Machine&) {}
};

// Stands in until a CPU core is plugged in: a step advances PC by one word, a run ends at once.
class PlaceholderExecutor final : public Executor {
public:
    Outcome step(Machine& machine) override;
    Outcome run(Machine& machine, std::uint32_t budget) override;
};

inline constexpr std::string_view kPrompt = ">>-> ";
inline constexpr std::string_view kProgramEnded = "program ended";
inline constexpr std::string_view kInterrupted = "interrupted";

// The register dump's rows, without line ends.
std::vector<std::string> registerDump(const Machine& machine);

class Monitor {
public:
    struct Options {
        bool acknowledge = true;                // answer each download block with "."
        std::uint32_t sliceBudget = 20000;      // instructions per run slice
        Language language = Language::English;  // of the monitor's own texts
    };

    Monitor(Machine& machine, Executor& executor);
    Monitor(Machine& machine, Executor& executor, Options options);

    // The line was (re)opened: the next byte is answered by the banner and a prompt first, and
    // a half-typed command or an unfinished download left by the previous user is dropped.
    void lineOpened();

    // Bytes received from the line; the answer is appended to the output.
    void feed(std::string_view bytes);

    // A program runs: the line side calls service() whenever it has nothing else to do.
    bool running() const { return m_mode == Mode::Running; }
    // Running, but the program waits for a character: nothing to do until the line brings one.
    bool waiting() const { return running() && m_waiting; }
    // Running, but the program waits for room in the output buffer: nothing to do until the
    // line takes some of the output.
    bool blocked() const { return running() && m_blocked && !m_machine.outputRoom(); }
    void service();

    // What the monitor has to send, taken out: at most max bytes, the monitor's own text first,
    // then what a running program wrote. Program output stays in the machine's bounded buffer
    // until the line takes it, so a program that prints faster than the line waits.
    std::string takeOutput(std::size_t max = std::string::npos);
    bool hasOutput() const;
    // Bytes of the monitor's own text waiting to be sent.
    std::size_t backlog() const { return m_out.size(); }

private:
    enum class Mode { Command, LoadStart, LoadHeader, LoadData, Running };
    static constexpr std::size_t kMaxLine = 128;

    void feedByte(std::uint8_t b);
    void commandByte(std::uint8_t b);
    void loadByte(std::uint8_t b);
    void execute(const std::string& line);
    bool setRegister(std::string_view name, std::string_view digits);
    void startRun(std::uint32_t pc);
    void finishRun(const Outcome& outcome);
    void endLoad();
    void dump();
    void memoryDisplay(std::uint32_t address, std::uint32_t count);
    void help();
    void prompt();
    void emit(std::string_view text);
    void newRow();
    void line(std::string_view text);
    void error(std::string_view text);
    std::string say(Text id, std::initializer_list<std::string_view> args = {}) const;
    void drainProgramOutput();

    Machine& m_machine;
    Executor& m_executor;
    Options m_options;
    Mode m_mode = Mode::Command;
    bool m_fresh = true;
    bool m_stepping = false;  // the running mode finishes an "ss"
    bool m_waiting = false;
    bool m_blocked = false;
    bool m_rowStart = false;  // the last byte sent ended a row
    std::string m_line;
    std::string m_out;

    // Download state.
    std::uint8_t m_header[6] = {};
    std::size_t m_headerLength = 0;
    std::uint32_t m_blockAddress = 0;
    std::uint32_t m_blockRemaining = 0;
    std::uint32_t m_blocks = 0;
    std::uint64_t m_loaded = 0;
    std::uint64_t m_unmapped = 0;
    std::uint32_t m_firstUnmapped = 0;
};

}  // namespace korvan::sim
