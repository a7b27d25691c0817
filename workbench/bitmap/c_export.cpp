// Turns a checked bitmap into the C source text for the display module and writes it.
#include "c_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace korvan::bitmap {

namespace {

constexpr const char* kLineEnd = "\r\n";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string hexLower(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(v));
    return buf;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// The permission bits a newly created file gets from the process's umask (read without
// changing it, which would race with other threads).
mode_t newFileMode() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[128];
        while (std::fgets(line, sizeof line, status)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return 0666 & ~mask;
}

// Writes `text` to `path` through a temporary file beside it, renamed over the target once
// complete. The temporary file gets an unpredictable name and is created exclusively
// (mkstemp), so a link planted in the folder is never followed.
ExportStatus writeFileAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return ExportStatus::CannotCreate;
    // An existing file keeps its permissions; a new one gets the usual ones.
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : newFileMode();
    std::unique_ptr<std::FILE, FileCloser> f(::fdopen(fd, "wb"));
    if (!f) {
        ::close(fd);
        ::unlink(temp.c_str());
        return ExportStatus::CannotCreate;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    const bool flushed = std::fflush(f.get()) == 0 && ::fchmod(fd, mode) == 0;
    if (!written || !flushed || std::fclose(f.release()) != 0) {
        ::unlink(temp.c_str());
        return ExportStatus::CannotWrite;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return ExportStatus::CannotCreate;
    }
    return ExportStatus::Written;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string cSourceText(std::span<const uint8_t> pixels, const BitmapInfo& info, std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(64 + pixels.size() * 6 + pixels.size() / kBytesPerLine * 2 + 2 * name.size());
    out += kLineEnd;
    out += "char ";
    out += name;
    out += "[] = {";
    out += kLineEnd;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        out += "0x";
        out += kHex[pixels[i] >> 4];
        out += kHex[pixels[i] & 0x0F];
        out += ", ";
        if ((i + 1) % kBytesPerLine == 0) out += kLineEnd;
    }
    out += "};";
    out += kLineEnd;
    // For the display module's 1-bit pictures width / 8 is the number of bytes per row.
    out += "struct image i_";
    out += name;
    out += "={(short)0x" + hexLower(static_cast<uint32_t>(pixels.size()));
    out += ", 0x" + hexLower(static_cast<uint32_t>(info.width / 8));
    out += ", 0x" + hexLower(static_cast<uint32_t>(info.height));
    out += ",";
    out += name;
    out += "};";
    out += kLineEnd;
    return out;
}

std::string outputPathFor(std::string_view bitmapPath) {
    const std::size_t slash = bitmapPath.rfind('/');
    const std::size_t componentStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = bitmapPath.rfind('.');
    std::string_view base = bitmapPath;
    if (dot != std::string_view::npos && dot > componentStart) base = bitmapPath.substr(0, dot);
    return std::string(base) + ".c";
}

bool isCIdentifier(std::string_view name) {
    if (name.empty()) return false;
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!letter(name.front())) return false;
    for (char c : name)
        if (!letter(c) && !digit(c)) return false;
    return true;
}

ExportResult exportBitmap(const std::string& bitmapPath, const std::string& name) {
    ExportResult result;
    result.bitmapPath = bitmapPath;
    result.outputPath = outputPathFor(bitmapPath);
    result.name = name;
    if (!isCIdentifier(name)) {
        result.status = ExportStatus::BadName;
        return result;
    }
    if (sameFile(bitmapPath, result.outputPath)) {
        result.status = ExportStatus::SameAsBitmap;
        return result;
    }
    const LoadedBitmap bitmap = loadBitmap(bitmapPath);
    result.bitmap = bitmap.check;
    if (!bitmap.check.ok()) {
        result.status = ExportStatus::BadBitmap;
        return result;
    }
    result.status = writeFileAtomically(result.outputPath, cSourceText(bitmap.pixels(), bitmap.check.info, name));
    return result;
}

