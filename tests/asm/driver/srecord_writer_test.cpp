// The S-record writer: byte-exact records, packing into records of at most 32 data bytes,
// gaps, the count record (S5, then S6 beyond 0xFFFF records), write errors; files are also
// checked with the srecord tools when they are installed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/srecord_writer.h"
#include "test_files.h"

using qubrix::SRecordWriter;
using qubrix::test::CrLfLines;
using qubrix::test::ReadFile;
using qubrix::test::TempDir;

namespace {

struct Item {
    uint32_t address;
    uint32_t value;
    int size;
};

std::vector<std::string> WriteRecords(const std::vector<Item>& items, uint32_t start,
                                      std::string* bytes = nullptr)
{
    TempDir dir;
    const std::string path = dir / "out.abs";
    {
        SRecordWriter writer;
        EXPECT_TRUE(writer.open(path));
        writer.init();
        for (const Item& item : items)
            EXPECT_TRUE(writer.output(item.address, item.value, item.size));
        writer.finish(start);
        EXPECT_FALSE(writer.failed());
    }
    const std::string text = ReadFile(path);
    if (bytes)
        *bytes = text;
    return CrLfLines(text);
}

unsigned HexByte(const std::string& s, std::size_t at)
{
    return static_cast<unsigned>(std::stoul(s.substr(at, 2), nullptr, 16));
}

// Checks a record's count and checksum fields on their own terms: the count equals the bytes
// that follow it, and all bytes from the count on sum to 0xFF.
void ExpectWellFormed(const std::string& record)
{
    ASSERT_GE(record.size(), 6u) << record;
    ASSERT_EQ(record[0], 'S') << record;
    const unsigned count = HexByte(record, 2);
    ASSERT_EQ(record.size(), 4 + 2 * count) << record;
    unsigned sum = 0;
    for (std::size_t i = 2; i < record.size(); i += 2)
        sum += HexByte(record, i);
    EXPECT_EQ(sum & 0xFF, 0xFFu) << record;
}

TEST(SRecordWriterTest, SingleNopGivesTheFiveKnownLines)
{
    const auto lines = WriteRecords({{0x802000, 0x4E71, 2}}, 0x802000);
    EXPECT_EQ(lines, (std::vector<std::string>{"S004000020DB", "S307008020004E7199", "S5030001FB",
                                                "S9030000FC", "S705008020005A"}));
}

TEST(SRecordWriterTest, EmptyRunWritesHeaderCountTerminationAndStart)
{
    const auto lines = WriteRecords({}, 0x802000);
    EXPECT_EQ(lines, (std::vector<std::string>{"S004000020DB", "S5030000FC", "S9030000FC",
                                                "S705008020005A"}));
}

TEST(SRecordWriterTest, ValuesAreMaskedToTheirSize)
{
    // 0x1FF as a byte is FF; 0x12345 as a word is 2345.
    const auto lines = WriteRecords({{0x1000, 0x1FF, 1}, {0x1001, 0x12345, 2}}, 0);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "S30800001000FF234580");
    EXPECT_EQ(lines[4], "S70500000000FA");
}

struct PackCase {
    const char* name;
    std::vector<Item> items;
    std::vector<std::string> dataRecordHeads;  // "S3" + count + address of each data record
};

std::vector<Item> Series(uint32_t address, int count, int size, uint32_t value = 0)
{
    std::vector<Item> items;
    for (int i = 0; i < count; ++i)
        items.push_back({address + static_cast<uint32_t>(i * size), value + static_cast<uint32_t>(i), size});
    return items;
}

std::vector<Item> Concat(std::vector<Item> a, const std::vector<Item>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SRecordWriterTest, PacksItemsIntoRecordsOfAtMost32Bytes)
{
    const PackCase cases[] = {
        {"33 bytes: a full record and one of a single byte", Series(0x802000, 33, 1),
         {"S32500802000", "S30600802020"}},
        {"eight long words fill one record exactly", Series(0x802000, 8, 4), {"S32500802000"}},
        {"a ninth long word starts a new record", Series(0x802000, 9, 4),
         {"S32500802000", "S30900802020"}},
        {"seven long words and a word still fit",
         Concat(Series(0x802000, 7, 4), Series(0x80201C, 1, 2)), {"S32300802000"}},
        {"a long word after those 30 bytes starts a new record",
         Concat(Concat(Series(0x802000, 7, 4), Series(0x80201C, 1, 2)), Series(0x80201E, 1, 4)),
         {"S32300802000", "S3090080201E"}},
        {"items are never split: 31 bytes then a word", Concat(Series(0x802000, 31, 1), Series(0x80201F, 1, 2)),
         {"S32400802000", "S3070080201F"}},
        {"a gap of one byte starts a new record", {{0x802000, 1, 1}, {0x802002, 2, 1}},
         {"S30600802000", "S30600802002"}},
        {"going backwards starts a new record", {{0x802002, 1, 2}, {0x802000, 2, 2}},
         {"S30700802002", "S30700802000"}},
    };
    for (const PackCase& c : cases) {
        const auto lines = WriteRecords(c.items, 0x802000);
        ASSERT_GE(lines.size(), 4u) << c.name;
        std::vector<std::string> heads;
        std::size_t dataBytes = 0;
        for (std::size_t i = 1; i + 3 < lines.size(); ++i) {
            ExpectWellFormed(lines[i]);
            heads.push_back(lines[i].substr(0, 12));
            dataBytes += (lines[i].size() - 14) / 2;
        }
        EXPECT_EQ(heads, c.dataRecordHeads) << c.name;
        std::size_t itemBytes = 0;
        for (const Item& item : c.items)
            itemBytes += static_cast<std::size_t>(item.size);
        EXPECT_EQ(dataBytes, itemBytes) << c.name << ": no byte lost or added";
        for (const std::string& line : lines)
            ExpectWellFormed(line);
    }
}

