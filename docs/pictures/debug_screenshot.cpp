// Takes the README's picture of a debugging session: the demo assembly source stopped on a
// breakpoint (red mark in the margin, the current line highlighted) beside the monitor window
// and its CPU32 register dock, against the module at LINK.
// Usage: korvan_debug_screenshot OUT.png DEMO_FOLDER LINK, LINK being a running
// `korvan-sim --link LINK --line-bps 0`.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "build/assemble_command.h"
#include "commands.h"
#include "driver/asm_dialogs.h"
#include "korvan_app.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "monitor/debug_session.h"
#include "monitor/monitor_command.h"

using namespace korvan::shell;

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "korvan_debug_screenshot: %s\n", what);
    return 1;
}

// The 1-based line of the file's text that holds `text`, 0 when none does.
int lineOf(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QStringList lines = QString::fromLatin1(f.readAll()).split(u'\n');
    for (int i = 0; i < lines.size(); ++i)
        if (lines.at(i).contains(text)) return i + 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: korvan_debug_screenshot OUT.png DEMO_FOLDER LINK\n");
        return 2;
    }
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    const QString demo = QString::fromLocal8Bit(argv[2]);
    const QString work = dir.filePath(QStringLiteral("tp"));
    QDir().mkpath(work);
    for (const char* f : {"main.src", "defs.def"})
        if (!QFile::copy(demo + u'/' + QLatin1String(f), work + u'/' + QLatin1String(f))) return fail("no demo source");
    const QString source = work + QStringLiteral("/main.src");

    CKorvanApp app;
    korvan::build::installBuildCommands(app);
    korvan::monitor::installMonitorCommands(app);
    app.settings().WriteSettingString(QStringLiteral("MONITEUR"), QStringLiteral("PORT"),
                                      QString::fromLocal8Bit(argv[3]));
    app.start();
    CMainFrame* frame = app.mainFrame();
    frame->resize(1600, 860);
    if (!app.openSourceDocument(source)) return fail("cannot open the source");

    // Assemble, and leave the assembler's dialog with Monitor: the program goes to the module.
    auto* clicker = new QTimer(&app);
    QObject::connect(clicker, &QTimer::timeout, clicker, [clicker] {
        auto* dlg = qobject_cast<qubrix::CAsmDlg*>(QApplication::activeModalWidget());
        auto* monitorButton = dlg ? dlg->findChild<QPushButton*>(QStringLiteral("monitorButton")) : nullptr;
        if (!dlg || !dlg->started() || !monitorButton || !monitorButton->isEnabled()) return;
        clicker->stop();
        QTimer::singleShot(0, monitorButton, &QAbstractButton::click);
    });
    clicker->start(5);
    frame->runCommand(cmd::kAssemble);
    auto* session = korvan::monitor::DebugSession::of(app);
    if (!session || !QTest::qWaitFor([&] { return session->programLoaded() && !session->busy(); }, 15000))
        return fail("the program did not reach the module");
    QTest::qWait(500);

    // F9 on the call of SUM and on the line after it, then F5: the module stops on the call.
    CKorvanView* view = nullptr;
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList())
        if (auto* v = qobject_cast<CKorvanView*>(w->widget())) {
            view = v;
            frame->mdiArea()->setActiveSubWindow(w);
        }
    if (!view) return fail("no source window");
    for (const QString& text : {QStringLiteral("BSR     SUM"), QStringLiteral("MOVE.L  D3,RESULT")}) {
        GoToLine(view, lineOf(source, text) - 1);
        if (!frame->runCommand(cmd::kBreakpoint)) return fail("no breakpoint command");
        if (!QTest::qWaitFor([&] { return !session->busy(); }, 5000)) return fail("the breakpoint was not planted");
    }
    QSignalSpy stops(session, &korvan::monitor::DebugSession::stopShown);
    if (!frame->runCommand(cmd::kDebugRun)) return fail("no run command");
    if (!QTest::qWaitFor([&] { return stops.count() > 0 && !session->busy(); }, 10000))
        return fail("the program did not stop");

    // The register dock on a third of the window, the source on the left of the rest and
    // the terminal on its right.
    for (QDockWidget* dock : frame->findChildren<QDockWidget*>())
        if (dock->isVisible() && dock->widget() && dock != frame->outputBar())
            frame->resizeDocks({dock}, {frame->width() * 3 / 10}, Qt::Horizontal);
    QTest::qWait(200);
    const QSize area = frame->mdiArea()->viewport()->size();
    const int split = area.width() / 2;
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList()) {
        w->showNormal();
        w->setGeometry(w->widget() == view ? QRect(0, 0, split, area.height())
                                           : QRect(split, 0, area.width() - split, area.height()));
    }
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList())
        if (w->widget() == view) frame->mdiArea()->setActiveSubWindow(w);
    frame->updateCommandUi();
    QTest::qWait(500);
    if (!frame->grab().save(QString::fromLocal8Bit(argv[1]))) return fail("cannot write the picture");
    return 0;
}
