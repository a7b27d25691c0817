// The monitor terminal's 80x50 character screen: escape interpreter, prompt tracking, dump capture.
#pragma once

#include <array>
#include <compare>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::monitor {

// The rows that scrolled off the top of the screen, the most recent kept: a ring of fixed-width
// rows that grows up to its capacity and then overwrites its oldest row, so its memory is bounded.
class Scrollback {
public:
    explicit Scrollback(std::size_t capacity, std::size_t width);

    void push(std::string_view row);  // row cut or padded with blanks to the width
    std::size_t size() const { return m_count; }
    std::size_t capacity() const { return m_capacity; }
    std::string_view line(std::size_t i) const;  // 0 = the oldest kept; i < size()
    // Rows pushed since construction, those overwritten and cleared included: it never decreases,
    // so it numbers the rows for good.
    unsigned long long pushed() const { return m_pushed; }
    void clear();  // forgets the rows (and gives their memory back); pushed() keeps counting

private:
    std::size_t m_capacity, m_width;
    std::vector<char> m_cells;  // grows row by row up to capacity rows
    std::size_t m_first = 0, m_count = 0;
    unsigned long long m_pushed = 0;
};

// Plain byte-in/state-out model of the monitor's terminal. It knows no window and no thread:
// the owner feeds it received bytes and reads rows, the cursor and the captured dumps back.
// Not thread-safe: one thread at a time (the owner guards it or confines it to one thread).
class TerminalScreen {
public:
    static constexpr int kRows = 50, kCols = 80;
    static constexpr std::size_t kCaptureLimit = 64 * 1024;
    static constexpr std::size_t kScrollbackLines = 10000;

    // A place in the session's text: a history line (see line()) and a column, 0..80.
    struct Position {
        long long line = 0;
        int col = 0;
        auto operator<=>(const Position&) const = default;
    };

    TerminalScreen();  // all spaces, cursor (0,0), nothing captured

    // Erases the cursor mark, interprets every byte with the prompt tracking and dump capture,
    // then puts "_" in the cursor cell. Returns the dumps whose capture ended during this call,
    // in order: the text from after the CR of "dr"/"ss" up to and including the next prompt, or,
    // after any other command (a program that ended or was stopped), a complete register dump
    // (every register's label) from its first label up to and including the prompt that
    // follows it. A capture keeps at most its last kCaptureLimit bytes.
    std::vector<std::string> receive(std::string_view bytes);

    std::string_view row(int r) const;  // the 80 bytes of row r (0..49)
    int cursorRow() const { return m_cursorRow; }
    int cursorCol() const { return m_cursorCol; }
    bool isPromptOnCursorRow() const;  // the cursor row begins with ">>->"
    const std::string& lastCommand() const { return m_lastCommand; }
    bool capturing() const { return m_capturing; }
    // Prompts completed so far (">>->" written at the start of a row): a prompt that arrives
    // after a command was sent shows that the monitor answered it.
    unsigned long long promptCount() const { return m_promptCount; }
    // The command typed after the last prompt is a GO and no prompt has come since: the program
    // it started is running.
    bool programStarted() const;

    // History: the scrollback followed by the screen, one numbering for both that a scroll does
    // not change. Line screenLine() is the screen's row 0; lines from firstLine() up to it are the
    // scrollback; endLine() is one past the screen's last row.
    const Scrollback& scrollback() const { return m_scrollback; }
    long long firstLine() const { return screenLine() - static_cast<long long>(m_scrollback.size()); }
    long long screenLine() const { return static_cast<long long>(m_scrollback.pushed()); }
    long long endLine() const { return screenLine() + kRows; }
    std::string_view line(long long n) const;  // the 80 bytes of history line n; empty outside
    // The text from `from` up to `to` (excluded), in reading order, its lines joined by eol. A line
    // taken to its end loses its trailing blanks; the cursor mark gives way to the character it
    // covers; lines no longer kept are skipped.
    std::string text(Position from, Position to, std::string_view eol) const;
    // Every kept line of the session: the scrollback and the screen down to its last row with text
    // or the cursor, each line ended by eol.
    std::string sessionText(std::string_view eol) const;
    // Forgets the scrollback and blanks the screen, except the cursor's row, which goes to the top
    // with the cursor: a command being typed stays in sight and is still recognised at its CR.
    void clearHistory();

private:
    void putChar(unsigned char b);
    void trackPrompt(unsigned char b);
    void promptCompleted(std::vector<std::string>& dumps);
    void interpretEscape(unsigned char b);
    void endEscape();
    void newLine();
    void clear();
    char& cell(int r, int c) { return m_screen[static_cast<std::size_t>(r * kCols + c)]; }

    std::array<char, kRows * kCols> m_screen;
    Scrollback m_scrollback{kScrollbackLines, kCols};
    int m_cursorRow = 0;
    int m_cursorCol = 0;
    // What the cursor mark covers: a carriage return can bring the cursor back onto text, and
    // the text must come back when the mark moves on, even when the line feed that follows
    // arrives in the next chunk.
    char m_underCursor = ' ';
    bool m_inEscape = false;
    int m_escLength = 0;
    std::array<unsigned char, 3> m_escBuffer{};
    bool m_capturing = false;
    std::string m_captureText;
    std::string m_lastCommand;
    std::string m_sincePrompt;  // everything received since the last prompt, bounded
    unsigned long long m_promptCount = 0;
};

}  // namespace korvan::monitor
