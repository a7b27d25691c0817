// The source reader: the merged line stream with its file names and line numbers (line ends,
// upper-casing, includes found beside the file, in the working folder and whatever their case),
// and the open failures with the file and line that name them, nesting bounds included.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "driver/source_reader.h"
#include "test_files.h"

namespace qubrix::test {
namespace {

// Files of a case, the first being the main source. "<dir>" makes a folder, "<fifo>" a pipe.
using Files = std::vector<std::pair<std::string, std::string>>;

void Create(const TempDir& dir, const Files& files) {
    for (const auto& [name, bytes] : files) {
        if (bytes == "<dir>")
            std::filesystem::create_directories(dir / name);
        else if (bytes == "<fifo>")
            ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        else
            WriteFile(dir / name, bytes);
    }
}

struct Delivered {
    std::string text;
    std::string file;  // relative to the case's folder
    int line;
    bool operator==(const Delivered&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Delivered& d) {
    return os << "{\"" << d.text << "\", " << d.file << ", " << d.line << '}';
}

// The whole merged stream, up to and including the line delivered with the end.
std::vector<Delivered> Stream(Fichier& f, const TempDir& dir) {
    std::vector<Delivered> out;
    for (bool end = false; !end && out.size() < 1000;) {
        Delivered d;
        end = f.GetLine(d.text, d.file, d.line);
        d.file.erase(0, d.file.rfind(dir.path(), 0) == 0 ? dir.path().size() : 0);
        out.push_back(d);
    }
    return out;
}

TEST(SourceReaderTest, MergedStream) {
    const struct {
        const char* name;
        Files files;
        std::vector<Delivered> stream;
        const char* workDir = "";  // relative to the case's folder
        // clang-format off
    } cases[] = {
        {"a line end after the last line gives one more empty line", {{"m.asm", "a\nb\n"}},
         {{"A", "m.asm", 1}, {"B", "m.asm", 2}, {"", "m.asm", 3}}},
        {"no line end after the last line", {{"m.asm", "a\nb"}}, {{"A", "m.asm", 1}, {"B", "m.asm", 2}}},
        {"CR LF line ends", {{"m.asm", "a\r\nb\r\n"}}, {{"A", "m.asm", 1}, {"B", "m.asm", 2}, {"", "m.asm", 3}}},
        {"mixed line ends, blank lines kept", {{"m.asm", "a\r\n\nb\nc"}},
         {{"A", "m.asm", 1}, {"", "m.asm", 2}, {"B", "m.asm", 3}, {"C", "m.asm", 4}}},
        {"an empty file is one empty line", {{"m.asm", ""}}, {{"", "m.asm", 1}}},
        {"only ASCII letters are upper-cased", {{"m.asm", "lbl:\tmove.w #$ff,d0 ; '\xC3\xA9t\xC3\xA9' \xE9"}},
         {{"LBL:\tMOVE.W #$FF,D0 ; '\xC3\xA9T\xC3\xA9' \xE9", "m.asm", 1}}},
        {"an indented INCLUDE gives way to the included lines",
         {{"m.asm", "\tnop\n\tinclude vect.asm\n\trts\n"}, {"VECT.ASM", "v1\nv2\n"}},
         {{"\tNOP", "m.asm", 1}, {"V1", "VECT.ASM", 1}, {"V2", "VECT.ASM", 2}, {"", "VECT.ASM", 3},
          {"\tRTS", "m.asm", 3}, {"", "m.asm", 4}}},
        {"include names are matched whatever the case of folders and files",
         {{"m.asm", " INCLUDE inc/Vect.asm"}, {"Inc/vEct.Asm", "x"}}, {{"X", "Inc/vEct.Asm", 1}}},
        {"the working folder is searched after the including file's folder",
         {{"m.asm", " include defs.inc\n"}, {"work/defs.inc", "d"}}, {{"D", "work/defs.inc", 1}, {"", "m.asm", 2}},
         "work/"},
        {"the including file's folder comes first",
         {{"m.asm", " include defs.inc"}, {"work/defs.inc", "d"}, {"DEFS.INC", "near"}},
         {{"NEAR", "DEFS.INC", 1}}, "work/"},
        {"INCLUDE in column one is an ordinary line", {{"m.asm", "INCLUDE a.asm\nnop"}, {"a.asm", "a"}},
         {{"INCLUDE A.ASM", "m.asm", 1}, {"NOP", "m.asm", 2}}},
        {"a second inclusion of the same file delivers it again",
         {{"m.asm", " include a.asm\n include a.asm\nend"}, {"a.asm", "a"}},
         {{"A", "a.asm", 1}, {"A", "a.asm", 1}, {"END", "m.asm", 3}}},
        {"each INCLUDE line delivers its own file, whatever the names contain",
         {{"m.asm", " include data.asm\n include a.asm\nend"}, {"data.asm", "d"}, {"a.asm", "a"}},
         {{"D", "data.asm", 1}, {"A", "a.asm", 1}, {"END", "m.asm", 3}}},
        {"INCLUDE after a label", {{"m.asm", "here include a.asm\nx: include a.asm"}, {"a.asm", "a"}},
         {{"A", "a.asm", 1}, {"A", "a.asm", 1}}},
        {"INCLUDE in a comment or inside a longer word is text",
         {{"m.asm", "* see the include files\n nop ; include x\n includes y\n dc.b 'include z'"}},
         {{"* SEE THE INCLUDE FILES", "m.asm", 1}, {" NOP ; INCLUDE X", "m.asm", 2}, {" INCLUDES Y", "m.asm", 3},
          {" DC.B 'INCLUDE Z'", "m.asm", 4}}},
        {"a file ending on an INCLUDE line ends with the included file",
         {{"m.asm", "nop\n include a.asm"}, {"a.asm", "a1\na2"}},
         {{"NOP", "m.asm", 1}, {"A1", "a.asm", 1}, {"A2", "a.asm", 2}}},
        {"nested includes keep their own line numbers",
         {{"m.asm", "m1\n include b.asm\nm3"}, {"b.asm", "b1\n include c.asm\nb3"}, {"c.asm", "c1"}},
         {{"M1", "m.asm", 1}, {"B1", "b.asm", 1}, {"C1", "c.asm", 1}, {"B3", "b.asm", 3}, {"M3", "m.asm", 3}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Create(dir, c.files);
        Fichier f(dir / c.files[0].first, *c.workDir ? dir / c.workDir : "");
        ASSERT_FALSE(f.openFailed());
        EXPECT_EQ(Stream(f, dir), c.stream);
        f.Rewind();
        EXPECT_EQ(Stream(f, dir), c.stream) << "the second pass reads the same stream";
    }
}

// main.asm -> i1.asm -> ... -> iN.asm
Files Chain(int n) {
    Files files{{"main.asm", " include i1.asm\n"}};
    for (int i = 1; i <= n; ++i)
        files.push_back(
            {"i" + std::to_string(i) + ".asm", i < n ? " include i" + std::to_string(i + 1) + ".asm\n" : "deep\n"});
    return files;
}

// main.asm includes l1.asm `width` times, l1.asm includes l2.asm as often ... down to
// l<depth>.asm.
Files FanOut(int width, int depth) {
    Files files;
    for (int level = 0; level <= depth; ++level) {
        std::string text;
        for (int i = 0; level < depth && i < width; ++i) text += " include l" + std::to_string(level + 1) + ".asm\n";
        files.push_back({level == 0 ? "main.asm" : "l" + std::to_string(level) + ".asm", text + " nop\n"});
    }
    return files;
}

TEST(SourceReaderTest, OpenFailuresNameTheFileAndLine) {
    const struct {
        const char* name;
        Files files;       // main.asm first; none for a missing main file
        std::string file;  // relative to the case's folder unless absolute; empty: no failure
        int line;
        OpenFailure reason;
        // clang-format off
    } cases[] = {
        {"missing include", {{"main.asm", "nop\n\n include nothere.asm\nnop\n"}}, "main.asm", 3, OpenFailure::NotFound},
        {"INCLUDE without a file name", {{"main.asm", "nop\n   include\n"}}, "main.asm", 2, OpenFailure::NoFileName},
        {"missing main file", {}, "main.asm", 0, OpenFailure::CannotOpen},
        {"a folder is no source", {{"main.asm", "<dir>"}}, "main.asm", 0, OpenFailure::CannotOpen},
        {"an included folder fails at line 0", {{"main.asm", " include sub\n"}, {"sub", "<dir>"}}, "sub", 0,
         OpenFailure::CannotOpen},
        {"a device never ends: refused", {{"main.asm", " include /dev/zero\n"}}, "/dev/zero", 0, OpenFailure::CannotOpen},
        {"a pipe would block: refused", {{"main.asm", " include pipe.asm\n"}, {"pipe.asm", "<fifo>"}}, "pipe.asm", 0,
         OpenFailure::CannotOpen},
        {"the first failure in scan order",
         {{"main.asm", " include a.asm\n include b.asm\n"}, {"a.asm", "\n include gone1.asm\n"}, {"b.asm", " include gone2.asm\n"}},
         "a.asm", 2, OpenFailure::NotFound},
        {"direct self-include", {{"main.asm", "nop\n include main.asm\n"}}, "main.asm", 2, OpenFailure::Cycle},
        // Each file includes the other twice: a depth bound alone would open 2^15 files.
        {"indirect self-include is refused at once",
         {{"main.asm", " include a.asm\n"}, {"a.asm", " include b.asm\n include b.asm\n"}, {"b.asm", " include A.ASM\n include a.asm\n"}},
         "b.asm", 1, OpenFailure::Cycle},
        // Ten includes a level, five levels deep: a hundred thousand files without a bound.
        {"a fan-out of includes is bounded as a whole", FanOut(10, 5), "l4.asm", 5, OpenFailure::TooLarge},
        {"fifteen levels of includes are allowed", Chain(15), "", 0, OpenFailure::None},
        {"sixteen levels are refused", Chain(16), "i15.asm", 1, OpenFailure::TooDeep},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Create(dir, c.files);
        Fichier f(dir / "main.asm", "");
        std::string file;
        int line = -5;
        OpenFailure why = OpenFailure::None;
        ASSERT_EQ(f.FindOpenError(file, line, &why), !c.file.empty());
        if (c.file.empty()) continue;
        EXPECT_EQ(file, c.file[0] == '/' ? c.file : dir / c.file);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(why, c.reason);
    }
}

}  // namespace
}  // namespace qubrix::test
