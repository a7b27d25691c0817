// Tests of the colouring scanners: for C delimiters, literals, comments, case, keywords,
// multi-line state; for assembly the assembler's line split on tricky lines.
#include "syntax/asm_scanner.h"
#include "syntax/syntax_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace korvan::shell::syntax {
namespace {

// One letter per byte of the text: the style of the run covering it (Default, Comment, String,
// Keyword, Preprocessor, TypeName, Directive, Register, Number, Label); line feeds stay.
std::string render(std::string_view text, std::vector<Span> (*scan)(std::string_view) = scanText) {
    std::string out(text.size(), '.');
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') out[i] = '\n';
    for (const Span& span : scan(text))
        for (std::size_t i = span.start; i < span.start + span.length; ++i)
            out[i] = ".CSKPTDRNL"[static_cast<int>(span.style)];
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

class AssemblyColouringTest : public ::testing::TestWithParam<Case> {};

TEST_P(AssemblyColouringTest, StylesEveryByte) {
    const Case& c = GetParam();
    ASSERT_EQ(c.text.size(), c.expected.size()) << "bad case " << c.name;
    EXPECT_EQ(render(c.text, scanAssemblyText), c.expected) << "text: " << c.text;
}

// Lines read as the assembler splits them: D directive, K mnemonic, L label, R register,
// N number, S string, C comment.
const Case kAssemblyCases[] = {
    {"StarCommentWithApostrophe", "* l'adresse du port", "CCCCCCCCCCCCCCCCCCC"},
    {"IndentedStarComment", "  * it's 'here", "..CCCCCCCCCCCC"},
    {"StarCommentAfterALabel", "FIN * c'est fini", "LLL.CCCCCCCCCCCC"},
    {"CommentAfterOperandsWithApostrophe", "\tMOVE.L #$00FFF000,A0 ; l'adresse", ".KKKKKK..NNNNNNNNN.RR.CCCCCCCCCCC"},
    {"CWordsInACommentStayComment", "\tCLR.W D0 if (int) while", ".KKKKK.RR.CCCCCCCCCCCCCC"},
    {"CommentRightAfterAnInstructionWithoutOperands", "\tRTS return l'appelant", ".KKK.CCCCCCCCCCCCCCCCC"},
    {"EndIgnoresWhatFollows", "\tEND START", ".DDD.CCCCC"},
    {"MnemonicInColumnOneIsALabel", "NOP", "LLL"},
    {"LabelNamedLikeAMnemonicThenOneIndeed", "START NOP", "LLLLL.KKK"},
    {"MnemonicWordInColumnOneThenNoMnemonic", "MOVE D0,D1", "LLLL......"},
    {"IndentedLabelNeedsAColon", "  LOOP: dbra d1,loop", "..LLLLL.KKKK.RR....."},
    {"SemicolonIsNoCommentMark", "; boucle d'attente", "L................."},
    {"StringWithDoubledQuote", "\tDC.B 'it''s',0", ".DDDD.SSSSSSS.N"},
    {"BlankInsideAStringDoesNotEndTheField", "\tDC.B 'a b',0 fin", ".DDDD.SSSSS.N.CCC"},
    {"UnclosedStringRunsToTheEnd", "\tMOVE.B #'A,D0 x", ".KKKKKK..SSSSSSS"},
    {"NumbersOfEveryBase", "\tDC.W $1F,%101,@17,42,-3", ".DDDD.NNN.NNNN.NNN.NN..N"},
    {"PrefixWithoutItsDigitsIsNoNumber", "\tDC.L $G,%2,@8", ".DDDD........."},
    {"LowerCaseMoveLong", "\tmove.l d0,(a0)+", ".KKKKKK.RR..RR.."},
    {"UnknownSuffixLeftUncoloured", "\tMOVE.X D0,D1", ".KKKK...RR.RR"},
    {"UnknownMnemonicStopsTheLine", "\tMOVX.W D0,D1 ! no such", "......................."},
    {"GarbageAfterTheMnemonicStopsTheLine", "\tMOVE,D0 x", ".........."},
    {"LongMnemonicCutToSevenLetters", "\tILLEGALX", ".KKKKKKKK"},
    {"IndexRegisterWithSize", "\tLEA 8(PC,D0.W),A1", ".KKK.N.RR.RRRR..RR"},
    {"NamesContainingRegistersOrDigits", "\tMOVE.L D0X,LOOP1", ".KKKKKK.........."},
    {"RegisterListsAndPredecrement", "\tMOVEM.L D0-D7/A0-A6,-(SP)", ".KKKKKKK.RR.RR.RR.RR...RR."},
    {"SpecialRegisters", "\tMOVEC VBR,D0\n\tANDI #$FF,CCR\n\tMOVE usp,a1",
     ".KKKKK.RRR.RR\n.KKKK..NNN.RRR\n.KKKK.RRR.RR"},
    {"IncludeNameThenComment", "\tINCLUDE defs.def les d'efinitions", ".DDDDDDD..........CCCCCCCCCCCCCCCC"},
    {"CarriageReturnIsNotColoured", "\tRTS\r", ".KKK."},
};
INSTANTIATE_TEST_SUITE_P(Assembly, AssemblyColouringTest, ::testing::ValuesIn(kAssemblyCases), kName);

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
