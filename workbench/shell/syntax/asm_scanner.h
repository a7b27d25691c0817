// The colouring scanner of assembly sources: one line in, its coloured runs out. It reads a
// line the way the assembler does, so that what is coloured as a comment is what the assembler
// skips, and a word is coloured as a mnemonic or directive only where the assembler looks one
// up, and only when the assembler's own instruction table holds it. No display code.
//
// A line, as the assembler splits it (letters in any case):
//   - blanks (spaces and tabs) first, then "*": the whole line is a comment;
//   - a label: a word in column 1 followed by a blank or the line's end, or any word followed
//     by ":" (the colon is part of the label's run); then a "*" makes the rest a comment;
//   - the mnemonic or directive with its size suffix (.B .W .L .S); a word the table does not
//     hold, or a bad character right after the word, leaves the rest of the line uncoloured,
//     as the assembler stops there; INCLUDE, read before the assembler by its source reader,
//     is a directive too, and its file name is the operand;
//   - after an instruction without operands (NOP, RTS ...) and after END, LIST, NOLIST and TTL,
//     whatever follows is a comment;
//   - otherwise the operand field, up to the first blank outside quotes: strings in single
//     quotes (a doubled quote stands for one), numbers ($hex, %binary, @octal, decimal),
//     registers (D0-D7, A0-A7, SP, PC, SR, CCR, USP, VBR, SFC, DFC, and Dn.W-style index
//     registers);
//   - whatever follows the operand field after a blank is a comment.
// An apostrophe in a comment is only text, and no word in a comment is looked up. A semicolon
// is not a comment mark for this assembler: "MOVE D0,D1 ; text" has its comment because of
// the blank before the semicolon.
#pragma once

#include <string_view>
#include <vector>

#include "syntax/syntax_scanner.h"

namespace korvan::shell::syntax {

// Which scanner colours a document.
enum class SourceLanguage : std::uint8_t {
    C,         // C and C++ sources, and every file that is not an assembly source
    Assembly,  // assembly sources: .src, .def, .s and .asm, in any case
};

// The language of a file, from the extension of its name (a path is accepted too).
SourceLanguage languageOfFile(std::string_view fileName);

// Scans one assembly line, given without its line feed (a carriage return at its end is
// ignored), and appends its non-default runs to `spans` in ascending order, without overlaps.
// Positions are byte positions in `line`, as for scanLine. Nothing carries over to the next
// line.
void scanAssemblyLine(std::string_view line, std::vector<Span>& spans);

// Scans a whole assembly text line by line and returns its runs with positions in the text.
std::vector<Span> scanAssemblyText(std::string_view text);

}  // namespace korvan::shell::syntax
