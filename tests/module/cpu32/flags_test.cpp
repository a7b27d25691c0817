// Condition code helpers of the CPU32 core on boundary values, expectations from the
// processor's flag definitions.
#include "cpu32/flags.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "../../support/table.h"

using namespace cpu32::flags;

namespace {

// Flags written XNZVC, "-" for none.
uint8_t ccrOf(const std::string& text) {
    uint8_t ccr = 0;
    for (char c : text) ccr |= c == 'X' ? X : c == 'N' ? N : c == 'Z' ? Z : c == 'V' ? V : c == 'C' ? C : 0;
    return ccr;
}

// The result and flags of an operation of size S: add, addx (as ADDX computes them), sub and
// cmp take source, destination and result; shifts and rotates take value and count; all take
// the flags before.
template <int S> Shifted apply(const std::string& op, uint32_t a, uint32_t b, uint8_t ccr, uint32_t result) {
    if (op == "add") return {result, add<S>(a, b, result)};
    if (op == "addx") return {result, extended(add<S>(a, b, result), ccr)};
    if (op == "sub") return {result, sub<S>(a, b, result)};
    if (op == "cmp") return {result, cmp<S>(a, b, result, ccr)};
    static const std::map<std::string, Shifted (*)(uint32_t, unsigned, uint8_t)> shifts = {
        {"asl", asl<S>}, {"asr", asr<S>}, {"lsl", lsl<S>},   {"lsr", lsr<S>},
        {"rol", rol<S>}, {"ror", ror<S>}, {"roxl", roxl<S>}, {"roxr", roxr<S>}};
    return shifts.at(op)(a, b, ccr);
}

TEST(Flags, ArithmeticCompareShiftsAndRotatesOnBoundaries) {
    for (const korvan::test::Row& row : korvan::test::readTable(KORVAN_CPU32_TEST_DATA "/flags.txt", 8)) {
        SCOPED_TRACE(row[0]);
        using korvan::test::hex;
        const uint32_t a = hex(row[3]), b = hex(row[4]), result = hex(row[6]);
        const uint8_t before = ccrOf(row[5]);
        const Shifted got = row[2] == "1"   ? apply<1>(row[1], a, b, before, result)
                            : row[2] == "2" ? apply<2>(row[1], a, b, before, result)
                                            : apply<4>(row[1], a, b, before, result);
        EXPECT_EQ(got.result, result);
        EXPECT_EQ(got.ccr, ccrOf(row[7]));
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
