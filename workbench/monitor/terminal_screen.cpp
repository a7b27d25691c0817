// The monitor terminal's screen model: byte interpreter, prompt tracking and register-dump capture.
#include "terminal_screen.h"

#include <algorithm>
#include <cstring>

namespace korvan::monitor {

namespace {
constexpr std::string_view kPrompt = ">>->";
constexpr int kPromptCol = 4;   // the cursor stands here right after a fresh prompt
constexpr int kCommandCol = 5;  // the command starts here, one column after the prompt's blank
constexpr unsigned char kBs = 0x08, kLf = 0x0A, kCr = 0x0D, kEsc = 0x1B;

bool beginsWithPrompt(std::string_view row) { return row.substr(0, kPrompt.size()) == kPrompt; }

// Appends bytes to a capture that keeps only its most recent part: past the limit the older
// half goes, so that a dump printed after a flood of output is still whole.
void appendBounded(std::string& text, char ch) {
    text += ch;
    if (text.size() > TerminalScreen::kCaptureLimit) text.erase(0, text.size() - TerminalScreen::kCaptureLimit / 2);
}

// Every label of a register dump, each of which a complete dump holds.
constexpr std::array<std::string_view, 23> kDumpLabels = {
    "D0=", "D1=", "D2=", "D3=", "D4=", "D5=", "D6=", "D7=", "A0=",  "A1=",  "A2=", "A3=",
    "A4=", "A5=", "A6=", "A7=", "PC=", "SS=", "US=", "SR=", "VBR=", "SFC=", "DFC="};

// Where the last complete register dump in text starts (its earliest label, taking each
// label's last occurrence), or npos when some label is missing.
std::size_t completeDumpStart(std::string_view text) {
    std::size_t start = std::string_view::npos;
    for (std::string_view label : kDumpLabels) {
        const std::size_t at = text.rfind(label);
        if (at == std::string_view::npos) return std::string_view::npos;
        start = std::min(start, at);
    }
    return start;
}
}  // namespace

TerminalScreen::TerminalScreen() { m_screen.fill(' '); }

std::string_view TerminalScreen::row(int r) const {
    return {m_screen.data() + static_cast<std::size_t>(r * kCols), static_cast<std::size_t>(kCols)};
}

bool TerminalScreen::isPromptOnCursorRow() const { return beginsWithPrompt(row(m_cursorRow)); }

std::vector<std::string> TerminalScreen::receive(std::string_view bytes) {
    std::vector<std::string> dumps;
    cell(m_cursorRow, m_cursorCol) = m_underCursor;
    for (char ch : bytes) {
        const unsigned long long prompts = m_promptCount;
        putChar(static_cast<unsigned char>(ch));
        appendBounded(m_sincePrompt, ch);
        if (m_promptCount != prompts) promptCompleted(dumps);
        // A byte that empties the command (the first after a new prompt) closes the capture
        // before it would be appended, so the dump ends with the prompt itself.
        if (m_lastCommand.empty() && m_capturing) {
            dumps.push_back(m_captureText);
            m_capturing = false;
        }
        if (m_capturing) appendBounded(m_captureText, ch);
        if (!m_capturing && (m_lastCommand == "dr" || m_lastCommand == "ss")) {
            m_capturing = true;
            m_captureText.clear();
        }
    }
    m_underCursor = cell(m_cursorRow, m_cursorCol);
    cell(m_cursorRow, m_cursorCol) = '_';
    return dumps;
}

void TerminalScreen::promptCompleted(std::vector<std::string>& dumps) {
    // A "dr"/"ss" capture hands its dump over itself at the next byte.
    if (!m_capturing) {
        if (const std::size_t start = completeDumpStart(m_sincePrompt); start != std::string::npos)
            dumps.push_back(m_sincePrompt.substr(start));
    }
    m_sincePrompt.clear();
}

void TerminalScreen::trackPrompt(unsigned char b) {
    const std::string_view current = row(m_cursorRow);
    if (!beginsWithPrompt(current)) return;
    if (m_cursorCol >= kCommandCol && b == kCr) {
        const int from = current[kCommandCol] == '=' ? kCommandCol + 1 : kCommandCol;
        if (m_cursorCol > from)
            m_lastCommand.append(
                current.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(m_cursorCol - from)));
    } else if (m_cursorCol == kPromptCol) {
        m_lastCommand.clear();
    }
}

void TerminalScreen::putChar(unsigned char b) {
    trackPrompt(b);
    if (m_inEscape) {
        interpretEscape(b);
        return;
    }
    switch (b) {
    case kBs:
        if (m_cursorCol > 0) cell(m_cursorRow, --m_cursorCol) = ' ';
        break;
    case kLf:
        m_cursorCol = 0;
        newLine();
        break;
    case kCr: m_cursorCol = 0; break;
    case kEsc: m_inEscape = true; break;
    default:
        if (b >= 0x20 && b <= 0x7E) {
            // Column 79 is kept for the cursor mark: a printable there wraps first.
            if (m_cursorCol == kCols - 1) {
                m_cursorCol = 0;
                newLine();
            }
            cell(m_cursorRow, m_cursorCol++) = static_cast<char>(b);
            if (m_cursorCol == kPromptCol && beginsWithPrompt(row(m_cursorRow))) ++m_promptCount;
        }
        break;
    }
}

void TerminalScreen::interpretEscape(unsigned char b) {
    m_escBuffer[static_cast<std::size_t>(m_escLength++)] = b;
    switch (m_escBuffer[0]) {
    case 'H':
    case 'J':
        clear();
        endEscape();
        break;
    case 'Y':
        if (m_escLength == 3) {
            // Row and column come as value + 32; below 32 means 0, beyond the screen the edge.
            const auto coord = [](unsigned char v, int limit) {
                return std::clamp(static_cast<int>(static_cast<signed char>(v)) - 32, 0, limit);
            };
            m_cursorRow = coord(m_escBuffer[1], kRows - 1);
            m_cursorCol = coord(m_escBuffer[2], kCols - 1);
            endEscape();
        }
        break;
    default: endEscape(); break;
    }
}

void TerminalScreen::endEscape() {
    m_inEscape = false;
    m_escLength = 0;
    m_escBuffer[0] = 0;
}

void TerminalScreen::newLine() {
    if (m_cursorRow < kRows - 1) {
        ++m_cursorRow;
        return;
    }
    std::memmove(m_screen.data(), m_screen.data() + kCols, static_cast<std::size_t>((kRows - 1) * kCols));
    std::fill(m_screen.end() - kCols, m_screen.end(), ' ');
}

void TerminalScreen::clear() {
    m_screen.fill(' ');
    m_cursorRow = 0;
    m_cursorCol = 0;
}

}  // namespace korvan::monitor
