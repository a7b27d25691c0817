// What the debugger does on every stop of a 4,000-instruction program, and what it does once
// per download: the line map from the listing, the whole-program disassembly through objdump,
// and the per-stop lookups (source line and disassembly row of the PC) in both.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "disassembler.h"
#include "line_map.h"
#include "process.h"

namespace {

using korvan::debug::Disassembler;
using korvan::debug::LineMap;
using korvan::debug::ProgramDisassembly;

constexpr int kInstructions = 4000;
constexpr uint32_t kOrigin = 0x1000;

const char* const kBody[] = {
    "         MOVEQ   #1,D0",
    "         MOVE.L  D0,D1",
    "         ADD.L   D1,D2",
    "         LEA     16(A0),A1",
    "         MOVE.W  #$1234,(A0)+",
    "         JSR     SUB",
    "         BSR     SUB",
    "         MOVE.L  $2000,D3",
    "         CMP.L   #100000,D3",
    "         MOVEM.L D0-D3/A0,-(SP)",
    "         MOVEM.L (SP)+,D0-D3/A0",
    "         NOP",
};

// The program: a main file and an include file, with comment and data lines between the code.
struct Program {
    std::filesystem::path dir, source, listing, abs;
    Program() {
        dir = std::filesystem::temp_directory_path() / ("korvan-debug-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        source = dir / "big.src";
        std::ofstream(dir / "sub.def") << "SUB      MOVEQ   #0,D0\n         RTS\n";
        std::ofstream src(source);
        src << "         INCLUDE sub.def\n";
        for (int i = 0; i < kInstructions; ++i) {
            if (i % 50 == 0) src << "* block " << i / 50 << "\nL" << i << "\n";
            src << kBody[i % std::size(kBody)] << "\n";
        }
        src << "MSG      DC.B    'DONE',13,10,0\n         END\n";
        src.close();
        const auto r = korvan::debug::RunProcess(KORVAN_QUBRIX, {"--code", "1000", "--var", "100000", source.string()},
                                                 dir.string());
        if (!r.started || r.exitCode != 0) std::cerr << "assembly failed: " << r.error << r.err << "\n";
        listing = LineMap::ListingPathFor(source.string());
        abs = std::filesystem::path(source).replace_extension(".abs");
    }
    ~Program() { std::filesystem::remove_all(dir); }
};

Program& Prog() {
    static Program p;
    return p;
}

// Once per download: the line map read from the listing and the source files.
void BM_LineMapFromListing(benchmark::State& state) {
    for (auto _ : state) {
        auto map = LineMap::FromListing(Prog().source.string(), Prog().listing.string(), {});
        if (!map || map->mismatchedLines() != 0 || map->lines().size() < kInstructions)
            state.SkipWithError("the line map does not cover the program");
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_LineMapFromListing)->Unit(benchmark::kMillisecond);

// Once per download: objdump over the whole program.
void BM_DisassembleProgram(benchmark::State& state) {
    const Disassembler objdump;
    for (auto _ : state) {
        auto result = objdump.disassembleFile(Prog().abs.string());
        if (!result.ok()) state.SkipWithError(result.error.c_str());
        state.counters["rows"] = static_cast<double>(result.rows.size());
    }
}
BENCHMARK(BM_DisassembleProgram)->Unit(benchmark::kMillisecond);

// Every stop: the source line and the disassembly row of the PC, and a breakpoint's address.
void BM_StopLookups(benchmark::State& state) {
    const auto map = LineMap::FromListing(Prog().source.string(), Prog().listing.string(), {});
    ProgramDisassembly program{Disassembler()};
    if (!map || !program.load(Prog().abs.string())) {
        state.SkipWithError("no map or no disassembly");
        return;
    }
    const auto& lines = map->lines();
    std::size_t i = 0;
    for (auto _ : state) {
        const uint32_t pc = lines[i].start;
        benchmark::DoNotOptimize(map->locationAt(pc));
        benchmark::DoNotOptimize(program.rowAt(pc));
        benchmark::DoNotOptimize(program.load(Prog().abs.string()));  // cached: a stat only
        benchmark::DoNotOptimize(map->addressOf(Prog().source.string(), lines[i].line));
        i = (i + 7) % lines.size();
    }
}
BENCHMARK(BM_StopLookups)->Unit(benchmark::kMicrosecond);

// A stop outside the program: objdump on a few bytes read from the module.
void BM_DisassembleBytesAtPc(benchmark::State& state) {
    const uint8_t code[] = {0x4E, 0xB9, 0x00, 0x00, 0x10, 0x00, 0x70, 0x01, 0x4E, 0x71, 0x4E, 0x75};
    const Disassembler objdump;
    for (auto _ : state) {
        auto result = objdump.disassembleBytes(0x500000, code, sizeof code);
        if (!result.ok()) state.SkipWithError(result.error.c_str());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_DisassembleBytesAtPc)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
