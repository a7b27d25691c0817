// The French and English text tables. An English cell left empty takes the French text.
#include "texts.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "commands.h"

namespace korvan::shell {

namespace {

using Entry = TextEntry;

// clang-format off
// Command texts are "prompt\ntool tip"; the prompt shows in the status line while the
// command is under the mouse.
// id                        French                                                      English
constexpr std::array kTexts{
    Entry{text::kCaretPaneWidth,   "Ligne =       ", "Line =       "},
    Entry{text::kDocStringsSource, "\nprog\nEdit\nFichiers Korvan (*.src;*.def;*.c;*.h)\n.src;.def\nKorvan.Document\nassembleur", ""},
    Entry{text::kDocStringsMonitor,"\nMoniteur 68332\nMoniteur", "\nMonitrr 68332\nMonitor"},
    Entry{text::kFilterC,          "Source C (*.c,*.cpp,*.h)|*.c;*.cpp;*.h|", ""},
    Entry{text::kFilterAsm,        "source SRC(*.src,*.s,*.def)|*.src;*.s;*.def|", ""},
    Entry{text::kFilterListing,    "List File(*.lis)|*.lis|", ""},
    Entry{text::kFilterAll,        "tous type (*.*)|*.*|", ""},
    Entry{text::kErrorColumnFile,  "Fichier", "File"},
    Entry{text::kErrorColumnLine,  "Ligne", "Line"},
    Entry{text::kErrorColumnText,  "Description", ""},
    Entry{cmd::kGnuCompile,        "Compilation du fichier courant...", "Compile current file"},
    Entry{text::kFilterBitmap,     "bitmap (*.bmp)|*.bmp|", ""},
    Entry{text::kAppTitle,         "korvan", ""},
    Entry{text::kIdlePrompt,       "Prêt", "Ready"},
    Entry{text::kIndicatorCaps,    "MAJ", "CAP"},
    Entry{text::kIndicatorNum,     "NUM", "NUM"},
    Entry{text::kIndicatorScroll,  "DEF", "SCRL"},
    Entry{text::kOutputBarTitle,   "Output", ""},
    Entry{text::kToolBarTitle,     "Barre d'outils", "Toolbar"},
    Entry{text::kRecentFileEmpty,  "Fichier récent", "Recent File"},
    Entry{text::kAskSaveChanges,   "Enregistrer les modifications de %1 ?", "Save changes to %1?"},
    Entry{text::kOpenFailed,       "Impossible d'ouvrir le document %1.\n%2", "Failed to open document %1.\n%2"},
    Entry{text::kSaveFailed,       "Impossible d'enregistrer le document %1.\n%2\nLe document garde ses modifications.",
                                   "Failed to save document %1.\n%2\nThe document keeps its changes."},
    Entry{text::kSavedAsUtf8,      "Le texte contient des caractères que l'encodage d'origine ne peut pas représenter : %1 a été enregistré en UTF-8.",
                                   "The text holds characters its original encoding cannot represent: %1 was saved as UTF-8."},
    Entry{text::kSaveFilterAllFiles, "Tous les fichiers (*.*)", "All Files (*.*)"},
    Entry{text::kFileTooLarge,     "Le fichier fait %1 octets : l'éditeur n'ouvre pas les fichiers de plus de %2 octets.",
                                   "The file is %1 bytes long: the editor does not open files over %2 bytes."},
    Entry{text::kLineTooLong,      "Sa ligne %1 fait plus de %2 octets : l'éditeur n'ouvre pas les fichiers dont une ligne est aussi longue.",
                                   "Its line %1 is over %2 bytes long: the editor does not open files with lines that long."},
    Entry{text::kChangedOnDisk,    "Le fichier %1 a été modifié par un autre programme.\nRecharger la version du disque (vos modifications seront perdues) ou garder vos modifications ?",
                                   "The file %1 was changed by another program.\nReload the version on disk (your changes will be lost) or keep your changes?"},
    Entry{text::kReloadButton,     "&Recharger", "&Reload"},
    Entry{text::kKeepMineButton,   "&Garder mes modifications", "&Keep my changes"},
    Entry{text::kOverwriteNewer,   "Le fichier %1 a été modifié par un autre programme depuis qu'il a été ouvert ou enregistré ici.\nL'écraser avec votre version ?",
                                   "The file %1 was changed by another program since it was opened or saved here.\nOverwrite it with your version?"},
    Entry{text::kGoToTitle,        "Aller à la ligne...", "go to line number"},
    Entry{text::kGoToLabel,        "Aller à la ligne :", "Line number"},
    Entry{text::kGoToOk,           "&Valider", "&Ok"},
    Entry{text::kGoToCancel,       "&Annuler", "&Cancel"},
    Entry{text::kEnterInteger,     "Entrez un nombre entier.", "Please enter an integer."},
    Entry{text::kFindTitle,        "Rechercher", "Find"},
    Entry{text::kReplaceTitle,     "Remplacer", "Replace"},
    Entry{text::kFindWhat,         "&Rechercher :", "Fi&nd what:"},
    Entry{text::kReplaceWith,      "Rem&placer par :", "Re&place with:"},
    Entry{text::kMatchCase,        "Respecter la &casse", "Match &case"},
    Entry{text::kWholeWord,        "&Mot entier uniquement", "Match &whole word only"},
    Entry{text::kSearchUp,         "Vers le &haut", "&Up"},
    Entry{text::kFindNextButton,   "&Suivant", "&Find Next"},
    Entry{text::kReplaceButton,    "&Remplacer", "&Replace"},
    Entry{text::kReplaceAllButton, "Remplacer &tout", "Replace &All"},
    Entry{text::kCloseButton,      "Fermer", "Close"},
    Entry{text::kNotFound,         "Impossible de trouver « %1 ».", "Cannot find the string '%1'."},
    Entry{text::kAboutTitle,       "A propos de korvan", "About korvan"},
    Entry{text::kAboutVersion,     "Version:\t", ""},
    Entry{text::kAboutOriginalName,"Originalname:\t", ""},
    Entry{text::kAboutDescription, "Description:\t", ""},
    Entry{text::kAboutOk,          "OK", ""},
    Entry{text::kAboutLegal,       "Copyright (C) hvl_mobr", ""},
    Entry{text::kAboutCompany,     "hvl_mobr", ""},
    Entry{text::kAboutFileDescription, "Atelier de développement 68332", "68332 development workbench"},
    Entry{text::kYes,              "&Oui", "&Yes"},
    Entry{text::kNo,               "&Non", "&No"},
    Entry{text::kCancel,           "Annuler", "Cancel"},
    Entry{text::kErrorListTitle,   "Liste des erreurs", ""},
    Entry{text::kNoFileName,       "Le document n'a pas encore de nom de fichier : enregistrez-le sous un nom avant de l'assembler.",
                                   "The document has no file name yet: save it under a name before assembling it."},
    Entry{text::kNoAssemblyError,  "Aucune erreur : l'assemblage s'est terminé sans erreur.",
                                   "No error: the assembly finished without error."},
    Entry{cmd::kConfigMonitor,     "Configuration des paramètres de communication", "Setup communication parameter"},
    Entry{cmd::kConfigAssembler,   "Configuration de l'assembleur", "Assembler setup"},
    Entry{cmd::kAssemble,          "Assembler le fichier courant", "Assemble current file"},
    Entry{cmd::kWindowMessage,     "Affiche la fenêtre message", "view Message window"},
    Entry{cmd::kDownload,          "Télécharger un fichier S-RECORD dans KORVAN", "Download S-RECORD in KORVAN"},
    Entry{cmd::kCpuRegisters,      "Edition des registres du 68332...", "68332 register"},
    Entry{cmd::kRun,               "Démarrer l'éxécution", "Run program..."},
    Entry{cmd::kStep,              "Exécution en mode pas à pas", "Step to Step execution"},
    Entry{cmd::kBreakpoint,        "Ajouter/Enlever des point d'arrêts", ""},
    Entry{cmd::kGoToLine,          "Aller à la ligne", "go to line number"},
    Entry{cmd::kReload,            "Recharger le programme en cours...", "Reload current S-record program"},
    Entry{cmd::kGnuBuild,          "Compilateur C/C++ gnu pour KORVAN", "Compilator C/C++ gnu for KORVAN"},
    Entry{cmd::kConfigGnu,         "Configuration du compilateur C/C++ GNU", "Setup compilator C/C++ GNU"},
    Entry{cmd::kBitmap,            "Convertir un fichier BMP en C pour DALVOR", ""},
    Entry{cmd::kFileNew,           "Crée un nouveau document\nNouveau", "Create a new document\nNew"},
    Entry{cmd::kFileOpen,          "Ouvre un document existant\nOuvrir", "Open an existing document\nOpen"},
    Entry{cmd::kFileClose,         "Ferme le document actif\nFermer", "Close the active document\nClose"},
    Entry{cmd::kFileSave,          "Enregistre le document actif\nEnregistrer", "Save the active document\nSave"},
    Entry{cmd::kFileSaveAs,        "Enregistre le document actif sous un nouveau nom\nEnregistrer sous",
                                   "Save the active document with a new name\nSave As"},
    Entry{cmd::kFilePrintSetup,    "Modifie l'imprimante et les options d'impression\nConfiguration de l'impression",
                                   "Change the printer and printing options\nPage Setup"},
    Entry{cmd::kFilePrint,         "Imprime le document actif\nImprimer", "Print the active document\nPrint"},
    Entry{cmd::kFilePrintDirect,   "Imprime le document actif avec les options en cours\nImpression rapide",
                                   "Print the active document using current options\nQuick Print"},
    Entry{cmd::kFilePrintPreview,  "Affiche des pages entières\nAperçu avant impression", "Display full pages\nPrint Preview"},
    Entry{cmd::kFileMru1,          "Ouvre ce document", "Open this document"},
    Entry{cmd::kFileMru1 + 1,      "Ouvre ce document", "Open this document"},
    Entry{cmd::kFileMru1 + 2,      "Ouvre ce document", "Open this document"},
    Entry{cmd::kFileMru1 + 3,      "Ouvre ce document", "Open this document"},
    Entry{cmd::kEditCopy,          "Copie la sélection dans le Presse-papiers\nCopier", "Copy the selection and put it on the Clipboard\nCopy"},
    Entry{cmd::kEditCut,           "Coupe la sélection et la place dans le Presse-papiers\nCouper",
                                   "Cut the selection and put it on the Clipboard\nCut"},
    Entry{cmd::kEditFind,          "Recherche le texte spécifié\nRechercher", "Find the specified text\nFind"},
    Entry{cmd::kEditPaste,         "Insère le contenu du Presse-papiers\nColler", "Insert Clipboard contents\nPaste"},
    Entry{cmd::kEditRepeat,        "Recherche l'occurrence suivante\nSuivant", "Find the next occurrence\nFind Next"},
    Entry{cmd::kEditReplace,       "Remplace le texte spécifié par un autre texte\nRemplacer",
                                   "Replace specific text with different text\nReplace"},
    Entry{cmd::kEditSelectAll,     "Sélectionne le document entier\nTout sélectionner", "Select the entire document\nSelect All"},
    Entry{cmd::kEditUndo,          "Annule la dernière action\nAnnuler", "Undo the last action\nUndo"},
    Entry{cmd::kWindowNew,         "Ouvre une autre fenêtre pour le document actif\nNouvelle fenêtre",
                                   "Open another window for the active document\nNew Window"},
    Entry{cmd::kWindowArrange,     "Réorganise les icônes en bas de la fenêtre\nRéorganiser les icônes",
                                   "Arrange icons at the bottom of the window\nArrange Icons"},
    Entry{cmd::kWindowCascade,     "Réorganise les fenêtres en cascade\nCascade", "Arrange windows so they overlap\nCascade Windows"},
    Entry{cmd::kWindowTile,        "Réorganise les fenêtres en mosaïque\nMosaïque", "Arrange windows as non-overlapping tiles\nTile Windows"},
    Entry{cmd::kAppAbout,          "Affiche le nom du programme, sa version et le copyright\nA propos de",
                                   "Display program information, version number and copyright\nAbout"},
    Entry{cmd::kAppExit,           "Quitte l'application en proposant d'enregistrer les documents\nQuitter",
                                   "Quit the application; prompts to save documents\nExit"},
    Entry{cmd::kViewToolBar,       "Affiche ou masque la barre d'outils\nBarre d'outils", "Show or hide the toolbar\nToggle ToolBar"},
    Entry{cmd::kViewStatusBar,     "Affiche ou masque la barre d'état\nBarre d'état", "Show or hide the status bar\nToggle StatusBar"},
};
// clang-format on

const Entry* find(std::span<const Entry> table, int id) {
    // A hundred entries, looked up when a menu item is hovered or a dialog opens.
    auto it = std::find_if(table.begin(), table.end(), [id](const Entry& e) { return e.id == id; });
    return it != table.end() ? &*it : nullptr;
}

}  // namespace

Language languageFromWord(std::string_view word) { return word == "FRANCAIS" ? Language::French : Language::English; }

std::string_view languageWord(Language lang) { return lang == Language::French ? "FRANCAIS" : "ANGLAIS"; }

std::string_view lookupText(int id, Language lang) { return lookupText(kTexts, id, lang); }

std::string_view lookupText(std::span<const TextEntry> table, int id, Language lang) {
    const Entry* e = find(table, id);
    if (!e) return {};
    if (lang == Language::English && !e->en.empty()) return e->en;
    return e->fr;
}

std::string systemErrorText(int code, Language lang) {
    struct Reason {
        int code;
        std::string_view fr;
        std::string_view en;
    };
    static constexpr std::array kReasons{
        Reason{ENOENT, "Le fichier ou le dossier n'existe pas.", "No such file or directory."},
        Reason{EACCES, "Accès refusé.", "Permission denied."},
        Reason{EPERM, "Opération non permise.", "Operation not permitted."},
        Reason{EISDIR, "C'est un dossier.", "Is a directory."},
        Reason{ENOTDIR, "Un élément du chemin n'est pas un dossier.", "Not a directory."},
        Reason{ENOSPC, "Plus de place sur le disque.", "No space left on device."},
        Reason{EDQUOT, "Quota de disque dépassé.", "Disk quota exceeded."},
        Reason{EROFS, "Le système de fichiers est en lecture seule.", "Read-only file system."},
        Reason{EIO, "Erreur d'entrée-sortie.", "Input/output error."},
        Reason{ENAMETOOLONG, "Nom de fichier trop long.", "File name too long."},
        Reason{ELOOP, "Trop de liens symboliques.", "Too many levels of symbolic links."},
        Reason{EFBIG, "Fichier trop volumineux.", "File too large."},
        Reason{EMFILE, "Trop de fichiers ouverts.", "Too many open files."},
        Reason{EBUSY, "Le fichier est occupé.", "Device or resource busy."},
        Reason{EXDEV, "Lien entre périphériques différents.", "Invalid cross-device link."},
    };
    for (const Reason& r : kReasons)
        if (r.code == code) return std::string(lang == Language::French ? r.fr : r.en);
    return std::strerror(code);
}

std::string_view commandPrompt(int id, Language lang) {
    std::string_view t = lookupText(id, lang);
    return t.substr(0, t.find('\n'));
}

std::string_view commandToolTip(int id, Language lang) {
    std::string_view t = lookupText(id, lang);
    auto nl = t.find('\n');
    return nl == std::string_view::npos ? std::string_view{} : t.substr(nl + 1);
}

std::string documentStringField(int id, Language lang, int field) {
    std::string_view t = lookupText(id, lang);
    for (int i = 0; i < field; ++i) {
        auto nl = t.find('\n');
        if (nl == std::string_view::npos) return {};
        t.remove_prefix(nl + 1);
    }
    return std::string(t.substr(0, t.find('\n')));
}

}  // namespace korvan::shell
