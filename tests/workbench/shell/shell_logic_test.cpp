// Plain logic of the workbench shell: source encodings and line ends, safe saving, the editor's
// read limits, toolchain detection, text fallbacks and menu sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

#include "commands.h"
#include "menus.h"
#include "source_file.h"
#include "source_text.h"
#include "texts.h"
#include "toolchain.h"
#include "../../support/table.h"

namespace fs = std::filesystem;
using namespace korvan::shell;
using korvan::test::readTable;
using std::string_literals::operator""s;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "korvan-shell-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

fs::path spit(const fs::path& p, const std::string& bytes, mode_t mode = 0644) {
    std::ofstream(p, std::ios::binary) << bytes;
    ::chmod(p.c_str(), mode);
    return p;
}

// ---- decoding and encoding -------------------------------------------------------------------

// Each file of data/source_texts.txt decodes as expected and encodes back to its bytes.
TEST(SourceText, DecodesAsExpectedAndEncodesBackToTheSameBytes) {
    const std::map<std::string, TextEncoding> encodings{{"utf-8", TextEncoding::Utf8},
                                                        {"windows-1252", TextEncoding::Windows1252}};
    const std::map<std::string, LineEnd> lineEnds{{"LF", LineEnd::Lf}, {"CRLF", LineEnd::CrLf}, {"CR", LineEnd::Cr}};
    for (const auto& r : readTable(KORVAN_SHELL_DATA "/source_texts.txt", 5)) {
        const DecodedText d = decodeSource(r[1]);
        EXPECT_EQ(std::tuple(d.format.encoding, d.format.lineEnd, d.utf8),
                  std::tuple(encodings.at(r[2]), lineEnds.at(r[3]), r[4]))
            << r[0];
        EXPECT_EQ(encodeSource(d.utf8, d.format), std::optional<std::string>(r[1])) << r[0];
    }
}

TEST(SourceText, Windows1252KeepsWhatItCanHoldAndRefusesTheRest) {
    const DecodedText d = decodeSource("caf\xE9\n");
    ASSERT_EQ(d.format.encoding, TextEncoding::Windows1252);
    EXPECT_FALSE(encodeSource("caf\xC3\xA9 \xE2\x86\x92\n", d.format).has_value());  // U+2192
    EXPECT_EQ(encodeSource("caf\xC3\xA9 \xE2\x80\x94\n", d.format), std::optional<std::string>("caf\xE9 \x97\n"));
}

TEST(SourceText, MixedLineEndsKeptPerLineUntilTheLineCountChanges) {
    const DecodedText d = decodeSource("a\r\nb\nc\r\n");
    EXPECT_EQ(encodeSource("A\nB\nC\n", d.format), std::optional<std::string>("A\r\nB\nC\r\n"));
    // A line added: the most frequent line end is used throughout.
    EXPECT_EQ(encodeSource("a\nnew\nb\nc\n", d.format), std::optional<std::string>("a\r\nnew\r\nb\r\nc\r\n"));
}

TEST(SourceText, Utf8Validation) {
    for (const char* valid : {"plain ascii", "\xF0\x9F\x98\x80" /* U+1F600 */}) EXPECT_TRUE(isValidUtf8(valid));
    for (const char* invalid : {"\xF4\x90\x80\x80" /* beyond U+10FFFF */, "\xE2\x82" /* cut short */,
                                "\x80" /* lone continuation */, "\xE0\x80\x80" /* overlong */, "\xC0\xAF"})
        EXPECT_FALSE(isValidUtf8(invalid)) << invalid;
}

TEST(GoToLineDestination, ClampsToTheText) {
    struct Row {
        int lines, target, expected;
    };
    for (const Row& r : {Row{10, -5, 0}, {10, 0, 0}, {10, 4, 4}, {10, 9, 9}, {10, 10, 9}, {10, 100000, 9}, {1, 7, 0}})
        EXPECT_EQ(goToLineDestination(r.lines, r.target), r.expected) << r.lines << " lines, target " << r.target;
}

// ---- files ---------------------------------------------------------------------------------

