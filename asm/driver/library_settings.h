// The assembler library's own settings (section "ASSEMBLEUR" of its store) and the catalogue
// language taken from the workbench's store. Everything is read afresh on every call.
#pragma once

#include <string>

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

// The library's store.
QUBRIX_API std::string ReadListFlag();
QUBRIX_API OriginTexts ReadOriginTexts();
QUBRIX_API void WriteOriginTexts(const OriginTexts& origins);
QUBRIX_API RunSettings ReadRunSettings();

// The workbench's store: its interface language, which the catalogue follows.
QUBRIX_API Language ReadWorkbenchLanguage();
// Reads the workbench's language and makes it the catalogue language; returns it.
QUBRIX_API Language ApplyWorkbenchLanguage();

}  // namespace qubrix
