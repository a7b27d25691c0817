// Supervisor behaviour of the CPU32 core: exception vectors and stack frames, RTE, MOVEC,
// MOVES, stack switching, privilege, STOP/LPSTOP, table lookup, CHK2 and run/watch. Opcodes
// and expected frames are written by hand from the processor's reference.
#include "cpu32/cpu32.h"
#include "ram_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/table.h"

using namespace cpu32;
using korvan::test::hex;
using korvan::test::readTable;
using korvan::test::Row;
using korvan::test::words;

namespace {

constexpr uint32_t kRam = 0x800000, kCode = 0x802000, kData = 0x803000, kSsp = 0x880000, kUsp = 0x87C000;
constexpr uint32_t kHandlers = 0x801000;  // vector v points at kHandlers + 4 * v

struct Fixture {
    test::RamBus bus{kRam, 0x80000};
    Cpu cpu{bus};

    explicit Fixture(std::vector<uint16_t> code, uint16_t sr = 0x2700) {
        for (uint32_t v = 0; v < 256; ++v) bus.poke32(kRam + 4 * v, kHandlers + 4 * v);
        for (size_t i = 0; i < code.size(); ++i) bus.poke16(kCode + 2 * uint32_t(i), code[i]);
        Registers& r = cpu.regs();
        r.vbr = kRam;
        r.pc = kCode;
        r.a[7] = kSsp;  // supervisor at construction
        cpu.setSr(sr);
        cpu.setSupervisorStack(kSsp);
        cpu.setUserStack(kUsp);
    }
    std::vector<uint16_t> stackWords(size_t n) {
        std::vector<uint16_t> w;
        for (size_t i = 0; i < n; ++i) w.push_back(bus.peek16(cpu.regs().a[7] + 2 * uint32_t(i)));
        return w;
    }
};

TEST(Cpu32Exceptions, VectorsAndFrames) {
    for (const Row& row : readTable(KORVAN_CPU32_TEST_DATA "/exceptions.txt", 7)) {
        SCOPED_TRACE(row[0]);
        const std::vector<uint16_t> frame = words(row[6]);
        const unsigned vector = std::stoul(row[5]);
        Fixture f(words(row[1]), uint16_t(hex(row[2])));
        f.cpu.regs().a[0] = hex(row[3]);
        f.cpu.regs().d[1] = hex(row[4]);
        f.bus.poke16(kData, 0x0A14);  // CHK2 bounds 10 and 20
        StepResult s = f.cpu.step();
        if (s.status == StepStatus::Normal) s = f.cpu.step();  // a jump faults on the next fetch
        EXPECT_EQ(s.status, StepStatus::Exception);
        EXPECT_EQ(s.vector, vector);
        EXPECT_EQ(f.cpu.regs().pc, kHandlers + 4u * vector);
        EXPECT_EQ(f.cpu.regs().sr & 0xE000, 0x2000) << "supervisor, trace off";
        EXPECT_EQ(f.cpu.regs().a[7], kSsp - 2 * frame.size());
        EXPECT_EQ(f.stackWords(frame.size()), frame);
    }
}

TEST(Cpu32Exceptions, UnreachableStackHalts) {
    Fixture f({0x4AFC});
    f.cpu.setSupervisorStack(0x00100000);
    EXPECT_EQ(f.cpu.step().status, StepStatus::Halted);
    EXPECT_TRUE(f.cpu.halted());
    EXPECT_EQ(f.cpu.run(10).reason, RunReason::Halted);
}

TEST(Cpu32Exceptions, RteRestoresFormatsAndSwitchesStacks) {
    for (const Row& row : readTable(KORVAN_CPU32_TEST_DATA "/returns.txt", 6)) {
        SCOPED_TRACE(row[0]);
        const std::vector<uint16_t> frame = words(row[1]);
        const unsigned vector = std::stoul(row[5]);
        Fixture f({0x4E73});
        f.cpu.setSupervisorStack(kSsp - 2 * uint32_t(frame.size()));
        for (size_t i = 0; i < frame.size(); ++i) f.bus.poke16(f.cpu.regs().a[7] + 2 * uint32_t(i), frame[i]);
        EXPECT_EQ(f.cpu.step().vector, vector);
        EXPECT_EQ(f.cpu.regs().pc, hex(row[2]));
        EXPECT_EQ(f.cpu.regs().a[7], hex(row[3]));
        EXPECT_EQ(f.cpu.regs().sr, hex(row[4]));
        EXPECT_EQ(f.cpu.supervisorStack(), vector ? kSsp - 16 : kSsp);
    }
}

TEST(Cpu32Supervisor, ControlRegistersAndUserStack) {
    Fixture f({
        0x4E7B, 0x0801,  // MOVEC D0,VBR
        0x4E7A, 0x9801,  // MOVEC VBR,A1
        0x4E7B, 0x1000,  // MOVEC D1,SFC (three bits kept)
        0x4E7B, 0x1001,  // MOVEC D1,DFC
        0x4E7A, 0x2800,  // MOVEC USP,D2
        0x4E63,          // MOVE A3,USP
        0x4E6C,          // MOVE USP,A4
        0x027C, 0xDFFF,  // ANDI #$DFFF,SR: to user mode
    });
    Registers& r = f.cpu.regs();
    r.d[0] = 0x00812300;
    r.d[1] = 0xFFFFFFFD;
    r.a[3] = 0x00870000;
    for (int i = 0; i < 8; ++i) ASSERT_EQ(f.cpu.step().status, StepStatus::Normal) << i;
    EXPECT_EQ(r.vbr, 0x00812300u);
    EXPECT_EQ(r.a[1], 0x00812300u);
    EXPECT_EQ(r.sfc, 5);
    EXPECT_EQ(r.dfc, 5);
    EXPECT_EQ(r.d[2], kUsp);
    EXPECT_EQ(r.a[4], 0x00870000u);
    EXPECT_EQ(r.sr, 0x0700);
    EXPECT_EQ(r.a[7], 0x00870000u) << "A7 is now the user stack pointer";
    EXPECT_EQ(f.cpu.supervisorStack(), kSsp);
}

TEST(Cpu32Supervisor, MovesUsesTheAlternateFunctionCodes) {
    Fixture f({
        0x0E50, 0x0800,  // MOVES.W D0,(A0)
        0x0E90, 0x9000,  // MOVES.L (A0),A1
    });
    Registers& r = f.cpu.regs();
    r.dfc = 1;
    r.sfc = 2;
    r.d[0] = 0xABCD8001;
    r.a[0] = kData;
    ASSERT_EQ(f.cpu.step().status, StepStatus::Normal);
    EXPECT_EQ(f.bus.lastFc, FunctionCode::UserData);
    EXPECT_EQ(f.bus.peek16(kData), 0x8001);
    f.bus.poke32(kData, 0x12345678);
    ASSERT_EQ(f.cpu.step().status, StepStatus::Normal);
    EXPECT_EQ(f.bus.lastFc, FunctionCode::UserProgram);
    EXPECT_EQ(r.a[1], 0x12345678u);
}

TEST(Cpu32Supervisor, StopAndLowPowerStop) {
    for (const auto& code : {std::vector<uint16_t>{0x4E72, 0x2314}, std::vector<uint16_t>{0xF800, 0x01C0, 0x2314}}) {
        Fixture f(code);
        const RunResult first = f.cpu.run(100);
        EXPECT_EQ(first.reason, RunReason::Stopped);
        EXPECT_EQ(first.executed, 1u);
        EXPECT_EQ(f.cpu.regs().sr, 0x2314);
        EXPECT_EQ(f.cpu.regs().pc, kCode + 2 * code.size());
        EXPECT_EQ(f.cpu.run(100).executed, 0u) << "a stopped core executes nothing";
        f.cpu.restart();
        EXPECT_FALSE(f.cpu.stopped());
    }
}

TEST(Cpu32Instructions, TableLookupAndBounds) {
    for (const Row& row : readTable(KORVAN_CPU32_TEST_DATA "/lookups.txt", 9)) {
        SCOPED_TRACE(row[0]);
        Fixture f(words(row[1]));
        uint32_t at = kData;
        for (uint16_t byte : words(row[2])) f.bus.poke8(at++, uint8_t(byte));
        Registers& r = f.cpu.regs();
        r.a[0] = kData;
        r.d[1] = hex(row[3]);
        r.d[2] = hex(row[4]);
        r.d[3] = hex(row[5]);
        ASSERT_EQ(f.cpu.step().status, StepStatus::Normal);
        EXPECT_EQ(r.d[1], hex(row[6]));
        EXPECT_EQ(r.sr & hex(row[8]), hex(row[7]));
    }
}

TEST(Cpu32Run, CountAndWatchedRange) {
    Fixture f({0x4E71, 0x4E71, 0x4EF9, 0x0080, 0x0400});  // NOP, NOP, JMP $800400
    // The jump lands just below the range; the ORI.B #0,D0 (zero words) there takes the PC in.
    f.cpu.setWatchRange(0x800402, 0x801FFF);
    const RunResult two = f.cpu.run(2);
    EXPECT_EQ(two.reason, RunReason::Count);
    EXPECT_EQ(two.executed, 2u);
    const RunResult rest = f.cpu.run(100);
    EXPECT_EQ(rest.reason, RunReason::Watch);
    EXPECT_EQ(rest.executed, 2u);
    EXPECT_EQ(f.cpu.regs().pc, 0x800404u);
}

// The direct RAM window must answer exactly as the bus, and run() as step() by step: each
// program runs once stepped through the bus alone and once run with a window that ends two
// bytes past kData (the stack stays behind the bus). The window has its own copy of the RAM
// with different bytes past its end, so an access the window should refuse shows.
TEST(Cpu32Run, RamWindowAnswersAsTheBus) {
    constexpr uint32_t kWindowSize = kData + 2 - kRam;
    for (const Row& row : readTable(KORVAN_CPU32_TEST_DATA "/ram_window.txt", 5)) {
        SCOPED_TRACE(row[0]);
        const uint64_t count = std::stoull(row[4]);
        // Count, reason, vector, D0, PC, SR, A7, the words stacked and the bytes the run wrote to
        // either copy (an access the window refuses goes to the bus).
        std::vector<uint32_t> seen[2];
        for (int windowed = 0; windowed < 2; ++windowed) {
            Fixture f(words(row[1]), uint16_t(hex(row[2])));
            f.bus.poke32(kData, 0x11223344);
            f.bus.poke32(kData - 4, 0x55667788);
            f.cpu.regs().a[0] = hex(row[3]);
            f.cpu.regs().d[0] = 0xA1B2C3D4;
            const std::vector<uint8_t> before(f.bus.at(kData - 4), f.bus.at(kData + 4));
            std::vector<uint8_t> host(f.bus.at(kRam), f.bus.at(kRam) + kWindowSize);
            host.resize(kWindowSize + 8, 0xEE);
            RunResult got;
            if (windowed) {
                f.cpu.setRamWindow(host.data(), kRam, kWindowSize);
                got = f.cpu.run(count);
            }
            for (; !windowed && got.executed < count; ++got.executed) {
                const StepResult s = f.cpu.step();
                if (s.status == StepStatus::Normal) continue;
                got.reason = s.status == StepStatus::Exception ? RunReason::Exception
                             : s.status == StepStatus::Stopped ? RunReason::Stopped
                                                               : RunReason::Halted;
                got.vector = s.vector;
                if (s.status != StepStatus::Halted) ++got.executed;
                break;
            }
            const Registers& r = f.cpu.regs();
            seen[windowed] = {uint32_t(got.executed), uint32_t(got.reason), got.vector, r.d[0], r.pc, r.sr, r.a[7]};
            for (uint16_t w : f.stackWords((kSsp - r.a[7]) / 2)) seen[windowed].push_back(w);
            for (uint32_t a = kData - 4; a < kData + 4; ++a) {
                const bool inHost = windowed && a - kRam < kWindowSize && f.bus.peek8(a) == before[a - kData + 4];
                seen[windowed].push_back(inHost ? host[a - kRam] : f.bus.peek8(a));
            }
        }
        EXPECT_EQ(seen[1], seen[0]);
    }
}

TEST(Cpu32Run, ResetReadsTheVectors) {
    test::RamBus bus(0, 0x1000);
    bus.poke32(0, 0x00000800);
    bus.poke32(4, 0x00000400);
    Cpu cpu(bus);
    cpu.setSr(0x0000);
    cpu.regs().vbr = 0x400;  // moved before the reset, which puts it back at 0
    ASSERT_TRUE(cpu.reset());
    EXPECT_EQ(cpu.regs().a[7], 0x800u);
    EXPECT_EQ(cpu.regs().pc, 0x400u);
    EXPECT_EQ(cpu.regs().sr, 0x2700);
    EXPECT_EQ(cpu.regs().vbr, 0u);
    test::RamBus none(0x100000, 0x10);
    Cpu dead(none);
    EXPECT_FALSE(dead.reset());
    EXPECT_TRUE(dead.halted());
}

}  // namespace
