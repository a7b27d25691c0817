// Reads a bitmap file's bytes and checks its headers before anything is taken from it.
#include "bmp_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvan::bitmap {

namespace {

// Offsets in the file header and in the information header (the latter from its own start).
constexpr std::size_t kOffSignature = 0;
constexpr std::size_t kOffFileSize = 2;
constexpr std::size_t kOffPixelOffset = 10;
constexpr std::size_t kOffInfoSize = 0;
constexpr std::size_t kOffWidth = 4;
constexpr std::size_t kOffHeight = 8;
constexpr std::size_t kOffBitCount = 14;
constexpr std::size_t kOffCompression = 16;
constexpr std::size_t kOffImageSize = 20;
constexpr std::size_t kOffColoursUsed = 32;

// Little-endian readers; callers have checked that the bytes are there.
uint16_t le16(std::span<const uint8_t> b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

uint32_t le32(std::span<const uint8_t> b, std::size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool validBitCount(uint16_t bits) {
    switch (bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

BitmapCheck checkBitmap(std::span<const uint8_t> file) {
    BitmapCheck result;
    BitmapInfo& info = result.info;
    const uint64_t length = file.size();
    result.fileLength = length;
    auto fail = [&result](BitmapError e) {
        result.error = e;
        return result;
    };

    if (length >= 2 && (file[kOffSignature] != 'B' || file[kOffSignature + 1] != 'M'))
        return fail(BitmapError::NotABitmap);
    if (length < kFileHeaderSize + 4) return fail(BitmapError::Truncated);

    info.fileSizeField = le32(file, kOffFileSize);
    info.pixelOffsetField = le32(file, kOffPixelOffset);
    const auto header = file.subspan(kFileHeaderSize);
    info.infoHeaderSize = le32(header, kOffInfoSize);
    // Other header versions place their fields and colour table differently; they are
    // refused rather than misread.
    if (info.infoHeaderSize != kInfoHeaderSize) return fail(BitmapError::HeaderVersion);
    if (header.size() < kInfoHeaderSize) return fail(BitmapError::Truncated);
    // A file that announces more bytes than it has was cut short.
    if (info.fileSizeField > length) return fail(BitmapError::Truncated);

    info.width = static_cast<int32_t>(le32(header, kOffWidth));
    info.height = static_cast<int32_t>(le32(header, kOffHeight));
    info.bitsPerPixel = le16(header, kOffBitCount);
    info.compression = le32(header, kOffCompression);
    info.imageSize = le32(header, kOffImageSize);
    info.coloursUsed = le32(header, kOffColoursUsed);

    // Negative heights (rows stored top-down) would print as meaningless values in the
    // structure line, and the display program expects rows bottom-up.
    if (info.width <= 0 || info.height <= 0) return fail(BitmapError::BadDimensions);
    if (!validBitCount(info.bitsPerPixel)) return fail(BitmapError::BadBitCount);
    const bool bitFields = info.compression == kCompressionBitFields;
    if (info.compression != kCompressionNone && !(bitFields && (info.bitsPerPixel == 16 || info.bitsPerPixel == 32)))
        return fail(BitmapError::BadCompression);

    // Where the pixels start, counted from the information header: after the colour table,
    // which has 2^bits entries unless "colours used" says otherwise; above 8 bits the table
    // is optional and the bit field masks come first.
    uint64_t start = kInfoHeaderSize;
    if (info.bitsPerPixel <= 8) {
        const uint64_t maxColours = uint64_t{1} << info.bitsPerPixel;
        if (info.coloursUsed > maxColours) return fail(BitmapError::BadColourCount);
        start += 4 * (info.coloursUsed != 0 ? info.coloursUsed : maxColours);
    } else {
        start += 4 * uint64_t{info.coloursUsed};
        if (bitFields) start += kBitFieldMasksSize;
    }
    start += kFileHeaderSize;
    if (start > length) return fail(BitmapError::Truncated);
    if (info.pixelOffsetField != start) {
        result.expectedPixelStart = start;
        return fail(BitmapError::PixelOffsetMismatch);
    }
    info.pixelStart = start;
    if (info.imageSize > length - start) return fail(BitmapError::ImageBeyondFile);
    return result;
}

std::span<const uint8_t> LoadedBitmap::pixels() const {
    if (!check.ok()) return {};
    return std::span<const uint8_t>(bytes).subspan(check.info.pixelStart, check.info.imageSize);
}

LoadedBitmap loadBitmap(const std::string& path) {
    LoadedBitmap loaded;
    // Opened without blocking: a FIFO would otherwise wait for a writer for ever. Only
    // regular files are read (directories and devices are refused by the type check).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        loaded.check.error = BitmapError::CannotOpen;
        return loaded;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        loaded.check.error = BitmapError::CannotRead;
        return loaded;
    }
    std::unique_ptr<std::FILE, FileCloser> f(::fdopen(fd, "rb"));
    if (!f) {
        ::close(fd);
        loaded.check.error = BitmapError::CannotRead;
        return loaded;
    }
    // Read up to one byte past the limit, whatever size the file claims to have.
    std::vector<uint8_t>& bytes = loaded.bytes;
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t have = bytes.size();
        const std::size_t want = std::min(kChunk, kMaxFileSize + 1 - have);
        bytes.resize(have + want);
        const std::size_t got = std::fread(bytes.data() + have, 1, want, f.get());
        bytes.resize(have + got);
        if (got < want) break;
        if (bytes.size() > kMaxFileSize) {
            loaded.check.error = BitmapError::TooLarge;
            loaded.check.fileLength = bytes.size();
            bytes.clear();
            return loaded;
        }
    }
    if (std::ferror(f.get())) {
        loaded.check.error = BitmapError::CannotRead;
        bytes.clear();
        return loaded;
    }
    loaded.check = checkBitmap(bytes);
    return loaded;
}

}  // namespace korvan::bitmap
