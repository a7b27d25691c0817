// The language engine line by line: dispatch, the encoder families' own rules (substitutions,
// branch forms, range checks), the directives and expressions, from the cases of the data folder
// whose expected bytes are written from the published CPU32 encodings; and a differential test
// against GNU as (m68k, CPU32, MRI syntax), which must give the same bytes for reference lines
// covering every encoder family and addressing mode.
#include <gtest/gtest.h>

#include <cstdlib>

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

// "eval TEXT = VALUE [CODE]", VALUE "-" when unchecked.
TEST(Expression, ValuesPrecedenceAndDiagnostics) {
    for (const Case& c : ReadCases(QUBRIX_ENGINE_DATA "/expression_values.txt")) {
        for (const std::string& eval : c.all("eval")) {
            std::istringstream want(eval.substr(eval.rfind(" = ") + 3));
            std::string value, code;
            want >> value >> code;
            const auto [got, gotCode] = Evaluate(eval.substr(0, eval.rfind(" = ")));
            EXPECT_EQ(gotCode, code.empty() ? 0 : CodeNamed(code)) << eval.substr(0, 80);
            if (value != "-") {
                EXPECT_EQ(got, static_cast<int32_t>(std::stoll(value, nullptr, 0))) << eval.substr(0, 80);
            }
        }
    }
}

// What GNU as makes of a source: the bytes of its .text section, empty when it refused it.
std::string GasBytes(const std::string& source) {
    TempDir dir;
    WriteFile(dir / "t.s", source);
    const std::string cmd = "m68k-linux-gnu-as -mcpu=cpu32 --mri -o " + (dir / "t.o") + " " + (dir / "t.s") +
                            " && m68k-linux-gnu-objcopy -O binary -j .text " + (dir / "t.o") + " " + (dir / "t.bin");
    return std::system(cmd.c_str()) == 0 ? ReadFile(dir / "t.bin") : "";
}

TEST(GasDifferential, EveryFamilyMatchesGnuAs) {
    if (std::system("m68k-linux-gnu-as --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "m68k-linux-gnu-as is not installed";
    std::vector<std::string> lines;
    std::string source;
    for (const korvan::test::Row& line : korvan::test::readTable(QUBRIX_ENGINE_DATA "/gas_lines.txt", 1))
        lines.push_back(line[0]), source += line[0] + "\n";
    ASSERT_GT(lines.size(), 200u);
    const std::string gas = GasBytes(source);
    ASSERT_FALSE(gas.empty()) << "GNU as refused the reference source";

    const Assembled ours = AssembleLines(lines, 0, 0x100000);
    std::size_t offset = 0;
    int mismatches = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineResult& r = ours.lines[i];
        EXPECT_EQ(r.code, 0) << lines[i];
        const std::string ref = gas.substr(std::min(offset, gas.size()), r.bytes.size());
        if (ref != std::string(r.bytes.begin(), r.bytes.end())) {
            ADD_FAILURE() << lines[i] << ": qubrix " << Hex(r.bytes) << ", GNU as " << Hex({ref.begin(), ref.end()});
            if (++mismatches > 5) return;  // later offsets are meaningless once lengths differ
        }
        offset += r.bytes.size();
    }
    EXPECT_EQ(offset, gas.size());
}

}  // namespace
}  // namespace qubrix::test
