// Tests of the monitor terminal's screen model: interpreter edge cases, prompt tracking, dump capture,
// scrollback and the text of selections; and of the log file of the line.
#include "terminal_screen.h"
#include "receive_log.h"
#include "../../support/table.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using korvan::monitor::ReceiveLog;
using korvan::monitor::TerminalScreen;

namespace {

std::string trimmed(std::string_view row) {
    const auto end = row.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : row.substr(0, end + 1));
}

}  // namespace

TEST(TerminalScreen, InterpretsBytesIntoScreenAndCursor) {
    for (const korvan::test::Row& c : korvan::test::readTable(KORVAN_MONITOR_TEST_DATA "/screen.txt", 6)) {
        SCOPED_TRACE(c[0]);
        TerminalScreen screen;
        screen.receive(c[1]);
        if (!c[2].empty()) screen.receive(c[2]);
        EXPECT_EQ(screen.cursorRow(), std::stoi(c[3]));
        EXPECT_EQ(screen.cursorCol(), std::stoi(c[4]));
        std::istringstream rows(c[5]);
        for (std::string row; std::getline(rows >> std::ws, row, ';');) {
            const std::size_t eq = row.find('=');
            EXPECT_EQ(trimmed(screen.row(std::stoi(row.substr(0, eq)))), row.substr(eq + 1)) << row;
        }
    }
}

struct CaptureCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::vector<std::string>> dumps;  // what each receive() hands over
    std::string lastCommand;
    bool capturing;
    bool promptOnCursorRow;
};

