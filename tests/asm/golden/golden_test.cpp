// Golden whole runs: each case's sources are assembled in a fresh folder and every output is
// compared byte for byte with the expected files. The expected object code was checked against
// GNU as for m68k and the S-records against srec_info; the listing and message files follow
// their fixed layouts.
//
// A case folder holds main.asm (and any include files), an optional "options" file (the word
// "english" selects the English catalogue) and expected/{main.abs,main.lis,message.txt,
// diagnostics.txt}. "@DIR@" in the expected texts stands for the folder the case ran in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCases = QUBRIX_GOLDEN_CASES;

std::vector<std::string> CaseNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCases, ec))
        if (entry.is_directory() && fs::exists(entry.path() / "main.asm"))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Points at the first difference, with the lines around it made visible.
std::string Difference(const std::string& expected, const std::string& actual)
{
    const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const std::size_t at = static_cast<std::size_t>(mismatch.first - expected.begin());
    auto lineAround = [at](const std::string& s) {
        const std::size_t from = s.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t start = from == std::string::npos ? 0 : from + 1;
        std::size_t end = s.find('\n', at);
        end = end == std::string::npos ? s.size() : end + 1;
        std::string line = start < s.size() ? s.substr(start, end - start) : std::string();
        line = Replace(line, "\r", "\\r");
        return Replace(line, "\n", "\\n");
    };
    std::ostringstream out;
    out << "first difference at byte " << at << "\n  expected: " << lineAround(expected)
        << "\n  actual:   " << lineAround(actual);
    return out.str();
}

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "qubrix-golden-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

class GoldenRun : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        m_savedLanguage = qubrix::CatalogueLanguage();
        m_savedWorkDir = qubrix::WorkingDirectory();
        m_savedCwd = fs::current_path();
    }
    void TearDown() override
    {
        qubrix::SetCatalogueLanguage(m_savedLanguage);
        qubrix::SetWorkingDirectory(m_savedWorkDir);
        fs::current_path(m_savedCwd);
    }

private:
    qubrix::Language m_savedLanguage = qubrix::Language::French;
    std::string m_savedWorkDir;
    fs::path m_savedCwd;
};

TEST_P(GoldenRun, OutputsMatchByteForByte)
{
    const fs::path source = kCases / GetParam();
    TempFolder work;
    for (const auto& entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        if (name != "expected" && name != "options")
            fs::copy(entry.path(), work.path() / name, fs::copy_options::recursive);
    }
    const bool english = ReadFile(source / "options").find("english") != std::string::npos;
    qubrix::SetCatalogueLanguage(english ? qubrix::Language::English : qubrix::Language::French);
    qubrix::SetWorkingDirectory("");
    fs::current_path(work.path());

    const std::string dir = work.path().string();
    ListErreur list;
    {
        qubrix::AssemblyRun run(qubrix::RunSettings{}, &list);
        run.openFiles(dir + "/main.asm");
        run.runPasses();
        run.writeSummary();
        EXPECT_FALSE(run.failed()) << run.failureMessage();
    }
    std::string diagnostics;
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur()) {
        char code[16];
        std::snprintf(code, sizeof code, "%03X", e->LitCode());
        diagnostics += std::string(code) + " " + std::to_string(e->LitLigne()) + " " +
                       e->LitFichier() + " " + e->LitErreur() + "\n";
    }

    const fs::path expected = source / "expected";
    struct Output {
        const char* name;
        std::string actual;
    };
    const Output outputs[] = {
        {"main.abs", ReadFile(work.path() / "main.abs")},
        {"main.lis", ReadFile(work.path() / "main.lis")},
        {"message.txt", ReadFile(work.path() / "message.txt")},
        {"diagnostics.txt", diagnostics},
    };
    for (const Output& out : outputs) {
        ASSERT_TRUE(fs::exists(expected / out.name)) << out.name;
        const std::string want = Replace(ReadFile(expected / out.name), "@DIR@", dir);
        EXPECT_TRUE(want == out.actual) << GetParam() << "/" << out.name << ": "
                                        << Difference(want, out.actual);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRun, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(GoldenCasesTest, CasesAreFound)
{
    EXPECT_GE(CaseNames().size(), 5u) << kCases;
}

}  // namespace
