// Command lines, environment, names and output capture of the GNU build.
#include "gnu_core.h"

#include <cstring>

namespace korvan::build::gnu {

namespace {

std::string toolFolder(std::string_view root) { return std::string(root) + "/bin/"; }

std::string_view prefixName(std::string_view prefix) {
    const auto slash = prefix.rfind('/');
    return slash == std::string_view::npos ? prefix : prefix.substr(slash + 1);
}

std::string joinWords(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) {
        if (!text.empty()) text += ' ';
        text += w;
    }
    return text;
}

}  // namespace

std::string compilerProgram(std::string_view root, std::string_view prefix, std::string_view sourcePath) {
    const bool cpp =
        sourcePath.find(".cpp") != std::string_view::npos && sourcePath.find(".s") == std::string_view::npos;
    return toolFolder(root) + std::string(prefixName(prefix)) + (cpp ? "g++" : "gcc");
}

std::string linkerProgram(std::string_view root, std::string_view prefix) {
    return toolFolder(root) + std::string(prefixName(prefix)) + "gcc";
}

std::string objcopyProgram(std::string_view root, std::string_view prefix) {
    return toolFolder(root) + std::string(prefixName(prefix)) + "objcopy";
}

std::string sourceName(std::string_view sourcePath) {
    const auto slash = sourcePath.rfind('/');
    return std::string(slash == std::string_view::npos ? sourcePath : sourcePath.substr(slash + 1));
}

std::string sourceFolder(std::string_view sourcePath) {
    const auto slash = sourcePath.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(sourcePath.substr(0, slash == 0 ? 1 : slash));
}

std::string baseName(std::string_view sourcePath) {
    const std::string name = sourceName(sourcePath);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::string fileArgument(std::string_view name) {
    return name.starts_with('-') ? "./" + std::string(name) : std::string(name);
}

std::vector<std::string> compileArguments(std::string_view options, std::string_view name) {
    auto args = splitWords(options);
    args.push_back(fileArgument(name));
    return args;
}

std::vector<std::string> linkArguments(std::string_view options, std::string_view files, std::string_view base) {
    auto args = splitWords(options);
    for (auto& f : splitFileList(files)) args.push_back(std::move(f));
    args.push_back(fileArgument(std::string(base) + ".o"));
    args.emplace_back("-o");
    args.push_back(fileArgument(std::string(base) + ".elf"));
    return args;
}

std::vector<std::string> objcopyArguments(std::string_view base) {
    return {"-O", "srec", fileArgument(std::string(base) + ".elf"), fileArgument(std::string(base) + ".abs")};
}

std::string compileCommandText(std::string_view options, std::string_view name) {
    return " 1 " + std::string(options) + " " + fileArgument(name);
}

std::string linkCommandText(std::string_view options, std::string_view files, std::string_view base) {
    const std::string b(base);
    return " 1 " + std::string(options) + " " + std::string(files) + " " + fileArgument(b + ".o") + " -o " +
           fileArgument(b + ".elf");
}

std::vector<std::string> toolEnvironment(std::string_view root) { return {"PATH=" + std::string(root) + "/bin"}; }

std::vector<std::string> splitFileList(std::string_view text) {
    std::vector<std::string> files;
    size_t start = 0;
    while (start <= text.size()) {
        const auto blank = text.find(' ', start);
        const auto piece = text.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start);
        if (!piece.empty()) files.emplace_back(piece);
        if (blank == std::string_view::npos) break;
        start = blank + 1;
    }
    return files;
}

std::string joinFileList(const std::vector<std::string>& files) { return joinWords(files); }

DefaultOptions defaultOptions(std::string_view runtimeFolder) {
    const std::string specs = "-specs=" + std::string(runtimeFolder) + "/korvan.specs";
    return {"-c -O0 -g " + specs, specs, {}};
}

DefaultOptions formerDefaultOptions(std::string_view runtimeFolder) {
    const std::string rt(runtimeFolder);
    return {
        "-c -O0 -g -mcpu=cpu32 -ffreestanding -fno-exceptions -I" + rt,
        "-T" + rt + "/korvan.ld -mcpu=cpu32 -nostdlib",
        {rt + "/crt0.o", rt + "/korvan.o"},
    };
}

std::string signalText(int signalNumber) {
    const char* abbrev = sigabbrev_np(signalNumber);
    const std::string name = abbrev ? "SIG" + std::string(abbrev) : "signal " + std::to_string(signalNumber);
    std::string text(kSignalLine);
    text.replace(text.find("%1"), 2, std::to_string(signalNumber));
    text.replace(text.find("%2"), 2, name);
    return text;
}

void OutputLines::feed(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\n') {
            m_lines.push_back(std::move(m_partial));
            m_partial.clear();
        } else {
            m_partial += c;
        }
    }
}

void OutputLines::finish() {
    if (!m_partial.empty()) m_lines.push_back(std::move(m_partial));
    m_partial.clear();
}

namespace {

// Digits at text[i...], as a positive number, with i moved past them; 0 without digits.
int readNumber(std::string_view text, size_t& i) {
    int value = 0;
    const size_t start = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 9; ++i)
        value = value * 10 + (text[i] - '0');
    return i > start ? value : 0;
}

}  // namespace

std::optional<ToolDiagnostic> parseToolDiagnostic(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The first ":LINE:" or ":LINE:COLUMN:" followed by a blank after a non-empty file name.
    for (size_t colon = line.find(':'); colon != std::string_view::npos && colon > 0;
         colon = line.find(':', colon + 1)) {
        size_t i = colon + 1;
        const int number = readNumber(line, i);
        if (number <= 0 || i >= line.size() || line[i] != ':') continue;
        ToolDiagnostic d{std::string(line.substr(0, colon)), number, 0, {}};
        size_t after = i + 1;
        size_t j = after;
        if (const int column = readNumber(line, j); column > 0 && j < line.size() && line[j] == ':') {
            d.column = column;
            after = j + 1;
        }
        if (after >= line.size() || line[after] != ' ') continue;
        d.text = std::string(line.substr(after + 1));
        if (!d.text.empty()) return d;
    }
    for (std::string_view mark : {"error:", "warning:", "undefined reference"})
        if (line.find(mark) != std::string_view::npos) return ToolDiagnostic{{}, 0, 0, std::string(line)};
    return std::nullopt;
}

std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace korvan::build::gnu
