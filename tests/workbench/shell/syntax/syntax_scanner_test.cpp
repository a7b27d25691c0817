// Tests of the colouring scanner: delimiters, literals, comments, case, keywords, multi-line state.
#include "syntax/syntax_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace korvan::shell::syntax {
namespace {

// One letter per byte of the text: the style of the run covering it (Default, Comment, String,
// Keyword, Preprocessor, TypeName); line feeds stay.
std::string render(std::string_view text) {
    std::string out(text.size(), '.');
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') out[i] = '\n';
    for (const Span& span : scanText(text))
        for (std::size_t i = span.start; i < span.start + span.length; ++i)
            out[i] = ".CSKPT"[static_cast<int>(span.style)];
    return out;
}

struct Case {
    const char* name;
    std::string text;
    std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
const auto kName = [](const auto& info) { return std::string(info.param.name); };

class ColouringTest : public ::testing::TestWithParam<Case> {};

TEST_P(ColouringTest, StylesEveryByte) {
    const Case& c = GetParam();
    ASSERT_EQ(c.text.size(), c.expected.size()) << "bad case " << c.name;
    EXPECT_EQ(render(c.text), c.expected) << "text: " << c.text;
}

// Words need a delimiter (or the line's start or end) on both sides; the delimiters are
// blank, tab, CR, LF, NUL, ( ) * ; [ ] { } and nothing else.
const Case kDelimiterCases[] = {
    {"IntAtStartFollowedByBlank", "int x", "TTT.."},
    {"IntInsidePrintIsNotAWord", "print", "....."},
    {"IntFollowedByDigit", "int2 x", "......"},
    {"IntAtEndOfLine", "x int", "..TTT"},
    {"CharFollowedByAsterisk", "char*p", "TTTT.."},
    {"ReturnFollowedBySlash", "return/x", "........"},
    {"BracketsOfEveryKind", "(int)[int]{int}", ".TTT..TTT..TTT."},
    {"SemicolonTabAsteriskCarriageReturn", "int;\tint\t*int\r", "TTT..TTT..TTT."},
    {"NulIsADelimiter", std::string("\0int\0", 5), ".TTT."},
    {"CommaAndEqualsAreNotDelimiters", "int,x=int", "........."},
    {"ColonIsNotADelimiter", "main: bra main", "..........KKKK"},
    {"AngleBracketAfterInclude", "#include<a.h>", "............."},
    {"TwoKeywordsInARow", "int(void)", "TTT.TTTT."},
    {"KeywordsSeparatedByOneBlank", "unsigned int", "TTTTTTTT.TTT"},
    {"PrefixOfALongerKeyword", "do double done", "KK.TTTTTT....."},
    {"LongerThanAnyKeyword", "protectedx protected", "...........KKKKKKKKK"},
    {"KeywordRightAfterAString", "\"a\"int", "SSS..."},
    {"KeywordRightAfterAComment", "/* c */int", "CCCCCCC..."},
};
INSTANTIATE_TEST_SUITE_P(Delimiters, ColouringTest, ::testing::ValuesIn(kDelimiterCases), kName);

// Keywords are compared byte for byte, capitals included.
const Case kCaseCases[] = {
    {"CapitalTypesOnlyInCapitals", "WORD word INT BYTE ULONG", "TTTT..........TTTT.TTTTT"},
    {"NearMissesAreNotKeywords", "Return Void signed __asm__ mai whilee # _",
     "........................................."},
    {"BlueKeywords", "if else while", "KK.KKKK.KKKKK"},
    {"UnderscoreKeywords", "__asm __try", "KKKKK.KKKKK"},
    {"MainIsAKeyword", "int main(void)", "TTT.KKKK.TTTT."},
    {"PreprocessorWords", "#include <stdio.h>", "PPPPPPPP.........."},
    {"IndentedDefine", "  #define X 1", "..PPPPPPP...."},
    {"HashIfAndBareDefineAreNot", "#if define", ".........."},
    {"AccentedLettersJoinTheWord", "\xE9int int\xE9", "........."},
    {"AccentedLettersAroundDelimiters", "\xC3\xA9 int \xC3\xA9", "...TTT..."},
};
INSTANTIATE_TEST_SUITE_P(Case, ColouringTest, ::testing::ValuesIn(kCaseCases), kName);

const Case kLiteralCases[] = {
    {"StringWithKeywordInside", "\"int\" int", "SSSSS.TTT"},
    {"EmptyString", "\"\" x", "SS.."},
    {"EscapedDoubleQuoteStillEndsTheString", "\"a\\\"b\"", "SSSS.S"},
    {"UnterminatedStringRunsToLineEnd", "x \"abc", "..SSSS"},
    {"CharLiterals", "'a' 'b'", "SSS.SSS"},
    {"EscapedQuoteLiteralIsFourCharacters", "'\\'' int", "SSSS.TTT"},
    {"EscapedBackslashLiteral", "'\\\\' int", "SSSS.TTT"},
    {"CommentMarkersInsideAString", "\"// /* x\" int", "SSSSSSSSS.TTT"},
    {"CommentMarkerAndDoubleQuoteInsideLiterals", "'/*' '\"' int", "SSSS.SSS.TTT"},
    {"AssemblyImmediateCharacter", "\tMOVE.B #'A',D0", ".........SSS..."},
};
INSTANTIATE_TEST_SUITE_P(Literals, ColouringTest, ::testing::ValuesIn(kLiteralCases), kName);

const Case kCommentCases[] = {
    {"LineCommentRunsToLineEnd", "x; // int\nint", "...CCCCCC\nTTT"},
    {"LineCommentContinuedByBackslash", "// a\\\nint\nint", "CCCCC\nCCC\nTTT"},
    {"LineCommentContinuedByBackslashBeforeCrLf", "// a\\\r\nint\r\nint", "CCCCCC\nCCCC\nTTT"},
    {"BackslashNotLastDoesNotContinue", "// a\\x\nint", "CCCCCC\nTTT"},
    {"BlockCommentOnOneLine", "/* int */ int", "CCCCCCCCC.TTT"},
    {"BlockCommentOverLines", "/* a\n b */ int", "CCCC\nCCCCC.TTT"},
    {"UnterminatedBlockCommentRunsToTheEnd", "/* a\nint\n\nchar", "CCCC\nCCC\n\nCCCC"},
    {"SlashAsteriskSlashDoesNotClose", "/*/ int */", "CCCCCCCCCC"},
    {"EmptyBlockComment", "/**/ int", "CCCC.TTT"},
    {"LineCommentInsideBlockComment", "/* // */ int", "CCCCCCCC.TTT"},
    {"BlockOpeningInsideLineComment", "// /*\nint", "CCCCC\nTTT"},
    {"LoneSlashAndAsteriskSlashAreOrdinary", "a / */ int", ".......TTT"},
    {"AssemblySemicolonCommentIsNotColoured", "\tMOVE.L D0,D1 ; int here", "................TTT....."},
    // An apostrophe in an assembly comment opens a literal that ends with its line.
    {"OpenLiteralEndsWithItsLine", "; don't\nint", ".....SS\nTTT"},
    {"OpenStringEndsWithItsLine", "\"abc\nint", "SSSS\nTTT"},
    {"StringContinuedByBackslash", "\"ab\\\nint\" x", "SSSS\nSSSS.."},
};
INSTANTIATE_TEST_SUITE_P(Comments, ColouringTest, ::testing::ValuesIn(kCommentCases), kName);

// The state one line leaves for the next, and the runs of the line itself.
struct LineCase {
    const char* name;
    std::string line;
    LineState entry;
    LineState exit;
    std::vector<Span> spans;
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
    EXPECT_EQ(spans, c.spans);
}

using L = LineState;
using S = Style;
const LineCase kLineCases[] = {
    {"BlockCommentCloses", "still */ int", L::BlockComment, L::Code, {{0, 8, S::Comment}, {9, 3, S::TypeName}}},
    {"EmptyLineInsideBlockComment", "", L::BlockComment, L::BlockComment, {}},
    {"BlockCommentClosesAndReopens",
     "a */ b /* c",
     L::BlockComment,
     L::BlockComment,
     {{0, 4, S::Comment}, {7, 4, S::Comment}}},
    {"LineCommentWithBackslashGoesOn", "// x\\", L::Code, L::LineComment, {{0, 5, S::Comment}}},
    {"ContinuedLineCommentColoursTheWholeLine", "int", L::LineComment, L::Code, {{0, 3, S::Comment}}},
    {"StringWithBackslashGoesOn", "\"abc\\\r", L::Code, L::String, {{0, 6, S::String}}},
    {"ContinuedStringCloses", "x\" int", L::String, L::Code, {{0, 2, S::String}, {3, 3, S::TypeName}}},
    {"LiteralWithBackslashGoesOn", "'a\\", L::Code, L::CharLiteral, {{0, 3, S::String}}},
    {"ClosedCommentEndingInBackslashDoesNotCarry", "/* x */ \\", L::Code, L::Code, {{0, 7, S::Comment}}},
};
INSTANTIATE_TEST_SUITE_P(Lines, LineStateTest, ::testing::ValuesIn(kLineCases), kName);

// Whatever the bytes, runs stay inside their line, in order, without overlaps or empty runs.
TEST(ScannerRobustness, RandomTextGivesWellFormedRuns) {
    static constexpr char kBytes[] = "\0\t\n\r ()*;[]{}/\\\"'#_,=abcdefghilnorstuvwINT\x80\xE9\xFF";
    const std::string alphabet(kBytes, sizeof kBytes - 1);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 2000; ++round) {
        std::string text(static_cast<std::size_t>(rng() % 200), ' ');
        for (char& c : text) c = alphabet[pick(rng)];
        std::size_t end = 0;
        for (const Span& span : scanText(text)) {
            ASSERT_GT(span.length, 0u) << "round " << round;
            ASSERT_GE(span.start, end) << "round " << round;
            ASSERT_LE(span.start + span.length, text.size()) << "round " << round;
            ASSERT_EQ(text.substr(span.start, span.length).find('\n'), std::string::npos) << "round " << round;
            end = span.start + span.length;
        }
    }
}

}  // namespace
}  // namespace korvan::shell::syntax
