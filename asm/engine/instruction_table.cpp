// The instruction table and mnemonic lookup.
#include "engine/instruction_table.h"

#include <cstring>

#include "driver/diagnostics.h"
#include "engine/directives.h"
#include "engine/expression.h"
#include "engine/operand.h"

namespace qubrix {

namespace {

constexpr uint8_t B = kSizeB, W = kSizeW, L = kSizeL, S = kSizeS;
constexpr uint8_t BWL = B | W | L, WL = W | L, NONE = 0;
using F = Family;

// One accepted operand combination. A row that lists one skeleton puts it in every slot, so an
// unsized or single-size instruction finds it whichever slot its size selects.
constexpr InstrVariant V(uint32_t src, uint32_t dst, uint8_t sizes, F fam, uint16_t b, uint16_t w, uint16_t l) {
    return {src, dst, sizes, fam, b, w, l};
}
constexpr InstrVariant V1(uint32_t src, uint32_t dst, uint8_t sizes, F fam, uint16_t skel) {
    return {src, dst, sizes, fam, skel, skel, skel};
}
constexpr InstrVariant VWL(uint32_t src, uint32_t dst, F fam, uint16_t w, uint16_t l) {
    return {src, dst, WL, fam, w, w, l};
}

// clang-format off
// Conditional families: the condition code cc goes into bits 11-8 of the skeleton.
template <int CC> constexpr InstrVariant kBcc[] = {V1(kTarget, 0, L | S, F::Branch, 0x6000 + CC * 0x100)};
template <int CC> constexpr InstrVariant kDBcc[] = {V1(kDn, kTarget, W, F::Dbcc, 0x50C8 + CC * 0x100)};
template <int CC> constexpr InstrVariant kScc[] = {V1(kDataAlterable, 0, B, F::Scc, 0x50C0 + CC * 0x100)};

//                         source            destination       sizes family          B       W       L
constexpr InstrVariant kAbcd[] = {
    V1(kDn,               kDn,              B,    F::TwoReg,      0xC100),
    V1(kPreDec,           kPreDec,          B,    F::TwoReg,      0xC108)};
constexpr InstrVariant kAdd[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0600, 0x0640, 0x0680),
    VWL(kImm,             kAn,                    F::EaToReg,             0xD0C0, 0xD1C0),
    V (kAll,              kDn,              BWL,  F::EaToReg,     0xD000, 0xD040, 0xD080),
    V (kDn,               kMemoryAlterable, BWL,  F::RegToEa,     0xD100, 0xD140, 0xD180),
    VWL(kAll,             kAn,                    F::EaToReg,             0xD0C0, 0xD1C0)};
constexpr InstrVariant kAdda[] = {
    VWL(kAll,             kAn,                    F::EaToReg,             0xD0C0, 0xD1C0)};
constexpr InstrVariant kAddi[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0600, 0x0640, 0x0680)};
constexpr InstrVariant kAddq[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Quick,       0x5000, 0x5040, 0x5080),
    VWL(kImm,             kAn,                    F::Quick,               0x5040, 0x5080)};
constexpr InstrVariant kAddx[] = {
    V (kDn,               kDn,              BWL,  F::TwoReg,      0xD100, 0xD140, 0xD180),
    V (kPreDec,           kPreDec,          BWL,  F::TwoReg,      0xD108, 0xD148, 0xD188)};
constexpr InstrVariant kAnd[] = {
    V (kData,             kDn,              BWL,  F::EaToReg,     0xC000, 0xC040, 0xC080),
    V (kDn,               kMemoryAlterable, BWL,  F::RegToEa,     0xC100, 0xC140, 0xC180),
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0200, 0x0240, 0x0280)};
constexpr InstrVariant kAndi[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0200, 0x0240, 0x0280),
    V1(kImm,              kCCR,             B,    F::ImmByte,     0x023C),
    V1(kImm,              kSR,              W,    F::ImmWord,     0x027C)};
