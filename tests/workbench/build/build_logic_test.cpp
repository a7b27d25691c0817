// The build tools' plain rules: the error list's reading of its line column, which decides
// whether a double-click jumps; the GNU build's driver choice, argument lists, environment,
// derived names, the linker file list, and the capture of a real child's output to its end with
// its exit status.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <climits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "../../support/table.h"
#include "error_rows.h"
#include "gnu_console.h"
#include "gnu_core.h"

using namespace korvan::build;
using namespace korvan::build::gnu;
using korvan::test::readTable;
using korvan::test::Row;
using Words = std::vector<std::string>;

// The rows of data/line_columns.txt: a line column's text, its value, the line a jump goes to.
TEST(LineColumn, ReadsLikePercentD) {
    for (const Row& row : readTable(KORVAN_BUILD_DATA "/line_columns.txt", 3)) {
        EXPECT_EQ(parseLineColumn(row[0]), std::stoi(row[1])) << '"' << row[0] << '"';
        const auto target = row[2] == "-" ? std::nullopt : std::optional(std::stoi(row[2]));
        EXPECT_EQ(jumpTargetLine(row[0]), target) << '"' << row[0] << '"';
    }
}

// A diagnostic without a source line (the section overlap, a write failure: -1; a file that
// did not open: 0) shows a blank line column, never a number to jump to.
TEST(LineColumnText, NumberOrBlank) {
    const std::pair<int, const char*> cases[] = {
        {1, "1"}, {42, "42"}, {INT_MAX, "2147483647"}, {0, ""}, {-1, ""}, {INT_MIN, ""},
    };
    for (const auto& [line, text] : cases) EXPECT_EQ(lineColumnText(line), text) << line;
    // A compiler's diagnostic shows its column; the jump reads it back (the line as above).
    const std::tuple<int, int, const char*, int> withColumn[] = {
        {12, 5, "12:5", 5},
        {12, 0, "12", 0},
        {0, 5, "", 0},
        {-1, 3, "", 0},
    };
    for (const auto& [line, column, text, target] : withColumn) {
        EXPECT_EQ(lineColumnText(line, column), text);
        EXPECT_EQ(jumpTargetColumn(text), target) << text;
    }
}

TEST(GnuDriver, ChoosesTheCompilerFromTheWholePath) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"/home/eleve/tp/main.c", "/usr/bin/m68k-linux-gnu-gcc"},
        {"/home/eleve/tp/main.cpp", "/usr/bin/m68k-linux-gnu-g++"},
        {"/home/eleve/tp.src/main.cpp", "/usr/bin/m68k-linux-gnu-gcc"},  // ".s" in a folder name
        {"/home/eleve/tp/MAIN.CPP", "/usr/bin/m68k-linux-gnu-gcc"},      // case-sensitive
        {"/home/eleve/x.cppy/main.c", "/usr/bin/m68k-linux-gnu-g++"},     // ".cpp" anywhere
    };
    // clang-format on
    for (const auto& [path, program] : cases)
        EXPECT_EQ(compilerProgram("/usr", "m68k-linux-gnu-", path), program) << path;
    EXPECT_EQ(compilerProgram("/opt/m68k", "/opt/m68k/bin/m68k-elf-", "a.cpp"), "/opt/m68k/bin/m68k-elf-g++");
    EXPECT_EQ(linkerProgram("/usr", "m68k-linux-gnu-"), "/usr/bin/m68k-linux-gnu-gcc");
    EXPECT_EQ(toolEnvironment("/usr"), Words{"PATH=/usr/bin"});
}

TEST(GnuDriver, NamesDerivedFromTheSource) {
    // clang-format off
    const char* const cases[][4] = {  // path, name, folder, base
        {"/home/eleve/tp/main.c", "main.c", "/home/eleve/tp", "main"},
        {"/home/eleve/tp.v2/prog", "prog", "/home/eleve/tp.v2", "prog"},  // no extension: name kept whole
        {"/home/eleve/tp/a.b.cpp", "a.b.cpp", "/home/eleve/tp", "a.b"},
        {"/home/eleve/.c", ".c", "/home/eleve", ".c"},                      // never an empty base
        {"/main.c", "main.c", "/", "main"},
    };
    // clang-format on
    for (const auto& [path, name, folder, base] : cases)
        EXPECT_EQ((Words{sourceName(path), sourceFolder(path), baseName(path)}), (Words{name, folder, base})) << path;
}

