// libFuzzer target: an arbitrary source goes through a whole assembly run (both passes,
// listing, S-records, message file) in a private temporary folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "driver/diagnostics.h"
#include "driver/run.h"

namespace {

std::string WorkFolder() {
    static std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/qubrix-fuzz-XXXXXX";
        char* made = mkdtemp(pattern.data());
        if (!made || chdir(made) != 0) std::abort();
        return std::string(made);
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = WorkFolder();
    const std::string source = dir + "/fuzz.asm";
    if (FILE* f = std::fopen(source.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        std::abort();
    }
    // Includes of the source resolve against the work folder.
    qubrix::SetWorkingDirectory(dir);
    ListErreur list;
    qubrix::RunSettings settings;
    settings.listing = size % 2 == 0;  // both with and without a listing
    qubrix::AssemblyRun run(settings, &list);
    run.openFiles(source);
    run.runPasses();
    run.writeSummary();
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur()) {
        if (e->LitCode() <= 0) std::abort();  // only real diagnostics reach the list
    }
    return 0;
}