TEST(TerminalScreen, TracksPromptCommandAndCapturesDumps) {
    // clang-format off
    const std::vector<CaptureCase> cases = {
        {"dr starts a capture, CR not captured", {">>-> dr\r"}, {{}}, "dr", true, false},
        {"dump handed over at first byte after next prompt",
         {">>-> dr\r", "\nD0=00000001\n>>->", " "},
         {{}, {}, {"\nD0=00000001\n>>->"}}, "", false, true},
        {"two dumps in one reception, in order",
         {">>-> dr\rA\n>>-> ss\rB\n>>->x"}, {{"A\n>>->", "B\n>>->"}}, "", false, true},
        {"= in column 5 is skipped", {">>-> =dr\r"}, {{}}, "dr", true, false},
        {"upper-case DR starts nothing", {">>-> DR\r", "\n>>-> "}, {{}, {}}, "", false, true},
        {"ss starts a capture", {">>-> ss\r"}, {{}}, "ss", true, false},
        {"command read from the row after a correction", {">>-> dx\br\r"}, {{}}, "dr", true, false},
        {"no prompt at row start, no command", {" >>-> dr\r"}, {{}}, "", false, false},
        {"typed command without CR is not taken", {">>-> dr"}, {{}}, "", false, true},
        {"prompt row left by LF", {"ve\n>>->\n"}, {{}}, "", false, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalScreen screen;
        for (std::size_t i = 0; i < c.chunks.size(); ++i)
            EXPECT_EQ(screen.receive(c.chunks[i]), c.dumps[i]) << "chunk " << i;
        EXPECT_EQ(screen.lastCommand(), c.lastCommand);
        EXPECT_EQ(screen.capturing(), c.capturing);
        EXPECT_EQ(screen.isPromptOnCursorRow(), c.promptOnCursorRow);
    }
}

// A complete register dump ended by a prompt is handed over whatever command printed it (a
// program that ended, took an exception or was stopped), and no capture grows without limit.
TEST(TerminalScreen, TakesEveryCompleteDumpWithinABoundedCapture) {
    std::string dump;
    for (const char* row :
         {"D0=00000000 D1=00000001 D2=00000002 D3=00000003", "D4=0000005A D5=00000005 D6=00000006 D7=00000007",
          "A0=00000000 A1=00000000 A2=00000000 A3=00000000", "A4=00000000 A5=00000000 A6=00000000 A7=00880000",
          "PC=00802014 SR=2700 SS=00880000 US=0087C000", "VBR=00800000 SFC=000 DFC=000"})
        dump += std::string(row) + "\r\n";
    const std::string noDfc = dump.substr(0, dump.find(" DFC")) + "\r\n";
    std::string flood;
    while (flood.size() < 3 * TerminalScreen::kCaptureLimit) flood += "sortie du programme 0123456789\r\n";
    // clang-format off
    const std::vector<std::tuple<const char*, std::string, std::size_t>> cases = {  // name, bytes, dumps taken
        {"program ended: dump then prompt", ">>-> GO 802010\r\nProgramme termine\r\n" + dump + ">>-> ", 1},
        {"exception after a flood of output", ">>-> GO 802010\r\n" + flood + dump + ">>-> ", 1},
        {"dr answered after a flood", ">>-> dr\r\n" + flood + dump + ">>-> ", 1},
        {"a dump without DFC is no dump", ">>-> GO 802010\r\n" + noDfc + ">>-> ", 0},
        {"a register set echoed is no dump", ">>-> PC=802010\r\n>>-> ", 0},
        {"no prompt yet after the dump", ">>-> GO 802010\r\n" + dump, 0},
    };
    // clang-format on
    for (const auto& [name, bytes, count] : cases) {
        SCOPED_TRACE(name);
        TerminalScreen screen;
        const std::vector<std::string> dumps = screen.receive(bytes);
        ASSERT_EQ(dumps.size(), count);
        for (const std::string& d : dumps) {
            EXPECT_LE(d.size(), TerminalScreen::kCaptureLimit);
            EXPECT_TRUE(d.size() >= dump.size() && d.find(dump) == d.size() - dump.size() - 4) << d.substr(0, 200);
        }
    }
}

// Rows that scroll off the top are kept, the 10,000 most recent of them, in order, and the screen
// below them is exactly what it was without a scrollback.
TEST(TerminalScreen, KeepsTheMostRecentScrolledRowsAndTheScreen) {
    constexpr long long kCap = static_cast<long long>(TerminalScreen::kScrollbackLines);
    for (const long long lines : {30LL, 49LL + 10, 49 + kCap, 49 + kCap + 1, 49 + 2 * kCap + 123}) {
        SCOPED_TRACE(lines);
        TerminalScreen screen;
        std::string bytes;
        for (long long i = 0; i < lines; ++i) bytes += "ligne " + std::to_string(i) + "\r\n";
        screen.receive(bytes);
        const long long pushed = std::max(0LL, lines - 49);
        const long long kept = std::min(pushed, kCap);
        ASSERT_EQ(static_cast<long long>(screen.scrollback().size()), kept);
        EXPECT_EQ(screen.scrollback().capacity(), TerminalScreen::kScrollbackLines);
        EXPECT_EQ(screen.screenLine(), pushed);
        EXPECT_EQ(screen.firstLine(), pushed - kept);
        for (long long n = screen.firstLine(); n < screen.screenLine(); ++n)
            ASSERT_EQ(trimmed(screen.line(n)), "ligne " + std::to_string(n)) << n;
        for (int r = 0; r < TerminalScreen::kRows; ++r) {
            const long long n = pushed + r;
            EXPECT_EQ(trimmed(screen.row(r)),
                      n < lines ? "ligne " + std::to_string(n) : std::string(n == lines ? "_" : ""))
                << "row " << r;
        }
        EXPECT_EQ(screen.cursorRow(), static_cast<int>(std::min(lines, 49LL)));
        EXPECT_TRUE(screen.line(screen.firstLine() - 1).empty());
        EXPECT_TRUE(screen.line(screen.endLine()).empty());
    }
}

// The text of a selection reads across the scrollback and the screen; a whole session is every
// kept line; clearing leaves the line being typed, still recognised as a command at its CR.
TEST(TerminalScreen, GivesTheTextOfSelectionsAndClearsItsHistory) {
    TerminalScreen screen;
    std::string bytes;
    for (int i = 0; i < 60; ++i) bytes += "L" + std::to_string(i) + " abc   \r\n";
    screen.receive(bytes + ">>-> drx\rX");  // the CR brings the cursor over the ">" it shows as "_"
    ASSERT_EQ(screen.scrollback().size(), 11u);
    const long long s = screen.screenLine();
    using P = TerminalScreen::Position;
    // clang-format off
    const std::vector<std::tuple<const char*, P, P, std::string>> cases = {  // name, from, to, text
        {"scrollback into the screen", {s - 2, 1}, {s + 1, 2}, "9 abc\nL10 abc\nL11 abc\nL1"},
        {"inside one scrollback line", {s - 11, 1}, {s - 11, 3}, "0 "},
        {"a line's end loses its blanks", {s - 1, 0}, {s, 0}, "L10 abc\n"},
        {"the cursor mark gives way to its character", {s + 49, 0}, {s + 49, 5}, "X>-> "},
        {"past the screen's end", {s + 49, 6}, {s + 99, 0}, "rx"},
        {"empty", {s + 3, 4}, {s + 3, 4}, ""},
    };
    // clang-format on
    for (const auto& [name, from, to, text] : cases) EXPECT_EQ(screen.text(from, to, "\n"), text) << name;
    std::string session;
    for (int i = 0; i < 60; ++i) session += "L" + std::to_string(i) + " abc\r\n";
    EXPECT_EQ(screen.sessionText("\r\n"), session + "X>-> drx\r\n");

    screen.receive("\r\n>>-> d");
    screen.clearHistory();
    EXPECT_EQ(screen.scrollback().size(), 0u);
    EXPECT_EQ(screen.firstLine(), screen.screenLine());
    EXPECT_EQ(screen.cursorRow(), 0);
    EXPECT_EQ(trimmed(screen.row(0)), ">>-> d_");
    for (int r = 1; r < TerminalScreen::kRows; ++r) EXPECT_EQ(trimmed(screen.row(r)), "") << r;
    EXPECT_EQ(screen.sessionText("\n"), ">>-> d\n");
    screen.receive("r\r");
    EXPECT_EQ(screen.lastCommand(), "dr");
    EXPECT_TRUE(screen.capturing());
}

// A log that cannot be opened or written says why and stops instead of losing data silently
// (what it appends to a file is checked byte for byte by the monitor window's log test).
TEST(ReceiveLog, ReportsFailures) {
    ReceiveLog log;
    EXPECT_FALSE(log.open(::testing::TempDir() + "no-such-folder/x.log"));
    EXPECT_EQ(log.errorCode(), ENOENT);
    EXPECT_FALSE(log.isOpen());
    if (log.open("/dev/full")) {
        EXPECT_FALSE(log.write("lost"));
        EXPECT_EQ(log.errorCode(), ENOSPC);
        EXPECT_FALSE(log.isOpen());
        EXPECT_FALSE(log.write("more"));
    }
}