TEST(SRecordWriterTest, RejectsInvalidSizeWithoutWriting)
{
    TempDir dir;
    SRecordWriter writer;
    ASSERT_TRUE(writer.open(dir / "bad.abs"));
    writer.init();
    EXPECT_FALSE(writer.output(0x1000, 0x12, 3));
    EXPECT_TRUE(writer.sizeFault());
    writer.finish(0x1000);
    EXPECT_EQ(CrLfLines(ReadFile(dir / "bad.abs")),
              (std::vector<std::string>{"S004000020DB", "S5030000FC", "S9030000FC", "S70500001000EA"}));
}

TEST(SRecordWriterTest, WithoutAFileNothingIsWritten)
{
    TempDir dir;
    SRecordWriter writer;
    EXPECT_FALSE(writer.open(dir / "missing-folder/out.abs"));
    EXPECT_FALSE(writer.isOpen());
    writer.init();
    EXPECT_TRUE(writer.output(0x1000, 1, 1));
    writer.finish(0);
    EXPECT_FALSE(qubrix::test::FileExists(dir / "missing-folder/out.abs"));
}

// Count records around the four-digit limit: gap-separated bytes give one record each.
TEST(SRecordWriterTest, CountRecordSwitchesToS6BeyondFFFFRecords)
{
    struct Case {
        uint32_t records;
        const char* countLine;
    };
    const Case cases[] = {{0xFFFF, "S503FFFFFE"}, {0x10000, "S604010000FA"}, {0x10001, "S604010001F9"}};
    for (const Case& c : cases) {
        std::vector<Item> items;
        for (uint32_t i = 0; i < c.records; ++i)
            items.push_back({i * 2, i, 1});
        const auto lines = WriteRecords(items, 0);
        ASSERT_EQ(lines.size(), c.records + 4);
        EXPECT_EQ(lines[lines.size() - 3], c.countLine);
        EXPECT_EQ(lines[lines.size() - 2], "S9030000FC");
        EXPECT_EQ(lines.back(), "S70500000000FA");
    }
}

TEST(SRecordWriterTest, WriteErrorIsReportedNotIgnored)
{
    SRecordWriter writer;
    ASSERT_TRUE(writer.open("/dev/full"));
    writer.init();
    for (uint32_t i = 0; i < 100000; ++i)
        writer.output(i * 4, i, 4);
    writer.finish(0);
    EXPECT_TRUE(writer.failed());
    EXPECT_EQ(writer.errorNumber(), ENOSPC);
}

// The srecord tools read what we write: same bytes at the same addresses, and every checksum
// and count accepted.
TEST(SRecordWriterTest, SrecordToolsAgreeWithTheFile)
{
    if (std::system("command -v srec_cat >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "srec_cat not installed";
    TempDir dir;
    std::vector<Item> items = Series(0x802000, 40, 1, 0x30);
    items.push_back({0x802100, 0xDEADBEEF, 4});
    items.push_back({0x802104, 0x4E75, 2});
    std::string bytes;
    WriteRecords(items, 0x802000, &bytes);
    qubrix::test::WriteFile(dir / "t.abs", bytes);
    const std::string cmd = "srec_cat " + dir.path() + "t.abs -offset -0x802000 -o " + dir.path() +
                            "t.bin -binary 2>" + dir.path() + "err.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadFile(dir / "err.txt");
    const std::string bin = ReadFile(dir / "t.bin");
    ASSERT_EQ(bin.size(), 0x106u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(static_cast<unsigned char>(bin[static_cast<std::size_t>(i)]), 0x30 + i);
    for (std::size_t i = 40; i < 0x100; ++i)
        EXPECT_EQ(bin[i], '\0');  // the gap
    EXPECT_EQ(bin.substr(0x100), std::string("\xDE\xAD\xBE\xEF\x4E\x75", 6));
}

}  // namespace
