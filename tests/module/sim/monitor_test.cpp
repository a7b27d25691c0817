// The resident monitor fed directly: echo, prompt, commands, dump fields and download mode.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "../../support/table.h"
#include "monitor.h"

namespace korvan::sim {
namespace {

using namespace std::string_literals;

const std::string kName = "KORVAN CPU32 monitor 1.0 (simulated module)";

struct Fixture {
    Machine machine;
    PlaceholderExecutor placeholder;
    Monitor monitor;

    explicit Fixture(Monitor::Options options = {}, Executor* executor = nullptr)
        : monitor(machine, executor != nullptr ? *executor : placeholder, options) {
        monitor.feed("\r");  // past the banner
        monitor.takeOutput();
    }
    std::string send(std::string_view bytes) {
        monitor.feed(bytes);
        return monitor.takeOutput();
    }
};

// The value after a dump label, as the workbench reads it: first occurrence, fixed width.
std::string field(const std::string& dump, const std::string& label, std::size_t width) {
    const std::size_t at = dump.find(label);
    return at == std::string::npos ? "" : dump.substr(at + label.size(), width);
}

std::string block(std::uint32_t address, const std::string& data) {
    std::string b;
    for (int shift = 24; shift >= 0; shift -= 8) b += static_cast<char>(address >> shift);
    b += static_cast<char>(data.size() >> 8);
    b += static_cast<char>(data.size());
    return b + data;
}

// A reopened line greets anew, dropping a half-typed command or an unfinished download.
TEST(Monitor, BannerAndPromptOnTheFirstByteOfAFreshLine) {
    Machine machine;
    PlaceholderExecutor executor;
    Monitor monitor(machine, executor);
    const auto send = [&monitor](std::string_view bytes) { return monitor.feed(bytes), monitor.takeOutput(); };
    for (const std::string& unfinished : {std::string("v"), "LO\r\x16" + block(0x802000, "abcd").substr(0, 5), {}}) {
        EXPECT_EQ(send("ve\r"),
                  "\r\n" + kName + "\r\ntype he for the list of commands\r\n>>-> ve\r\n" + kName + "\r\n>>-> ");
        EXPECT_EQ(send("ve\r"), "ve\r\n" + kName + "\r\n>>-> ");
        send(unfinished);
        monitor.lineOpened();
    }
}

TEST(Monitor, CommandLines) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/monitor_lines.txt", 3)) {
        SCOPED_TRACE(row[0]);
        Fixture f;
        EXPECT_EQ(f.send(row[1]), row[2]);
    }
}

TEST(Monitor, DumpFieldsHaveTheirWidths) {
    Fixture f;
    const std::string out = f.send("dr\r");
    ASSERT_TRUE(out.starts_with("dr\r\n"));
    ASSERT_TRUE(out.ends_with("\r\n>>-> "));
    std::vector<std::pair<std::string, std::string>> fields = {
        {"PC=", "[0-9A-F]{8}"}, {"SS=", "[0-9A-F]{8}"}, {"US=", "[0-9A-F]{8}"}, {"VBR=", "[0-9A-F]{8}"},
        {"SR=", "[0-9A-F]{4}"}, {"SFC=", "[01]{3}"},    {"DFC=", "[01]{3}"}};
    for (int i = 0; i < 16; ++i) fields.emplace_back("DA"[i / 8] + std::to_string(i % 8) + "=", "[0-9A-F]{8}");
    for (const auto& [label, digits] : fields) {
        SCOPED_TRACE(label);
        // Exactly once (the workbench takes the first occurrence), its digits ending the field.
        const std::regex pattern("(^|[^A-Z])" + label + digits + "( |\r\n)");
        EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), pattern), std::sregex_iterator()), 1);
        EXPECT_EQ(out.find(label), out.rfind(label));
    }
    for (std::size_t start = 0, end; (end = out.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LT(end - start, 80u) << "a dump row wider than the terminal";
}

TEST(Monitor, RegisterSetThenDump) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/monitor_registers.txt", 5)) {
        SCOPED_TRACE(row[0]);
        Fixture f;
        f.send(row[1]);
        EXPECT_EQ(field(f.send("dr\r"), row[2], std::stoul(row[3])), row[4]);
    }
}

