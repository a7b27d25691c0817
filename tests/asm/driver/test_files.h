// Temporary folders and whole-file helpers for the driver tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qubrix::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qubrix-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern + "/";
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }  // ends in '/'
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

// Changes the current folder for the lifetime of the object.
class ChangeDir {
public:
    explicit ChangeDir(const std::string& dir) : m_old(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~ChangeDir()
    {
        std::error_code ec;
        std::filesystem::current_path(m_old, ec);
    }
    ChangeDir(const ChangeDir&) = delete;
    ChangeDir& operator=(const ChangeDir&) = delete;

private:
    std::filesystem::path m_old;
};

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool FileExists(const std::string& path)
{
    return std::filesystem::exists(path);
}

// The lines of a CR LF text file; a missing CR before a LF is kept visible as a line ending
// in "<LF>" so that wrong line ends make the comparison fail.
inline std::vector<std::string> CrLfLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no line end>");
            break;
        }
        if (nl > start && bytes[nl - 1] == '\r')
            lines.push_back(bytes.substr(start, nl - 1 - start));
        else
            lines.push_back(bytes.substr(start, nl - start) + "<LF>");
        start = nl + 1;
    }
    return lines;
}

}  // namespace qubrix::test
