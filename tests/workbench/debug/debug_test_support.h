// Scratch folders and the external tools the debugger tests run.
#pragma once

#include <gtest/gtest.h>

#include "../../support/process.h"
#include "process.h"

namespace debugtest {

// The shared scratch folder, its names given as strings.
struct TempDir : korvan::test::TempDir {
    std::string at(const std::string& name = {}) const { return (path / name).string(); }
    // Copies the folder data/name of the test data into this folder.
    void copyData(const std::string& name) const {
        std::filesystem::copy(KORVAN_DEBUG_DATA "/" + name, path, std::filesystem::copy_options::recursive);
    }
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