TEST(Monitor, StepAndGo) {
    Fixture f;
    f.machine.write32(0x802000, 0x4E714E75);
    std::string out = f.send("ss\r");
    EXPECT_EQ(field(out, "PC=", 8), "00802002");
    EXPECT_NE(out.find("\r\n00802002  4E75 0000 0000\r\n"), std::string::npos) << out;

    out = f.send("GO 802100\r");
    EXPECT_TRUE(out.starts_with("GO 802100\r\nprogram ended\r\n")) << out;
    EXPECT_EQ(field(out, "PC=", 8), "00802100");
    EXPECT_TRUE(out.ends_with("\r\n>>-> "));
    EXPECT_EQ(field(f.send("go\r"), "PC=", 8), "00802100");
}

// A program that prints, reads what arrives on the line and ends after a few slices.
class ScriptedExecutor final : public Executor {
public:
    int slices = 0;
    Outcome step(Machine&) override { return {}; }
    Outcome run(Machine& machine, std::uint32_t) override {
        while (!machine.serialIn().empty()) {
            machine.serialOut() += static_cast<char>(std::toupper(machine.serialIn().front()));
            machine.serialIn().pop_front();
        }
        return {++slices == 3, "program ended"};
    }
};

// The same commands in English and in French; echo and prompt unchanged.
TEST(Monitor, AnswersInTheChosenLanguage) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/monitor_languages.txt", 4)) {
        for (const Language language : {Language::English, Language::French}) {
            SCOPED_TRACE(row[0] + (language == Language::French ? ", French" : ", English"));
            ScriptedExecutor program;
            Fixture f({.language = language}, &program);
            const std::string out = f.send(row[1]);
            EXPECT_TRUE(out.starts_with(row[language == Language::French ? 3 : 2])) << out;
        }
    }
}

TEST(Monitor, RunningProgramOwnsTheLineUntilItStops) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/monitor_running.txt", 3)) {
        SCOPED_TRACE(row[0]);
        ScriptedExecutor program;
        Fixture f({}, &program);
        std::string out = f.send("GO\r");
        EXPECT_TRUE(f.monitor.running());
        out += f.send(row[1]);
        while (f.monitor.running() && program.slices < 10) {
            f.monitor.service();
            out += f.monitor.takeOutput();
        }
        EXPECT_TRUE(out.starts_with(row[2])) << out;
        EXPECT_TRUE(out.ends_with("\r\n>>-> "));
        EXPECT_EQ(f.send("ve\r"), "ve\r\n" + kName + "\r\n>>-> ");  // the command line is back
    }
}

TEST(Monitor, DownloadBlocksSplitAnywhere) {
    const std::string blocks = block(0x802000, "\x11\x22\x33") + block(0x803000, "ABCDEFGHIJKLMNOP");
    const std::string stream = "LO\r\x16" + blocks + "\r";
    const std::string answer = "LO\r\n..\r\nloaded 19 bytes in 2 blocks\r\n>>-> ";
    // Ends of the blocks in the stream: the "." must be the very next thing sent.
    const std::size_t firstEnd = 4 + 9, secondEnd = firstEnd + 22;

    for (std::size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE("split at " + std::to_string(split));
        Fixture f;
        std::string out = f.send(stream.substr(0, split));
        out += f.send(stream.substr(split));
        EXPECT_EQ(out, answer);
        std::uint32_t word = 0;
        f.machine.read32(0x802000, word);
        EXPECT_EQ(word, 0x11223300u);
        f.machine.read32(0x80300C, word);
        EXPECT_EQ(word, 0x4D4E4F50u);
    }
    Fixture f;
    f.send(stream.substr(0, 4));
    for (std::size_t i = 4; i < stream.size() - 1; ++i) {
        SCOPED_TRACE("byte " + std::to_string(i));
        EXPECT_EQ(f.send(stream.substr(i, 1)), i + 1 == firstEnd || i + 1 == secondEnd ? "." : "");
    }
}

TEST(Monitor, DownloadReports) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/monitor_downloads.txt", 4)) {
        SCOPED_TRACE(row[0]);
        Fixture f({.acknowledge = row[2] == "yes"});
        EXPECT_EQ(f.send("LO\r\x16" + row[1] + "\r"), "LO\r\n" + row[3]);
    }
}

// 64 bytes by default, 16 a row (the other displays are command lines).
TEST(Monitor, MemoryDisplayShowsFourRowsByDefault) {
    const std::string out = Fixture().send("md 802000\r");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 4) << out;
}

}  // namespace
}  // namespace korvan::sim
