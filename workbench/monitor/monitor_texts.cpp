// The monitor window's French and English text table.
#include "monitor_texts.h"

#include <array>

#include "korvan_app.h"
#include "texts.h"

namespace korvan::monitor {

namespace {

using Entry = shell::TextEntry;

// clang-format off
// id                            French                                      English
constexpr std::array kTexts{
    Entry{mtext::kOpeningPort,          "Ouverture du port %s\n",                   "Open port number %s\n"},
    Entry{mtext::kCannotOpen,           "Impossible d'ouvrir!",                     "Impossible to open !"},
    Entry{mtext::kNotResponding,        "Le module KORVAN est soit hors tension, soit non connecté",
                                        "KORVAN is off, or not connected."},
    Entry{mtext::kNotRespondingCaption, "KORVAN ne répond pas",                     "KORVAN not connected"},
    Entry{mtext::kFilterSRecord,        "S-RECORD FILE (*.abs)|*.abs|",             ""},
    Entry{mtext::kMonitorTitle,         "Moniteur",                                 ""},
    Entry{mtext::kConfigureFailed,      "Impossible de configurer le port",         ""},
    Entry{mtext::kLineLost,             "\r\nLiaison perdue avec le module (port %s).\r\n"
                                        "KORVAN > Recharger rouvre le port.\r\n",
                                        "\r\nLine to the module lost (port %s).\r\n"
                                        "KORVAN > Reload reopens the port.\r\n"},
    Entry{mtext::kNoAnswer,             "Le module KORVAN n'a pas répondu.\n"
                                        "Un programme y tourne peut-être encore : la touche Échap l'arrête. "
                                        "Sinon, le module est hors tension ou non connecté.",
                                        "KORVAN did not answer.\n"
                                        "A program may still be running on it: the ESC key stops it. "
                                        "Otherwise the module is off or not connected."},
    Entry{mtext::kLoadTitle,            "Téléchargement S-RECORD...",               ""},
    Entry{mtext::kLoadFile,             "Fichier:",                                 "File"},
    Entry{mtext::kLoadAddress,          "Adresse=",                                 "Adress="},
    Entry{mtext::kLoadLength,           "Taille=",                                  "Length="},
    Entry{mtext::kCancel,               "Annuler",                                  "Cancel"},
    Entry{mtext::kUnreadableFile,       "Téléchargement impossible :\n%1\nRien n'a été envoyé au module.",
                                        "Cannot download:\n%1\nNothing was sent to the module."},
    Entry{mtext::kOk,                   "&Valider",                                 "&Ok"},
    Entry{mtext::kCancelAmp,            "&Annuler",                                 "&Cancel"},
    Entry{mtext::kBlockNotAcknowledged, "Le module n'a pas acquitté le bloc d'adresse $%1 : téléchargement arrêté "
                                        "après l'envoi de %2 octets.\nLe programme chargé dans le module est incomplet.",
                                        "The module did not acknowledge the block at address $%1: download stopped "
                                        "after %2 bytes were sent.\nThe program in the module is incomplete."},
    Entry{mtext::kCpuTitle,             "CPU32",                                    ""},
    Entry{mtext::kDataRegisters,        "Registre de Données",                      "Data register"},
    Entry{mtext::kAddressRegisters,     "Registre d'adresse",                       "adress register"},
    Entry{mtext::kStacks,               "Piles",                                    "Stack"},
    Entry{mtext::kClose,                "Fermer",                                   "Close"},
    Entry{mtext::kModifyTitle,          "Modification de registre",                 "Modify register"},
    Entry{mtext::kModifyOk,             "Valider",                                  "&Ok"},
    Entry{mtext::kModifyCancel,         "Annuler",                                  "&Cancel"},
    Entry{mtext::kNotHexadecimal,       "« %1 » n'est pas un nombre hexadécimal : rien n'a été envoyé.",
                                        "\"%1\" is not a hexadecimal number: nothing was sent."},
    Entry{mtext::kRunTitle,             "Exécuter...",                              "Run..."},
    Entry{mtext::kConfigTitle,          "Configuration de moniteur",                ""},
    Entry{mtext::kConfigPort,           "Port:",                                    ""},
    Entry{mtext::kConfigDetect,         "Détection  de l'KORVAN 000",               "Detect KORVAN"},
    Entry{mtext::kConfigAutoDownload,   "Téléchargement automatique",               "Download automatic"},
};
// clang-format on

}  // namespace

QString monitorText(int id) {
    const shell::CKorvanApp* app = shell::CKorvanApp::instance();
    const shell::Language lang = app ? app->uiLanguage() : shell::Language::French;
    return QString::fromUtf8(shell::lookupText(kTexts, id, lang));
}

}  // namespace korvan::monitor
