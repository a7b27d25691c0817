// The listing writer: line layout, the cut rule for full lines, equates, class-text
// annotations and the summary lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/diagnostics.h"
#include "driver/listing.h"
#include "test_files.h"

using qubrix::ListingWriter;
using qubrix::test::CrLfLines;
using qubrix::test::ReadFile;
using qubrix::test::TempDir;

namespace {

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedLanguage = qubrix::CatalogueLanguage();
        ASSERT_TRUE(m_writer.open(m_dir / "t.lis"));
    }
    void TearDown() override { qubrix::SetCatalogueLanguage(m_savedLanguage); }

    std::vector<std::string> lines()
    {
        m_writer.close();
        return CrLfLines(ReadFile(m_dir / "t.lis"));
    }

    TempDir m_dir;
    ListingWriter m_writer;
    qubrix::Language m_savedLanguage = qubrix::Language::French;
};

TEST_F(ListingTest, InstructionLineLayout)
{
    m_writer.startLine(0x802000);
    ASSERT_TRUE(m_writer.listObj(0x3200, 2));
    m_writer.writeLine(12, "\tMOVE.W D0,D1", 0);
    const std::string left = "00802000 3200 ";
    EXPECT_EQ(lines(), (std::vector<std::string>{left + std::string(41 - left.size(), ' ') +
                                                 "   12\t\tMOVE.W D0,D1"}));
}

TEST_F(ListingTest, LineWithoutCodeShowsLocationOnly)
{
    m_writer.startLine(0xABCDEF);
    m_writer.writeLine(1, "", 0);
    m_writer.startLine(0x10);
    m_writer.writeLine(123456, "* COMMENT", 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "00ABCDEF " + std::string(32, ' ') + "    1\t",
                           "00000010 " + std::string(32, ' ') + "123456\t* COMMENT"}));
}

struct CutCase {
    const char* name;
    int size;
    int count;
    std::string expected;
};

TEST_F(ListingTest, FullLinesAreCutWithDots)
{
    const CutCase cases[] = {
        {"eleven bytes still fit", 1, 11, "00000000 00 01 02 03 04 05 06 07 08 09 0A "},
        {"twelve bytes: nine, a digit and dots", 1, 12, "00000000 00 01 02 03 04 05 06 07 08 0..."},
        {"twenty bytes look the same", 1, 20, "00000000 00 01 02 03 04 05 06 07 08 0..."},
        {"six words still fit", 2, 6, "00000000 0000 0001 0002 0003 0004 0005 "},
        {"seven words: five, a digit and dots", 2, 7, "00000000 0000 0001 0002 0003 0004 0..."},
        {"four long words still fit", 4, 4,
         "00000000 00000000 00000001 00000002 00000003 "},
        {"five long words: three, a digit and dots", 4, 5,
         "00000000 00000000 00000001 00000002 0..."},
    };
    for (const CutCase& c : cases) {
        m_writer.startLine(0);
        for (int i = 0; i < c.count; ++i)
            ASSERT_TRUE(m_writer.listObj(static_cast<uint32_t>(i), c.size));
        EXPECT_EQ(m_writer.buffer(), c.expected) << c.name;
    }
}

TEST_F(ListingTest, LongLeftPartIsWrittenWhole)
{
    m_writer.startLine(0);
    for (uint32_t v = 0; v < 4; ++v)
        m_writer.listObj(0x11111111 * v, 4);
    m_writer.writeLine(7, "X", 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "00000000 00000000 11111111 22222222 33333333     7\tX"}));
}

TEST_F(ListingTest, EquateShowsItsValue)
{
    m_writer.startLine(0x802000);
    m_writer.addEquate(0x2A);
    EXPECT_EQ(m_writer.buffer(), "00802000 =0000002A ");
}

TEST_F(ListingTest, InvalidSizeIsAFault)
{
    m_writer.startLine(0);
    EXPECT_FALSE(m_writer.listObj(1, 3));
    EXPECT_TRUE(m_writer.sizeFault());
    EXPECT_EQ(m_writer.buffer(), "00000000 ");
}

TEST_F(ListingTest, DiagnosticLinesEndWithTheClassText)
{
    qubrix::SetCatalogueLanguage(qubrix::Language::English);
    const std::string pad = "00000000 " + std::string(32, ' ');
    for (int code : {0x202, 0x401, 1, 0}) {
        m_writer.startLine(0);
        m_writer.writeLine(1, "L", code);
    }
    EXPECT_EQ(lines(), (std::vector<std::string>{pad + "    1\tL : WARNING : ",
                                                 pad + "    1\tL : ERROR no defined",
                                                 pad + "    1\tL", pad + "    1\tL"}));
}

TEST_F(ListingTest, SummaryUsesSingularForOne)
{
    const std::pair<int, int> counts[] = {{0, 0}, {1, 1}, {2, 3}};
    for (auto [errors, warnings] : counts)
        m_writer.writeSummary(errors, warnings);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "No errors detected", "No warnings generated", "1 error detected",
                           "1 warning generated", "2 errors detected", "3 warnings generated"}));
}

TEST(ListingWriterTest, WriteErrorIsReported)
{
    ListingWriter writer;
    ASSERT_TRUE(writer.open("/dev/full"));
    writer.startLine(0);
    writer.writeLine(1, "X", 0);
    writer.close();
    EXPECT_TRUE(writer.failed());
}

}  // namespace
