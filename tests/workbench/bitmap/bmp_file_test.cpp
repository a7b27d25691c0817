// Tests of the bitmap reader: where pixels are found, and refusal of damaged or foreign files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <tuple>

#include "bmp_builder.h"
#include "bmp_file.h"
#include "c_export.h"

using namespace korvan::bitmap;
using bmptest::BmpSpec;

namespace {

// A bitmap of the format described, with as many pixel bytes as its rows need.
std::vector<uint8_t> bmp(BmpSpec s) {
    s.pixels = bmptest::patternBytes(bmptest::rowStride(s.width, s.bitsPerPixel) * std::abs(s.height), 5);
    return bmptest::buildBmp(s);
}

// A 20 x 3 bitmap at 8 bits with the header fields of `s` after those three.
std::vector<uint8_t> eight(BmpSpec s = {}) {
    s.width = 20;
    s.height = 3;
    s.bitsPerPixel = 8;
    return bmp(s);
}

std::vector<uint8_t> cut(std::vector<uint8_t> b, std::size_t length) {
    b.resize(length);
    return b;
}

std::vector<uint8_t> with32(std::vector<uint8_t> b, std::size_t at, uint32_t v) {
    bmptest::put32(b, at, v);
    return b;
}

TEST(BitmapCheck, PixelsAreTakenFromWhereTheFileStoresThem) {
    // clang-format off
    const std::tuple<const char*, BmpSpec, uint64_t> cases[] = {  // the format, where its pixels start
        {"OneBit128x64", {.width = 128, .height = 64, .bitsPerPixel = 1}, 14 + 40 + 2 * 4},
        {"FourBit", {.width = 8, .height = 3, .bitsPerPixel = 4}, 14 + 40 + 16 * 4},
        {"EightBitFullPalette", {.width = 20, .height = 3, .bitsPerPixel = 8}, 14 + 40 + 256 * 4},
        {"EightBitFiveColours", {.width = 20, .height = 3, .bitsPerPixel = 8, .coloursUsed = 5}, 14 + 40 + 5 * 4},
        {"FileSizeFieldOfZero", {.width = 20, .height = 3, .bitsPerPixel = 8, .fileSize = 0}, 14 + 40 + 256 * 4},
        {"TwentyFourBit", {.width = 3, .height = 2, .bitsPerPixel = 24}, 14 + 40},
        // a 24-bit bitmap may still carry a colour table of "colours used" entries
        {"TwentyFourBitWithTable", {.width = 3, .height = 2, .bitsPerPixel = 24, .coloursUsed = 3}, 14 + 40 + 3 * 4},
        {"SixteenBitFields", {.width = 2, .height = 2, .bitsPerPixel = 16, .compression = 3}, 14 + 40 + 12},
        {"ThirtyTwoBitPlain", {.width = 2, .height = 2, .bitsPerPixel = 32}, 14 + 40},
    };
    // clang-format on
    for (const auto& [name, spec, pixelStart] : cases) {
        const auto file = bmp(spec);
        const BitmapCheck check = checkBitmap(file);
        ASSERT_TRUE(check.ok()) << name << ": " << static_cast<int>(check.error);
        EXPECT_EQ(check.info.pixelStart, pixelStart) << name;
        // The builder puts the pixels last.
        EXPECT_EQ(check.info.imageSize, file.size() - pixelStart) << name;
    }
}

// A damaged or foreign file is refused with its reason, told in French and in English with the
// file's name.
TEST(BitmapCheck, DamagedFileIsRefusedWithItsReason) {
    using E = BitmapError;
    // name, file, error, part of the message
    const std::tuple<const char*, std::vector<uint8_t>, E, const char*> cases[] = {
        {"EmptyFile", {}, E::Truncated, "tronqué"},
        {"OnlyPartOfTheFileHeader", cut(eight(), 10), E::Truncated, "10 octets"},
        {"NoSignature", with32(eight(), 0, 0x04724B50), E::NotABitmap, "n'est pas un fichier BMP"},
        {"CoreHeaderOfOldVersion", with32(eight(), 14, 12), E::HeaderVersion, "12 octets"},
        {"VersionFiveHeader", with32(eight(), 14, 124), E::HeaderVersion, "124 octets"},
        {"InfoHeaderCutShort", cut(eight(), 40), E::Truncated, "tronqué"},
        {"FileSizeFieldBeyondFile", cut(eight(), 1100), E::Truncated, "1100 octets"},
        // size field cleared, so only the table gives it away
        {"ColourTableCutShort", with32(cut(eight(), 300), 2, 0), E::Truncated, "tronqué"},
        {"HugeColourCountAboveEightBits",
         bmp({.width = 3, .height = 2, .bitsPerPixel = 24, .coloursUsed = 0xFFFFFFFF, .paletteEntries = 0}),
         E::Truncated, "tronqué"},
        {"MoreColoursThanBitsIndex", bmp({.width = 16, .height = 2, .bitsPerPixel = 1, .coloursUsed = 3}),
         E::BadColourCount, "3 couleurs pour 1 bits"},
        {"ImageSizeBeyondFile", eight({.imageSize = 61}), E::ImageBeyondFile, "61 octets"},
        {"ImageSizeAllOnes", eight({.imageSize = 0xFFFFFFFF}), E::ImageBeyondFile, "4294967295 octets"},
        // size field cleared; the image size gives it away
        {"PixelDataCutShort", with32(cut(eight(), 1100), 2, 0), E::ImageBeyondFile, "dépasse la fin du fichier"},
        {"PixelOffsetLies", eight({.pixelOffset = 54}), E::PixelOffsetMismatch, "l'octet 54 au lieu de l'octet 1078"},
        {"PaletteShorterThanHeaderSays", bmp({.width = 40, .height = 30, .bitsPerPixel = 8, .paletteEntries = 16}),
         E::PixelOffsetMismatch, "l'octet 118 au lieu de l'octet 1078"},
        {"PaletteShorterThanHeaderSaysInASmallFile", eight({.paletteEntries = 16}), E::Truncated, "178 octets"},
        {"ZeroBitsPerPixel", bmp({.width = 20, .height = 3, .bitsPerPixel = 0, .paletteEntries = 0}), E::BadBitCount,
         "0 bits par pixel"},
        {"SevenBitsPerPixel", bmp({.width = 20, .height = 3, .bitsPerPixel = 7}), E::BadBitCount, "7 bits par pixel"},
        {"RunLengthEncoded", eight({.compression = 1}), E::BadCompression, "compression 1"},
        {"BitFieldsAtEightBits", eight({.compression = 3}), E::BadCompression, "compression 3"},
        {"ZeroWidth", bmp({.width = 0, .height = 3, .bitsPerPixel = 8}), E::BadDimensions, "largeur 0"},
        {"TopDownRows", bmp({.width = 20, .height = -3, .bitsPerPixel = 8}), E::BadDimensions, "hauteur -3"},
    };
    for (const auto& [name, file, error, messagePart] : cases) {
        SCOPED_TRACE(name);
        const ExportResult r{ExportStatus::BadBitmap, checkBitmap(file), "/home/eleve/img/pic.bmp"};
        EXPECT_EQ(r.bitmap.error, error);
        const std::string message = exportMessage(r);
        EXPECT_NE(message.find("\"/home/eleve/img/pic.bmp\""), std::string::npos) << message;
        EXPECT_NE(message.find(messagePart), std::string::npos) << message;
        const std::string english = exportMessage(r, MessageLanguage::English);
        EXPECT_NE(english.find("\"/home/eleve/img/pic.bmp\""), std::string::npos) << english;
        EXPECT_NE(english.find("BMP"), std::string::npos) << english;
        EXPECT_NE(english, message);
    }
}

// Every shortened copy of a sound file is refused, whatever its length: its size fields
// always claim more than is left.
TEST(BitmapCheck, EveryTruncationOfASoundFileIsRefused) {
    for (const auto& full : {eight(), bmp({.width = 128, .height = 64, .bitsPerPixel = 1})}) {
        ASSERT_TRUE(checkBitmap(full).ok());
        for (std::size_t length = 0; length < full.size(); ++length) {
            // A copy of exactly `length` bytes, so a read past it is caught by the sanitizers.
            const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<long>(length));
            EXPECT_FALSE(checkBitmap(part).ok()) << "length " << length;
            EXPECT_FALSE(checkBitmap(length >= 6 ? with32(part, 2, 0) : part).ok())
                << "length " << length << ", size 0";
        }
    }
}

