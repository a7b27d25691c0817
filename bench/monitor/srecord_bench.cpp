// Checking and splitting S-record files of 32 KiB and 1 MiB into download blocks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "program_file.h"
#include "srecord.h"

namespace {

std::string MakeFile(int size) {
    const auto path =
        std::filesystem::temp_directory_path() / ("korvan-srecord-bench-" + std::to_string(size) + ".abs");
    korvan::bench::writeProgramFile(path.string(), size);
    return path.string();
}

void BM_ReadAndSplit(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const std::string path = MakeFile(size);
    unsigned char buffer[korvan::monitor::kBlockBufferSize];
    for (auto _ : state) {
        korvan::monitor::SRecord reader(path);
        if (reader.error() != korvan::monitor::SRecordError::None) {
            state.SkipWithError(reader.errorMessage(true).c_str());
            break;
        }
        int length = 0, blocks = 0;
        uint32_t address = 0;
        while (reader.NextBlock(buffer, length, address)) ++blocks;
        benchmark::DoNotOptimize(blocks);
    }
    state.SetBytesProcessed(state.iterations() * size);
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadAndSplit)->Arg(32 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
