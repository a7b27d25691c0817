// The monitor terminal's 80x50 character screen: escape interpreter, prompt tracking, dump capture.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::monitor {

// Plain byte-in/state-out model of the monitor's terminal. It knows no window and no thread:
// the owner feeds it received bytes and reads rows, the cursor and the captured dumps back.
// Not thread-safe: one thread at a time (the owner guards it or confines it to one thread).
class TerminalScreen {
public:
    static constexpr int kRows = 50, kCols = 80;
    static constexpr std::size_t kCaptureLimit = 64 * 1024;

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
