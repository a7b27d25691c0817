// Decoding and encoding of source files.
#include "source_text.h"

#include <array>

namespace korvan::shell {

namespace {

// Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their own value.
constexpr std::array<char32_t, 32> kCp1252High{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<unsigned char> toCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == c) return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

// Reads one code point of valid UTF-8 at i and advances i.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> extra);
    for (int k = 0; k < extra && i < s.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return c;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t min;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            min = 0x10000;
        } else
            return false;
        if (i + extra >= s.size()) return false;  // sequence cut off by the end
        char32_t c = b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) return false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

DecodedText decodeSource(std::string_view bytes) {
    DecodedText out;
    TextFormat& fmt = out.format;
    std::string_view body = bytes;
    if (isValidUtf8(bytes)) {
        fmt.encoding = TextEncoding::Utf8;
        if (body.starts_with("\xEF\xBB\xBF")) {
            fmt.byteOrderMark = true;
            body.remove_prefix(3);
        }
    } else {
        fmt.encoding = TextEncoding::Windows1252;
    }

    std::vector<LineEnd> ends;
    out.utf8.reserve(body.size() + body.size() / 8);
    for (size_t i = 0; i < body.size(); ++i) {
        char ch = body[i];
        if (ch == '\r') {
            if (i + 1 < body.size() && body[i + 1] == '\n') {
                ends.push_back(LineEnd::CrLf);
                ++i;
            } else {
                ends.push_back(LineEnd::Cr);
            }
            out.utf8 += '\n';
        } else if (ch == '\n') {
            ends.push_back(LineEnd::Lf);
            out.utf8 += '\n';
        } else if (fmt.encoding == TextEncoding::Utf8 || static_cast<unsigned char>(ch) < 0x80) {
            out.utf8 += ch;
        } else {
            auto b = static_cast<unsigned char>(ch);
            appendUtf8(out.utf8, b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
        }
    }

    std::array<size_t, 3> counts{};
    for (LineEnd e : ends) ++counts[static_cast<size_t>(e)];
    fmt.lineEnd = LineEnd::Lf;
    if (!ends.empty()) {
        fmt.lineEnd = ends.front();
        for (size_t k = 0; k < counts.size(); ++k)
            if (counts[k] > counts[static_cast<size_t>(fmt.lineEnd)]) fmt.lineEnd = static_cast<LineEnd>(k);
        if (counts[static_cast<size_t>(fmt.lineEnd)] != ends.size()) fmt.perLine = std::move(ends);
    }
    return out;
}

std::optional<std::string> encodeSource(std::string_view utf8, const TextFormat& fmt) {
    size_t lineCount = 0;
    for (char c : utf8) lineCount += c == '\n';
    const bool usePerLine = !fmt.perLine.empty() && fmt.perLine.size() == lineCount;

    std::string out;
    out.reserve(utf8.size() + lineCount + 3);
    if (fmt.encoding == TextEncoding::Utf8 && fmt.byteOrderMark) out += "\xEF\xBB\xBF";
    size_t line = 0;
    for (size_t i = 0; i < utf8.size();) {
        char ch = utf8[i];
        if (ch == '\n') {
            LineEnd e = usePerLine ? fmt.perLine[line] : fmt.lineEnd;
            if (e == LineEnd::CrLf)
                out += "\r\n";
            else if (e == LineEnd::Cr)
                out += '\r';
            else
                out += '\n';
            ++line;
            ++i;
        } else if (fmt.encoding == TextEncoding::Utf8 || static_cast<unsigned char>(ch) < 0x80) {
            out += ch;
            ++i;
        } else {
            auto b = toCp1252(nextCodePoint(utf8, i));
            if (!b) return std::nullopt;
            out += static_cast<char>(*b);
        }
    }
    return out;
}

int goToLineDestination(int lineCount, int target) {
    const int last = lineCount - 1;
    if (last >= target) return target < 0 ? 0 : target;
    return last < 0 ? 0 : last;
}

}  // namespace korvan::shell
