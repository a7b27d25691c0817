// Symbol table: one record per name for the whole run, looked up by hashing.
#include "engine/symbols.h"

#include "driver/diagnostics.h"

namespace qubrix {

uint64_t SymbolTable::Hash(std::string_view s) noexcept {
    // FNV-1a: names are short upper-case words, this spreads them well and is cheap.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

void SymbolTable::clear() {
    m_slots.clear();
    m_records.clear();
}

SymbolTable::Slot& SymbolTable::slotFor(std::string_view name, uint64_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (!slot.record || (slot.hash == hash && slot.record->name == name)) return slot;
    }
}

void SymbolTable::grow() {
    auto old = std::move(m_slots);
    m_slots.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    for (const Slot& slot : old)
        if (slot.record) slotFor(slot.record->name, slot.hash) = slot;
}

SymbolRecord* SymbolTable::find(std::string_view name) const {
    if (m_slots.empty()) return nullptr;
    return slotFor(name, Hash(name)).record;
}

SymbolRecord* SymbolTable::findOrCreate(std::string_view name, bool create, ErreurAsm& err) {
    if (SymbolRecord* rec = find(name)) {
        if (create) err.NewErreur(kErrMultipleDefinition);
        return rec;
    }
    if (!create) {
        err.NewErreur(kErrUndefinedSymbol);
        return nullptr;
    }
    if ((m_records.size() + 1) * 2 > m_slots.size()) grow();
    SymbolRecord& rec = m_records.emplace_back();
    rec.name.assign(name);
    const uint64_t hash = Hash(name);
    slotFor(name, hash) = Slot{hash, &rec};
    return &rec;
}

SymbolRecord* SymbolTable::define(std::string_view name, int32_t value, int pass, ErreurAsm& err) {
    if (pass == 0) {
        SymbolRecord* rec = findOrCreate(name, true, err);
        if (err.LitCode() < 0x300) {
            rec->value = value;
            rec->flags = 0;
        }
        return rec;
    }
    SymbolRecord* rec = findOrCreate(name, false, err);
    if (rec && err.LitCode() < 0x300) {
        if (rec->value != value) err.NewErreur(kErrPhase);
        rec->flags |= SymbolRecord::kDefinedThisPass;
    }
    return rec;
}

}  // namespace qubrix
