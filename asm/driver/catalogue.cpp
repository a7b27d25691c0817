// The diagnostics catalogue: the English and French text of every code, and the class texts
// that mark listing lines.
#include <atomic>
#include <string>
#include <string_view>

#include "driver/diagnostics.h"

namespace qubrix {
namespace {

struct CatalogueEntry {
    int code;
    const char* english;  // nullptr: the code has no text
    const char* french;
};

// clang-format off
// Texts are kept exactly as the users of the assembler know them, double blanks included.
constexpr CatalogueEntry kCatalogue[] = {
    // code, English text, French text
    {0x100, "WARNING : ", "WARNING non défini"},
    {0x101, "WARNING : ASCII constant exceeds 4 characters", "WARNING : ASCII constante dépasse 4 caractères"},
    {0x102, "WARNING : Numeric constant exceeds 32 bits", "WARNING : Constante numérique dépasse 32 bits"},
    {0x103, "WARNING : Evaluation of expression could not be completed", "WARNING : L'expression ne peut être complètement évaluée"},
    {0x201, "WARNING : Invalid size code", "WARNING : Taille du code non valide"},
    {0x202, "ERROR :  Invalid addressing mode", "ERREUR :  Mode d'adressage non valide"},
    {0x203, "ERROR : Invalid vecteur number", "ERREUR : Numéro de vecteur non valide"},
    {0x204, "ERROR : Branch instruction displacement is out of range or invalid", "ERREUR : Branch intruction décalage est trop grand ou invalide"},
    {0x205, "ERROR : Deplacement out of range", "ERREUR : Déplacement trop grand"},
    {0x206, "ERROR : Absolute address exceeds 16 bits", "ERREUR : L'adresse absolue dépasse 16 bits"},
    {0x207, "ERROR :Immediate data exceeds 8 bits", "ERREUR : La valeur immédiate dépasse une valeur sur 8 bits"},
    {0x208, "ERROR : Immediate data exceeds 16 bits", "ERREUR : La valeur immédiate dépasse une valeur sur 16 bits"},
    {0x209, nullptr, nullptr},
    {0x20A, "ERROR : The symbol specified is not a register list symbol", "ERREUR : Le symbole spécifié n'est pas un registre"},
    {0x20B, "ERROR : Register list symbol used in an expression", "ERREUR : Le registre est utilisé dans une expression"},
    {0x20C, "ERROR : Invalid constant shift count", "ERREUR : Valeur de décalage non valide"},
    {0x20D, "ERROR : MOVEQ instruction constant out of range", "ERREUR : Constante trop grande pour l'intruction MOVEQ"},
    {0x20E, "ERROR : Forward references not allowed with this directive", "ERREUR : Pour cette directive, il ne faut pas de pré définition"},
    {0x300, "ERROR no defined", "ERREUR non défini"},
    {0x301, "ERROR : Symbole no define", "ERREUR : Symbole non défini"},
    {0x302, "ERROR : zero division", "ERREUR : Division  par zéro"},
    {0x303, "ERROR : multiple defintion of symbol", "ERREUR : Symbole ayant plusieurs définition"},
    {0x305, "ERROR : register list no define", "ERREUR : La liste des registre n'est pas défini"},
    {0x306, nullptr, nullptr},
    {0x307, "ERROR : block length is less zero", "ERREUR : La longeur du block est inféreur à zéro"},
    {0x308, "ERROR : Origin value is odd", "ERREUR : Erreur d'origine est impaire"},
    {0x401, "ERROR : syntax error", "ERREUR : Mauvaise syntaxe"},
    {0x402, "ERROR : bad instruction code", "ERREUR : Code instruction non valide"},
    {0x403, nullptr, nullptr},
    {0x404, "ERROR : label must use with this directive", "ERREUR : Pour cette directive, il faut un label"},
    {0x405, "ERROR :symbol value is different betwen the pass 1 and 2", "ERREUR : La valeur du symbole est différentes entre la première et la seconde phase"},
    {0x406, "ERROR :  Impossible to open file", "ERREUR :  Impossible d'ouvrir le fichier"},
    {0x407, "ERROR : intersection section code and var", "ERREUR : Intersection des section code et var non vide"},
    {0x408, "ERROR : Error writing to output file", "ERREUR : Erreur d'écriture du fichier de sortie"},
};

struct DetailEntry {
    Detail which;
    const char* english;
    const char* french;
};

constexpr DetailEntry kDetails[] = {
    {Detail::IncludeCycle, "%1 is already being included (include cycle)", "%1 est déjà en cours d'inclusion (inclusion circulaire)"},
    {Detail::SelfInclude, "%1 includes itself", "%1 s'inclut lui-même"},
    {Detail::IncludeTooDeep, "include files nested deeper than %1 levels", "fichiers Include imbriqués sur plus de %1 niveaux"},
    {Detail::IncludeTooLarge, "include tree too large (more than %1 files or %2 MiB)", "trop de fichiers Include (plus de %1 fichiers ou %2 Mio)"},
};
// clang-format on

std::atomic<Language> g_language{Language::French};

}  // namespace

void SetCatalogueLanguage(Language lang) { g_language.store(lang, std::memory_order_relaxed); }

Language CatalogueLanguage() { return g_language.load(std::memory_order_relaxed); }

const char* CatalogueText(int code, Language lang) {
    for (const CatalogueEntry& entry : kCatalogue) {
        if (entry.code != code) continue;
        const char* text = lang == Language::English ? entry.english : entry.french;
        return text ? text : "";
    }
    return "";
}

const char* CatalogueText(int code) { return CatalogueText(code, CatalogueLanguage()); }

const char* CatalogueDetail(Detail which, Language lang) {
    for (const DetailEntry& entry : kDetails)
        if (entry.which == which) return lang == Language::English ? entry.english : entry.french;
    return "";
}

std::string DetailText(Detail which, const std::string& arg1, const std::string& arg2) {
    // One pass over the text, so an argument holding "%2" (a file name) is never replaced.
    const std::string_view format = CatalogueDetail(which, CatalogueLanguage());
    std::string text;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == '1' || format[i + 1] == '2')) {
            text += format[++i] == '1' ? arg1 : arg2;
        } else {
            text += format[i];
        }
    }
    return text;
}

const char* ListingAnnotation(int code) {
    // Listing lines carry the class text, not the specific one.
    int id = code;
    if (code > 0x300)
        id = 0x300;
    else if (code > 0x100)
        id = 0x100;
    return CatalogueText(id);
}

}  // namespace qubrix
