// The language engine's entry point: assembles one upper-cased source line in the current pass.
#pragma once

#include <cstdint>

class ErreurAsm;

namespace qubrix {

struct RunContext;

// line is NUL-terminated; the engine never reads past its terminator.
void AssembleLine(RunContext& ctx, const char* line, ErreurAsm& err);

// Sends a 1-, 2- or 4-byte value at the current location to the listing and the object
// writer (pass 2 only; the caller advances the location).
void EmitValue(RunContext& ctx, uint32_t value, int size);

}  // namespace qubrix
