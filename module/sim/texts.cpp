// The simulator's own texts, one row per text with its English and French wording.
#include "texts.h"

#include <array>
#include <cstdlib>

namespace korvan::sim {

namespace {

struct Entry {
    Text id;
    std::string_view english;
    std::string_view french;
};

// Rows in the order of Text, checked at compile time.
constexpr std::array kTexts{
    Entry{Text::Name, "KORVAN CPU32 monitor 1.0 (simulated module)", "KORVAN CPU32 moniteur 1.0 (module simulé)"},
    Entry{Text::TypeHelp, "type he for the list of commands", "tapez he pour la liste des commandes"},
    Entry{Text::HelpVe, "ve                 monitor name and version", "ve                 nom et version du moniteur"},
    Entry{Text::HelpDr, "dr                 register dump", "dr                 affichage des registres"},
    Entry{Text::HelpSs, "ss                 execute one instruction, then the dump",
          "ss                 exécute une instruction, puis affiche les registres"},
    Entry{Text::HelpGo, "GO [addr]          run from addr (default PC); ESC or Ctrl-C stops the program",
          "GO [adr]           exécute depuis adr (PC par défaut) ; ESC ou Ctrl-C arrête le programme"},
    Entry{Text::HelpRegister, "Dn=XXXXXXXX        set D0-D7, A0-A7, PC, SS or US (hexadecimal)",
          "Dn=XXXXXXXX        modifie D0-D7, A0-A7, PC, SS ou US (hexadécimal)"},
    Entry{Text::HelpSr, "SR=XXXX            set the status register", "SR=XXXX            modifie le registre d'état"},
    Entry{Text::HelpLo, "LO                 download: then 0x16, blocks, a lone CR ends it",
          "LO                 chargement : puis 0x16, les blocs, un CR seul le termine"},
    Entry{Text::HelpMd, "md addr [count]    memory display (hexadecimal, count default 40)",
          "md adr [nombre]    affichage mémoire (hexadécimal, nombre 40 par défaut)"},
    Entry{Text::HelpHe, "he                 this list", "he                 cette liste"},
    Entry{Text::ErrorPrefix, "error: ", "erreur : "},
    Entry{Text::ErrorLoadStart, "LO must be followed by the byte 16 (hexadecimal)",
          "LO doit être suivi de l'octet 16 (hexadécimal)"},
    Entry{Text::ErrorRegister, "register commands: D0-D7, A0-A7, PC, SS, US = 1 to 8 hexadecimal digits, SR = 1 to 4",
          "commandes de registre : D0-D7, A0-A7, PC, SS, US = 1 à 8 chiffres hexadécimaux, SR = 1 à 4"},
    Entry{Text::ErrorGo, "GO takes a hexadecimal address", "GO prend une adresse hexadécimale"},
    Entry{Text::ErrorMd, "md addr [count]: hexadecimal address, count 1 to 1000 (hexadecimal)",
          "md adr [nombre] : adresse hexadécimale, nombre de 1 à 1000 (hexadécimal)"},
    Entry{Text::ErrorUnknown, "unknown command \"%1\" (he lists the commands)",
          "commande inconnue \"%1\" (he donne la liste des commandes)"},
    Entry{Text::LoadedOne, "loaded %1 byte in ", "%1 octet chargé en "},
    Entry{Text::LoadedMany, "loaded %1 bytes in ", "%1 octets chargés en "},
    Entry{Text::BlockOne, "%1 block", "%1 bloc"},
    Entry{Text::BlockMany, "%1 blocks", "%1 blocs"},
    Entry{Text::LoadedOutside, ", error: %1 bytes outside memory from $%2",
          ", erreur : %1 octets hors de la mémoire à partir de $%2"},
    Entry{Text::ProgramEnded, "program ended", "programme terminé"},
    Entry{Text::WithStatus, " with status %1", " avec le code %1"},
    Entry{Text::ProgramStopped, "program stopped", "programme arrêté"},
    Entry{Text::Interrupted, "interrupted", "interrompu"},
    Entry{Text::JumpedIntoMonitor, "the program jumped into the monitor's area at %1",
          "le programme a sauté dans la zone du moniteur en %1"},
    Entry{Text::StringUnmapped, "TRAP #15 function 2: the string runs into unmapped memory at %1",
          "TRAP #15 fonction 2 : la chaîne déborde sur de la mémoire absente en %1"},
    Entry{Text::NoFunction, "TRAP #15: no function %1", "TRAP #15 : pas de fonction %1"},
    Entry{Text::DoubleFault, "double fault: the processor halted (no room for an exception frame)",
          "double faute : le processeur s'est arrêté (pas de place pour un cadre d'exception)"},
    Entry{Text::Stop, "STOP: the processor waits for an interrupt", "STOP : le processeur attend une interruption"},
    Entry{Text::BusError, "bus error: ", "erreur de bus : "},
    Entry{Text::AddressError, "address error: ", "erreur d'adresse : "},
    Entry{Text::InstructionFetch, "instruction fetch at %1", "lecture d'instruction en %1"},
    Entry{Text::ReadOf, "read of %1", "lecture en %1"},
    Entry{Text::WriteTo, "write to %1", "écriture en %1"},
    Entry{Text::ByInstruction, " by the instruction at %1", " par l'instruction en %1"},
    Entry{Text::IllegalOpcode, "ILLEGAL instruction at %1", "instruction ILLEGAL en %1"},
    Entry{Text::Breakpoint, "breakpoint BKPT #%1 at %2", "point d'arrêt BKPT #%1 en %2"},
    Entry{Text::IllegalInstruction, "illegal instruction %1 at %2", "instruction illégale %1 en %2"},
    Entry{Text::ZeroDivide, "zero divide by the instruction at %1", "division par zéro par l'instruction en %1"},
    Entry{Text::Chk, "CHK: register out of bounds at %1", "CHK : registre hors limites en %1"},
    Entry{Text::Trapv, "TRAPV or TRAPcc trap at %1", "déroutement TRAPV ou TRAPcc en %1"},
    Entry{Text::Privilege, "privilege violation at %1", "violation de privilège en %1"},
    Entry{Text::Trace, "trace after the instruction at %1", "trace après l'instruction en %1"},
    Entry{Text::LineA, "unimplemented line A instruction %1 at %2", "instruction ligne A non implémentée %1 en %2"},
    Entry{Text::LineF, "unimplemented line F instruction %1 at %2", "instruction ligne F non implémentée %1 en %2"},
    Entry{Text::FormatError, "format error: RTE with a bad frame at %1",
          "erreur de format : RTE avec un cadre invalide en %1"},
    Entry{Text::Uninitialised, "uninitialised interrupt", "interruption non initialisée"},
    Entry{Text::Spurious, "spurious interrupt", "interruption parasite"},
    Entry{Text::InterruptLevel, "interrupt level %1 without a handler", "interruption de niveau %1 sans traitant"},
    Entry{Text::TrapWithoutHandler, "TRAP #%1 without a handler (next instruction at %2)",
          "TRAP #%1 sans traitant (instruction suivante en %2)"},
    Entry{Text::VectorWithoutHandler, "exception vector %1 without a handler", "vecteur d'exception %1 sans traitant"},
};

constexpr bool inOrder() {
    for (std::size_t i = 0; i < kTexts.size(); ++i)
        if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
    return kTexts.size() == static_cast<std::size_t>(Text::VectorWithoutHandler) + 1;
}
static_assert(inOrder(), "one row per text, in the order of Text");

bool isFrench(const char* value) { return std::string_view(value).starts_with("fr"); }

}  // namespace

std::string text(Text id, Language language, std::initializer_list<std::string_view> args) {
    const Entry& entry = kTexts[static_cast<std::size_t>(id)];
    const std::string_view pattern = language == Language::French ? entry.french : entry.english;
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t n = i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : args.size();
        if (pattern[i] == '%' && n < args.size()) {
            out += args.begin()[n];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::optional<Language> parseLanguage(std::string_view value) {
    if (value == "fr") return Language::French;
    if (value == "en") return Language::English;
    return std::nullopt;
}

Language languageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang})
        if (value != nullptr && *value != '\0') return isFrench(value) ? Language::French : Language::English;
    return Language::English;
}

Language languageFromEnvironment() {
    return languageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::string toLatin1(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
            out += static_cast<char>(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else if (b >= 0xC0) {
            out += '?';  // beyond Latin-1: its continuation bytes are skipped below
        }
    }
    return out;
}

}  // namespace korvan::sim
