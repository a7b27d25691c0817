// Sections: selection, absolute mode, evening out, the memory map and the overlap rule, and the
// parsing of origin settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/sections.h"
#include "test_files.h"

using qubrix::SectionManager;

namespace {

std::string Map(const SectionManager& m)
{
    qubrix::test::TempDir dir;
    const std::string path = dir / "map.txt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    m.writeMap(f);
    std::fclose(f);
    return qubrix::test::ReadFile(path);
}

TEST(SectionsTest, NewManagerStartsInCodeAtItsOrigin)
{
    SectionManager m(0x802000, 0x803000);
    EXPECT_FALSE(m.absoluteMode());
    EXPECT_EQ(m.value(0), 0x802000);
    EXPECT_EQ(m.value(1), 0x802000);
    ASSERT_EQ(m.sections().size(), 2u);
    EXPECT_EQ(m.sections()[0].name(), "VAR");
    EXPECT_EQ(m.sections()[1].name(), "CODE");
}

TEST(SectionsTest, SelectorsByNumberAndName)
{
    struct Case {
        const char* selector;
        bool found;
        int32_t location;  // value 0 afterwards
    };
    const Case cases[] = {
        {"9", true, 0x802010},  {"CODE", true, 0x802010}, {"15", true, 0x803000},
        {"VAR", true, 0x803000}, {"12", false, 0x40},      {"code", false, 0x40},
        {"CODEXYZW", false, 0x40}, {"", false, 0x40},
    };
    for (const Case& c : cases) {
        SectionManager m(0x802000, 0x803000);
        m.advance(0x10);
        m.setAbsolute(0x40);
        EXPECT_EQ(m.select(c.selector), c.found) << c.selector;
        EXPECT_EQ(m.absoluteMode(), !c.found) << c.selector;
        EXPECT_EQ(m.value(0), c.location) << c.selector;
    }
}

TEST(SectionsTest, LongSelectorIsCutWithoutOverrun)
{
    SectionManager m(0x802000, 0x803000);
    const std::string longName(100000, 'V');
    EXPECT_FALSE(m.select(longName));
    EXPECT_TRUE(m.absoluteMode());
}

TEST(SectionsTest, AbsoluteModeAfterOrgBelongsToNoSection)
{
    SectionManager m(0x802000, 0x803000);
    m.advance(4);
    m.setAbsolute(0x1000);
    m.advance(6);
    EXPECT_EQ(m.value(0), 0x1006);
    EXPECT_EQ(m.value(1), 0x1006) << "absolute mode answers its location for both";
    m.evenOut();
    EXPECT_EQ(m.value(0), 0x1006);
    EXPECT_EQ(Map(m), "\r\nNom\tdebut\tfin\ttaille\r\nVAR\t803000\t803000\t0\r\nCODE\t802000\t802004\t4\r\n");
    EXPECT_FALSE(m.overlapTest());
}

TEST(SectionsTest, EvenOutMovesEveryOddSection)
{
    SectionManager m(0x802000, 0x803000);
    m.advance(1);
    m.select("VAR");
    m.advance(3);
    m.evenOut();
    EXPECT_EQ(m.value(0), 0x803004);
    m.select("CODE");
    EXPECT_EQ(m.value(0), 0x802002);
    EXPECT_EQ(m.sections()[1].size(), 2);
    EXPECT_EQ(m.sections()[0].size(), 4);
}

TEST(SectionsTest, ResetForPassReturnsToTheStart)
{
    SectionManager m(0x802000, 0x803000);
    m.advance(0x20);
    m.select("VAR");
    m.advance(0x10);
    m.setAbsolute(0x500);
    m.resetForPass();
    EXPECT_FALSE(m.absoluteMode());
    EXPECT_EQ(m.value(0), 0x802000);
    m.setAbsolute(0);
    m.advance(0);
    EXPECT_EQ(m.value(0), 0) << "absolute location back to 0";
    EXPECT_EQ(m.sections()[0].size(), 0);
    EXPECT_EQ(m.sections()[1].size(), 0);
}

TEST(SectionsTest, MapShowsOriginEndAndSizeInLowerCaseHex)
{
    SectionManager m(0x802000, 0x803000);
    m.advance(0x100);
    EXPECT_EQ(Map(m), "\r\nNom\tdebut\tfin\ttaille\r\nVAR\t803000\t803000\t0\r\nCODE\t802000\t802100\t100\r\n");
    SectionManager high(static_cast<int32_t>(0xFFFFFF00u), 0xABC);
    EXPECT_EQ(Map(high), "\r\nNom\tdebut\tfin\ttaille\r\nVAR\tabc\tabc\t0\r\nCODE\tffffff00\tffffff00\t0\r\n");
}

TEST(SectionsTest, OverlapRule)
{
    struct Case {
        const char* name;
        int32_t code, var, codeSize, varSize;
        bool overlap;
    };
    const Case cases[] = {
        {"0x100 bytes of code", 0x802000, 0x803000, 0x100, 0, false},
        {"0xFFF bytes of code", 0x802000, 0x803000, 0xFFF, 0, false},
        {"code ends exactly at the variables' origin", 0x802000, 0x803000, 0x1000, 0, true},
        {"0x1001 bytes of code", 0x802000, 0x803000, 0x1001, 0, true},
        {"same origin, both empty", 0x1000, 0x1000, 0, 0, true},
        {"variables below code, growing into it", 0x2000, 0x1000, 0x10, 0x1000, true},
        {"variables below code, stopping short", 0x2000, 0x1000, 0x10, 0xFFF, false},
        {"variables inside the code", 0x1000, 0x1800, 0x1000, 0x10, true},
    };
    for (const Case& c : cases) {
        SectionManager m(c.code, c.var);
        m.advance(c.codeSize);
        m.select("VAR");
        m.advance(c.varSize);
        EXPECT_EQ(m.overlapTest(), c.overlap) << c.name;
    }
}

TEST(SectionsTest, ParseOrigin)
{
    struct Case {
        const char* text;
        int32_t expected;
    };
    const int32_t fallback = 0x802000;
    const Case cases[] = {
        {"803000", 0x803000},   {"0x1000", 0x1000},    {"0X1000", 0x1000},  {"abcdef", 0xABCDEF},
        {" 400 ", 0x400},       {"FFFFFFFF", -1},      {"0", 0},            {"00000000400", 0x400},
        {"", fallback},         {"0x", fallback},      {"12G", fallback},   {"$1000", fallback},
        {"100000000", fallback}, {"-1", fallback},     {"10 20", fallback},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qubrix::ParseOrigin(c.text, fallback), c.expected) << '"' << c.text << '"';
}

}  // namespace