TEST(SafeSave, ReplacesTheFileKeepsItsModeAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path file = spit(dir.path / "main.src", "old contents\r\n", 0640);
    const FileResult r = writeFileSafely(file.string(), "new\0bytes\r\n"s);
    ASSERT_TRUE(r.ok) << r.error;
    std::string read;
    ASSERT_TRUE(readWholeFile(file.string(), read).ok);
    EXPECT_EQ(read, "new\0bytes\r\n"s);  // read back whole, NUL included
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
    // Through a symbolic link the link stays and its target is written.
    fs::create_symlink(file, dir.path / "link.src");
    ASSERT_TRUE(writeFileSafely((dir.path / "link.src").string(), "after").ok);
    EXPECT_TRUE(fs::is_symlink(dir.path / "link.src"));
    ASSERT_TRUE(readWholeFile(file.string(), read).ok);
    EXPECT_EQ(read, "after");
    // Failures are reported and create nothing; a folder is not a source.
    const FileResult failed = writeFileSafely((dir.path / "missing-folder" / "x.src").string(), "data");
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.empty());
    EXPECT_FALSE(fs::exists(dir.path / "missing-folder"));
    EXPECT_FALSE(readWholeFile((dir.path / "none").string(), read).ok);
    EXPECT_FALSE(readWholeFile(dir.path.string(), read).ok);
}

// The editor's limits: a file at both limits is read; one byte more of file or of a line is
// refused, with its size or the line's number, before the rest is read.
TEST(ReadLimits, AtTheLimitsReadOneByteMoreRefused) {
    constexpr uint64_t kMax = kEditorLimits.maxBytes;
    constexpr uint64_t kLine = kEditorLimits.maxLineBytes;
    const std::string longest(kLine, 'a');
    std::string atSize;  // lines of the longest length, CR LF ended, up to the size limit
    while (atSize.size() + kLine + 2 <= kMax) atSize += longest + "\r\n";
    atSize += std::string(kMax - atSize.size(), 'b');
    ASSERT_LE(kMax - (atSize.rfind('\n') + 1), kLine);
    struct Case {
        const char* name;
        std::string bytes;
        ReadRefusal refusal;
        uint64_t at;
    };
    const Case cases[] = {
        {"file at both limits", atSize, ReadRefusal::None, 0},
        {"file one byte over", atSize + "\n", ReadRefusal::TooLarge, kMax + 1},
        {"last line at the limit, no line end", "x\n" + longest, ReadRefusal::None, 0},
        {"line one byte over after LF", "x\n" + longest + "a\n", ReadRefusal::LineTooLong, 2},
        {"CR LF counts one line end", "x\r\ny\r\n" + longest + "a", ReadRefusal::LineTooLong, 3},
        {"a lone CR ends a line", "x\ry\r\r" + longest + "a", ReadRefusal::LineTooLong, 4},
        {"line ends do not count in the line", longest + "\r\n" + longest + "\r", ReadRefusal::None, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const fs::path file = spit(dir.path / "f.src", c.bytes);
        std::string read = "before";
        const FileResult r = readWholeFile(file.string(), read, kEditorLimits);
        // A refusal leaves nothing half read.
        EXPECT_EQ(std::tuple(r.ok, r.refusal, r.at, read),
                  std::tuple(c.refusal == ReadRefusal::None, c.refusal, c.at, r.ok ? c.bytes : "before"))
            << c.name;
    }
    // A sparse file of several gigabytes is refused from its size alone.
    const fs::path huge = dir.path / "huge.src";
    spit(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), off_t{3} << 30), 0);
    std::string read;
    const FileResult r = readWholeFile(huge.string(), read, kEditorLimits);
    EXPECT_EQ(std::pair(r.refusal, r.at), std::pair(ReadRefusal::TooLarge, uint64_t{3} << 30));
    // An endless device is refused once the limit is passed instead of filling the memory; a
    // named pipe without a writer does not block the reader.
    EXPECT_NE(readWholeFile("/dev/zero", read, kEditorLimits).refusal, ReadRefusal::None);
    ASSERT_EQ(::mkfifo((dir.path / "pipe").c_str(), 0600), 0);
    EXPECT_TRUE(readWholeFile((dir.path / "pipe").string(), read, kEditorLimits).ok);
}

