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
    Entry{mtext::kDebugRunning,         "Programme en cours d'exécution",           "Program running"},
    Entry{mtext::kDebugStoppedAt,       "Arrêt en %1, ligne %2",                    "Stopped at %1, line %2"},
    Entry{mtext::kDebugStoppedIn,       "Arrêt en %1, ligne %2 (%3)",               "Stopped at %1, line %2 (%3)"},
    Entry{mtext::kDebugOutside,         "Arrêt à $%1, hors du programme",           "Stopped at $%1, outside the program"},
    Entry{mtext::kDebugNoProgram,       "Aucun programme n'a été téléchargé dans le module : "
                                        "assemblez ou construisez le programme, puis téléchargez-le.",
                                        "No program was downloaded into the module: "
                                        "assemble or build the program, then download it."},
    Entry{mtext::kDebugNoLine,          "Aucune instruction en %1 à partir de la ligne %2.",
                                        "No instruction in %1 from line %2 on."},
    Entry{mtext::kDebugTooMany,         "Au plus %1 points d'arrêt.",               "At most %1 breakpoints."},
    Entry{mtext::kDebugCaption,         "Débogage",                                 "Debug"},
    Entry{mtext::kDebugToggle,          "Point d'arrêt (F9)",                       "Breakpoint (F9)"},
    Entry{mtext::kDebugRunToCursor,     "Exécuter jusqu'au curseur (Ctrl+F10)",     "Run to cursor (Ctrl+F10)"},
    Entry{mtext::kMemoryTitle,          "Mémoire",                                  "Memory"},
    Entry{mtext::kMemoryAddress,        "Adresse :",                                "Address:"},
    Entry{mtext::kMemoryBytes,          "Octets",                                   "Bytes"},
    Entry{mtext::kMemoryWords,          "Mots",                                     "Words"},
    Entry{mtext::kMemoryLongs,          "Longs",                                    "Longs"},
    Entry{mtext::kMemoryNeedsMd,        "Le moniteur de ce module n'a pas la commande « md » : "
                                        "la mémoire ne peut pas être lue.",
                                        "This module's monitor has no \"md\" command: its memory cannot be read."},
    Entry{mtext::kMemoryRefresh,        "Actualiser",                               "Refresh"},
    Entry{mtext::kMemoryBadValue,       "« %1 » n'est pas une valeur hexadécimale de cette taille : rien n'a été écrit.",
                                        "\"%1\" is not a hexadecimal value of that size: nothing was written."},
    Entry{mtext::kDebugBusy,            "Commandes en cours vers le module...",     "Sending commands to the module..."},
    Entry{mtext::kMenuCopy,             "Copier\tCtrl+Maj+C",                       "Copy\tCtrl+Shift+C"},
    Entry{mtext::kMenuPaste,            "Coller\tCtrl+Maj+V",                       "Paste\tCtrl+Shift+V"},
    Entry{mtext::kMenuSelectAll,        "Tout sélectionner",                        "Select all"},
    Entry{mtext::kMenuClear,            "Effacer l'écran et l'historique",          "Clear screen and scrollback"},
    Entry{mtext::kMenuSave,             "Enregistrer la session...",                "Save session..."},
    Entry{mtext::kMenuLog,              "Journal des réceptions dans un fichier...", "Log received data to a file..."},
    Entry{mtext::kSaveTitle,            "Enregistrer la session du terminal",       "Save the terminal session"},
    Entry{mtext::kLogTitle,             "Fichier journal des réceptions",           "Log file of received data"},
    Entry{mtext::kFilterText,           "Fichiers texte (*.txt)",                   "Text files (*.txt)"},
    Entry{mtext::kFilterLog,            "Fichiers journal (*.log)",                 "Log files (*.log)"},
    Entry{mtext::kCannotWrite,          "Impossible d'écrire le fichier %1 :\n%2",  "Cannot write the file %1:\n%2"},
    Entry{mtext::kLogFailed,            "\r\nJournal arrêté : %1 (%2)\r\n",          "\r\nLog stopped: %1 (%2)\r\n"},
    Entry{mtext::kStatusLine,           "Port %1 : %2, %3",                         "Port %1: %2, %3"},
    Entry{mtext::kStatusLog,            ", journal %1",                             ", log %1"},
    Entry{mtext::kLineOpen,             "liaison ouverte",                          "line open"},
    Entry{mtext::kLineLostState,        "liaison perdue",                           "line lost"},
    Entry{mtext::kLineNotOpen,          "port non ouvert",                          "port not open"},
    Entry{mtext::kLineDownloading,      "téléchargement en cours",                  "download in progress"},
    Entry{mtext::kProgramRunning,       "programme en cours d'exécution",           "program running"},
    Entry{mtext::kProgramNotRunning,    "aucun programme en cours",                 "no program running"},
    Entry{mtext::kStatusScrolledBack,   " (historique : %1 lignes plus bas)",       " (scrollback: %1 lines below)"},
};
// clang-format on

}  // namespace

QString monitorText(int id) {
    const shell::CKorvanApp* app = shell::CKorvanApp::instance();
    const shell::Language lang = app ? app->uiLanguage() : shell::Language::French;
    return QString::fromUtf8(shell::lookupText(kTexts, id, lang));
}

}  // namespace korvan::monitor