TEST(GnuDriver, CommandLines) {
    // Empty options: no empty argument reaches the tool; the written form keeps its blanks.
    EXPECT_EQ(compileArguments("", "main.c"), Words{"main.c"});
    EXPECT_EQ(compileCommandText("", "main.c"), " 1  main.c");
    EXPECT_EQ(compileArguments(" -c\t-O0  -g ", "main.c"), (Words{"-c", "-O0", "-g", "main.c"}));
    // The file list keeps its order, then the object and the ELF program; objcopy writes the
    // S-records from it.
    EXPECT_EQ(linkArguments("-T k.ld -nostdlib", "z.o crt0.o  korvan.o", "main"),
              (Words{"-T", "k.ld", "-nostdlib", "z.o", "crt0.o", "korvan.o", "main.o", "-o", "main.elf"}));
    EXPECT_EQ(linkCommandText("-x", "a.o b.o", "main"), " 1 -x a.o b.o main.o -o main.elf");
    EXPECT_EQ(objcopyArguments("main"), (Words{"-O", "srec", "main.elf", "main.abs"}));
    EXPECT_EQ(objcopyProgram("/tc", "/x/m68k-elf-"), "/tc/bin/m68k-elf-objcopy");
    // A name that starts with '-' never reaches a tool as an option.
    EXPECT_EQ(compileArguments("-c", "-o.c"), (Words{"-c", "./-o.c"}));
    EXPECT_EQ(compileCommandText("-c", "-o.c"), " 1 -c ./-o.c");
    EXPECT_EQ(linkArguments("", "", "-x"), (Words{"./-x.o", "-o", "./-x.elf"}));
    EXPECT_EQ(objcopyArguments("-x"), (Words{"-O", "srec", "./-x.elf", "./-x.abs"}));
    EXPECT_EQ(signalText(11), "L'outil a été arrêté par le signal 11 (SIGSEGV).");
}

TEST(GnuDriver, FileListSplitAndJoin) {
    const std::pair<const char*, Words> cases[] = {
        {"", {}}, {"crt0.o korvan.o", {"crt0.o", "korvan.o"}}, {"  crt0.o  korvan.o ", {"crt0.o", "korvan.o"}}};
    for (const auto& [stored, entries] : cases) {
        EXPECT_EQ(splitFileList(stored), entries) << stored;
        EXPECT_EQ(joinFileList(entries), entries.empty() ? "" : "crt0.o korvan.o");
    }
    // The specs file brings the run-time: no input files, one compile options text for C and C++.
    const auto d = defaultOptions("/rt");
    EXPECT_EQ(d.compiler, "-c -O0 -g -specs=/rt/korvan.specs");
    EXPECT_EQ(d.linker, "-specs=/rt/korvan.specs");
    EXPECT_TRUE(d.files.empty());
}

// The rows of data/tool_diagnostics.txt: the tools' diagnostics for the error list, place and
// text, or the whole line when it names no place; notes and context lines are not rows.
TEST(GnuOutput, ToolDiagnostics) {
    for (const Row& row : readTable(KORVAN_BUILD_DATA "/tool_diagnostics.txt", 3)) {
        const auto d = parseToolDiagnostic(row[0]);
        const std::string place = d ? d->file + ":" + std::to_string(d->line) + ":" + std::to_string(d->column) : "-";
        EXPECT_EQ((Words{place, d ? d->text : "-"}), (Words{row[1], row[2]})) << row[0];
    }
}

TEST(GnuOutput, LinesToTheEndWithCarriageReturns) {
    // clang-format off
    const std::pair<Words, Words> cases[] = {  // chunks read, lines
        {{"a\r\n", "\n", "b"}, {"a\r", "", "b"}},        // CR kept, empty line kept, last line taken
        {{"wa", "rn", "ing\n"}, {"warning"}},             // split across reads
        {{}, {}},
        {{"\n\n"}, {"", ""}},
    };
    // clang-format on
    for (const auto& [chunks, lines] : cases) {
        OutputLines out;
        for (const auto& chunk : chunks) out.feed(chunk);
        out.finish();
        EXPECT_EQ(out.lines(), lines);
    }
    EXPECT_EQ(crlf("\nLinkage...\n"), "\r\nLinkage...\r\n");
}

// A real child through the console runner: environment, output to its end, exit status.
TEST(GnuOutput, ConsoleCommandRunsAChild) {
    int argc = 1;
    char name[] = "gnu_logic_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // clang-format off
    const std::tuple<const char*, Words, Words, bool> cases[] = {  // program, arguments, lines, success
        {"/usr/bin/env", {}, {"PATH=/bin"}, true},  // the child's whole environment
        {"/bin/sh", {"-c", "printf 'one\\r\\n\\n'; printf tail"}, {"one\r", "", "tail"}, true},
        {"/bin/sh", {"-c", "exit 3"}, {}, false},                        // silent failure still fails
        {"/bin/sh", {"-c", "printf 'x\\n'; kill -9 $$"}, {"x"}, false},  // killed by a signal
    };
    // clang-format on
    for (const auto& [program, args, lines, succeeded] : cases) {
        CConsoleCommand tool;
        tool.SetToolEnvironment({"PATH=/bin"});
        QEventLoop loop;
        QObject::connect(&tool, &CConsoleCommand::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        ASSERT_TRUE(tool.RunTool(program, args));
        loop.exec();
        EXPECT_EQ(tool.lines(), lines) << program;
        EXPECT_EQ(tool.succeeded(), succeeded) << program;
    }
    CConsoleCommand missing;
    EXPECT_FALSE(missing.RunTool("/nonexistent/m68k-gcc", {}));
}
