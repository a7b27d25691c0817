// A whole run without user interface: derived file names, the working directory, message.txt,
// open failures of sources and includes, and output failures that end the run as failed
// instead of ending the process.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/run.h"
#include "test_files.h"

using qubrix::AssemblyRun;
using qubrix::RunSettings;
using qubrix::test::ChangeDir;
using qubrix::test::CrLfLines;
using qubrix::test::FileExists;
using qubrix::test::ReadFile;
using qubrix::test::TempDir;
using qubrix::test::WriteFile;

namespace {

TEST(OutputBaseTest, OnlyTheLastComponentsExtensionGoes)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/home/eleve/tp/main.asm", "/home/eleve/tp/main"},
        {"/home/eleve/proj.old/prog.asm", "/home/eleve/proj.old/prog"},
        {"/home/eleve/proj.old/prog", "/home/eleve/proj.old/prog"},
        {"prog", "prog"},
        {"prog.tar.asm", "prog.tar"},
        {"./prog.s", "./prog"},
        {"dir/.asm", "dir/.asm"},
        {"prog.", "prog"},
        {"", ""},
    };
    for (auto [path, base] : cases)
        EXPECT_EQ(qubrix::OutputBase(path), base) << path;
}

TEST(WorkingDirectoryTest, SeparatorIsAppendedOnce)
{
    const std::string saved = qubrix::WorkingDirectory();
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"/src", "/src/"}, {"/src/", "/src/"}, {"rel", "rel/"}};
    for (auto [dir, stored] : cases) {
        qubrix::SetWorkingDirectory(dir);
        EXPECT_EQ(qubrix::WorkingDirectory(), stored) << dir;
    }
    qubrix::SetWorkingDirectory(saved);
}

// Runs one source through every step in the order the library's callers use.
struct RunResult {
    int errors = 0;
    int warnings = 0;
    bool failed = false;
    std::string failure;
    std::vector<ErreurAsm> diagnostics;  // newest first, with texts
    std::vector<std::string> texts;
};

RunResult Assemble(const std::string& source, const RunSettings& settings = {})
{
    RunResult r;
    ListErreur list;
    {
        AssemblyRun run(settings, &list);
        run.openFiles(source);
        run.runPasses();
        run.writeSummary();
        r.errors = run.errorCount();
        r.warnings = run.warningCount();
        r.failed = run.failed();
        r.failure = run.failureMessage();
    }
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur()) {
        r.diagnostics.push_back(*e);
        r.texts.push_back(e->LitErreur());
    }
    return r;
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedLanguage = qubrix::CatalogueLanguage();
        m_savedWorkDir = qubrix::WorkingDirectory();
        qubrix::SetCatalogueLanguage(qubrix::Language::English);
        qubrix::SetWorkingDirectory("");
    }
    void TearDown() override
    {
        qubrix::SetCatalogueLanguage(m_savedLanguage);
        qubrix::SetWorkingDirectory(m_savedWorkDir);
    }

    TempDir m_dir;
    ChangeDir m_cwd{m_dir.path()};
    qubrix::Language m_savedLanguage = qubrix::Language::French;
    std::string m_savedWorkDir;
};

const std::string kDefaultMap = "Nom\tdebut\tfin\ttaille";

TEST_F(RunTest, EmptySourceGivesEmptyOutputsAndTheMap)
{
    WriteFile(m_dir / "e.asm", "");
    const RunResult r = Assemble(m_dir / "e.asm");
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(r.warnings, 0);
    EXPECT_FALSE(r.failed);
    EXPECT_TRUE(r.diagnostics.empty());
    EXPECT_EQ(CrLfLines(ReadFile("message.txt")),
              (std::vector<std::string>{" Assemblage du fichier : " + (m_dir / "e.asm"), "", kDefaultMap,
                                        "VAR\t803000\t803000\t0", "CODE\t802000\t802000\t0"}));
    EXPECT_EQ(CrLfLines(ReadFile(m_dir / "e.abs")),
              (std::vector<std::string>{"S004000020DB", "S5030000FC", "S9030000FC", "S705008020005A"}));
    EXPECT_EQ(CrLfLines(ReadFile(m_dir / "e.lis")),
              (std::vector<std::string>{"00802000 " + std::string(32, ' ') + "    1\t",
                                        "No errors detected", "No warnings generated"}));
}