// The places are tried in order: a stored prefix (a name looked up on PATH, or a path), the
// toolchain installed beside the program, script/toolchain's folder, then PATH; a stored prefix
// that names nothing hides nothing, and a compiler that cannot be run is none.
TEST(Toolchain, SearchOrderAndRunnableCompilersOnly) {
    TempDir dir;
    const auto compiler = [&](const std::string& root, const char* name = "m68k-elf-gcc", mode_t mode = 0755) {
        fs::create_directories(dir.path / root / "bin");
        return spit(dir.path / root / "bin" / name, "#!/bin/sh\n", mode).string();
    };
    fs::create_directories(dir.path / "install" / "bin");
    const std::string installed = compiler("install/lib/korvan/m68k-elf"), script = compiler("script");
    const std::string onPath = compiler("path"), stored = compiler("stored"), named = compiler("path", "m68k-test-gcc");
    compiler("plain", "m68k-elf-gcc", 0644);
    compiler("plain", "m68k-test-gcc", 0644);
    const std::string programFolder = (dir.path / "install" / "bin").string();
    const std::string storedPrefix = (dir.path / "stored" / "bin" / "m68k-elf-").string();
    const std::string pathList = (dir.path / "path" / "bin").string(), plain = (dir.path / "plain").string();
    struct Case {
        std::string prefix, program, scriptPrefix, path, expected, expectedPrefix = "m68k-elf-";
    };
    const Case cases[] = {
        {storedPrefix, programFolder, (dir.path / "script").string(), pathList, stored},
        {"", programFolder, (dir.path / "script").string(), pathList, installed},
        {"/nowhere/m68k-elf-", "/nowhere", (dir.path / "script").string(), pathList, script},
        {"", "", "/nowhere", pathList, onPath},
        {"m68k-test-", "", "", "/nonexistent::" + pathList, named, "m68k-test-"},
        {"", "", "", "/nowhere", ""},
        {"m68k-test-", "", plain, plain + "/bin", ""},
        {plain + "/bin/m68k-test-", "", "", "", ""},
    };
    for (const auto& c : cases) {
        const ToolchainInfo info = findToolchain({c.prefix, c.program, c.scriptPrefix, c.path});
        const fs::path expected = fs::path(c.expected).lexically_normal();
        EXPECT_EQ(std::tuple(fs::path(info.compiler).lexically_normal(), info.present, info.root,
                             info.present ? info.prefix : ""),
                  std::tuple(expected, !c.expected.empty(), expected.parent_path().parent_path().string(),
                             c.expected.empty() ? "" : c.expectedPrefix))
            << c.prefix << " " << c.path;
    }
    EXPECT_EQ(defaultScriptPrefix("/tc", "/home/e"), "/tc");
    EXPECT_EQ(defaultScriptPrefix("", "/home/e"), "/home/e/.local/share/korvan/m68k-elf");
}

// ---- texts and menus ---------------------------------------------------------------------------

TEST(Texts, LanguageWordAndFallbacks) {
    for (const char* word : {"", "francais", "ANGLAIS"}) EXPECT_EQ(languageFromWord(word), Language::English) << word;
    EXPECT_EQ(languageFromWord("FRANCAIS"), Language::French);  // only in capitals
    // Texts that exist in French only are taken by the English table.
    EXPECT_EQ(lookupText(text::kFilterAsm, Language::English), "source SRC(*.src,*.s,*.def)|*.src;*.s;*.def|");
    EXPECT_EQ(commandPrompt(cmd::kBitmap, Language::English), "Convertir un fichier BMP en C pour DALVOR");
    EXPECT_EQ(commandPrompt(cmd::kMonitorWindow, Language::French), "");
    // Fields of a document string are separated by '\n'; a missing field is empty.
    EXPECT_EQ(documentStringField(text::kDocStringsSource, Language::French, 1), "prog");
    EXPECT_EQ(documentStringField(text::kDocStringsMonitor, Language::French, 2), "Moniteur");
    EXPECT_EQ(documentStringField(text::kDocStringsMonitor, Language::French, 5), "");
}

