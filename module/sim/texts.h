// The simulator's own texts in English and French, and the choice of language.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace korvan::sim {

enum class Language { English, French };

enum class Text {
    Name,
    TypeHelp,
    HelpVe,
    HelpDr,
    HelpSs,
    HelpGo,
    HelpRegister,
    HelpSr,
    HelpLo,
    HelpMd,
    HelpHe,
    ErrorPrefix,
    ErrorLoadStart,
    ErrorRegister,
    ErrorGo,
    ErrorMd,
    ErrorUnknown,
    LoadedOne,
    LoadedMany,
    BlockOne,
    BlockMany,
    LoadedOutside,
    ProgramEnded,
    WithStatus,
    ProgramStopped,
    Interrupted,
    JumpedIntoMonitor,
    StringUnmapped,
    NoFunction,
    DoubleFault,
    Stop,
    BusError,
    AddressError,
    InstructionFetch,
    ReadOf,
    WriteTo,
    ByInstruction,
    IllegalOpcode,
    Breakpoint,
    IllegalInstruction,
    ZeroDivide,
    Chk,
    Trapv,
    Privilege,
    Trace,
    LineA,
    LineF,
    FormatError,
    Uninitialised,
    Spurious,
    InterruptLevel,
    TrapWithoutHandler,
    VectorWithoutHandler,
};

// The text in that language, UTF-8, with %1, %2 ... replaced by the arguments in order.
std::string text(Text id, Language language, std::initializer_list<std::string_view> args = {});

// "fr" or "en"; nothing for any other value.
std::optional<Language> parseLanguage(std::string_view value);

// The language of the locale: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty decides, French when it starts with "fr", English otherwise.
Language languageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);
Language languageFromEnvironment();

// UTF-8 text as the line carries it: one Latin-1 byte a character, "?" beyond Latin-1.
std::string toLatin1(std::string_view utf8);

}  // namespace korvan::sim
