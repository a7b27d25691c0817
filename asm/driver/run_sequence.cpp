// The fixed sequence of one assembly run, shared by the library's progress dialog and the
// command-line assembler; plain C++, so the command line needs no GUI library.
#include "driver/entry_points.h"

namespace qubrix {

RunOutcome AssembleSource(const RunSettings& settings, const std::string& path, ListErreur* list, const RunHost& host) {
    AssemblyRun run(settings, list);
    run.openFiles(path);
    const bool goOn = host(run);
    RunOutcome outcome;
    outcome.result = goOn && run.errorCount() == 0 && !run.failed() ? 1 : 0;
    run.writeSummary();
    // The termination records are written only now; a file that could not be completed is not
    // something to download.
    if (run.failed()) outcome.result = 0;
    outcome.errors = run.errorCount();
    outcome.warnings = run.warningCount();
    outcome.failed = run.failed();
    outcome.failure = run.failureMessage();
    return outcome;
}

}  // namespace qubrix
