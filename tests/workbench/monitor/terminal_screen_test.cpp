// Tests of the monitor terminal's screen model: interpreter edge cases, prompt tracking, dump capture.
#include "terminal_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using korvan::monitor::TerminalScreen;

namespace {

std::string trimmed(std::string_view row) {
    const auto end = row.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : row.substr(0, end + 1));
}

struct ScreenCase {
    const char* name;
    std::vector<std::string> chunks;                // one receive() call each
    int row, col;                                   // cursor afterwards
    std::vector<std::pair<int, std::string>> rows;  // rows as shown, trailing blanks dropped
};

std::string repeat(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

}  // namespace

TEST(TerminalScreen, InterpretsBytesIntoScreenAndCursor) {
    const std::string esc = "\x1b";
    // clang-format off
    const std::vector<ScreenCase> cases = {
        {"opening line then mark on next row", {"Ouverture du port COM1\n"}, 1, 0,
         {{0, "Ouverture du port COM1"}, {1, "_"}, {2, ""}, {49, ""}}},
        {"79 printables fill columns 0..78", {repeat('a', 79)}, 0, 79, {{0, repeat('a', 79) + "_"}, {1, ""}}},
        {"80th printable goes to next row", {repeat('a', 80)}, 1, 1, {{0, repeat('a', 79)}, {1, "a_"}}},
        {"LF at row 49 scrolls by one row", {"top\n" + repeat('\n', 48) + "end\n"}, 49, 0,
         {{0, ""}, {47, ""}, {48, "end"}, {49, "_"}}},
        {"LF alone returns to column 0", {"abc\n"}, 1, 0, {{0, "abc"}, {1, "_"}}},
        {"CR alone stays on the row", {"abc\rX"}, 0, 1, {{0, "X_c"}, {1, ""}}},
        {"CR and LF in separate chunks keep the line", {"abc\r", "\n"}, 1, 0, {{0, "abc"}, {1, "_"}}},
        {"BS at column 0 does nothing", {"\b"}, 0, 0, {{0, "_"}}},
        {"BS erases the character before", {"abc\bd"}, 0, 3, {{0, "abd_"}}},
        {"ESC H clears and homes", {"abc\nde" + esc + "H"}, 0, 0, {{0, "_"}, {1, ""}}},
        {"ESC J clears and homes", {"abc\nde" + esc + "J"}, 0, 0, {{0, "_"}, {1, ""}}},
        {"ESC Y positions at value - 32", {esc + "Y" + char(32 + 10) + char(32 + 20) + "Q"}, 10, 21,
         {{0, ""}, {10, repeat(' ', 20) + "Q_"}}},
        {"ESC Y below 0x20 goes to 0,0", {"\n\nab" + esc + "Y\x01\x02"}, 0, 0, {{0, "_"}, {2, "ab"}}},
        {"ESC Y bytes above 0x7F count as negative", {"\n\nab" + esc + "Y\xff\xa0"}, 0, 0, {{0, "_"}}},
        {"ESC Y beyond the screen clamps to 49/79", {esc + "Y" + char(32 + 60) + char(32 + 90)}, 49, 79,
         {{49, repeat(' ', 79) + "_"}}},
        {"ESC Y with one byte pending waits", {esc + "Y" + char(32 + 3), std::string(1, char(32 + 7)) + "Z"}, 3, 8,
         {{0, ""}, {3, repeat(' ', 7) + "Z_"}}},
        {"other escape letter swallows only itself", {"ab" + esc + "Xcd"}, 0, 4, {{0, "abcd_"}}},
        {"0x7F-0xFF, TAB and controls ignored", {std::string("a\x7f\x80\xff\tb\x01\x07\x0c", 9)}, 0, 2, {{0, "ab_"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalScreen screen;
        for (const auto& chunk : c.chunks) screen.receive(chunk);
        EXPECT_EQ(screen.cursorRow(), c.row);
        EXPECT_EQ(screen.cursorCol(), c.col);
        for (const auto& [r, text] : c.rows) EXPECT_EQ(trimmed(screen.row(r)), text) << "row " << r;
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
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t dumps;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"program ended: dump then prompt", ">>-> GO 802010\r\nProgramme termine\r\n" + dump + ">>-> ", 1},
        {"exception after a flood of output", ">>-> GO 802010\r\n" + flood + dump + ">>-> ", 1},
        {"dr answered after a flood", ">>-> dr\r\n" + flood + dump + ">>-> ", 1},
        {"a dump without DFC is no dump", ">>-> GO 802010\r\n" + noDfc + ">>-> ", 0},
        {"a register set echoed is no dump", ">>-> PC=802010\r\n>>-> ", 0},
        {"no prompt yet after the dump", ">>-> GO 802010\r\n" + dump, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalScreen screen;
        const std::vector<std::string> dumps = screen.receive(c.bytes);
        ASSERT_EQ(dumps.size(), c.dumps);
        for (const std::string& d : dumps) {
            EXPECT_LE(d.size(), TerminalScreen::kCaptureLimit);
            EXPECT_TRUE(d.size() >= dump.size() && d.find(dump) == d.size() - dump.size() - 4) << d.substr(0, 200);
        }
    }
}
