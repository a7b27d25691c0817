// The monitor window's own texts in French and English, looked up by identifier.
#pragma once

#include <QString>

namespace korvan::monitor {

namespace mtext {
inline constexpr int kOpeningPort = 142;  // "%s" = port name, ends with a line feed
inline constexpr int kCannotOpen = 143;
inline constexpr int kNotResponding = 140;
inline constexpr int kNotRespondingCaption = 141;
inline constexpr int kFilterSRecord = 131;     // "description|pattern|"
inline constexpr int kMonitorTitle = 6000;     // the window's title, found again by it
inline constexpr int kConfigureFailed = 6001;  // exists only in French
inline constexpr int kLineLost = 6002;         // "%s" = port name; written into the terminal
inline constexpr int kNoAnswer = 6003;         // the line is open but no prompt came back
inline constexpr int kLoadTitle = 6010;
inline constexpr int kLoadFile = 6011;
inline constexpr int kLoadAddress = 6012;
inline constexpr int kLoadLength = 6013;
inline constexpr int kCancel = 6014;                // "Annuler" / "Cancel"
inline constexpr int kUnreadableFile = 6015;        // %1 = reader's message
inline constexpr int kOk = 6016;                    // "&Valider" / "&Ok"
inline constexpr int kCancelAmp = 6017;             // "&Annuler" / "&Cancel"
inline constexpr int kBlockNotAcknowledged = 6018;  // %1 = block address, %2 = data bytes sent
inline constexpr int kCpuTitle = 6020;
inline constexpr int kDataRegisters = 6021;
inline constexpr int kAddressRegisters = 6022;
inline constexpr int kStacks = 6023;
inline constexpr int kClose = 6024;
inline constexpr int kModifyTitle = 6025;
inline constexpr int kModifyOk = 6026;        // "Valider" / "&Ok"
inline constexpr int kModifyCancel = 6027;    // "Annuler" / "&Cancel"
inline constexpr int kNotHexadecimal = 6028;  // %1 = typed text
inline constexpr int kRunTitle = 6030;
inline constexpr int kConfigTitle = 6040;
inline constexpr int kConfigPort = 6041;
inline constexpr int kConfigDetect = 6042;
inline constexpr int kConfigAutoDownload = 6043;
inline constexpr int kDebugRunning = 6100;      // status bar while the program runs
inline constexpr int kDebugStoppedAt = 6101;    // %1 = file name, %2 = line
inline constexpr int kDebugStoppedIn = 6102;    // %1 = file name, %2 = line, %3 = function
inline constexpr int kDebugOutside = 6103;      // %1 = PC: no source line holds it
inline constexpr int kDebugNoProgram = 6104;    // F5 before any download
inline constexpr int kDebugNoLine = 6105;       // %1 = file name, %2 = line: no code from there on
inline constexpr int kDebugTooMany = 6106;      // %1 = the limit
inline constexpr int kDebugCaption = 6107;      // message box caption
inline constexpr int kDebugToggle = 6108;       // editor context menu
inline constexpr int kDebugRunToCursor = 6109;  // editor context menu
inline constexpr int kMemoryTitle = 6110;
inline constexpr int kMemoryAddress = 6111;
inline constexpr int kMemoryBytes = 6112;
inline constexpr int kMemoryWords = 6113;
inline constexpr int kMemoryLongs = 6114;
inline constexpr int kMemoryNeedsMd = 6115;  // the module has no "md"
inline constexpr int kMemoryRefresh = 6116;
inline constexpr int kMemoryBadValue = 6117;  // %1 = typed text
inline constexpr int kDebugBusy = 6118;       // status bar while commands go to the module
inline constexpr int kMenuCopy = 6200;        // terminal context menu
inline constexpr int kMenuPaste = 6201;
inline constexpr int kMenuSelectAll = 6202;
inline constexpr int kMenuClear = 6203;
inline constexpr int kMenuSave = 6204;
inline constexpr int kMenuLog = 6205;
inline constexpr int kSaveTitle = 6206;  // file dialogs
inline constexpr int kLogTitle = 6207;
inline constexpr int kFilterText = 6208;  // "description (pattern)"
inline constexpr int kFilterLog = 6209;
inline constexpr int kCannotWrite = 6210;  // %1 = file, %2 = system's reason
inline constexpr int kLogFailed = 6211;    // %1 = file, %2 = reason; written into the terminal
inline constexpr int kStatusLine = 6212;   // %1 = port, %2 = line state, %3 = program state
inline constexpr int kStatusLog = 6213;    // %1 = log file, appended to the status line
inline constexpr int kLineOpen = 6214;
inline constexpr int kLineLostState = 6215;
inline constexpr int kLineNotOpen = 6216;
inline constexpr int kLineDownloading = 6217;
inline constexpr int kProgramRunning = 6218;
inline constexpr int kProgramNotRunning = 6219;
inline constexpr int kStatusScrolledBack = 6220;  // %1 = lines below the view, appended
}  // namespace mtext

// The text in the workbench's current language (French when no workbench runs).
QString monitorText(int id);

}  // namespace korvan::monitor
