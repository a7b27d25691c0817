// The error list's reading of its line column, which decides whether a double-click jumps.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "error_rows.h"

using korvan::build::jumpTargetColumn;
using korvan::build::jumpTargetLine;
using korvan::build::lineColumnText;
using korvan::build::parseLineColumn;

namespace {

TEST(LineColumn, ReadsLikePercentD) {
    const std::optional<int> none;
    // clang-format off
    // text                              value as "%d" reads it, 0-based line a double-click goes to
    const std::tuple<std::string, int, std::optional<int>> cases[] = {
        {"1",                     1,       0},
        {"42",                    42,      41},
        {" \t17",                 17,      16},            // leading blanks
        {"+5",                    5,       4},
        {"12abc",                 12,      11},            // trailing text ignored
        {"007",                   7,       6},
        {"0",                     0,       none},
        {"-1",                    -1,      none},          // no line of the library
        {"",                      0,       none},
        {"abc",                   0,       none},
        {"-",                     0,       none},
        {"- 3",                   0,       none},          // blank between sign and digits
        {"2147483647",            INT_MAX, INT_MAX - 1},
        {"99999999999999999999",  INT_MAX, INT_MAX - 1},   // beyond int: clamped
        {"-2147483648",           INT_MIN, none},
        {"-99999999999999999999", INT_MIN, none},
    };
    // clang-format on
    for (const auto& [text, value, target] : cases) {
        EXPECT_EQ(parseLineColumn(text), value) << '"' << text << '"';
        EXPECT_EQ(jumpTargetLine(text), target) << '"' << text << '"';
    }
}

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
