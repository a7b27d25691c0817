// The application's monitor commands.
#include "monitor_command.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "commands.h"
#include "debug_session.h"
#include "korvan_app.h"
#include "main_frame.h"
#include "monitor_dialogs.h"
#include "monitor_doc.h"
#include "monitor_texts.h"
#include "monitor_view.h"

namespace korvan::monitor {

namespace {
const QString kSection = QStringLiteral("MONITEUR");
}

void installMonitorCommands(shell::CKorvanApp& app) {
    app.setHandler(shell::cmd::kMonitorWindow, {[&app] { openMonitorWindow(app); }, {}, {}});
    app.setHandler(shell::cmd::kConfigMonitor,
                   {[&app] { configureMonitor(app); }, [&app] { return findMonitorView(app) == nullptr; }, {}});
    installDebugCommands(app);
}

ViewMonitor* findMonitorView(shell::CKorvanApp& app) {
    shell::CMainFrame* frame = app.mainFrame();
    if (!frame) return nullptr;
    // Found again by its title, as the window has always been.
    const QString title = monitorText(mtext::kMonitorTitle);
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList()) {
        auto* child = qobject_cast<shell::CChildFrame*>(w);
        auto* view = qobject_cast<ViewMonitor*>(w->widget());
        if (view && child && child->documentTitle() == title) return view;
    }
    return nullptr;
}

ViewMonitor* openMonitorWindow(shell::CKorvanApp& app) {
    shell::CMainFrame* frame = app.mainFrame();
    if (!frame) return nullptr;
    if (ViewMonitor* view = findMonitorView(app)) {
        frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view->parentWidget()));
        QTimer::singleShot(0, view, [view] { view->reload(); });
        return view;
    }
    auto* view = new ViewMonitor(app, std::make_unique<CDocMonitor>(app.settings()));
    if (DebugSession* session = DebugSession::of(app)) session->attach(view);
    const int menuSet = app.documentTypes().at(shell::MonitorDocumentType).menuSet;
    shell::CChildFrame* child = frame->addChildWindow(view, menuSet);
    const QSize room = frame->mdiArea()->viewport()->size();
    const QSize wanted = child->sizeHint();
    child->resize(std::min(wanted.width(), room.width()), std::min(wanted.height(), room.height()));
    child->show();
    view->setFocus();
    frame->updateCommandUi();
    return view;
}

void configureMonitor(shell::CKorvanApp& app) {
    shell::SettingsStore& settings = app.settings();
    Confmoniteur dlg(app.mainFrame());
    dlg.setValues(settings.GetSettingString(kSection, QStringLiteral("PORT"), QStringLiteral("COM1")),
                  settings.GetSettingInt(kSection, QStringLiteral("DETECT"), 1) != 0,
                  settings.GetSettingInt(kSection, QStringLiteral("TELECHARGE"), 1) != 0);
    if (dlg.exec() != QDialog::Accepted) return;
    settings.WriteSettingString(kSection, QStringLiteral("PORT"), dlg.port());
    settings.WriteSettingInt(kSection, QStringLiteral("DETECT"), dlg.detect() ? 1 : 0);
    settings.WriteSettingInt(kSection, QStringLiteral("TELECHARGE"), dlg.autoDownload() ? 1 : 0);
}

}  // namespace korvan::monitor
