// The simulated module's memory map and reset state.
#include "machine.h"

#include <algorithm>

namespace korvan::sim {

namespace {

constexpr std::uint32_t kResetSr = 0x2700;
constexpr std::uint32_t kResetPc = 0x80'2000;
constexpr std::uint32_t kResetSs = 0x88'0000;
constexpr std::uint32_t kResetUs = 0x87'C000;
constexpr std::uint32_t kResetVbr = 0x80'0000;

// Byte addresses of the serial registers (each register is a big-endian word).
constexpr std::uint32_t kScsrHigh = kScsr;
constexpr std::uint32_t kScsrLow = kScsr + 1;
constexpr std::uint32_t kScdrHigh = kScdr;
constexpr std::uint32_t kScdrLow = kScdr + 1;

bool isSerial(std::uint32_t address) { return address >= kScsrHigh && address <= kScdrLow; }

}  // namespace

Machine::Machine() : m_ram(kRamSize), m_onChip(kOnChipSize) { reset(); }

void Machine::reset() {
    m_regs = Registers{};
    m_regs.sr = kResetSr;
    m_regs.pc = kResetPc;
    m_regs.ss = kResetSs;
    m_regs.us = kResetUs;
    m_regs.vbr = kResetVbr;
    std::fill(m_ram.begin(), m_ram.end(), 0);
    std::fill(m_onChip.begin(), m_onChip.end(), 0);
    m_serialIn.clear();
    m_serialOut.clear();
    constexpr std::uint16_t kIllegal = 0x4AFC;
    for (unsigned v = 0; v < kVectorCount; ++v) {
        write32(kResetVbr + 4 * v, monitorEntry(v));
        write16(monitorEntry(v), kIllegal);
        write16(monitorEntry(v) + 2, kIllegal);
    }
    write32(kResetVbr, kResetSs);
    write32(kResetVbr + 4, kResetPc);
}

bool Machine::mapped(std::uint32_t address) {
    const std::uint32_t a = address & kAddressMask;
    return (a >= kRamBase && a < kRamBase + kRamSize) || (a >= kOnChipBase && a < kOnChipBase + kOnChipSize);
}

std::uint8_t* Machine::storage(std::uint32_t address) {
    const std::uint32_t a = address & kAddressMask;
    if (a >= kRamBase && a < kRamBase + kRamSize) return &m_ram[a - kRamBase];
    if (a >= kOnChipBase && a < kOnChipBase + kOnChipSize) return &m_onChip[a - kOnChipBase];
    return nullptr;
}

bool Machine::peek8(std::uint32_t address, std::uint8_t& value) const {
    const std::uint8_t* cell = const_cast<Machine*>(this)->storage(address);
    if (cell == nullptr) return false;
    value = *cell;
    return true;
}

bool Machine::poke8(std::uint32_t address, std::uint8_t value) {
    std::uint8_t* cell = storage(address);
    if (cell == nullptr) return false;
    *cell = value;
    return true;
}

bool Machine::send(std::uint8_t byte) {
    if (!outputRoom()) return false;
    m_serialOut.push_back(static_cast<char>(byte));
    return true;
}

bool Machine::receive(std::uint8_t byte) {
    if (m_serialIn.size() >= kInputCapacity) return false;
    m_serialIn.push_back(byte);
    return true;
}

std::uint16_t Machine::readScsr() const {
    return static_cast<std::uint16_t>((outputRoom() ? kScsrTdre | kScsrTc : 0) | (m_serialIn.empty() ? 0 : kScsrRdrf));
}

bool Machine::read8(std::uint32_t address, std::uint8_t& value) {
    const std::uint32_t a = address & kAddressMask;
    if (!isSerial(a)) return peek8(a, value);
    switch (a) {
    case kScsrHigh: value = static_cast<std::uint8_t>(readScsr() >> 8); break;
    case kScsrLow: value = static_cast<std::uint8_t>(readScsr()); break;
    case kScdrHigh: value = 0; break;  // the ninth data bit, unused with 8-bit frames
    default:                           // reading SCDR takes the waiting byte
        value = 0;
        if (!m_serialIn.empty()) {
            value = m_serialIn.front();
            m_serialIn.pop_front();
        }
        break;
    }
    return true;
}

bool Machine::write8(std::uint32_t address, std::uint8_t value) {
    const std::uint32_t a = address & kAddressMask;
    if (!isSerial(a)) return poke8(a, value);
    // A byte written while TDRE is clear is lost, as when a program does not wait for the line.
    if (a == kScdrLow) send(value);
    return true;  // status bits and the ninth data bit are not writable
}

// Word and long accesses are their bytes in address order. A bus error leaves memory and the
// serial interface untouched, so every byte is checked before any is accessed.
bool Machine::read16(std::uint32_t address, std::uint16_t& value) {
    if (!mapped(address) || !mapped(address + 1)) return false;
    std::uint8_t hi = 0, lo = 0;
    read8(address, hi);
    read8(address + 1, lo);
    value = static_cast<std::uint16_t>(hi << 8 | lo);
    return true;
}

bool Machine::read32(std::uint32_t address, std::uint32_t& value) {
    if (!mapped(address) || !mapped(address + 3))  // mapped regions are far larger than 4 bytes
        return false;
    std::uint16_t hi = 0, lo = 0;
    read16(address, hi);
    read16(address + 2, lo);
    value = static_cast<std::uint32_t>(hi) << 16 | lo;
    return true;
}

bool Machine::write16(std::uint32_t address, std::uint16_t value) {
    if (!mapped(address) || !mapped(address + 1)) return false;
    write8(address, static_cast<std::uint8_t>(value >> 8));
    write8(address + 1, static_cast<std::uint8_t>(value));
    return true;
}

bool Machine::write32(std::uint32_t address, std::uint32_t value) {
    if (!mapped(address) || !mapped(address + 3)) return false;
    write16(address, static_cast<std::uint16_t>(value >> 16));
    write16(address + 2, static_cast<std::uint16_t>(value));
    return true;
}

}  // namespace korvan::sim
