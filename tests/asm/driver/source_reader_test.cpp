// The source reader: line delivery with file names and numbers, upper-casing, line ends,
// the include tree (beside the file, in the working directory, case-insensitive), the open
// failures and the bounds on nesting.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "driver/source_reader.h"
#include "test_files.h"

using qubrix::Fichier;
using qubrix::OpenFailure;
using qubrix::test::TempDir;
using qubrix::test::WriteFile;

namespace {

struct Delivered {
    std::string text;
    std::string file;
    int line;
    bool operator==(const Delivered&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Delivered& d)
{
    return os << '{' << '"' << d.text << "\", " << d.file << ", " << d.line << '}';
}

// The whole merged stream, up to and including the line delivered with the end.
std::vector<Delivered> Stream(Fichier& f, std::size_t limit = 100000)
{
    std::vector<Delivered> out;
    for (;;) {
        Delivered d;
        const bool end = f.GetLine(d.text, d.file, d.line);
        out.push_back(d);
        if (end || out.size() >= limit)
            return out;
    }
}

TEST(SourceReaderTest, LineEndsAndTheExtraEmptyLine)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"line end after the last line gives one more empty line", "a\nb\n", {"A", "B", ""}},
        {"no line end after the last line", "a\nb", {"A", "B"}},
        {"CR LF line ends", "a\r\nb\r\n", {"A", "B", ""}},
        {"mixed line ends", "a\r\nb\nc", {"A", "B", "C"}},
        {"empty file gives one empty line", "", {""}},
        {"a single line end", "\n", {"", ""}},
        {"blank lines are kept", "a\n\n\nb", {"A", "", "", "B"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "m.asm", c.bytes);
        Fichier f(dir / "m.asm", "");
        ASSERT_FALSE(f.openFailed()) << c.name;
        const auto stream = Stream(f);
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < stream.size(); ++i) {
            texts.push_back(stream[i].text);
            EXPECT_EQ(stream[i].line, static_cast<int>(i + 1)) << c.name;
            EXPECT_EQ(stream[i].file, dir / "m.asm") << c.name;
        }
        EXPECT_EQ(texts, c.lines) << c.name;
    }
}

TEST(SourceReaderTest, UpperCasesAsciiLettersOnly)
{
    TempDir dir;
    WriteFile(dir / "m.asm", "lbl:\tmove.w #$ff,d0 ; 'été' \xE9\n");
    Fichier f(dir / "m.asm", "");
    std::string text, file;
    int line = 0;
    f.GetLine(text, file, line);
    EXPECT_EQ(text, "LBL:\tMOVE.W #$FF,D0 ; '\xC3\xA9T\xC3\xA9' \xE9");
}

TEST(SourceReaderTest, DeliveredTextIsNulTerminatedInPlace)
{
    TempDir dir;
    WriteFile(dir / "m.asm", "nop\r\nrts");
    Fichier f(dir / "m.asm", "");
    qubrix::SourceLine line;
    EXPECT_FALSE(f.GetLine(line));
    EXPECT_STREQ(line.text, "NOP");
    EXPECT_EQ(line.length, 3u);
    EXPECT_TRUE(f.GetLine(line));
    EXPECT_STREQ(line.text, "RTS");
}

TEST(SourceReaderTest, IndentedIncludeIsReplacedByTheIncludedLines)
{
    TempDir dir;
    WriteFile(dir / "main.asm", "\tnop\n\tinclude vect.asm\n\trts\n");
    WriteFile(dir / "VECT.ASM", "v1\nv2\n");
    Fichier f(dir / "main.asm", "");
    ASSERT_FALSE(f.openFailed());
    const std::string m = dir / "main.asm", v = dir / "VECT.ASM";
    EXPECT_EQ(Stream(f), (std::vector<Delivered>{{"\tNOP", m, 1},
                                                 {"V1", v, 1},
                                                 {"V2", v, 2},
                                                 {"", v, 3},
                                                 {"\tRTS", m, 3},
                                                 {"", m, 4}}));
}

TEST(SourceReaderTest, IncludeNameIsFoundCaseInsensitivelyAndNamedAsOnDisk)
{
    TempDir dir;
    WriteFile(dir / "main.asm", " INCLUDE inc/Vect.asm");
    WriteFile(dir / "Inc/vEct.Asm", "x");
    Fichier f(dir / "main.asm", "");
    ASSERT_FALSE(f.openFailed());
    ASSERT_EQ(f.childCount(), 1u);
    EXPECT_EQ(f.child(0).name(), dir / "Inc/vEct.Asm");
    EXPECT_EQ(Stream(f), (std::vector<Delivered>{{"X", dir / "Inc/vEct.Asm", 1}}));
}

