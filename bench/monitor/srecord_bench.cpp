// Checking and splitting S-record files of 32 KiB and 1 MiB into download blocks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "srecord.h"

namespace {

// Writes size bytes as 32-byte S3 records from 802000, then S7, as the assembler lays them out.
std::string MakeFile(int size) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("korvan-srecord-bench-" + std::to_string(size) + ".abs");
    std::ofstream out(path, std::ios::binary);
    char hex[3];
    for (int offset = 0; offset < size; offset += 32) {
        const uint32_t address = 0x802000u + static_cast<uint32_t>(offset);
        const int n = std::min(32, size - offset);
        unsigned sum = 0;
        std::string line = "S3";
        auto put = [&](unsigned byte) {
            std::snprintf(hex, sizeof hex, "%02X", byte & 0xFFu);
            line += hex;
            sum += byte & 0xFFu;
        };
        put(static_cast<unsigned>(n + 5));
        for (int shift = 24; shift >= 0; shift -= 8) put(address >> shift);
        for (int i = 0; i < n; ++i) put(static_cast<unsigned>(offset + i) * 7u);
        put(~sum);
        out << line << "\r\n";
    }
    out << "S705008020005A\r\n";
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
