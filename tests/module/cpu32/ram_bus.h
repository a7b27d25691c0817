// A flat big-endian RAM bus for the CPU32 core's tests: one mapped range, bus errors elsewhere,
// and a log of the function codes seen.
#pragma once

#include "cpu32/cpu32.h"

#include <cstdint>
#include <vector>

namespace cpu32::test {

class RamBus : public Bus {
public:
    RamBus(uint32_t base, uint32_t size) : m_base(base), m_mem(size, 0) {}

    bool mapped(uint32_t addr, uint32_t n) const { return addr >= m_base && addr - m_base + n <= m_mem.size(); }
    uint8_t* at(uint32_t addr) { return &m_mem[addr - m_base]; }

    void poke8(uint32_t a, uint8_t v) { *at(a) = v; }
    void poke16(uint32_t a, uint16_t v) { poke8(a, uint8_t(v >> 8)), poke8(a + 1, uint8_t(v)); }
    void poke32(uint32_t a, uint32_t v) { poke16(a, uint16_t(v >> 16)), poke16(a + 2, uint16_t(v)); }
    uint8_t peek8(uint32_t a) { return *at(a); }
    uint16_t peek16(uint32_t a) { return uint16_t((peek8(a) << 8) | peek8(a + 1)); }
    uint32_t peek32(uint32_t a) { return (uint32_t(peek16(a)) << 16) | peek16(a + 2); }

    FunctionCode lastFc = FunctionCode::CpuSpace;

    bool read8(uint32_t a, FunctionCode fc, uint8_t& v) override { return access(a, 1, fc) && (v = peek8(a), true); }
    bool read16(uint32_t a, FunctionCode fc, uint16_t& v) override { return access(a, 2, fc) && (v = peek16(a), true); }
    bool read32(uint32_t a, FunctionCode fc, uint32_t& v) override { return access(a, 4, fc) && (v = peek32(a), true); }
    bool write8(uint32_t a, FunctionCode fc, uint8_t v) override { return access(a, 1, fc) && (poke8(a, v), true); }
    bool write16(uint32_t a, FunctionCode fc, uint16_t v) override { return access(a, 2, fc) && (poke16(a, v), true); }
    bool write32(uint32_t a, FunctionCode fc, uint32_t v) override { return access(a, 4, fc) && (poke32(a, v), true); }

private:
    // A mapped access is logged with its function code; any other is a bus error.
    bool access(uint32_t a, uint32_t n, FunctionCode fc) { return mapped(a, n) && (lastFc = fc, true); }

    uint32_t m_base;
    std::vector<uint8_t> m_mem;
};

}  // namespace cpu32::test
