// The line maps: assembler listings of sources with include files, data lines, ORG blocks and
// sections (assembled by the real assembler), and the DWARF map of a linked C program checked
// against addr2line.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "../../support/table.h"
#include "debug_test_support.h"
#include "line_map.h"
#include "program_image.h"

namespace {

using korvan::debug::LineMap;
using korvan::debug::ProgramImage;
using korvan::test::readTable;

// An address as the tables write it and addr2line reads it.
std::string Hex(uint32_t address) {
    char text[12];
    std::snprintf(text, sizeof text, "%04X", address);
    return text;
}

// The sources of data/<folder>/ assembled, their map against the rows of data/<folder>.txt, and
// the map once a line is put before the main source.
TEST(ListingMapTest, GivesTheLinesOfTheAssembledProgramUntilItsSourceIsEdited) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // folder, main source, include folder
        {"IncludeFilesTwiceAndFromTheWorkingFolder", "main.src", "lib"},
        {"DataLinesSectionsAndOrgBlocks", "data.src", nullptr}};
    for (const auto& [name, main, include] : cases) {
        SCOPED_TRACE(name);
        debugtest::TempDir dir;
        dir.copyData(name);
        const std::string source = dir.at(main);
        const std::string workDir = include ? dir.at(include) : std::string();
        std::vector<std::string> args = {"--lang", "en", "--code", "1000", "--var", "3000"};
        if (include) args.insert(args.end(), {"--dir", workDir + "/"});
        args.push_back(source);
        debugtest::Run(KORVAN_QUBRIX, args, dir.at());  // its run report goes beside the source

        std::string error;
        const auto map = LineMap::FromListing(source, LineMap::ListingPathFor(source), workDir, &error);
        ASSERT_TRUE(map) << error;
        EXPECT_EQ(map->mismatchedLines(), 0);
        EXPECT_EQ(map->files()[0], source);
        ProgramImage image;
        ASSERT_TRUE(image.load(dir.at(std::filesystem::path(source).replace_extension(".abs").filename())))
            << image.error();
        // A place as the table writes it: the file within the folder, the line, the address.
        const auto where = [&](const std::string& file, int line) {
            return (file.starts_with(dir.at()) ? file.substr(dir.at().size()) : file) + ":" + std::to_string(line);
        };
        // Every emitting line, in assembly order, with its bytes present in the program file.
        std::vector<std::string> emits, expectedEmits;
        for (const auto& e : map->lines()) {
            emits.push_back(where(map->files()[static_cast<std::size_t>(e.file)], e.line) + " " + Hex(e.start) + " " +
                            std::to_string(e.end - e.start) + (e.data ? " data" : ""));
            EXPECT_TRUE(image.read(e.start, e.end - e.start)) << emits.back();
        }
        for (const auto& row : readTable(KORVAN_DEBUG_DATA "/" + std::string(name) + ".txt", 3)) {
            const std::string& asked = row[1];
            if (row[0] == "emit") {
                expectedEmits.push_back(asked + " " + row[2]);
            } else if (row[0] == "at") {
                const auto loc = map->locationAt(korvan::test::hex(asked));
                EXPECT_EQ(loc ? where(loc->file, loc->line) : "-", row[2]) << asked;
            } else {
                ASSERT_TRUE(row[0] == "break" || row[0] == "data break") << row[0];
                const std::size_t colon = asked.rfind(':');
                const auto site = map->addressOf(dir.at(asked.substr(0, colon)), std::stoi(asked.substr(colon + 1)),
                                                 row[0] == "data break");
                std::string got = site ? std::to_string(site->line) : "-";
                for (uint32_t a : site ? site->addresses : std::vector<uint32_t>{}) got += " " + Hex(a);
                EXPECT_EQ(got, row[2]) << row[0] << " " << asked;
            }
        }
        EXPECT_EQ(emits, expectedEmits);

        // A source edited after the build no longer matches its listing; a missing listing gives no map.
        std::ifstream built(source);
        dir.write(main, "* a line added\n" + std::string(std::istreambuf_iterator<char>(built), {}));
        const auto edited = LineMap::FromListing(source, LineMap::ListingPathFor(source), workDir);
        ASSERT_TRUE(edited);
        EXPECT_GT(edited->mismatchedLines(), 0);
        EXPECT_FALSE(LineMap::FromListing(source, dir.at("missing.lis"), workDir));
    }
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
    for (uint32_t a : addresses) args.push_back(Hex(a));
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
        for (const auto& e : map->lines())
            EXPECT_TRUE(e.line != used || site->addresses[0] <= e.start) << std::hex << e.start;
        EXPECT_EQ(map->locationAt(site->addresses[0])->line, used);
    }
    EXPECT_EQ(map->functionAt(map->addressOf(source, 8)->addresses[0])->name, "main");
    EXPECT_FALSE(map->addressOf(source, 16));
    EXPECT_FALSE(LineMap::FromElf(source));
}

}  // namespace