constexpr InstrVariant kAsl[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE1C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE120, 0xE160, 0xE1A0),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE100, 0xE140, 0xE180)};
constexpr InstrVariant kAsr[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE0C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE020, 0xE060, 0xE0A0),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE000, 0xE040, 0xE080)};
constexpr InstrVariant kBchg[] = {
    V1(kDn,               kMemoryAlterable, B,    F::RegToEa,     0x0140),
    V1(kDn,               kDn,              L,    F::RegToEa,     0x0140),
    V1(kImm,              kMemoryAlterable, B,    F::BitStatic,   0x0840),
    V1(kImm,              kDn,              L,    F::BitStatic,   0x0840)};
constexpr InstrVariant kBclr[] = {
    V1(kDn,               kMemoryAlterable, B,    F::RegToEa,     0x0180),
    V1(kDn,               kDn,              L,    F::RegToEa,     0x0180),
    V1(kImm,              kMemoryAlterable, B,    F::BitStatic,   0x0880),
    V1(kImm,              kDn,              L,    F::BitStatic,   0x0880)};
constexpr InstrVariant kBreak[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4848)};
constexpr InstrVariant kBset[] = {
    V1(kDn,               kMemoryAlterable, B,    F::RegToEa,     0x01C0),
    V1(kDn,               kDn,              L,    F::RegToEa,     0x01C0),
    V1(kImm,              kMemoryAlterable, B,    F::BitStatic,   0x08C0),
    V1(kImm,              kDn,              L,    F::BitStatic,   0x08C0)};
constexpr InstrVariant kBtst[] = {
    V1(kDn,               kMemory,          B,    F::RegToEa,     0x0100),
    V1(kDn,               kDn,              L,    F::RegToEa,     0x0100),
    V1(kImm,              kMemory,          B,    F::BitStatic,   0x0800),
    V1(kImm,              kDn,              B,    F::BitStatic,   0x0800),
    V1(kImm,              kDn,              L,    F::BitStatic,   0x0800)};
constexpr InstrVariant kChk[] = {
    V1(kData,             kDn,              W,    F::EaToReg,     0x4180)};
constexpr InstrVariant kClr[] = {
    V (kDataAlterable,    0,                BWL,  F::SingleEa,    0x4200, 0x4240, 0x4280)};
constexpr InstrVariant kCmp[] = {
    V (kAll,              kDn,              BWL,  F::EaToReg,     0xB000, 0xB040, 0xB080),
    VWL(kAll,             kAn,                    F::EaToReg,             0xB0C0, 0xB1C0),
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0C00, 0x0C40, 0x0C80)};
constexpr InstrVariant kCmpa[] = {
    VWL(kAll,             kAn,                    F::EaToReg,             0xB0C0, 0xB1C0)};
constexpr InstrVariant kCmpi[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0C00, 0x0C40, 0x0C80)};
constexpr InstrVariant kCmpm[] = {
    V (kPostInc,          kPostInc,         BWL,  F::TwoReg,      0xB108, 0xB148, 0xB188)};
constexpr InstrVariant kDivs[] = {
    V1(kData,             kDn,              W,    F::EaToReg,     0x81C0)};
constexpr InstrVariant kDivu[] = {
    V1(kData,             kDn,              W,    F::EaToReg,     0x80C0)};
constexpr InstrVariant kEor[] = {
    V (kDn,               kDataAlterable,   BWL,  F::RegToEa,     0xB100, 0xB140, 0xB180),
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0A00, 0x0A40, 0x0A80)};
constexpr InstrVariant kEori[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0A00, 0x0A40, 0x0A80),
    V1(kImm,              kCCR,             B,    F::ImmByte,     0x0A3C),
    V1(kImm,              kSR,              W,    F::ImmWord,     0x0A7C)};
