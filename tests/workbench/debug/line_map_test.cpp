// The line maps: assembler listings of sources with include files, data lines, ORG blocks and
// sections (assembled by the real assembler), and the DWARF map of a linked C program checked
// against addr2line.
#include <map>
#include <sstream>
#include <tuple>

#include "debug_test_support.h"
#include "line_map.h"
#include "program_image.h"

namespace {

using korvan::debug::LineMap;
using korvan::debug::ProgramImage;
using korvan::debug::SourceLocation;

struct Emit {  // one emitting line the listing must give
    const char* file;
    int line;
    uint32_t start;
    uint32_t size;
    bool data;
};
struct At {  // lineAt(address): file and line, or no file for an address no line holds
    uint32_t address;
    const char* file;
    int line;
};
struct Break {  // addressOf(file, line) -> line used and its addresses (none: no line)
    const char* file;
    int line;
    bool allowData;
    int used;
    std::vector<uint32_t> addresses;
};
struct ListingCase {
    const char* name;
    const char* main;     // the main source, in data/<name>/ with the files it includes
    const char* workDir;  // folder searched for includes not found beside their includer
    std::vector<Emit> emits;
    std::vector<At> at;
    std::vector<Break> breaks;
};

// clang-format off
const ListingCase kListingCases[] = {
    {"IncludeFilesTwiceAndFromTheWorkingFolder",
     "main.src",
     "lib",
     {{"sub/INC.DEF", 1, 0x1000, 2, false}, {"sub/INC.DEF", 3, 0x1002, 2, false},
      {"main.src", 3, 0x1004, 2, false},    {"main.src", 4, 0x1006, 2, false},
      {"main.src", 6, 0x1008, 6, false},    {"main.src", 7, 0x100E, 2, false},
      {"sub/INC.DEF", 1, 0x1010, 2, false}, {"sub/INC.DEF", 3, 0x1012, 2, false},
      {"lib/common.def", 1, 0x1014, 2, false}},
     {{0x0FFF, nullptr, 0}, {0x100D, "main.src", 6}, {0x1013, "sub/INC.DEF", 3}, {0x1016, nullptr, 0}},
     {{"main.src", 5, false, 6, {0x1008}},
      {"main.src", 1, false, 3, {0x1004}},
      {"sub/INC.DEF", 2, false, 3, {0x1002, 0x1012}},
      {"main.src", 8, false, 0, {}},
      {"lib/common.def", 1, false, 1, {0x1014}}}},
    {"DataLinesSectionsAndOrgBlocks",
     "data.src",
     nullptr,
     {{"data.src", 2, 0x1000, 2, false},  {"data.src", 3, 0x1002, 12, true}, {"data.src", 4, 0x100E, 1, true},
      {"data.src", 5, 0x1010, 14, true},  {"data.src", 7, 0x3000, 4, true},  {"data.src", 10, 0x101E, 2, false},
      {"data.src", 12, 0x4000, 2, false}, {"data.src", 13, 0x4002, 2, false},
      {"data.src", 15, 0x4000, 6, false}, {"data.src", 16, 0x4006, 2, false}},
     {{0x100D, "data.src", 3}, {0x100F, nullptr, 0}, {0x101D, "data.src", 5}, {0x3004, nullptr, 0},
      {0x4002, "data.src", 15}, {0x4007, "data.src", 16}},
     {{"data.src", 3, false, 10, {0x101E}},
      {"data.src", 3, true, 3, {0x1002}},
      {"data.src", 6, false, 10, {0x101E}},
      {"data.src", 11, false, 12, {0x4000}}}},
};
// clang-format on

TEST(ListingMapTest, GivesTheLinesOfTheAssembledProgram) {
    for (const ListingCase& c : kListingCases) {
        SCOPED_TRACE(c.name);
        debugtest::TempDir dir;
        dir.copyData(c.name);
        const std::string source = dir.at(c.main);
        const std::string workDir = c.workDir ? dir.at(c.workDir) : std::string();
        std::vector<std::string> args = {"--lang", "en", "--code", "1000", "--var", "3000"};
        if (c.workDir) args.insert(args.end(), {"--dir", workDir + "/"});
        args.push_back(source);
        debugtest::Run(KORVAN_QUBRIX, args, dir.at());  // its run report goes beside the source

        std::string error;
        const auto map = LineMap::FromListing(source, LineMap::ListingPathFor(source), workDir, &error);
        ASSERT_TRUE(map) << error;
        EXPECT_EQ(map->mismatchedLines(), 0);
        EXPECT_EQ(map->files()[0], source);

        // Every emitting line, in assembly order, with its bytes present in the program file.
        ProgramImage image;
        ASSERT_TRUE(image.load(dir.at(std::filesystem::path(source).replace_extension(".abs").filename())))
            << image.error();
        ASSERT_EQ(map->lines().size(), c.emits.size());
        for (std::size_t i = 0; i < c.emits.size(); ++i) {
            const auto& got = map->lines()[i];
            const Emit& want = c.emits[i];
            EXPECT_EQ(std::tuple(map->files()[static_cast<std::size_t>(got.file)], got.line, got.start,
                                 got.end - got.start, got.data),
                      std::tuple(dir.at(want.file), want.line, want.start, want.size, want.data));
            EXPECT_TRUE(image.read(got.start, got.end - got.start)) << want.line;
        }
        for (const At& at : c.at) {
            const auto expected = at.file ? std::optional(SourceLocation{dir.at(at.file), at.line}) : std::nullopt;
            EXPECT_EQ(map->locationAt(at.address), expected) << std::hex << at.address;
        }
        for (const Break& b : c.breaks) {
            const auto site = map->addressOf(dir.at(b.file), b.line, b.allowData);
            EXPECT_EQ(site ? std::pair(site->line, site->addresses) : std::pair(0, std::vector<uint32_t>{}),
                      std::pair(b.used, b.addresses))
                << b.file << ":" << b.line;
        }
    }
}

TEST(ListingMapTest, SourceEditedAfterTheBuildIsReported) {
    debugtest::TempDir dir;
    const std::string source = dir.write("prog.src", "         NOP\n         RTS\n");
    debugtest::Run(KORVAN_QUBRIX, {"--lang", "en", "--code", "1000", source}, dir.at());
    dir.write("prog.src", "* new first line\n         NOP\n         RTS\n");
    const auto map = LineMap::FromListing(source, LineMap::ListingPathFor(source), {});
    ASSERT_TRUE(map);
    EXPECT_GT(map->mismatchedLines(), 0);
    EXPECT_FALSE(LineMap::FromListing(source, dir.at("missing.lis"), {}));
}

// The cross compiler for the C test: the bare-metal one when installed, else Debian's.
std::string CrossCompiler() {
    const char* home = std::getenv("HOME");
    const std::string own = home ? std::string(home) + "/.local/share/korvan/m68k-elf/bin/m68k-elf-gcc" : "";
    for (const std::string& cc : {own, std::string("m68k-elf-gcc"), std::string("m68k-linux-gnu-gcc")})
        if (!cc.empty() && debugtest::Have(cc)) return cc;
    return {};
}

TEST(ElfLineMapTest, AgreesWithAddr2line) {
    const std::string cc = CrossCompiler();
    if (cc.empty() || !debugtest::Have("m68k-linux-gnu-addr2line")) GTEST_SKIP() << "no m68k cross compiler";
    debugtest::TempDir dir;
    dir.copyData("elf");  // prog.c, left unformatted: the test names the lines of its statements
    const std::string source = dir.at("prog.c");
    const std::string elf = dir.at("prog.elf");
    debugtest::Run(cc, {"-g", "-O0", "-mcpu=cpu32", "-nostdlib", "-static", "-Wl,-e,main", "-Wl,-Ttext=0x802000",
                        source, "-o", elf});
    std::string error;
    const auto map = LineMap::FromElf(elf, &error);
    ASSERT_TRUE(map) << error;
    ASSERT_GE(map->lines().size(), 8u);

    // addr2line -f for the first and the last byte of every row: function, then file:line.
    std::vector<std::string> args = {"-f", "-e", elf};
    std::vector<uint32_t> addresses;
    for (const auto& e : map->lines()) addresses.insert(addresses.end(), {e.start, e.end - 1});
    for (uint32_t a : addresses) {
        std::ostringstream hex;
        hex << std::hex << "0x" << a;
        args.push_back(hex.str());
    }
    std::istringstream out(debugtest::Run("m68k-linux-gnu-addr2line", args).out);
    for (uint32_t a : addresses) {
        std::string function, where;
        ASSERT_TRUE(std::getline(out, function) && std::getline(out, where));
        where = where.substr(0, where.find(" (discriminator"));
        SCOPED_TRACE(::testing::Message() << std::hex << a << " " << where);
        const auto loc = map->locationAt(a);
        ASSERT_TRUE(loc);
        EXPECT_EQ(loc->file + ":" + std::to_string(loc->line), where);
        const auto* f = map->functionAt(a);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->name, function);
    }

    // A breakpoint on a line without code moves to the next line, at its lowest address.
    const std::map<int, int> moves = {{5, 8}, {9, 11}, {10, 11}, {13, 14}};
    for (const auto& [asked, used] : moves) {
        const auto site = map->addressOf(source, asked);
        ASSERT_TRUE(site) << asked;
        EXPECT_EQ(site->line, used);
        ASSERT_EQ(site->addresses.size(), 1u);
        for (const auto& e : map->lines()) {
            if (e.line == used) {
                EXPECT_LE(site->addresses[0], e.start);
            }
        }
        EXPECT_EQ(map->locationAt(site->addresses[0])->line, used);
    }
    EXPECT_EQ(map->functionAt(map->addressOf(source, 8)->addresses[0])->name, "main");
    EXPECT_FALSE(map->addressOf(source, 16));
    EXPECT_FALSE(LineMap::FromElf(source));
}

}  // namespace
