// Programs on the CPU32 executor: the monitor's services, stops, own handlers, step and waiting.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../../support/table.h"
#include "executor.h"
#include "monitor.h"

namespace korvan::sim {
namespace {

constexpr std::uint32_t kOrigin = 0x802000;
constexpr std::uint32_t kData = 0x802100;

// A program at kOrigin and its data at kData on the CPU32 executor, and the monitor over both
// past its banner (it leaves the machine alone until it is given a command).
struct Fixture {
    Machine m;
    CpuExecutor executor;
    Monitor monitor{m, executor};

    explicit Fixture(const std::vector<std::uint16_t>& code, const std::vector<std::uint16_t>& data = {}) {
        for (std::uint32_t at = kOrigin; std::uint16_t w : code) m.write16(std::exchange(at, at + 2), w);
        for (std::uint32_t at = kData; std::uint16_t w : data) m.write16(std::exchange(at, at + 2), w);
        monitor.feed("\r");
        monitor.takeOutput();
    }
};

// Whole programs: what they print, why they stop and where PC is left.
TEST(Executor, ProgramsStopWithTheirReason) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/executor_programs.txt", 7)) {
        SCOPED_TRACE(row[0]);
        Fixture f(test::words(row[1]), test::words(row[2]));
        const Outcome outcome = f.executor.run(f.m, 1000);
        EXPECT_TRUE(outcome.stopped);
        EXPECT_EQ(outcome.reason, row[4]);
        EXPECT_EQ(f.m.serialOut(), row[3]);
        EXPECT_EQ(f.m.registers().pc, test::hex(row[5]));
        if (row[6] != "-") {
            EXPECT_EQ(f.m.registers().sr, test::hex(row[6]));
        }
        if ((f.m.registers().sr & kSrSupervisor) != 0 && row[0] != "no room for a frame") {
            EXPECT_EQ(f.m.registers().ss, 0x880000u);  // the frame is gone
        }
        EXPECT_EQ(f.m.registers().us, 0x87C000u);
    }
}

// Function 3 waits for a character (run after run), function 4 tells whether one waits.
TEST(Executor, ReadWaitsForACharacter) {
    Fixture f({0x7004, 0x4E4F, 0x2401, 0x7003, 0x4E4F, 0x7004, 0x4E4F, 0x7000, 0x4E4F});
    for (int i = 0; i < 2; ++i) {
        const Outcome waiting = f.executor.run(f.m, 1000);
        EXPECT_FALSE(waiting.stopped);
        EXPECT_TRUE(waiting.waiting);
    }
    EXPECT_EQ(f.m.registers().d[2], 0u);  // nothing waited at first
    f.m.serialIn().push_back('k');
    f.m.serialIn().push_back('l');
    f.m.registers().d[1] = 0x12345600;
    EXPECT_EQ(f.executor.run(f.m, 1000).reason, "program ended with status 1");
    EXPECT_EQ(f.m.registers().d[1], 1u);  // 'l' still waits
    EXPECT_EQ(f.m.serialIn().size(), 1u);
}

// One instruction at a time: a trap counts as its handler's first step; the monitor's services
// complete within the step.
TEST(Executor, StepIsOneInstruction) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/executor_steps.txt", 6)) {
        SCOPED_TRACE(row[0]);
        Fixture f(test::words(row[1]));
        f.m.registers().d[0] = 1;
        f.m.registers().d[1] = 1;
        if (row[2] == "yes") f.m.write32(0x800080, kData);
        const Outcome outcome = f.executor.step(f.m);
        EXPECT_TRUE(outcome.stopped);
        EXPECT_EQ(outcome.reason, row[4]);
        EXPECT_EQ(f.m.serialOut(), row[3]);
        EXPECT_EQ(f.m.registers().pc, test::hex(row[5]));
        EXPECT_EQ(f.m.registers().sr, 0x2700);
        EXPECT_EQ(f.executor.executed(), 1u);
    }
}