TEST(SourceReaderTest, IncludeFallsBackToTheWorkingDirectory)
{
    TempDir src, work;
    WriteFile(src / "main.asm", " include defs.inc\n");
    WriteFile(work / "defs.inc", "d\n");
    Fichier f(src / "main.asm", work.path());
    ASSERT_FALSE(f.openFailed());
    EXPECT_EQ(f.child(0).name(), work / "defs.inc");

    WriteFile(src / "DEFS.INC", "near\n");
    Fichier g(src / "main.asm", work.path());
    EXPECT_EQ(g.child(0).name(), src / "DEFS.INC") << "the including file's folder comes first";
}

TEST(SourceReaderTest, IncludeAtColumnOneIsAnOrdinaryLineButStillScanned)
{
    TempDir dir;
    WriteFile(dir / "main.asm", "INCLUDE a.asm\nnop");
    WriteFile(dir / "a.asm", "a");
    Fichier f(dir / "main.asm", "");
    ASSERT_FALSE(f.openFailed());
    EXPECT_EQ(f.childCount(), 1u);
    EXPECT_EQ(Stream(f), (std::vector<Delivered>{{"INCLUDE A.ASM", dir / "main.asm", 1},
                                                 {"NOP", dir / "main.asm", 2}}));
}

TEST(SourceReaderTest, SecondInclusionOfTheSameFileYieldsOneEmptyLine)
{
    TempDir dir;
    WriteFile(dir / "main.asm", " include a.asm\n include a.asm\nend");
    WriteFile(dir / "a.asm", "a");
    Fichier f(dir / "main.asm", "");
    ASSERT_EQ(f.childCount(), 2u);
    const std::string a = dir / "a.asm";
    EXPECT_EQ(Stream(f), (std::vector<Delivered>{{"A", a, 1}, {"", a, 2}, {"END", dir / "main.asm", 3}}));
}

TEST(SourceReaderTest, FileEndingOnAnIncludeLineStillDeliversTheInclude)
{
    TempDir dir;
    WriteFile(dir / "main.asm", "nop\n include a.asm");
    WriteFile(dir / "a.asm", "a1\na2");
    Fichier f(dir / "main.asm", "");
    const std::string a = dir / "a.asm";
    EXPECT_EQ(Stream(f), (std::vector<Delivered>{{"NOP", dir / "main.asm", 1}, {"A1", a, 1}, {"A2", a, 2}}));
}

TEST(SourceReaderTest, NestedIncludesKeepTheirOwnNumbers)
{
    TempDir dir;
    WriteFile(dir / "main.asm", "m1\n include b.asm\nm3");
    WriteFile(dir / "b.asm", "b1\n include c.asm\nb3");
    WriteFile(dir / "c.asm", "c1");
    Fichier f(dir / "main.asm", "");
    const std::string m = dir / "main.asm", b = dir / "b.asm", c = dir / "c.asm";
    const std::vector<Delivered> expected{{"M1", m, 1}, {"B1", b, 1}, {"C1", c, 1},
                                          {"B3", b, 3}, {"M3", m, 3}};
    EXPECT_EQ(Stream(f), expected);
    f.Rewind();
    EXPECT_EQ(Stream(f), expected) << "the second pass reads the same stream";
}

TEST(SourceReaderTest, IncludeFileWord)
{
    const std::pair<const char*, const char*> cases[] = {
        {" INCLUDE VECT.ASM", "VECT.ASM"},   {"INCLUDE\tA.ASM ; COMMENT", "A.ASM"},
        {"* SEE INCLUDE FILES", "SEE"},      {"\t\tINCLUDE", ""},
        {"LABEL INCLUDE X", "INCLUDE"},      {"", ""},
    };
    for (auto [line, word] : cases)
        EXPECT_EQ(qubrix::IncludeFileWord(line), word) << line;
}

struct FailCase {
    const char* name;
    std::string main;
    OpenFailure reason;
    int line;
};

TEST(SourceReaderTest, IncludeFailuresNameTheIncludingFileAndLine)
{
    const FailCase cases[] = {
        {"missing include", "nop\n\n include nothere.asm\nnop\n", OpenFailure::NotFound, 3},
        {"INCLUDE inside a comment names a missing file", "* see INCLUDE files\n", OpenFailure::NotFound, 1},
        {"INCLUDE without a file name", "nop\n   include\n", OpenFailure::NoFileName, 2},
        {"direct self-include", "nop\n include main.asm\n", OpenFailure::TooDeep, 2},
    };
    for (const FailCase& c : cases) {
        TempDir dir;
        WriteFile(dir / "main.asm", c.main);
        Fichier f(dir / "main.asm", "");
        std::string file;
        int line = -5;
        OpenFailure why = OpenFailure::None;
        ASSERT_TRUE(f.FindOpenError(file, line, &why)) << c.name;
        EXPECT_EQ(file, dir / "main.asm") << c.name;
        EXPECT_EQ(line, c.line) << c.name;
        EXPECT_EQ(why, c.reason) << c.name;
    }
}

