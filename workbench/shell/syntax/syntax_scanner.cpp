// Single-pass colouring scanner over one line, carrying open comments and literals across lines.
#include "syntax/syntax_scanner.h"

#include <optional>

namespace korvan::shell::syntax {
namespace {

// A backslash as the last character (before an optional carriage return) splices the next
// line onto this one, as the C preprocessor does.
bool endsWithSplice(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return !line.empty() && line.back() == '\\';
}

// Looks for a keyword starting at `pos`, where the byte before is a delimiter (or nothing).
// A keyword needs a delimiter (or the end of the line) right after it as well.
std::optional<Style> keywordAt(std::string_view line, std::size_t pos, std::size_t& length) {
    const std::size_t limit = longestKeyword();
    std::size_t end = pos;
    while (end < line.size() && !isDelimiter(static_cast<unsigned char>(line[end]))) {
        if (end - pos == limit) return std::nullopt;  // longer than any keyword
        ++end;
    }
    const std::optional<Style> style = keywordStyle(line.substr(pos, end - pos));
    if (style) length = end - pos;
    return style;
}

}  // namespace

LineState scanLine(std::string_view line, LineState entry, std::vector<Span>& spans) {
    const std::size_t n = line.size();
    LineState state = entry;
    std::size_t mark = 0;  // where the open string, literal or comment began
    std::size_t i = 0;

    auto close = [&](Style style, std::size_t end) {
        spans.push_back(Span{mark, end - mark, style});
        state = LineState::Code;
    };

    while (i < n) {
        const auto c = static_cast<unsigned char>(line[i]);
        switch (state) {
        case LineState::Code:
            if (c == '"') {
                state = LineState::String;
                mark = i;
            } else if (c == '\'') {
                state = LineState::CharLiteral;
                mark = i;
            } else if (c == '/') {
                if (i + 1 < n && line[i + 1] == '/') {
                    state = LineState::LineComment;
                    mark = i++;
                } else if (i + 1 < n && line[i + 1] == '*') {
                    state = LineState::BlockComment;
                    mark = i++;
                }
            } else if ((i == 0 || isDelimiter(static_cast<unsigned char>(line[i - 1]))) && canStartKeyword(c)) {
                std::size_t length = 0;
                if (const std::optional<Style> style = keywordAt(line, i, length)) {
                    spans.push_back(Span{i, length, *style});
                    i += length;  // the byte after it is a delimiter: nothing to do there
                    continue;
                }
            }
            break;
        case LineState::String:
            // A backslash does not protect a double quote: the first one ends the string.
            if (c == '"') close(Style::String, i + 1);
            break;
        case LineState::CharLiteral:
            // Only the quote of '\'' is taken as escaped: a backslash before it and a quote
            // right after it.
            if (c == '\'' && !(i > 0 && line[i - 1] == '\\' && i + 1 < n && line[i + 1] == '\''))
                close(Style::String, i + 1);
            break;
        case LineState::LineComment: break;
        case LineState::BlockComment:
            if (c == '*' && i + 1 < n && line[i + 1] == '/') {
                ++i;
                close(Style::Comment, i + 1);
            }
            break;
        }
        ++i;
    }

    switch (state) {
    case LineState::Code: return LineState::Code;
    case LineState::String:
    case LineState::CharLiteral:
        if (n > mark) spans.push_back(Span{mark, n - mark, Style::String});
        return endsWithSplice(line) ? state : LineState::Code;
    case LineState::LineComment:
        if (n > mark) spans.push_back(Span{mark, n - mark, Style::Comment});
        return endsWithSplice(line) ? state : LineState::Code;
    case LineState::BlockComment:
        if (n > mark) spans.push_back(Span{mark, n - mark, Style::Comment});
        return state;
    }
    return LineState::Code;
}

std::vector<Span> scanText(std::string_view text) {
    std::vector<Span> spans;
    std::vector<Span> lineSpans;
    LineState state = LineState::Code;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        const std::size_t feed = text.find('\n', lineStart);
        const std::size_t lineEnd = feed == std::string_view::npos ? text.size() : feed;
        lineSpans.clear();
        state = scanLine(text.substr(lineStart, lineEnd - lineStart), state, lineSpans);
        for (const Span& s : lineSpans) spans.push_back(Span{lineStart + s.start, s.length, s.style});
        if (feed == std::string_view::npos) break;
        lineStart = feed + 1;
    }
    return spans;
}

}  // namespace korvan::shell::syntax