constexpr InstrVariant kExg[] = {
    V1(kDn,               kDn,              L,    F::Exg,         0xC140),
    V1(kAn,               kAn,              L,    F::Exg,         0xC148),
    V1(kDnOrAn,           kDnOrAn,          L,    F::Exg,         0xC188)};
constexpr InstrVariant kExt[] = {
    VWL(kDn,              0,                      F::OneReg,              0x4880, 0x48C0)};
constexpr InstrVariant kIllegal[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4AFC)};
constexpr InstrVariant kJmp[] = {
    V1(kControl,          0,                NONE, F::SingleEa,    0x4EC0)};
constexpr InstrVariant kJsr[] = {
    V1(kControl,          0,                NONE, F::SingleEa,    0x4E80)};
constexpr InstrVariant kLea[] = {
    V1(kControl,          kAn,              L,    F::EaToReg,     0x41C0)};
constexpr InstrVariant kLink[] = {
    V1(kAn,               kImm,             NONE, F::Link,        0x4E50)};
constexpr InstrVariant kLsl[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE3C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE128, 0xE168, 0xE1A8),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE108, 0xE148, 0xE188)};
constexpr InstrVariant kLsr[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE2C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE028, 0xE068, 0xE0A8),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE008, 0xE048, 0xE088)};
constexpr InstrVariant kMove[] = {
    V (kAll,              kDataAlterable,   BWL,  F::Move,        0x1000, 0x3000, 0x2000),
    VWL(kAll,             kAn,                    F::Move,                0x3000, 0x2000),
    V1(kData,             kCCR,             W,    F::SingleEa,    0x44C0),
    V1(kData,             kSR,              W,    F::SingleEa,    0x46C0),
    V1(kCCR,              kDataAlterable,   W,    F::MoveFromSr,  0x42C0),
    V1(kSR,               kDataAlterable,   W,    F::MoveFromSr,  0x40C0),
    V1(kAn,               kUSP,             L,    F::MoveUsp,     0x4E60),
    V1(kUSP,              kAn,              L,    F::MoveUsp,     0x4E68)};
constexpr InstrVariant kMovea[] = {
    VWL(kAll,             kAn,                    F::Move,                0x3000, 0x2000)};
constexpr InstrVariant kMovec[] = {
    V1(kControlRegister,  kDnOrAn,          L,    F::Movec,       0x4E7A),
    V1(kDnOrAn,           kControlRegister, L,    F::Movec,       0x4E7B)};
constexpr InstrVariant kMovep[] = {
    VWL(kDn,              kDisp,                  F::Movep,               0x0188, 0x01C8),
    VWL(kDisp,            kDn,                    F::Movep,               0x0108, 0x0148),
    VWL(kDn,              kAnInd,                 F::Movep,               0x0188, 0x01C8),
    VWL(kAnInd,           kDn,                    F::Movep,               0x0108, 0x0148)};
constexpr InstrVariant kMoveq[] = {
    V1(kImm,              kDn,              L,    F::Moveq,       0x7000)};
constexpr InstrVariant kMoves[] = {
    V (kDnOrAn,           kMemoryAlterable, BWL,  F::Moves,       0x0E00, 0x0E40, 0x0E80),
    V (kMemoryAlterable,  kDnOrAn,          BWL,  F::Moves,       0x0E00, 0x0E40, 0x0E80)};
constexpr InstrVariant kMuls[] = {
    V1(kData,             kDn,              W,    F::EaToReg,     0xC1C0)};
constexpr InstrVariant kMulu[] = {
    V1(kData,             kDn,              W,    F::EaToReg,     0xC0C0)};
constexpr InstrVariant kNbcd[] = {
    V1(kDataAlterable,    0,                B,    F::SingleEa,    0x4800)};
constexpr InstrVariant kNeg[] = {
    V (kDataAlterable,    0,                BWL,  F::SingleEa,    0x4400, 0x4440, 0x4480)};
constexpr InstrVariant kNegx[] = {
    V (kDataAlterable,    0,                BWL,  F::SingleEa,    0x4000, 0x4040, 0x4080)};
