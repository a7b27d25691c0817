// Runs a program with arguments (no shell) and collects its standard output and error.
#pragma once

#include <string>
#include <vector>

namespace korvan::debug {

struct ProcessResult {
    bool started = false;  // false: the program could not be run at all (error says why)
    int exitCode = -1;     // the exit status; -1 when the program was ended by a signal
    std::string out;       // everything it wrote to its standard output
    std::string err;       // everything it wrote to its standard error
    std::string error;     // why it could not be started; empty when it ran
};

// Runs program (a path, or a name looked up in PATH) with args and waits for it to end.
// Standard input is /dev/null; both output streams are read to their end while it runs. A
// non-empty workingDir is the program's current folder.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDir = {});

// The full path of an executable: program itself when it contains a '/' and is executable,
// otherwise the first match in PATH. Empty when there is none.
std::string FindExecutable(const std::string& program);

}  // namespace korvan::debug
