// Finding the m68k cross toolchain at start-up: the compiler named by a prefix, looked up on
// the search path; its root is the folder above the compiler's bin folder.
#pragma once

#include <string>
#include <string_view>

namespace korvan::shell {

inline constexpr std::string_view kDefaultToolchainPrefix = "m68k-linux-gnu-";
// Settings entry that names another prefix ("GNU"/"PREFIXE"); a prefix holding a '/' is a
// path, for example "/opt/m68k/bin/m68k-elf-".
inline constexpr std::string_view kToolchainSection = "GNU";
inline constexpr std::string_view kToolchainPrefixEntry = "PREFIXE";

struct ToolchainInfo {
    bool present = false;
    std::string root;      // the folder above bin/, empty when absent
    std::string compiler;  // full path of prefix + "gcc"
};

// pathList is the value of PATH (folders separated by ':'; an empty folder means ".").
ToolchainInfo detectToolchain(std::string_view prefix, std::string_view pathList);

}  // namespace korvan::shell
