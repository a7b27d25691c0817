// Reads the assembler library's settings from the INI files QSettings keeps, without Qt.
#include "driver/library_settings.h"

#include <cstdio>
#include <cstdlib>

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

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Reads up to `max` hexadecimal digits at s[i]; advances i past them.
uint32_t ReadHex(std::string_view s, std::size_t& i, std::size_t max) {
    uint32_t v = 0;
    for (std::size_t n = 0; n < max && i < s.size() && HexDigit(s[i]) >= 0; ++n, ++i)
        v = v * 16 + static_cast<uint32_t>(HexDigit(s[i]));
    return v;
}

// A key or group name: "%XX" is the character XX, "%UXXXX" a UTF-16 unit, '\' a '/'.
std::string UnescapedKey(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '%' && i + 5 < s.size() && s[i + 1] == 'U' && HexDigit(s[i + 2]) >= 0 && HexDigit(s[i + 3]) >= 0 &&
            HexDigit(s[i + 4]) >= 0 && HexDigit(s[i + 5]) >= 0) {
            i += 2;
            AppendUtf8(out, ReadHex(s, i, 4));
        } else if (c == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            ++i;
            AppendUtf8(out, ReadHex(s, i, 2));
        } else {
            out += c == '\\' ? '/' : c;
            ++i;
        }
    }
    return out;
}

// A value: quoted parts, backslash escapes, ',' outside quotes separating the items of a
// list. Only a single item is text; "@@" stands for a leading '@', and other '@' forms are
// variants this reader does not decode, apart from @String(...).
std::optional<std::string> UnescapedValue(std::string_view s) {
    std::vector<std::string> items(1);
    bool quoted = false;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i++];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            items.emplace_back();
            while (i < s.size() && IsSpace(s[i])) ++i;
        } else if (c == '\\' && i < s.size()) {
            const char e = s[i++];
            switch (e) {
            case 'a': items.back() += '\a'; break;
            case 'b': items.back() += '\b'; break;
            case 'f': items.back() += '\f'; break;
            case 'n': items.back() += '\n'; break;
            case 'r': items.back() += '\r'; break;
            case 't': items.back() += '\t'; break;
            case 'v': items.back() += '\v'; break;
            case 'x': AppendUtf8(items.back(), ReadHex(s, i, 4)); break;
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7': {
                uint32_t v = static_cast<uint32_t>(e - '0');
                for (int n = 0; n < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n) v = v * 8 + (s[i++] - '0');
                AppendUtf8(items.back(), v);
                break;
            }
            default: items.back() += e; break;  // \" \' \\ \? and anything else: the character
            }
        } else {
            items.back() += c;
        }
    }
    if (items.size() != 1) return std::nullopt;
    std::string& text = items.front();
    if (text.rfind("@@", 0) == 0) return text.substr(1);
    if (text.rfind("@String(", 0) == 0 && text.back() == ')') return text.substr(8, text.size() - 9);
    if (!text.empty() && text.front() == '@') return std::nullopt;
    return std::move(text);
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// The files of one store, each read once however many keys are looked up.
class Store {
public:
    explicit Store(const std::string& application) {
        for (const std::string& path : SettingsFiles(kOrganisation, application)) m_files.emplace_back(path);
    }
    std::string text(const char* key, const char* fallback) const {
        for (const IniFile& file : m_files)
            if (std::optional<std::string> v = file.value(key)) return std::move(*v);
        return fallback;
    }

private:
    std::vector<IniFile> m_files;
};

}  // namespace

IniFile::IniFile(const std::string& path) {
    // Plain stdio: the command line's start-up pays for no stream or locale machinery.
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return;
    std::string content;
    char buf[4096];
    for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, in)) > 0;) content.append(buf, got);
    std::fclose(in);
    std::string group;  // "GROUP/", empty for General
    for (std::size_t start = 0; start < content.size();) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        const std::string_view text = Trimmed(std::string_view(content).substr(start, end - start));
        start = end + 1;
        if (text.empty() || text.front() == ';' || text.front() == '#') continue;
        if (text.front() == '[') {
            const std::size_t close = text.find(']');
            const std::string_view raw = text.substr(1, close == std::string_view::npos ? text.npos : close - 1);
            // [General] holds the keys outside any group; a group really called "General" is
            // written [%General].
            const std::string name = raw == "%General" ? std::string("General") : UnescapedKey(raw);
            group = raw == "General" || name.empty() ? std::string() : name + '/';
            continue;
        }
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) continue;
        m_values[group + UnescapedKey(Trimmed(text.substr(0, eq)))] = UnescapedValue(Trimmed(text.substr(eq + 1)));
    }
}

std::optional<std::string> IniFile::value(std::string_view key) const {
    const auto it = m_values.find(key);
    return it == m_values.end() ? std::nullopt : it->second;
}

std::vector<std::string> SettingsFiles(const std::string& organisation, const std::string& application) {
    std::string home = EnvOr("HOME", "/");
    if (home.back() != '/') home += '/';
    // A relative folder counts from the current one, as it does for QSettings.
    std::string user = EnvOr("XDG_CONFIG_HOME", home + ".config");
    std::vector<std::string> folders{user};
    const std::string system = EnvOr("XDG_CONFIG_DIRS", "/etc/xdg");
    for (std::size_t start = 0; start <= system.size();) {
        std::size_t colon = system.find(':', start);
        if (colon == std::string::npos) colon = system.size();
        if (colon > start) folders.push_back(system.substr(start, colon - start));
        start = colon + 1;
    }
    std::vector<std::string> files;
    for (std::string& folder : folders) {
        if (folder.back() != '/') folder += '/';
        files.push_back(folder + organisation + '/' + application + ".conf");
        files.push_back(folder + organisation + ".conf");
    }
    return files;
}

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

std::string ReadListFlag() { return Store(kLibraryStore).text(kListFlagKey, kDefaultListFlag); }

OriginTexts ReadOriginTexts() {
    const Store store(kLibraryStore);
    OriginTexts origins;
    origins.code = store.text(kCodeOriginKey, kDefaultCodeOrigin);
    origins.var = store.text(kVarOriginKey, kDefaultVarOrigin);
    return origins;
}

RunSettings ReadRunSettings() { return MakeRunSettings(ReadListFlag(), ReadOriginTexts()); }

Language ReadWorkbenchLanguage() {
    return LanguageFromSetting(Store(kWorkbenchStore).text(kLanguageKey, kDefaultLanguage));
}

Language ApplyWorkbenchLanguage() {
    const Language lang = ReadWorkbenchLanguage();
    SetCatalogueLanguage(lang);
    return lang;
}

}  // namespace qubrix
