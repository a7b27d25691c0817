// Fuzz target of the CPU32 core: random code and registers in a small memory, every step
// checked to execute or to take a CPU32 exception through its vector, never to crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cpu32/cpu32.h"

namespace {

constexpr uint32_t kMemSize = 0x10000;  // mapped from 0; everything above is a bus error
constexpr uint32_t kHandler = 0x0800;   // every vector: an RTE, so programs go on after traps
constexpr uint32_t kCode = 0x1000;
constexpr uint32_t kStack = 0xF000;
constexpr int kMaxSteps = 2000;

class FuzzBus final : public cpu32::Bus {
public:
    std::vector<uint8_t> mem = std::vector<uint8_t>(kMemSize);

    bool mapped(uint32_t a, uint32_t n) const { return a < kMemSize && kMemSize - a >= n; }
    uint32_t load(uint32_t a, int n) const {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | mem[a + uint32_t(i)];
        return v;
    }
    void store(uint32_t a, uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i, v >>= 8) mem[a + uint32_t(i)] = uint8_t(v);
    }
    // The core promises even addresses for word and long cycles.
    static void aligned(uint32_t a) {
        if (a & 1) std::abort();
    }

    bool read8(uint32_t a, cpu32::FunctionCode, uint8_t& v) override {
        if (!mapped(a, 1)) return false;
        v = mem[a];
        return true;
    }
    bool read16(uint32_t a, cpu32::FunctionCode, uint16_t& v) override {
        aligned(a);
        if (!mapped(a, 2)) return false;
        v = uint16_t(load(a, 2));
        return true;
    }
    bool read32(uint32_t a, cpu32::FunctionCode, uint32_t& v) override {
        aligned(a);
        if (!mapped(a, 4)) return false;
        v = load(a, 4);
        return true;
    }
    bool write8(uint32_t a, cpu32::FunctionCode, uint8_t v) override {
        if (!mapped(a, 1)) return false;
        mem[a] = v;
        return true;
    }
    bool write16(uint32_t a, cpu32::FunctionCode, uint16_t v) override {
        aligned(a);
        if (!mapped(a, 2)) return false;
        store(a, v, 2);
        return true;
    }
    bool write32(uint32_t a, cpu32::FunctionCode, uint32_t v) override {
        aligned(a);
        if (!mapped(a, 4)) return false;
        store(a, v, 4);
        return true;
    }
};

bool cpu32Vector(unsigned v) { return (v >= 2 && v <= 11) || v == 14 || (v >= 32 && v <= 47); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBus bus;
    for (uint32_t v = 0; v < 256; ++v) bus.store(4 * v, kHandler, 4);
    bus.store(kHandler, 0x4E73, 2);

    cpu32::Cpu cpu(bus);
    cpu32::Registers& r = cpu.regs();
    auto take32 = [&](uint32_t& out) {
        if (size < 4) return;
        out = uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
        data += 4;
        size -= 4;
    };
    for (uint32_t& d : r.d) take32(d);
    for (int i = 0; i < 7; ++i) take32(r.a[i]);
    uint32_t sr = 0x2700;
    take32(sr);
    r.a[7] = kStack;
    r.ssp = kStack;
    r.usp = kStack - 0x1000;
    r.pc = kCode;
    cpu.setSr(uint16_t(sr | 0x2000));
    cpu.setSr(uint16_t(sr));
    std::memcpy(bus.mem.data() + kCode, data, std::min<size_t>(size, kMemSize - kCode));

    for (int i = 0; i < kMaxSteps; ++i) {
        const cpu32::StepResult s = cpu.step();
        if (s.status == cpu32::StepStatus::Halted) break;
        if (s.status == cpu32::StepStatus::Stopped) {
            cpu.restart();
            continue;
        }
        if (s.status != cpu32::StepStatus::Exception) continue;
        // Taken through the vector, in supervisor mode, trace off.
        if (!cpu32Vector(s.vector)) std::abort();
        const uint32_t slot = r.vbr + 4u * s.vector;
        if (!bus.mapped(slot, 4) || (r.sr & 0xE000) != 0x2000 || r.pc != bus.load(slot, 4)) std::abort();
    }
    return 0;
}
