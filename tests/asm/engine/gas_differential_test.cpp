// Differential test: instructions assembled by the engine and by GNU as (m68k, CPU32, MRI
// syntax) must give the same bytes. The lines, in the data folder, cover every encoder family
// and addressing mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "engine_harness.h"

namespace qubrix::test {
namespace {

std::vector<std::string> ReferenceLines() {
    std::ifstream in(QUBRIX_ENGINE_DATA "/gas_lines.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

bool HaveGas() { return std::system("m68k-linux-gnu-as --version > /dev/null 2>&1") == 0; }

std::string GasBytes(const std::string& source) {
    TempDir dir;
    WriteFile(dir / "t.s", source);
    const std::string cmd = "m68k-linux-gnu-as -mcpu=cpu32 --mri -o " + (dir / "t.o") + " " + (dir / "t.s") +
                            " && m68k-linux-gnu-objcopy -O binary -j .text " + (dir / "t.o") + " " + (dir / "t.bin");
    return std::system(cmd.c_str()) == 0 ? ReadFile(dir / "t.bin") : "";
}

TEST(GasDifferential, EveryFamilyMatchesGnuAs) {
    if (!HaveGas()) GTEST_SKIP() << "m68k-linux-gnu-as is not installed";
    const std::vector<std::string> lines = ReferenceLines();
    ASSERT_GT(lines.size(), 200u);
    std::string source;
    for (const std::string& l : lines) source += l + "\n";
    const std::string text = GasBytes(source);
    const std::vector<uint8_t> gas(text.begin(), text.end());
    ASSERT_FALSE(gas.empty()) << "GNU as refused the reference source";

    Assembled ours = AssembleLines(lines, 0, 0x100000);
    std::size_t offset = 0;
    int mismatches = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineResult& r = ours.lines[i];
        EXPECT_EQ(r.code, 0) << lines[i];
        std::size_t n = r.bytes.size();
        std::vector<uint8_t> ref(gas.begin() + static_cast<long>(std::min(offset, gas.size())),
                                 gas.begin() + static_cast<long>(std::min(offset + n, gas.size())));
        if (ref != r.bytes) {
            ADD_FAILURE() << lines[i] << ": qubrix " << Hex(r.bytes) << ", GNU as " << Hex(ref);
            if (++mismatches > 5) return;  // later offsets are meaningless once lengths differ
        }
        offset += n;
    }
    EXPECT_EQ(offset, gas.size());
}

}  // namespace
}  // namespace qubrix::test
