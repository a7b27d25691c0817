// The output writers: S-records (whole files, packing into records of at most 32 data bytes,
// the S5/S6 count record, agreement with the srecord tools) and listing lines (wide fields, the
// summary, the cut rule for full lines). Write errors are checked by the run cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "driver/diagnostics.h"
#include "driver/listing.h"
#include "driver/srecord_writer.h"
#include "test_files.h"

namespace qubrix::test {
namespace {

using Lines = std::vector<std::string>;

struct Item {
    uint32_t address;
    uint32_t value;
    int size;
};
using Items = std::vector<Item>;

Items Series(uint32_t address, int count, int size, uint32_t value, int step) {
    Items items;
    for (int i = 0; i < count; ++i)
        items.push_back({address + static_cast<uint32_t>(i * step), value + static_cast<uint32_t>(i), size});
    return items;
}

// Writes the items to a file; the writer must refuse exactly the items of an invalid size and
// those running past $FFFFFFFF. Adds the bytes of the items taken to *taken.
std::string WriteRecords(const Items& items, uint32_t start, std::size_t* taken = nullptr) {
    TempDir dir;
    SRecordWriter writer;
    EXPECT_TRUE(writer.open(dir / "out.abs"));
    writer.init();
    bool invalid = false, pastTop = false;
    for (const Item& item : items) {
        const bool validSize = item.size == 1 || item.size == 2 || item.size == 4;
        const bool fits = uint64_t{item.address} + static_cast<unsigned>(item.size) <= uint64_t{1} << 32;
        invalid = invalid || !validSize;
        pastTop = pastTop || (validSize && !fits);
        EXPECT_EQ(writer.output(item.address, item.value, item.size), validSize && fits);
        if (taken && validSize && fits) *taken += static_cast<std::size_t>(item.size);
    }
    writer.finish(start);
    EXPECT_FALSE(writer.failed());
    EXPECT_EQ(writer.sizeFault(), invalid);
    EXPECT_EQ(writer.addressFault(), pastTop);
    return ReadFile(dir / "out.abs");
}

// The items of a case: "item ADDRESS VALUE SIZE" and "series ADDRESS COUNT SIZE [STEP]".
Items CaseItems(const Case& c) {
    Items items;
    for (const auto& [key, value] : c.fields) {
        std::string address, n;
        int size = 0, step = 0;
        std::istringstream(value) >> address >> n >> size >> step;
        const Items more = key == "item" ? Items{{korvan::test::hex(address), korvan::test::hex(n), size}}
                           : key == "series"
                               ? Series(korvan::test::hex(address), std::stoi(n), size, 0, step ? step : size)
                               : Items{};
        items.insert(items.end(), more.begin(), more.end());
    }
    return items;
}

// Whole files (exactly the "record" lines, or the "tail" lines that end them) and the packing
// into records of at most 32 data bytes (the "head" of each data record in turn). In every file
// each record's count equals the bytes that follow it, all bytes from the count on sum to 0xFF,
// and no data byte is lost or added.
TEST(SRecordWriterTest, WholeFilesAndPacking) {
    for (const std::string file : {"/srecord_files.txt", "/srecord_packing.txt"}) {
        for (const Case& c : ReadCases(QUBRIX_DRIVER_DATA + file)) {
            SCOPED_TRACE(c.name);
            std::size_t itemBytes = 0, dataBytes = 0;
            const Lines lines =
                CrLfLines(WriteRecords(CaseItems(c), korvan::test::hex(c.get("start", "802000")), &itemBytes));
            ASSERT_GE(lines.size(), 4u);
            Lines heads;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::string& line = lines[i];
                ASSERT_TRUE(line.size() >= 6 && line[0] == 'S') << line;
                ASSERT_EQ(line.size(), 4 + 2 * korvan::test::hex(line.substr(2, 2))) << line;
                unsigned sum = 0;
                for (std::size_t at = 2; at < line.size(); at += 2) sum += korvan::test::hex(line.substr(at, 2));
                EXPECT_EQ(sum & 0xFF, 0xFFu) << line;
                if (i == 0 || i + 3 >= lines.size()) continue;  // S0 and the S5, S9 and S7 around the data
                heads.push_back(line.substr(0, 12));
                dataBytes += (line.size() - 14) / 2;
            }
            EXPECT_EQ(dataBytes, itemBytes);
            EXPECT_EQ(c.has("record") ? lines : Lines{}, c.all("record"));
            EXPECT_EQ(c.has("head") ? heads : Lines{}, c.all("head"));
            EXPECT_EQ(Lines(lines.end() - std::min(lines.size(), c.all("tail").size()), lines.end()), c.all("tail"));
        }
    }
}

// The srecord tools read what we write: same bytes at the same addresses, every checksum and
// count accepted.
TEST(SRecordWriterTest, SrecordToolsAgreeWithTheFile) {
    if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat not installed";
    TempDir dir;
    Items items = Series(0x802000, 40, 1, 0x30, 1);
    items.push_back({0x802100, 0xDEADBEEF, 4});
    items.push_back({0x802104, 0x4E75, 2});
    WriteFile(dir / "t.abs", WriteRecords(items, 0x802000));
    const std::string cmd =
        "srec_cat " + (dir / "t.abs") + " -offset -0x802000 -o " + (dir / "t.bin") + " -binary 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string expected;
    for (int i = 0; i < 40; ++i) expected += static_cast<char>(0x30 + i);
    expected += std::string(0x100 - 40, '\0') + "\xDE\xAD\xBE\xEF\x4E\x75";
    EXPECT_EQ(ReadFile(dir / "t.bin"), expected);
}

TEST(ListingTest, WideFieldsAndSummaryLines) {
    TempDir dir;
    ListingWriter writer;
    ASSERT_TRUE(writer.open(dir / "t.lis"));
    writer.startLine(0x10);
    writer.writeLine(123456, "* COMMENT", 0);
    writer.startLine(0);
    for (uint32_t v = 0; v < 4; ++v) writer.listObj(0x11111111 * v, 4);
    writer.writeLine(7, "X", 0);
    for (auto [errors, warnings] : {std::pair{0, 0}, {1, 1}, {2, 3}}) writer.writeSummary(errors, warnings);
    writer.close();
    EXPECT_EQ(
        CrLfLines(ReadFile(dir / "t.lis")),
        (Lines{"00000010 " + std::string(32, ' ') + "123456\t* COMMENT",
               "00000000 00000000 11111111 22222222 33333333     7\tX", "No errors detected", "No warnings generated",
               "1 error detected", "1 warning generated", "2 errors detected", "3 warnings generated"}));
}

TEST(ListingTest, FullLinesAreCutWithDots) {
    ListingWriter writer;
    for (const korvan::test::Row& row : korvan::test::readTable(QUBRIX_DRIVER_DATA "/listing_cuts.txt", 4)) {
        const int size = std::stoi(row[1]);
        writer.startLine(0);
        for (int i = 0; i < std::stoi(row[2]); ++i)
            EXPECT_EQ(writer.listObj(static_cast<uint32_t>(i), size), size != 3) << row[0];
        EXPECT_EQ(writer.buffer(), row[3]) << row[0];
        EXPECT_EQ(writer.sizeFault(), size == 3) << row[0];
    }
}

}  // namespace
}  // namespace qubrix::test