TEST(LoadBitmap, RefusesWhatItCannotReadAndFilesAboveTheLimit) {
    bmptest::TempDir dir;
    const auto at = [&](const char* name) { return (dir.path / name).string(); };
    EXPECT_EQ(loadBitmap(at("absent.bmp")).check.error, BitmapError::CannotOpen);
    std::filesystem::create_directory(at("folder.bmp"));
    EXPECT_EQ(loadBitmap(at("folder.bmp")).check.error, BitmapError::CannotRead);
    // A pipe without a writer would block the open for ever.
    ASSERT_EQ(::mkfifo(at("pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(loadBitmap(at("pipe.bmp")).check.error, BitmapError::CannotRead);

    auto file = eight();
    file.resize(kMaxFileSize);
    bmptest::writeFile(at("edge.bmp"), file);
    const auto edge = loadBitmap(at("edge.bmp"));
    EXPECT_TRUE(edge.check.ok()) << static_cast<int>(edge.check.error);
    EXPECT_EQ(edge.bytes.size(), kMaxFileSize);
    EXPECT_EQ(edge.pixels().size(), 60u);
    // One byte more is refused without being parsed.
    file.push_back(0);
    bmptest::writeFile(at("big.bmp"), file);
    const auto big = loadBitmap(at("big.bmp"));
    EXPECT_EQ(big.check.error, BitmapError::TooLarge);
    EXPECT_TRUE(big.bytes.empty());
}

}  // namespace
