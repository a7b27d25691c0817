// Reads a bitmap file's bytes and checks its headers before anything is taken from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvan::bitmap {

// Layout of the files the converter takes: a 14-byte file header, a 40-byte information
// header, the colour table, the pixel bytes.
inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kInfoHeaderSize = 40;
inline constexpr uint32_t kCompressionNone = 0;
inline constexpr uint32_t kCompressionBitFields = 3;
inline constexpr std::size_t kBitFieldMasksSize = 12;  // three 32-bit masks after the header

// Bitmaps are small pictures for the display module; anything beyond this is refused
// rather than read into memory.
inline constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;

enum class BitmapError {
    None,
    CannotOpen,           // the file cannot be opened
    CannotRead,           // a read error, or not a regular file
    TooLarge,             // more than kMaxFileSize bytes
    Truncated,            // the headers or colour table run past the end of the file
    NotABitmap,           // no "BM" signature
    HeaderVersion,        // information header other than 40 bytes
    BadDimensions,        // width or height not positive
    BadBitCount,          // bits per pixel not 1, 4, 8, 16, 24 or 32
    BadCompression,       // compression other than none, or bit fields at 16/32 bits
    BadColourCount,       // more colours used than the bit count can index
    PixelOffsetMismatch,  // the file header places the pixels elsewhere than the colour table ends
    ImageBeyondFile,      // the image size field runs past the end of the file
};

// The fields of a checked bitmap.
struct BitmapInfo {
    uint32_t fileSizeField = 0;     // file header, offset 2
    uint32_t pixelOffsetField = 0;  // file header, offset 10 (from the start of the file)
    uint32_t infoHeaderSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;  // bytes of pixel data to convert
    uint32_t coloursUsed = 0;
    uint64_t pixelStart = 0;  // where the pixels start, counted from the start of the file
};

// The outcome of checking a file. Fields of `info` are filled as far as they were read.
struct BitmapCheck {
    BitmapError error = BitmapError::None;
    BitmapInfo info;
    uint64_t fileLength = 0;
    uint64_t expectedPixelStart = 0;  // for PixelOffsetMismatch: where the colour table ends

    bool ok() const { return error == BitmapError::None; }
};

// Checks the bytes of a whole bitmap file. Never reads outside `file`. On success, the pixel
// bytes are file[info.pixelStart, info.pixelStart + info.imageSize).
BitmapCheck checkBitmap(std::span<const uint8_t> file);

// A bitmap file read from disk and checked.
struct LoadedBitmap {
    BitmapCheck check;
    std::vector<uint8_t> bytes;  // the whole file

    std::span<const uint8_t> pixels() const;
};

// Reads at most kMaxFileSize bytes of the file at `path` (a path in the file system's
// encoding) and checks them.
LoadedBitmap loadBitmap(const std::string& path);

}  // namespace korvan::bitmap