constexpr InstrVariant kNop[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4E71)};
constexpr InstrVariant kNot[] = {
    V (kDataAlterable,    0,                BWL,  F::SingleEa,    0x4600, 0x4640, 0x4680)};
constexpr InstrVariant kOr[] = {
    V (kData,             kDn,              BWL,  F::EaToReg,     0x8000, 0x8040, 0x8080),
    V (kDn,               kMemoryAlterable, BWL,  F::RegToEa,     0x8100, 0x8140, 0x8180),
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0000, 0x0040, 0x0080)};
constexpr InstrVariant kOri[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0000, 0x0040, 0x0080),
    V1(kImm,              kCCR,             B,    F::ImmByte,     0x003C),
    V1(kImm,              kSR,              W,    F::ImmWord,     0x007C)};
constexpr InstrVariant kPea[] = {
    V1(kControl,          0,                L,    F::SingleEa,    0x4840)};
constexpr InstrVariant kReset[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4E70)};
constexpr InstrVariant kRol[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE7C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE138, 0xE178, 0xE1B8),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE118, 0xE158, 0xE198)};
constexpr InstrVariant kRor[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE6C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE038, 0xE078, 0xE0B8),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE018, 0xE058, 0xE098)};
constexpr InstrVariant kRoxl[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE5C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE130, 0xE170, 0xE1B0),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE110, 0xE150, 0xE190)};
constexpr InstrVariant kRoxr[] = {
    V1(kMemoryAlterable,  0,                W,    F::SingleEa,    0xE4C0),
    V (kDn,               kDn,              BWL,  F::ShiftReg,    0xE030, 0xE070, 0xE0B0),
    V (kImm,              kDn,              BWL,  F::ShiftReg,    0xE010, 0xE050, 0xE090)};
constexpr InstrVariant kRtd[] = {
    V1(kImm,              0,                NONE, F::ImmWord,     0x4E74)};
constexpr InstrVariant kRte[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4E73)};
constexpr InstrVariant kRtr[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4E77)};
constexpr InstrVariant kRts[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4E75)};
constexpr InstrVariant kSbcd[] = {
    V1(kDn,               kDn,              B,    F::TwoReg,      0x8100),
    V1(kPreDec,           kPreDec,          B,    F::TwoReg,      0x8108)};
constexpr InstrVariant kStop[] = {
    V1(kImm,              0,                NONE, F::ImmWord,     0x4E72)};
constexpr InstrVariant kSub[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0400, 0x0440, 0x0480),
    VWL(kImm,             kAn,                    F::Quick,               0x5140, 0x5180),
    V (kAll,              kDn,              BWL,  F::EaToReg,     0x9000, 0x9040, 0x9080),
    V (kDn,               kMemoryAlterable, BWL,  F::RegToEa,     0x9100, 0x9140, 0x9180),
    VWL(kAll,             kAn,                    F::EaToReg,             0x90C0, 0x91C0)};
constexpr InstrVariant kSuba[] = {
    VWL(kAll,             kAn,                    F::EaToReg,             0x90C0, 0x91C0)};
constexpr InstrVariant kSubi[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Immediate,   0x0400, 0x0440, 0x0480)};
constexpr InstrVariant kSubq[] = {
    V (kImm,              kDataAlterable,   BWL,  F::Quick,       0x5100, 0x5140, 0x5180),
    VWL(kImm,             kAn,                    F::Quick,               0x5140, 0x5180)};
constexpr InstrVariant kSubx[] = {
    V (kDn,               kDn,              BWL,  F::TwoReg,      0x9100, 0x9140, 0x9180),
    V (kPreDec,           kPreDec,          BWL,  F::TwoReg,      0x9108, 0x9148, 0x9188)};
constexpr InstrVariant kSwap[] = {
    V1(kDn,               0,                W,    F::OneReg,      0x4840)};
