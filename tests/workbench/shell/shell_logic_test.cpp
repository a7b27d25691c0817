// Plain logic of the workbench shell: source encodings and line ends, safe saving, toolchain
// detection, text tables and menu sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include "commands.h"
#include "menus.h"
#include "source_file.h"
#include "source_text.h"
#include "texts.h"
#include "toolchain.h"

namespace fs = std::filesystem;
using namespace korvan::shell;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "korvan-shell-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// ---- decoding and encoding -------------------------------------------------------------------

struct DecodeCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    LineEnd lineEnd;
    std::string text;  // expected UTF-8 text with '\n' line ends
};

class SourceTextRoundTrip : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(SourceTextRoundTrip, DecodesAsExpectedAndEncodesBackToTheSameBytes) {
    const DecodeCase& c = GetParam();
    const DecodedText d = decodeSource(c.bytes);
    EXPECT_EQ(d.format.encoding, c.encoding);
    EXPECT_EQ(d.format.lineEnd, c.lineEnd);
    EXPECT_EQ(d.utf8, c.text);
    const auto back = encodeSource(d.utf8, d.format);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, c.bytes);
}

using std::string_literals::operator""s;

INSTANTIATE_TEST_SUITE_P(
    Files, SourceTextRoundTrip,
    ::testing::Values(
        DecodeCase{"Empty", "", TextEncoding::Utf8, LineEnd::Lf, ""},
        DecodeCase{"UnixLines", "MOVE.L D0,D1\nRTS\n", TextEncoding::Utf8, LineEnd::Lf, "MOVE.L D0,D1\nRTS\n"},
        DecodeCase{"DosLines", "MOVE.L D0,D1\r\nRTS\r\n", TextEncoding::Utf8, LineEnd::CrLf, "MOVE.L D0,D1\nRTS\n"},
        DecodeCase{"OldMacLines", "a\rb\r", TextEncoding::Utf8, LineEnd::Cr, "a\nb\n"},
        DecodeCase{"NoFinalLineEnd", "a\r\nlast", TextEncoding::Utf8, LineEnd::CrLf, "a\nlast"},
        DecodeCase{"BlankLinesOnly", "\r\n\r\n\r\n", TextEncoding::Utf8, LineEnd::CrLf, "\n\n\n"},
        DecodeCase{"MixedLineEndsMostlyDos", "a\r\nb\nc\r\nd\re", TextEncoding::Utf8, LineEnd::CrLf, "a\nb\nc\nd\ne"},
        DecodeCase{"Latin1Comment", "; r\xE9sultat \xE0 z\xE9ro\r\n", TextEncoding::Windows1252, LineEnd::CrLf,
                   "; r\xC3\xA9sultat \xC3\xA0 z\xC3\xA9ro\n"},
        DecodeCase{"Windows1252Euro", "prix \x80\n", TextEncoding::Windows1252, LineEnd::Lf, "prix \xE2\x82\xAC\n"},
        DecodeCase{"Windows1252UnassignedBytes", "\x81\x8D\x8F\x90\x9D", TextEncoding::Windows1252, LineEnd::Lf,
                   "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        DecodeCase{"Latin1NoBreakSpace", "a\xA0" "b\n", TextEncoding::Windows1252, LineEnd::Lf, "a\xC2\xA0" "b\n"},
        DecodeCase{"Utf8Accents", "; r\xC3\xA9sultat\n", TextEncoding::Utf8, LineEnd::Lf, "; r\xC3\xA9sultat\n"},
        DecodeCase{"Utf8WithByteOrderMark", "\xEF\xBB\xBF" "DC.B 1\r\n", TextEncoding::Utf8, LineEnd::CrLf, "DC.B 1\n"},
        DecodeCase{"NulByteKept", "a\0b\n"s, TextEncoding::Utf8, LineEnd::Lf, "a\0b\n"s},
        DecodeCase{"Utf8CutAtEndIsWindows1252", "ok \xC3", TextEncoding::Windows1252, LineEnd::Lf, "ok \xC3\x83"},
        DecodeCase{"OverlongIsWindows1252", "\xC0\xAF", TextEncoding::Windows1252, LineEnd::Lf, "\xC3\x80\xC2\xAF"},
        DecodeCase{"SurrogateIsWindows1252", "\xED\xA0\x80", TextEncoding::Windows1252, LineEnd::Lf,
                   "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceText, CharacterThatWindows1252CannotHoldIsRefused) {
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
    EXPECT_TRUE(isValidUtf8("plain ascii"));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));       // U+1F600
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));      // beyond U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));              // cut short
    EXPECT_FALSE(isValidUtf8("\x80"));                  // lone continuation byte
    EXPECT_FALSE(isValidUtf8("\xE0\x80\x80"));          // overlong three-byte form
}

