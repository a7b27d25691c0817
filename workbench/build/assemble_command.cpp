// The Assemble command and the error-list window it fills.
#include "assemble_command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>

#include "commands.h"
#include "driver/diagnostics.h"
#include "driver/entry_points.h"
#include "erreur_doc.h"
#include "erreur_view.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "texts.h"

namespace korvan::build {

using shell::CKorvanApp;
using shell::CKorvanDoc;
using shell::CKorvanView;
using shell::CMainFrame;

namespace {

std::string bytesOf(const QString& text) { return text.toUtf8().toStdString(); }
std::string pathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Saves the document under its own path before the assembler reads it; false when it was not
// saved, and the user was told why (no file name yet, the save failed or was declined). The
// file on disk is then not what the window shows: nothing may be built from it.
bool saveBeforeAssembly(CKorvanApp& app, CKorvanDoc& doc) {
    if (!doc.isUntitled()) return doc.save();
    QMessageBox::warning(app.mainFrame(), app.text(shell::text::kAppTitle),
                         app.text(shell::text::kSaveFailed).arg(doc.title(), app.text(shell::text::kNoFileName)));
    return false;
}

}  // namespace

void installBuildCommands(CKorvanApp& app) {
    app.addViewCommandInstaller([&app](CKorvanView& view) {
        view.setHandler(shell::cmd::kAssemble, {[&app, &view] { assembleView(app, view); }, {}, {}});
    });
}

void assembleView(CKorvanApp& app, CKorvanView& view) {
    QPointer<CMainFrame> frame = app.mainFrame();
    CKorvanDoc* doc = view.document();
    if (doc->isModified() && !saveBeforeAssembly(app, *doc)) return;
    auto list = std::make_unique<ListErreur>();

    SetRepertoire(pathBytes(app.settings().GetSettingString(QStringLiteral("REPERTOIRE"), QStringLiteral("DEF"), {})));
    // Taken now: the document must not be touched while the library's dialog runs.
    const QString path = doc->path();
    const QString title = doc->title();
    // The source's folder becomes the current one, as for the GNU build, so that the run report
    // "message.txt" lands beside the source it describes and the Message command finds it.
    if (!path.isEmpty()) QDir::setCurrent(QFileInfo(path).absolutePath());
    const int result = AsmFile(&view, bytesOf(title), pathBytes(path), list.get());
    if (!frame) return;

    if (result != 0) {
        frame->setLastBuiltSource(path);
        // The monitor window comes up, or nothing happens while no one handles the command.
        frame->runCommand(shell::cmd::kMonitorWindow);
        return;
    }
    showErrorList(app, std::move(list));
    frame->setLastBuiltSource(QString());
}

CErreurDoc* findErrorListDocument(CKorvanApp& app) {
    CMainFrame* frame = app.mainFrame();
    if (!frame) return nullptr;
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* view = qobject_cast<CErreurView*>(w->widget())) return view->document();
    }
    return nullptr;
}

CErreurDoc* showErrorList(CKorvanApp& app, std::unique_ptr<ListErreur> list) {
    CMainFrame* frame = app.mainFrame();
    if (!frame) return nullptr;
    CErreurDoc* doc = findErrorListDocument(app);
    if (!doc) {
        doc = new CErreurDoc;
        auto* view = new CErreurView(app, doc);
        const int menuSet = app.documentTypes().at(shell::ErrorListDocumentType).menuSet;
        frame->addChildWindow(view, menuSet)->show();
        view->setFocus();
    } else {
        // The window is found again by its title, from the top of the stacking order.
        const QString title = app.text(shell::text::kErrorListTitle);
        const QList<QMdiSubWindow*> windows = frame->mdiArea()->subWindowList(QMdiArea::StackingOrder);
        for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
            auto* child = qobject_cast<shell::CChildFrame*>(*it);
            if (child && child->documentTitle() == title) {
                frame->mdiArea()->setActiveSubWindow(child);
                break;
            }
        }
    }
    const bool noError = list && list->Count() == 0;
    doc->SetErrorList(std::move(list));
    const QString clean = noError ? app.text(shell::text::kNoAssemblyError) : QString();
    if (CErreurView* view = doc->firstView()) view->setEmptyText(clean);
    if (noError) frame->statusBar()->showMessage(clean, 10000);
    frame->updateCommandUi();
    return doc;
}

}  // namespace korvan::build
