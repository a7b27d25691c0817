// Assembly colouring: the assembler's line split, its character classes and its own table.
#include "syntax/asm_scanner.h"

#include <algorithm>
#include <cstdint>

#include "engine/instruction_table.h"

namespace korvan::shell::syntax {
namespace {

// The assembler's character classes (its source reader upper-cases ASCII letters first).
constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '.' || c == '_' || c == '$'; }
constexpr char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
constexpr bool isHexDigit(char c) { return isDigit(c) || (upper(c) >= 'A' && upper(c) <= 'F'); }
constexpr bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }
constexpr bool isBinaryDigit(char c) { return c == '0' || c == '1'; }

// Up to eight bytes of a word, upper-cased, packed from the high byte down: equal keys for
// equal words, whatever their case.
std::uint64_t wordKey(std::string_view word) {
    std::uint64_t key = 0;
    const std::size_t n = std::min<std::size_t>(word.size(), 8);
    for (std::size_t i = 0; i < n; ++i)
        key |= std::uint64_t{static_cast<unsigned char>(upper(word[i]))} << (56 - 8 * i);
    return key;
}

enum class WordKind : std::uint8_t { Instruction, Directive };

struct TableWord {
    std::uint64_t key;
    WordKind kind;
    bool ignoresOperands;
};

// The mnemonics and directives of the assembler's instruction table, by key.
class MnemonicTable {
public:
    MnemonicTable() {
        for (const qubrix::InstrEntry& entry : qubrix::InstructionTable()) {
            const std::string_view name(entry.mnemonic);
            m_words.push_back({wordKey(name), qubrix::IsDirective(entry) ? WordKind::Directive : WordKind::Instruction,
                               qubrix::IgnoresOperandText(entry)});
            m_longest = std::max(m_longest, name.size());
        }
        std::sort(m_words.begin(), m_words.end(), [](const TableWord& a, const TableWord& b) { return a.key < b.key; });
    }

    // The assembler keeps as many letters of a mnemonic as its longest one has (seven) and
    // drops the others: ILLEGALX is ILLEGAL.
    const TableWord* find(std::string_view word) const {
        const std::uint64_t key = wordKey(word.substr(0, m_longest));
        const auto it = std::lower_bound(m_words.begin(), m_words.end(), key,
                                         [](const TableWord& w, std::uint64_t k) { return w.key < k; });
        return it != m_words.end() && it->key == key ? &*it : nullptr;
    }

private:
    std::vector<TableWord> m_words;
    std::size_t m_longest = 0;
};

const MnemonicTable& mnemonics() {
    static const MnemonicTable table;
    return table;
}

// INCLUDE is read by the source reader before the assembler sees the line: the word exactly,
// after the label if any, then the file name.
constexpr std::string_view kInclude = "INCLUDE";

