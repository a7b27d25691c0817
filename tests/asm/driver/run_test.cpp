// A whole run without user interface, beyond what the golden runs show: derived file names,
// outputs that cannot be created or written (the run fails instead of the process, the source
// is never truncated, an incomplete object file is removed) and the too-deep include message.
#include <gtest/gtest.h>

#include <unistd.h>

#include <optional>

#include "driver/run.h"
#include "test_files.h"

namespace qubrix::test {
namespace {

namespace fs = std::filesystem;

TEST(OutputBaseTest, OnlyTheLastComponentsExtensionGoes) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/eleve/tp/main.asm", "/home/eleve/tp/main"},
        {"/home/eleve/proj.old/prog.asm", "/home/eleve/proj.old/prog"},
        {"/home/eleve/proj.old/prog", "/home/eleve/proj.old/prog"},
        {"prog.tar.asm", "prog.tar"},
        {"./prog.s", "./prog"},
        {"dir/.asm", "dir/.asm"},
        {"prog.", "prog"},
        {"", ""},
    };
    for (auto [path, base] : cases) EXPECT_EQ(OutputBase(path), base) << path;
}

struct Diagnostic {
    int code;
    std::string file;  // relative to the run's folder
    int firstLine, lastLine;
};

struct RunCase {
    const char* name;
    std::string source;  // relative to the run's folder; not written when text is null
    const char* text;
    const char* prepare;  // "folders": the outputs are folders; ".lis", ".abs": that output is /dev/full
    bool failed;
    std::optional<Diagnostic> diagnostic;  // the only one, if any
    std::vector<std::string> message;      // starts of message.txt lines, in this order; "@" is the folder
    bool objectKept;
    const char* listingSummary = nullptr;  // the listing's error line
    const char* diagnosticText = nullptr;  // the diagnostic's whole text; "@" is the folder
    Language language = Language::English;
};

std::string BigSource() {
    std::string source;
    for (int i = 0; i < 20000; ++i) source += "* a comment that makes the listing large\n";
    return source;
}

TEST(RunTest, OutputsAndFailures) {
    const std::string bigSource = BigSource();
    // clang-format off
    const RunCase cases[] = {
        {"a self-include is named in the message and the diagnostic", "self.asm", "\tnop\n\tinclude self.asm\n", "",
         false, Diagnostic{0x406, "self.asm", 2, 2}, {"@self.asm:2: @self.asm includes itself", "Nom\tdebut"}, true,
         "1 error detected", "ERROR :  Impossible to open file : @self.asm includes itself"},
        {"a self-include is named in French under the French catalogue", "self.asm", "\tinclude SELF.ASM\n", "",
         false, Diagnostic{0x406, "self.asm", 1, 1}, {"@self.asm:1: @self.asm s'inclut lui-même", "Nom\tdebut"}, true,
         "1 error detected", "ERREUR :  Impossible d'ouvrir le fichier : @self.asm s'inclut lui-même", Language::French},
        {"an object file that cannot be created fails the run", "c.asm", "", "folders", true,
         Diagnostic{0x408, "", -1, -1},
         {"impossible d'ouvrir le fichier @c.lis", "impossible d'ouvrir le fichier @c.abs", "Cannot create object file @c.abs: ",
          "Nom\tdebut"}, false},

        {"a source named like its listing is never truncated", "keep.lis", "\n\n\n", "", false, std::nullopt,
         {"impossible d'ouvrir le fichier @keep.lis", "Nom\tdebut"}, true},
        {"an empty source path creates no hidden outputs", "", nullptr, "", false, Diagnostic{0x406, "", 0, 0},
         {"impossible d'ouvrir le fichier .lis", "impossible d'ouvrir le fichier .abs", "Impossible d'ouvrir les fichier!"},
         false},
        {"a listing that cannot be written fails the run; the object file stays", "full.asm", "\n", ".lis", true,
         Diagnostic{0x408, "", -1, -1}, {"Error writing to listing file @full.lis: "}, true},
        {"an object file that cannot be written fails the run and is removed", "full.asm", "\n", ".abs", true,
         Diagnostic{0x408, "", -1, -1}, {"Error writing to object file @full.abs: "}, false, "1 error detected"},
        {"a listing failing in mid-pass stops the pass at that line", "big.asm", bigSource.c_str(), ".lis", true,
         Diagnostic{0x408, "big.asm", 2, 19999}, {"Error writing to listing file @big.lis: ", "Nom\tdebut"},
         false},
    };
    // clang-format on
    struct Restore {
        fs::path dir = fs::current_path();
        Language lang = CatalogueLanguage();
        ~Restore() { fs::current_path(dir), SetCatalogueLanguage(lang); }
    } restore;
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetCatalogueLanguage(c.language);
        TempDir dir;
        fs::current_path(dir.path());  // message.txt goes into the current folder
        WriteFile(dir / "message.txt", "from an earlier run\r\n");
        const std::string source = c.source.empty() ? "" : dir / c.source;
        const std::string base = OutputBase(source);
        if (c.text) WriteFile(source, c.text);
        if (std::string(c.prepare) == "folders") {
            fs::create_directory(base + ".lis");
            fs::create_directory(base + ".abs");
        } else if (*c.prepare) {
            ASSERT_EQ(::symlink("/dev/full", (base + c.prepare).c_str()), 0);
        }

        auto inFolder = [&dir](std::string text) {
            for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + dir.path().size()))
                text.replace(at, 1, dir.path());
            return text;
        };

        ListErreur list;
        {
            AssemblyRun run(RunSettings{}, &list);
            run.openFiles(source);
            run.runPasses();
            run.writeSummary();
            EXPECT_EQ(run.failed(), c.failed) << run.failureMessage();
            EXPECT_EQ(run.errorCount(), c.diagnostic ? 1 : 0);
        }
        ASSERT_EQ(list.Count(), c.diagnostic ? 1u : 0u);
        if (c.diagnostic) {
            const ErreurAsm& e = *list.GetFirstErreur();
            EXPECT_EQ(e.LitCode(), c.diagnostic->code);
            EXPECT_EQ(e.LitFichier(), c.diagnostic->file.empty() ? "" : dir / c.diagnostic->file);
            EXPECT_GE(e.LitLigne(), c.diagnostic->firstLine);
            EXPECT_LE(e.LitLigne(), c.diagnostic->lastLine);
            if (c.diagnosticText) {
                EXPECT_EQ(e.LitErreur(), inFolder(c.diagnosticText));
            }
        }
        const std::vector<std::string> message = CrLfLines(ReadFile("message.txt"));
        ASSERT_FALSE(message.empty());
        EXPECT_EQ(message[0], " Assemblage du fichier : " + source) << "each run rewrites message.txt";
        auto line = message.begin();
        for (const std::string& start : c.message) {
            const std::string want = inFolder(start);
            line = std::find_if(line, message.end(), [&](const std::string& l) { return l.rfind(want, 0) == 0; });
            EXPECT_NE(line, message.end()) << "no line " << want << " in order";
        }
        if (c.text) {
            EXPECT_EQ(ReadFile(source), c.text) << "the source is never written to";
        }
        EXPECT_EQ(fs::is_regular_file(base + ".abs"), c.objectKept);
        EXPECT_FALSE(fs::exists(dir / ".lis") || fs::exists(dir / ".abs"));
        if (c.listingSummary) {
            const std::vector<std::string> listing = CrLfLines(ReadFile(base + ".lis"));
            ASSERT_GE(listing.size(), 2u);
            EXPECT_EQ(listing[listing.size() - 2], c.listingSummary);
        }
    }
}

}  // namespace
}  // namespace qubrix::test
