// The workbench's user-interface texts in French and English, looked up by identifier.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace korvan::shell {

enum class Language { French, English };

// "FRANCAIS" selects French; any other word (lower case included) selects English.
Language languageFromWord(std::string_view word);
std::string_view languageWord(Language lang);

// Identifiers of texts that are not command prompts. Numbers below 1000 are the resource
// numbers the texts have always had; the others are private to the workbench.
namespace text {
inline constexpr int kCaretPaneWidth = 101;
inline constexpr int kDocStringsSource = 129;
inline constexpr int kDocStringsMonitor = 130;
inline constexpr int kFilterC = 132;
inline constexpr int kFilterAsm = 134;
inline constexpr int kFilterListing = 135;
inline constexpr int kFilterAll = 136;
inline constexpr int kErrorColumnFile = 137;
inline constexpr int kErrorColumnLine = 138;
inline constexpr int kErrorColumnText = 139;
inline constexpr int kFilterBitmap = 146;

inline constexpr int kAppTitle = 5000;
inline constexpr int kIdlePrompt = 5001;
inline constexpr int kIndicatorCaps = 5002;
inline constexpr int kIndicatorNum = 5003;
inline constexpr int kIndicatorScroll = 5004;
inline constexpr int kOutputBarTitle = 5005;
inline constexpr int kToolBarTitle = 5006;
inline constexpr int kRecentFileEmpty = 5007;
inline constexpr int kAskSaveChanges = 5010;  // %1 = document title
inline constexpr int kOpenFailed = 5011;      // %1 = path, %2 = reason
inline constexpr int kSaveFailed = 5012;      // %1 = path, %2 = reason
inline constexpr int kSavedAsUtf8 = 5013;     // %1 = path
inline constexpr int kSaveFilterAllFiles = 5014;
inline constexpr int kFileTooLarge = 5015;   // reason: %1 = bytes found, %2 = the limit
inline constexpr int kLineTooLong = 5016;    // reason: %1 = line number, %2 = the limit in bytes
inline constexpr int kChangedOnDisk = 5017;  // %1 = path; the document has unsaved changes
inline constexpr int kReloadButton = 5018;
inline constexpr int kKeepMineButton = 5019;
inline constexpr int kOverwriteNewer = 5009;  // %1 = path
inline constexpr int kGoToTitle = 5020;
inline constexpr int kGoToLabel = 5021;
inline constexpr int kGoToOk = 5022;
inline constexpr int kGoToCancel = 5023;
inline constexpr int kEnterInteger = 5024;
inline constexpr int kFindTitle = 5030;
inline constexpr int kReplaceTitle = 5031;
inline constexpr int kFindWhat = 5032;
inline constexpr int kReplaceWith = 5033;
inline constexpr int kMatchCase = 5034;
inline constexpr int kWholeWord = 5035;
inline constexpr int kSearchUp = 5036;
inline constexpr int kFindNextButton = 5037;
inline constexpr int kReplaceButton = 5038;
inline constexpr int kReplaceAllButton = 5039;
inline constexpr int kCloseButton = 5040;
inline constexpr int kNotFound = 5041;  // %1 = searched text
inline constexpr int kAboutTitle = 5050;
inline constexpr int kAboutVersion = 5051;
inline constexpr int kAboutOriginalName = 5052;
inline constexpr int kAboutDescription = 5053;
inline constexpr int kAboutOk = 5054;
inline constexpr int kAboutLegal = 5055;
inline constexpr int kAboutCompany = 5056;
inline constexpr int kAboutFileDescription = 5057;
inline constexpr int kYes = 5060;
inline constexpr int kNo = 5061;
inline constexpr int kCancel = 5062;
inline constexpr int kErrorListTitle = 5070;
inline constexpr int kNoFileName = 5071;       // reason given when an untitled document must be saved
inline constexpr int kNoAssemblyError = 5072;  // the error list after a run without error
}  // namespace text

// One text in both languages; an empty English text takes the French one.
struct TextEntry {
    int id;
    std::string_view fr;
    std::string_view en;
};

// The text of an identifier in the given language. The English table falls back to the
// French text where it has no entry of its own; an unknown identifier gives an empty text.
std::string_view lookupText(int id, Language lang);
// The same lookup in a table of another part of the workbench.
std::string_view lookupText(std::span<const TextEntry> table, int id, Language lang);

// The reason for a failed file operation, from its errno value, in the given language; codes
// without a text of their own give the system's text.
std::string systemErrorText(int code, Language lang);

// A command's status-line prompt: the part of its text before the first line feed.
std::string_view commandPrompt(int id, Language lang);
// A command's tool tip: the part after the first line feed (empty when there is none).
std::string_view commandToolTip(int id, Language lang);

// One field of a document-strings entry (fields separated by line feeds, counted from 0:
// window title, document name, new-file name, filter name, filter extension, type id, type name).
std::string documentStringField(int id, Language lang, int field);

}  // namespace korvan::shell