bool equalsUpper(std::string_view word, std::string_view upperWord) {
    if (word.size() != upperWord.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (upper(word[i]) != upperWord[i]) return false;
    return true;
}

// D0-D7, A0-A7, SP, PC, SR, CCR, USP, VBR, SFC, DFC, and Dn or An with an index size (.W, .L).
bool isRegister(std::string_view w) {
    auto numbered = [](char a, char b) { return (upper(a) == 'D' || upper(a) == 'A') && isOctalDigit(b); };
    switch (w.size()) {
    case 2: return numbered(w[0], w[1]) || equalsUpper(w, "SP") || equalsUpper(w, "PC") || equalsUpper(w, "SR");
    case 3:
        return equalsUpper(w, "CCR") || equalsUpper(w, "USP") || equalsUpper(w, "VBR") || equalsUpper(w, "SFC") ||
               equalsUpper(w, "DFC");
    case 4: return numbered(w[0], w[1]) && w[2] == '.' && (upper(w[3]) == 'W' || upper(w[3]) == 'L');
    default: return false;
    }
}

// The digits a number prefix introduces: $ hexadecimal, % binary, @ octal.
using DigitTest = bool (*)(char);
DigitTest prefixedDigits(char prefix) {
    switch (prefix) {
    case '$': return isHexDigit;
    case '%': return isBinaryDigit;
    case '@': return isOctalDigit;
    default: return nullptr;
    }
}

std::size_t skipBlanks(std::string_view line, std::size_t i) {
    while (i < line.size() && isBlank(line[i])) ++i;
    return i;
}

// Runs of the operand field from `i` up to the first blank outside quotes; returns where the
// field ends.
std::size_t scanOperands(std::string_view line, std::size_t i, std::vector<Span>& spans) {
    const std::size_t n = line.size();
    while (i < n && !isBlank(line[i])) {
        const char c = line[i];
        const std::size_t start = i;
        if (c == '\'') {
            // A string runs to the next single quote; two in a row stand for one quote. An
            // unclosed string runs to the end of the line.
            ++i;
            while (i < n) {
                if (line[i] == '\'') {
                    if (i + 1 < n && line[i + 1] == '\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            spans.push_back(Span{start, i - start, Style::String});
        } else if (const DigitTest digit = prefixedDigits(c)) {
            // A prefix without a digit of its base is no number, and neither is what follows
            // it (%2 is a syntax error, not a 2).
            const bool number = i + 1 < n && digit(line[i + 1]);
            ++i;
            while (i < n && (number ? digit(line[i]) : isNameChar(line[i]))) ++i;
            if (number) spans.push_back(Span{start, i - start, Style::Number});
        } else if (isDigit(c)) {
            while (i < n && isDigit(line[i])) ++i;
            spans.push_back(Span{start, i - start, Style::Number});
        } else if (isLetter(c) || c == '.' || c == '_') {
            // A name, read whole as the assembler reads symbols: D0X or LOOP1 is no register
            // or number.
            while (i < n && isNameChar(line[i])) ++i;
            if (isRegister(line.substr(start, i - start))) spans.push_back(Span{start, i - start, Style::Register});
        } else {
            ++i;
        }
    }
    return i;
}

void commentFrom(std::string_view line, std::size_t i, std::vector<Span>& spans) {
    i = skipBlanks(line, i);
    if (i < line.size()) spans.push_back(Span{i, line.size() - i, Style::Comment});
}

}  // namespace

SourceLanguage languageOfFile(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return SourceLanguage::C;
    const std::string_view ext = fileName.substr(dot + 1);
    for (std::string_view assembly : {"SRC", "DEF", "S", "ASM"})
        if (equalsUpper(ext, assembly)) return SourceLanguage::Assembly;
    return SourceLanguage::C;
}

void scanAssemblyLine(std::string_view line, std::vector<Span>& spans) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t n = line.size();

    std::size_t i = skipBlanks(line, 0);
    if (i == n) return;
    if (line[i] == '*') {
        spans.push_back(Span{i, n - i, Style::Comment});
        return;
    }

    // A label: the first character whatever it is, then name characters; followed by a colon,
    // or starting in column 1 and followed by a blank or the end.
    {
        std::size_t end = i + 1;
        while (end < n && isNameChar(line[end])) ++end;
        const bool colon = end < n && line[end] == ':';
        if (colon || (i == 0 && (end == n || isBlank(line[end])))) {
            if (colon) ++end;
            spans.push_back(Span{i, end - i, Style::Label});
            i = skipBlanks(line, end);
            if (i == n) return;
            if (line[i] == '*') {
                spans.push_back(Span{i, n - i, Style::Comment});
                return;
            }
        }
    }

    // The mnemonic: the first character whatever it is, then letters; then a size suffix or
    // a blank or the end, else the assembler gives up on the line.
    const std::size_t start = i;
    std::size_t end = i + 1;
    while (end < n && isLetter(line[end])) ++end;
    const std::string_view word = line.substr(start, end - start);
    std::size_t after = end;  // past the suffix
    bool goodSuffix = true;
    if (end < n && line[end] == '.') {
        if (end + 1 >= n || !(end + 2 == n || isBlank(line[end + 2]))) return;
        const char size = upper(line[end + 1]);
        goodSuffix = size == 'B' || size == 'W' || size == 'L' || size == 'S';
        after = end + 2;
    } else if (end < n && !isBlank(line[end])) {
        return;
    }

    if (after == end && equalsUpper(word, kInclude)) {
        spans.push_back(Span{start, end - start, Style::Directive});
        std::size_t file = skipBlanks(line, end);
        while (file < n && !isBlank(line[file])) ++file;
        commentFrom(line, file, spans);
        return;
    }

    const TableWord* entry = mnemonics().find(word);
    if (!entry) return;
    // A suffix the assembler does not know (.X) is left uncoloured: it warns about it.
    const std::size_t coloured = goodSuffix ? after : end;
    spans.push_back(
        Span{start, coloured - start, entry->kind == WordKind::Directive ? Style::Directive : Style::Keyword});

    i = skipBlanks(line, after);
    if (i == n) return;
    if (entry->ignoresOperands) {
        spans.push_back(Span{i, n - i, Style::Comment});
        return;
    }
    commentFrom(line, scanOperands(line, i, spans), spans);
}

std::vector<Span> scanAssemblyText(std::string_view text) {
    std::vector<Span> spans;
    std::vector<Span> lineSpans;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        const std::size_t feed = text.find('\n', lineStart);
        const std::size_t lineEnd = feed == std::string_view::npos ? text.size() : feed;
        lineSpans.clear();
        scanAssemblyLine(text.substr(lineStart, lineEnd - lineStart), lineSpans);
        for (const Span& s : lineSpans) spans.push_back(Span{lineStart + s.start, s.length, s.style});
        if (feed == std::string_view::npos) break;
        lineStart = feed + 1;
    }
    return spans;
}

}  // namespace korvan::shell::syntax
