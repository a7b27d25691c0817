// libFuzzer target: an arbitrary include tree goes through a whole assembly run (both passes,
// listing, S-records, message file) in a private temporary folder, with origins taken from
// the input. Lines of the form "%%% NAME" split the input into files: the text before the
// first one is the main source, each part after one is the file NAME (INCLUDE NAME reaches it).
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "driver/diagnostics.h"
#include "driver/run.h"

namespace {

const std::string& WorkFolder() {
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/qubrix-fuzz-XXXXXX";
        char* made = mkdtemp(pattern.data());
        if (!made || chdir(made) != 0) std::abort();
        return std::string(made);
    }();
    return dir;
}

// Every file of the previous input goes, so that includes see only this input's files.
void EmptyFolder(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) std::abort();
    std::vector<std::string> names;
    while (const dirent* e = readdir(d)) {
        const std::string_view name(e->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    closedir(d);
    for (const std::string& name : names) unlink((dir + "/" + name).c_str());
}

void WriteFile(const std::string& path, std::string_view bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;  // a name the file system refuses: the include will not be found
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A file name from the separator line: letters, digits, '.', '_' only, at most 32 of them.
std::string SafeName(std::string_view text) {
    std::string name;
    for (char c : text) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_';
        if (ok && name.size() < 32) name += c;
    }
    if (name.empty() || name == "." || name == ".." || name == "fuzz.asm" || name == "message.txt") name = "INC.ASM";
    return name;
}

// Origins near the edges the run must handle: the defaults, zero, the sign boundary and the
// top of the address space.
constexpr int32_t kOrigins[] = {0x802000,
                                0x803000,
                                0,
                                0x1000,
                                0x7FFFFFF0,
                                static_cast<int32_t>(0x80000000u),
                                static_cast<int32_t>(0xFFFFFF00u),
                                static_cast<int32_t>(0xFFFFFFFEu)};
constexpr std::size_t kOriginCount = sizeof(kOrigins) / sizeof(kOrigins[0]);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = WorkFolder();
    EmptyFolder(dir);
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kSeparator = "%%% ";

    std::string name = "fuzz.asm";
    std::size_t start = 0;
    for (;;) {
        std::size_t at = input.find(kSeparator, start);
        while (at != std::string_view::npos && at != 0 && input[at - 1] != '\n') at = input.find(kSeparator, at + 1);
        const std::size_t end = at == std::string_view::npos ? size : at;
        WriteFile(dir + "/" + name, input.substr(start, end - start));
        if (at == std::string_view::npos) break;
        const std::size_t lineEnd = input.find('\n', at);
        const std::size_t nameEnd = lineEnd == std::string_view::npos ? size : lineEnd;
        name = SafeName(input.substr(at + kSeparator.size(), nameEnd - at - kSeparator.size()));
        start = lineEnd == std::string_view::npos ? size : lineEnd + 1;
    }

    // Includes of the source resolve against the work folder.
    qubrix::SetWorkingDirectory(dir);
    ListErreur list;
    qubrix::RunSettings settings;
    const unsigned pick = size == 0 ? 0 : data[size - 1];
    settings.listing = size % 2 == 0;  // both with and without a listing
    settings.codeOrigin = kOrigins[pick % kOriginCount];
    settings.varOrigin = kOrigins[(pick / kOriginCount) % kOriginCount];
    qubrix::AssemblyRun run(settings, &list);
    run.openFiles(dir + "/fuzz.asm");
    run.runPasses();
    run.writeSummary();
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur()) {
        if (e->LitCode() <= 0) std::abort();  // only real diagnostics reach the list
    }
    return 0;
}
