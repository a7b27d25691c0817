// The mnemonic table: 143 entries in ascending byte order, each with the operand combinations
// it accepts and the encoder family and opcode skeletons of each.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

class ErreurAsm;

namespace qubrix {

struct RunContext;

// Size codes as written after the mnemonic.
enum SizeCode : uint8_t { kSizeNone = 0, kSizeB = 1, kSizeW = 2, kSizeL = 4, kSizeS = 8 };

// clang-format off
enum class Family : uint8_t {
    NoOperand, SingleEa, EaToReg, RegToEa, Immediate, Quick, Move, Moveq, Branch, Dbcc, Scc,
    ShiftReg, BitStatic, Trap, ImmWord, ImmByte, Exg, TwoReg, OneReg, MoveUsp, MoveFromSr, Link,
    Movep, Movec, Moves,
};
// clang-format on

struct InstrVariant {
    uint32_t src;   // operand kinds accepted as source; 0: no operand
    uint32_t dst;   // kinds accepted as destination; 0: one operand only
    uint8_t sizes;  // allowed size codes; 0: no suffix allowed
    Family family;
    uint16_t byteSkeleton, wordSkeleton, longSkeleton;
};

// Directive-style handlers get the raw operand text and do their own parsing.
using Handler = void (*)(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err);

struct InstrEntry {
    const char* mnemonic;
    const InstrVariant* variants;
    uint8_t variantCount;
    uint8_t parseOperands;  // 1: the dispatcher parses operands; 0: the handler does
    Handler handler;
};

std::span<const InstrEntry> InstructionTable();

// Whether the entry is a directive rather than a CPU instruction (MOVEM parses its own
// operands but is an instruction).
bool IsDirective(const InstrEntry& entry);

// Whether the line dispatcher and the entry's handler read nothing after the mnemonic, so that
// any text there is a comment: the instructions without operands (NOP, RTS ...) and the
// directives END, LIST, NOLIST and TTL.
bool IgnoresOperandText(const InstrEntry& entry);

// Finds the mnemonic (and its size suffix) at text. Returns the position after them, or null
// (0x401 or 0x402 raised).
const char* FindMnemonic(const char* text, const InstrEntry*& entry, int& size, ErreurAsm& err);

// The skeleton for the size code; a size the variant does not allow raises 0x201 and gives the
// word skeleton.
uint16_t SelectSkeleton(int size, const InstrVariant& variant, ErreurAsm& err);

}  // namespace qubrix