TEST_F(RunTest, ListingOffWritesNoListing)
{
    WriteFile(m_dir / "n.asm", "");
    RunSettings settings;
    settings.listing = false;
    Assemble(m_dir / "n.asm", settings);
    EXPECT_FALSE(FileExists(m_dir / "n.lis"));
    EXPECT_TRUE(FileExists(m_dir / "n.abs"));
}

TEST_F(RunTest, SectionOriginsComeFromTheSettings)
{
    WriteFile(m_dir / "o.asm", "");
    RunSettings settings;
    settings.codeOrigin = 0x1000;
    settings.varOrigin = 0x4000;
    Assemble(m_dir / "o.asm", settings);
    const auto message = CrLfLines(ReadFile("message.txt"));
    ASSERT_EQ(message.size(), 5u);
    EXPECT_EQ(message[3], "VAR\t4000\t4000\t0");
    EXPECT_EQ(message[4], "CODE\t1000\t1000\t0");
    EXPECT_EQ(CrLfLines(ReadFile(m_dir / "o.abs")).back(), "S70500001000EA");
}

TEST_F(RunTest, MissingIncludeIsOneErrorAtTheIncludeLineAndNoPass)
{
    WriteFile(m_dir / "m.asm", "\tnop\n\tinclude nothere.asm\n");
    const RunResult r = Assemble(m_dir / "m.asm");
    EXPECT_EQ(r.errors, 1);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].LitCode(), 0x406);
    EXPECT_EQ(r.diagnostics[0].LitLigne(), 2);
    EXPECT_EQ(r.diagnostics[0].LitFichier(), m_dir / "m.asm");
    EXPECT_EQ(r.texts[0], "ERROR :  Impossible to open file");
    EXPECT_EQ(CrLfLines(ReadFile("message.txt")),
              (std::vector<std::string>{" Assemblage du fichier : " + (m_dir / "m.asm"),
                                        "Impossible d'ouvrir les fichier!", "", kDefaultMap,
                                        "VAR\t803000\t803000\t0", "CODE\t802000\t802000\t0"}));
    EXPECT_EQ(CrLfLines(ReadFile(m_dir / "m.lis")),
              (std::vector<std::string>{"1 error detected", "No warnings generated"}));
}

TEST_F(RunTest, MissingSourceIsReportedAtLineZero)
{
    const RunResult r = Assemble(m_dir / "gone.asm");
    EXPECT_EQ(r.errors, 1);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].LitLigne(), 0);
    EXPECT_EQ(r.diagnostics[0].LitFichier(), m_dir / "gone.asm");
}

TEST_F(RunTest, TooDeepIncludeIsReportedWithTheRunningErrorCount)
{
    WriteFile(m_dir / "self.asm", "\tnop\n\tinclude self.asm\n");
    const RunResult r = Assemble(m_dir / "self.asm");
    EXPECT_EQ(r.errors, 1);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].LitCode(), 0x406);
    EXPECT_EQ(r.diagnostics[0].LitLigne(), 2);
    const auto message = CrLfLines(ReadFile("message.txt"));
    ASSERT_GE(message.size(), 2u);
    EXPECT_EQ(message[1], "Erreur 1: Trop de fichier Include (Max 15)");
}

TEST_F(RunTest, IncludeIsFoundInTheWorkingDirectory)
{
    TempDir work;
    WriteFile(work / "Defs.Inc", "\n");
    WriteFile(m_dir / "w.asm", "\tinclude defs.inc\n");
    qubrix::SetWorkingDirectory(work.path().substr(0, work.path().size() - 1));
    const RunResult r = Assemble(m_dir / "w.asm");
    EXPECT_EQ(r.errors, 0);
}

TEST_F(RunTest, OutputsThatCannotBeCreatedAreReportedAndTheRunGoesOn)
{
    WriteFile(m_dir / "c.asm", "");
    std::filesystem::create_directory(m_dir / "c.lis");
    std::filesystem::create_directory(m_dir / "c.abs");
    const RunResult r = Assemble(m_dir / "c.asm");
    EXPECT_EQ(r.errors, 0);
    EXPECT_FALSE(r.failed);
    const auto message = CrLfLines(ReadFile("message.txt"));
    ASSERT_GE(message.size(), 3u);
    EXPECT_EQ(message[1], "impossible d'ouvrir le fichier " + (m_dir / "c.lis"));
    EXPECT_EQ(message[2], "impossible d'ouvrir le fichier " + (m_dir / "c.abs"));
}

