// Plain rules of the monitor window: the file the automatic download sends, and the bytes a
// paste into the terminal sends.
#pragma once

#include <string>
#include <string_view>

namespace korvan::monitor {

// The S-record file built from source: the source path with the extension of its last
// component replaced by ".abs" (a dot in a folder name is never taken for the extension; a
// name without an extension keeps the whole path as its base).
std::string downloadPathFor(std::string_view source);

// The bytes that pasted text sends to the module, as if typed: each line end (CR LF, LF or CR)
// becomes the CR of the Enter key; characters a key could not send (beyond Latin-1) are left out.
std::string pasteBytes(std::u16string_view text);

}  // namespace korvan::monitor
