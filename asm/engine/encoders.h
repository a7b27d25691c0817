// The encoder families: from a matched table variant and its operands to CPU32 machine words.
#pragma once

#include <cstdint>

#include "engine/instruction_table.h"
#include "engine/operand.h"

class ErreurAsm;

namespace qubrix {

struct RunContext;

// Builds the instruction at the current location: emits its words in pass 2 and advances the
// location by the same total in both passes.
void Encode(RunContext& ctx, Family family, uint16_t skeleton, int size, const Operand& src, const Operand& dst,
            ErreurAsm& err);

// Emits one opcode or data word (pass 2) and advances the location by 2 (both passes).
void EmitWord(RunContext& ctx, uint32_t word);

}  // namespace qubrix
