// The assembler library's exported entry points (C linkage, looked up by name) and the run
// sequence they share with the command-line assembler.
#pragma once

#include <functional>
#include <string>

#include "driver/diagnostics.h"
#include "driver/run.h"

class QWidget;

extern "C" {
// Edits the two section origins in the library's settings.
QUBRIX_API void ConfigureAsm(QWidget* parent);
// Assembles the source at path inside the modal progress dialog; the diagnostics go into list.
// 1 when the run counted no error and the user went on with "Monitor...", else 0.
QUBRIX_API int AsmFile(QWidget* parent, std::string name, std::string path, ListErreur* list);
// The folder searched for include files not found beside the including file.
QUBRIX_API void SetRepertoire(std::string dir);
}

namespace qubrix {

struct RunOutcome {
    int result = 0;  // 1: the host went on and the run counted no error and did not fail
    int errors = 0;
    int warnings = 0;
    bool failed = false;
    std::string failure;
};

// Runs the passes (calling run.runPasses() once) and says whether to go on to the monitor.
using RunHost = std::function<bool(AssemblyRun& run)>;

// One run in the fixed order: output files opened, the host runs the passes, the result taken,
// then the termination records and the summary. Exceptions pass through to the caller.
QUBRIX_API RunOutcome AssembleSource(const RunSettings& settings, const std::string& path, ListErreur* list,
                                     const RunHost& host);

}  // namespace qubrix
