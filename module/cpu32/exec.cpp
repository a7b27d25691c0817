// The CPU32 instruction handlers and the 65,536-entry decode table built from their rows.
#include "cpu32/machine.h"

#include <utility>
#include <vector>

namespace cpu32 {
namespace {

using flags::mask;
using flags::msb;
using flags::signExtend;

// ---- opcode fields
constexpr unsigned eaMode(uint16_t op) { return (op >> 3) & 7; }
constexpr unsigned eaReg(uint16_t op) { return op & 7; }
constexpr unsigned regHi(uint16_t op) { return (op >> 9) & 7; }

// Handlers of the common instructions are instantiated per addressing mode when the decode
// table is built, so that resolving the operand is straight-line code: Mode is the mode field
// (0-7) the handler serves, or -1 for a handler that reads it from the opcode.
template <int Mode> constexpr unsigned modeOf(uint16_t op) { return Mode >= 0 ? unsigned(Mode) : eaMode(op); }
// The destination mode of MOVE (bits 8-6).
template <int Mode> constexpr unsigned dstModeOf(uint16_t op) { return Mode >= 0 ? unsigned(Mode) : (op >> 6) & 7; }

// ---- effective address classes, one bit per mode, for the decode table
enum EaBit : uint16_t {
    kDn = 1 << 0,
    kAn = 1 << 1,
    kInd = 1 << 2,
    kPost = 1 << 3,
    kPre = 1 << 4,
    kDisp = 1 << 5,
    kIdx = 1 << 6,
    kAbsW = 1 << 7,
    kAbsL = 1 << 8,
    kPcDisp = 1 << 9,
    kPcIdx = 1 << 10,
    kImm = 1 << 11,
};
// All: every mode. Data: all but An. Memory: all but Dn, An.
// Control: (An), (d16,An), (d8,An,Xn), abs.W, abs.L, (d16,PC), (d8,PC,Xn).
// Alterable: Dn, An and the memory modes without PC-relative and immediate.
constexpr uint16_t kAll = 0x0FFF;
constexpr uint16_t kData = kAll & ~kAn;
constexpr uint16_t kMemory = kData & ~kDn;
constexpr uint16_t kControl = kInd | kDisp | kIdx | kAbsW | kAbsL | kPcDisp | kPcIdx;
constexpr uint16_t kAlterable = kDn | kAn | kInd | kPost | kPre | kDisp | kIdx | kAbsW | kAbsL;
constexpr uint16_t kDataAlt = kAlterable & ~kAn;
constexpr uint16_t kMemAlt = kDataAlt & ~kDn;
constexpr uint16_t kCtrlAlt = kControl & kAlterable;
constexpr uint16_t kDataNoImm = kData & ~kImm;
static_assert(kData == 0x0FFD && kMemory == 0x0FFC && kControl == 0x07E4);
static_assert(kDataAlt == 0x01FD && kMemAlt == 0x01FC && kCtrlAlt == 0x01E4);

constexpr uint16_t eaBit(unsigned mode, unsigned reg) {
    if (mode < 7) return uint16_t(1u << mode);
    return reg <= 4 ? uint16_t(1u << (7 + reg)) : 0;
}

// ---- data movement

template <int S, int Src = -1, int Dst = -1> void opMove(Machine& m, uint16_t op) {
    const uint32_t v = m.readEa<S>(modeOf<Src>(op), eaReg(op));
    const Operand dst = m.resolve<S>(dstModeOf<Dst>(op), regHi(op));
    m.put<S>(dst, v);
    m.setLogicFlags<S>(v);
}

// Specialised common forms: register to register and register from/to (An), (An)+, -(An).
template <int S> void opMoveDD(Machine& m, uint16_t op) {
    const uint32_t v = m.r.d[eaReg(op)] & mask<S>();
    m.setD<S>(regHi(op), v);
    m.setLogicFlags<S>(v);
}

template <int S, int Mode = -1> void opMoveA(Machine& m, uint16_t op) {
    const uint32_t v = m.readEa<S>(modeOf<Mode>(op), eaReg(op));
    m.r.a[regHi(op)] = uint32_t(signExtend<S>(v));
}

void opMoveq(Machine& m, uint16_t op) {
    const uint32_t v = uint32_t(int32_t(int8_t(op & 0xFF)));
    m.r.d[regHi(op)] = v;
    m.setLogicFlags<4>(v);
}

void opLea(Machine& m, uint16_t op) { m.r.a[regHi(op)] = m.controlAddress(eaMode(op), eaReg(op)); }

void opPea(Machine& m, uint16_t op) {
    const uint32_t a = m.controlAddress(eaMode(op), eaReg(op));
    m.push32(a);
}

template <int S, int Mode = -1> void opClr(Machine& m, uint16_t op) {
    const Operand o = m.resolve<S>(modeOf<Mode>(op), eaReg(op));
    m.put<S>(o, 0);
    m.setLogicFlags<S>(0);
}

void opExg(Machine& m, uint16_t op) {
    const unsigned x = regHi(op), y = eaReg(op);
    switch ((op >> 3) & 0x1F) {
    case 0x08: std::swap(m.r.d[x], m.r.d[y]); break;
    case 0x09: std::swap(m.r.a[x], m.r.a[y]); break;
    default: std::swap(m.r.d[x], m.r.a[y]); break;
    }
}

void opSwap(Machine& m, uint16_t op) {
    uint32_t& d = m.r.d[eaReg(op)];
    d = (d >> 16) | (d << 16);
    m.setLogicFlags<4>(d);
}

void opExtW(Machine& m, uint16_t op) {
    const unsigned n = eaReg(op);
    const uint32_t v = uint32_t(int32_t(int8_t(m.r.d[n]))) & 0xFFFF;
    m.setD<2>(n, v);
    m.setLogicFlags<2>(v);
}

void opExtL(Machine& m, uint16_t op) {
    const unsigned n = eaReg(op);
    m.r.d[n] = uint32_t(int32_t(int16_t(m.r.d[n])));
    m.setLogicFlags<4>(m.r.d[n]);
}

void opExtbL(Machine& m, uint16_t op) {
    const unsigned n = eaReg(op);
    m.r.d[n] = uint32_t(int32_t(int8_t(m.r.d[n])));
    m.setLogicFlags<4>(m.r.d[n]);
}

// MOVEM: the mask's bit 0 is D0 .. bit 15 A7, reversed for -(An).
template <int S> void opMovemToMem(Machine& m, uint16_t op) {
    const uint16_t list = m.fetch16();
    const unsigned mode = eaMode(op), reg = eaReg(op);
    if (mode == 4) {
        uint32_t addr = m.r.a[reg];
        const uint32_t initial = addr;
        for (int i = 0; i < 16; ++i) {
            if (!(list & (1u << i))) continue;
            const unsigned n = 15 - unsigned(i);
            addr -= S;
            // The address register itself is stored as its initial value minus the size.
            uint32_t v = n < 8 ? m.r.d[n] : m.r.a[n - 8];
            if (n == 8 + reg) v = initial - S;
            m.write<S>(addr, v);
        }
        m.r.a[reg] = addr;
        return;
    }
    uint32_t addr = m.controlAddress(mode, reg);
    for (unsigned n = 0; n < 16; ++n) {
        if (!(list & (1u << n))) continue;
        m.write<S>(addr, n < 8 ? m.r.d[n] : m.r.a[n - 8]);
        addr += S;
    }
}

template <int S> void opMovemToRegs(Machine& m, uint16_t op) {
    const uint16_t list = m.fetch16();
    const unsigned mode = eaMode(op), reg = eaReg(op);
    uint32_t addr = mode == 3 ? m.r.a[reg] : m.controlAddress(mode, reg);
    const bool program = mode == 7 && (reg == 2 || reg == 3);
    for (unsigned n = 0; n < 16; ++n) {
        if (!(list & (1u << n))) continue;
        const uint32_t raw = program ? m.readProgram<S>(addr) : m.read<S>(addr);
        const uint32_t v = uint32_t(signExtend<S>(raw));
        if (n < 8)
            m.r.d[n] = v;
        else
            m.r.a[n - 8] = v;
        addr += S;
    }
    if (mode == 3) m.r.a[reg] = addr;
}

// MOVEP: bytes at every other address, high byte first.
void opMovep(Machine& m, uint16_t op) {
    const unsigned dn = regHi(op), an = eaReg(op), opmode = (op >> 6) & 7;
    uint32_t addr = m.r.a[an] + uint32_t(int32_t(int16_t(m.fetch16())));
    const int count = (opmode & 1) ? 4 : 2;
    if (opmode & 2) {
        for (int i = count - 1; i >= 0; --i, addr += 2) m.write<1>(addr, m.r.d[dn] >> (8 * i));
    } else {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i, addr += 2) v = (v << 8) | m.read<1>(addr);
        if (count == 2)
            m.setD<2>(dn, v);
        else
            m.r.d[dn] = v;
    }
}

// ---- integer arithmetic and logic: one operation struct per ALU function

struct AddOp {
    static constexpr bool writes = true;
    template <int S> static uint32_t apply(Machine& m, uint32_t s, uint32_t d) {
        const uint32_t r = (d + s) & mask<S>();
        m.setAddFlags<S>(s, d, r);
        return r;
    }
};
struct SubOp {
    static constexpr bool writes = true;
    template <int S> static uint32_t apply(Machine& m, uint32_t s, uint32_t d) {
        const uint32_t r = (d - s) & mask<S>();
        m.setSubFlags<S>(s, d, r);
        return r;
    }
};
struct CmpOp {
    static constexpr bool writes = false;
    template <int S> static uint32_t apply(Machine& m, uint32_t s, uint32_t d) {
        const uint32_t r = (d - s) & mask<S>();
        m.setSubFlags<S, false>(s, d, r);
        return r;
    }
};
struct AndOp {
    static constexpr bool writes = true;
    template <int S> static uint32_t apply(Machine& m, uint32_t s, uint32_t d) {
        const uint32_t r = d & s;
        m.setLogicFlags<S>(r);
        return r;
    }
};
struct OrOp {
    static constexpr bool writes = true;
    template <int S> static uint32_t apply(Machine& m, uint32_t s, uint32_t d) {
        const uint32_t r = d | s;
        m.setLogicFlags<S>(r);
        return r;
    }
};
struct EorOp {
    static constexpr bool writes = true;
    template <int S> static uint32_t apply(Machine& m, uint32_t s, uint32_t d) {
        const uint32_t r = (d ^ s) & mask<S>();
        m.setLogicFlags<S>(r);
        return r;
    }
};

// <ea>,Dn
template <int S, class Op, int Mode = -1> void opEaToD(Machine& m, uint16_t op) {
    const uint32_t s = m.readEa<S>(modeOf<Mode>(op), eaReg(op));
    const unsigned dn = regHi(op);
    const uint32_t r = Op::template apply<S>(m, s, m.r.d[dn] & mask<S>());
    if constexpr (Op::writes) m.setD<S>(dn, r);
}

// Dn,<ea>
template <int S, class Op, int Mode = -1> void opDToEa(Machine& m, uint16_t op) {
    const Operand o = m.resolve<S>(modeOf<Mode>(op), eaReg(op));
    const uint32_t d = m.get<S>(o);
    m.put<S>(o, Op::template apply<S>(m, m.r.d[regHi(op)] & mask<S>(), d));
}

// #imm,<ea>
template <int S, class Op, int Mode = -1> void opImm(Machine& m, uint16_t op) {
    const uint32_t s = m.fetchImmediate<S>();
    const Operand o = m.resolve<S>(modeOf<Mode>(op), eaReg(op));
    const uint32_t r = Op::template apply<S>(m, s, m.get<S>(o));
    if constexpr (Op::writes) m.put<S>(o, r);
}

// ADDQ/SUBQ: to an address register the whole register changes and no flag.
template <int S, class Op, int Mode = -1> void opQuick(Machine& m, uint16_t op) {
    const uint32_t q = regHi(op) == 0 ? 8 : regHi(op);
    const Operand o = m.resolve<S>(modeOf<Mode>(op), eaReg(op));
    m.put<S>(o, Op::template apply<S>(m, q, m.get<S>(o)));
}

template <bool Add> void opQuickA(Machine& m, uint16_t op) {
    const uint32_t q = regHi(op) == 0 ? 8 : regHi(op);
    m.r.a[eaReg(op)] += Add ? q : uint32_t(-int32_t(q));
}

// ADDA/SUBA/CMPA: word sources are sign-extended, the operation is on 32 bits.
template <int S, int Mode = -1> void opAdda(Machine& m, uint16_t op) {
    m.r.a[regHi(op)] += uint32_t(signExtend<S>(m.readEa<S>(modeOf<Mode>(op), eaReg(op))));
}
template <int S, int Mode = -1> void opSuba(Machine& m, uint16_t op) {
    m.r.a[regHi(op)] -= uint32_t(signExtend<S>(m.readEa<S>(modeOf<Mode>(op), eaReg(op))));
}
template <int S, int Mode = -1> void opCmpa(Machine& m, uint16_t op) {
    const uint32_t s = uint32_t(signExtend<S>(m.readEa<S>(modeOf<Mode>(op), eaReg(op))));
    const uint32_t d = m.r.a[regHi(op)];
    m.setSubFlags<4, false>(s, d, d - s);
}

template <int S> void opCmpm(Machine& m, uint16_t op) {
    const uint32_t s = m.readEa<S>(3, eaReg(op));
    const uint32_t d = m.readEa<S>(3, regHi(op));
    m.setSubFlags<S, false>(s, d, (d - s) & mask<S>());
}

// ADDX/SUBX: Dy,Dx or -(Ay),-(Ax).
template <int S, bool Add> void opAddxSubx(Machine& m, uint16_t op) {
    const unsigned ry = eaReg(op), rx = regHi(op);
    const bool memory = op & 8;
    uint32_t s, d;
    Operand dst{};
    if (memory) {
        s = m.readEa<S>(4, ry);
        dst = m.resolve<S>(4, rx);
        d = m.get<S>(dst);
    } else {
        s = m.r.d[ry] & mask<S>();
        d = m.r.d[rx] & mask<S>();
    }
    const uint32_t x = (m.ccr() & flags::X) ? 1 : 0;
    const uint32_t r = (Add ? d + s + x : d - s - x) & mask<S>();
    m.setCcr(flags::extended(Add ? flags::add<S>(s, d, r) : flags::sub<S>(s, d, r), m.ccr()));
    if (memory)
        m.put<S>(dst, r);
    else
        m.setD<S>(rx, r);
}

template <int S, int Mode = -1> void opNeg(Machine& m, uint16_t op) {
    const Operand o = m.resolve<S>(modeOf<Mode>(op), eaReg(op));
    const uint32_t d = m.get<S>(o);
    const uint32_t r = (0 - d) & mask<S>();
    m.setSubFlags<S>(d, 0, r);
    m.put<S>(o, r);
}

template <int S> void opNegx(Machine& m, uint16_t op) {
    const Operand o = m.resolve<S>(eaMode(op), eaReg(op));
    const uint32_t d = m.get<S>(o);
    const uint32_t r = (0 - d - ((m.ccr() & flags::X) ? 1 : 0)) & mask<S>();
    m.setCcr(flags::extended(flags::sub<S>(d, 0, r), m.ccr()));
    m.put<S>(o, r);
}

template <int S, int Mode = -1> void opNot(Machine& m, uint16_t op) {
    const Operand o = m.resolve<S>(modeOf<Mode>(op), eaReg(op));
    const uint32_t r = ~m.get<S>(o) & mask<S>();
    m.setLogicFlags<S>(r);
    m.put<S>(o, r);
}

template <int S, int Mode = -1> void opTst(Machine& m, uint16_t op) {
    m.setLogicFlags<S>(m.readEa<S>(modeOf<Mode>(op), eaReg(op)));
}

void opTas(Machine& m, uint16_t op) {
    const Operand o = m.resolve<1>(eaMode(op), eaReg(op));
    const uint32_t v = m.get<1>(o);
    m.setLogicFlags<1>(v);
    m.put<1>(o, v | 0x80);
}

// ---- decimal arithmetic

uint32_t bcdAdd(Machine& m, uint32_t s, uint32_t d) {
    const uint32_t x = (m.ccr() & flags::X) ? 1 : 0;
    uint32_t r = (s & 0x0F) + (d & 0x0F) + x;
    if (r > 9) r += 6;
    r += (s & 0xF0) + (d & 0xF0);
    const bool carry = r > 0x99;
    if (carry) r += 0x60;
    r &= 0xFF;
    uint8_t c = m.ccr() & (flags::Z | flags::X);
    if (r) c &= uint8_t(~flags::Z);
    if (carry)
        c |= flags::C | flags::X;
    else
        c &= uint8_t(~flags::X);
    if (r & 0x80) c |= flags::N;
    m.setCcr(c);
    return r;
}

uint32_t bcdSub(Machine& m, uint32_t s, uint32_t d) {
    const int x = (m.ccr() & flags::X) ? 1 : 0;
    int r = int(d) - int(s) - x;
    if (int(d & 0x0F) - int(s & 0x0F) - x < 0) r -= 6;
    const bool borrow = r < 0;
    if (borrow) r -= 0x60;
    const uint32_t res = uint32_t(r) & 0xFF;
    uint8_t c = m.ccr() & (flags::Z | flags::X);
    if (res) c &= uint8_t(~flags::Z);
    if (borrow)
        c |= flags::C | flags::X;
    else
        c &= uint8_t(~flags::X);
    if (res & 0x80) c |= flags::N;
    m.setCcr(c);
    return res;
}

template <bool Add> void opBcd(Machine& m, uint16_t op) {
    const unsigned ry = eaReg(op), rx = regHi(op);
    if (op & 8) {
        const uint32_t s = m.readEa<1>(4, ry);
        const Operand dst = m.resolve<1>(4, rx);
        const uint32_t d = m.get<1>(dst);
        m.put<1>(dst, Add ? bcdAdd(m, s, d) : bcdSub(m, s, d));
    } else {
        const uint32_t s = m.r.d[ry] & 0xFF, d = m.r.d[rx] & 0xFF;
        m.setD<1>(rx, Add ? bcdAdd(m, s, d) : bcdSub(m, s, d));
    }
}

void opNbcd(Machine& m, uint16_t op) {
    const Operand o = m.resolve<1>(eaMode(op), eaReg(op));
    const uint32_t d = m.get<1>(o);
    m.put<1>(o, bcdSub(m, d, 0));
}

// ---- multiply and divide

template <bool Signed> void opMulW(Machine& m, uint16_t op) {
    const uint32_t s = m.readEa<2>(eaMode(op), eaReg(op));
    const unsigned dn = regHi(op);
    const uint32_t r =
        Signed ? uint32_t(int32_t(int16_t(s)) * int32_t(int16_t(m.r.d[dn]))) : (s & 0xFFFF) * (m.r.d[dn] & 0xFFFF);
    m.r.d[dn] = r;
    m.setLogicFlags<4>(r);
}

void opMulL(Machine& m, uint16_t op) {
    const uint16_t ext = m.fetch16();
    if (ext & 0x83F8) return m.illegal();
    const uint32_t s = m.readEa<4>(eaMode(op), eaReg(op));
    const unsigned dl = (ext >> 12) & 7, dh = ext & 7;
    const bool isSigned = ext & 0x0800, wide = ext & 0x0400;
    const uint64_t r =
        isSigned ? uint64_t(int64_t(int32_t(s)) * int64_t(int32_t(m.r.d[dl]))) : uint64_t(s) * uint64_t(m.r.d[dl]);
    uint8_t c = m.ccr() & flags::X;
    if (wide) {
        m.r.d[dh] = uint32_t(r >> 32);
        m.r.d[dl] = uint32_t(r);
        if (r >> 63) c |= flags::N;
        if (r == 0) c |= flags::Z;
    } else {
        const bool overflow = isSigned ? int64_t(r) != int64_t(int32_t(uint32_t(r))) : (r >> 32) != 0;
        m.r.d[dl] = uint32_t(r);
        c = flags::logic<4>(uint32_t(r), c);
        if (overflow) c |= flags::V;
    }
    m.setCcr(c);
}

void zeroDivide(Machine& m) {
    m.setCcr(m.ccr() & uint8_t(~flags::C));
    m.exception(vector::ZeroDivide, Frame::WithAddress, m.r.pc, m.instrPc);
}

template <bool Signed> void opDivW(Machine& m, uint16_t op) {
    const uint32_t s = m.readEa<2>(eaMode(op), eaReg(op));
    const unsigned dn = regHi(op);
    if ((s & 0xFFFF) == 0) return zeroDivide(m);
    const uint32_t d = m.r.d[dn];
    uint8_t c = m.ccr() & flags::X;
    if (Signed) {
        const int64_t q = int64_t(int32_t(d)) / int16_t(s);
        const int64_t rem = int64_t(int32_t(d)) % int16_t(s);
        if (q < -32768 || q > 32767) {
            m.setCcr(uint8_t(c | flags::V | (m.ccr() & (flags::N | flags::Z))));
            return;
        }
        m.r.d[dn] = (uint32_t(rem) << 16) | (uint32_t(q) & 0xFFFF);
        m.setCcr(flags::logic<2>(uint32_t(q), c));
    } else {
        const uint32_t q = d / (s & 0xFFFF), rem = d % (s & 0xFFFF);
        if (q > 0xFFFF) {
            m.setCcr(uint8_t(c | flags::V | (m.ccr() & (flags::N | flags::Z))));
            return;
        }
        m.r.d[dn] = (rem << 16) | q;
        m.setCcr(flags::logic<2>(q, c));
    }
}

void opDivL(Machine& m, uint16_t op) {
    const uint16_t ext = m.fetch16();
    if (ext & 0x83F8) return m.illegal();
    const uint32_t s = m.readEa<4>(eaMode(op), eaReg(op));
    const unsigned dq = (ext >> 12) & 7, dr = ext & 7;
    const bool isSigned = ext & 0x0800, wide = ext & 0x0400;
    if (s == 0) return zeroDivide(m);
    uint8_t c = m.ccr() & flags::X;
    const uint8_t overflowCcr = uint8_t(c | flags::V | (m.ccr() & (flags::N | flags::Z)));
    if (isSigned) {
        const int64_t dividend = wide ? int64_t((uint64_t(m.r.d[dr]) << 32) | m.r.d[dq]) : int64_t(int32_t(m.r.d[dq]));
        const int64_t divisor = int32_t(s);
        if (dividend == INT64_MIN && divisor == -1) return m.setCcr(overflowCcr);
        const int64_t q = dividend / divisor, rem = dividend % divisor;
        if (q < INT32_MIN || q > INT32_MAX) return m.setCcr(overflowCcr);
        if (dr != dq) m.r.d[dr] = uint32_t(rem);
        m.r.d[dq] = uint32_t(q);
        m.setCcr(flags::logic<4>(uint32_t(q), c));
    } else {
        const uint64_t dividend = wide ? (uint64_t(m.r.d[dr]) << 32) | m.r.d[dq] : m.r.d[dq];
        const uint64_t q = dividend / s, rem = dividend % s;
        if (q > 0xFFFFFFFFu) return m.setCcr(overflowCcr);
        if (dr != dq) m.r.d[dr] = uint32_t(rem);
        m.r.d[dq] = uint32_t(q);
        m.setCcr(flags::logic<4>(uint32_t(q), c));
    }
}

// ---- shifts and rotates

using ShiftFn = flags::Shifted (*)(uint32_t, unsigned, uint8_t);
template <int S> constexpr ShiftFn shiftFn(unsigned type, bool left) {
    switch (type) {
    case 0: return left ? flags::asl<S> : flags::asr<S>;
    case 1: return left ? flags::lsl<S> : flags::lsr<S>;
    case 2: return left ? flags::roxl<S> : flags::roxr<S>;
    default: return left ? flags::rol<S> : flags::ror<S>;
    }
}

template <int S, unsigned Type, bool Left> void opShiftReg(Machine& m, uint16_t op) {
    const unsigned count = (op & 0x20) ? m.r.d[regHi(op)] & 63 : (regHi(op) == 0 ? 8 : regHi(op));
    const unsigned dn = eaReg(op);
    const flags::Shifted s = shiftFn<S>(Type, Left)(m.r.d[dn], count, m.ccr());
    m.setD<S>(dn, s.result);
    m.setCcr(s.ccr);
}

template <unsigned Type, bool Left> void opShiftMem(Machine& m, uint16_t op) {
    const Operand o = m.resolve<2>(eaMode(op), eaReg(op));
    const flags::Shifted s = shiftFn<2>(Type, Left)(m.get<2>(o), 1, m.ccr());
    m.put<2>(o, s.result);
    m.setCcr(s.ccr);
}

// ---- bit operations: 0 BTST, 1 BCHG, 2 BCLR, 3 BSET; long on Dn (bit mod 32), byte in memory.
template <unsigned Kind, bool Immediate> void opBit(Machine& m, uint16_t op) {
    const unsigned bit = Immediate ? (m.fetch16() & 0xFF) : m.r.d[regHi(op)];
    const unsigned mode = eaMode(op), reg = eaReg(op);
    if (mode == 0) {
        const uint32_t b = 1u << (bit & 31);
        uint32_t& d = m.r.d[reg];
        m.setCcr(uint8_t((m.ccr() & ~flags::Z) | ((d & b) ? 0 : flags::Z)));
        if (Kind == 1) d ^= b;
        if (Kind == 2) d &= ~b;
        if (Kind == 3) d |= b;
        return;
    }
    const Operand o = m.resolve<1>(mode, reg);
    const uint32_t v = m.get<1>(o), b = 1u << (bit & 7);
    m.setCcr(uint8_t((m.ccr() & ~flags::Z) | ((v & b) ? 0 : flags::Z)));
    if (Kind == 1) m.put<1>(o, v ^ b);
    if (Kind == 2) m.put<1>(o, v & ~b);
    if (Kind == 3) m.put<1>(o, v | b);
}

// ---- program control

void branchTo(Machine& m, uint32_t target) { m.r.pc = target; }

// Bcc/BRA/BSR: 8-bit displacement in the opcode, $00 = 16-bit, $FF = 32-bit word(s) follow.
// Instantiated per condition (Cc), so that the test is a few instructions of its own.
template <int Cc> void opBcc(Machine& m, uint16_t op) {
    const uint32_t base = m.r.pc;
    int32_t disp = int8_t(op & 0xFF);
    if (disp == 0)
        disp = int16_t(m.fetch16());
    else if (disp == -1)
        disp = int32_t(m.fetch32());
    constexpr unsigned cc = Cc;
    if constexpr (cc == 1) {  // BSR
        m.push32(m.r.pc);
        return branchTo(m, base + uint32_t(disp));
    }
    if (m.condition(cc)) branchTo(m, base + uint32_t(disp));
}

template <int Cc> void opDbcc(Machine& m, uint16_t op) {
    const uint32_t base = m.r.pc;
    const int32_t disp = int16_t(m.fetch16());
    if (m.condition(Cc)) return;
    const unsigned dn = eaReg(op);
    const uint32_t w = (m.r.d[dn] - 1) & 0xFFFF;
    m.setD<2>(dn, w);
    if (w != 0xFFFF) branchTo(m, base + uint32_t(disp));
}

void opScc(Machine& m, uint16_t op) {
    const Operand o = m.resolve<1>(eaMode(op), eaReg(op));
    m.put<1>(o, m.condition((op >> 8) & 15) ? 0xFF : 0x00);
}

void opJmp(Machine& m, uint16_t op) { branchTo(m, m.controlAddress(eaMode(op), eaReg(op))); }

void opJsr(Machine& m, uint16_t op) {
    const uint32_t target = m.controlAddress(eaMode(op), eaReg(op));
    m.push32(m.r.pc);
    branchTo(m, target);
}

void opRts(Machine& m, uint16_t) { branchTo(m, m.pop32()); }

void opRtr(Machine& m, uint16_t) {
    const uint16_t ccr = m.pop16();
    const uint32_t pc = m.pop32();
    m.setCcr(uint8_t(ccr));
    branchTo(m, pc);
}

void opRtd(Machine& m, uint16_t) {
    const int32_t disp = int16_t(m.fetch16());
    const uint32_t pc = m.pop32();
    m.r.a[7] += uint32_t(disp);
    branchTo(m, pc);
}

template <bool Long> void opLink(Machine& m, uint16_t op) {
    const int32_t disp = Long ? int32_t(m.fetch32()) : int16_t(m.fetch16());
    const unsigned an = eaReg(op);
    m.push32(m.r.a[an]);
    m.r.a[an] = m.r.a[7];
    m.r.a[7] += uint32_t(disp);
}

void opUnlk(Machine& m, uint16_t op) {
    const unsigned an = eaReg(op);
    m.r.a[7] = m.r.a[an];
    m.r.a[an] = m.pop32();
}

void opNop(Machine&, uint16_t) {}

// ---- traps and checks

void opTrap(Machine& m, uint16_t op) { m.exception(uint8_t(vector::Trap0 + (op & 15)), Frame::Normal, m.r.pc); }

void opTrapv(Machine& m, uint16_t) {
    if (m.ccr() & flags::V) m.exception(vector::TrapV, Frame::WithAddress, m.r.pc, m.instrPc);
}

void opTrapcc(Machine& m, uint16_t op) {
    const unsigned words = op & 7;  // 2: one word follows, 3: a long, 4: none
    if (words == 2) m.fetch16();
    if (words == 3) m.fetch32();
    if (m.condition((op >> 8) & 15)) m.exception(vector::TrapV, Frame::WithAddress, m.r.pc, m.instrPc);
}

template <int S> void opChk(Machine& m, uint16_t op) {
    const int32_t bound = signExtend<S>(m.readEa<S>(eaMode(op), eaReg(op)));
    const int32_t v = signExtend<S>(m.r.d[regHi(op)]);
    if (v >= 0 && v <= bound) return;
    uint8_t c = m.ccr() & uint8_t(~flags::N);
    if (v < 0) c |= flags::N;
    m.setCcr(c);
    m.exception(vector::Chk, Frame::WithAddress, m.r.pc, m.instrPc);
}

// CMP2/CHK2: the register against a lower and an upper bound stored at <ea>. An address
// register is compared on 32 bits with sign-extended bounds. The range test wraps, so that it
// serves signed and unsigned bounds alike.
template <int S> void opChk2Cmp2(Machine& m, uint16_t op) {
    const uint16_t ext = m.fetch16();
    if (ext & 0x07FF) return m.illegal();
    const uint32_t addr = m.controlAddress(eaMode(op), eaReg(op));
    const bool program = eaMode(op) == 7 && eaReg(op) >= 2;
    uint32_t lo = program ? m.readProgram<S>(addr) : m.read<S>(addr);
    uint32_t hi = program ? m.readProgram<S>(addr + S) : m.read<S>(addr + S);
    const unsigned rn = (ext >> 12) & 7;
    uint32_t v;
    uint32_t width = mask<S>();
    if (ext & 0x8000) {
        v = m.r.a[rn];
        lo = uint32_t(signExtend<S>(lo));
        hi = uint32_t(signExtend<S>(hi));
        width = 0xFFFFFFFFu;
    } else {
        v = m.r.d[rn] & mask<S>();
    }
    const bool out = ((v - lo) & width) > ((hi - lo) & width);
    uint8_t c = m.ccr() & uint8_t(~(flags::Z | flags::C));
    if (v == lo || v == hi) c |= flags::Z;
    if (out) c |= flags::C;
    m.setCcr(c);
    if (out && (ext & 0x0800)) m.exception(vector::Chk, Frame::WithAddress, m.r.pc, m.instrPc);
}

void opIllegal(Machine& m, uint16_t) { m.illegal(); }
void opLineA(Machine& m, uint16_t) { m.exception(vector::LineA, Frame::Normal, m.instrPc); }
void opLineF(Machine& m, uint16_t) { m.exception(vector::LineF, Frame::Normal, m.instrPc); }

// ---- status register and supervisor instructions

void opToCcr(Machine& m, uint16_t op) { m.setCcr(uint8_t(m.readEa<2>(eaMode(op), eaReg(op)))); }

void opFromCcr(Machine& m, uint16_t op) {
    const Operand o = m.resolve<2>(eaMode(op), eaReg(op));
    m.put<2>(o, m.ccr());
}

void opFromSr(Machine& m, uint16_t op) {
    if (!m.requireSupervisor()) return;
    const Operand o = m.resolve<2>(eaMode(op), eaReg(op));
    m.put<2>(o, m.sr());
}

void opToSr(Machine& m, uint16_t op) {
    if (!m.requireSupervisor()) return;
    m.setSr(uint16_t(m.readEa<2>(eaMode(op), eaReg(op))));
}

// ORI/ANDI/EORI to CCR (Sr = false) and to SR (Sr = true); 0 OR, 1 AND, 2 EOR.
template <unsigned Kind, bool Sr> void opImmToSr(Machine& m, uint16_t) {
    if (Sr && !m.requireSupervisor()) return;
    const uint16_t imm = m.fetch16();
    const uint16_t cur = Sr ? m.sr() : m.ccr();
    const uint16_t v = Kind == 0 ? uint16_t(cur | imm) : Kind == 1 ? uint16_t(cur & imm) : uint16_t(cur ^ imm);
    if (Sr)
        m.setSr(v);
    else
        m.setCcr(uint8_t(v));
}

void opMoveUsp(Machine& m, uint16_t op) {
    if (!m.requireSupervisor()) return;
    if (op & 8)
        m.r.a[eaReg(op)] = m.r.usp;
    else
        m.r.usp = m.r.a[eaReg(op)];
}

void opReset(Machine& m, uint16_t) {
    // Asserts the reset line for the devices; the core itself carries on.
    m.requireSupervisor();
}

void opStop(Machine& m, uint16_t) {
    if (!m.requireSupervisor()) return;
    m.setSr(m.fetch16());
    m.isStopped = true;
}

void opRte(Machine& m, uint16_t) {
    if (!m.requireSupervisor()) return;
    const uint32_t sp = m.r.a[7];
    const uint16_t fv = uint16_t(m.read<2>(sp + 6));
    uint32_t length;
    switch (fv >> 12) {
    case 0x0: length = 8; break;
    case 0x2: length = 12; break;
    case 0xC: length = 24; break;
    default: return m.exception(vector::FormatError, Frame::Normal, m.instrPc);
    }
    const uint16_t sr = uint16_t(m.read<2>(sp));
    const uint32_t pc = m.read<4>(sp + 2);
    m.r.a[7] = sp + length;
    m.setSr(sr);
    branchTo(m, pc);
}

// MOVEC: the CPU32 has SFC, DFC, USP and VBR.
void opMovec(Machine& m, uint16_t op) {
    if (!m.requireSupervisor()) return;
    const uint16_t ext = m.fetch16();
    uint32_t& reg = (ext & 0x8000) ? m.r.a[(ext >> 12) & 7] : m.r.d[(ext >> 12) & 7];
    const bool toControl = op & 1;
    uint32_t value = 0;
    switch (ext & 0x0FFF) {
    case 0x000: value = m.r.sfc; break;
    case 0x001: value = m.r.dfc; break;
    case 0x800: value = m.r.usp; break;
    case 0x801: value = m.r.vbr; break;
    default: return m.illegal();
    }
    if (!toControl) {
        reg = value;
        return;
    }
    switch (ext & 0x0FFF) {
    case 0x000: m.r.sfc = reg & 7; break;
    case 0x001: m.r.dfc = reg & 7; break;
    case 0x800: m.r.usp = reg; break;
    default: m.r.vbr = reg; break;
    }
}

// MOVES: moves between a register and the address space named by SFC (reads) or DFC (writes).
template <int S> void opMoves(Machine& m, uint16_t op) {
    if (!m.requireSupervisor()) return;
    const uint16_t ext = m.fetch16();
    if (ext & 0x07FF) return m.illegal();
    const unsigned rn = (ext >> 12) & 7;
    const bool isAddr = ext & 0x8000;
    const Operand o = m.resolve<S>(eaMode(op), eaReg(op));
    if (ext & 0x0800) {
        const uint32_t v = isAddr ? m.r.a[rn] : m.r.d[rn];
        m.writeAt<S>(o.value, v, FunctionCode(m.r.dfc));
    } else {
        const uint32_t v = m.readAt<S>(o.value, FunctionCode(m.r.sfc));
        if (isAddr)
            m.r.a[rn] = uint32_t(signExtend<S>(v));
        else
            m.setD<S>(rn, v);
    }
}

// BKPT: no breakpoint hardware answers the acknowledge cycle, so it is an illegal instruction.
void opBkpt(Machine& m, uint16_t) { m.illegal(); }

// ---- CPU32-only: table lookup and interpolate, low-power stop

// Line F word $F800 with an extension word: LPSTOP (extension $01C0) or TBLS/TBLSN/TBLU/TBLUN.
//   extension:  0 | Dx:3 | signed | no-round | 0 | table(1)/registers(0) | size:2 | 000 | Dyn:3
void opTableOrLpstop(Machine& m, uint16_t op) {
    const uint32_t extPc = m.r.pc;
    const uint16_t ext = m.fetch16();
    if (op == 0xF800 && ext == 0x01C0) {
        if (!m.requireSupervisor()) return;
        m.setSr(m.fetch16());
        m.isStopped = true;
        return;
    }
    const unsigned size = (ext >> 6) & 3;
    const bool tableForm = ext & 0x0100;
    const unsigned mode = eaMode(op);
    const bool valid =
        !(ext & 0x8238) && size != 3 && (tableForm ? (eaBit(mode, eaReg(op)) & kControl) != 0 : mode == 0);
    if (!valid) {
        m.r.pc = extPc;
        return m.exception(vector::LineF, Frame::Normal, m.instrPc);
    }
    const unsigned dx = (ext >> 12) & 7;
    const bool isSigned = ext & 0x0800, round = !(ext & 0x0400);
    const unsigned bytes = 1u << size;
    auto extend = [&](uint32_t v) -> int64_t {
        switch (size) {
        case 0: return isSigned ? int64_t(int8_t(v)) : int64_t(v & 0xFF);
        case 1: return isSigned ? int64_t(int16_t(v)) : int64_t(v & 0xFFFF);
        default: return isSigned ? int64_t(int32_t(v)) : int64_t(v);
        }
    };
    int64_t e0, e1;
    if (tableForm) {
        const uint32_t base = m.controlAddress(mode, eaReg(op));
        const bool program = mode == 7 && eaReg(op) >= 2;
        const uint32_t at = base + ((m.r.d[dx] >> 8) & 0xFF) * bytes;
        auto load = [&](uint32_t a) -> uint32_t {
            switch (size) {
            case 0: return program ? m.readProgram<1>(a) : m.read<1>(a);
            case 1: return program ? m.readProgram<2>(a) : m.read<2>(a);
            default: return program ? m.readProgram<4>(a) : m.read<4>(a);
            }
        };
        e0 = extend(load(at));
        e1 = extend(load(at + bytes));
    } else {
        e0 = extend(m.r.d[eaReg(op)]);
        e1 = extend(m.r.d[ext & 7]);
    }
    const int64_t frac = m.r.d[dx] & 0xFF;
    const int64_t scaled = (e1 - e0) * frac;  // difference times fraction, 8 fraction bits
    uint8_t c = m.ccr() & flags::X;
    uint32_t& d = m.r.d[dx];
    if (round) {
        int64_t q;
        if (isSigned) {
            // Round to nearest, halves away from zero.
            q = scaled >= 0 ? (scaled + 128) >> 8 : -((-scaled + 128) >> 8);
        } else {
            q = (scaled + 128) >> 8;
        }
        const uint32_t r = uint32_t(e0 + q);
        switch (size) {
        case 0:
            m.setD<1>(dx, r);
            c = uint8_t(c | flags::nz<1>(r));
            break;
        case 1:
            m.setD<2>(dx, r);
            c = uint8_t(c | flags::nz<2>(r));
            break;
        default:
            d = r;
            c = uint8_t(c | flags::nz<4>(r));
            break;
        }
    } else {
        const int64_t r = e0 * 256 + scaled;
        switch (size) {
        case 0: d = isSigned ? uint32_t(int32_t(int16_t(r))) : uint32_t(r) & 0xFFFF; break;
        case 1: d = isSigned ? uint32_t(int32_t(uint32_t(r) << 8) >> 8) : uint32_t(r) & 0xFFFFFF; break;
        default: d = uint32_t(r); break;
        }
        c = uint8_t(c | flags::nz<4>(d));
        // A long result keeps only 24 integer bits.
        if (size == 2) {
            const int64_t integer = r >> 8;
            const bool fits = isSigned ? integer >= -(int64_t(1) << 23) && integer < (int64_t(1) << 23)
                                       : integer >= 0 && integer < (int64_t(1) << 24);
            if (!fits) c |= flags::V;
        }
    }
    m.setCcr(c);
}

// ---- the decode table

// A handler instantiated for every value 0..N-1 of an opcode field: f.operator()<V>() names
// the handler for V.
template <size_t N, class F> constexpr std::array<Handler, N> byField(F f) {
    return [&]<size_t... V>(std::index_sequence<V...>) {
        return std::array<Handler, N>{f.template operator()<int(V)>()...};
    }
    (std::make_index_sequence<N>{});
}

struct Row {
    uint16_t mask;
    uint16_t match;
    uint16_t ea;     // allowed modes of the effective address in bits 5-0, 0: not checked
    uint16_t dstEa;  // MOVE: allowed destination modes (bits 11-6, register and mode swapped)
    Handler handler;
    // Instead of handler, its instantiations by an opcode field: 8 by the mode field, 64 by
    // MOVE's source mode + 8 * destination mode, or 16 by the condition field.
    const Handler* instances = nullptr;
    enum By : uint8_t { Mode, MoveModes, Condition } by = Mode;
};

// The instantiations of the instructions compiled code runs most, by mode or by condition.
template <int S> constexpr auto kMoveModes = byField<64>([]<int I>() -> Handler { return opMove<S, I % 8, I / 8>; });
constexpr auto kBccConditions = byField<16>([]<int C>() -> Handler { return opBcc<C>; });
constexpr auto kDbccConditions = byField<16>([]<int C>() -> Handler { return opDbcc<C>; });
template <int S> constexpr auto kMoveAModes = byField<8>([]<int M>() -> Handler { return opMoveA<S, M>; });
template <int S, class Op>
constexpr auto kEaToDModes = byField<8>([]<int M>() -> Handler { return opEaToD<S, Op, M>; });
template <int S, class Op>
constexpr auto kDToEaModes = byField<8>([]<int M>() -> Handler { return opDToEa<S, Op, M>; });
template <int S, class Op> constexpr auto kImmModes = byField<8>([]<int M>() -> Handler { return opImm<S, Op, M>; });
template <int S, class Op>
constexpr auto kQuickModes = byField<8>([]<int M>() -> Handler { return opQuick<S, Op, M>; });
template <int S> constexpr auto kClrModes = byField<8>([]<int M>() -> Handler { return opClr<S, M>; });
template <int S> constexpr auto kNegModes = byField<8>([]<int M>() -> Handler { return opNeg<S, M>; });
template <int S> constexpr auto kNotModes = byField<8>([]<int M>() -> Handler { return opNot<S, M>; });
template <int S> constexpr auto kTstModes = byField<8>([]<int M>() -> Handler { return opTst<S, M>; });
template <int S> constexpr auto kAddaModes = byField<8>([]<int M>() -> Handler { return opAdda<S, M>; });
template <int S> constexpr auto kSubaModes = byField<8>([]<int M>() -> Handler { return opSuba<S, M>; });
template <int S> constexpr auto kCmpaModes = byField<8>([]<int M>() -> Handler { return opCmpa<S, M>; });

template <int S> constexpr uint16_t sz() { return S == 1 ? 0x0000 : S == 2 ? 0x0040 : 0x0080; }
// MOVE's size field: 01 byte, 11 word, 10 long.
template <int S> constexpr uint16_t moveSz() { return S == 1 ? 0x1000 : S == 2 ? 0x3000 : 0x2000; }
// An is no byte operand.
template <int S> constexpr uint16_t srcAll() { return S == 1 ? kData : kAll; }
template <int S> constexpr uint16_t dstAlt() { return S == 1 ? kDataAlt : kAlterable; }

template <int S> void addSized(std::vector<Row>& t) {
    const uint16_t z = sz<S>();
    // mask   match           ea            dst        handler
    t.insert(t.end(), {
                          {0xF1F8, uint16_t(moveSz<S>() | 0x0000), 0, 0, opMoveDD<S>},
                          {0xF000, moveSz<S>(), srcAll<S>(), kDataAlt, nullptr, kMoveModes<S>.data(), Row::MoveModes},
                          {0xFFC0, uint16_t(0x0000 | z), kDataAlt, 0, nullptr, kImmModes<S, OrOp>.data()},
                          {0xFFC0, uint16_t(0x0200 | z), kDataAlt, 0, nullptr, kImmModes<S, AndOp>.data()},
                          {0xFFC0, uint16_t(0x0400 | z), kDataAlt, 0, nullptr, kImmModes<S, SubOp>.data()},
                          {0xFFC0, uint16_t(0x0600 | z), kDataAlt, 0, nullptr, kImmModes<S, AddOp>.data()},
                          {0xFFC0, uint16_t(0x0A00 | z), kDataAlt, 0, nullptr, kImmModes<S, EorOp>.data()},
                          {0xFFC0, uint16_t(0x0C00 | z), kDataNoImm, 0, nullptr, kImmModes<S, CmpOp>.data()},
                          {0xFFC0, uint16_t(0x0E00 | z), kMemAlt, 0, opMoves<S>},
                          {0xFFC0, uint16_t(0x4000 | z), kDataAlt, 0, opNegx<S>},
                          {0xFFC0, uint16_t(0x4200 | z), kDataAlt, 0, nullptr, kClrModes<S>.data()},
                          {0xFFC0, uint16_t(0x4400 | z), kDataAlt, 0, nullptr, kNegModes<S>.data()},
                          {0xFFC0, uint16_t(0x4600 | z), kDataAlt, 0, nullptr, kNotModes<S>.data()},
                          {0xFFC0, uint16_t(0x4A00 | z), srcAll<S>(), 0, nullptr, kTstModes<S>.data()},
                          {0xF1C0, uint16_t(0x5000 | z), kDataAlt, 0, nullptr, kQuickModes<S, AddOp>.data()},
                          {0xF1C0, uint16_t(0x5100 | z), kDataAlt, 0, nullptr, kQuickModes<S, SubOp>.data()},
                          {0xF1C0, uint16_t(0x8000 | z), kData, 0, nullptr, kEaToDModes<S, OrOp>.data()},
                          {0xF1C0, uint16_t(0x8100 | z), kMemAlt, 0, nullptr, kDToEaModes<S, OrOp>.data()},
                          {0xF1C0, uint16_t(0x9000 | z), srcAll<S>(), 0, nullptr, kEaToDModes<S, SubOp>.data()},
                          {0xF1F0, uint16_t(0x9100 | z), 0, 0, opAddxSubx<S, false>},
                          {0xF1C0, uint16_t(0x9100 | z), kMemAlt, 0, nullptr, kDToEaModes<S, SubOp>.data()},
                          {0xF1C0, uint16_t(0xB000 | z), srcAll<S>(), 0, nullptr, kEaToDModes<S, CmpOp>.data()},
                          {0xF1F8, uint16_t(0xB108 | z), 0, 0, opCmpm<S>},
                          {0xF1C0, uint16_t(0xB100 | z), kDataAlt, 0, nullptr, kDToEaModes<S, EorOp>.data()},
                          {0xF1C0, uint16_t(0xC000 | z), kData, 0, nullptr, kEaToDModes<S, AndOp>.data()},
                          {0xF1C0, uint16_t(0xC100 | z), kMemAlt, 0, nullptr, kDToEaModes<S, AndOp>.data()},
                          {0xF1C0, uint16_t(0xD000 | z), srcAll<S>(), 0, nullptr, kEaToDModes<S, AddOp>.data()},
                          {0xF1F0, uint16_t(0xD100 | z), 0, 0, opAddxSubx<S, true>},
                          {0xF1C0, uint16_t(0xD100 | z), kMemAlt, 0, nullptr, kDToEaModes<S, AddOp>.data()},
                          {0xF1D8, uint16_t(0xE000 | z), 0, 0, opShiftReg<S, 0, false>},
                          {0xF1D8, uint16_t(0xE008 | z), 0, 0, opShiftReg<S, 1, false>},
                          {0xF1D8, uint16_t(0xE010 | z), 0, 0, opShiftReg<S, 2, false>},
                          {0xF1D8, uint16_t(0xE018 | z), 0, 0, opShiftReg<S, 3, false>},
                          {0xF1D8, uint16_t(0xE100 | z), 0, 0, opShiftReg<S, 0, true>},
                          {0xF1D8, uint16_t(0xE108 | z), 0, 0, opShiftReg<S, 1, true>},
                          {0xF1D8, uint16_t(0xE110 | z), 0, 0, opShiftReg<S, 2, true>},
                          {0xF1D8, uint16_t(0xE118 | z), 0, 0, opShiftReg<S, 3, true>},
                      });
    if constexpr (S != 1) {
        t.insert(t.end(), {
                              {0xF1C0, uint16_t(moveSz<S>() | 0x0040), kAll, 0, nullptr, kMoveAModes<S>.data()},
                              {0xF1C0, uint16_t(0x5000 | z), kAn, 0, opQuickA<true>},
                              {0xF1C0, uint16_t(0x5100 | z), kAn, 0, opQuickA<false>},
                          });
    }
}

std::vector<Row> buildRows() {
    std::vector<Row> t;
    // Most specific first: exact opcodes, then the families with the widest masks.
    t.insert(t.end(), {
                          // mask   match   ea          dst  handler
                          {0xFFFF, 0x003C, 0, 0, opImmToSr<0, false>},
                          {0xFFFF, 0x007C, 0, 0, opImmToSr<0, true>},
                          {0xFFFF, 0x023C, 0, 0, opImmToSr<1, false>},
                          {0xFFFF, 0x027C, 0, 0, opImmToSr<1, true>},
                          {0xFFFF, 0x0A3C, 0, 0, opImmToSr<2, false>},
                          {0xFFFF, 0x0A7C, 0, 0, opImmToSr<2, true>},
                          {0xFFFF, 0x4AFC, 0, 0, opIllegal},
                          {0xFFFF, 0x4AFA, 0, 0, opIllegal},  // BGND: background mode is not enabled
                          {0xFFFF, 0x4E70, 0, 0, opReset},
                          {0xFFFF, 0x4E71, 0, 0, opNop},
                          {0xFFFF, 0x4E72, 0, 0, opStop},
                          {0xFFFF, 0x4E73, 0, 0, opRte},
                          {0xFFFF, 0x4E74, 0, 0, opRtd},
                          {0xFFFF, 0x4E75, 0, 0, opRts},
                          {0xFFFF, 0x4E76, 0, 0, opTrapv},
                          {0xFFFF, 0x4E77, 0, 0, opRtr},
                          {0xFFFE, 0x4E7A, 0, 0, opMovec},
                          {0xFFF0, 0x4E40, 0, 0, opTrap},
                          {0xFFF8, 0x4E50, 0, 0, opLink<false>},
                          {0xFFF8, 0x4808, 0, 0, opLink<true>},
                          {0xFFF8, 0x4E58, 0, 0, opUnlk},
                          {0xFFF0, 0x4E60, 0, 0, opMoveUsp},
                          {0xFFF8, 0x4840, 0, 0, opSwap},
                          {0xFFF8, 0x4848, 0, 0, opBkpt},
                          {0xFFF8, 0x4880, 0, 0, opExtW},
                          {0xFFF8, 0x48C0, 0, 0, opExtL},
                          {0xFFF8, 0x49C0, 0, 0, opExtbL},
                          {0xF0FF, 0x50FA, 0, 0, opTrapcc},
                          {0xF0FF, 0x50FB, 0, 0, opTrapcc},
                          {0xF0FF, 0x50FC, 0, 0, opTrapcc},
                          {0xF0F8, 0x50C8, 0, 0, nullptr, kDbccConditions.data(), Row::Condition},
                          {0xF0C0, 0x50C0, kDataAlt, 0, opScc},
                          {0xF138, 0x0108, 0, 0, opMovep},
                          {0xFFC0, 0x0800, kDataNoImm, 0, opBit<0, true>},
                          {0xFFC0, 0x0840, kDataAlt, 0, opBit<1, true>},
                          {0xFFC0, 0x0880, kDataAlt, 0, opBit<2, true>},
                          {0xFFC0, 0x08C0, kDataAlt, 0, opBit<3, true>},
                          {0xF1C0, 0x0100, kData, 0, opBit<0, false>},
                          {0xF1C0, 0x0140, kDataAlt, 0, opBit<1, false>},
                          {0xF1C0, 0x0180, kDataAlt, 0, opBit<2, false>},
                          {0xF1C0, 0x01C0, kDataAlt, 0, opBit<3, false>},
                          {0xFFC0, 0x00C0, kControl, 0, opChk2Cmp2<1>},
                          {0xFFC0, 0x02C0, kControl, 0, opChk2Cmp2<2>},
                          {0xFFC0, 0x04C0, kControl, 0, opChk2Cmp2<4>},
                          {0xFFC0, 0x40C0, kDataAlt, 0, opFromSr},
                          {0xFFC0, 0x42C0, kDataAlt, 0, opFromCcr},
                          {0xFFC0, 0x44C0, kData, 0, opToCcr},
                          {0xFFC0, 0x46C0, kData, 0, opToSr},
                          {0xFFC0, 0x4800, kDataAlt, 0, opNbcd},
                          {0xFFC0, 0x4840, kControl, 0, opPea},
                          {0xFFC0, 0x4880, kCtrlAlt | kPre, 0, opMovemToMem<2>},
                          {0xFFC0, 0x48C0, kCtrlAlt | kPre, 0, opMovemToMem<4>},
                          {0xFFC0, 0x4C80, kControl | kPost, 0, opMovemToRegs<2>},
                          {0xFFC0, 0x4CC0, kControl | kPost, 0, opMovemToRegs<4>},
                          {0xFFC0, 0x4AC0, kDataAlt, 0, opTas},
                          {0xFFC0, 0x4C00, kData, 0, opMulL},
                          {0xFFC0, 0x4C40, kData, 0, opDivL},
                          {0xFFC0, 0x4E80, kControl, 0, opJsr},
                          {0xFFC0, 0x4EC0, kControl, 0, opJmp},
                          {0xF1C0, 0x4100, kData, 0, opChk<4>},
                          {0xF1C0, 0x4180, kData, 0, opChk<2>},
                          {0xF1C0, 0x41C0, kControl, 0, opLea},
                          {0xF000, 0x6000, 0, 0, nullptr, kBccConditions.data(), Row::Condition},
                          {0xF100, 0x7000, 0, 0, opMoveq},
                          {0xF1C0, 0x80C0, kData, 0, opDivW<false>},
                          {0xF1C0, 0x81C0, kData, 0, opDivW<true>},
                          {0xF1F0, 0x8100, 0, 0, opBcd<false>},
                          {0xF1F0, 0xC100, 0, 0, opBcd<true>},
                          {0xF1C0, 0xC0C0, kData, 0, opMulW<false>},
                          {0xF1C0, 0xC1C0, kData, 0, opMulW<true>},
                          {0xF1F8, 0xC140, 0, 0, opExg},
                          {0xF1F8, 0xC148, 0, 0, opExg},
                          {0xF1F8, 0xC188, 0, 0, opExg},
                          {0xF1C0, 0x90C0, kAll, 0, nullptr, kSubaModes<2>.data()},
                          {0xF1C0, 0x91C0, kAll, 0, nullptr, kSubaModes<4>.data()},
                          {0xF1C0, 0xB0C0, kAll, 0, nullptr, kCmpaModes<2>.data()},
                          {0xF1C0, 0xB1C0, kAll, 0, nullptr, kCmpaModes<4>.data()},
                          {0xF1C0, 0xD0C0, kAll, 0, nullptr, kAddaModes<2>.data()},
                          {0xF1C0, 0xD1C0, kAll, 0, nullptr, kAddaModes<4>.data()},
                          {0xFFC0, 0xE0C0, kMemAlt, 0, opShiftMem<0, false>},
                          {0xFFC0, 0xE1C0, kMemAlt, 0, opShiftMem<0, true>},
                          {0xFFC0, 0xE2C0, kMemAlt, 0, opShiftMem<1, false>},
                          {0xFFC0, 0xE3C0, kMemAlt, 0, opShiftMem<1, true>},
                          {0xFFC0, 0xE4C0, kMemAlt, 0, opShiftMem<2, false>},
                          {0xFFC0, 0xE5C0, kMemAlt, 0, opShiftMem<2, true>},
                          {0xFFC0, 0xE6C0, kMemAlt, 0, opShiftMem<3, false>},
                          {0xFFC0, 0xE7C0, kMemAlt, 0, opShiftMem<3, true>},
                          {0xFFC0, 0xF800, 0, 0, opTableOrLpstop},
                      });
    addSized<1>(t);
    addSized<2>(t);
    addSized<4>(t);
    t.insert(t.end(), {
                          {0xF000, 0xA000, 0, 0, opLineA},
                          {0xF000, 0xF000, 0, 0, opLineF},
                      });
    return t;
}

bool matches(const Row& row, uint16_t op) {
    if ((op & row.mask) != row.match) return false;
    if (row.ea && !(eaBit(eaMode(op), eaReg(op)) & row.ea)) return false;
    if (row.dstEa && !(eaBit((op >> 6) & 7, regHi(op)) & row.dstEa)) return false;
    return true;
}

std::array<Handler, 65536> buildTable() {
    std::array<Handler, 65536> table{};
    const std::vector<Row> rows = buildRows();
    for (uint32_t op = 0; op < 65536; ++op) {
        table[op] = opIllegal;
        for (const Row& row : rows) {
            if (matches(row, uint16_t(op))) {
                if (!row.instances)
                    table[op] = row.handler;
                else if (row.by == Row::MoveModes)
                    table[op] = row.instances[eaMode(uint16_t(op)) + 8 * ((op >> 6) & 7)];
                else if (row.by == Row::Condition)
                    table[op] = row.instances[(op >> 8) & 15];
                else
                    table[op] = row.instances[eaMode(uint16_t(op))];
                break;
            }
        }
    }
    return table;
}

}  // namespace

const std::array<Handler, 65536>& Machine::table() {
    static const std::array<Handler, 65536> t = buildTable();
    return t;
}

}  // namespace cpu32
