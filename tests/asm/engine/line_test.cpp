// The engine line by line: dispatch, the encoder families' own rules (substitutions, branch
// forms, range checks), the directives and expressions. The cases are in the data folder; their
// expected bytes are written from the published CPU32 encodings.
#include <gtest/gtest.h>

#include "engine/expression.h"
#include "engine_harness.h"

namespace qubrix::test {
namespace {

class LineCases : public ::testing::TestWithParam<std::string> {};

TEST_P(LineCases, BytesCodesAndLocations) { RunLineCases(GetParam() + ".txt"); }

INSTANTIATE_TEST_SUITE_P(Engine, LineCases,
                         ::testing::Values("dispatch", "aliases", "encoders", "branches", "directives", "locations",
                                           "expressions"),
                         [](const auto& info) { return info.param; });

TEST(Directives, EndStopsThePass) {
    const Assembled a = AssembleLines({" NOP", " END", " NOP"});
    EXPECT_EQ(a.lines.size(), 2u);
    EXPECT_EQ(a.memory.size(), 2u);
}

// The value and pass-2 code of an expression in an empty run.
std::pair<int32_t, int> Evaluate(const std::string& text) {
    RunContext ctx;
    ctx.sections.emplace(0x802000, 0x803000);
    ctx.pass = 1;
    ErreurAsm err;
    int32_t value = 0;
    bool known = true;
    EvalExpression(ctx, text.c_str(), value, known, err);
    return {value, err.LitCode()};
}

// "eval TEXT = VALUE [CODE]", VALUE "-" when unchecked; nesting too deep for the parser's stack
// is refused, not recursed into.
TEST(Expression, ValuesPrecedenceAndDiagnostics) {
    for (const Case& c : ReadCases(QUBRIX_ENGINE_DATA "/expression_values.txt")) {
        for (const std::string& eval : c.all("eval")) {
            std::istringstream want(eval.substr(eval.rfind(" = ") + 3));
            std::string value, code;
            want >> value >> code;
            const auto [got, gotCode] = Evaluate(eval.substr(0, eval.rfind(" = ")));
            EXPECT_EQ(gotCode, code.empty() ? 0 : CodeNamed(code)) << eval;
            if (value != "-") {
                EXPECT_EQ(got, static_cast<int32_t>(std::stoll(value, nullptr, 0))) << eval;
            }
        }
    }
    EXPECT_EQ(Evaluate(std::string(100000, '(')).second, kErrSyntax);
    EXPECT_EQ(Evaluate(std::string(100000, '-') + "1").second, kErrSyntax);
}

}  // namespace
}  // namespace qubrix::test
