// Menu bar contents, written out as the user sees them.
#include "menus.h"

#include "commands.h"

namespace korvan::shell {

namespace {

using Kind = MenuItem::Kind;

MenuItem item(int id, std::string_view text) { return {Kind::Command, id, text, {}}; }
MenuItem separator() { return {Kind::Separator, 0, {}, {}}; }
MenuItem recentFiles() { return {Kind::RecentFiles, 0, {}, {}}; }
MenuItem popup(std::string_view text, std::vector<MenuItem> items) { return {Kind::Popup, 0, text, std::move(items)}; }

// clang-format off
struct Words {
    std::string_view file, newDoc, newDocPlain, open, close, save, saveAs, download, print,
        preview, printSetup, exit, edit, undo, cut, copy, paste, selectAll, find, findNext,
        replace, goTo, assemble, monitor, reload, cpu, run, step, breakpoint, assembler, gnu,
        language, french, english, bitmap, view, toolbar, statusBar, output, window,
        newWindow, cascade, tile, arrange, message, help, about, compile, compileItem, link,
        build, setupMain, setupSource, setupToolchain;
};

constexpr Words kFrench{
    "&Fichier", "&Nouveau\tCtrl+N", "&Nouveau", "&Ouvrir...\tCtrl+O", "&Fermer",
    "&Enregistrer\tCtrl+S", "En&registrer sous...", "Télécharger S-Record...",
    "&Imprimer...\tCtrl+P", "Aperçu a&vant impression", "C&onfiguration de l'impression...",
    "&Quitter", "&Edition", "&Annuler\tCtrl+Z", "&Couper\tCtrl+X", "&Copier\tCtrl+C",
    "C&oller\tCtrl+V", "Tout &sélectionner\tCtrl+A", "Rec&hercher...\tCtrl+F", "Sui&vant\tF3",
    "R&emplacer\tCtrl+H", "Aller à la ligne ...", "Assembleur", "Moniteur", "Recharger",
    "CPU 32", "Exécuter", "Pas à pas", "Point d'arrrêt", "Assembleur", "GNU C/C++", "Langage",
    "Francais", "Anglais", "Bitmap...", "&Affichage", "&Barre d'outils", "Barre d'é&tat",
    "Output", "Fe&nêtre", "&Nouvelle fenêtre", "&Cascade", "&Mosaïque",
    "&Réorganiser les icônes", "Message", "&?", "&A propos de korvan...", "Compile",
    "compiler...", "Linker...", "Construire", "&Configurer", "Configuration", "Configuration"};

constexpr Words kEnglish{
    "&File", "&New\tCtrl+N", "&New", "&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S",
    "Save &As...", "Download S-Record...", "&Print...\tCtrl+P", "Print Pre&view",
    "P&rint Setup...", "E&xit", "&Edit", "&Undo\tCtrl+Z", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
    "&Paste\tCtrl+V", "Select &All\tCtrl+A", "&Find...\tCtrl+F", "Find &Next\tF3",
    "R&eplace\tCtrl+H", "Go to line ...", "Assemble", "Monitor", "Reload", "CPU 32", "Run",
    "Step", "Breakpoint", "Assembler", "GNU C/C++", "Language", "French", "English",
    "Bitmap...", "&View", "&Toolbar", "&Status Bar", "Output", "&Window", "&New Window",
    "&Cascade", "&Tile", "&Arrange Icons", "Message", "&?", "&About korvan...", "Compile",
    "compile...", "Linker...", "Build", "&Setup", "Setup", "Configuration"};
// clang-format on

std::vector<MenuItem> fileMenuItems(const Words& w, bool withDocument, bool newShortcut) {
    std::vector<MenuItem> items{item(cmd::kFileNew, newShortcut ? w.newDoc : w.newDocPlain),
                                item(cmd::kFileOpen, w.open)};
    if (withDocument) {
        items.push_back(item(cmd::kFileClose, w.close));
        items.push_back(item(cmd::kFileSave, w.save));
        items.push_back(item(cmd::kFileSaveAs, w.saveAs));
    }
    items.push_back(separator());
    items.push_back(item(cmd::kDownload, w.download));
    items.push_back(separator());
    if (withDocument) {
        items.push_back(item(cmd::kFilePrint, w.print));
        items.push_back(item(cmd::kFilePrintPreview, w.preview));
    }
    items.push_back(item(cmd::kFilePrintSetup, w.printSetup));
    items.push_back(separator());
    items.push_back(recentFiles());
    items.push_back(separator());
    items.push_back(item(cmd::kAppExit, w.exit));
    return items;
}

MenuItem viewMenu(const Words& w) {
    return popup(w.view, {item(cmd::kViewToolBar, w.toolbar), item(cmd::kViewStatusBar, w.statusBar),
                          item(cmd::kViewOutputBar, w.output)});
}

MenuItem helpMenu(const Words& w) { return popup(w.help, {item(cmd::kAppAbout, w.about)}); }

std::vector<MenuItem> mainSet(const Words& w, bool french) {
    std::vector<MenuItem> korvan{item(cmd::kMonitorWindow, w.monitor), separator(), item(cmd::kCpuRegisters, w.cpu),
                                 item(cmd::kRun, w.run), item(cmd::kStep, w.step)};
    if (french) korvan.push_back(item(cmd::kBreakpoint, w.breakpoint));
    std::vector<MenuItem> setup{
        item(cmd::kConfigMonitor, w.monitor),
        separator(),
        item(cmd::kConfigAssembler, w.assembler),
        separator(),
        item(cmd::kConfigGnu, w.gnu),
        separator(),
        popup(w.language, {item(cmd::kLanguageFrench, w.french), item(cmd::kLanguageEnglish, w.english)}),
        separator(),
        item(cmd::kBitmap, w.bitmap)};
    return {popup(w.file, fileMenuItems(w, false, true)), popup("KORVAN", std::move(korvan)),
            popup(w.setupMain, std::move(setup)), viewMenu(w), helpMenu(w)};
}

std::vector<MenuItem> sourceSet(const Words& w, bool toolchain) {
    std::vector<MenuItem> bar{
        popup(w.file, fileMenuItems(w, true, !toolchain)),
        popup(w.edit,
              {item(cmd::kEditUndo, w.undo), separator(), item(cmd::kEditCut, w.cut), item(cmd::kEditCopy, w.copy),
               item(cmd::kEditPaste, w.paste), item(cmd::kEditSelectAll, w.selectAll), separator(),
               item(cmd::kEditFind, w.find), item(cmd::kEditRepeat, w.findNext), item(cmd::kEditReplace, w.replace),
               separator(), item(cmd::kGoToLine, w.goTo)}),
        item(cmd::kAssemble, w.assemble)};
    if (toolchain) {
        bar.push_back(popup(w.compile, {item(cmd::kGnuCompile, w.compileItem), item(cmd::kGnuLink, w.link), separator(),
                                        item(cmd::kGnuBuild, w.build)}));
    }
    bar.push_back(
        popup("KORVAN", {item(cmd::kMonitorWindow, w.monitor), separator(), item(cmd::kReload, w.reload), separator(),
                         item(cmd::kCpuRegisters, w.cpu), item(cmd::kRun, w.run), item(cmd::kStep, w.step)}));
    if (toolchain) {
        // The bitmap converter is offered in both languages.
        bar.push_back(
            popup(w.setupToolchain,
                  {item(cmd::kConfigAssembler, w.assembler), separator(), item(cmd::kConfigGnu, w.gnu), separator(),
                   item(cmd::kConfigMonitor, w.monitor), separator(), item(cmd::kBitmap, w.bitmap)}));
    } else {
        bar.push_back(popup(w.setupSource, {item(cmd::kConfigAssembler, w.assembler), separator(),
                                            item(cmd::kConfigMonitor, w.monitor)}));
    }
    bar.push_back(viewMenu(w));
    bar.push_back(popup(w.window, {item(cmd::kWindowNew, w.newWindow), item(cmd::kWindowCascade, w.cascade),
                                   item(cmd::kWindowTile, w.tile), item(cmd::kWindowArrange, w.arrange), separator(),
                                   item(cmd::kWindowMessage, w.message)}));
    bar.push_back(helpMenu(w));
    return bar;
}

// clang-format off
struct DebugWords {
    std::string_view keys, french, frenchPrompt, english, englishPrompt;
    int id;
};
constexpr DebugWords kDebugWords[] = {
    {"F5", "Continuer (F5)", "Exécuter le programme depuis le PC jusqu'au prochain point d'arrêt",
     "Continue (F5)", "Run the program from the PC up to the next breakpoint", cmd::kDebugRun},
    {"Shift+F5", "Arrêter (Maj+F5)", "Arrêter le programme en cours (ESC)",
     "Stop (Shift+F5)", "Stop the running program (ESC)", cmd::kDebugStop},
    {"F11", "Pas à pas détaillé (F11)", "Exécuter une instruction, en entrant dans les sous-programmes",
     "Step into (F11)", "Run one instruction, into subroutines", cmd::kDebugStepInto},
    {"F10", "Pas à pas principal (F10)", "Exécuter une instruction; un appel (JSR, BSR, TRAP) s'exécute jusqu'au retour",
     "Step over (F10)", "Run one instruction; a call (JSR, BSR, TRAP) runs until it returns", cmd::kDebugStepOver},
    {"Shift+F11", "Pas à pas sortant (Maj+F11)", "Exécuter jusqu'au retour du sous-programme en cours",
     "Step out (Shift+F11)", "Run until the current subroutine returns", cmd::kDebugStepOut},
    {"Ctrl+F10", "Exécuter jusqu'au curseur (Ctrl+F10)", "Exécuter le programme jusqu'à la ligne du curseur",
     "Run to cursor (Ctrl+F10)", "Run the program up to the caret's line", cmd::kDebugRunToCursor},
    {"F9", "Point d'arrêt (F9)", "Ajouter/Enlever des point d'arrêts",
     "Breakpoint (F9)", "Set or clear a breakpoint on the caret's line", cmd::kBreakpoint},
    {"", "Mémoire", "Afficher la mémoire du module",
     "Memory", "Show the module's memory", cmd::kMemoryWindow},
};
// clang-format on

}  // namespace

std::vector<DebugCommand> debugCommands(Language lang) {
    const bool french = lang == Language::French;
    std::vector<DebugCommand> commands;
    for (const DebugWords& w : kDebugWords)
        commands.push_back({w.id, w.keys, french ? w.french : w.english, french ? w.frenchPrompt : w.englishPrompt});
    return commands;
}

std::string_view debugToolBarTitle(Language lang) { return lang == Language::French ? "Débogage" : "Debug"; }

std::vector<MenuItem> menuSet(int set, Language lang) {
    const bool french = lang == Language::French;
    const Words& w = french ? kFrench : kEnglish;
    switch (set) {
    case kMenuSetSource: return sourceSet(w, false);
    case kMenuSetToolchain: return sourceSet(w, true);
    default: return mainSet(w, french);
    }
}

}  // namespace korvan::shell
