// Condition code computation of the CPU32: add, subtract, logic and shift results, by size.
#pragma once

#include <cstdint>

namespace cpu32::flags {

// Condition code register bits.
constexpr uint8_t C = 0x01, V = 0x02, Z = 0x04, N = 0x08, X = 0x10;

// Operand sizes in bytes; every helper is instantiated per size.
template <int S> constexpr uint32_t mask() { return S == 1 ? 0xFFu : S == 2 ? 0xFFFFu : 0xFFFFFFFFu; }
template <int S> constexpr uint32_t msb() { return S == 1 ? 0x80u : S == 2 ? 0x8000u : 0x80000000u; }
template <int S> constexpr int bits() { return S * 8; }
template <int S> constexpr int32_t signExtend(uint32_t v) {
    return S == 1 ? int32_t(int8_t(v)) : S == 2 ? int32_t(int16_t(v)) : int32_t(v);
}

template <int S> constexpr uint8_t nz(uint32_t r) {
    return uint8_t(((r & msb<S>()) ? N : 0) | ((r & mask<S>()) == 0 ? Z : 0));
}

// MOVE, AND, OR, EOR, NOT, CLR, TST, MUL...: N and Z from the result, V and C cleared, X kept.
template <int S> constexpr uint8_t logic(uint32_t r, uint8_t ccr) { return uint8_t((ccr & X) | nz<S>(r)); }

// r = d + s (+ X); all five flags.
template <int S> constexpr uint8_t add(uint32_t s, uint32_t d, uint32_t r) {
    const uint32_t m = msb<S>();
    const bool v = ((s ^ r) & (d ^ r) & m) != 0;
    const bool c = (((s & d) | (~r & (s | d))) & m) != 0;
    return uint8_t(nz<S>(r) | (v ? V : 0) | (c ? C | X : 0));
}

// r = d - s (- X); all five flags. Used by SUB, NEG (d = 0) and, without X, CMP.
template <int S> constexpr uint8_t sub(uint32_t s, uint32_t d, uint32_t r) {
    const uint32_t m = msb<S>();
    const bool v = ((s ^ d) & (r ^ d) & m) != 0;
    const bool c = (((s & ~d) | (r & ~d) | (s & r)) & m) != 0;
    return uint8_t(nz<S>(r) | (v ? V : 0) | (c ? C | X : 0));
}

// Compare: as sub, X kept.
template <int S> constexpr uint8_t cmp(uint32_t s, uint32_t d, uint32_t r, uint8_t ccr) {
    return uint8_t((ccr & X) | (sub<S>(s, d, r) & ~X));
}

// ADDX/SUBX/NEGX: Z is only ever cleared, so multi-precision chains test the whole number.
constexpr uint8_t extended(uint8_t computed, uint8_t ccr) { return uint8_t((computed & ~Z) | (computed & ccr & Z)); }

struct Shifted {
    uint32_t result;
    uint8_t ccr;
};

// Shifts and rotates by a count of 0..63. With a zero count C is cleared (ROXL/ROXR: C = X),
// X is kept and V cleared.
template <int S> constexpr Shifted asl(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    if (n == 0) return {v, uint8_t((ccr & X) | nz<S>(v))};
    const unsigned b = bits<S>();
    const uint32_t r = n >= b ? 0 : (v << n) & mask<S>();
    const bool c = n <= b && ((v >> (b - n)) & 1);
    // V: the sign bit changed at some point, that is the top n+1 bits were not all equal.
    bool ov;
    if (n >= b - 1) {
        ov = v != 0 && v != mask<S>();
        if (n >= b) ov = v != 0;
    } else {
        const uint32_t top = (mask<S>() << (b - 1 - n)) & mask<S>();
        ov = (v & top) != 0 && (v & top) != top;
    }
    return {r, uint8_t(nz<S>(r) | (ov ? V : 0) | (c ? C | X : 0))};
}

template <int S> constexpr Shifted asr(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    if (n == 0) return {v, uint8_t((ccr & X) | nz<S>(v))};
    const unsigned b = bits<S>();
    const int32_t sv = signExtend<S>(v);
    const uint32_t r = uint32_t(n >= b ? (sv < 0 ? -1 : 0) : sv >> n) & mask<S>();
    const bool c = n >= b ? sv < 0 : ((sv >> (n - 1)) & 1);
    return {r, uint8_t(nz<S>(r) | (c ? C | X : 0))};
}

template <int S> constexpr Shifted lsl(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    if (n == 0) return {v, uint8_t((ccr & X) | nz<S>(v))};
    const unsigned b = bits<S>();
    const uint32_t r = n >= b ? 0 : (v << n) & mask<S>();
    const bool c = n <= b && ((v >> (b - n)) & 1);
    return {r, uint8_t(nz<S>(r) | (c ? C | X : 0))};
}

template <int S> constexpr Shifted lsr(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    if (n == 0) return {v, uint8_t((ccr & X) | nz<S>(v))};
    const unsigned b = bits<S>();
    const uint32_t r = n >= b ? 0 : v >> n;
    const bool c = n <= b && ((v >> (n - 1)) & 1);
    return {r, uint8_t(nz<S>(r) | (c ? C | X : 0))};
}

template <int S> constexpr Shifted rol(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    if (n == 0) return {v, uint8_t((ccr & X) | nz<S>(v))};
    const unsigned b = bits<S>(), k = n % b;
    const uint32_t r = k == 0 ? v : ((v << k) | (v >> (b - k))) & mask<S>();
    return {r, uint8_t((ccr & X) | nz<S>(r) | ((r & 1) ? C : 0))};
}

template <int S> constexpr Shifted ror(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    if (n == 0) return {v, uint8_t((ccr & X) | nz<S>(v))};
    const unsigned b = bits<S>(), k = n % b;
    const uint32_t r = k == 0 ? v : ((v >> k) | (v << (b - k))) & mask<S>();
    return {r, uint8_t((ccr & X) | nz<S>(r) | ((r & msb<S>()) ? C : 0))};
}

// Rotates through X: a (bits+1)-wide rotation, one bit at a time (counts are small).
template <int S> constexpr Shifted roxl(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    bool x = ccr & X;
    for (unsigned i = 0; i < n % (bits<S>() + 1); ++i) {
        const bool out = v & msb<S>();
        v = ((v << 1) | (x ? 1 : 0)) & mask<S>();
        x = out;
    }
    return {v, uint8_t(nz<S>(v) | (x ? C : 0) | (n == 0 ? (ccr & X) : (x ? X : 0)))};
}

template <int S> constexpr Shifted roxr(uint32_t v, unsigned n, uint8_t ccr) {
    v &= mask<S>();
    bool x = ccr & X;
    for (unsigned i = 0; i < n % (bits<S>() + 1); ++i) {
        const bool out = v & 1;
        v = (v >> 1) | (x ? msb<S>() : 0);
        x = out;
    }
    return {v, uint8_t(nz<S>(v) | (x ? C : 0) | (n == 0 ? (ccr & X) : (x ? X : 0)))};
}

// Condition tests of Bcc, DBcc, Scc and TRAPcc, cc 0..15 (T, F, HI, LS, CC, CS, NE, EQ, VC,
// VS, PL, MI, GE, LT, GT, LE), on the four flags or on a CCR value.
[[gnu::always_inline]] constexpr bool condition(unsigned cc, bool c, bool v, bool z, bool n) {
    switch (cc & 15) {
    case 0: return true;
    case 1: return false;
    case 2: return !c && !z;
    case 3: return c || z;
    case 4: return !c;
    case 5: return c;
    case 6: return !z;
    case 7: return z;
    case 8: return !v;
    case 9: return v;
    case 10: return !n;
    case 11: return n;
    case 12: return n == v;
    case 13: return n != v;
    case 14: return !z && n == v;
    default: return z || n != v;
    }
}
constexpr bool condition(unsigned cc, uint8_t ccr) { return condition(cc, ccr & C, ccr & V, ccr & Z, ccr & N); }

}  // namespace cpu32::flags
