// Tests of the S-record download reader: block merging and splitting, entry records, progress
// counts, refusal of faulty files, and files written by real producers.
#include "srecord.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "../../support/process.h"

using korvan::monitor::SRecord;
using korvan::monitor::SRecordError;
using Bytes = std::vector<unsigned char>;

namespace {

std::string Rec(int type, uint32_t address, const Bytes& data = {}) {
    return korvan::test::srecord(type, address, data);
}

// n bytes counting up from first.
Bytes Counting(int n, int first = 0) {
    Bytes bytes;
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>(first + i));
    return bytes;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// S3 records of Counting(n) from address, 250 bytes a record.
std::string Records(uint32_t address, int n) {
    std::string text;
    for (int at = 0; at < n; at += 250) text += Rec(3, address + at, Counting(std::min(250, n - at), at)) + "\n";
    return text;
}

struct Block {
    uint32_t address;
    Bytes data;
    bool operator==(const Block&) const = default;
};

void PrintTo(const Block& block, std::ostream* out) {
    *out << std::hex << block.address << ":" << std::dec << block.data.size() << " bytes";
}

// All blocks of the reader, checking each buffer's header against the block it announces, and
// that the end stays the end without touching the address output.
std::vector<Block> Drain(SRecord& reader) {
    std::vector<Block> blocks;
    unsigned char buffer[korvan::monitor::kBlockBufferSize];
    int length = -1;
    uint32_t address = 0;
    while (reader.NextBlock(buffer, length, address)) {
        EXPECT_GE(length, 7);
        EXPECT_LE(length, 1023);
        const uint32_t headerAddress =
            uint32_t{buffer[0]} << 24 | uint32_t{buffer[1]} << 16 | uint32_t{buffer[2]} << 8 | buffer[3];
        EXPECT_EQ(headerAddress, address);
        EXPECT_EQ((buffer[4] << 8 | buffer[5]) + 6, length);
        blocks.push_back({address, Bytes(buffer + 6, buffer + length)});
        if (blocks.size() > 10000) break;
    }
    EXPECT_EQ(length, 0);
    address = 0xDEADBEEF;
    EXPECT_FALSE(reader.NextBlock(buffer, length, address));
    EXPECT_EQ(address, 0xDEADBEEFu);
    return blocks;
}

}  // namespace

