// Whole runs without user interface: the golden runs, compared byte for byte, then derived file
// names, outputs that cannot be created or written (the run fails instead of the process, the
// source is never truncated, an incomplete object file is removed) and the self-include message,
// whose runs are in the data folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "driver/run.h"
#include "test_files.h"

namespace qubrix::test {
namespace {

namespace fs = std::filesystem;

// Puts the current folder (where message.txt goes) and the catalogue language back.
struct Restore {
    fs::path dir = fs::current_path();
    Language lang = CatalogueLanguage();
    ~Restore() { fs::current_path(dir), SetCatalogueLanguage(lang); }
};

// A run as the command line makes it, every file closed on return; gives its error count.
int Assemble(const std::string& source, ListErreur& list, bool failed) {
    AssemblyRun run(RunSettings{}, &list);
    run.openFiles(source);
    run.runPasses();
    run.writeSummary();
    EXPECT_EQ(run.failed(), failed) << run.failureMessage();
    return run.errorCount();
}

// Each folder of golden/cases holds main.asm (and any include files), an optional "options" file
// ("english" selects the English catalogue) and expected/{main.abs,main.lis,message.txt,
// diagnostics.txt} ("@DIR@" stands for the folder the case ran in). The expected object code
// was checked against GNU as for m68k and the S-records against srec_info; the listing and
// message files follow their fixed layouts.
std::vector<std::string> GoldenCases() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(QUBRIX_GOLDEN_CASES, ec))
        if (fs::exists(entry.path() / "main.asm")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenRun : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, OutputsMatchByteForByte) {
    Restore restore;
    const fs::path source = fs::path(QUBRIX_GOLDEN_CASES) / GetParam();
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
    Assemble(work / "main.asm", list, false);
    std::string diagnostics;
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur()) {
        char code[16];
        std::snprintf(code, sizeof code, "%03X ", e->LitCode());
        diagnostics += code + std::to_string(e->LitLigne()) + " " + e->LitFichier() + " " + e->LitErreur() + "\n";
    }
    for (const std::string name : {"main.abs", "main.lis", "message.txt", "diagnostics.txt"}) {
        ASSERT_TRUE(fs::exists(source / "expected" / name)) << name;
        EXPECT_EQ(Replace(ReadFile(source / "expected" / name), "@DIR@", work.path().substr(0, work.path().size() - 1)),
                  name == "diagnostics.txt" ? diagnostics : ReadFile(work / name))
            << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRun, ::testing::ValuesIn(GoldenCases()),
                         [](const auto& info) { return info.param; });

TEST(GoldenCasesTest, CasesAreFound) { EXPECT_GE(GoldenCases().size(), 5u) << QUBRIX_GOLDEN_CASES; }

TEST(OutputBaseTest, OnlyTheLastComponentsExtensionGoes) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"/e/tp/main.asm", "/e/tp/main"}, {"/e/proj.old/prog.asm", "/e/proj.old/prog"},
        {"/e/proj.old/prog", "/e/proj.old/prog"}, {"prog.tar.asm", "prog.tar"}, {"./prog.s", "./prog"},
        {"dir/.asm", "dir/.asm"}, {"prog.", "prog"}, {"", ""}};
    // clang-format on
    for (auto [path, base] : cases) EXPECT_EQ(OutputBase(path), base) << path;
}

TEST(RunTest, OutputsAndFailures) {
    Restore restore;
    for (const Case& c : ReadCases(QUBRIX_DRIVER_DATA "/runs.txt")) {
        SCOPED_TRACE(c.name);
        SetCatalogueLanguage(c.has("french") ? Language::French : Language::English);
        TempDir dir;
        fs::current_path(dir.path());  // message.txt goes into the current folder
        WriteFile(dir / "message.txt", "from an earlier run\r\n");
        const std::string source = c.has("source") ? dir / c.get("source") : "";
        const std::string base = OutputBase(source);
        std::string text;
        for (int i = std::stoi(c.get("repeat", "1")); i > 0; --i) text += c.get("text");
        if (c.has("text")) WriteFile(source, text);
        const std::string prepare = c.get("prepare");
        if (prepare == "folders") {
            fs::create_directory(base + ".lis");
            fs::create_directory(base + ".abs");
        } else if (!prepare.empty()) {
            ASSERT_EQ(::symlink("/dev/full", (base + prepare).c_str()), 0);
        }
        auto inFolder = [&dir](const std::string& text) { return Replace(text, "@", dir.path()); };

        ListErreur list;
        EXPECT_EQ(Assemble(source, list, c.has("failed")), c.has("diagnostic") ? 1 : 0);
        ASSERT_EQ(list.Count(), c.has("diagnostic") ? 1u : 0u);
        if (c.has("diagnostic")) {
            const ErreurAsm& e = *list.GetFirstErreur();
            std::istringstream want(c.get("diagnostic"));
            std::string file;
            int code = 0, first = 0, last = 0;
            want >> std::hex >> code >> file >> std::dec >> first >> last;
            EXPECT_EQ(e.LitCode(), code);
            EXPECT_EQ(e.LitFichier(), file == "-" ? "" : dir / file);
            EXPECT_GE(e.LitLigne(), first);
            EXPECT_LE(e.LitLigne(), last);
            EXPECT_EQ(c.has("says") ? e.LitErreur() : "", inFolder(c.get("says")));
        }
        const std::vector<std::string> message = CrLfLines(ReadFile("message.txt"));
        ASSERT_FALSE(message.empty());
        EXPECT_EQ(message[0], " Assemblage du fichier : " + source) << "each run rewrites message.txt";
        auto startsWith = [&](const std::string& start) {
            return [want = inFolder(start)](const std::string& line) { return line.starts_with(want); };
        };
        auto line = message.begin();
        for (const std::string& start : c.all("message")) {
            line = std::find_if(line, message.end(), startsWith(start));
            EXPECT_NE(line, message.end()) << "no line " << start << " in order";
        }
        for (const std::string& start : c.all("unsaid"))
            EXPECT_TRUE(std::none_of(message.begin(), message.end(), startsWith(start))) << "a line " << start;
        EXPECT_EQ(ReadFile(source), text) << "the source is never written to";
        EXPECT_EQ(fs::is_regular_file(base + ".abs"), c.has("kept"));
        EXPECT_FALSE(fs::exists(dir / ".lis") || fs::exists(dir / ".abs"));
        if (c.has("summary")) {
            const std::vector<std::string> listing = CrLfLines(ReadFile(base + ".lis"));
            ASSERT_GE(listing.size(), 2u);
            EXPECT_EQ(listing[listing.size() - 2], c.get("summary"));
        }
    }
}

}  // namespace
}  // namespace qubrix::test
