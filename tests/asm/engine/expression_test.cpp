// Expression values and diagnostics, evaluated directly and seen through EQU and DC lines.
#include <gtest/gtest.h>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/expression.h"
#include "engine_harness.h"
#include "test_files.h"

#include <sstream>

namespace qubrix::test {
namespace {

struct Evaluated {
    int32_t value;
    int code;  // pass-2 code raised by the evaluation
};

// Evaluates text in pass 2 of an empty run.
Evaluated Evaluate(const char* text) {
    RunContext ctx;
    ctx.sections.emplace(0x802000, 0x803000);
    ctx.pass = 1;
    ErreurAsm err;
    int32_t v = 0;
    bool known = true;
    EvalExpression(ctx, text, v, known, err);
    return {v, err.LitCode()};
}

TEST(Expression, ValuesPrecedenceAndDiagnostics) {
    for (const Case& c : ReadCases(QUBRIX_ENGINE_DATA "/expression_values.txt")) {
        for (const std::string& eval : c.all("eval")) {
            const std::size_t equals = eval.rfind(" = ");
            std::istringstream want(eval.substr(equals + 3));
            std::string value, code;
            want >> value >> code;
            const Evaluated got = Evaluate(eval.substr(0, equals).c_str());
            EXPECT_EQ(got.code, code.empty() ? 0 : CodeNamed(code)) << eval;
            if (value != "-") {
                EXPECT_EQ(got.value, static_cast<int32_t>(std::stoll(value, nullptr, 0))) << eval;
            }
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
