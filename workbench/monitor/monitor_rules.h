// Plain rules of the monitor window: the file the automatic download sends.
#pragma once

#include <string>
#include <string_view>

namespace korvan::monitor {

// The S-record file built from source: the source path with the extension of its last
// component replaced by ".abs" (a dot in a folder name is never taken for the extension; a
// name without an extension keeps the whole path as its base).
std::string downloadPathFor(std::string_view source);

}  // namespace korvan::monitor
