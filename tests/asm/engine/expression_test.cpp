// Expression values and diagnostics, evaluated directly and seen through EQU and DC lines.
#include <gtest/gtest.h>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/expression.h"
#include "engine_harness.h"

namespace qubrix::test {
namespace {

struct EvalCase {
    const char* text;
    int32_t value;
    int code;  // pass-2 code raised by the evaluation
};

// Evaluates text in pass 2 of an empty run.
EvalCase Evaluate(const char* text) {
    RunContext ctx;
    ctx.sections.emplace(0x802000, 0x803000);
    ctx.pass = 1;
    ErreurAsm err;
    int32_t v = 0;
    bool known = true;
    const char* end = EvalExpression(ctx, text, v, known, err);
    (void)end;
    return {text, v, err.LitCode()};
}

TEST(Expression, ValuesPrecedenceAndDiagnostics) {
    // clang-format off
    const EvalCase cases[] = {
        {"1+2*3", 7, 0},
        {"1<<2+1", 5, 0},        // shift binds tighter than plus
        {"6!1&3", 3, 0},         // or and and share a level, left to right
        {"7\\-2", 1, 0},
        {"-7/2", -3, 0},
        {"-7\\2", -1, 0},
        {"-8>>1", -4, 0},
        {"-2*3", -6, 0},
        {"~0", -1, 0},
        {"(1+2)*3", 9, 0},
        {"$FF", 255, 0},
        {"$FFFFFFFF", -1, 0},
        {"4294967295", -1, 0},
        {"$100000000", 0, kWarnNumberTooLong},
        {"4294967296", 0, kWarnNumberTooLong},
        {"%101", 5, 0},
        {"@17", 15, 0},
        {"'A'", 0x41, 0},
        {"'AB'", 0x4142, 0},
        {"'ABC'", 0x41424300, 0},
        {"'A''B'", 0x41274200, 0},
        {"'ABCDE'", 0x42434445, kWarnAsciiTooLong},
        {"'\xE9'", 0xE9, 0},
        {"1/0", 0, kErrZeroDivision},
        {"5\\0", 0, kErrZeroDivision},
        {"-2147483648/-1", INT32_MIN, 0},
        {"-2147483648\\-1", 0, 0},
        {"1<2", 0, kErrSyntax},
        {"+3", 0, kErrSyntax},
        {"%102", 0, kErrSyntax},
        {"@8", 0, kErrSyntax},
        {"$", 0, kErrSyntax},
        {"''", 0, kErrSyntax},
        {"'AB", 0, kErrSyntax},  // no closing quote
        {"NOWHERE+1", 0, kErrUndefinedSymbol},
        {"1 + 2", 1, 0},  // a blank ends the expression
        {"1<<33", 2, 0},  // the count is taken modulo 32
    };
    // clang-format on
    for (const EvalCase& c : cases) {
        EvalCase got = Evaluate(c.text);
        EXPECT_EQ(got.code, c.code) << c.text;
        if (c.code < 0x400) {
            EXPECT_EQ(got.value, c.value) << c.text;
        }
    }
}

TEST(Expression, DeepNestingIsRefusedNotRecursedForever) {
    std::string deep(100000, '(');
    EXPECT_EQ(Evaluate(deep.c_str()).code, kErrSyntax);
    std::string minus(100000, '-');
    minus += "1";
    EXPECT_EQ(Evaluate(minus.c_str()).code, kErrSyntax);
}

TEST(Expression, ReferencesSymbolsAndRegisterLists) { RunLineCases("expressions.txt"); }

}  // namespace
}  // namespace qubrix::test
