// Tests of the command-line assembler: runs the real program on small sources written here and
// checks its exit status, its standard error and the files it leaves behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <optional>

#include "test_files.h"

namespace qubrix::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Files = std::vector<std::pair<std::string, std::string>>;

const char* const kClean = " NOP\n END\n";
const char* const kWarningOnly = " DC.L $100000000\n END\n";  // 0x102 on line 1
const char* const kOneError = " NOP\n FOO\n END\n";           // 0x402 on line 2

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// A scratch folder per test: the run's current folder "work/", the settings folder "config/"
// and the captured output.
class CliTest : public ::testing::Test {
protected:
    void write(const Files& files) {
        for (const auto& [name, text] : files) WriteFile(m_root / ("work/" + name), text);
    }
    void settings(const std::string& store, const char* ini) {
        fs::remove(m_root / ("config/hvl_mobr/" + store + ".conf"));
        if (ini) WriteFile(m_root / ("config/hvl_mobr/" + store + ".conf"), ini);
    }
    std::string work(const std::string& name) const { return m_root / ("work/" + name); }

    Result run(const Args& args) {
        fs::create_directories(m_root / "work");
        std::string cmd = "cd '" + m_root.path() + "work' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                          m_root.path() + "config' HOME='" + m_root.path() + "' '" QUBRIX_CLI "'";
        for (const std::string& a : args) cmd += " '" + a + "'";
        cmd += " >'" + (m_root / "stdout") + "' 2>'" + (m_root / "stderr") + "'";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_root / "stdout"), ReadFile(m_root / "stderr")};
    }

    TempDir m_root;
};

