// Tests of the C text written for a bitmap: exact bytes, file naming, failures, and compiling it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include "../../support/table.h"
#include "bmp_builder.h"
#include "c_export.h"

using namespace korvan::bitmap;
using bmptest::BmpSpec;
using bmptest::buildBmp;
namespace fs = std::filesystem;
using std::string_literals::operator""s;

namespace {

// The C file of the pixels under `name`, written independently of the converter: "0xHH, " per
// byte, a line end after every 16th, then the structure of the fields given.
std::string cFile(const std::string& name, const std::vector<uint8_t>& pixels, const char* fields) {
    std::string s = "\r\nchar " + name + "[] = {\r\n";
    char item[8];
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        std::snprintf(item, sizeof item, "0x%02X, ", pixels[i]);
        s += item;
        if (i % 16 == 15) s += "\r\n";
    }
    return s + "};\r\nstruct image i_" + name + "={(short)" + fields + "," + name + "};\r\n";
}

// Writes the bitmap as dir/file and exports it under `name`; the result, the C file's bytes in *text.
ExportResult exportSpec(const fs::path& dir, const std::string& file, const BmpSpec& spec, const std::string& name,
                        std::string* text = nullptr) {
    bmptest::writeFile(dir / file, buildBmp(spec));
    const ExportResult r = exportBitmap((dir / file).string(), name);
    if (text) *text = bmptest::readFile(r.outputPath);
    return r;
}

struct GoldenCase {
    const char* test;
    BmpSpec spec;
    const char* name;
    std::string expected;  // empty: the file data/name.c.golden
};

// A one-bit picture of pattern bytes, expected as cFile writes it.
GoldenCase patterned(const char* test, int32_t width, int32_t height, const char* name, const char* fields) {
    const auto pixels = bmptest::patternBytes(bmptest::rowStride(width, 1) * height, 3);
    return {test,
            {.width = width, .height = height, .bitsPerPixel = 1, .pixels = pixels},
            name,
            cFile(name, pixels, fields)};
}

TEST(Export, FileHoldsExactlyTheseBytes) {
    // clang-format off
    const GoldenCase cases[] = {
        {"EightBytesEndOnTheirOwnLine",
         {.width = 16, .height = 2, .bitsPerPixel = 1, .pixels = {0x00, 0xFF, 0x12, 0xAB, 0x80, 0x7F, 0x01, 0xFE}},
         "tiny"},
        {"ZeroImageSizeGivesAnEmptyArray",
         {.width = 16, .height = 2, .bitsPerPixel = 1, .imageSize = 0, .pixels = {1, 2, 3, 4, 5, 6, 7, 8}}, "vide"},
        {"EightBitPaletteWidthSeventeen",
         {.width = 17, .height = 1, .bitsPerPixel = 8, .coloursUsed = 2,
          .pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}}, "pal"},
        {"TwentyFourBitsKeepColourOrderAndPadding",
         {.width = 3, .height = 1, .bitsPerPixel = 24,
          .pixels = {0x0C, 0x22, 0xF0, 0x00, 0x00, 0xFF, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x00}}, "rgb"},
        patterned("DisplayPicture128x64GivesSixtyFourFullLines", 128, 64, "bitmap", "0x400, 0x10, 0x40"),
        // Bytes from 8192 on are separated like the others.
        patterned("MoreThan8192Bytes", 512, 160, "grand", "0x2800, 0x40, 0xa0"),
    };
    // clang-format on
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.test);
        bmptest::TempDir dir;
        std::string text;
        const ExportResult r = exportSpec(dir.path, "pic.bmp", c.spec, c.name, &text);
        EXPECT_TRUE(r.ok()) << exportMessage(r);
        EXPECT_EQ(text,
                  c.expected.empty() ? bmptest::readFile(KORVAN_BITMAP_DATA "/"s + c.name + ".c.golden") : c.expected);
    }
}

TEST(OutputName, ReplacesOnlyTheLastComponentsExtension) {
    for (const auto& row : korvan::test::readTable(KORVAN_BITMAP_DATA "/output_names.txt", 2))
        EXPECT_EQ(outputPathFor(row[0]), row[1]) << row[0];
}

TEST(ResourceName, OnlyCIdentifiersAreTaken) {
    for (const char* good : {"bitmap", "logo", "_x", "i2c_logo", "A"}) EXPECT_TRUE(isCIdentifier(good)) << good;
    for (const char* bad : {"", "2logo", "mon logo", "logo;", "x[]", "é", "a-b"})
        EXPECT_FALSE(isCIdentifier(bad)) << bad;
}

// --- export on disk ---------------------------------------------------------------------------

BmpSpec smallSpec() { return {.width = 16, .height = 2, .bitsPerPixel = 1, .pixels = bmptest::patternBytes(8)}; }

// The C file replaces an earlier one beside the bitmap, leaves no temporary file, and follows no
// link planted under a predictable temporary name.
TEST(Export, ReplacesAnEarlierFileBesideTheBitmapSafely) {
    bmptest::TempDir dir;
    const fs::path at = dir.path / "v1.2";
    fs::create_directory(at);
    bmptest::writeFile(at / "splash.c", std::vector<uint8_t>(50000, 'x'));
    bmptest::writeFile(at / "victim.txt", {'k', 'e', 'e', 'p'});
    for (const char* planted : {"splash.c.part", "splash.c.tmp", "splash.c~"})
        fs::create_symlink(at / "victim.txt", at / planted);
    std::string text;
    const ExportResult r = exportSpec(at, "splash.bmp", smallSpec(), "logo", &text);
    ASSERT_TRUE(r.ok()) << exportMessage(r);
    EXPECT_EQ(r.outputPath, (at / "splash.c").string());
    EXPECT_EQ(text, cFile("logo", smallSpec().pixels, "0x8, 0x2, 0x2"));
    EXPECT_EQ(std::distance(fs::directory_iterator(at), fs::directory_iterator()), 6);
    EXPECT_EQ(bmptest::readFile(at / "victim.txt"), "keep");
    EXPECT_FALSE(fs::is_symlink(at / "splash.c"));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<unsigned>(fs::status(at / "splash.c").permissions()), 0666u & ~mask)
        << "the file gets the usual permissions, not the temporary file's";
}

