// The GNU build and settings commands.
#include "gnu_commands.h"

#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "assemble_command.h"
#include "driver/diagnostics.h"
#include "commands.h"
#include "erreur_doc.h"
#include "erreur_view.h"
#include "gnu_core.h"
#include "gnu_settings.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "toolchain.h"

namespace korvan::build {

using shell::CKorvanApp;
using shell::CKorvanView;
using shell::CMainFrame;

void installGnuCommands(CKorvanApp& app) {
    app.addViewCommandInstaller([&app](CKorvanView& view) {
        view.setHandler(shell::cmd::kGnuCompile, {[&app, &view] { runGnu(app, view, CGnu::CompileOnly); }, {}, {}});
        view.setHandler(shell::cmd::kGnuBuild, {[&app, &view] { runGnu(app, view, CGnu::Build); }, {}, {}});
        view.setHandler(shell::cmd::kGnuLink, {[&app, &view] { runGnu(app, view, CGnu::LinkOnly); },
                                               [&view] { return !view.document()->isModified(); },
                                               {}});
    });
    app.setHandler(shell::cmd::kConfigGnu, {[&app] {
                                                configureGnu(app.mainFrame(), app.settings(), app.toolchainPresent(),
                                                             app.cygwinRoot(), app.uiLanguage());
                                            },
                                            {},
                                            {}});
}

GnuToolchain gnuToolchain(CKorvanApp& app) { return {app.cygwinRoot(), app.toolchainPrefix()}; }

void showToolDiagnostics(CKorvanApp& app, const std::vector<gnu::ToolDiagnostic>& diagnostics) {
    if (diagnostics.empty()) return;
    CErreurDoc* doc = showErrorList(app, nullptr);
    CErreurView* view = doc ? doc->firstView() : nullptr;
    if (!view) return;
    int row = 0;
    for (const auto& d : diagnostics)
        view->AddErrorRow(row++, QFile::decodeName(d.file.c_str()), d.line, QString::fromUtf8(d.text.c_str()),
                          d.column);
}

void runGnu(CKorvanApp& app, CKorvanView& view, CGnu::Mode mode) {
    QPointer<CMainFrame> frame = app.mainFrame();
    QPointer<CKorvanView> viewGuard = &view;
    shell::CKorvanDoc* doc = view.document();
    // The tools read the file on disk: an untitled source has none to give them.
    if (doc->isUntitled()) {
        QMessageBox::warning(frame, app.text(shell::text::kAppTitle),
                             app.text(shell::text::kSaveFailed).arg(doc->title(), app.text(shell::text::kNoFileName)));
        return;
    }
    // A save that failed (and was reported) or was declined leaves the file on disk older than
    // the window: building it would hand over a program the user did not write.
    if (mode != CGnu::LinkOnly && doc->isModified() && !doc->save()) return;
    const QString path = doc->path();

    CGnu dialog(&view, gnuToolchain(app), path, app.settings(), app.uiLanguage());
    dialog.setMode(mode);
    const int result = dialog.exec();
    const QString capture = dialog.captureFile();
    if (!frame) return;

    if (result != QDialog::Accepted) {
        // The error list behind, "gnu.txt" in front as before.
        showToolDiagnostics(app, dialog.diagnostics());
        app.openSourceDocument(capture);
        return;
    }
    if (mode == CGnu::CompileOnly) {
        // The full build runs once this command has returned, on the same window.
        QTimer::singleShot(0, frame, [viewGuard] {
            if (!viewGuard) return;
            if (const auto* h = viewGuard->handler(shell::cmd::kGnuBuild)) h->run();
        });
        return;
    }
    frame->setLastBuiltSource(path);
    frame->runCommand(shell::cmd::kMonitorWindow);
}

}  // namespace korvan::build
