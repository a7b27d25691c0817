// Tests of the bitmap reader: where pixels are found, and refusal of damaged or foreign files.
#include <gtest/gtest.h>

#include <functional>

#include "bmp_builder.h"
#include "bmp_file.h"
#include "c_export.h"

using namespace korvan::bitmap;
using bmptest::BmpSpec;
using bmptest::buildBmp;

namespace {

// --- where the pixels start --------------------------------------------------------------

struct LayoutCase {
    const char* name;
    BmpSpec spec;
    uint64_t pixelStart;  // counted by hand from the layout
};

BmpSpec withPixels(BmpSpec s, std::size_t count) {
    s.pixels = bmptest::patternBytes(count, 5);
    return s;
}

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class BitmapLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BitmapLayout, PixelsAreTakenFromWhereTheFileStoresThem) {
    const LayoutCase& c = GetParam();
    const auto file = buildBmp(c.spec);
    const BitmapCheck check = checkBitmap(file);
    ASSERT_TRUE(check.ok()) << static_cast<int>(check.error);
    EXPECT_EQ(check.info.pixelStart, c.pixelStart);
    EXPECT_EQ(check.info.imageSize, c.spec.pixels.size());
    // The pixels are the file's last bytes, as the builder placed them.
    const std::vector<uint8_t> tail(file.end() - static_cast<long>(c.spec.pixels.size()), file.end());
    EXPECT_EQ(tail, c.spec.pixels);
    EXPECT_EQ(check.info.pixelStart + check.info.imageSize, file.size());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BitmapLayout,
    ::testing::Values(
        // 14 + 40 + 2 colours * 4
        LayoutCase{"OneBit128x64", withPixels({.width = 128, .height = 64, .bitsPerPixel = 1}, 1024), 62},
        LayoutCase{"OneBitTwoColoursUsed",
                   withPixels({.width = 16, .height = 2, .bitsPerPixel = 1, .coloursUsed = 2}, 8), 62},
        // 14 + 40 + 16 * 4
        LayoutCase{"FourBit", withPixels({.width = 8, .height = 3, .bitsPerPixel = 4}, 12), 118},
        // 14 + 40 + 256 * 4
        LayoutCase{"EightBitFullPalette", withPixels({.width = 20, .height = 3, .bitsPerPixel = 8}, 60), 1078},
        // 14 + 40 + 5 * 4
        LayoutCase{"EightBitFiveColours",
                   withPixels({.width = 20, .height = 3, .bitsPerPixel = 8, .coloursUsed = 5}, 60), 74},
        LayoutCase{"TwentyFourBit", withPixels({.width = 3, .height = 2, .bitsPerPixel = 24}, 24), 54},
        // a 24-bit bitmap may still carry a colour table of "colours used" entries
        LayoutCase{"TwentyFourBitWithTable",
                   withPixels({.width = 3, .height = 2, .bitsPerPixel = 24, .coloursUsed = 3}, 24), 66},
        // 14 + 40 + 12 bytes of masks
        LayoutCase{"SixteenBitFields",
                   withPixels({.width = 2, .height = 2, .bitsPerPixel = 16, .compression = 3}, 8), 66},
        LayoutCase{"ThirtyTwoBitFields",
                   withPixels({.width = 2, .height = 2, .bitsPerPixel = 32, .compression = 3}, 16), 66},
        LayoutCase{"ThirtyTwoBitPlain", withPixels({.width = 2, .height = 2, .bitsPerPixel = 32}, 16), 54}),
    [](const auto& info) { return std::string(info.param.name); });

// --- damaged and foreign files ----------------------------------------------------------

struct DamageCase {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    BitmapError error;
    const char* messagePart;  // expected in the message shown to the user
};

std::vector<uint8_t> soundEightBit() {
    return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8}, 60));
}

std::vector<uint8_t> cut(std::vector<uint8_t> b, std::size_t length) {
    b.resize(length);
    return b;
}

