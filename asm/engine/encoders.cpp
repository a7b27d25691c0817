// Encoder families. Each ORs register numbers, effective-address fields, counts and
// displacements into the skeleton chosen by the table and appends the extension words.
//
// Effective address field, bits 5-0 of most opcode words:
//   5..3  2..0
//  [MODE][ REG ]
#include "engine/encoders.h"

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/engine.h"

namespace qubrix {

namespace {

// Field helpers: where a register number or an effective address lands in the opcode word.
constexpr uint16_t RegHigh(uint8_t reg) { return static_cast<uint16_t>((reg & 7) << 9); }  // bits 11-9
constexpr uint16_t RegLow(uint8_t reg) { return static_cast<uint16_t>(reg & 7); }          // bits 2-0
// MOVE's destination field is the effective address with mode and register swapped:
//  11..9  8..6
// [ REG ][MODE]
constexpr uint16_t MoveDestination(uint16_t ea) { return static_cast<uint16_t>(((ea & 0x38) << 3) | ((ea & 7) << 9)); }

bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

void Quick(RunContext& ctx, uint16_t skel, int size, const Operand& src, const Operand& dst, ErreurAsm& err) {
    //  15..12 11..9  8   7..6  5..0
    // [ 0101 ][data][op][size][ EA ]   data 8 is written as 0
    if (ctx.pass2() && !InRange(src.value, 1, 8)) err.NewErreur(kErrInvalidAddressingMode);
    EmitWord(ctx, skel | EaField(dst) | ((static_cast<uint32_t>(src.value) & 7) << 9));
    EmitExtension(ctx, dst, size, err);
}

void Moveq(RunContext& ctx, uint16_t skel, const Operand& src, const Operand& dst, ErreurAsm& err) {
    //  15..12 11..9  8  7..0
    // [ 0111 ][ Dn ][0][data]
    if (ctx.pass2() && !InRange(src.value, -128, 127)) err.NewErreur(kErrInvalidAddressingMode);
    EmitWord(ctx, skel | RegHigh(dst.reg) | (static_cast<uint32_t>(src.value) & 0xFF));
}

void Branch(RunContext& ctx, uint16_t skel, int size, const Operand& target, ErreurAsm& err) {
    //  15..12 11..8  7..0
    // [ 0110 ][cond][disp8]   disp8 0: a 16-bit displacement word follows
    int32_t disp =
        static_cast<int32_t>(static_cast<uint32_t>(target.value) - static_cast<uint32_t>(ctx.location()) - 2u);
    bool shortForm = size == kSizeS || (size != kSizeL && target.known && InRange(disp, -128, 127) && disp != 0);
    if (!ctx.pass2()) {
        ctx.advance(shortForm ? 2 : 4);
        return;
    }
    if (shortForm) {
        if (!InRange(disp, -128, 127) || disp == 0) err.NewErreur(kErrBranchRange);
        EmitWord(ctx, skel | (static_cast<uint32_t>(disp) & 0xFF));
    } else {
        if (!InRange(disp, -32768, 32767)) err.NewErreur(kErrBranchRange);
        EmitWord(ctx, skel);
        EmitWord(ctx, static_cast<uint32_t>(disp));
    }
}

void Dbcc(RunContext& ctx, uint16_t skel, const Operand& src, const Operand& target, ErreurAsm& err) {
    int32_t disp =
        static_cast<int32_t>(static_cast<uint32_t>(target.value) - static_cast<uint32_t>(ctx.location()) - 2u);
    if (ctx.pass2() && !InRange(disp, -32768, 32767)) err.NewErreur(kErrBranchRange);
    EmitWord(ctx, skel | RegLow(src.reg));
    EmitWord(ctx, static_cast<uint32_t>(disp));
}

void ShiftReg(RunContext& ctx, uint16_t skel, const Operand& src, const Operand& dst, ErreurAsm& err) {
    //  15..12 11..9  8   7..6  5  4..3  2..0
    // [ 1110 ][cnt ][dr][size][ir][type][ Dn ]   cnt: immediate 1-8 (8 as 0) or a register
    uint32_t count;
    if (src.kind == kImm) {
        if (ctx.pass2() && !InRange(src.value, 1, 8)) err.NewErreur(kErrShiftCount);
        count = static_cast<uint32_t>(src.value) & 7;
    } else {
        count = src.reg;
    }
    EmitWord(ctx, skel | RegLow(dst.reg) | (count << 9));
}

void Exg(RunContext& ctx, uint16_t skel, const Operand& src, const Operand& dst) {
    //  15..12 11..9  8  7..3   2..0
    // [ 1100 ][ Rx ][1][mode ][ Ry ]   mixed pair: Rx the data register, Ry the address register
    if (src.kind == dst.kind) {
        EmitWord(ctx, skel | RegLow(dst.reg) | RegHigh(src.reg));
    } else {
        const Operand& data = src.kind == kDn ? src : dst;
        const Operand& addr = src.kind == kDn ? dst : src;
        EmitWord(ctx, skel | RegHigh(data.reg) | RegLow(addr.reg));
    }
}

void Movep(RunContext& ctx, uint16_t skel, const Operand& src, const Operand& dst, ErreurAsm& err) {
    //  15..12 11..9  8..6   5..3  2..0
    // [ 0000 ][ Dn ][opmode][001][ An ]  then the 16-bit displacement
    bool toMemory = src.kind == kDn;
    const Operand& data = toMemory ? src : dst;
    const Operand& mem = toMemory ? dst : src;  // (An) counts as 0(An)
    int32_t disp = mem.kind == kAnInd ? 0 : mem.value;
    if (ctx.pass2() && !InRange(disp, -32768, 32767)) err.NewErreur(kErrDisplacementRange);
    EmitWord(ctx, skel | RegHigh(data.reg) | RegLow(mem.reg));
    EmitWord(ctx, static_cast<uint32_t>(disp));
}

uint16_t GeneralRegister(const Operand& op) {
    //  15  14..12
    // [A/D][ REG ]  in the extension words of MOVEC and MOVES
    return static_cast<uint16_t>((op.kind == kAn ? 0x8000 : 0) | ((op.reg & 7) << 12));
}

void Movec(RunContext& ctx, uint16_t skel, const Operand& src, const Operand& dst) {
    bool toGeneral = skel == 0x4E7A;
    const Operand& general = toGeneral ? dst : src;
    const Operand& control = toGeneral ? src : dst;
    uint16_t code = 0;
    switch (control.kind) {
    case kSFC: code = 0x000; break;
    case kDFC: code = 0x001; break;
    case kUSP: code = 0x800; break;
    case kVBR: code = 0x801; break;
    default: break;
    }
    EmitWord(ctx, skel);
    EmitWord(ctx, GeneralRegister(general) | code);
}

void Moves(RunContext& ctx, uint16_t skel, int size, const Operand& src, const Operand& dst, ErreurAsm& err) {
    bool toMemory = (src.kind & kDnOrAn) != 0;
    const Operand& reg = toMemory ? src : dst;
    const Operand& mem = toMemory ? dst : src;
    EmitWord(ctx, skel | EaField(mem));
    EmitWord(ctx, GeneralRegister(reg) | (toMemory ? 0x0800 : 0));
    EmitExtension(ctx, mem, size, err);
}

}  // namespace

void EmitWord(RunContext& ctx, uint32_t word) {
    if (ctx.pass2()) EmitValue(ctx, word & 0xFFFF, 2);
    ctx.advance(2);
}

void Encode(RunContext& ctx, Family family, uint16_t skel, int size, const Operand& src, const Operand& dst,
            ErreurAsm& err) {
    const bool pass2 = ctx.pass2();
    switch (family) {
    case Family::NoOperand: EmitWord(ctx, skel); return;
    case Family::SingleEa:
    case Family::Scc:
        EmitWord(ctx, skel | EaField(src));
        EmitExtension(ctx, src, family == Family::Scc ? 0 : size, err);
        return;
    case Family::EaToReg:
        //  15..12 11..9  8..6   5..0
        // [  op  ][ Rn ][opmode][ EA ]
        EmitWord(ctx, skel | EaField(src) | RegHigh(dst.reg));
        EmitExtension(ctx, src, size, err);
        return;
    case Family::RegToEa:
        EmitWord(ctx, skel | EaField(dst) | RegHigh(src.reg));
        EmitExtension(ctx, dst, size, err);
        return;
    case Family::Immediate: {
        // ADDI/SUBI of a known 1..8 become ADDQ/SUBQ of the same size.
        uint16_t op = skel >> 8;
        if ((op == 0x06 || op == 0x04) && src.known && InRange(src.value, 1, 8)) {
            uint16_t quick = static_cast<uint16_t>((op == 0x06 ? 0x5000 : 0x5100) | (skel & 0x00C0));
            Quick(ctx, quick, size, src, dst, err);
            return;
        }
        //  15..8   7..6  5..0
        // [  op  ][size][ EA ]  then the immediate data, then the destination's extension
        EmitWord(ctx, skel | EaField(dst));
        EmitExtension(ctx, src, size, err);
        EmitExtension(ctx, dst, size, err);
        return;
    }
    case Family::Quick: Quick(ctx, skel, size, src, dst, err); return;
    case Family::Move:
        // MOVE.L of a known -128..127 into Dn becomes MOVEQ.
        if (src.kind == kImm && src.known && size == kSizeL && dst.kind == kDn && InRange(src.value, -128, 127)) {
            Moveq(ctx, 0x7000, src, dst, err);
            return;
        }
        //  15..14 13..12 11..6            5..0
        // [  00  ][size ][destination EA ][source EA]
        EmitWord(ctx, skel | EaField(src) | MoveDestination(EaField(dst)));
        EmitExtension(ctx, src, size, err);
        EmitExtension(ctx, dst, size, err);
        return;
    case Family::Moveq: Moveq(ctx, skel, src, dst, err); return;
    case Family::Branch: Branch(ctx, skel, size, src, err); return;
    case Family::Dbcc: Dbcc(ctx, skel, src, dst, err); return;
    case Family::ShiftReg: ShiftReg(ctx, skel, src, dst, err); return;
    case Family::BitStatic:
        EmitWord(ctx, skel | EaField(dst));
        EmitWord(ctx, static_cast<uint32_t>(src.value) & 0xFF);
        EmitExtension(ctx, dst, 0, err);
        return;
    case Family::Trap:
        if (pass2 && !InRange(src.value, 0, 15)) err.NewErreur(kErrInvalidVector);
        EmitWord(ctx, skel | (static_cast<uint32_t>(src.value) & 0xF));
        return;
    case Family::ImmWord:
        if (pass2 && !InRange(src.value, -32768, 65535)) err.NewErreur(kErrImmediate16);
        EmitWord(ctx, skel);
        EmitWord(ctx, static_cast<uint32_t>(src.value) & 0xFFFF);
        return;
    case Family::ImmByte:
        if (pass2 && !InRange(src.value, 0, 255)) err.NewErreur(kErrImmediate8);
        EmitWord(ctx, skel);
        EmitWord(ctx, static_cast<uint32_t>(src.value) & 0xFF);
        return;
    case Family::Exg: Exg(ctx, skel, src, dst); return;
    case Family::TwoReg:
        //  15..12 11..9  8  7..6  5..4  3   2..0
        // [  op  ][ Rx ][1][size][ 00 ][R/M][ Ry ]   Rx destination, Ry source
        EmitWord(ctx, skel | RegHigh(dst.reg) | RegLow(src.reg));
        return;
    case Family::OneReg: EmitWord(ctx, skel | RegLow(src.reg)); return;
    case Family::MoveUsp: EmitWord(ctx, skel | RegLow(src.kind == kAn ? src.reg : dst.reg)); return;
    case Family::MoveFromSr:
        EmitWord(ctx, skel | EaField(dst));
        EmitExtension(ctx, dst, size, err);
        return;
    case Family::Link:
        if (pass2 && !InRange(dst.value, -32768, 32767)) err.NewErreur(kErrImmediate16);
        EmitWord(ctx, skel | RegLow(src.reg));
        EmitWord(ctx, static_cast<uint32_t>(dst.value) & 0xFFFF);
        return;
    case Family::Movep: Movep(ctx, skel, src, dst, err); return;
    case Family::Movec: Movec(ctx, skel, src, dst); return;
    case Family::Moves: Moves(ctx, skel, size, src, dst, err); return;
    }
}

}  // namespace qubrix
