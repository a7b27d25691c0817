// The symbol table of one run: labels, equates, SET variables and register-list names.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "driver/big_allocator.h"

class ErreurAsm;

namespace qubrix {

struct SymbolRecord {
    static constexpr uint8_t kDefinedThisPass = 0x01;
    static constexpr uint8_t kSet = 0x02;
    static constexpr uint8_t kRegisterList = 0x04;

    int32_t value = 0;
    uint8_t flags = 0;
    std::string name;
};

// Names are compared exactly (the reader has upper-cased them). Records keep their address
// for the whole run.
class SymbolTable {
public:
    void clear();  // forget every symbol
    std::size_t size() const { return m_records.size(); }

    // Look-up (create false: a miss raises 0x301 and gives null) or insertion (create true:
    // a hit raises 0x303 and gives the existing record).
    SymbolRecord* findOrCreate(std::string_view name, bool create, ErreurAsm& err);
    SymbolRecord* find(std::string_view name) const;
    // pass 0: create with value; pass 1: confirm the value (0x405 when it differs) and mark
    // it defined in this pass.
    SymbolRecord* define(std::string_view name, int32_t value, int pass, ErreurAsm& err);

private:
    // Open addressing with linear probing over a power-of-two array at most half full: a
    // look-up is one hash, then usually one comparison of the stored hash and the name.
    struct Slot {
        uint64_t hash = 0;
        SymbolRecord* record = nullptr;
    };
    static uint64_t Hash(std::string_view s) noexcept;
    // The slot holding name, or the empty slot where it would go.
    Slot& slotFor(std::string_view name, uint64_t hash) const;
    void grow();

    mutable std::vector<Slot, BigAllocator<Slot>> m_slots;
    std::deque<SymbolRecord> m_records;  // stable addresses for the whole run
};

}  // namespace qubrix
