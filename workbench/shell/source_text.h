// Source files as bytes versus text: encoding and line-end detection when a file is read, and
// the exact inverse when it is written, so that an unedited file is saved byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::shell {

enum class TextEncoding { Utf8, Windows1252 };
enum class LineEnd : uint8_t { Lf, CrLf, Cr };

// How a file's text was stored: enough to write the same bytes back.
struct TextFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    bool byteOrderMark = false;     // UTF-8 only
    LineEnd lineEnd = LineEnd::Lf;  // the most frequent line end; new lines get it
    // The line end of every line as read, kept only when the file mixes line ends. It is
    // applied again while the text still has the same number of lines.
    std::vector<LineEnd> perLine;
};

struct DecodedText {
    std::string utf8;  // the text in UTF-8 with every line end as a single '\n'
    TextFormat format;
};

bool isValidUtf8(std::string_view bytes);

// UTF-8 when the bytes are valid UTF-8 (a leading byte-order mark is remembered and removed),
// otherwise Windows-1252, whose five unassigned bytes stand for the C1 controls of the same
// value. CR LF, LF and a lone CR each end a line.
DecodedText decodeSource(std::string_view bytes);

// The inverse of decodeSource. Returns nothing when the text holds a character that the
// format's encoding cannot represent (only possible for Windows-1252).
std::optional<std::string> encodeSource(std::string_view utf8, const TextFormat& format);

// Where a go-to-line request ends: target is 0-based; a negative target goes to the first
// line, one beyond the last line to the last line.
int goToLineDestination(int lineCount, int target);

}  // namespace korvan::shell