// The blocks and entry of each file, and its progress count: the line reads to its end, one
// more than its lines when it ends with a line feed; reading stops at the entry record.
TEST(SRecordReader, BlocksEntryAndProgress) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<Block> blocks;
        uint32_t entry;
        int lines, read;  // the reads to the end of the file; those done once drained
        // clang-format off
    } cases[] = {
        {"contiguous records merge",
         Lines({Rec(0, 0, {'h', 'i'}), Rec(3, 0x802000, {0x11, 0x22}), Rec(3, 0x802002, {0x33, 0x44, 0x55}),
                Rec(5, 2), Rec(7, 0x802000)}),
         {{0x802000, {0x11, 0x22, 0x33, 0x44, 0x55}}}, 0x802000, 6, 5},
        {"a gap starts a second block at its own address",
         Lines({Rec(3, 0x1000, Counting(4, 1)), Rec(3, 0x2000, Counting(2, 5)), Rec(7, 0x1000)}),
         {{0x1000, Counting(4, 1)}, {0x2000, Counting(2, 5)}}, 0x1000, 4, 3},
        {"a record crossing 1017 bytes starts the next block", Records(0x10000, 1250),
         {{0x10000, Counting(1000)}, {0x103E8, Counting(250, 1000)}}, 0, 6, 6},
        {"exactly 1017 bytes fill one block", Records(0x10000, 1017) + Lines({Rec(3, 0x103F9, {0xEE})}),
         {{0x10000, Counting(1017)}, {0x103F9, {0xEE}}}, 0, 7, 7},
        {"S7 at address 0", Lines({Rec(3, 0x400, {0xAA}), Rec(7, 0)}), {{0x400, {0xAA}}}, 0, 3, 2},
        {"S1 and S2 data merge across 16-bit addresses; S8 gives the entry",
         Lines({Rec(1, 0xFFFE, {1, 2}), Rec(2, 0x10000, {3, 4}), Rec(2, 0x20000, {5}), Rec(8, 0x10000)}),
         {{0xFFFE, {1, 2, 3, 4}}, {0x20000, {5}}}, 0x10000, 5, 4},
        {"S9 does not end the data; the S7 after it gives the entry",
         Lines({Rec(3, 0x802000, {0x4E, 0x71}), Rec(9, 0), Rec(3, 0x802002, {0x4E, 0x75}), Rec(7, 0x802000)}),
         {{0x802000, {0x4E, 0x71, 0x4E, 0x75}}}, 0x802000, 5, 4},
        {"CR LF line ends, blank lines and lower-case digits",
         "\r\n" + Rec(3, 0x100, {1}) + "\r\n\r\nS30600000101ab4c \r\n" + Rec(7, 0x100) + "\r\n",
         {{0x100, {1, 0xAB}}}, 0x100, 6, 5},
        {"a record without data neither ends nor splits a block",
         Lines({Rec(3, 0x1000, {1, 2}), Rec(3, 0x5000), Rec(3, 0x1002, {3})}), {{0x1000, {1, 2, 3}}}, 0, 4, 4},
        {"header and end records, no final line feed", Lines({Rec(0, 0), Rec(5, 0)}) + Rec(9, 0), {}, 0, 3, 3},
        {"empty file", "", {}, 0, 1, 1},
    };
    // clang-format on
    korvan::test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SRecord reader(dir.write("case.abs", c.text));
        ASSERT_EQ(reader.error(), SRecordError::None) << reader.errorMessage(true);
        EXPECT_EQ(reader.errorMessage(true), "");
        EXPECT_EQ(reader.TotalLines(), c.lines);
        EXPECT_EQ(reader.LinesRead(), 0);
        EXPECT_EQ(Drain(reader), c.blocks);
        EXPECT_EQ(reader.EntryAddress(), c.entry);
        EXPECT_EQ(reader.LinesRead(), c.read);
    }
}

// A faulty file or one that cannot be opened is refused before any block, the message naming
// the file and the line in both languages.
TEST(SRecordReader, FaultyFilesAreRefusedWithNoBlock) {
    const std::string good = "S307008020004E7199";  // two bytes at 802000
    // name, file, error, line, message
    // clang-format off
    const std::tuple<const char*, std::string, SRecordError, int, std::string> cases[] = {
        {"bad checksum after a good record", Lines({good, "S307008020004E719A", Rec(7, 0)}),
         SRecordError::BadChecksum, 2, "bad checksum"},
        {"bad hexadecimal digit", Lines({Rec(0, 0), good, "S30700802G004E7199"}), SRecordError::BadHexDigit, 3,
         "invalid hexadecimal digit"},
        {"record cut by a byte", Lines({good, good.substr(0, good.size() - 2)}), SRecordError::BadLength, 2,
         "byte count does not match the record"},
        {"record cut by a digit", Lines({good.substr(0, good.size() - 1)}), SRecordError::BadRecord, 1,
         "malformed record"},
        {"count too short for the address", Lines({"S30200FD"}), SRecordError::BadLength, 1,
         "byte count does not match the record"},
        {"not a record", Lines({good, "", "hello"}), SRecordError::BadRecord, 3, "malformed record"},
        {"reserved S4", Lines({"S4030000FC"}), SRecordError::BadRecord, 1, "malformed record"},
        {"data past FFFFFFFF", Lines({Rec(3, 0xFFFFFFFF, {1, 2})}), SRecordError::BadAddress, 1,
         "data beyond address FFFFFFFF"},
        {"end record carrying data", Lines({good, Rec(3, 0x802000, {1}).replace(1, 1, "7")}),
         SRecordError::BadLength, 2, "byte count does not match the record"},
        {"data behind the entry record", Lines({good, Rec(7, 0x802000), good}), SRecordError::DataAfterEntry, 3,
         "data record after the end record"},
    };
    // clang-format on
    korvan::test::TempDir dir;
    for (const auto& [name, text, error, line, what] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.write("bad.abs", text);
        SRecord reader(path);
        EXPECT_EQ(reader.error(), error);
        EXPECT_EQ(reader.errorLine(), line);
        EXPECT_EQ(reader.errorMessage(true), path + ", line " + std::to_string(line) + ": " + what);
        EXPECT_EQ(reader.errorMessage(false).rfind(path + ", ligne " + std::to_string(line) + " : ", 0), 0u);
        EXPECT_TRUE(Drain(reader).empty());
    }
    for (const std::string& path : {(dir.path / "missing.abs").string(), dir.path.string()}) {
        SRecord missing(path);
        EXPECT_EQ(missing.error(), SRecordError::CannotOpen);
        EXPECT_EQ(missing.errorLine(), 0);
        EXPECT_EQ(missing.errorMessage(true), path + ": cannot open the file");
        EXPECT_TRUE(Drain(missing).empty());
    }
}

