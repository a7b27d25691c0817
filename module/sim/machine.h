// The simulated module's state: CPU32 registers, RAM, on-chip registers and the serial interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace korvan::sim {

// Memory as the CPU sees it. Every access answers whether it reached something; false is a bus
// error and leaves the value untouched. Multi-byte accesses are big-endian; alignment is the
// CPU's concern, not the bus's.
class Bus {
public:
    virtual ~Bus() = default;
    virtual bool read8(std::uint32_t address, std::uint8_t& value) = 0;
    virtual bool read16(std::uint32_t address, std::uint16_t& value) = 0;
    virtual bool read32(std::uint32_t address, std::uint32_t& value) = 0;
    virtual bool write8(std::uint32_t address, std::uint8_t value) = 0;
    virtual bool write16(std::uint32_t address, std::uint16_t value) = 0;
    virtual bool write32(std::uint32_t address, std::uint32_t value) = 0;
};

// The memory map. The MC68332 drives 24 address lines, so the top byte of an address is not
// decoded: $FFFFFC0C (an absolute short $FC0C) reaches the same register as $FFFC0C.
inline constexpr std::uint32_t kAddressMask = 0x00FF'FFFF;
inline constexpr std::uint32_t kRamBase = 0x80'0000;
inline constexpr std::uint32_t kRamSize = 512 * 1024;
inline constexpr std::uint32_t kOnChipBase = 0xFF'F000;
inline constexpr std::uint32_t kOnChipSize = 0x1000;
inline constexpr std::uint32_t kMonitorAreaBase = 0x80'0400;  // the monitor's own RAM
inline constexpr std::uint32_t kMonitorAreaEnd = 0x80'2000;   // first byte past it
inline constexpr std::uint32_t kScsr = 0xFF'FC0C;             // QSM serial status (word)
inline constexpr std::uint32_t kScdr = 0xFF'FC0E;             // QSM serial data (word)

// SCSR bits a program polls.
inline constexpr std::uint16_t kScsrTdre = 1u << 8;  // transmit data register empty
inline constexpr std::uint16_t kScsrTc = 1u << 7;    // transmission complete
inline constexpr std::uint16_t kScsrRdrf = 1u << 6;  // a received byte waits in SCDR

inline constexpr std::uint16_t kSrSupervisor = 1u << 13;

// Where the monitor catches exceptions: vector n points at monitorEntry(n), so the address the
// processor lands on names the vector. Nothing runs there: the executor takes over as soon as
// PC enters the monitor's area (each entry holds ILLEGAL words should a program get there
// another way).
inline constexpr unsigned kVectorCount = 256;
inline constexpr unsigned kServiceTrap = 47;  // TRAP #15: the monitor's services
inline constexpr std::uint32_t monitorEntry(unsigned vector) { return kMonitorAreaBase + 4 * vector; }

struct Registers {
    std::array<std::uint32_t, 8> d{};
    std::array<std::uint32_t, 7> a{};  // A0-A6; A7 is SS or US
    std::uint32_t ss = 0;
    std::uint32_t us = 0;
    std::uint32_t pc = 0;
    std::uint16_t sr = 0;
    std::uint32_t vbr = 0;
    std::uint8_t sfc = 0;  // three bits used
    std::uint8_t dfc = 0;  // three bits used

    bool supervisor() const { return (sr & kSrSupervisor) != 0; }
    // A7 is the stack pointer of the current mode.
    std::uint32_t a7() const { return supervisor() ? ss : us; }
    void setA7(std::uint32_t value) { (supervisor() ? ss : us) = value; }
    std::uint32_t addressRegister(int n) const { return n == 7 ? a7() : a[n]; }
    void setAddressRegister(int n, std::uint32_t value) { n == 7 ? setA7(value) : void(a[n] = value); }
};

// The whole module: registers, memory map and the serial interface between the program and
// the line. Bytes the program sends wait in serialOut until the line takes them; bytes received
// from the line while a program runs wait in serialIn. Both are bounded: a full output buffer
// clears the transmit-ready flags (the program waits, as for a line that is busy) and input
// beyond the input queue's size is lost, as in a receiver that overruns.
class Machine final : public Bus {
public:
    static constexpr std::size_t kOutputCapacity = 256;  // about 45 ms of a 57600 bit/s line
    static constexpr std::size_t kInputCapacity = 4096;

    Machine();

    // Power-on state: SR $2700, PC $802000, SS $880000, US $87C000, VBR $800000, the rest 0,
    // memory cleared but for the monitor's vector table (every vector at its monitor entry,
    // the two reset vectors holding SS and PC).
    void reset();

    Registers& registers() { return m_regs; }
    const Registers& registers() const { return m_regs; }

    bool read8(std::uint32_t address, std::uint8_t& value) override;
    bool read16(std::uint32_t address, std::uint16_t& value) override;
    bool read32(std::uint32_t address, std::uint32_t& value) override;
    bool write8(std::uint32_t address, std::uint8_t value) override;
    bool write16(std::uint32_t address, std::uint16_t value) override;
    bool write32(std::uint32_t address, std::uint32_t value) override;

    // Memory as the monitor sees it (download, display): RAM and on-chip registers as plain
    // storage, without the serial interface's side effects. False where nothing is mapped.
    bool peek8(std::uint32_t address, std::uint8_t& value) const;
    bool poke8(std::uint32_t address, std::uint8_t value);
    static bool mapped(std::uint32_t address);
    // The RAM's bytes, kRamSize of them from kRamBase, for the CPU's fast path.
    std::uint8_t* ram() { return m_ram.data(); }

    std::deque<std::uint8_t>& serialIn() { return m_serialIn; }
    std::string& serialOut() { return m_serialOut; }
    // A byte from the program to the line; false (nothing kept) while the output buffer is full.
    bool send(std::uint8_t byte);
    bool outputRoom() const { return m_serialOut.size() < m_outputCapacity; }
    // A byte from the line to the program; false (dropped) while the input queue is full.
    bool receive(std::uint8_t byte);
    // A larger buffer where the output is taken after every slice of a run, not at a line's pace.
    void setOutputCapacity(std::size_t bytes) { m_outputCapacity = bytes; }

private:
    std::uint8_t* storage(std::uint32_t address);
    std::uint16_t readScsr() const;

    Registers m_regs;
    std::vector<std::uint8_t> m_ram;
    std::vector<std::uint8_t> m_onChip;
    std::deque<std::uint8_t> m_serialIn;
    std::string m_serialOut;
    std::size_t m_outputCapacity = kOutputCapacity;
};

}  // namespace korvan::sim
