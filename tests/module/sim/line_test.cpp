// The real korvan-sim program on its pseudo-terminal: answers, reopening, pacing, trace, options.
#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <string>
#include <sys/ioctl.h>
#include <vector>

#include "../../support/process.h"
#include "../../support/table.h"
#include "line.h"

namespace korvan::sim {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::Simulator;
using test::TempDir;

const std::string kVersionAnswer = "ve\r\nKORVAN CPU32 monitor 1.0 (simulated module)\r\n>>-> ";

// The workbench's side of the line.
FileDescriptor openPort(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!fd) throw std::runtime_error("cannot open " + path);
    return fd;
}

std::string talk(const FileDescriptor& port, std::string_view bytes, std::string_view until,
                 std::chrono::milliseconds limit = 3s) {
    if (::write(port.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return "write failed";
    return Simulator::drain(port.get(), limit, until);
}

// The blank-separated words of a field.
std::vector<std::string> split(const std::string& field) {
    std::istringstream words(field);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

// The download of a program to $802000 in one block, with the CR that ends it.
std::string download(const std::string& program) {
    return std::string("LO\r\x16\x00\x80\x20\x00\x00", 9) + char(program.size()) + program + "\r";
}

// The link replaces a stale link but never a file: a second simulator asked to link over the
// trace ends at once and leaves it as it was.
TEST(Line, AnswersThroughALinkAcrossReopeningAndTraces) {
    TempDir dir;
    const fs::path link = dir.path / "module";
    const fs::path trace = dir.path / "trace.txt";
    fs::create_symlink("/nonexistent", link);  // a stale link from an earlier run is replaced
    Simulator sim({"--line-bps", "0", "--link", link.string(), "--trace", trace.string()});
    // Opened as soon as the link is there: the opener must not go unseen (its answers dropped).
    for (auto end = Clock::now() + 3s; fs::read_symlink(link) == "/nonexistent" && Clock::now() < end;)
        std::this_thread::sleep_for(1ms);

    std::string heard;  // everything the module sent
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("opening " + std::to_string(round));
        const FileDescriptor port = openPort(link.string());
        const std::string out = talk(port, "ve\r", kVersionAnswer);
        EXPECT_TRUE(out.starts_with("\r\nKORVAN")) << "banner on a freshly opened line: " << out;
        EXPECT_TRUE(out.ends_with(">>-> " + kVersionAnswer)) << out;
        EXPECT_EQ(talk(port, "ve\r", kVersionAnswer), kVersionAnswer);
        heard += out + kVersionAnswer;
    }
    const std::string path = sim.firstLine();
    ASSERT_TRUE(path.starts_with("/dev/")) << path;
    EXPECT_EQ(fs::read_symlink(link), path);

    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link removed at exit";
    EXPECT_EQ(Simulator({"--link", trace.string()}).wait(), 1);
    ASSERT_FALSE(fs::is_symlink(trace));
    std::ifstream in(trace);
    for (std::string row; std::getline(in, row);)
        EXPECT_TRUE(std::regex_match(row, std::regex(R"(\d\d:\d\d:\d\d\.\d{6} (in |out)( [0-9A-F]{2})+)"))) << row;
    EXPECT_EQ(test::tracedBytes(trace, "in"), "ve\rve\rve\rve\rve\rve\r");
    EXPECT_EQ(test::tracedBytes(trace, "out"), heard);
}

// A holder that asked for exclusive use and closed the line must not lock out the next one.
// (Root may open an exclusive tty anyway, so the flag itself is read back.)
TEST(Line, ExclusiveUseEndsWithItsHolder) {
    Simulator sim({"--line-bps", "0"});
    const std::string path = sim.firstLine();
    {
        const FileDescriptor port = openPort(path);
        ASSERT_EQ(::ioctl(port.get(), TIOCEXCL), 0);
        ASSERT_TRUE(talk(port, "ve\r", kVersionAnswer).ends_with(kVersionAnswer));
    }
    int exclusive = 1;
    for (auto end = Clock::now() + 3s; exclusive != 0 && Clock::now() < end; std::this_thread::sleep_for(20ms)) {
        const FileDescriptor port = openPort(path);
        ASSERT_EQ(::ioctl(port.get(), TIOCGEXCL, &exclusive), 0);
    }
    EXPECT_EQ(exclusive, 0);
}

TEST(Line, PacedLineAnswersInTimeAndAcknowledgesBlocksFirst) {
    Simulator sim({});
    const FileDescriptor port = openPort(sim.firstLine());
    const auto sent = Clock::now();
    const std::string banner = talk(port, "ve\r", kVersionAnswer, 500ms);
    EXPECT_LT(Clock::now() - sent, 500ms);
    EXPECT_TRUE(banner.ends_with(kVersionAnswer)) << banner;

    ASSERT_EQ(talk(port, "LO\r\x16", "LO\r\n"), "LO\r\n");
    // A full block of 1017 data bytes and its answer: 1024 bytes of 10 bits at 57600 bits/s.
    std::string block("\x00\x80\x20\x00\x03\xF9", 6);
    block.append(1017, 'z');
    const auto start = Clock::now();
    EXPECT_EQ(talk(port, block, "."), ".");
    EXPECT_GE(Clock::now() - start, 1024 * 10'000'000us / 57600);
    EXPECT_EQ(talk(port, "\r", ">>-> "), "\r\nloaded 1017 bytes in 1 block\r\n>>-> ");
}

TEST(Line, SilentModuleSaysNothing) {
    Simulator sim({"--silent", "--line-bps", "0"});
    const FileDescriptor port = openPort(sim.firstLine());
    EXPECT_EQ(talk(port, "ve\r", ">", 300ms), "");
}

TEST(Line, CommandLine) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/command_line.txt", 5)) {
        SCOPED_TRACE(row[0]);
        Simulator sim(split(row[1]));
        std::string out = row[3];
        if (const std::size_t at = out.find("$VERSION"); at != std::string::npos) out.replace(at, 8, KORVAN_VERSION);
        EXPECT_TRUE(sim.output().starts_with(out));
        EXPECT_TRUE(sim.error().starts_with(row[4]));
        EXPECT_EQ(sim.wait(), std::stoi(row[2]));
    }
}