// Files from the project's assembler and from independent producers (GNU linker, srec_cat).
TEST(SRecordReader, FilesFromRealProducers) {
    auto pattern = [](uint32_t address, int n) {
        Bytes bytes;
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>("korvan"[(address - 0x10000 + i) % 6]));
        return bytes;
    };
    // name, tool (which must answer --version for the row to run), command, blocks, entry
    // clang-format off
    const std::tuple<const char*, const char*, std::string, std::vector<Block>, uint32_t> cases[] = {
        {"assembler: S0, S3, S5, S9 then S7", QUBRIX_CLI,
         "printf ' NOP\\n' > nop.s && XDG_CONFIG_HOME=$PWD/cfg " QUBRIX_CLI " --no-list --code 802000 nop.s"
         " && mv nop.abs out.abs",
         {{0x802000, {0x4E, 0x71}}}, 0x802000},
        {"GNU linker: S2 and S8", "m68k-linux-gnu-ld",
         "printf ' .text\\n .globl _start\\n_start: nop\\n rts\\n .byte 1,2,3\\n' > g.s"
         " && m68k-linux-gnu-as -mcpu=cpu32 -o g.o g.s"
         " && m68k-linux-gnu-ld -Ttext=0x802000 -e _start --oformat srec -o out.abs g.o",
         {{0x802000, {0x4E, 0x71, 0x4E, 0x75, 1, 2, 3}}}, 0x802000},
        {"srec_cat: 3000 bytes in 32-byte S2 records, the last block 1016 bytes", "srec_cat",
         "srec_cat -generate 0x10000 0x10BB8 -repeat-string korvan -execution-start-address=0x10004"
         " -o out.abs -motorola -address-length=3",
         {{0x10000, pattern(0x10000, 992)}, {0x103E0, pattern(0x103E0, 992)}, {0x107C0, pattern(0x107C0, 1016)}},
         0x10004},
    };
    // clang-format on
    for (const auto& [name, tool, commands, blocks, entry] : cases) {
        SCOPED_TRACE(name);
        if (std::system((std::string(tool) + " --version > /dev/null 2>&1").c_str()) != 0) {
            std::printf("skipped, %s is not installed\n", tool);
            continue;
        }
        korvan::test::TempDir dir;
        const std::string command = "cd '" + dir.path.string() + "' && " + commands + " > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        SRecord reader((dir.path / "out.abs").string());
        ASSERT_EQ(reader.error(), SRecordError::None) << reader.errorMessage(true);
        EXPECT_EQ(Drain(reader), blocks);
        EXPECT_EQ(reader.EntryAddress(), entry);
    }
}
