// The state of one assembly run, kept in one place: options, pass flags, counters, the
// section manager, the symbol table and the output writers. The engine reads and changes it
// line by line; the driver creates it for a run and throws it away afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "driver/listing.h"
#include "driver/sections.h"
#include "driver/srecord_writer.h"
#include "engine/symbols.h"

class ListErreur;

namespace qubrix {

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

    bool pass2() const { return pass == 1; }
    int32_t location() const { return sections->value(0); }
    void advance(int32_t n) { sections->advance(n); }
};

}  // namespace qubrix
