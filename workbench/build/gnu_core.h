// Plain rules of the GNU build: which driver compiles a source, the tools' argument lists and
// environment, names derived from the source path, the linker file list, the default options,
// and the capture of a tool's output into lines and into "gnu.txt".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::build::gnu {

// The compiler driver for a source: prefix + "g++" when the whole path contains ".cpp" and
// does not contain ".s" (case-sensitive), otherwise prefix + "gcc"; both in root/bin. Only
// the last component of the prefix counts (a prefix may be given as a path).
std::string compilerProgram(std::string_view root, std::string_view prefix, std::string_view sourcePath);
// The link always goes through the C driver.
std::string linkerProgram(std::string_view root, std::string_view prefix);
// objcopy, which writes the S-records from the linked ELF program.
std::string objcopyProgram(std::string_view root, std::string_view prefix);

// The source's file name (after the last '/') and its folder (before it; empty without one).
std::string sourceName(std::string_view sourcePath);
std::string sourceFolder(std::string_view sourcePath);
// The file name without its extension (from the last '.'); a name without '.' is kept whole,
// so derived files never become hidden files or land in another folder.
std::string baseName(std::string_view sourcePath);

// Words of an options text: separated by blanks or tabs, empty pieces dropped.
std::vector<std::string> splitWords(std::string_view text);

// A file name as a tool's argument: one starting with '-' gets "./" so that it is never read
// as an option.
std::string fileArgument(std::string_view name);

// The compiler's arguments: the options' words, then the file name.
std::vector<std::string> compileArguments(std::string_view options, std::string_view name);
// The linker's arguments: its options, the input files in list order, base + ".o", "-o",
// base + ".elf" (the program kept for debuggers).
std::vector<std::string> linkArguments(std::string_view options, std::string_view files, std::string_view base);
// objcopy's arguments: base + ".elf" to Motorola S-records in base + ".abs".
std::vector<std::string> objcopyArguments(std::string_view base);
// The command line as written into "gnu.txt" when a tool cannot start: the word "1" stands
// where the program's own name goes.
std::string compileCommandText(std::string_view options, std::string_view name);
std::string linkCommandText(std::string_view options, std::string_view files, std::string_view base);

// The child's whole environment: PATH = root/bin.
std::vector<std::string> toolEnvironment(std::string_view root);

// Linker input files: the stored text split at blanks (no empty entries), and the entries
// joined back with one blank between them.
std::vector<std::string> splitFileList(std::string_view text);
std::string joinFileList(const std::vector<std::string>& files);

// What the "Défaut" buttons offer, and what a settings file without the entries uses: the
// run-time's specs file in runtimeFolder, by full path, brings the start-up object, libraries,
// header folder and linker script, so no input files are listed.
struct DefaultOptions {
    std::string compiler;
    std::string linker;
    std::vector<std::string> files;
};
DefaultOptions defaultOptions(std::string_view runtimeFolder);
// The defaults of the earlier run-time (a small library of its own and a script writing
// S-records directly); settings holding them exactly are read as the current defaults.
DefaultOptions formerDefaultOptions(std::string_view runtimeFolder);

// The line "gnu.txt" gets when a tool was ended by a signal, naming it ("SIGSEGV" ...).
std::string signalText(int signalNumber);

// Splits a tool's output into lines: at every line feed (not kept), carriage returns kept,
// empty lines kept, and a last line without a line feed taken when the output ends.
class OutputLines {
public:
    void feed(std::string_view bytes);
    // The output has ended: a pending partial line becomes the last line.
    void finish();
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    std::string m_partial;
    std::vector<std::string> m_lines;
};

// A diagnostic of the compiler or the linker, for the error list: "FILE:LINE[:COLUMN]: TEXT"
// (file and line known), or a line that says "error:", "warning:" or "undefined reference"
// without a place (file empty, line 0, the whole line as text).
struct ToolDiagnostic {
    std::string file;
    int line = 0;
    int column = 0;
    std::string text;
    bool operator==(const ToolDiagnostic&) const = default;
};
std::optional<ToolDiagnostic> parseToolDiagnostic(std::string_view line);

// A system text for "gnu.txt": every "\n" becomes CR LF.
std::string crlf(std::string_view text);

// The fixed texts of "gnu.txt" and of the build dialog's fields.
inline constexpr std::string_view kCompileHeader = "Compilation du fichier \"%1\"...";
inline constexpr std::string_view kCannotRun = "\n impossible d'éxecuter la commande :\n  %1  %2\n\n";
inline constexpr std::string_view kLinkHeader = "\nLinkage...\n";
inline constexpr std::string_view kSignalLine = "L'outil a été arrêté par le signal %1 (%2).";
inline constexpr std::string_view kLinkStep = "Linkage";
inline constexpr std::string_view kLinkFailedTail = "\nIl y a des erreurs!";
inline constexpr std::string_view kLinkDoneTail = "\nLe Fichier S-Record est généré";
inline constexpr std::string_view kCompileFailed = "Il y a des erreurs de compilation!";
inline constexpr std::string_view kCompileDone = "Il n'y a pas d'erreur de compilation";
inline constexpr std::string_view kCompileNotRun = "Impossible d'éxecuter la commande!";
inline constexpr std::string_view kLinkFailed = "Il y a des erreurs de linkage!";
inline constexpr std::string_view kLinkDone = "Il n'y a pas d'erreur de linkage";

}  // namespace korvan::build::gnu