// ---- go to line ----------------------------------------------------------------------------

TEST(GoToLineDestination, ClampsToTheText) {
    struct Row { int lines, target, expected; };
    const Row rows[] = {
        {10, -5, 0}, {10, -1, 0}, {10, 0, 0}, {10, 4, 4}, {10, 9, 9}, {10, 10, 9}, {10, 100000, 9},
        {1, 0, 0},   {1, 7, 0},   {1, -7, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(goToLineDestination(r.lines, r.target), r.expected) << r.lines << " lines, target " << r.target;
}

// ---- safe saving --------------------------------------------------------------------------

TEST(SafeSave, ReplacesTheFileKeepsItsModeAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path file = dir.path / "main.src";
    spit(file, "old contents\r\n");
    ::chmod(file.c_str(), 0640);
    const FileResult r = writeFileSafely(file.string(), std::string("new\0bytes\r\n", 11));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(slurp(file), std::string("new\0bytes\r\n", 11));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(SafeSave, WritesThroughASymbolicLink) {
    TempDir dir;
    const fs::path real = dir.path / "real.src";
    const fs::path link = dir.path / "link.src";
    spit(real, "before");
    fs::create_symlink(real, link);
    ASSERT_TRUE(writeFileSafely(link.string(), "after").ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "after");
}

TEST(SafeSave, FailureReportsAndCreatesNothing) {
    TempDir dir;
    const fs::path file = dir.path / "missing-folder" / "x.src";
    const FileResult r = writeFileSafely(file.string(), "data");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(fs::exists(file));
}

TEST(SafeSave, ReadBackWholeFileWithNulBytes) {
    TempDir dir;
    const std::string bytes("\0\x01\xFF\r\n", 5);
    spit(dir.path / "b.bin", bytes);
    std::string read;
    ASSERT_TRUE(readWholeFile((dir.path / "b.bin").string(), read).ok);
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(readWholeFile((dir.path / "none").string(), read).ok);
    EXPECT_FALSE(readWholeFile(dir.path.string(), read).ok);  // a folder is not a source
}

// ---- toolchain -----------------------------------------------------------------------------

TEST(Toolchain, FoundOnThePathWithItsRoot) {
    TempDir dir;
    fs::create_directories(dir.path / "cross" / "bin");
    const fs::path gcc = dir.path / "cross" / "bin" / "m68k-test-gcc";
    spit(gcc, "#!/bin/sh\n");
    ::chmod(gcc.c_str(), 0755);
    const std::string path = "/nonexistent::" + (dir.path / "cross" / "bin").string();
    const ToolchainInfo info = detectToolchain("m68k-test-", path);
    EXPECT_TRUE(info.present);
    EXPECT_EQ(info.root, (dir.path / "cross").string());
    EXPECT_EQ(info.compiler, gcc.string());

    const ToolchainInfo byPath = detectToolchain((dir.path / "cross" / "bin" / "m68k-test-").string(), "");
    EXPECT_TRUE(byPath.present);
    EXPECT_EQ(byPath.root, (dir.path / "cross").string());
}

TEST(Toolchain, AbsentWhenMissingOrNotExecutable) {
    TempDir dir;
    const fs::path gcc = dir.path / "bin" / "m68k-test-gcc";
    fs::create_directories(gcc.parent_path());
    spit(gcc, "not a program");
    ::chmod(gcc.c_str(), 0644);
    EXPECT_FALSE(detectToolchain("m68k-test-", (dir.path / "bin").string()).present);
    EXPECT_FALSE(detectToolchain("other-", (dir.path / "bin").string()).present);
    EXPECT_FALSE(detectToolchain("", (dir.path / "bin").string()).present);
    EXPECT_TRUE(detectToolchain("m68k-test-", (dir.path / "bin").string()).root.empty());
}

// ---- texts ---------------------------------------------------------------------------------

TEST(Texts, LanguageWordAndFallbacks) {
    EXPECT_EQ(languageFromWord("FRANCAIS"), Language::French);
    EXPECT_EQ(languageFromWord("francais"), Language::English);
    EXPECT_EQ(languageFromWord(""), Language::English);
    // Filters exist in French only; the English table takes them.
    EXPECT_EQ(lookupText(text::kFilterAsm, Language::English), "source SRC(*.src,*.s,*.def)|*.src;*.s;*.def|");
    EXPECT_EQ(commandPrompt(cmd::kBitmap, Language::English), "Convertir un fichier BMP en C pour DALVOR");
    EXPECT_EQ(commandPrompt(cmd::kGoToLine, Language::English), "go to line number");
    EXPECT_EQ(commandPrompt(cmd::kFileNew, Language::French), "Crée un nouveau document");
    EXPECT_EQ(commandToolTip(cmd::kFileNew, Language::French), "Nouveau");
    EXPECT_EQ(commandPrompt(cmd::kMonitorWindow, Language::French), "");
    EXPECT_EQ(documentStringField(text::kDocStringsSource, Language::French, 1), "prog");
    EXPECT_EQ(documentStringField(text::kDocStringsSource, Language::English, 3), "Fichiers Korvan (*.src;*.def;*.c;*.h)");
    EXPECT_EQ(documentStringField(text::kDocStringsMonitor, Language::English, 1), "Monitrr 68332");
    EXPECT_EQ(documentStringField(text::kDocStringsMonitor, Language::French, 2), "Moniteur");
    EXPECT_EQ(documentStringField(text::kDocStringsMonitor, Language::French, 5), "");
}

// ---- menu sets -----------------------------------------------------------------------------

void collect(const std::vector<MenuItem>& items, std::vector<const MenuItem*>& out) {
    for (const MenuItem& i : items) {
        out.push_back(&i);
        collect(i.items, out);
    }
}

std::vector<const MenuItem*> flat(const std::vector<MenuItem>& set) {
    std::vector<const MenuItem*> out;
    collect(set, out);
    return out;
}

bool hasCommand(const std::vector<MenuItem>& set, int id) {
    for (const MenuItem* i : flat(set))
        if (i->kind == MenuItem::Kind::Command && i->id == id) return true;
    return false;
}

std::vector<std::string> barTitles(const std::vector<MenuItem>& set) {
    std::vector<std::string> out;
    for (const MenuItem& i : set) out.emplace_back(i.text);
    return out;
}

TEST(MenuSets, TopLevelMenusOfEachSet) {
    using V = std::vector<std::string>;
    EXPECT_EQ(barTitles(menuSet(kMenuSetMain, Language::French)),
              (V{"&Fichier", "KORVAN", "&Configurer", "&Affichage", "&?"}));
    EXPECT_EQ(barTitles(menuSet(kMenuSetSource, Language::French)),
              (V{"&Fichier", "&Edition", "Assembleur", "KORVAN", "Configuration", "&Affichage", "Fe&nêtre", "&?"}));
    EXPECT_EQ(barTitles(menuSet(kMenuSetToolchain, Language::French)),
              (V{"&Fichier", "&Edition", "Assembleur", "Compile", "KORVAN", "Configuration", "&Affichage", "Fe&nêtre", "&?"}));
    EXPECT_EQ(barTitles(menuSet(kMenuSetSource, Language::English)),
              (V{"&File", "&Edit", "Assemble", "KORVAN", "Setup", "&View", "&Window", "&?"}));
}

TEST(MenuSets, LanguageDifferences) {
    EXPECT_TRUE(hasCommand(menuSet(kMenuSetMain, Language::French), cmd::kBitmap));
    EXPECT_TRUE(hasCommand(menuSet(kMenuSetMain, Language::French), cmd::kBreakpoint));
    EXPECT_FALSE(hasCommand(menuSet(kMenuSetMain, Language::English), cmd::kBitmap));
    EXPECT_FALSE(hasCommand(menuSet(kMenuSetMain, Language::English), cmd::kBreakpoint));
    EXPECT_TRUE(hasCommand(menuSet(kMenuSetToolchain, Language::French), cmd::kBitmap));
    EXPECT_FALSE(hasCommand(menuSet(kMenuSetToolchain, Language::English), cmd::kBitmap));
    EXPECT_FALSE(hasCommand(menuSet(kMenuSetSource, Language::French), cmd::kBitmap));
    for (int id : {cmd::kGnuCompile, cmd::kGnuLink, cmd::kGnuBuild, cmd::kConfigGnu}) {
        EXPECT_FALSE(hasCommand(menuSet(kMenuSetSource, Language::French), id)) << id;
        EXPECT_TRUE(hasCommand(menuSet(kMenuSetToolchain, Language::French), id)) << id;
    }
}

TEST(MenuSets, NewCarriesItsShortcutTextExceptInSet130) {
    auto newText = [](int set) {
        const std::vector<MenuItem> items = menuSet(set, Language::French);
        for (const MenuItem* i : flat(items))
            if (i->id == cmd::kFileNew) return std::string(i->text);
        return std::string();
    };
    EXPECT_EQ(newText(kMenuSetMain), "&Nouveau\tCtrl+N");
    EXPECT_EQ(newText(kMenuSetSource), "&Nouveau\tCtrl+N");
    EXPECT_EQ(newText(kMenuSetToolchain), "&Nouveau");
}

TEST(MenuSets, EveryCommandHasAPromptUnlessItHasNone) {
    const std::set<int> withoutPrompt{cmd::kMonitorWindow, cmd::kLanguageFrench, cmd::kLanguageEnglish,
                                      cmd::kViewOutputBar, cmd::kGnuLink};
    for (Language lang : {Language::French, Language::English}) {
        for (int set : {kMenuSetMain, kMenuSetSource, kMenuSetToolchain}) {
            const std::vector<MenuItem> items = menuSet(set, lang);
            for (const MenuItem* i : flat(items)) {
                if (i->kind != MenuItem::Kind::Command || withoutPrompt.count(i->id)) continue;
                EXPECT_FALSE(commandPrompt(i->id, lang).empty()) << "command " << i->id << " in set " << set;
            }
        }
    }
}

TEST(Accelerators, SharedTable) {
    std::map<std::string_view, int> keys;
    for (const cmd::Accelerator& a : cmd::accelerators()) {
        EXPECT_TRUE(keys.emplace(a.keys, a.id).second) << "key bound twice: " << a.keys;
    }
    EXPECT_EQ(keys.at("Ctrl+N"), cmd::kFileNew);
    EXPECT_EQ(keys.at("Alt+Backspace"), cmd::kEditUndo);
    EXPECT_EQ(keys.at("Shift+Ins"), cmd::kEditPaste);
    EXPECT_EQ(keys.at("F3"), cmd::kEditRepeat);
    EXPECT_EQ(keys.size(), 20u);
}

}  // namespace
