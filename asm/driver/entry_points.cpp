// The library's entry points: settings, the progress dialog around one run, and the
// exception boundary that keeps every failure inside the library.
#include "driver/entry_points.h"

#include <QApplication>
#include <QDialog>

#include "driver/asm_dialogs.h"
#include "driver/library_settings.h"

namespace qubrix {

namespace {

// Widgets need a QApplication; without one the library must not abort the host.
bool HaveWidgetApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

}  // namespace qubrix

extern "C" {

void ConfigureAsm(QWidget* parent) {
    using namespace qubrix;
    try {
        if (!HaveWidgetApplication()) return;
        ApplyWorkbenchLanguage();
        const OriginTexts stored = ReadOriginTexts();
        CConfAsm dialog(parent, stored.code, stored.var);
        if (dialog.exec() != QDialog::Accepted) return;
        // Stored exactly as typed; an origin that is not hexadecimal falls back at run time.
        WriteOriginTexts(OriginTexts{dialog.codeOrigin(), dialog.varOrigin()});
    } catch (...) {
        // Nothing may escape into the host program.
    }
}

int AsmFile(QWidget* parent, std::string name, std::string path, ListErreur* list) {
    using namespace qubrix;
    try {
        if (!HaveWidgetApplication()) return 0;
        const Language lang = ApplyWorkbenchLanguage();
        ListErreur ownList;
        if (list == nullptr) list = &ownList;

        AssemblyRun* current = nullptr;
        CAsmDlg dialog(
            parent, path,
            [&current](const std::string&) {
                PassCounts counts;
                if (current == nullptr) return counts;
                current->runPasses();
                counts.errors = current->errorCount();
                counts.warnings = current->warningCount();
                counts.failed = current->failed();
                return counts;
            },
            lang);
        dialog.setFileText(name);
        // Called on this thread while the passes run on the dialog's worker.
        dialog.setCanceller([&current] {
            if (current != nullptr) current->cancel();
        });

        const RunSettings settings = ReadRunSettings();
        const RunOutcome outcome = AssembleSource(settings, path, list, [&](AssemblyRun& run) {
            current = &run;
            const int ended = dialog.exec();
            dialog.waitForRun();  // the run must be over before its files are finished
            current = nullptr;
            if (const std::exception_ptr failure = dialog.runException()) std::rethrow_exception(failure);
            return ended == QDialog::Accepted;
        });
        return outcome.result;
    } catch (...) {
        return 0;
    }
}

void SetRepertoire(std::string dir) {
    try {
        qubrix::SetWorkingDirectory(qubrix::NormalizedWorkingDirectory(std::move(dir)));
    } catch (...) {}
}

}  // extern "C"
