// Sections: selectors, evening out, the overlap rule and the parsing of origin settings.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/sections.h"
#include "test_files.h"

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

TEST(SectionsTest, OverlapRule) {
    for (const qubrix::test::Case& c : qubrix::test::ReadCases(QUBRIX_DRIVER_DATA "/overlaps.txt")) {
        uint32_t code = 0, codeSize = 0, var = 0, varSize = 0;
        std::istringstream(c.get("code")) >> std::hex >> code >> codeSize;
        std::istringstream(c.get("var")) >> std::hex >> var >> varSize;
        SectionManager m(static_cast<int32_t>(code), static_cast<int32_t>(var));
        m.advance(static_cast<int32_t>(codeSize));
        m.select("VAR");
        m.advance(static_cast<int32_t>(varSize));
        EXPECT_EQ(m.overlapTest(), c.has("overlap")) << c.name;
        EXPECT_EQ(m.overlapText(), c.get("overlap")) << c.name;
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
    // clang-format off
    const std::pair<const char*, int32_t> cases[] = {
        {"803000", 0x803000}, {"0x1000", 0x1000}, {"0X1000", 0x1000}, {"abcdef", 0xABCDEF}, {" 400 ", 0x400},
        {"FFFFFFFF", -1}, {"0", 0}, {"00000000400", 0x400}, {"", fallback}, {"0x", fallback}, {"12G", fallback},
        {"$1000", fallback}, {"100000000", fallback}, {"-1", fallback}, {"10 20", fallback},
    };
    // clang-format on
    for (auto [text, expected] : cases) EXPECT_EQ(qubrix::ParseOrigin(text, fallback), expected) << '"' << text << '"';
}

}  // namespace
