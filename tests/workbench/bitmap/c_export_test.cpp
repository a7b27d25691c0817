// Tests of the C text written for a bitmap: exact bytes, file naming, failures, and compiling it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bmp_builder.h"
#include "c_export.h"

extern char** environ;

using namespace korvan::bitmap;
using bmptest::BmpSpec;
using bmptest::buildBmp;
namespace fs = std::filesystem;

namespace {

// The array lines written independently of the converter: "0xHH, " per byte, a line end
// after every 16th.
std::string arrayLines(const std::vector<uint8_t>& bytes) {
    std::string s;
    char item[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(item, sizeof item, "0x%02X, ", bytes[i]);
        s += item;
        if (i % 16 == 15)
            s += "\r\n";
    }
    return s;
}

// Writes the bitmap into `dir` as `file`, exports it under `name`, returns the C file's bytes.
std::string exportToText(const fs::path& dir, const std::string& file, const BmpSpec& spec,
                         const std::string& name) {
    bmptest::writeFile(dir / file, buildBmp(spec));
    const ExportResult r = exportBitmap((dir / file).string(), name);
    EXPECT_TRUE(r.ok()) << exportMessage(r);
    return bmptest::readFile(r.outputPath);
}

// --- golden text, written out by hand --------------------------------------------------------

struct GoldenCase {
    const char* test;
    BmpSpec spec;
    const char* name;
    const char* expected;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.test; }

class GoldenText : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenText, FileHoldsExactlyTheseBytes) {
    const GoldenCase& c = GetParam();
    bmptest::TempDir dir;
    EXPECT_EQ(exportToText(dir.path(), "pic.bmp", c.spec, c.name), std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Golden, GoldenText,
    ::testing::Values(
        GoldenCase{"EightBytesEndOnTheirOwnLine",
                   {.width = 16, .height = 2, .bitsPerPixel = 1,
                    .pixels = {0x00, 0xFF, 0x12, 0xAB, 0x80, 0x7F, 0x01, 0xFE}},
                   "tiny",
                   "\r\nchar tiny[] = {\r\n"
                   "0x00, 0xFF, 0x12, 0xAB, 0x80, 0x7F, 0x01, 0xFE, };\r\n"
                   "struct image i_tiny={(short)0x8, 0x2, 0x2,tiny};\r\n"},
        GoldenCase{"ZeroImageSizeGivesAnEmptyArray",
                   {.width = 16, .height = 2, .bitsPerPixel = 1, .imageSize = 0,
                    .pixels = {1, 2, 3, 4, 5, 6, 7, 8}},
                   "vide",
                   "\r\nchar vide[] = {\r\n"
                   "};\r\n"
                   "struct image i_vide={(short)0x0, 0x2, 0x2,vide};\r\n"},
        GoldenCase{"SixteenBytesFillOneLine",
                   {.width = 32, .height = 4, .bitsPerPixel = 1,
                    .pixels = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                               0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
                   "ligne",
                   "\r\nchar ligne[] = {\r\n"
                   "0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, \r\n"
                   "};\r\n"
                   "struct image i_ligne={(short)0x10, 0x4, 0x4,ligne};\r\n"},
        GoldenCase{"EightBitPaletteWidthSeventeen",
                   {.width = 17, .height = 1, .bitsPerPixel = 8, .coloursUsed = 2,
                    .pixels = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                               0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14}},
                   "pal",
                   "\r\nchar pal[] = {\r\n"
                   "0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, \r\n"
                   "0x11, 0x12, 0x13, 0x14, };\r\n"
                   "struct image i_pal={(short)0x14, 0x2, 0x1,pal};\r\n"},
        GoldenCase{"TwentyFourBitsKeepColourOrderAndPadding",
                   {.width = 3, .height = 1, .bitsPerPixel = 24,
                    .pixels = {0x0C, 0x22, 0xF0, 0x00, 0x00, 0xFF, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x00}},
                   "rgb",
                   "\r\nchar rgb[] = {\r\n"
                   "0x0C, 0x22, 0xF0, 0x00, 0x00, 0xFF, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x00, };\r\n"
                   "struct image i_rgb={(short)0xc, 0x0, 0x1,rgb};\r\n"}),
    [](const auto& info) { return std::string(info.param.test); });

TEST(CText, DisplayPicture128x64GivesSixtyFourFullLines) {
    bmptest::TempDir dir;
    const auto pixels = bmptest::patternBytes(1024, 3);
    const std::string text =
        exportToText(dir.path(), "ecran.bmp", {.width = 128, .height = 64, .bitsPerPixel = 1, .pixels = pixels},
                     "bitmap");
    EXPECT_EQ(text, "\r\nchar bitmap[] = {\r\n" + arrayLines(pixels) +
                        "};\r\nstruct image i_bitmap={(short)0x400, 0x10, 0x40,bitmap};\r\n");
}

TEST(CText, BytesFrom8191OnAreSeparatedLikeTheOthers) {
    bmptest::TempDir dir;
    const auto pixels = bmptest::patternBytes(10240, 9);  // 512 x 160 at one bit
    const std::string text =
        exportToText(dir.path(), "grand.bmp", {.width = 512, .height = 160, .bitsPerPixel = 1, .pixels = pixels},
                     "grand");
    EXPECT_EQ(text, "\r\nchar grand[] = {\r\n" + arrayLines(pixels) +
                        "};\r\nstruct image i_grand={(short)0x2800, 0x40, 0xa0,grand};\r\n");
    // Line 512 holds bytes 8176 to 8191, line 513 starts with byte 8192.
    char around[64];
    std::snprintf(around, sizeof around, "0x%02X, \r\n0x%02X, 0x%02X, ", pixels[8191], pixels[8192], pixels[8193]);
    EXPECT_NE(text.find(around), std::string::npos);
}

// --- output file names -----------------------------------------------------------------------

struct NameCase {
    const char* bitmap;
    const char* output;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.bitmap; }

class OutputName : public ::testing::TestWithParam<NameCase> {};

TEST_P(OutputName, ReplacesOnlyTheLastComponentsExtension) {
    EXPECT_EQ(outputPathFor(GetParam().bitmap), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputName,
    ::testing::Values(NameCase{"/home/eleve/img/splash.bmp", "/home/eleve/img/splash.c"},
                      NameCase{"/home/eleve/v1.2/splash.bmp", "/home/eleve/v1.2/splash.c"},
                      NameCase{"/home/eleve/v1.2/splash", "/home/eleve/v1.2/splash.c"},
                      NameCase{"/home/eleve/img/splash", "/home/eleve/img/splash.c"},
                      NameCase{"./splash.bmp", "./splash.c"},
                      NameCase{"../img/logo.tar.bmp", "../img/logo.tar.c"},
                      NameCase{"splash.BMP", "splash.c"},
                      NameCase{"splash.", "splash.c"},
                      NameCase{"/home/eleve/.bmp", "/home/eleve/.bmp.c"},
                      NameCase{".bmp", ".bmp.c"}));

TEST(ResourceName, OnlyCIdentifiersAreTaken) {
    for (const char* good : {"bitmap", "logo", "_x", "i2c_logo", "A"})
        EXPECT_TRUE(isCIdentifier(good)) << good;
    for (const char* bad : {"", "2logo", "mon logo", "logo;", "x[]", "é", "a-b"})
        EXPECT_FALSE(isCIdentifier(bad)) << bad;
}

// --- export on disk ---------------------------------------------------------------------------

BmpSpec smallSpec() {
    return {.width = 16, .height = 2, .bitsPerPixel = 1, .pixels = bmptest::patternBytes(8)};
}

TEST(Export, WritesBesideTheBitmapUnderTheNameOfItsLastComponent) {
    bmptest::TempDir dir;
    fs::create_directory(dir.path() / "v1.2");
    const fs::path bmp = dir.path() / "v1.2" / "splash.bmp";
    bmptest::writeFile(bmp, buildBmp(smallSpec()));
    const ExportResult r = exportBitmap(bmp.string(), "logo");
    ASSERT_TRUE(r.ok()) << exportMessage(r);
    EXPECT_EQ(r.outputPath, (dir.path() / "v1.2" / "splash.c").string());
    const std::string text = bmptest::readFile(r.outputPath);
    EXPECT_NE(text.find("\r\nchar logo[] = {\r\n"), std::string::npos);
    EXPECT_NE(text.find("struct image i_logo={(short)0x8, 0x2, 0x2,logo};\r\n"), std::string::npos);
    // Nothing else appears in the folder: no temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "v1.2"), fs::directory_iterator()), 2);
}

TEST(Export, OverwritesAnEarlierFile) {
    bmptest::TempDir dir;
    bmptest::writeFile(dir.path() / "a.bmp", buildBmp(smallSpec()));
    bmptest::writeFile(dir.path() / "a.c", std::vector<uint8_t>(50000, 'x'));
    ASSERT_TRUE(exportBitmap((dir.path() / "a.bmp").string(), "a").ok());
    EXPECT_EQ(bmptest::readFile(dir.path() / "a.c").substr(0, 15), "\r\nchar a[] = {\r");
    EXPECT_LT(fs::file_size(dir.path() / "a.c"), 200u);
}

struct FailureCase {
    const char* test;
    std::function<void(const fs::path& dir)> prepare;  // leaves the bitmap at dir/"pic.bmp"
    const char* name;
    ExportStatus status;
    const char* messagePart;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.test; }

class ExportFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ExportFailure, WritesNothingAndKeepsAnEarlierFile) {
    const FailureCase& c = GetParam();
    bmptest::TempDir dir;
    c.prepare(dir.path());
    const fs::path out = dir.path() / "pic.c";
    const bool earlier = !fs::exists(out);
    if (earlier)
        bmptest::writeFile(dir.path() / "pic.c", {'o', 'l', 'd'});
    const ExportResult r = exportBitmap((dir.path() / "pic.bmp").string(), c.name);
    EXPECT_EQ(r.status, c.status);
    const std::string message = exportMessage(r);
    EXPECT_NE(message.find(c.messagePart), std::string::npos) << message;
    if (earlier) {
        EXPECT_EQ(bmptest::readFile(out), "old");
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ExportFailure,
    ::testing::Values(
        FailureCase{"TruncatedBitmap",
                    [](const fs::path& d) {
                        auto b = buildBmp(smallSpec());
                        b.resize(b.size() - 1);
                        bmptest::writeFile(d / "pic.bmp", b);
                    },
                    "bitmap", ExportStatus::BadBitmap, "tronqué"},
        FailureCase{"OtherHeaderVersion",
                    [](const fs::path& d) {
                        auto b = buildBmp(smallSpec());
                        bmptest::put32(b, 14, 124);
                        bmptest::writeFile(d / "pic.bmp", b);
                    },
                    "bitmap", ExportStatus::BadBitmap, "124 octets"},
        FailureCase{"MissingBitmap", [](const fs::path&) {}, "bitmap", ExportStatus::BadBitmap,
                    "Impossible d'ouvrir"},
        FailureCase{"NameNotAnIdentifier",
                    [](const fs::path& d) { bmptest::writeFile(d / "pic.bmp", buildBmp(smallSpec())); },
                    "mon logo", ExportStatus::BadName, "\"mon logo\""},
        FailureCase{"OutputCannotBeCreated",  // a folder stands where the file would go
                    [](const fs::path& d) {
                        bmptest::writeFile(d / "pic.bmp", buildBmp(smallSpec()));
                        fs::create_directory(d / "pic.c");
                    },
                    "bitmap", ExportStatus::CannotCreate, "Impossible de créer"}),
    [](const auto& info) { return std::string(info.param.test); });

TEST(Export, NeverReplacesTheBitmapItself) {
    bmptest::TempDir dir;
    const auto bytes = buildBmp(smallSpec());
    bmptest::writeFile(dir.path() / "pic.c", bytes);
    const ExportResult r = exportBitmap((dir.path() / "pic.c").string(), "pic");
    EXPECT_EQ(r.status, ExportStatus::SameAsBitmap);
    EXPECT_EQ(bmptest::readFile(dir.path() / "pic.c"), std::string(bytes.begin(), bytes.end()));
}

// --- compiling the generated file -------------------------------------------------------------

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / program;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    return {};
}

// Runs a program with an argument list (no shell), its output going to `log`; returns its
// exit status, or -1 when it could not be run.
int run(const std::vector<std::string>& argv, const fs::path& log) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The declaration a program using the generated file supplies.
constexpr const char* kImageDeclaration =
    "struct image { short size; short widthBytes; short height; const char *bits; };\n";

// Bytes >= 0x80 in a `char` array draw -Woverflow where char is signed; everything else must
// compile cleanly.
const std::vector<std::string> kWarningFlags = {"-std=c99", "-Wall", "-Wextra", "-pedantic", "-Werror",
                                                "-Wno-overflow"};

class CompileGenerated : public ::testing::Test {
protected:
    void SetUp() override {
        pixels = bmptest::patternBytes(10240, 21);
        bmptest::writeFile(dir.path() / "grand.bmp",
                           buildBmp({.width = 512, .height = 160, .bitsPerPixel = 1, .pixels = pixels}));
        const ExportResult r = exportBitmap((dir.path() / "grand.bmp").string(), "grand");
        ASSERT_TRUE(r.ok()) << exportMessage(r);
    }
    std::string log() const { return bmptest::readFile(dir.path() / "log.txt"); }

