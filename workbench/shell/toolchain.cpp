// Toolchain detection on the search path.
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

ToolchainInfo found(const fs::path& compiler) {
    std::error_code ec;
    fs::path abs = fs::absolute(compiler, ec).lexically_normal();
    if (ec) abs = compiler;
    return {true, abs.parent_path().parent_path().string(), abs.string()};
}

}  // namespace

ToolchainInfo detectToolchain(std::string_view prefix, std::string_view pathList) {
    if (prefix.empty()) return {};
    const std::string compilerName = std::string(prefix) + "gcc";
    if (prefix.find('/') != std::string_view::npos)
        return isExecutableFile(compilerName) ? found(compilerName) : ToolchainInfo{};

    while (true) {
        auto colon = pathList.find(':');
        std::string_view folder = pathList.substr(0, colon);
        fs::path candidate = fs::path(folder.empty() ? "." : std::string(folder)) / compilerName;
        if (isExecutableFile(candidate)) return found(candidate);
        if (colon == std::string_view::npos) break;
        pathList.remove_prefix(colon + 1);
    }
    return {};
}

}  // namespace korvan::shell
