// Command-line assembler: one run of a source file exactly as the library's progress dialog
// runs it, going on whenever the run allows it; diagnostics go to standard error as
// FILE:LINE: TEXT so that editors can jump to them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/diagnostics.h"
#include "driver/entry_points.h"
#include "driver/library_settings.h"
#include "driver/run.h"
#include "driver/sections.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = "usage: qubrix [--lang fr|en] [--no-list] [--code HEX] [--var HEX] [--dir DIR] SOURCE\n";

constexpr const char* kHelp =
    "Assembles a CPU32 source file into an S-record file (.abs) and a listing (.lis) beside\n"
    "it, and writes the run report message.txt into the current folder.\n"
    "\n"
    "  --lang fr|en   language of the diagnostics (default: the workbench's setting)\n"
    "  --no-list      write no listing\n"
    "  --code HEX     origin of the code section (default: the library's setting)\n"
    "  --var HEX      origin of the variable section (default: the library's setting)\n"
    "  --dir DIR      folder searched for include files not found beside their includer\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 when the run counted no error, 1 otherwise, 2 for a usage error.\n";

struct Options {
    std::optional<qubrix::Language> lang;
    bool noList = false;
    std::optional<std::string> code;
    std::optional<std::string> var;
    std::optional<std::string> dir;
    std::string source;
};

enum class Action { Assemble, Help, Version };

struct UsageError {
    std::string message;
};

// A section origin on the command line: hexadecimal digits, optionally after 0x, 32 bits.
bool IsHexOrigin(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

Action ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> sources;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            sources.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--opt=value" is taken as "--opt value".
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.erase(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= argc) throw UsageError{"option " + arg + " needs a value"};
            return argv[++i];
        };
        auto noValue = [&]() {
            if (inlineValue) throw UsageError{"option " + arg + " takes no value"};
        };

        if (arg == "--help" || arg == "-h") {
            noValue();
            return Action::Help;
        }
        if (arg == "--version") {
            noValue();
            return Action::Version;
        }
        if (arg == "--no-list") {
            noValue();
            options.noList = true;
        } else if (arg == "--lang") {
            const std::string lang = value();
            if (lang == "fr")
                options.lang = qubrix::Language::French;
            else if (lang == "en")
                options.lang = qubrix::Language::English;
            else
                throw UsageError{"unknown language '" + lang + "' (fr or en)"};
        } else if (arg == "--code" || arg == "--var") {
            const std::string origin = value();
            if (!IsHexOrigin(origin)) throw UsageError{"'" + origin + "' is not a hexadecimal address"};
            (arg == "--code" ? options.code : options.var) = origin;
        } else if (arg == "--dir") {
            options.dir = value();
        } else {
            throw UsageError{"unknown option " + arg};
        }
    }
    if (sources.empty()) throw UsageError{"no source file"};
    if (sources.size() > 1) throw UsageError{"one source file only"};
    options.source = sources.front();
    return Action::Assemble;
}

// The list holds the newest diagnostic first; print in source order, with the diagnostics that
// belong to no line (the section overlap, for one) at the end.
void PrintDiagnostics(ListErreur& list) {
    std::vector<const ErreurAsm*> items;
    for (const ErreurAsm* e = list.GetFirstErreur(); e != nullptr; e = list.GetNextErreur()) items.push_back(e);
    std::reverse(items.begin(), items.end());
    std::stable_partition(items.begin(), items.end(), [](const ErreurAsm* e) { return e->LitLigne() > 0; });

    for (const ErreurAsm* e : items) {
        std::string text = e->LitErreur();  // the catalogue text and what the run adds to it
        if (text.empty()) {
            // Codes without a catalogue text still deserve a mention.
            char code[16];
            std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(e->LitCode()));
            text = code;
        }
        const std::string file = e->LitFichier();
        if (file.empty())
            std::fprintf(stderr, "qubrix: %s\n", text.c_str());
        else if (e->LitLigne() > 0)
            std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), e->LitLigne(), text.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", file.c_str(), text.c_str());
    }
}

int Assemble(const Options& options) {
    qubrix::SetCatalogueLanguage(options.lang ? *options.lang : qubrix::ReadWorkbenchLanguage());

    qubrix::OriginTexts origins = qubrix::ReadOriginTexts();
    if (options.code) origins.code = *options.code;
    if (options.var) origins.var = *options.var;
    qubrix::RunSettings settings = qubrix::MakeRunSettings(qubrix::ReadListFlag(), origins);
    if (options.noList) settings.listing = false;
    // The process is one run: the working directory is this run's only.
    if (options.dir) qubrix::SetWorkingDirectory(qubrix::NormalizedWorkingDirectory(*options.dir));

    ListErreur list;
    // An include cycle, nesting or tree too large is named in its diagnostic's text.
    const qubrix::RunOutcome outcome =
        qubrix::AssembleSource(settings, options.source, &list, [](qubrix::AssemblyRun& run) {
            run.runPasses();
            return true;
        });
    PrintDiagnostics(list);
    if (outcome.failed) std::fprintf(stderr, "qubrix: %s\n", outcome.failure.c_str());
    return outcome.errors == 0 && !outcome.failed ? kExitClean : kExitErrors;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    Action action = Action::Assemble;
    try {
        action = ParseArguments(argc, argv, options);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "qubrix: %s\n%s", error.message.c_str(), kUsage);
        return kExitUsage;
    }
    switch (action) {
    case Action::Help:
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kExitClean;
    case Action::Version: std::fputs("qubrix " QUBRIX_VERSION "\n", stdout); return kExitClean;
    case Action::Assemble: break;
    }
    try {
        return Assemble(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qubrix: internal error: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "qubrix: internal error\n");
    }
    return kExitErrors;
}