constexpr InstrVariant kTas[] = {
    V1(kDataAlterable,    0,                B,    F::SingleEa,    0x4AC0)};
constexpr InstrVariant kTrap[] = {
    V1(kImm,              0,                NONE, F::Trap,        0x4E40)};
constexpr InstrVariant kTrapv[] = {
    V1(0,                 0,                NONE, F::NoOperand,   0x4E76)};
constexpr InstrVariant kTst[] = {
    V (kDataAlterable,    0,                BWL,  F::SingleEa,    0x4A00, 0x4A40, 0x4A80)};
constexpr InstrVariant kUnlk[] = {
    V1(kAn,               0,                NONE, F::OneReg,      0x4E58)};
// clang-format on

template <std::size_t N> constexpr InstrEntry I(const char* m, const InstrVariant (&v)[N]) {
    return {m, v, static_cast<uint8_t>(N), 1, nullptr};
}
constexpr InstrEntry D(const char* m, Handler h) { return {m, nullptr, 0, 0, h}; }

// Sorted in ascending byte order of the mnemonic.
// Aliases share a variant list (BHS/BCC, BLO/BCS, DBHS/DBCC, DBLO/DBCS, SHS/SCC, SLO/SCS).
// clang-format off
constexpr InstrEntry kTable[] = {
    I("ABCD", kAbcd),       I("ADD", kAdd),         I("ADDA", kAdda),       I("ADDI", kAddi),
    I("ADDQ", kAddq),       I("ADDX", kAddx),       I("AND", kAnd),         I("ANDI", kAndi),
    I("ASL", kAsl),         I("ASR", kAsr),         I("BCC", kBcc<4>),      I("BCHG", kBchg),
    I("BCLR", kBclr),       I("BCS", kBcc<5>),      I("BEQ", kBcc<7>),      I("BGE", kBcc<0xC>),
    I("BGT", kBcc<0xE>),    I("BHI", kBcc<2>),      I("BHS", kBcc<4>),      I("BLE", kBcc<0xF>),
    I("BLO", kBcc<5>),      I("BLS", kBcc<3>),      I("BLT", kBcc<0xD>),    I("BMI", kBcc<0xB>),
    I("BNE", kBcc<6>),      I("BPL", kBcc<0xA>),    I("BRA", kBcc<0>),      I("BREAK", kBreak),
    I("BSET", kBset),       I("BSR", kBcc<1>),      I("BTST", kBtst),       I("BVC", kBcc<8>),
    I("BVS", kBcc<9>),      I("CHK", kChk),         I("CLR", kClr),         I("CMP", kCmp),
    I("CMPA", kCmpa),       I("CMPI", kCmpi),       I("CMPM", kCmpm),       I("DBCC", kDBcc<4>),
    I("DBCS", kDBcc<5>),    I("DBEQ", kDBcc<7>),    I("DBF", kDBcc<1>),     I("DBGE", kDBcc<0xC>),
    I("DBGT", kDBcc<0xE>),  I("DBHI", kDBcc<2>),    I("DBHS", kDBcc<4>),    I("DBLE", kDBcc<0xF>),
    I("DBLO", kDBcc<5>),    I("DBLS", kDBcc<3>),    I("DBLT", kDBcc<0xD>),  I("DBMI", kDBcc<0xB>),
    I("DBNE", kDBcc<6>),    I("DBPL", kDBcc<0xA>),  I("DBRA", kDBcc<1>),    I("DBT", kDBcc<0>),
    I("DBVC", kDBcc<8>),    I("DBVS", kDBcc<9>),    D("DC", DirDc),         D("DCB", DirDcb),
    I("DIVS", kDivs),       I("DIVU", kDivu),       D("DS", DirDs),         D("END", DirEnd),
    I("EOR", kEor),         I("EORI", kEori),       D("EQU", DirEqu),       I("EXG", kExg),
    I("EXT", kExt),         I("ILLEGAL", kIllegal), I("JMP", kJmp),         I("JSR", kJsr),
    I("LEA", kLea),         I("LINK", kLink),       D("LIST", DirList),     I("LSL", kLsl),
    I("LSR", kLsr),         I("MOVE", kMove),       I("MOVEA", kMovea),     I("MOVEC", kMovec),
    D("MOVEM", AsmMovem),   I("MOVEP", kMovep),     I("MOVEQ", kMoveq),     I("MOVES", kMoves),
    I("MULS", kMuls),       I("MULU", kMulu),       I("NBCD", kNbcd),       I("NEG", kNeg),
    I("NEGX", kNegx),       D("NOLIST", DirNolist), I("NOP", kNop),         I("NOT", kNot),
    I("OR", kOr),           D("ORG", DirOrg),       I("ORI", kOri),         I("PEA", kPea),
    D("REG", DirReg),       I("RESET", kReset),     I("ROL", kRol),         I("ROR", kRor),
    I("ROXL", kRoxl),       I("ROXR", kRoxr),       I("RTD", kRtd),         I("RTE", kRte),
    I("RTR", kRtr),         I("RTS", kRts),         I("SBCD", kSbcd),       I("SCC", kScc<4>),
    I("SCS", kScc<5>),      D("SECT", DirSection),  D("SECTION", DirSection), I("SEQ", kScc<7>),
    D("SET", DirSet),       I("SF", kScc<1>),       I("SGE", kScc<0xC>),    I("SGT", kScc<0xE>),
    I("SHI", kScc<2>),      I("SHS", kScc<4>),      I("SLE", kScc<0xF>),    I("SLO", kScc<5>),
    I("SLS", kScc<3>),      I("SLT", kScc<0xD>),    I("SMI", kScc<0xB>),    I("SNE", kScc<6>),
    I("SPL", kScc<0xA>),    I("ST", kScc<0>),       I("STOP", kStop),       I("SUB", kSub),
    I("SUBA", kSuba),       I("SUBI", kSubi),       I("SUBQ", kSubq),       I("SUBX", kSubx),
    I("SVC", kScc<8>),      I("SVS", kScc<9>),      I("SWAP", kSwap),       I("TAS", kTas),
    I("TRAP", kTrap),       I("TRAPV", kTrapv),     I("TST", kTst),         D("TTL", DirTtl),
    I("UNLK", kUnlk),       D("XDEF", DirXdef),     D("XREF", DirXref),
};
// clang-format on