// The monitor's texts in the language of --lang, else of the locale (LC_ALL, then LC_MESSAGES,
// then LANG), sent in Latin-1; the prompt and the dump stay as they are. The program is served
// while it runs: it reads a character from the line, echoes it and ends with it as its status.
TEST(Line, LanguageFromTheOptionOrTheLocale) {
    // Functions 3 (read into D1), 1 (write D1) and 0 (end with the status D1.B).
    const std::string program("\x70\x03\x4E\x4F\x70\x01\x4E\x4F\x70\x00\x4E\x4F", 12);
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/line_languages.txt", 4)) {
        SCOPED_TRACE(row[0]);
        Simulator sim(split(row[1] + " --line-bps 0"), split(row[2]));
        const bool french = row[3] == "fr";
        const FileDescriptor port = openPort(sim.firstLine());
        const std::string banner = french ? "tapez he pour la liste des commandes" : "type he for the list of commands";
        EXPECT_TRUE(talk(port, "\r", ">>-> \r\n>>-> ").ends_with("\r\n" + banner + "\r\n>>-> \r\n>>-> "));
        EXPECT_NE(talk(port, download(program), ">>-> ").find(french ? "12 octets" : "loaded 12 bytes"),
                  std::string::npos);
        EXPECT_EQ(talk(port, "GO 802000\r", "GO 802000\r\n", 1s), "GO 802000\r\n");
        const std::string run = talk(port, "A", ">>-> ");
        const std::string ended = french ? "programme termin\xE9 avec le code 65" : "program ended with status 65";
        EXPECT_TRUE(run.starts_with("A\r\n" + ended + "\r\nD0=00000000 D1=00000041")) << run;
        EXPECT_TRUE(run.ends_with("\r\n>>-> ")) << run;
    }
}