TEST_F(CliTest, ExitStatus) {
    const struct {
        const char* name;
        std::optional<std::string> source;  // written as prog.asm, which is appended to the arguments
        Args args;
        int status;
        // clang-format off
    } cases[] = {
        {"clean source", kClean, {}, 0},
        {"warnings only", kWarningOnly, {}, 0},
        {"one error", kOneError, {}, 1},
        {"sections overlap", " NOP\n SECTION 15\n DC.W 1\n END\n", {"--code", "803000"}, 1},
        {"code past 4 KiB beside empty variables", " DS.B $1400\n NOP\n END\n", {}, 0},
        {"code ending where the variables start", " DS.B $FFE\n NOP\n SECTION 15\n DC.W 1\n END\n", {}, 0},
        {"no source", std::nullopt, {}, 2},
        {"unknown option", kClean, {"--fast"}, 2},
        {"code not hex", kClean, {"--code", "80G000"}, 2},
        {"code with 9 digits", kClean, {"--code", "123456789"}, 2},
        {"var empty", kClean, {"--var", ""}, 2},
        {"var without value", std::nullopt, {"prog.asm", "--var"}, 2},
        {"unknown language", kClean, {"--lang", "de"}, 2},
        {"two sources", kClean, {"other.asm"}, 2},
        {"0x prefix accepted", kClean, {"--code", "0x900000"}, 0},
        {"inline value", kClean, {"--lang=en", "--var=A00000"}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(work("message.txt"));
        Args args = c.args;
        if (c.source) {
            write({{"prog.asm", *c.source}});
            args.push_back("prog.asm");
        }
        const Result r = run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 2) {
            EXPECT_EQ(r.err.rfind("qubrix: ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find("usage: qubrix"), std::string::npos);
        }
        EXPECT_EQ(fs::exists(work("message.txt")), c.status != 2) << "a usage error must not run";
    }
}

// Diagnostics go to standard error as FILE:LINE: TEXT in source order, following includes, with
// the ones without a line (the section overlap) last; the language comes from --lang, else from
// the workbench's setting, else French.
TEST_F(CliTest, StandardError) {
    const char* const english = "prog.asm:2: ERROR : bad instruction code\n";
    const char* const french = "prog.asm:2: ERREUR : Code instruction non valide\n";
    const struct {
        const char* name;
        Files files;  // prog.asm first
        Args args;
        int status;
        std::string err;
        const char* workbenchIni = nullptr;
        // clang-format off
    } cases[] = {
        {"a clean run prints nothing", {{"prog.asm", kClean}}, {}, 0, ""},
        {"warnings are printed but do not fail", {{"prog.asm", kWarningOnly}}, {"--lang", "en"}, 0,
         "prog.asm:1: WARNING : Numeric constant exceeds 32 bits\n"},
        {"a missing source is an error of the run", {}, {"--lang", "en"}, 1, "prog.asm: ERROR :  Impossible to open file\n"},
        {"source order through an include, lineless last",
         {{"prog.asm", " FOO\n INCLUDE INC.ASM\n DC.B 256\n SECTION 15\n DC.W 1\n END\n"}, {"INC.ASM", " NOP\n BAR\n"}},
         {"--lang", "en", "--code", "802FFE"}, 1,
         "prog.asm:1: ERROR : bad instruction code\nINC.ASM:2: ERROR : bad instruction code\n"
         "prog.asm:3: ERROR :Immediate data exceeds 8 bits\n"
         "qubrix: ERROR : intersection section code and var : code $802FFE-$803002, var $803000-$803002\n"},
        {"an overlap in French names both ranges", {{"prog.asm", " DS.B $1002\n SECTION 15\n DC.W 1\n END\n"}},
         {"--lang", "fr"}, 1,
         "qubrix: ERREUR : Intersection des section code et var non vide : code $802000-$803002, var $803000-$803002\n"},
        {"an include in another folder is not found", {{"prog.asm", " INCLUDE VECT.ASM\n END\n"}, {"lib/VECT.ASM", " NOP\n"}},
         {"--lang", "en"}, 1, "prog.asm:1: ERROR :  Impossible to open file\n"},
        {"a comment mentioning include files is a comment", {{"prog.asm", "* see the include files\n NOP\n END\n"}},
         {}, 0, ""},
        {"an include cycle says so", {{"prog.asm", " INCLUDE A.ASM\n END\n"}, {"A.ASM", " NOP\n INCLUDE prog.asm\n"}},
         {"--lang", "en"}, 1,
         "A.ASM:2: ERROR :  Impossible to open file : prog.asm is already being included (include cycle)\n"},
        {"an include cycle says so in French", {{"prog.asm", " INCLUDE A.ASM\n END\n"}, {"A.ASM", " NOP\n INCLUDE prog.asm\n"}},
         {"--lang", "fr"}, 1,
         "A.ASM:2: ERREUR :  Impossible d'ouvrir le fichier : prog.asm est déjà en cours d'inclusion (inclusion circulaire)\n"},
        {"code past $FFFFFFFF fails the run", {{"prog.asm", " ORG $FFFFFFFC\n DC.L 1,2\n END\n"}},
         {"--lang", "en"}, 1,
         "prog.asm:2: ERROR : Error writing to output file\nqubrix: Code runs past address $FFFFFFFF\n"},
        {"an object file that cannot be created fails the run", {{"prog.asm", kClean}, {"prog.abs/x", ""}},
         {"--lang", "en"}, 1,
         "qubrix: ERROR : Error writing to output file\nqubrix: Cannot create object file prog.abs: Is a directory\n"},
        {"--dir names the folder for includes", {{"prog.asm", " INCLUDE VECT.ASM\n END\n"}, {"lib/VECT.ASM", " NOP\n"}},
         {"--dir", "lib"}, 0, ""},
        {"--lang en", {{"prog.asm", kOneError}}, {"--lang", "en"}, 1, english},
        {"--lang fr", {{"prog.asm", kOneError}}, {"--lang", "fr"}, 1, french},
        {"French by default", {{"prog.asm", kOneError}}, {}, 1, french},
        {"workbench in English", {{"prog.asm", kOneError}}, {}, 1, english, "[KORVAN]\nLANGAGE=ANGLAIS\n"},
        {"workbench in French", {{"prog.asm", kOneError}}, {}, 1, french, "[KORVAN]\nLANGAGE=FRANCAIS\n"},
        {"the option wins", {{"prog.asm", kOneError}}, {"--lang", "fr"}, 1, french, "[KORVAN]\nLANGAGE=ANGLAIS\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_root / "work");
        write(c.files);
        settings("korvan", c.workbenchIni);
        Args args = c.args;
        args.push_back("prog.asm");
        const Result r = run(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

// The listing and the section origins follow the options, then the library's own settings.
TEST_F(CliTest, OutputFiles) {
    auto abs = [](const char* code, const char* var, const char* start) {
        return std::string("S004000020DB\r\n") + code + "\r\n" + var + "\r\nS5030002FA\r\nS9030000FC\r\n" + start +
               "\r\n";
    };
    // Checksums worked out by hand, e.g. ~(07+00+90+00+00+4E+71) = A9.
    const std::string atDefaults = abs("S307008020004E7199", "S30700803000123402", "S705008020005A");
    const std::string moved = abs("S307009000004E71A9", "S30700A00000123412", "S705009000006A");
    const char* const movedIni = "[ASSEMBLEUR]\nSECTION%209=900000\nSECTION%2015=A00000\n";
    const struct {
        const char* name;
        const char* libraryIni;
        Args args;
        bool listing;
        std::string abs;
        // clang-format off
    } cases[] = {
        {"defaults", nullptr, {}, true, atDefaults},
        {"--no-list", nullptr, {"--no-list"}, false, atDefaults},
        {"LISTFLAG=0 in the settings", "[ASSEMBLEUR]\nLISTFLAG=0\n", {}, false, atDefaults},
        {"origins from the options", nullptr, {"--code", "900000", "--var", "A00000"}, true, moved},
        {"origins from the settings", movedIni, {}, true, moved},
        {"an option wins over the settings", movedIni, {"--code", "802000"}, true,
         abs("S307008020004E7199", "S30700A00000123412", "S705008020005A")},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_root / "work");
        write({{"prog.asm", " NOP\n SECTION 15\n DC.W $1234\n END\n"}});
        settings("qubrix", c.libraryIni);
        Args args = c.args;
        args.push_back("prog.asm");
        ASSERT_EQ(run(args).status, 0);
        EXPECT_EQ(ReadFile(work("prog.abs")), c.abs);
        EXPECT_EQ(ReadFile(work("prog.lis")).ends_with("No errors detected\r\nNo warnings generated\r\n"), c.listing);
    }
}

TEST_F(CliTest, HelpAndVersion) {
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(
        help.out.rfind("usage: qubrix [--lang fr|en] [--no-list] [--code HEX] [--var HEX] [--dir DIR] SOURCE\n", 0),
        0u);
    EXPECT_EQ(help.err, "");
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("qubrix ") + QUBRIX_VERSION + "\n");
}

// A device that is always full stands for a disk that fills up during the run.
TEST_F(CliTest, OutputNotWrittenFailsTheRun) {
    for (const char* output : {"prog.abs", "prog.lis"}) {
        SCOPED_TRACE(output);
        fs::remove_all(m_root / "work");
        write({{"prog.asm", kClean}});
        fs::create_symlink("/dev/full", work(output));
        const Result r = run({"--lang", "en", "prog.asm"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("ERROR : Error writing to output file\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("qubrix: Error writing to"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace qubrix::test