// A failed export writes nothing and keeps an earlier C file, or the bitmap that has the C file's
// name.
TEST(Export, FailureWritesNothing) {
    const auto sound = buildBmp(smallSpec());
    struct {
        const char* test;
        std::vector<uint8_t> bitmap;  // empty: no bitmap at all
        const char* name;
        bool folderAtOutput;  // a folder stands where the C file would go
        ExportStatus status;
        const char* messagePart;
    } const cases[] = {
        {"TruncatedBitmap", std::vector(sound.begin(), sound.end() - 1), "bitmap", false, ExportStatus::BadBitmap,
         "tronqué"},
        {"MissingBitmap", {}, "bitmap", false, ExportStatus::BadBitmap, "Impossible d'ouvrir"},
        {"NameNotAnIdentifier", sound, "mon logo", false, ExportStatus::BadName, "\"mon logo\""},
        {"OutputCannotBeCreated", sound, "bitmap", true, ExportStatus::CannotCreate, "Impossible de créer"},
        {"BitmapNamedLikeItsCFile", sound, "pic", false, ExportStatus::SameAsBitmap, "remplacerait"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test);
        bmptest::TempDir dir;
        const bool same = c.status == ExportStatus::SameAsBitmap;
        const fs::path bitmap = dir.path / (same ? "pic.c" : "pic.bmp");
        if (c.folderAtOutput)
            fs::create_directory(dir.path / "pic.c");
        else
            bmptest::writeFile(dir.path / "pic.c", {'o', 'l', 'd'});
        if (!c.bitmap.empty()) bmptest::writeFile(bitmap, c.bitmap);
        const ExportResult r = exportBitmap(bitmap.string(), c.name);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(exportMessage(r).find(c.messagePart), std::string::npos) << exportMessage(r);
        EXPECT_TRUE(c.folderAtOutput || bmptest::readFile(dir.path / "pic.c") ==
                                            (same ? std::string(c.bitmap.begin(), c.bitmap.end()) : "old"));
        for (const auto& entry : fs::directory_iterator(dir.path))
            EXPECT_EQ(entry.path().filename().string().rfind("pic.c.", 0), std::string::npos) << entry.path();
    }
}

// --- compiling the generated file -------------------------------------------------------------

// Runs a shell command in dir (a scratch folder of plain characters), its output going to
// dir/log.txt; its exit status, or -1.
int run(const fs::path& dir, const std::string& command) {
    const int status = std::system(("cd '" + dir.string() + "' && " + command + " >>log.txt 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The declaration a program using the generated file supplies. Bytes >= 0x80 in a `char` array
// draw -Woverflow where char is signed; everything else must compile cleanly.
constexpr const char* kImageDeclaration =
    "struct image { short size; short widthBytes; short height; const char *bits; };\n";
constexpr const char* kWarningFlags = " -std=c99 -Wall -Wextra -pedantic -Werror -Wno-overflow ";

// The host compiler builds a program that sees the array's bytes and the structure's fields; the
// m68k cross compiler, when installed, places the array and then the structure in .data.
TEST(CompileGenerated, HostAndCrossCompilersSeeTheBytesAndFields) {
    bmptest::TempDir dir;
    const auto pixels = bmptest::patternBytes(10240, 21);
    const std::string bytes(pixels.begin(), pixels.end());
    ASSERT_TRUE(
        exportSpec(dir.path, "grand.bmp", {.width = 512, .height = 160, .bitsPerPixel = 1, .pixels = pixels}, "grand")
            .ok());
    const auto log = [&] { return bmptest::readFile(dir.path / "log.txt"); };
    // The program writes the array's bytes, then the structure's fields, to the file it is given.
    std::ofstream(dir.path / "main.c") << kImageDeclaration
                                       << "#include \"grand.c\"\n#include \"" KORVAN_BITMAP_DATA "/show_bytes.c\"\n";
    ASSERT_EQ(run(dir.path, KORVAN_HOST_C_COMPILER + std::string(kWarningFlags) + "main.c -o main"), 0) << log();
    ASSERT_EQ(run(dir.path, "./main seen.bin"), 0) << log();
    EXPECT_EQ(bmptest::readFile(dir.path / "seen.bin"), bytes + "|10240 64 160 1");

    if (run(dir.path, "command -v m68k-linux-gnu-gcc m68k-linux-gnu-objcopy") != 0)
        GTEST_SKIP() << "the m68k cross compiler and objcopy are not installed";
    std::ofstream(dir.path / "unit.c") << kImageDeclaration << "#include \"grand.c\"\n";
    ASSERT_EQ(run(dir.path, "m68k-linux-gnu-gcc -mcpu=cpu32" + std::string(kWarningFlags) + "-c unit.c -o unit.o"), 0)
        << log();
    ASSERT_EQ(run(dir.path, "m68k-linux-gnu-objcopy -O binary --only-section=.data unit.o data.bin"), 0) << log();
    // The array, then the structure's three shorts, big-endian: 0x2800, 0x0040, 0x00a0.
    const std::string expected = bytes + "\x28\x00\x00\x40\x00\xa0"s;
    EXPECT_EQ(bmptest::readFile(dir.path / "data.bin").substr(0, expected.size()), expected);
}

}  // namespace
