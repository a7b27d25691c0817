// Reading a source file whole, within the limits the editor can show, and writing it back
// safely (a temporary file beside it, then a rename), so that a failed save never damages the
// previous file.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace korvan::shell {

// The largest file and the longest line (in bytes, line end excluded) that are read.
struct ReadLimits {
    uint64_t maxBytes = std::numeric_limits<uint64_t>::max();
    uint64_t maxLineBytes = std::numeric_limits<uint64_t>::max();
};

// What the source editor opens: beyond these the text layout of the editor stops answering
// (a line of some megabytes takes minutes, a larger one crashes it), while a file at both
// limits still opens, coloured, within about a second.
inline constexpr ReadLimits kEditorLimits{4u << 20, 16u << 10};

enum class ReadRefusal { None, TooLarge, LineTooLong };

struct FileResult {
    bool ok = false;
    std::string error;  // the system's reason when !ok
    int code = 0;       // its errno value (0 for a refusal by the limits)
    ReadRefusal refusal = ReadRefusal::None;
    uint64_t at = 0;  // TooLarge: the bytes found (at least); LineTooLong: the line, from 1
};

// Reads the whole file into bytes. A file over limits.maxBytes is refused from its size before
// anything is read (and while reading, should it grow); a line over limits.maxLineBytes is
// refused as soon as it is met, so that a refused file is never read whole. Opening does not
// wait for a writer (a named pipe) and a folder is not read.
FileResult readWholeFile(const std::string& path, std::string& bytes, const ReadLimits& limits = {});

// Writes bytes to path through a temporary file in the same folder that is flushed to disk and
// renamed over the target. The file keeps the permission bits of the one it replaces; a path
// that is a symbolic link writes the file it points to. On failure the target is untouched and
// the temporary file removed.
FileResult writeFileSafely(const std::string& path, const std::string& bytes);

}  // namespace korvan::shell
