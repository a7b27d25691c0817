// Sections: selectors, evening out, the overlap rule and the parsing of origin settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/sections.h"

namespace {

using qubrix::SectionManager;

TEST(SectionsTest, SelectorsByNumberAndName) {
    const struct {
        std::string selector;
        bool found;
        int32_t location;  // afterwards, after 0x10 bytes of code and an ORG $40
        // clang-format off
    } cases[] = {
        {"9", true, 0x802010},  {"CODE", true, 0x802010}, {"15", true, 0x803000},
        {"VAR", true, 0x803000}, {"12", false, 0x40},      {"code", false, 0x40},
        {"", false, 0x40},      {std::string(100000, 'V'), false, 0x40},
    };
    // clang-format on
    for (const auto& c : cases) {
        SectionManager m(0x802000, 0x803000);
        m.advance(0x10);
        m.setAbsolute(0x40);
        EXPECT_EQ(m.select(c.selector), c.found) << c.selector.substr(0, 8);
        EXPECT_EQ(m.absoluteMode(), !c.found) << c.selector.substr(0, 8);
        EXPECT_EQ(m.value(0), c.location) << c.selector.substr(0, 8);
    }
}

TEST(SectionsTest, EvenOutMovesEveryOddSection) {
    SectionManager m(0x802000, 0x803000);
    m.advance(1);
    m.select("VAR");
    m.advance(3);
    m.evenOut();
    EXPECT_EQ(m.value(0), 0x803004);
    EXPECT_EQ(m.sections()[1].size(), 2) << "the code section too";
}

// Sections are half-open ranges [origin, location): an empty section overlaps nothing and
// adjacent sections share no byte. An overlap names both ranges, the lower one first.
TEST(SectionsTest, OverlapRule) {
    const struct {
        const char* name;
        uint32_t code, var;
        int32_t codeSize, varSize;
        const char* overlap;  // the overlap's text, empty for none
        // clang-format off
    } cases[] = {
        {"0xFFF bytes of code", 0x802000, 0x803000, 0xFFF, 0, ""},
        {"code ends exactly at the empty variables' origin", 0x802000, 0x803000, 0x1000, 0, ""},
        {"code past 4 KiB, no variable", 0x802000, 0x803000, 0x1400, 0, ""},
        {"code ends exactly where the variables start", 0x802000, 0x803000, 0x1000, 0x10, ""},
        {"code one byte into the variables", 0x802000, 0x803000, 0x1001, 0x10, "code $802000-$803001, var $803000-$803010"},
        {"same origin, both empty", 0x1000, 0x1000, 0, 0, ""},
        {"same origin, code empty", 0x1000, 0x1000, 0, 0x10, ""},
        {"same origin, both used", 0x1000, 0x1000, 2, 2, "var $1000-$1002, code $1000-$1002"},
        {"variables below code, growing into it", 0x2000, 0x1000, 0x10, 0x1001, "var $1000-$2001, code $2000-$2010"},
        {"variables below code, ending where it starts", 0x2000, 0x1000, 0x10, 0x1000, ""},
        {"variables inside the code", 0x1000, 0x1800, 0x1000, 0x10, "code $1000-$2000, var $1800-$1810"},
        {"code below $80000000 reaching into variables above it", 0x7FFFFF00, 0x80000000u, 0x200, 0x10,
         "code $7FFFFF00-$80000100, var $80000000-$80000010"},
        {"variables above $80000000 growing into code", 0x90000000u, 0x8FFFFF00u, 0x10, 0x200,
         "var $8FFFFF00-$90000100, code $90000000-$90000010"},
        {"both above $80000000, apart", 0x90000000u, 0xA0000000u, 0x10, 0x10, ""},
        {"code up to the top of the address space", 0xFFFFFF00u, 0xFFFFFFF0u, 0x100, 0x4,
         "code $FFFFFF00-$100000000, var $FFFFFFF0-$FFFFFFF4"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SectionManager m(static_cast<int32_t>(c.code), static_cast<int32_t>(c.var));
        m.advance(c.codeSize);
        m.select("VAR");
        m.advance(c.varSize);
        EXPECT_EQ(m.overlapTest(), *c.overlap != '\0') << c.name;
        EXPECT_EQ(m.overlapText(), c.overlap) << c.name;
    }
}

TEST(SectionsTest, RunningPastTheTopOfTheAddressSpaceIsSeen) {
    const struct {
        const char* name;
        bool absolute;
        uint32_t start;
        std::vector<int32_t> advances;
        bool pastTop;
        // clang-format off
    } cases[] = {
        {"up to the last byte", false, 0xFFFFFFF0u, {0x10}, false},
        {"one byte beyond", false, 0xFFFFFFF0u, {0x10, 1}, true},
        {"one step across", false, 0xFFFFFFF0u, {0x20}, true},
        {"ORG near the top, then a block", true, 0xFFFFFF00u, {0x200}, true},
        {"a huge block from low memory", true, 0x1000u, {static_cast<int32_t>(0xFFFFF000u) + 1}, true},
        {"ORG near the top, staying below", true, 0xFFFFFF00u, {0x80, 0x80}, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SectionManager m(static_cast<int32_t>(c.start), 0x1000);
        if (c.absolute) m.setAbsolute(static_cast<int32_t>(c.start));
        for (int32_t n : c.advances) m.advance(n);
        EXPECT_EQ(m.pastTop(), c.pastTop) << c.name;
        m.resetForPass();
        EXPECT_FALSE(m.pastTop()) << c.name << ": every pass starts afresh";
    }
}

TEST(SectionsTest, ParseOrigin) {
    const int32_t fallback = 0x802000;
    const std::pair<const char*, int32_t> cases[] = {
        {"803000", 0x803000},
        {"0x1000", 0x1000},
        {"0X1000", 0x1000},
        {"abcdef", 0xABCDEF},
        {" 400 ", 0x400},
        {"FFFFFFFF", -1},
        {"0", 0},
        {"00000000400", 0x400},
        {"", fallback},
        {"0x", fallback},
        {"12G", fallback},
        {"$1000", fallback},
        {"100000000", fallback},
        {"-1", fallback},
        {"10 20", fallback},
    };
    for (auto [text, expected] : cases) EXPECT_EQ(qubrix::ParseOrigin(text, fallback), expected) << '"' << text << '"';
}

}  // namespace
