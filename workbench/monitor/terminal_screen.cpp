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

Scrollback::Scrollback(std::size_t capacity, std::size_t width) : m_capacity(capacity), m_width(width) {}

void Scrollback::push(std::string_view row) {
    if (m_capacity == 0) return;
    ++m_pushed;
    std::size_t slot;
    if (m_count < m_capacity) {
        slot = (m_first + m_count++) % m_capacity;
        if (m_cells.size() < m_count * m_width) m_cells.resize(m_count * m_width);
    } else {
        slot = m_first;  // full: the oldest row gives its place
        m_first = (m_first + 1) % m_capacity;
    }
    char* cells = m_cells.data() + slot * m_width;
    const std::size_t n = std::min(row.size(), m_width);
    std::memcpy(cells, row.data(), n);
    std::fill(cells + n, cells + m_width, ' ');
}

std::string_view Scrollback::line(std::size_t i) const {
    return {m_cells.data() + ((m_first + i) % m_capacity) * m_width, m_width};
}

void Scrollback::clear() {
    std::vector<char>().swap(m_cells);
    m_first = m_count = 0;
}

TerminalScreen::TerminalScreen() { m_screen.fill(' '); }

std::string_view TerminalScreen::row(int r) const {
    return {m_screen.data() + static_cast<std::size_t>(r * kCols), static_cast<std::size_t>(kCols)};
}

bool TerminalScreen::isPromptOnCursorRow() const { return beginsWithPrompt(row(m_cursorRow)); }

bool TerminalScreen::programStarted() const {
    const std::string_view c = m_lastCommand;
    return c.size() >= 2 && (c[0] == 'g' || c[0] == 'G') && (c[1] == 'o' || c[1] == 'O') &&
           (c.size() == 2 || c[2] == ' ');
}

std::string_view TerminalScreen::line(long long n) const {
    if (n < firstLine() || n >= endLine()) return {};
    if (n >= screenLine()) return row(static_cast<int>(n - screenLine()));
    return m_scrollback.line(static_cast<std::size_t>(n - firstLine()));
}

std::string TerminalScreen::text(Position from, Position to, std::string_view eol) const {
    std::string out;
    if (from < Position{firstLine(), 0}) from = {firstLine(), 0};
    if (to > Position{endLine() - 1, kCols}) to = {endLine() - 1, kCols};
    const long long cursorLine = screenLine() + m_cursorRow;
    for (long long n = from.line; n <= to.line && from < to; ++n) {
        std::string piece(line(n));
        if (n == cursorLine) piece[static_cast<std::size_t>(m_cursorCol)] = m_underCursor;
        const int begin = n == from.line ? std::clamp(from.col, 0, kCols) : 0;
        const int end = n == to.line ? std::clamp(to.col, begin, kCols) : kCols;
        piece = piece.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
        if (end == kCols) piece.erase(piece.find_last_not_of(' ') + 1);
        out += piece;
        if (n != to.line) out += eol;
    }
    return out;
}

std::string TerminalScreen::sessionText(std::string_view eol) const {
    int last = m_cursorRow;
    for (int r = kRows - 1; r > last; --r) {
        if (row(r).find_first_not_of(' ') != std::string_view::npos) {
            last = r;
            break;
        }
    }
    return text({firstLine(), 0}, {screenLine() + last, kCols}, eol) + std::string(eol);
}

void TerminalScreen::clearHistory() {
    m_scrollback.clear();
    if (m_cursorRow != 0) std::copy_n(row(m_cursorRow).data(), kCols, m_screen.begin());
    std::fill(m_screen.begin() + kCols, m_screen.end(), ' ');
    m_cursorRow = 0;
}

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
    m_scrollback.push(row(0));
    std::memmove(m_screen.data(), m_screen.data() + kCols, static_cast<std::size_t>((kRows - 1) * kCols));
    std::fill(m_screen.end() - kCols, m_screen.end(), ' ');
}

void TerminalScreen::clear() {
    m_screen.fill(' ');
    m_cursorRow = 0;
    m_cursorCol = 0;
}

}  // namespace korvan::monitor
