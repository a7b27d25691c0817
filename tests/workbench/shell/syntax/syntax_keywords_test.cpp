// Tests of the keyword tables: which words are keywords, in which group, and which are not.
#include "syntax/syntax_keywords.h"

#include <gtest/gtest.h>

#include <optional>

namespace korvan::shell::syntax {
namespace {

// Near misses of keywords: other case, missing or extra characters, words of other dialects.
class NotAKeywordTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NotAKeywordTest, IsNotFound) { EXPECT_EQ(keywordStyle(GetParam()), std::nullopt); }

INSTANTIATE_TEST_SUITE_P(Words, NotAKeywordTest,
                         ::testing::Values("", "#if", "define", "Void", "word", "signed",
                                           "__asm__", "mai", "whilee", "#", "_"));

TEST(KeywordTables, EveryGroupWordIsFoundWithItsGroupsStyle) {
    int words = 0;
    for (const KeywordGroup& group : kKeywordGroups) {
        std::string_view rest = group.words;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const std::string_view word = rest.substr(0, comma);
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
            EXPECT_EQ(keywordStyle(word), group.style) << word;
            EXPECT_TRUE(canStartKeyword(static_cast<unsigned char>(word.front()))) << word;
            EXPECT_LE(word.size(), longestKeyword()) << word;
            ++words;
        }
    }
    EXPECT_EQ(words, 44 + 12 + 13);
}

TEST(KeywordTables, OnlyKeywordInitialsCanStartAKeyword) {
    for (unsigned char c : std::string_view("xyzXYZ0123456789-+\"'/ \t(\x80\xE9"))
        EXPECT_FALSE(canStartKeyword(c)) << int(c);
}

TEST(KeywordTables, DelimitersAreExactlyTheListedBytes) {
    int count = 0;
    for (int c = 0; c < 256; ++c)
        count += isDelimiter(static_cast<unsigned char>(c)) ? 1 : 0;
    EXPECT_EQ(count, 13);
    for (unsigned char c : std::string_view("\t\n\r ()*;[]{}"))
        EXPECT_TRUE(isDelimiter(c)) << int(c);
    EXPECT_TRUE(isDelimiter(0));
    for (unsigned char c : std::string_view(",.:=<>/\\\"'#_+-&|!\x80\xFF"))
        EXPECT_FALSE(isDelimiter(c)) << int(c);
}

}  // namespace
}  // namespace korvan::shell::syntax
