// Memory map, serial registers and reset state of the simulated module.
#include <gtest/gtest.h>

#include "../../support/table.h"
#include "machine.h"

namespace korvan::sim {
namespace {

TEST(Machine, ResetState) {
    Machine m;
    m.registers().d[3] = 7;
    m.write32(0x802000, 0x12345678);
    m.reset();
    const Registers& r = m.registers();
    EXPECT_EQ(r.sr, 0x2700);
    EXPECT_EQ(r.pc, 0x802000u);
    EXPECT_EQ(r.ss, 0x880000u);
    EXPECT_EQ(r.us, 0x87C000u);
    EXPECT_EQ(r.vbr, 0x800000u);
    EXPECT_EQ(r.a7(), r.ss);
    EXPECT_EQ(r.d[3], 0u);
    std::uint32_t v = 1, ssp = 0, pc = 0;
    ASSERT_TRUE(m.read32(0x802000, v) && m.read32(0x800000, ssp) && m.read32(0x800004, pc));
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(ssp, 0x880000u);  // the reset vectors
    EXPECT_EQ(pc, 0x802000u);
}

// Long writes then reads of every region: what comes back, or the bus error that writes nothing.
TEST(Machine, MemoryMap) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/memory_map.txt", 5)) {
        SCOPED_TRACE(row[0]);
        const std::uint32_t writeAt = test::hex(row[1]);
        const bool ok = row[3] == "yes";
        Machine m;
        const bool wordFits = m.write16(writeAt, 0x1122);
        EXPECT_EQ(m.write32(writeAt, 0xCAFEBABE), ok);
        std::uint32_t v = 0x55555555;
        EXPECT_EQ(m.read32(test::hex(row[2]), v), ok);
        EXPECT_EQ(v, ok ? test::hex(row[4]) : 0x55555555u);
        std::uint8_t b = 0;
        if (wordFits) {
            ASSERT_TRUE(m.read8(writeAt, b));
            EXPECT_EQ(b, ok ? 0xCA : 0x11) << "big-endian, and a bus error writes nothing";
        }
    }
}

// The word at an address as a program reads it, -1 for a bus error.
int word(Machine& m, std::uint32_t address) {
    std::uint16_t v = 0;
    return m.read16(address, v) ? v : -1;
}

TEST(Machine, SerialInterface) {
    Machine m;
    EXPECT_EQ(word(m, kScsr), kScsrTdre | kScsrTc);
    m.write16(kScsr, 0);  // status is not writable
    m.serialIn().push_back('k');
    EXPECT_EQ(word(m, kScsr), kScsrTdre | kScsrTc | kScsrRdrf);
    std::uint8_t low = 0;
    ASSERT_TRUE(m.read8(kScsr + 1, low));
    EXPECT_EQ(low, kScsrTc | kScsrRdrf);

    EXPECT_EQ(word(m, kScdr), 'k');
    EXPECT_TRUE(m.serialIn().empty());
    EXPECT_EQ(word(m, kScsr) & kScsrRdrf, 0);

    ASSERT_TRUE(m.write16(kScdr, 0x0141));
    ASSERT_TRUE(m.write8(0xFFFFFC0F, 'B'));  // absolute short $FC0F
    EXPECT_EQ(m.serialOut(), "AB");
    // The monitor's own view (download, display) has no side effect on the line.
    ASSERT_TRUE(m.poke8(kScdr + 1, 'C'));
    EXPECT_EQ(m.serialOut(), "AB");

    // Both buffers are bounded: a full output buffer clears TDRE and TC, and a byte written
    // anyway is lost, as is input beyond the input queue.
    m.serialOut().resize(Machine::kOutputCapacity - 1, '.');
    EXPECT_EQ(word(m, kScsr), kScsrTdre | kScsrTc);
    ASSERT_TRUE(m.write8(kScdr + 1, 'D'));
    EXPECT_EQ(word(m, kScsr), 0);
    ASSERT_TRUE(m.write8(kScdr + 1, 'E'));
    EXPECT_EQ(m.serialOut().size(), Machine::kOutputCapacity);
    EXPECT_EQ(m.serialOut().back(), 'D');
    for (std::size_t i = 0; i < Machine::kInputCapacity + 10; ++i) m.receive('x');
    EXPECT_EQ(m.serialIn().size(), Machine::kInputCapacity);
}

}  // namespace
}  // namespace korvan::sim
