// Toolchain detection.
#include "toolchain.h"

#include <filesystem>

#include <unistd.h>

namespace korvan::shell {

namespace fs = std::filesystem;

namespace {

bool isExecutableFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

ToolchainInfo found(const fs::path& compiler, std::string_view prefix) {
    std::error_code ec;
    fs::path abs = fs::absolute(compiler, ec).lexically_normal();
    if (ec) abs = compiler;
    const auto slash = prefix.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? prefix : prefix.substr(slash + 1);
    return {true, abs.parent_path().parent_path().string(), abs.string(), std::string(name)};
}

// The default prefix's compiler in root/bin.
ToolchainInfo inRoot(const fs::path& root) {
    if (root.empty()) return {};
    const fs::path compiler = root / "bin" / (std::string(kDefaultToolchainPrefix) + "gcc");
    return isExecutableFile(compiler) ? found(compiler, kDefaultToolchainPrefix) : ToolchainInfo{};
}

}  // namespace

ToolchainInfo detectToolchain(std::string_view prefix, std::string_view pathList) {
    if (prefix.empty()) return {};
    const std::string compilerName = std::string(prefix) + "gcc";
    if (prefix.find('/') != std::string_view::npos)
        return isExecutableFile(compilerName) ? found(compilerName, prefix) : ToolchainInfo{};

    while (true) {
        auto colon = pathList.find(':');
        std::string_view folder = pathList.substr(0, colon);
        fs::path candidate = fs::path(folder.empty() ? "." : std::string(folder)) / compilerName;
        if (isExecutableFile(candidate)) return found(candidate, prefix);
        if (colon == std::string_view::npos) break;
        pathList.remove_prefix(colon + 1);
    }
    return {};
}

ToolchainInfo findToolchain(const ToolchainSearch& search) {
    if (!search.settingsPrefix.empty()) {
        ToolchainInfo info = detectToolchain(search.settingsPrefix, search.pathList);
        if (info.present) return info;
    }
    if (!search.programFolder.empty()) {
        ToolchainInfo info = inRoot(fs::path(search.programFolder) / ".." / "lib" / "korvan" / "m68k-elf");
        if (info.present) return info;
    }
    if (ToolchainInfo info = inRoot(search.scriptPrefix); info.present) return info;
    return detectToolchain(kDefaultToolchainPrefix, search.pathList);
}

std::string defaultScriptPrefix(const char* toolchainVariable, const char* home) {
    if (toolchainVariable && *toolchainVariable) return toolchainVariable;
    if (home && *home) return std::string(home) + "/.local/share/korvan/m68k-elf";
    return {};
}

}  // namespace korvan::shell
