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
    for (const korvan::test::Row& row : korvan::test::readTable(QUBRIX_DRIVER_DATA "/section_selectors.txt", 3)) {
        SectionManager m(0x802000, 0x803000);
        m.advance(0x10);
        m.setAbsolute(0x40);
        EXPECT_EQ(m.select(row[0]), row[1] == "yes") << row[0].substr(0, 8);
        EXPECT_EQ(m.absoluteMode(), row[1] != "yes") << row[0].substr(0, 8);
        EXPECT_EQ(m.value(0), static_cast<int32_t>(korvan::test::hex(row[2]))) << row[0].substr(0, 8);
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
    for (const korvan::test::Row& row : korvan::test::readTable(QUBRIX_DRIVER_DATA "/past_top.txt", 5)) {
        const auto start = static_cast<int32_t>(korvan::test::hex(row[2]));
        SectionManager m(start, 0x1000);
        if (row[1] == "yes") m.setAbsolute(start);
        std::istringstream advances(row[3]);
        for (std::string n; advances >> n;) m.advance(static_cast<int32_t>(korvan::test::hex(n)));
        EXPECT_EQ(m.pastTop(), row[4] == "yes") << row[0];
        m.resetForPass();
        EXPECT_FALSE(m.pastTop()) << row[0] << ": every pass starts afresh";
    }
}

TEST(SectionsTest, ParseOrigin) {
    for (const korvan::test::Row& row : korvan::test::readTable(QUBRIX_DRIVER_DATA "/origins.txt", 2)) {
        const int32_t expected = static_cast<int32_t>(korvan::test::hex(row[1] == "default" ? "802000" : row[1]));
        EXPECT_EQ(qubrix::ParseOrigin(row[0], 0x802000), expected) << '"' << row[0] << '"';
    }
}

}  // namespace
