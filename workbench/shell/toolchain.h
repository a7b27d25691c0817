// Finding the m68k-elf cross toolchain at start-up. Its root is the folder above the compiler's
// bin folder; the places tried, in order: the prefix stored in the settings, the toolchain
// installed beside the program (lib/korvan/m68k-elf), the folder script/toolchain builds into,
// then the search path.
#pragma once

#include <string>
#include <string_view>

namespace korvan::shell {

inline constexpr std::string_view kDefaultToolchainPrefix = "m68k-elf-";
// Settings entry that names another prefix ("GNU"/"PREFIXE"); a prefix holding a '/' is a
// path, for example "/opt/m68k/bin/m68k-elf-".
inline constexpr std::string_view kToolchainSection = "GNU";
inline constexpr std::string_view kToolchainPrefixEntry = "PREFIXE";

struct ToolchainInfo {
    bool present = false;
    std::string root;      // the folder above bin/, empty when absent
    std::string compiler;  // full path of prefix + "gcc"
    std::string prefix;    // the tools' name prefix, "m68k-elf-" unless the settings name another
};

// One prefix: with a '/' it is a path, otherwise it is looked up on pathList (folders separated
// by ':'; an empty folder means ".").
ToolchainInfo detectToolchain(std::string_view prefix, std::string_view pathList);

struct ToolchainSearch {
    std::string settingsPrefix;  // the stored "GNU"/"PREFIXE", empty when none is stored
    std::string programFolder;   // the folder of the running program (bin/ of the build or install)
    std::string scriptPrefix;    // where script/toolchain builds (see defaultScriptPrefix)
    std::string pathList;        // the value of PATH
};
// The first toolchain found in the order above. A stored prefix that names nothing does not
// hide a toolchain found in the other places.
ToolchainInfo findToolchain(const ToolchainSearch& search);

// script/toolchain's prefix: $KORVAN_TOOLCHAIN when set and not empty, else
// $HOME/.local/share/korvan/m68k-elf (empty without either).
std::string defaultScriptPrefix(const char* toolchainVariable, const char* home);

}  // namespace korvan::shell