namespace {

std::string frenchMessage(const ExportResult& r) {
    const std::string file = quoted(r.bitmapPath);
    const BitmapInfo& info = r.bitmap.info;
    switch (r.status) {
    case ExportStatus::Written: return "Fichier C écrit : " + quoted(r.outputPath) + ".";
    case ExportStatus::BadName:
        return "Le nom de la ressource " + quoted(r.name) +
               " n'est pas un identificateur C valide (lettres, chiffres et _, sans chiffre en tête).";
    case ExportStatus::SameAsBitmap:
        return "Le fichier C " + quoted(r.outputPath) + " remplacerait le fichier BMP lui-même.";
    case ExportStatus::CannotCreate: return "Impossible de créer le fichier " + quoted(r.outputPath) + ".";
    case ExportStatus::CannotWrite:
        return "Erreur d'écriture du fichier " + quoted(r.outputPath) + " ; il n'a pas été créé.";
    case ExportStatus::BadBitmap: break;
    }
    switch (r.bitmap.error) {
    case BitmapError::None: return {};
    case BitmapError::CannotOpen: return "Impossible d'ouvrir le fichier BMP " + file + ".";
    case BitmapError::CannotRead: return "Impossible de lire le fichier BMP " + file + ".";
    case BitmapError::TooLarge:
        return "Le fichier BMP " + file + " est trop volumineux (plus de " +
               std::to_string(kMaxFileSize / (1024 * 1024)) + " Mo).";
    case BitmapError::Truncated:
        return "Le fichier BMP " + file + " est tronqué : ses en-têtes annoncent plus que ses " +
               std::to_string(r.bitmap.fileLength) + " octets.";
    case BitmapError::NotABitmap: return "Le fichier " + file + " n'est pas un fichier BMP.";
    case BitmapError::HeaderVersion:
        return "Le fichier BMP " + file + " a un en-tête d'information de " + std::to_string(info.infoHeaderSize) +
               " octets ; seul l'en-tête de 40 octets est pris en charge.";
    case BitmapError::BadDimensions:
        return "Les dimensions du fichier BMP " + file + " ne sont pas prises en charge (largeur " +
               std::to_string(info.width) + ", hauteur " + std::to_string(info.height) + ").";
    case BitmapError::BadBitCount:
        return "Le fichier BMP " + file + " a " + std::to_string(info.bitsPerPixel) +
               " bits par pixel, ce qui n'est pas pris en charge.";
    case BitmapError::BadCompression:
        return "La compression " + std::to_string(info.compression) + " du fichier BMP " + file +
               " n'est pas prise en charge.";
    case BitmapError::BadColourCount:
        return "Le fichier BMP " + file + " annonce " + std::to_string(info.coloursUsed) + " couleurs pour " +
               std::to_string(info.bitsPerPixel) + " bits par pixel.";
    case BitmapError::PixelOffsetMismatch:
        return "Le fichier BMP " + file + " est incohérent : ses pixels commencent à l'octet " +
               std::to_string(info.pixelOffsetField) + " au lieu de l'octet " +
               std::to_string(r.bitmap.expectedPixelStart) + ".";
    case BitmapError::ImageBeyondFile:
        return "Le fichier BMP " + file + " est incohérent : sa taille d'image (" + std::to_string(info.imageSize) +
               " octets) dépasse la fin du fichier.";
    }
    return {};
}

std::string englishMessage(const ExportResult& r) {
    const std::string file = quoted(r.bitmapPath);
    const BitmapInfo& info = r.bitmap.info;
    switch (r.status) {
    case ExportStatus::Written: return "C file written: " + quoted(r.outputPath) + ".";
    case ExportStatus::BadName:
        return "The resource name " + quoted(r.name) +
               " is not a valid C identifier (letters, digits and _, not starting with a digit).";
    case ExportStatus::SameAsBitmap:
        return "The C file " + quoted(r.outputPath) + " would replace the BMP file itself.";
    case ExportStatus::CannotCreate: return "Cannot create the file " + quoted(r.outputPath) + ".";
    case ExportStatus::CannotWrite: return "Error writing the file " + quoted(r.outputPath) + "; it was not created.";
    case ExportStatus::BadBitmap: break;
    }
    switch (r.bitmap.error) {
    case BitmapError::None: return {};
    case BitmapError::CannotOpen: return "Cannot open the BMP file " + file + ".";
    case BitmapError::CannotRead: return "Cannot read the BMP file " + file + ".";
    case BitmapError::TooLarge:
        return "The BMP file " + file + " is too large (more than " + std::to_string(kMaxFileSize / (1024 * 1024)) +
               " MiB).";
    case BitmapError::Truncated:
        return "The BMP file " + file + " is truncated: its headers announce more than its " +
               std::to_string(r.bitmap.fileLength) + " bytes.";
    case BitmapError::NotABitmap: return "The file " + file + " is not a BMP file.";
    case BitmapError::HeaderVersion:
        return "The BMP file " + file + " has an information header of " + std::to_string(info.infoHeaderSize) +
               " bytes; only the 40-byte header is supported.";
    case BitmapError::BadDimensions:
        return "The dimensions of the BMP file " + file + " are not supported (width " + std::to_string(info.width) +
               ", height " + std::to_string(info.height) + ").";
    case BitmapError::BadBitCount:
        return "The BMP file " + file + " has " + std::to_string(info.bitsPerPixel) +
               " bits per pixel, which is not supported.";
    case BitmapError::BadCompression:
        return "Compression " + std::to_string(info.compression) + " of the BMP file " + file + " is not supported.";
    case BitmapError::BadColourCount:
        return "The BMP file " + file + " announces " + std::to_string(info.coloursUsed) + " colours for " +
               std::to_string(info.bitsPerPixel) + " bits per pixel.";
    case BitmapError::PixelOffsetMismatch:
        return "The BMP file " + file + " is inconsistent: its pixels start at byte " +
               std::to_string(info.pixelOffsetField) + " instead of byte " +
               std::to_string(r.bitmap.expectedPixelStart) + ".";
    case BitmapError::ImageBeyondFile:
        return "The BMP file " + file + " is inconsistent: its image size (" + std::to_string(info.imageSize) +
               " bytes) goes beyond the end of the file.";
    }
    return {};
}

}  // namespace

std::string exportMessage(const ExportResult& result, MessageLanguage lang) {
    return lang == MessageLanguage::English ? englishMessage(result) : frenchMessage(result);
}

}  // namespace korvan::bitmap
