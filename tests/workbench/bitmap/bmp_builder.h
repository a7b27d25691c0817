// Builds bitmap files byte by byte for the converter's tests, sound or deliberately damaged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../../support/process.h"

namespace bmptest {

// Description of a bitmap with a 40-byte information header. Unset optional fields take the
// values a correct writer would put there.
struct BmpSpec {
    int32_t width = 16;
    int32_t height = 2;
    uint16_t bitsPerPixel = 1;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    std::optional<uint32_t> paletteEntries;  // entries actually written; default as the header says
    std::optional<uint32_t> imageSize;       // default: the pixel bytes' count
    std::optional<uint32_t> fileSize;        // default: the real length
    std::optional<uint32_t> pixelOffset;     // default: where the pixels really start
    uint32_t infoHeaderSize = 40;
    std::vector<uint8_t> pixels;  // stored as they are, rows bottom-up, padded
};

// Stores v little-endian in `bytes` bytes at `at`.
inline void put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Bytes of one stored row: width * bits rounded up to a multiple of 4 bytes.
inline uint32_t rowStride(int32_t width, uint16_t bits) {
    return ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
}

inline std::vector<uint8_t> buildBmp(const BmpSpec& s) {
    const uint32_t palette = s.paletteEntries.value_or(
        s.bitsPerPixel <= 8 ? (s.coloursUsed ? s.coloursUsed : 1u << s.bitsPerPixel) : s.coloursUsed);
    const uint32_t masks = s.compression == 3 ? 12 : 0;  // bit field masks, left zero: the reader skips them
    std::vector<uint8_t> b(14 + 40 + masks + 4 * palette);
    b[0] = 'B';
    b[1] = 'M';
    const uint32_t fields[] = {s.pixelOffset.value_or(static_cast<uint32_t>(b.size())),
                               s.infoHeaderSize,
                               static_cast<uint32_t>(s.width),
                               static_cast<uint32_t>(s.height),
                               1u | static_cast<uint32_t>(s.bitsPerPixel) << 16,
                               s.compression,
                               s.imageSize.value_or(static_cast<uint32_t>(s.pixels.size())),
                               2835,
                               2835,
                               s.coloursUsed};
    for (std::size_t i = 0; i < std::size(fields); ++i) put32(b, 10 + 4 * i, fields[i]);
    for (uint32_t i = 0; i < palette; ++i)  // a grey ramp, blue-green-red-0
        put32(b, 54 + masks + 4 * i, (palette > 1 ? i * 255 / (palette - 1) : 0) * 0x010101u, 3);
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    put32(b, 2, s.fileSize.value_or(static_cast<uint32_t>(b.size())));
    return b;
}

// Pixel bytes of `count` values following a fixed, non-repeating-by-16 pattern.
inline std::vector<uint8_t> patternBytes(std::size_t count, uint8_t seed = 0) {
    std::vector<uint8_t> v(count);
    for (std::size_t i = 0; i < count; ++i) v[i] = seed = static_cast<uint8_t>(seed * 37 + 11 + (i >> 8));
    return v;
}

inline void writeFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using korvan::test::TempDir;

}  // namespace bmptest
