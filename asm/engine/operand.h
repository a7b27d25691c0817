// Operands: the addressing modes and special registers of the CPU32, their mode/register
// field and extension words, and register lists.
#pragma once

#include <cstdint>

class ErreurAsm;

namespace qubrix {

struct RunContext;

// One bit per operand kind; the instruction table's masks are unions of these.
enum OperandKind : uint32_t {
    kDn = 0x00001,        // Dn
    kAn = 0x00002,        // An, SP
    kAnInd = 0x00004,     // (An)
    kPostInc = 0x00008,   // (An)+
    kPreDec = 0x00010,    // -(An)
    kDisp = 0x00020,      // d(An)
    kIndex = 0x00040,     // d(An,Xn)
    kAbsShort = 0x00080,  // expression, 16-bit form
    kAbsLong = 0x00100,   // expression, 32-bit form
    kPcDisp = 0x00200,    // d(PC)
    kPcIndex = 0x00400,   // d(PC,Xn)
    kImm = 0x00800,       // #expression
    kSR = 0x01000,
    kCCR = 0x02000,
    kUSP = 0x04000,
    kSFC = 0x08000,
    kDFC = 0x10000,
    kVBR = 0x20000,
};

// Composite classes used by the instruction table.
constexpr uint32_t kAll = 0xFFF;            // every general mode, immediate included
constexpr uint32_t kData = 0xFFD;           // all but An
constexpr uint32_t kDataAlterable = 0x1FD;  // Dn, (An), (An)+, -(An), d(An), d(An,Xn), abs
constexpr uint32_t kMemoryAlterable = 0x1FC;
constexpr uint32_t kMemory = 0xFFC;             // all but Dn and An
constexpr uint32_t kControl = 0x7E4;            // (An), d(An), d(An,Xn), abs, d(PC), d(PC,Xn)
constexpr uint32_t kTarget = 0x180;             // a branch target: absolute short or long
constexpr uint32_t kControlRegister = 0x3C000;  // USP, SFC, DFC, VBR
constexpr uint32_t kDnOrAn = 0x003;

static_assert(kAll == (kDn | kAn | kAnInd | kPostInc | kPreDec | kDisp | kIndex | kAbsShort | kAbsLong | kPcDisp |
                       kPcIndex | kImm));
static_assert(kData == (kAll & ~kAn));
static_assert(kDataAlterable == (kDn | kAnInd | kPostInc | kPreDec | kDisp | kIndex | kAbsShort | kAbsLong));
static_assert(kMemoryAlterable == (kDataAlterable & ~kDn));
static_assert(kMemory == (kAll & ~(kDn | kAn)));
static_assert(kControl == (kAnInd | kDisp | kIndex | kAbsShort | kAbsLong | kPcDisp | kPcIndex));
static_assert(kControlRegister == (kUSP | kSFC | kDFC | kVBR));

struct Operand {
    uint32_t kind = 0;
    int32_t value = 0;      // immediate, displacement, address, or target of a PC form
    uint8_t reg = 0;        // An or Dn number
    uint8_t index = 0;      // index register: D0-D7 = 0-7, A0-A7 = 8-15
    uint8_t indexSize = 2;  // 2 (.W) or 4 (.L)
    bool known = true;
};

// Returns the position after the operand, or null after a syntax error or when the error
// code rose above 0x400.
const char* ParseOperand(RunContext& ctx, const char* text, Operand& op, ErreurAsm& err);

// The 6-bit mode/register field: mode in bits 5-3, register in bits 2-0.
uint16_t EaField(const Operand& op);

// Emits the operand's extension words (pass 2) and advances the location (both passes).
void EmitExtension(RunContext& ctx, const Operand& op, int size, ErreurAsm& err);

// Register lists: D0-D3/A0-A2 or the name of a REG symbol. Bit n = Dn, bit 8+n = An.
const char* ParseRegisterList(RunContext& ctx, const char* text, uint16_t& mask, ErreurAsm& err);

}  // namespace qubrix
