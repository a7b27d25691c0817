// Tests of the command-line assembler: runs the real program on small sources written here and
// checks its exit status, its standard error and the files it leaves behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kNopAbs =
    "S004000020DB\r\nS307008020004E7199\r\nS5030001FB\r\nS9030000FC\r\nS705008020005A\r\n";

const char* const kClean = " NOP\n END\n";
const char* const kWarningOnly = " DC.L $100000000\n END\n";  // 0x102 on line 1
const char* const kOneError = " NOP\n FOO\n END\n";           // 0x402 on line 2

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A scratch folder per test: the run's current folder, a settings folder and the captured
// output, all removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qubrix-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::create_directories(work());
        fs::create_directories(config());
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path work() const { return m_root / "work"; }
    fs::path config() const { return m_root / "config"; }

    fs::path source(const std::string& text, const std::string& name = "prog.asm") {
        const fs::path path = work() / name;
        WriteFile(path, text);
        return path;
    }
    void settings(const std::string& store, const std::string& ini) {
        WriteFile(config() / "hvl_mobr" / (store + ".conf"), ini);
    }

    Result run(const std::vector<std::string>& args) {
        const fs::path outPath = m_root / "stdout";
        const fs::path errPath = m_root / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work().c_str()) != 0)
                _exit(126);
            setenv("XDG_CONFIG_HOME", config().c_str(), 1);
            setenv("HOME", m_root.c_str(), 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(QUBRIX_CLI)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(QUBRIX_CLI, argv.data());
            _exit(127);
        }
        Result result;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.status = WEXITSTATUS(status);
        result.out = ReadFile(outPath);
        result.err = ReadFile(errPath);
        return result;
    }

    fs::path m_root;
};

struct ExitCase {
    const char* name;
    std::optional<std::string> sourceText;  // written as prog.asm; the path is appended to args
    std::vector<std::string> args;
    int status;
};