TEST(SourceReaderTest, MissingMainFileFailsAtLineZero)
{
    TempDir dir;
    Fichier f(dir / "none.asm", "");
    std::string file;
    int line = -5;
    OpenFailure why = OpenFailure::None;
    ASSERT_TRUE(f.FindOpenError(file, line, &why));
    EXPECT_EQ(file, dir / "none.asm");
    EXPECT_EQ(line, 0);
    EXPECT_EQ(why, OpenFailure::CannotOpen);

    Fichier d(dir.path(), "");  // a folder is no source file
    EXPECT_TRUE(d.openFailed());
}

TEST(SourceReaderTest, IncludedFileThatDoesNotOpenIsReportedWithLineZero)
{
    TempDir dir;
    WriteFile(dir / "main.asm", " include sub\n");
    std::filesystem::create_directory(dir / "sub");
    Fichier f(dir / "main.asm", "");
    std::string file;
    int line = -5;
    ASSERT_TRUE(f.FindOpenError(file, line));
    EXPECT_EQ(file, dir / "sub");
    EXPECT_EQ(line, 0);
}

TEST(SourceReaderTest, DevicesAndPipesAreRefusedNotReadForever)
{
    // /dev/zero never ends and a FIFO without a writer would block: neither is a source.
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.asm").c_str(), 0600), 0);
    for (const std::string& target : {std::string("/dev/zero"), (dir / "pipe.asm")}) {
        WriteFile(dir / "main.asm", " include " + target + "\n");
        Fichier f(dir / "main.asm", "");
        std::string file;
        int line = -5;
        ASSERT_TRUE(f.FindOpenError(file, line)) << target;
        EXPECT_EQ(file, target);
        EXPECT_EQ(line, 0);
    }
}

TEST(SourceReaderTest, FirstFailureInScanOrderIsReported)
{
    TempDir dir;
    WriteFile(dir / "main.asm", " include a.asm\n include b.asm\n");
    WriteFile(dir / "a.asm", "\n include gone1.asm\n");
    WriteFile(dir / "b.asm", " include gone2.asm\n");
    Fichier f(dir / "main.asm", "");
    std::string file;
    int line = 0;
    ASSERT_TRUE(f.FindOpenError(file, line));
    EXPECT_EQ(file, dir / "a.asm");
    EXPECT_EQ(line, 2);
}

// A chain main -> i1 -> i2 ... -> iN.
void WriteChain(const TempDir& dir, int n)
{
    WriteFile(dir / "main.asm", " include i1.asm\n");
    for (int i = 1; i <= n; ++i) {
        const std::string body = i < n ? " include i" + std::to_string(i + 1) + ".asm\n" : "deep\n";
        WriteFile(dir / ("i" + std::to_string(i) + ".asm"), body);
    }
}

TEST(SourceReaderTest, FifteenLevelsOfIncludesAreAllowed)
{
    TempDir dir;
    WriteChain(dir, 15);
    Fichier f(dir / "main.asm", "");
    EXPECT_FALSE(f.openFailed());
    std::string file;
    int line = 0;
    EXPECT_FALSE(f.FindOpenError(file, line));
    const auto stream = Stream(f);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream.front(), (Delivered{"DEEP", dir / "i15.asm", 1}));
}

TEST(SourceReaderTest, SixteenLevelsAreRefused)
{
    TempDir dir;
    WriteChain(dir, 16);
    Fichier f(dir / "main.asm", "");
    std::string file;
    int line = 0;
    OpenFailure why = OpenFailure::None;
    ASSERT_TRUE(f.FindOpenError(file, line, &why));
    EXPECT_EQ(file, dir / "i15.asm");
    EXPECT_EQ(line, 1);
    EXPECT_EQ(why, OpenFailure::TooDeep);
}

TEST(SourceReaderTest, IndirectSelfIncludeIsRefusedAtOnce)
{
    TempDir dir;
    // Each file includes the other twice: without the check this would be followed forever,
    // and with only a depth bound it would open 2^15 files.
    WriteFile(dir / "main.asm", " include a.asm\n");
    WriteFile(dir / "a.asm", " include b.asm\n include b.asm\n");
    WriteFile(dir / "b.asm", " include A.ASM\n include a.asm\n");
    Fichier f(dir / "main.asm", "");
    std::string file;
    int line = 0;
    OpenFailure why = OpenFailure::None;
    ASSERT_TRUE(f.FindOpenError(file, line, &why));
    EXPECT_EQ(file, dir / "b.asm");
    EXPECT_EQ(line, 1);
    EXPECT_EQ(why, OpenFailure::TooDeep);
}

}  // namespace
