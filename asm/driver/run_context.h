// The state of one assembly run, kept in one place: options, pass flags, counters, the
// section manager, the symbol table and the output writers. The engine reads and changes it
// line by line; the driver creates it for a run and throws it away afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver/big_allocator.h"
#include "driver/listing.h"
#include "driver/sections.h"
#include "driver/srecord_writer.h"
#include "engine/operand.h"
#include "engine/symbols.h"

class ListErreur;

namespace qubrix {

enum class Family : uint8_t;

// What pass 1 learnt about an instruction line that pass 2 can use again instead of parsing
// the line a second time: the encoder's arguments, valid as long as the line starts at the
// same place and every symbol it read is defined again before it.
struct ParsedLine {
    static constexpr int kMaxSymbols = 2;
    Operand src, dst;
    const SymbolRecord* symbols[kMaxSymbols] = {};
    int32_t location = 0;  // where the line started in pass 1
    int section = 0;       // and in which section
    uint16_t skeleton = 0;
    uint8_t size = 0;
    uint8_t symbolCount = 0;
    Family family{};
    uint8_t labelOffset = 0;  // the label within the line text, length 0 for none
    uint8_t labelLength = 0;
};

// The symbols one line's expressions read in pass 1; unusable when a symbol was missing (a
// forward reference), a SET variable, or more than ParsedLine keeps.
struct SymbolReads {
    const SymbolRecord* symbols[ParsedLine::kMaxSymbols] = {};
    uint8_t count = 0;
    bool unusable = false;

    void note(const SymbolRecord* rec) {
        if (!rec || (rec->flags & SymbolRecord::kSet) || count == ParsedLine::kMaxSymbols)
            unusable = true;
        else
            symbols[count++] = rec;
    }
};

struct RunContext {
    // Options fixed at the start of a run.
    bool objectEnabled = true;  // always on
    bool longAbsolute = true;   // every expression operand becomes absolute long
    char srecType = '3';
    int32_t codeOrigin = 0x802000;
    int32_t varOrigin = 0x803000;
    std::string workDir;  // from SetRepertoire: empty or ending in '/'

    // Pass state.
    int pass = 0;          // 0 during pass 1, 1 during pass 2
    bool endFlag = false;  // set by END
    int32_t lineSequence = 0;
    int32_t errorCount = 0;
    int32_t warningCount = 0;
    uint32_t startAddress = 0;
    // Set when an emitted item had a size other than 1, 2 or 4 (an internal fault).
    bool internalFault = false;
    const char* internalFaultText = nullptr;  // what the fault was, when the engine says

    std::optional<SectionManager> sections;  // present during a run
    SymbolTable symbols;
    ListingWriter listing;
    SRecordWriter obj;
    std::FILE* message = nullptr;  // "message.txt"
    ListErreur* results = nullptr;

    // Reuse of pass 1's parse in pass 2, for a run whose lines come in the same order in both
    // passes, numbered by lineSequence (the assembly run turns it on).
    bool reuseLines = false;
    SymbolReads reads;  // of the line being assembled in pass 1
    // Per lineSequence: 1 + the index of its entry in parsed, 0 for none.
    std::vector<uint32_t, BigAllocator<uint32_t>> parsedIndex;
    std::vector<ParsedLine, BigAllocator<ParsedLine>> parsed;

    bool pass2() const { return pass == 1; }
    int32_t location() const { return sections->value(0); }
    void advance(int32_t n) { sections->advance(n); }
};

}  // namespace qubrix