TEST_F(CliTest, ExitStatus) {
    const ExitCase cases[] = {
        {"clean source", kClean, {}, 0},
        {"warnings only", kWarningOnly, {}, 0},
        {"one error", kOneError, {}, 1},
        {"sections overlap", kClean, {"--code", "803000"}, 1},
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
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(work() / "message.txt");
        std::vector<std::string> args = c.args;
        if (c.sourceText)
            args.push_back(source(*c.sourceText).string());
        const Result r = run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 2) {
            EXPECT_EQ(r.err.rfind("qubrix: ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find("usage: qubrix"), std::string::npos);
            EXPECT_FALSE(fs::exists(work() / "message.txt")) << "a usage error must not run";
        } else {
            EXPECT_TRUE(fs::exists(work() / "message.txt"));
        }
    }
}

TEST_F(CliTest, MissingSourceIsAnErrorOfTheRun) {
    const fs::path absent = work() / "absent.asm";
    const Result r = run({"--lang", "en", absent.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, absent.string() + ": ERROR :  Impossible to open file\n");
}

TEST_F(CliTest, HelpAndVersion) {
    Result r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: qubrix [--lang fr|en] [--no-list] [--code HEX] [--var HEX] [--dir DIR] SOURCE\n", 0), 0u);
    EXPECT_EQ(r.err, "");
    r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("qubrix ") + QUBRIX_VERSION + "\n");
}

// Diagnostics come in source order, following the include into its own file, and the ones
// without a line (the section overlap) come last.
TEST_F(CliTest, DiagnosticsInSourceOrder) {
    const fs::path inc = source(" NOP\n BAR\n", "INC.ASM");
    const fs::path main = source(" FOO\n INCLUDE INC.ASM\n DC.B 256\n END\n");
    const Result r = run({"--lang", "en", "--code", "803000", main.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, main.string() + ":1: ERROR : bad instruction code\n" +
                         inc.string() + ":2: ERROR : bad instruction code\n" +
                         main.string() + ":3: ERROR :Immediate data exceeds 8 bits\n"
                         "qubrix: ERROR : intersection section code and var\n");
}

TEST_F(CliTest, CleanRunPrintsNothing) {
    const Result r = run({source(kClean).string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(work() / "prog.abs"), kNopAbs);
    const std::string message = ReadFile(work() / "message.txt");
    EXPECT_EQ(message.rfind(" Assemblage du fichier : " + (work() / "prog.asm").string(), 0), 0u) << message;
}

TEST_F(CliTest, WarningsArePrintedButDoNotFail) {
    const fs::path path = source(kWarningOnly);
    const Result r = run({"--lang", "en", path.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, path.string() + ":1: WARNING : Numeric constant exceeds 32 bits\n");
}

TEST_F(CliTest, Listing) {
    const fs::path path = source(kClean);
    ASSERT_EQ(run({path.string()}).status, 0);
    const std::string listing = ReadFile(work() / "prog.lis");
    EXPECT_NE(listing.find("No errors detected\r\nNo warnings generated\r\n"), std::string::npos) << listing;

    fs::remove(work() / "prog.lis");
    ASSERT_EQ(run({"--no-list", path.string()}).status, 0);
    EXPECT_FALSE(fs::exists(work() / "prog.lis"));
    EXPECT_EQ(ReadFile(work() / "prog.abs"), kNopAbs);

    // The library's own setting is honoured as well.
    settings("qubrix", "[ASSEMBLEUR]\nLISTFLAG=0\n");
    ASSERT_EQ(run({path.string()}).status, 0);
    EXPECT_FALSE(fs::exists(work() / "prog.lis"));
}

TEST_F(CliTest, SectionOrigins) {
    // Checksums worked out by hand: ~(07+00+90+00+00+4E+71) = A9, ~(07+00+A0+00+00+12+34) = 12,
    // ~(05+00+90+00+00) = 6A.
    const fs::path path = source(" NOP\n SECTION 15\n DC.W $1234\n END\n");
    ASSERT_EQ(run({"--code", "900000", "--var", "A00000", path.string()}).status, 0);
    EXPECT_EQ(ReadFile(work() / "prog.abs"),
              "S004000020DB\r\nS307009000004E71A9\r\nS30700A00000123412\r\n"
              "S5030002FA\r\nS9030000FC\r\nS705009000006A\r\n");

    // Without options the stored origins apply; the options win over them.
    settings("qubrix", "[ASSEMBLEUR]\nSECTION%209=900000\nSECTION%2015=A00000\n");
    ASSERT_EQ(run({path.string()}).status, 0);
    const std::string fromSettings = ReadFile(work() / "prog.abs");
    EXPECT_NE(fromSettings.find("S307009000004E71A9\r\n"), std::string::npos) << fromSettings;
    EXPECT_NE(fromSettings.find("S30700A00000123412\r\n"), std::string::npos) << fromSettings;
    ASSERT_EQ(run({"--code", "802000", path.string()}).status, 0);
    const std::string overridden = ReadFile(work() / "prog.abs");
    EXPECT_NE(overridden.find("S307008020004E7199\r\n"), std::string::npos) << overridden;
    EXPECT_NE(overridden.find("S30700A00000123412\r\n"), std::string::npos) << overridden;
}

struct LanguageCase {
    const char* name;
    std::vector<std::string> args;
    const char* workbenchIni;  // korvan.conf, or null
    const char* text;
};

TEST_F(CliTest, Language) {
    const char* const english = "ERROR : bad instruction code";
    const char* const french = "ERREUR : Code instruction non valide";
    const LanguageCase cases[] = {
        {"--lang en", {"--lang", "en"}, nullptr, english},
        {"--lang fr", {"--lang", "fr"}, nullptr, french},
        {"default: french", {}, nullptr, french},
        {"workbench in english", {}, "[KORVAN]\nLANGAGE=ANGLAIS\n", english},
        {"workbench in french", {}, "[KORVAN]\nLANGAGE=FRANCAIS\n", french},
        {"option wins", {"--lang", "fr"}, "[KORVAN]\nLANGAGE=ANGLAIS\n", french},
    };
    const fs::path path = source(kOneError);
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(config() / "hvl_mobr" / "korvan.conf");
        if (c.workbenchIni)
            settings("korvan", c.workbenchIni);
        std::vector<std::string> args = c.args;
        args.push_back(path.string());
        const Result r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, path.string() + ":2: " + c.text + "\n");
    }
}

TEST_F(CliTest, IncludeFolder) {
    const fs::path lib = m_root / "lib";
    WriteFile(lib / "VECT.ASM", " NOP\n");
    const fs::path path = source(" INCLUDE VECT.ASM\n END\n");
    const Result without = run({"--lang", "en", path.string()});
    EXPECT_EQ(without.status, 1);
    EXPECT_EQ(without.err, path.string() + ":1: ERROR :  Impossible to open file\n");

    const Result with = run({"--dir", lib.string(), path.string()});
    EXPECT_EQ(with.status, 0) << with.err;
    EXPECT_EQ(ReadFile(work() / "prog.abs"), kNopAbs);
}

// A device that is always full stands for a disk that fills up during the run.
TEST_F(CliTest, OutputNotWrittenFailsTheRun) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (const char* output : {"prog.abs", "prog.lis"}) {
        SCOPED_TRACE(output);
        const fs::path path = source(kClean);
        fs::remove(work() / "prog.abs");
        fs::remove(work() / "prog.lis");
        fs::create_symlink("/dev/full", work() / output);
        const Result r = run({"--lang", "en", path.string()});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("ERROR : Error writing to output file\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("qubrix: Error writing to"), std::string::npos) << r.err;
    }
}

}  // namespace