TEST_F(RunTest, SourceNamedLikeAnOutputIsNeverTruncated)
{
    WriteFile(m_dir / "keep.lis", "\n\n\n");
    const RunResult r = Assemble(m_dir / "keep.lis");
    EXPECT_EQ(ReadFile(m_dir / "keep.lis"), "\n\n\n");
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(CrLfLines(ReadFile("message.txt"))[1],
              "impossible d'ouvrir le fichier " + (m_dir / "keep.lis"));
}

TEST_F(RunTest, EmptySourcePathCreatesNoHiddenOutputs)
{
    const RunResult r = Assemble("");
    EXPECT_EQ(r.errors, 1);  // the source cannot be opened
    EXPECT_FALSE(std::filesystem::exists(".lis"));
    EXPECT_FALSE(std::filesystem::exists(".abs"));
    const auto message = CrLfLines(ReadFile("message.txt"));
    ASSERT_GE(message.size(), 3u);
    EXPECT_EQ(message[1], "impossible d'ouvrir le fichier .lis");
    EXPECT_EQ(message[2], "impossible d'ouvrir le fichier .abs");
}

TEST_F(RunTest, ListingWriteErrorFailsTheRunWithADiagnostic)
{
    WriteFile(m_dir / "full.asm", "\n");
    ASSERT_EQ(::symlink("/dev/full", (m_dir / "full.lis").c_str()), 0);
    const RunResult r = Assemble(m_dir / "full.asm");
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.failure.find("Error writing to listing file"), std::string::npos) << r.failure;
    EXPECT_EQ(r.errors, 1);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].LitCode(), 0x408);
    EXPECT_EQ(r.texts[0], "ERROR : Error writing to output file");
    const std::string message = ReadFile("message.txt");
    EXPECT_NE(message.find("Error writing to listing file " + (m_dir / "full.lis")), std::string::npos);
    EXPECT_TRUE(FileExists(m_dir / "full.abs")) << "the object file is complete and stays";
}

TEST_F(RunTest, ObjectWriteErrorFailsTheRun)
{
    WriteFile(m_dir / "full.asm", "\n");
    ASSERT_EQ(::symlink("/dev/full", (m_dir / "full.abs").c_str()), 0);
    const RunResult r = Assemble(m_dir / "full.asm");
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.failure.find("Error writing to object file"), std::string::npos) << r.failure;
    EXPECT_EQ(r.errors, 1);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].LitCode(), 0x408);
    EXPECT_EQ(r.diagnostics[0].LitLigne(), -1);
    // The listing summary is written after the object file, so it counts the failure.
    const auto listing = CrLfLines(ReadFile(m_dir / "full.lis"));
    ASSERT_GE(listing.size(), 2u);
    EXPECT_EQ(listing[listing.size() - 2], "1 error detected");
    EXPECT_FALSE(FileExists(m_dir / "full.abs")) << "an incomplete object file is removed";
}

TEST_F(RunTest, ListingWriteErrorDuringPassTwoStopsTheRunAtThatLine)
{
    std::string source;
    for (int i = 0; i < 20000; ++i)
        source += "* a comment that makes the listing large\n";
    WriteFile(m_dir / "big.asm", source);
    ASSERT_EQ(::symlink("/dev/full", (m_dir / "big.lis").c_str()), 0);
    const RunResult r = Assemble(m_dir / "big.asm");
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.errors, 1);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].LitCode(), 0x408);
    EXPECT_EQ(r.diagnostics[0].LitFichier(), m_dir / "big.asm");
    EXPECT_GT(r.diagnostics[0].LitLigne(), 1);
    EXPECT_LT(r.diagnostics[0].LitLigne(), 20000) << "the pass stops at the failing line";
    const auto message = CrLfLines(ReadFile("message.txt"));
    ASSERT_GE(message.size(), 4u);
    EXPECT_EQ(message[1].rfind("Error writing to listing file " + (m_dir / "big.lis"), 0), 0u) << message[1];
    EXPECT_EQ(message[3], kDefaultMap) << "the map is still written";
    EXPECT_FALSE(FileExists(m_dir / "big.abs")) << "the object file of a stopped run is removed";
}

TEST_F(RunTest, MessageFileIsRewrittenByEveryRun)
{
    WriteFile(m_dir / "a.asm", "");
    WriteFile(m_dir / "b.asm", "");
    Assemble(m_dir / "a.asm");
    Assemble(m_dir / "b.asm");
    EXPECT_EQ(CrLfLines(ReadFile("message.txt")).at(0), " Assemblage du fichier : " + (m_dir / "b.asm"));
}

}  // namespace