constexpr std::size_t kTableSize = sizeof(kTable) / sizeof(kTable[0]);
static_assert(kTableSize == 143);

constexpr bool Sorted() {
    for (std::size_t i = 1; i < kTableSize; ++i)
        if (std::string_view(kTable[i - 1].mnemonic) >= std::string_view(kTable[i].mnemonic)) return false;
    return true;
}
static_assert(Sorted(), "the binary search needs the table in ascending order");

constexpr std::size_t CountDirectives() {
    std::size_t n = 0;
    for (const InstrEntry& e : kTable) n += e.parseOperands == 0;
    return n;
}
static_assert(CountDirectives() == 16);

constexpr int kMnemonicMax = 7;

// A mnemonic of up to seven bytes packed big-endian into an integer, zero bytes after its end:
// integers compare like the names' bytes, so the lookup compares one word per step.
constexpr uint64_t MnemonicKey(const char* name) {
    uint64_t key = 0;
    int i = 0;
    for (; i < kMnemonicMax && name[i] != '\0'; ++i) key = (key << 8) | static_cast<unsigned char>(name[i]);
    return key << (8 * (kMnemonicMax - i));
}

struct KeyTable {
    uint64_t keys[kTableSize];
};
constexpr KeyTable MakeKeys() {
    KeyTable t{};
    for (std::size_t i = 0; i < kTableSize; ++i) t.keys[i] = MnemonicKey(kTable[i].mnemonic);
    return t;
}
constexpr KeyTable kKeys = MakeKeys();

