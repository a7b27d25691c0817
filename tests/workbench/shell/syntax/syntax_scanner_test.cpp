// Tests of the colouring scanners: for C delimiters, literals, comments, case, keywords,
// multi-line state; for assembly the assembler's line split on tricky lines.
#include "syntax/asm_scanner.h"
#include "syntax/syntax_scanner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "../../../support/table.h"

namespace korvan::shell::syntax {
namespace {

// One letter per byte of the text: the style of the run covering it (Default, Comment, String,
// Keyword, Preprocessor, TypeName, Directive, Register, Number, Label); line feeds stay.
std::string render(std::string_view text, const std::vector<Span>& spans) {
    std::string out(text.size(), '.');
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') out[i] = '\n';
    for (const Span& span : spans)
        for (std::size_t i = span.start; i < span.start + span.length; ++i)
            out.at(i) = ".CSKPTDRNL"[static_cast<int>(span.style)];
    return out;
}

struct Case {
    std::string name;
    std::string text;
    std::string expected;
    bool assembly;  // scanned by the assembler's line split, else as C
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
const auto kName = [](const auto& info) { return std::string(info.param.name); };

// The cases of one suite of data/colouring.txt: "@Suite Name", then "|text" and "|styles",
// escaped as the test tables are.
std::vector<Case> casesOf(const std::string& suite) {
    std::ifstream in(KORVAN_SYNTAX_DATA "/colouring.txt", std::ios::binary);
    std::vector<Case> cases;
    std::vector<std::string> fields;  // of the case being read: name, text, styles
    for (std::string line; std::getline(in, line);) {
        if (line.rfind('@', 0) == 0)
            fields = line.rfind("@" + suite + " ", 0) == 0 ? std::vector{line.substr(suite.size() + 2)}
                                                           : std::vector<std::string>{};
        else if (!fields.empty() && line.rfind('|', 0) == 0)
            fields.push_back(korvan::test::unescape(line.substr(1)));
        if (fields.size() == 3) cases.push_back({fields[0], fields[1], fields[2], suite == "Assembly"}), fields.clear();
    }
    return cases;
}

class ColouringTest : public ::testing::TestWithParam<Case> {};

TEST_P(ColouringTest, StylesEveryByte) {
    const Case& c = GetParam();
    ASSERT_EQ(c.text.size(), c.expected.size()) << "bad case " << c.name;
    EXPECT_EQ(render(c.text, (c.assembly ? scanAssemblyText : scanText)(c.text)), c.expected) << "text: " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Delimiters, ColouringTest, ::testing::ValuesIn(casesOf("Delimiters")), kName);
INSTANTIATE_TEST_SUITE_P(Case, ColouringTest, ::testing::ValuesIn(casesOf("Case")), kName);
INSTANTIATE_TEST_SUITE_P(Literals, ColouringTest, ::testing::ValuesIn(casesOf("Literals")), kName);
INSTANTIATE_TEST_SUITE_P(Comments, ColouringTest, ::testing::ValuesIn(casesOf("Comments")), kName);
INSTANTIATE_TEST_SUITE_P(Assembly, ColouringTest, ::testing::ValuesIn(casesOf("Assembly")), kName);

// A data file gone or misread would leave the suites above empty, and passing.
TEST(ColouringData, EverySuiteIsRead) {
    for (const char* suite : {"Delimiters", "Case", "Literals", "Comments", "Assembly"})
        EXPECT_GE(casesOf(suite).size(), 10u) << suite;
}

TEST(SourceLanguage, ByTheFileExtension) {
    const std::pair<const char*, SourceLanguage> kFiles[] = {
        {"main.src", SourceLanguage::Assembly},  {"DEFS.DEF", SourceLanguage::Assembly},
        {"/a/crt0.s", SourceLanguage::Assembly}, {"Bad.Asm", SourceLanguage::Assembly},
        {"main.c", SourceLanguage::C},           {"prog.cpp", SourceLanguage::C},
        {"message.txt", SourceLanguage::C},      {"a.srcx", SourceLanguage::C},
        {"dir.src/readme", SourceLanguage::C},   {"noext", SourceLanguage::C},
    };
    for (const auto& [name, language] : kFiles) EXPECT_EQ(languageOfFile(name), language) << name;
}

// The state one line leaves for the next, and the styles of the line's bytes (its runs, which
// the robustness test below checks for order, overlaps and emptiness through scanText).
struct LineCase {
    const char* name;
    std::string line;
    LineState entry, exit;
    std::string styles;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class LineStateTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineStateTest, GivesRunsAndExitState) {
    const LineCase& c = GetParam();
    std::vector<Span> spans{{99, 1, Style::Default}};  // runs are appended after this one
    EXPECT_EQ(scanLine(c.line, c.entry, spans), c.exit);
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans.front(), (Span{99, 1, Style::Default}));
    spans.erase(spans.begin());
    EXPECT_EQ(render(c.line, spans), c.styles);
}

using L = LineState;
const LineCase kLineCases[] = {
    {"BlockCommentCloses", "still */ int", L::BlockComment, L::Code, "CCCCCCCC.TTT"},
    {"EmptyLineInsideBlockComment", "", L::BlockComment, L::BlockComment, ""},
    {"BlockCommentClosesAndReopens", "a */ b /* c", L::BlockComment, L::BlockComment, "CCCC...CCCC"},
    {"LineCommentWithBackslashGoesOn", "// x\\", L::Code, L::LineComment, "CCCCC"},
    {"ContinuedLineCommentColoursTheWholeLine", "int", L::LineComment, L::Code, "CCC"},
    {"StringWithBackslashGoesOn", "\"abc\\\r", L::Code, L::String, "SSSSSS"},
    {"ContinuedStringCloses", "x\" int", L::String, L::Code, "SS.TTT"},
    {"LiteralWithBackslashGoesOn", "'a\\", L::Code, L::CharLiteral, "SSS"},
    {"ClosedCommentEndingInBackslashDoesNotCarry", "/* x */ \\", L::Code, L::Code, "CCCCCCC.."},
};
INSTANTIATE_TEST_SUITE_P(Lines, LineStateTest, ::testing::ValuesIn(kLineCases), kName);

// Whatever the bytes, runs stay inside their line, in order, without overlaps or empty runs.
TEST(ScannerRobustness, RandomTextGivesWellFormedRuns) {
    static constexpr char kBytes[] = "\0\t\n\r ()*;[]{}/\\\"'#_,=abcdefghilnorstuvwINT\x80\xE9\xFF.:$%@0178DAPSR";
    const std::string alphabet(kBytes, sizeof kBytes - 1);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 2000; ++round) {
        std::string text(static_cast<std::size_t>(rng() % 200), ' ');
        for (char& c : text) c = alphabet[pick(rng)];
        for (auto scan : {scanText, scanAssemblyText}) {
            std::size_t end = 0;
            for (const Span& span : scan(text)) {
                ASSERT_GT(span.length, 0u) << "round " << round;
                ASSERT_GE(span.start, end) << "round " << round;
                ASSERT_LE(span.start + span.length, text.size()) << "round " << round;
                ASSERT_EQ(text.substr(span.start, span.length).find('\n'), std::string::npos) << "round " << round;
                end = span.start + span.length;
            }
        }
    }
}

}  // namespace
}  // namespace korvan::shell::syntax
