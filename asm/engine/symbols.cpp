// Symbol table: one record per name for the whole run, looked up by hashing.
#include "engine/symbols.h"

#include "driver/diagnostics.h"

namespace qubrix {

std::size_t SymbolTable::Hash::operator()(std::string_view s) const noexcept {
    // FNV-1a: names are short upper-case words, this spreads them well and is cheap.
    std::size_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

void SymbolTable::clear() { m_map.clear(); }

SymbolRecord* SymbolTable::find(std::string_view name) const {
    auto it = m_map.find(name);
    return it == m_map.end() ? nullptr : it->second.get();
}

SymbolRecord* SymbolTable::findOrCreate(std::string_view name, bool create, ErreurAsm& err) {
    auto it = m_map.find(name);
    if (it != m_map.end()) {
        if (create) err.NewErreur(kErrMultipleDefinition);
        return it->second.get();
    }
    if (!create) {
        err.NewErreur(kErrUndefinedSymbol);
        return nullptr;
    }
    auto rec = std::make_unique<SymbolRecord>();
    rec->name.assign(name);
    SymbolRecord* raw = rec.get();
    m_map.emplace(rec->name, std::move(rec));
    return raw;
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
