// One assembly run of a source file, without any user interface: the output files, the two
// passes, the memory map and the summary. The library's progress dialog and the command-line
// assembler both drive it in the same order.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/diagnostics.h"

namespace qubrix {

struct RunContext;

struct RunSettings {
    bool listing = true;            // "LISTFLAG" starts with '1'
    int32_t codeOrigin = 0x802000;  // "SECTION 9"
    int32_t varOrigin = 0x803000;   // "SECTION 15"
};

// The working directory kept between runs (SetRepertoire): empty, or ending in '/'.
QUBRIX_API void SetWorkingDirectory(const std::string& dir);
QUBRIX_API const std::string& WorkingDirectory();

// Base name of the derived files: the path without the extension of its last component.
QUBRIX_API std::string OutputBase(const std::string& path);

class QUBRIX_API AssemblyRun {
public:
    AssemblyRun(const RunSettings& settings, ListErreur* results);
    ~AssemblyRun();
    AssemblyRun(const AssemblyRun&) = delete;
    AssemblyRun& operator=(const AssemblyRun&) = delete;

    // "message.txt" in the current directory, the symbol table cleared, the .lis and .abs
    // files beside the source.
    void openFiles(const std::string& sourcePath);
    // Both passes over the source and its includes, the map, the overlap test, the texts.
    void runPasses();
    int errorCount() const;
    int warningCount() const;
    // Asks runPasses, running on another thread, to stop before its next line; safe from any
    // thread. A cancelled run leaves no object file and no listing summary.
    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancelled; }
    // Termination records, the listing summary, every file closed.
    void writeSummary();
    // True when an output file could not be written or an internal fault ended the run; the
    // run then counts as failed and failureMessage() says why.
    bool failed() const;
    std::string failureMessage() const;
    // Why the include tree could not be read, when the reason is more than a file that does
    // not open (a cycle, a nesting or a tree too large): "FILE:LINE: reason", in the catalogue
    // language; the reason also follows the text of the run's diagnostic. Empty otherwise.
    const std::string& includeFailure() const { return m_openFailure; }

    // The derived file names of the run (set by openFiles).
    const std::string& listingPath() const { return m_listPath; }
    const std::string& objectPath() const { return m_objPath; }

private:
    enum class Fault { ObjectOpen, ObjectWrite, ListingWrite, ObjectSize, ListingSize, AddressRange, Engine };

    void message(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Reports a fault that ends the run, once per kind: the message line, a diagnostic 0x408
    // at the given line (none: -1 and no file), one more error.
    void reportFault(Fault fault, const ErreurAsm* where);
    // Looks at the writers and the engine after a line; true when the run must stop.
    bool checkFaults(const ErreurAsm* where);

    RunSettings m_settings;
    std::unique_ptr<RunContext> m_ctx;
    std::string m_source;
    std::string m_listPath;
    std::string m_objPath;
    std::string m_failure;
    std::string m_openFailure;
    int m_openErrno = 0;
    unsigned m_reported = 0;  // bit per Fault already reported
    bool m_objectOpened = false;
    bool m_objectOpenFailed = false;  // reported once the source opens, or at the summary
    bool m_passesStarted = false;
    bool m_objectIncomplete = false;
    bool m_summaryWritten = false;
    std::atomic<bool> m_cancel{false};
    bool m_cancelled = false;  // the passes stopped on m_cancel
};

}  // namespace qubrix
