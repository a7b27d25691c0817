// Condition code helpers of the CPU32 core on boundary values, expectations from the
// processor's flag definitions.
#include "cpu32/flags.h"

#include <gtest/gtest.h>

using namespace cpu32::flags;

namespace {

struct ArithRow {
    const char* name;
    int size;
    uint32_t s, d;
    uint8_t ccr;  // expected X N Z V C
};

template <int S> uint8_t addOf(uint32_t s, uint32_t d) { return add<S>(s, d, (s + d) & mask<S>()); }
template <int S> uint8_t subOf(uint32_t s, uint32_t d) { return sub<S>(s, d, (d - s) & mask<S>()); }

uint8_t dispatch(bool isAdd, int size, uint32_t s, uint32_t d) {
    switch (size) {
    case 1: return isAdd ? addOf<1>(s, d) : subOf<1>(s, d);
    case 2: return isAdd ? addOf<2>(s, d) : subOf<2>(s, d);
    default: return isAdd ? addOf<4>(s, d) : subOf<4>(s, d);
    }
}

TEST(Flags, AddOnBoundaries) {
    // clang-format off
    const ArithRow rows[] = {
        {"zero plus zero", 1, 0x00, 0x00, Z},
        {"byte signed overflow", 1, 0x01, 0x7F, N | V},
        {"byte carry to zero", 1, 0x01, 0xFF, X | Z | C},
        {"byte negative overflow", 1, 0x80, 0x80, X | Z | V | C},
        {"word carry, no overflow", 2, 0xFFFF, 0x0002, X | C},
        {"word overflow", 2, 0x4000, 0x4000, N | V},
        {"long overflow to minimum", 4, 1, 0x7FFFFFFF, N | V},
        {"long carry out", 4, 0x80000000, 0x80000001, X | V | C},
        {"long minus one plus one", 4, 0xFFFFFFFF, 1, X | Z | C},
    };
    // clang-format on
    for (const auto& r : rows) EXPECT_EQ(dispatch(true, r.size, r.s, r.d), r.ccr) << r.name;
}

TEST(Flags, SubtractOnBoundaries) {
    // clang-format off
    const ArithRow rows[] = {
        {"equal operands", 1, 0x42, 0x42, Z},
        {"byte borrow", 1, 0x01, 0x00, X | N | C},
        {"byte overflow from minimum", 1, 0x01, 0x80, V},
        {"byte positive minus negative", 1, 0x80, 0x7F, X | N | V | C},
        {"word borrow", 2, 0x8000, 0x7FFF, X | N | V | C},
        {"long from zero", 4, 0x80000000, 0, X | N | V | C},
        {"long no borrow", 4, 1, 0x80000000, V},
    };
    // clang-format on
    for (const auto& r : rows) EXPECT_EQ(dispatch(false, r.size, r.s, r.d), r.ccr) << r.name;
}

TEST(Flags, CompareKeepsXAndExtendedKeepsZOnlyWhenZero) {
    EXPECT_EQ(cmp<1>(0x01, 0x00, 0xFF, X), X | N | C);
    EXPECT_EQ(cmp<1>(0x01, 0x01, 0x00, 0), Z);
    EXPECT_EQ(cmp<2>(0x0001, 0x0002, 0x0001, X | Z), X);
    // Multi-precision: a zero result leaves Z as it was, a non-zero result clears it.
    EXPECT_EQ(extended(Z | C | X, 0), C | X);
    EXPECT_EQ(extended(Z, Z), Z);
    EXPECT_EQ(extended(N, Z), N);
}

struct ShiftRow {
    const char* name;
    Shifted (*fn)(uint32_t, unsigned, uint8_t);
    uint32_t v;
    unsigned n;
    uint8_t ccrIn;
    uint32_t result;
    uint8_t ccr;
};

TEST(Flags, ShiftsAndRotates) {
    // clang-format off
    const ShiftRow rows[] = {
        {"asl by zero clears C keeps X", asl<1>, 0x81, 0, X | C, 0x81, X | N},
        {"asl sign change sets V", asl<1>, 0x40, 1, 0, 0x80, N | V},
        {"asl V when any of the top bits differ", asl<1>, 0x20, 2, 0, 0x80, N | V},
        {"asl no V when top bits equal", asl<1>, 0xE0, 2, 0, 0x80, X | N | C},
        {"asl by the width clears", asl<2>, 0x0001, 16, 0, 0x0000, X | Z | V | C},
        {"asl beyond the width", asl<2>, 0x8000, 17, 0, 0x0000, Z | V},
        {"asr keeps the sign", asr<1>, 0x81, 1, 0, 0xC0, X | N | C},
        {"asr beyond the width", asr<4>, 0x80000000, 40, 0, 0xFFFFFFFF, X | N | C},
        {"lsl last bit out", lsl<4>, 0x80000001, 1, 0, 0x00000002, X | C},
        {"lsl by exactly the width", lsl<1>, 0x01, 8, 0, 0x00, X | Z | C},
        {"lsr beyond the width", lsr<1>, 0xFF, 9, X, 0x00, Z},
        {"lsr by zero", lsr<2>, 0x8000, 0, X | C, 0x8000, X | N},
        {"rol keeps X", rol<1>, 0x81, 1, X, 0x03, X | C},
        {"rol by the width", rol<2>, 0x8001, 16, 0, 0x8001, N | C},
        {"ror sets C from the new sign", ror<1>, 0x01, 1, 0, 0x80, N | C},
        {"roxl through X", roxl<1>, 0x80, 1, X, 0x01, X | C},
        {"roxl by zero copies X to C", roxl<1>, 0x00, 0, X, 0x00, X | Z | C},
        {"roxr nine bits is the identity", roxr<1>, 0x5A, 9, 0, 0x5A, 0},
        {"roxr long through X", roxr<4>, 0x00000001, 1, 0, 0x00000000, X | Z | C},
    };
    // clang-format on
    for (const auto& r : rows) {
        const Shifted s = r.fn(r.v, r.n, r.ccrIn);
        EXPECT_EQ(s.result, r.result) << r.name;
        EXPECT_EQ(s.ccr, r.ccr) << r.name;
    }
}

TEST(Flags, Conditions) {
    struct Row {
        unsigned cc;
        uint8_t ccr;
        bool taken;
    };
    // clang-format off
    const Row rows[] = {
        {2, 0, true},  {2, C, false}, {3, Z, true},  {4, X, true},   {5, C, true},      {6, Z, false},
        {7, Z, true},  {8, V, false}, {9, V, true},  {10, N, false}, {11, N, true},     {12, N | V, true},
        {13, N, true}, {14, 0, true}, {14, Z, false}, {15, V, true}, {15, N | V, false}, {1, 0x1F, false},
    };
    // clang-format on
    for (const auto& r : rows) EXPECT_EQ(condition(r.cc, r.ccr), r.taken) << "cc " << r.cc << " ccr " << int(r.ccr);
}

}  // namespace
