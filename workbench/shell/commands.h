// Command identifiers of the workbench and the keyboard shortcut table shared by all windows.
#pragma once

#include <span>
#include <string_view>

namespace korvan::shell::cmd {

// Standard document, edit and window commands.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileClose = 57602;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintDirect = 57608;
inline constexpr int kFilePrintPreview = 57609;
inline constexpr int kFileMru1 = 57616;  // 57616 .. 57619: the 4 recent files
inline constexpr int kFileMruCount = 4;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditFind = 57636;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditRepeat = 57640;  // find next
inline constexpr int kEditReplace = 57641;
inline constexpr int kEditSelectAll = 57642;
inline constexpr int kEditUndo = 57643;
inline constexpr int kWindowNew = 57648;
inline constexpr int kWindowArrange = 57649;
inline constexpr int kWindowCascade = 57650;
inline constexpr int kWindowTile = 57651;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;
inline constexpr int kOleProperties = 57860;
inline constexpr int kCancelEdit = 32768;
inline constexpr int kViewToolBar = 59392;
inline constexpr int kViewStatusBar = 59393;

// Workbench commands.
inline constexpr int kConfigMonitor = 32771;
inline constexpr int kConfigAssembler = 32772;
inline constexpr int kAssemble = 32773;
inline constexpr int kWindowMessage = 32775;
inline constexpr int kMonitorWindow = 32776;
inline constexpr int kDownload = 32777;
inline constexpr int kCpuRegisters = 32778;
inline constexpr int kRun = 32779;
inline constexpr int kStep = 32780;
inline constexpr int kBreakpoint = 32781;
inline constexpr int kGoToLine = 32782;
inline constexpr int kReload = 32785;
inline constexpr int kGnuBuild = 32787;
inline constexpr int kConfigGnu = 32788;
inline constexpr int kLanguageFrench = 32790;
inline constexpr int kLanguageEnglish = 32791;
inline constexpr int kViewOutputBar = 32792;
inline constexpr int kBitmap = 32793;
// Debugging commands (the debug toolbar and its keys; kBreakpoint, kRun and kStep above too).
inline constexpr int kDebugRun = 32800;          // F5: run from the PC, no dialog
inline constexpr int kDebugStop = 32801;         // Shift+F5: ESC to the module
inline constexpr int kDebugStepInto = 32802;     // F11: "ss"
inline constexpr int kDebugStepOver = 32803;     // F10
inline constexpr int kDebugStepOut = 32804;      // Shift+F11
inline constexpr int kDebugRunToCursor = 32805;  // Ctrl+F10
inline constexpr int kMemoryWindow = 32806;
inline constexpr int kGnuCompile = 145;
inline constexpr int kGnuLink = 103;

struct Accelerator {
    std::string_view keys;  // in the notation of QKeySequence's portable text
    int id;
};

// One table for every window; several keys may lead to the same command.
std::span<const Accelerator> accelerators();

}  // namespace korvan::shell::cmd