    bmptest::TempDir dir;
    std::vector<uint8_t> pixels;
};

TEST_F(CompileGenerated, HostCompilerBuildsAProgramThatSeesTheBytes) {
    std::string cc = findOnPath("cc");
    if (cc.empty())
        cc = KORVAN_HOST_C_COMPILER;
    std::ofstream(dir.path() / "main.c")
        << kImageDeclaration << "#include \"grand.c\"\n"
        << "#include <stdio.h>\n"
           "int main(int argc, char **argv) {\n"
           "    FILE *f = fopen(argv[1], \"wb\");\n"
           "    if (!f || argc < 2) return 2;\n"
           "    fwrite(grand, 1, sizeof grand, f);\n"
           "    fprintf(f, \"|%u %d %d %d\", (unsigned)(unsigned short)i_grand.size, i_grand.widthBytes,\n"
           "            i_grand.height, i_grand.bits == grand);\n"
           "    return fclose(f) != 0;\n"
           "}\n";
    std::vector<std::string> argv = {cc};
    argv.insert(argv.end(), kWarningFlags.begin(), kWarningFlags.end());
    argv.insert(argv.end(), {(dir.path() / "main.c").string(), "-o", (dir.path() / "main").string()});
    ASSERT_EQ(run(argv, dir.path() / "log.txt"), 0) << log();
    ASSERT_EQ(run({(dir.path() / "main").string(), (dir.path() / "seen.bin").string()}, dir.path() / "log.txt"), 0)
        << log();
    std::string expected(pixels.begin(), pixels.end());
    expected += "|10240 64 160 1";
    EXPECT_EQ(bmptest::readFile(dir.path() / "seen.bin"), expected);
}

TEST_F(CompileGenerated, CrossCompilerPlacesArrayAndStructureInData) {
    const std::string gcc = findOnPath("m68k-linux-gnu-gcc");
    if (gcc.empty())
        GTEST_SKIP() << "m68k-linux-gnu-gcc is not installed";
    std::ofstream(dir.path() / "unit.c") << kImageDeclaration << "#include \"grand.c\"\n";
    std::vector<std::string> argv = {gcc, "-mcpu=cpu32"};
    argv.insert(argv.end(), kWarningFlags.begin(), kWarningFlags.end());
    argv.insert(argv.end(), {"-c", (dir.path() / "unit.c").string(), "-o", (dir.path() / "unit.o").string()});
    ASSERT_EQ(run(argv, dir.path() / "log.txt"), 0) << log();

    const std::string objcopy = findOnPath("m68k-linux-gnu-objcopy");
    if (objcopy.empty())
        GTEST_SKIP() << "compiled; m68k-linux-gnu-objcopy is not installed to look inside";
    ASSERT_EQ(run({objcopy, "-O", "binary", "--only-section=.data", (dir.path() / "unit.o").string(),
                   (dir.path() / "data.bin").string()},
                  dir.path() / "log.txt"),
              0)
        << log();
    // The array, then the structure's three shorts, big-endian: 0x2800, 0x0040, 0x00a0.
    std::string expected(pixels.begin(), pixels.end());
    expected += std::string("\x28\x00\x00\x40\x00\xa0", 6);
    EXPECT_EQ(bmptest::readFile(dir.path() / "data.bin").substr(0, expected.size()), expected);
}

}  // namespace