// An output service finds the output buffer full: the program waits on its TRAP (nothing lost,
// the transmit flags clear) and goes on when the line has taken some; ESC leaves it on the TRAP.
TEST(Executor, OutputWaitsForRoom) {
    struct Row {
        const char* name;
        std::initializer_list<std::uint16_t> code;
        std::string output;  // after the full buffer's contents
    };
    // clang-format off
    const Row rows[] = {
        {"function 1", {0x7241, 0x7001, 0x4E4F, 0x7242, 0x4E4F, 0x7200, 0x7000, 0x4E4F}, "AB"},
        {"function 2", {0x41F9, 0x0080, 0x2100, 0x7002, 0x4E4F, 0x7200, 0x7000, 0x4E4F}, "Hello"},
    };
    // clang-format on
    for (const Row& row : rows) {
        for (const bool interrupt : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (interrupt ? ", interrupted" : ""));
            Fixture f(row.code, {0x4865, 0x6C6C, 0x6F00});
            const std::string full(Machine::kOutputCapacity - 1, '.');
            f.m.serialOut() = full;
            std::string out;
            for (int i = 0; i < 20; ++i) {
                const Outcome outcome = f.executor.run(f.m, 1000);
                if (outcome.stopped) {
                    EXPECT_EQ(outcome.reason, "program ended");
                    break;
                }
                EXPECT_TRUE(outcome.blocked);
                EXPECT_EQ(f.m.serialOut().size(), Machine::kOutputCapacity);
                std::uint16_t scsr = 0;
                ASSERT_TRUE(f.m.read16(kScsr, scsr));
                EXPECT_EQ(scsr & (kScsrTdre | kScsrTc), 0);
                if (interrupt) {
                    f.executor.interrupted(f.m);
                    EXPECT_EQ(f.m.registers().d[0], row.name == std::string("function 1") ? 1u : 2u);
                    EXPECT_EQ(f.m.registers().ss, 0x880000u);  // back on the TRAP, the frame gone
                    std::uint16_t op = 0;
                    f.m.read16(f.m.registers().pc, op);
                    EXPECT_EQ(op, 0x4E4F);
                    break;
                }
                out += f.m.serialOut().substr(0, 1);  // the line takes one byte
                f.m.serialOut().erase(0, 1);
            }
            if (!interrupt) {
                EXPECT_EQ(out + f.m.serialOut(), full + row.output);
            }
        }
    }
}

// The monitor over the real executor: a stepped or running read waits while the line is
// served; ESC leaves the program on its TRAP so that GO asks again.
TEST(Executor, MonitorServesTheLineWhileAProgramWaits) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/executor_waits.txt", 6)) {
        SCOPED_TRACE(row[0]);
        Fixture f({0x7003, 0x4E4F, 0x7000, 0x4E4F});
        if (row[1] == "ss\r") {  // step the TRAP itself
            f.m.registers().pc = 0x802002;
            f.m.registers().d[0] = 3;
        }
        f.monitor.feed(row[1]);
        for (int i = 0; i < 3; ++i) f.monitor.service();
        EXPECT_TRUE(f.monitor.waiting());
        f.monitor.feed(row[2]);
        f.monitor.service();
        EXPECT_FALSE(f.monitor.running());
        const std::string out = f.monitor.takeOutput();
        EXPECT_NE(out.find("PC=" + row[3]), std::string::npos) << out;
        EXPECT_NE(out.find("D1=" + row[4]), std::string::npos) << out;
        const bool hasReason =
            out.find("program ended") != std::string::npos || out.find("interrupted") != std::string::npos;
        EXPECT_EQ(hasReason, row[5] == "yes") << out;
    }
}

// A print loop under GO runs no further ahead of the line than the output buffer holds, and ESC
// drops what the line has not taken, so the stop line follows at once.
TEST(Executor, PrintLoopIsPacedByTheLineAndEscDropsItsOutput) {
    Fixture f({0x7001, 0x7241, 0x4E4F, 0x60F8});  // BRA back to print "A" again
    f.monitor.feed("GO\r");
    EXPECT_EQ(f.monitor.takeOutput(4), "GO\r\n");
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 50; ++i) f.monitor.service();
        EXPECT_TRUE(f.monitor.blocked());
        EXPECT_EQ(f.m.serialOut().size(), Machine::kOutputCapacity);
        EXPECT_EQ(f.monitor.takeOutput(10), std::string(10, 'A'));
        EXPECT_FALSE(f.monitor.blocked());
    }
    f.monitor.feed("\x1b");
    const std::string stop = f.monitor.takeOutput();
    EXPECT_TRUE(stop.starts_with("\r\ninterrupted\r\nD0=00000001 D1=00000041")) << stop;
    EXPECT_TRUE(stop.ends_with(">>-> "));
}

}  // namespace
}  // namespace korvan::sim
