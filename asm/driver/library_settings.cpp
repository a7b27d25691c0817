// Reads and writes the assembler library's settings through QSettings.
#include "driver/library_settings.h"

#include <QSettings>
#include <QString>

#include "driver/sections.h"

namespace qubrix {

namespace {

constexpr const char* kOrganisation = "hvl_mobr";
constexpr const char* kLibraryStore = "qubrix";
constexpr const char* kWorkbenchStore = "korvan";
constexpr const char* kListFlagKey = "ASSEMBLEUR/LISTFLAG";
constexpr const char* kCodeOriginKey = "ASSEMBLEUR/SECTION 9";
constexpr const char* kVarOriginKey = "ASSEMBLEUR/SECTION 15";
constexpr const char* kLanguageKey = "KORVAN/LANGAGE";
constexpr const char* kDefaultLanguage = "FRANCAIS";

std::string ReadText(QSettings& store, const char* key, const char* fallback) {
    return store.value(QString::fromLatin1(key), QString::fromUtf8(fallback)).toString().toStdString();
}

}  // namespace

bool ListingEnabled(const std::string& listFlag) { return !listFlag.empty() && listFlag.front() == '1'; }

Language LanguageFromSetting(const std::string& value) {
    return value == "FRANCAIS" ? Language::French : Language::English;
}

std::string NormalizedWorkingDirectory(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    return dir;
}

RunSettings MakeRunSettings(const std::string& listFlag, const OriginTexts& origins) {
    RunSettings settings;
    settings.listing = ListingEnabled(listFlag);
    settings.codeOrigin = ParseOrigin(origins.code, kDefaultCodeOriginValue);
    settings.varOrigin = ParseOrigin(origins.var, kDefaultVarOriginValue);
    return settings;
}

std::string ReadListFlag() {
    QSettings store(kOrganisation, kLibraryStore);
    return ReadText(store, kListFlagKey, kDefaultListFlag);
}

OriginTexts ReadOriginTexts() {
    QSettings store(kOrganisation, kLibraryStore);
    OriginTexts origins;
    origins.code = ReadText(store, kCodeOriginKey, kDefaultCodeOrigin);
    origins.var = ReadText(store, kVarOriginKey, kDefaultVarOrigin);
    return origins;
}

void WriteOriginTexts(const OriginTexts& origins) {
    QSettings store(kOrganisation, kLibraryStore);
    store.setValue(QString::fromLatin1(kCodeOriginKey), QString::fromStdString(origins.code));
    store.setValue(QString::fromLatin1(kVarOriginKey), QString::fromStdString(origins.var));
    store.sync();
}

RunSettings ReadRunSettings() { return MakeRunSettings(ReadListFlag(), ReadOriginTexts()); }

Language ReadWorkbenchLanguage() {
    QSettings store(kOrganisation, kWorkbenchStore);
    return LanguageFromSetting(ReadText(store, kLanguageKey, kDefaultLanguage));
}

Language ApplyWorkbenchLanguage() {
    const Language lang = ReadWorkbenchLanguage();
    SetCatalogueLanguage(lang);
    return lang;
}

}  // namespace qubrix
