// The colouring scanner: one line of source and the state it starts in, out come the coloured
// runs of that line and the state the next line starts in. No display code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "syntax/syntax_keywords.h"

namespace korvan::shell::syntax {

// Where a line starts: in code, or inside a construct left open by the line before it.
// A block comment stays open until its closing "*/", whatever the number of lines. A line
// comment, string or character literal ends with its line unless the line ends with a
// backslash (optionally followed by a carriage return), which joins the next line to it.
enum class LineState : std::uint8_t {
    Code,
    String,
    CharLiteral,
    LineComment,
    BlockComment,
};

// One coloured run: [start, start + length) in positions of the scanned text.
struct Span {
    std::size_t start;
    std::size_t length;
    Style style;
    constexpr bool operator==(const Span&) const = default;
};

// Scans one line, given without its line feed. Each byte is one position; bytes from 128 up
// are ordinary characters, so a caller holding wider characters passes one byte per character
// (any value from 128 up for non-ASCII ones) and gets spans in its own positions.
//
// Appends the line's non-default runs to `spans` in ascending order, without overlaps, and
// returns the state the next line starts in.
LineState scanLine(std::string_view line, LineState entry, std::vector<Span>& spans);

// Scans a whole text, line by line from the Code state, and returns its non-default runs with
// positions in the text. Lines end with a line feed; a carriage return before it belongs to
// the line. A run never covers a line feed: a comment over three lines gives three runs.
std::vector<Span> scanText(std::string_view text);

}  // namespace korvan::shell::syntax
