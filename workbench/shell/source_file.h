// Reading a source file whole and writing it back safely (a temporary file beside it, then a
// rename), so that a failed save never damages the previous file.
#pragma once

#include <string>

namespace korvan::shell {

struct FileResult {
    bool ok = false;
    std::string error;  // the system's reason when !ok
    int code = 0;       // its errno value
};

FileResult readWholeFile(const std::string& path, std::string& bytes);

// Writes bytes to path through a temporary file in the same folder that is flushed to disk and
// renamed over the target. The file keeps the permission bits of the one it replaces; a path
// that is a symbolic link writes the file it points to. On failure the target is untouched and
// the temporary file removed.
FileResult writeFileSafely(const std::string& path, const std::string& bytes);

}  // namespace korvan::shell
