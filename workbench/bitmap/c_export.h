// Turns a checked bitmap into the C source text for the display module and writes it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "bmp_file.h"

namespace korvan::bitmap {

inline constexpr const char* kDefaultResourceName = "bitmap";
inline constexpr int kBytesPerLine = 16;

// The C text: an empty line, the `char` array of the pixel bytes (16 a line, every byte
// followed by ", "), "};" and the initialised `image` structure named "i_" + name.
// Lines end with CR LF.
std::string cSourceText(std::span<const uint8_t> pixels, const BitmapInfo& info, std::string_view name);

// The generated file's path: the bitmap path without the extension of its last component,
// followed by ".c". A last component without an extension (or whose only '.' leads it)
// keeps the whole path as base.
std::string outputPathFor(std::string_view bitmapPath);

// True when `name` can stand as a C identifier (letters, digits, '_', not starting with a digit).
bool isCIdentifier(std::string_view name);

enum class ExportStatus {
    Written,
    BadName,       // the resource name is not a C identifier
    BadBitmap,     // see ExportResult::bitmap.error
    SameAsBitmap,  // the output would replace the bitmap itself
    CannotCreate,  // the output file cannot be created
    CannotWrite,   // writing or closing it failed
};

struct ExportResult {
    ExportStatus status = ExportStatus::Written;
    BitmapCheck bitmap;
    std::string bitmapPath;
    std::string outputPath;
    std::string name;

    bool ok() const { return status == ExportStatus::Written; }
};

// Reads and checks the bitmap, then writes its C text beside it. Nothing is written unless
// the bitmap is sound; the output appears under its name only once completely written, so a
// failure leaves any earlier file of that name as it was.
ExportResult exportBitmap(const std::string& bitmapPath, const std::string& name);

enum class MessageLanguage { French, English };

// What the user is told about an export (UTF-8): why it failed, or, for a written file, where
// the C file went.
std::string exportMessage(const ExportResult& result, MessageLanguage lang = MessageLanguage::French);

}  // namespace korvan::bitmap