// A program that prints without end (through TRAP #15, or the QSM without polling it), or that
// is flooded with input it never reads: the simulator's memory stays bounded whether the line
// takes the output or not, and ESC brings the stop line, the dump and the prompt within 1 s.
TEST(Line, RunawayProgramStaysBoundedAndStopsAtOnce) {
    struct Row {
        const char* name;
        const char* bps;
        std::string program;
        bool readWhileRunning, flood;
    };
    const std::string trapLoop("\x70\x01\x72\x41\x4E\x4F\x60\xF8", 8);
    const std::string qsmLoop("\x13\xFC\x00\x41\x00\xFF\xFC\x0F\x60\xF6", 10);
    // clang-format off
    const Row rows[] = {
        {"TRAP output on a paced line that is read", "57600", trapLoop, true, false},
        {"TRAP output on a line nobody reads", "0", trapLoop, false, false},
        {"QSM output on a line nobody reads", "0", qsmLoop, false, false},
        {"input flood", "0", "\x60\xFE", false, true},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Simulator sim({"--line-bps", row.bps});
        const FileDescriptor port = openPort(sim.firstLine());
        // The banner ends with a prompt before the CR's own prompt: both are read before the
        // download, whose answer must not be taken from them.
        talk(port, "\r", ">>-> ");
        Simulator::drain(port.get(), 300ms);
        ASSERT_NE(talk(port, download(row.program), ">>-> ").find("loaded"), std::string::npos);
        ASSERT_TRUE(talk(port, "GO 802000\r", "GO 802000\r\n", 1s).starts_with("GO 802000\r\n"));
        std::this_thread::sleep_for(200ms);
        const long before = sim.residentKiB();
        if (row.flood) {
            const std::string flood(4 << 20, 'x');
            EXPECT_EQ(::write(port.get(), flood.data(), flood.size()), static_cast<ssize_t>(flood.size()));
        }
        if (row.readWhileRunning)
            Simulator::drain(port.get(), 1s);
        else
            std::this_thread::sleep_for(1s);
        ASSERT_GT(before, 0);
#ifndef __SANITIZE_ADDRESS__  // whose quarantine of freed memory grows the resident size with any churn
        const long after = sim.residentKiB();
        EXPECT_LT(after - before, 1024) << before << " KiB, then " << after << " KiB";
#endif

        const std::string stop = talk(port, "\x1b", "\r\n>>-> ", 1s);
        EXPECT_TRUE(stop.ends_with("\r\n>>-> ")) << stop.size() << " bytes: " << stop.substr(stop.size() - 80);
        EXPECT_NE(stop.find("interrupted\r\nD0="), std::string::npos);
        EXPECT_EQ(talk(port, "ve\r", ">>-> "), kVersionAnswer);
    }
}

// A burst takes exactly its bytes' line time: wake-ups however late are caught up, and a burst
// after an idle spell is no faster than the line (idle time is not saved up).
TEST(Pacer, BurstsTakeTheirLineTime) {
    struct Row {
        const char* name;
        unsigned bps;
        std::size_t bytes;
        std::chrono::microseconds late;  // of every wake-up after the time the pacer asked for
    };
    const Row rows[] = {
        {"prompt wake-ups", 57600, 1023, 20us},
        {"wake-ups 3 ms late", 57600, 1023, 3ms},
        {"wake-ups 1.5 ms late at 9600 bits/s", 9600, 100, 1500us},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::chrono::nanoseconds lineTime(10'000'000'000LL * static_cast<long long>(row.bytes) / row.bps);
        Pacer pacer(row.bps);
        Clock::time_point now{};
        for (int burst = 0; burst < 2; ++burst, now += 50ms) {  // each burst follows an idle spell
            SCOPED_TRACE(burst);
            const auto start = now;
            pacer.begin(now);
            std::size_t passed = 0;
            while (passed < row.bytes) {
                now += pacer.wait(now) + row.late;
                const std::size_t n = pacer.available(now, row.bytes - passed);
                passed += n;
                pacer.consumed(n, passed < row.bytes);
            }
            EXPECT_GE(now - start, lineTime);
            EXPECT_LE(now - start, lineTime + row.late + 2us);  // a byte time rounded up to the ns
        }
    }
    // An answer to a byte that crossed before the line's last one starts when that one was through.
    const Clock::time_point t0{};
    Pacer pacer(9600);  // 1.0417 ms a byte
    pacer.begin(t0);
    pacer.consumed(pacer.available(t0 + 10ms, 100), false);  // 9 bytes, through at 9.375 ms
    pacer.begin(t0 + 5ms);
    EXPECT_EQ(pacer.available(t0 + 10ms, 100), 0u);
    EXPECT_EQ(pacer.available(t0 + 10'500us, 100), 1u);
    EXPECT_EQ(Pacer(0).available(Clock::now(), 5000), 5000u);
}

}  // namespace
}  // namespace korvan::sim
