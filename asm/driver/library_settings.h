// The assembler library's own settings (section "ASSEMBLEUR" of its store) and the catalogue
// language taken from the workbench's store. Everything is read afresh on every call, by a
// plain reader of the INI files QSettings keeps, so that the command-line assembler needs no
// Qt; only writing goes through QSettings.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/diagnostics.h"
#include "driver/run.h"

namespace qubrix {

inline constexpr const char* kDefaultListFlag = "1";
inline constexpr const char* kDefaultCodeOrigin = "802000";
inline constexpr const char* kDefaultVarOrigin = "803000";
inline constexpr int32_t kDefaultCodeOriginValue = 0x802000;
inline constexpr int32_t kDefaultVarOriginValue = 0x803000;

// The two section origins as the user typed them ("SECTION 9", "SECTION 15").
struct OriginTexts {
    std::string code = kDefaultCodeOrigin;
    std::string var = kDefaultVarOrigin;
};

// Plain rules, no settings store involved.
// "LISTFLAG": the listing is on when the text starts with '1'.
QUBRIX_API bool ListingEnabled(const std::string& listFlag);
// "LANGAGE": exactly "FRANCAIS" selects French, anything else English.
QUBRIX_API Language LanguageFromSetting(const std::string& value);
// The working directory as SetRepertoire stores it: empty, or ending in '/'.
QUBRIX_API std::string NormalizedWorkingDirectory(std::string dir);
// Run settings from the stored texts; an origin that is not hexadecimal gets its default.
QUBRIX_API RunSettings MakeRunSettings(const std::string& listFlag, const OriginTexts& origins);

// One INI file as QSettings writes it: "[group]" lines, keys and group names with
// %-escapes, values quoted or not with backslash escapes. A file that cannot be read holds
// nothing.
class QUBRIX_API IniFile {
public:
    explicit IniFile(const std::string& path);
    // The text stored under "GROUP/KEY" ("KEY" for the General group); nothing when the key
    // is absent or holds something that is not text (a list, a binary variant).
    std::optional<std::string> value(std::string_view key) const;

private:
    std::map<std::string, std::optional<std::string>, std::less<>> m_values;
};

// The files QSettings consults for organisation/application, the first that holds a key
// giving its value: the user's application file, the user's organisation file, then the
// same two in every system folder ($XDG_CONFIG_DIRS, by default /etc/xdg).
QUBRIX_API std::vector<std::string> SettingsFiles(const std::string& organisation, const std::string& application);

// The library's store.
QUBRIX_API std::string ReadListFlag();
QUBRIX_API OriginTexts ReadOriginTexts();
// Written through QSettings: part of the shared library only, not of the command line.
QUBRIX_API void WriteOriginTexts(const OriginTexts& origins);
QUBRIX_API RunSettings ReadRunSettings();

// The workbench's store: its interface language, which the catalogue follows.
QUBRIX_API Language ReadWorkbenchLanguage();
// Reads the workbench's language and makes it the catalogue language; returns it.
QUBRIX_API Language ApplyWorkbenchLanguage();

}  // namespace qubrix