std::vector<uint8_t> with32(std::vector<uint8_t> b, std::size_t at, uint32_t v) {
    bmptest::put32(b, at, v);
    return b;
}

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamagedBitmap : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedBitmap, IsRefusedWithItsReason) {
    const DamageCase& c = GetParam();
    const auto file = c.make();
    const BitmapCheck check = checkBitmap(file);
    EXPECT_EQ(check.error, c.error);

    ExportResult r;
    r.status = ExportStatus::BadBitmap;
    r.bitmap = check;
    r.bitmapPath = "/home/eleve/img/pic.bmp";
    const std::string message = exportMessage(r);
    EXPECT_NE(message.find("\"/home/eleve/img/pic.bmp\""), std::string::npos) << message;
    EXPECT_NE(message.find(c.messagePart), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedBitmap,
    ::testing::Values(
        DamageCase{"EmptyFile", [] { return std::vector<uint8_t>{}; }, BitmapError::Truncated, "tronqué"},
        DamageCase{"OnlyPartOfTheFileHeader", [] { return cut(soundEightBit(), 10); },
                   BitmapError::Truncated, "10 octets"},
        DamageCase{"NoSignature", [] { auto b = soundEightBit(); b[0] = 'P'; b[1] = 'K'; return b; },
                   BitmapError::NotABitmap, "n'est pas un fichier BMP"},
        DamageCase{"CoreHeaderOfOldVersion", [] { return with32(soundEightBit(), 14, 12); },
                   BitmapError::HeaderVersion, "12 octets"},
        DamageCase{"VersionFourHeader", [] { return with32(soundEightBit(), 14, 108); },
                   BitmapError::HeaderVersion, "108 octets"},
        DamageCase{"VersionFiveHeader", [] { return with32(soundEightBit(), 14, 124); },
                   BitmapError::HeaderVersion, "124 octets"},
        DamageCase{"InfoHeaderCutShort", [] { return cut(soundEightBit(), 40); },
                   BitmapError::Truncated, "tronqué"},
        DamageCase{"FileSizeFieldBeyondFile", [] { return cut(soundEightBit(), 1100); },
                   BitmapError::Truncated, "1100 octets"},
        DamageCase{"ColourTableCutShort",  // size field cleared, so only the table gives it away
                   [] { return with32(cut(soundEightBit(), 300), 2, 0); }, BitmapError::Truncated,
                   "tronqué"},
        DamageCase{"HugeColourCountAboveEightBits",
                   [] { return buildBmp(withPixels({.width = 3, .height = 2, .bitsPerPixel = 24,
                                                    .coloursUsed = 0xFFFFFFFF, .paletteEntries = 0},
                                                   24)); },
                   BitmapError::Truncated, "tronqué"},
        DamageCase{"MoreColoursThanBitsIndex",
                   [] { return buildBmp(withPixels({.width = 16, .height = 2, .bitsPerPixel = 1,
                                                    .coloursUsed = 3}, 8)); },
                   BitmapError::BadColourCount, "3 couleurs pour 1 bits"},
        DamageCase{"ImageSizeBeyondFile",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8,
                                                    .imageSize = 61}, 60)); },
                   BitmapError::ImageBeyondFile, "61 octets"},
        DamageCase{"ImageSizeAllOnes",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8,
                                                    .imageSize = 0xFFFFFFFF}, 60)); },
                   BitmapError::ImageBeyondFile, "4294967295 octets"},
        DamageCase{"PixelDataCutShort",  // size field cleared; the image size gives it away
                   [] { return with32(cut(soundEightBit(), 1100), 2, 0); },
                   BitmapError::ImageBeyondFile, "dépasse la fin du fichier"},
        DamageCase{"PixelOffsetLies",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8,
                                                    .pixelOffset = 54}, 60)); },
                   BitmapError::PixelOffsetMismatch, "l'octet 54 au lieu de l'octet 1078"},
        DamageCase{"PaletteShorterThanHeaderSays",
                   [] { return buildBmp(withPixels({.width = 40, .height = 30, .bitsPerPixel = 8,
                                                    .paletteEntries = 16}, 1200)); },
                   BitmapError::PixelOffsetMismatch, "l'octet 118 au lieu de l'octet 1078"},
        DamageCase{"PaletteShorterThanHeaderSaysInASmallFile",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8,
                                                    .paletteEntries = 16}, 60)); },
                   BitmapError::Truncated, "178 octets"},
        DamageCase{"ZeroBitsPerPixel",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 0,
                                                    .paletteEntries = 0}, 60)); },
                   BitmapError::BadBitCount, "0 bits par pixel"},
        DamageCase{"SevenBitsPerPixel",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 7}, 60)); },
                   BitmapError::BadBitCount, "7 bits par pixel"},
        DamageCase{"RunLengthEncoded",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8,
                                                    .compression = 1}, 60)); },
                   BitmapError::BadCompression, "compression 1"},
        DamageCase{"BitFieldsAtEightBits",
                   [] { return buildBmp(withPixels({.width = 20, .height = 3, .bitsPerPixel = 8,
                                                    .compression = 3}, 60)); },
                   BitmapError::BadCompression, "compression 3"},
        DamageCase{"ZeroWidth",
                   [] { return buildBmp(withPixels({.width = 0, .height = 3, .bitsPerPixel = 8}, 0)); },
                   BitmapError::BadDimensions, "largeur 0"},
        DamageCase{"TopDownRows",
                   [] { return buildBmp(withPixels({.width = 20, .height = -3, .bitsPerPixel = 8}, 60)); },
                   BitmapError::BadDimensions, "hauteur -3"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every shortened copy of a sound file is refused, whatever its length: its size fields
// always claim more than is left.
TEST(BitmapCheck, EveryTruncationOfASoundFileIsRefused) {
    for (const auto& full : {soundEightBit(),
                             buildBmp(withPixels({.width = 128, .height = 64, .bitsPerPixel = 1}, 1024))}) {
        ASSERT_TRUE(checkBitmap(full).ok());
        for (std::size_t length = 0; length < full.size(); ++length) {
            // A copy of exactly `length` bytes, so a read past it is caught by the sanitizers.
            const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<long>(length));
            EXPECT_FALSE(checkBitmap(part).ok()) << "length " << length;
            auto sizeCleared = part;
            if (sizeCleared.size() >= 6)
                bmptest::put32(sizeCleared, 2, 0);
            EXPECT_FALSE(checkBitmap(sizeCleared).ok()) << "length " << length << ", size field 0";
        }
    }
}

