// Golden whole runs: each case's sources are assembled in a fresh folder and every output is
// compared byte for byte with the expected files. The expected object code was checked against
// GNU as for m68k and the S-records against srec_info; the listing and message files follow
// their fixed layouts.
//
// A case folder holds main.asm (and any include files), an optional "options" file (the word
// "english" selects the English catalogue) and expected/{main.abs,main.lis,message.txt,
// diagnostics.txt}. "@DIR@" in the expected texts stands for the folder the case ran in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "driver/run.h"
#include "test_files.h"

namespace qubrix::test {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = QUBRIX_GOLDEN_CASES;

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCases, ec))
        if (fs::exists(entry.path() / "main.asm")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenRun : public ::testing::TestWithParam<std::string> {
protected:
    void TearDown() override {
        SetCatalogueLanguage(m_savedLanguage);
        fs::current_path(m_savedCwd);
    }

private:
    Language m_savedLanguage = CatalogueLanguage();
    fs::path m_savedCwd = fs::current_path();
};

TEST_P(GoldenRun, OutputsMatchByteForByte) {
    const fs::path source = kCases / GetParam();
    TempDir work;
    for (const auto& entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        if (name != "expected" && name != "options") fs::copy(entry.path(), work / name, fs::copy_options::recursive);
    }
    const bool english = ReadFile(source / "options").find("english") != std::string::npos;
    SetCatalogueLanguage(english ? Language::English : Language::French);
    SetWorkingDirectory("");
    fs::current_path(work.path());

    ListErreur list;
    {
        AssemblyRun run(RunSettings{}, &list);
        run.openFiles(work / "main.asm");
        run.runPasses();
        run.writeSummary();
        EXPECT_FALSE(run.failed()) << run.failureMessage();
    }
    std::string diagnostics;
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur()) {
        char code[16];
        std::snprintf(code, sizeof code, "%03X ", e->LitCode());
        diagnostics += code + std::to_string(e->LitLigne()) + " " + e->LitFichier() + " " + e->LitErreur() + "\n";
    }

    const std::pair<const char*, std::string> outputs[] = {
        {"main.abs", ReadFile(work / "main.abs")},
        {"main.lis", ReadFile(work / "main.lis")},
        {"message.txt", ReadFile(work / "message.txt")},
        {"diagnostics.txt", diagnostics},
    };
    const std::string dir = work.path().substr(0, work.path().size() - 1);
    for (const auto& [name, actual] : outputs) {
        ASSERT_TRUE(fs::exists(source / "expected" / name)) << name;
        EXPECT_EQ(Replace(ReadFile(source / "expected" / name), "@DIR@", dir), actual) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRun, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(GoldenCasesTest, CasesAreFound) { EXPECT_GE(CaseNames().size(), 5u) << kCases; }

}  // namespace
}  // namespace qubrix::test
