// The error list's reading of its line column, which decides whether a double-click jumps.
#include <gtest/gtest.h>

#include <tuple>

#include <climits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "error_rows.h"

using korvan::build::jumpTargetColumn;
using korvan::build::jumpTargetLine;
using korvan::build::lineColumnText;
using korvan::build::parseLineColumn;

namespace {

struct LineCase {
    const char* name;
    std::string text;
    int value;                  // as "%d" reads it
    std::optional<int> target;  // 0-based line a double-click goes to

    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class LineColumn : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineColumn, ReadsLikePercentD) {
    const LineCase& c = GetParam();
    EXPECT_EQ(parseLineColumn(c.text), c.value);
    EXPECT_EQ(jumpTargetLine(c.text), c.target);
}

// clang-format off
// name                        text                 value      target
INSTANTIATE_TEST_SUITE_P(
    Rows, LineColumn,
    ::testing::Values(
        LineCase{"FirstLine",           "1",                 1,         0},
        LineCase{"PlainNumber",         "42",                42,        41},
        LineCase{"LeadingBlanks",       " \t17",             17,        16},
        LineCase{"PlusSign",            "+5",                5,         4},
        LineCase{"TrailingTextIgnored", "12abc",             12,        11},
        LineCase{"LeadingZeros",        "007",               7,         6},
        LineCase{"Zero",                "0",                 0,         std::nullopt},
        LineCase{"NoLineOfTheLibrary",  "-1",                -1,        std::nullopt},
        LineCase{"Empty",               "",                  0,         std::nullopt},
        LineCase{"NotANumber",          "abc",               0,         std::nullopt},
        LineCase{"SignOnly",            "-",                 0,         std::nullopt},
        LineCase{"BlankBeforeDigitsAfterSign", "- 3",        0,         std::nullopt},
        LineCase{"LargestInt",          "2147483647",        INT_MAX,   INT_MAX - 1},
        LineCase{"BeyondIntClamped",    "99999999999999999999", INT_MAX, INT_MAX - 1},
        LineCase{"SmallestInt",         "-2147483648",       INT_MIN,   std::nullopt},
        LineCase{"BelowIntClamped",     "-99999999999999999999", INT_MIN, std::nullopt}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });
// clang-format on

// A diagnostic without a source line (the section overlap, a write failure: -1; a file that
// did not open: 0) shows a blank line column, never a number to jump to.
TEST(LineColumnText, NumberOrBlank) {
    const std::pair<int, const char*> cases[] = {
        {1, "1"}, {42, "42"}, {INT_MAX, "2147483647"}, {0, ""}, {-1, ""}, {INT_MIN, ""},
    };
    for (const auto& [line, text] : cases) {
        EXPECT_EQ(lineColumnText(line), text) << line;
        EXPECT_EQ(jumpTargetLine(lineColumnText(line)), line > 0 ? std::optional<int>(line - 1) : std::nullopt) << line;
    }
    // A compiler's diagnostic shows its column; the jump reads both back.
    const std::tuple<int, int, const char*, int> withColumn[] = {
        {12, 5, "12:5", 5},
        {12, 0, "12", 0},
        {0, 5, "", 0},
        {-1, 3, "", 0},
    };
    for (const auto& [line, column, text, target] : withColumn) {
        EXPECT_EQ(lineColumnText(line, column), text);
        EXPECT_EQ(jumpTargetColumn(text), target) << text;
    }
    EXPECT_EQ(jumpTargetLine("12:5"), 11);
}

}  // namespace