TEST(BitmapCheck, FileSizeFieldOfZeroIsAccepted) {
    auto file = soundEightBit();
    bmptest::put32(file, 2, 0);
    EXPECT_TRUE(checkBitmap(file).ok());
}

// --- reading from disk --------------------------------------------------------------------

TEST(LoadBitmap, MissingFileCannotBeOpened) {
    bmptest::TempDir dir;
    const auto loaded = loadBitmap((dir.path() / "absent.bmp").string());
    EXPECT_EQ(loaded.check.error, BitmapError::CannotOpen);
}

TEST(LoadBitmap, FolderIsNotRead) {
    bmptest::TempDir dir;
    std::filesystem::create_directory(dir.path() / "folder.bmp");
    const auto loaded = loadBitmap((dir.path() / "folder.bmp").string());
    EXPECT_EQ(loaded.check.error, BitmapError::CannotRead);
}

TEST(LoadBitmap, FileAboveTheLimitIsRefusedWithoutParsing) {
    bmptest::TempDir dir;
    auto file = soundEightBit();
    file.resize(kMaxFileSize + 1);
    bmptest::writeFile(dir.path() / "big.bmp", file);
    const auto loaded = loadBitmap((dir.path() / "big.bmp").string());
    EXPECT_EQ(loaded.check.error, BitmapError::TooLarge);
    EXPECT_TRUE(loaded.bytes.empty());
}

TEST(LoadBitmap, FileAtTheLimitIsRead) {
    bmptest::TempDir dir;
    auto file = soundEightBit();
    file.resize(kMaxFileSize);
    bmptest::writeFile(dir.path() / "edge.bmp", file);
    const auto loaded = loadBitmap((dir.path() / "edge.bmp").string());
    EXPECT_TRUE(loaded.check.ok()) << static_cast<int>(loaded.check.error);
    EXPECT_EQ(loaded.bytes.size(), kMaxFileSize);
    EXPECT_EQ(loaded.pixels().size(), 60u);
}

}  // namespace
