// Temporary folders, whole-file helpers and the case files of the assembler's tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../../support/process.h"
#include "../../support/table.h"

namespace qubrix::test {

// A fresh scratch folder, removed with everything in it; its path ends in '/'.
class TempDir {
public:
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    korvan::test::TempDir m_dir;
    std::string m_path = m_dir.path.string() + "/";
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every occurrence of from replaced by to.
inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The lines of a CR LF text file. A bare LF stays inside its line and a missing last line end
// shows as "<no CR LF>", so wrong line ends make the comparison fail.
inline std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// One case of a case file: "== name" opens it, every "key value" line below adds a field. The
// value is the rest of the line after one blank, so leading blanks count, with the escapes of
// table files (\n, \xHH...). Lines starting with '#' and blank lines are comments.
struct Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;

    std::string get(const std::string& key, const std::string& fallback = "") const {
        for (const auto& [k, v] : fields)
            if (k == key) return v;
        return fallback;
    }
    bool has(const std::string& key) const { return !all(key).empty(); }
    std::vector<std::string> all(const std::string& key) const {
        std::vector<std::string> values;
        for (const auto& [k, v] : fields)
            if (k == key) values.push_back(v);
        return values;
    }
};

inline std::vector<Case> ReadCases(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("no case file " + path);
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({line.substr(3), {}});
            continue;
        }
        const std::size_t blank = line.find(' ');
        if (cases.empty()) throw std::runtime_error(path + ": a field before the first case: " + line);
        cases.back().fields.emplace_back(
            line.substr(0, blank), blank == std::string::npos ? "" : korvan::test::unescape(line.substr(blank + 1)));
    }
    if (cases.empty()) throw std::runtime_error(path + ": no cases");
    return cases;
}

}  // namespace qubrix::test