constexpr bool KeysSorted() {
    for (std::size_t i = 1; i < kTableSize; ++i)
        if (kKeys.keys[i - 1] >= kKeys.keys[i]) return false;
    return true;
}
static_assert(KeysSorted(), "the keys keep the table's order");

// The lookup proper: a collision-free hash of the key (multiply, keep the top bits) into a
// table of slots holding the entry's index plus one; the multiplier is found at compile time.
constexpr int kSlotBits = 12;
struct SlotTable {
    uint64_t multiplier = 0;
    uint8_t slot[std::size_t{1} << kSlotBits] = {};
};
constexpr std::size_t Slot(uint64_t key, uint64_t multiplier) {
    return static_cast<std::size_t>((key * multiplier) >> (64 - kSlotBits));
}
constexpr SlotTable MakeSlots() {
    uint64_t m = 0x9E3779B97F4A7C15u;
    for (;;) {
        SlotTable t{};
        t.multiplier = m;
        bool clash = false;
        for (std::size_t i = 0; i < kTableSize && !clash; ++i) {
            uint8_t& s = t.slot[Slot(kKeys.keys[i], m)];
            clash = s != 0;
            s = static_cast<uint8_t>(i + 1);
        }
        if (!clash) return t;
        m += 0x2545F4914F6CDD1Eu;  // the next odd candidate
    }
}
constexpr SlotTable kSlots = MakeSlots();
static_assert(kTableSize < 255);

}  // namespace

std::span<const InstrEntry> InstructionTable() { return {kTable, kTableSize}; }

bool IsDirective(const InstrEntry& entry) { return entry.parseOperands == 0 && entry.handler != AsmMovem; }

bool IgnoresOperandText(const InstrEntry& entry) {
    // The dispatcher stops at a first variant without operands before it looks at the text.
    if (entry.parseOperands) return entry.variantCount > 0 && entry.variants[0].src == 0;
    return entry.handler == DirEnd || entry.handler == DirList || entry.handler == DirNolist || entry.handler == DirTtl;
}

const char* FindMnemonic(const char* p, const InstrEntry*& entry, int& size, ErreurAsm& err) {
    char name[kMnemonicMax + 1];
    int n = 0;
    name[n++] = *p++;  // the first character whatever it is
    while (IsLetter(*p)) {
        if (n < kMnemonicMax) name[n++] = *p;
        ++p;
    }
    name[n] = '\0';

    size = kSizeNone;
    if (*p == '.') {
        char letter = p[1];
        if (letter == '\0' || !(IsBlank(p[2]) || p[2] == '\0')) {
            err.NewErreur(kErrSyntax);
            return nullptr;
        }
        switch (letter) {
        case 'B': size = kSizeB; break;
        case 'W': size = kSizeW; break;
        case 'L': size = kSizeL; break;
        case 'S': size = kSizeS; break;
        default: err.NewErreur(kErrInvalidSize); break;
        }
        p += 2;
    } else if (!(IsBlank(*p) || *p == '\0')) {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }

    const uint64_t key = MnemonicKey(name);
    if (const int index = kSlots.slot[Slot(key, kSlots.multiplier)]; index != 0 && kKeys.keys[index - 1] == key) {
        entry = &kTable[index - 1];
        return p;
    }
    err.NewErreur(kErrBadInstruction);
    return nullptr;
}

uint16_t SelectSkeleton(int size, const InstrVariant& v, ErreurAsm& err) {
    if (size != 0 && (size & v.sizes) == 0) {
        err.NewErreur(kErrInvalidSize);
        return v.wordSkeleton;
    }
    if (size == kSizeB || size == kSizeS) return v.byteSkeleton;
    if (size == kSizeNone || size == kSizeW) return v.wordSkeleton;
    return v.longSkeleton;
}

}  // namespace qubrix
