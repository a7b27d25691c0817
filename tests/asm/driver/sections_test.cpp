// Sections: selectors, evening out, the overlap rule and the parsing of origin settings.
#include <gtest/gtest.h>

#include <string>

#include "driver/sections.h"

namespace {

using qubrix::SectionManager;

TEST(SectionsTest, SelectorsByNumberAndName)
{
    const struct {
        std::string selector;
        bool found;
        int32_t location;  // afterwards, after 0x10 bytes of code and an ORG $40
    } cases[] = {
        {"9", true, 0x802010},  {"CODE", true, 0x802010}, {"15", true, 0x803000},
        {"VAR", true, 0x803000}, {"12", false, 0x40},      {"code", false, 0x40},
        {"", false, 0x40},      {std::string(100000, 'V'), false, 0x40},
    };
    for (const auto& c : cases) {
        SectionManager m(0x802000, 0x803000);
        m.advance(0x10);
        m.setAbsolute(0x40);
        EXPECT_EQ(m.select(c.selector), c.found) << c.selector.substr(0, 8);
        EXPECT_EQ(m.absoluteMode(), !c.found) << c.selector.substr(0, 8);
        EXPECT_EQ(m.value(0), c.location) << c.selector.substr(0, 8);
    }
}

TEST(SectionsTest, EvenOutMovesEveryOddSection)
{
    SectionManager m(0x802000, 0x803000);
    m.advance(1);
    m.select("VAR");
    m.advance(3);
    m.evenOut();
    EXPECT_EQ(m.value(0), 0x803004);
    EXPECT_EQ(m.sections()[1].size(), 2) << "the code section too";
}

TEST(SectionsTest, OverlapRule)
{
    const struct {
        const char* name;
        int32_t code, var, codeSize, varSize;
        bool overlap;
    } cases[] = {
        {"0xFFF bytes of code", 0x802000, 0x803000, 0xFFF, 0, false},
        {"code ends exactly at the variables' origin", 0x802000, 0x803000, 0x1000, 0, true},
        {"same origin, both empty", 0x1000, 0x1000, 0, 0, true},
        {"variables below code, growing into it", 0x2000, 0x1000, 0x10, 0x1000, true},
        {"variables below code, stopping short", 0x2000, 0x1000, 0x10, 0xFFF, false},
        {"variables inside the code", 0x1000, 0x1800, 0x1000, 0x10, true},
    };
    for (const auto& c : cases) {
        SectionManager m(c.code, c.var);
        m.advance(c.codeSize);
        m.select("VAR");
        m.advance(c.varSize);
        EXPECT_EQ(m.overlapTest(), c.overlap) << c.name;
    }
}

TEST(SectionsTest, ParseOrigin)
{
    const int32_t fallback = 0x802000;
    const std::pair<const char*, int32_t> cases[] = {
        {"803000", 0x803000},   {"0x1000", 0x1000},    {"0X1000", 0x1000},  {"abcdef", 0xABCDEF},
        {" 400 ", 0x400},       {"FFFFFFFF", -1},      {"0", 0},            {"00000000400", 0x400},
        {"", fallback},         {"0x", fallback},      {"12G", fallback},   {"$1000", fallback},
        {"100000000", fallback}, {"-1", fallback},     {"10 20", fallback},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(qubrix::ParseOrigin(text, fallback), expected) << '"' << text << '"';
}

}  // namespace