std::vector<const MenuItem*> flat(const std::vector<MenuItem>& items) {
    std::vector<const MenuItem*> out;
    for (const MenuItem& i : items) {
        out.push_back(&i);
        for (const MenuItem* sub : flat(i.items)) out.push_back(sub);
    }
    return out;
}

// The text of command id in a menu set, or nothing when the set does not carry it.
std::optional<std::string> commandText(int set, Language lang, int id) {
    const std::vector<MenuItem> items = menuSet(set, lang);
    for (const MenuItem* i : flat(items))
        if (i->kind == MenuItem::Kind::Command && i->id == id) return std::string(i->text);
    return std::nullopt;
}

TEST(MenuSets, WhichCommandsEachSetCarries) {
    struct Row {
        int set;
        Language lang;
        int id;
        const char* text;
    };  // null: absent, "": any text
    // clang-format off
    const Row rows[] = {
        {kMenuSetMain, Language::French, cmd::kBitmap, ""},
        {kMenuSetToolchain, Language::French, cmd::kBitmap, ""},
        // The bitmap converter is in the English menus too.
        {kMenuSetMain, Language::English, cmd::kBitmap, "Bitmap..."},
        {kMenuSetToolchain, Language::English, cmd::kBitmap, "Bitmap..."},
        {kMenuSetSource, Language::English, cmd::kBitmap, nullptr},
        {kMenuSetSource, Language::French, cmd::kBitmap, nullptr},
        {kMenuSetMain, Language::French, cmd::kBreakpoint, ""},
        {kMenuSetMain, Language::English, cmd::kBreakpoint, nullptr},
        {kMenuSetSource, Language::French, cmd::kGnuCompile, nullptr},
        {kMenuSetSource, Language::French, cmd::kConfigGnu, nullptr},
        {kMenuSetToolchain, Language::French, cmd::kGnuLink, ""},
        {kMenuSetToolchain, Language::French, cmd::kConfigGnu, ""},
        // New carries its shortcut text, except in the toolchain's set.
        {kMenuSetMain, Language::French, cmd::kFileNew, "&Nouveau\tCtrl+N"},
        {kMenuSetSource, Language::French, cmd::kFileNew, "&Nouveau\tCtrl+N"},
        {kMenuSetToolchain, Language::French, cmd::kFileNew, "&Nouveau"},
    };
    // clang-format on
    for (const Row& r : rows) {
        const std::optional<std::string> text = commandText(r.set, r.lang, r.id);
        EXPECT_EQ(text.has_value(), r.text != nullptr) << "command " << r.id << " in set " << r.set;
        EXPECT_TRUE(!text || !r.text || !*r.text || *text == r.text) << r.id << ": " << *text;
    }
}

TEST(MenuSets, EveryCommandHasAPromptUnlessItHasNone) {
    const std::set<int> withoutPrompt{cmd::kMonitorWindow, cmd::kLanguageFrench, cmd::kLanguageEnglish,
                                      cmd::kViewOutputBar, cmd::kGnuLink};
    for (Language lang : {Language::French, Language::English})
        for (int set : {kMenuSetMain, kMenuSetSource, kMenuSetToolchain}) {
            const std::vector<MenuItem> items = menuSet(set, lang);
            for (const MenuItem* i : flat(items))
                EXPECT_TRUE(i->kind != MenuItem::Kind::Command || withoutPrompt.count(i->id) ||
                            !commandPrompt(i->id, lang).empty())
                    << "command " << i->id << " in set " << set;
        }
}

TEST(Accelerators, EachKeyBoundOnce) {
    std::map<std::string_view, int> keys;
    for (const cmd::Accelerator& a : cmd::accelerators())
        EXPECT_TRUE(keys.emplace(a.keys, a.id).second) << "key bound twice: " << a.keys;
    EXPECT_EQ(keys.at("F3"), cmd::kEditRepeat);
}

}  // namespace
