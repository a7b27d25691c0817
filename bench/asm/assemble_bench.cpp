// Throughput of whole assembly runs (both passes, S-records, message file), with and without
// the listing, on a generated source of 100,000+ lines; GNU as on the same source for scale.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "driver/diagnostics.h"
#include "driver/run.h"
#include "source_generator.h"

namespace {

constexpr int kLines = 120000;
constexpr int kLabels = 10000;

struct Workspace {
    std::filesystem::path dir;
    std::filesystem::path source;
    Workspace() {
        dir = std::filesystem::temp_directory_path() / ("qubrix-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        source = dir / "big.src";
        std::ofstream(source) << qubrix::bench::GenerateSource(kLines, kLabels);
        std::filesystem::current_path(dir);
    }
    ~Workspace() { std::filesystem::remove_all(dir); }
};

Workspace& Space() {
    static Workspace w;
    return w;
}

void AssembleOnce(bool listing, benchmark::State& state) {
    ListErreur list;
    qubrix::RunSettings settings;
    settings.listing = listing;
    settings.varOrigin = 0x900000;  // the code is larger than the default 4 KB gap
    qubrix::AssemblyRun run(settings, &list);
    run.openFiles(Space().source.string());
    run.runPasses();
    run.writeSummary();
    if (run.errorCount() != 0) state.SkipWithError("the generated source has errors");
}

void BM_Assemble(benchmark::State& state) {
    const bool listing = state.range(0) != 0;
    for (auto _ : state) AssembleOnce(listing, state);
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * state.iterations(), benchmark::Counter::kIsRate);
    state.SetLabel(listing ? "with listing" : "without listing");
}
BENCHMARK(BM_Assemble)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// GNU as in MRI mode on the same text, for comparison (process start included).
void BM_GnuAs(benchmark::State& state) {
    if (std::system("m68k-linux-gnu-as --version > /dev/null 2>&1") != 0) {
        state.SkipWithError("m68k-linux-gnu-as is not installed");
        return;
    }
    std::string cmd = "m68k-linux-gnu-as -mcpu=cpu32 --mri -o " + (Space().dir / "big.o").string() + " " +
                      Space().source.string() + " 2> /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("GNU as refused the source");
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GnuAs)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
