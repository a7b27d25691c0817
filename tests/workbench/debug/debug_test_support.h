// Scratch folders and the external tools the debugger tests run.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process.h"

namespace debugtest {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "korvan-debug-XXXXXX").string();
        m_path = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    std::string path(const std::string& name = {}) const { return name.empty() ? m_path : m_path + "/" + name; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }

    // Copies the folder data/name of the test data into this folder.
    void copyData(const std::string& name) const {
        std::filesystem::copy(KORVAN_DEBUG_DATA "/" + name, m_path, std::filesystem::copy_options::recursive);
    }

private:
    std::string m_path;
};

// Runs a tool (in workingDir when given) and fails the test, with its messages, when it does
// not succeed.
inline korvan::debug::ProcessResult Run(const std::string& tool, const std::vector<std::string>& args,
                                        const std::string& workingDir = {}) {
    korvan::debug::ProcessResult r = korvan::debug::RunProcess(tool, args, workingDir);
    EXPECT_TRUE(r.started && r.exitCode == 0) << tool << ": " << r.error << r.err << r.out;
    return r;
}

inline bool Have(const std::string& tool) { return !korvan::debug::FindExecutable(tool).empty(); }

}  // namespace debugtest
