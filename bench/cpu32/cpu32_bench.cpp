// Instructions per second of the CPU32 core on a mixed loop and a byte-copy loop.
#include "cpu32/cpu32.h"
#include "ram_bus.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace cpu32;

constexpr uint32_t kRam = 0x800000, kCode = 0x802000;

void runLoop(benchmark::State& state, const std::vector<uint16_t>& code) {
    test::RamBus bus(kRam, 0x80000);
    for (size_t i = 0; i < code.size(); ++i) bus.poke16(kCode + 2 * uint32_t(i), code[i]);
    Cpu cpu(bus);
    cpu.setRamWindow(bus.at(kRam), kRam, 0x80000);  // as the simulator reaches its RAM
    cpu.regs().a[7] = 0x880000;
    cpu.regs().pc = kCode;
    uint64_t total = 0;
    for (auto _ : state) {
        const RunResult r = cpu.run(1'000'000);
        if (r.reason != RunReason::Count) state.SkipWithError("the loop left its code");
        total += r.executed;
    }
    state.counters["instructions/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

// Mixed: arithmetic, logic, shifts, memory operands, a subroutine call and a counted loop.
//   loop: move.l d0,d1 / add.l d2,d1 / lsl.l #2,d1 / and.w #$7FF,d1 / move.w d1,(a0,d1.w)
//         addq.l #1,d0 / cmp.l (a0),d3 / bsr sub / dbra d7,loop / bra loop
//   sub:  eor.l d0,d2 / rts
void mixedLoop(benchmark::State& state) {
    runLoop(state, {
                       0x41F9, 0x0081, 0x0000,  // lea $810000,a0
                       0x2200,                  // loop: move.l d0,d1
                       0xD282,                  // add.l d2,d1
                       0xE589,                  // lsl.l #2,d1
                       0x0241, 0x07FE,          // andi.w #$7FE,d1
                       0x3181, 0x1000,          // move.w d1,(0,a0,d1.w)
                       0x5280,                  // addq.l #1,d0
                       0xB690,                  // cmp.l (a0),d3
                       0x6106,                  // bsr.s sub
                       0x51CF, 0xFFEA,          // dbra d7,loop
                       0x60E6,                  // bra.s loop
                       0xB182,                  // sub: eor.l d0,d2
                       0x4E75,                  // rts
                   });
}

// Byte copy: move.b (a0)+,(a1)+ / dbra d0 over 4 KiB, then reload the pointers.
void byteCopyLoop(benchmark::State& state) {
    runLoop(state, {
                       0x41F9, 0x0081, 0x0000,  // outer: lea $810000,a0
                       0x43F9, 0x0082, 0x0000,  // lea $820000,a1
                       0x303C, 0x0FFF,          // move.w #4095,d0
                       0x12D8,                  // copy: move.b (a0)+,(a1)+
                       0x51C8, 0xFFFC,          // dbra d0,copy
                       0x60E8,                  // bra.s outer
                   });
}

}  // namespace

BENCHMARK(mixedLoop);
BENCHMARK(byteCopyLoop);
BENCHMARK_MAIN();
