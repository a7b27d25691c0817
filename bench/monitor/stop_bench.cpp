// Times the debugger's stop: from the moment the bytes holding the monitor's prompt reach the
// monitor document to the stop's source line highlighted and the registers refreshed. The
// workbench runs offscreen against korvan-sim; the demo program runs to a breakpoint in its
// loop again and again. Usage: stop_bench [stops]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "commands.h"
#include "debug_session.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "monitor_command.h"
#include "monitor_doc.h"
#include "monitor_view.h"

using namespace korvan;

namespace {

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication qapp(argc, argv);
    const int stops = argc > 1 ? std::atoi(argv[1]) : 48;

    QProcess sim;
    const QString link = work.filePath(QStringLiteral("line"));
    sim.start(QStringLiteral(KORVAN_SIM),
              {QStringLiteral("--link"), link, QStringLiteral("--line-bps"), QStringLiteral("0")});
    if (!sim.waitForStarted() || !waitFor([&] { return QFile::exists(link); }, 5000)) return 1;

    const QString dir = work.filePath(QStringLiteral("src"));
    QDir().mkpath(dir);
    for (const char* f : {"main.src", "defs.def"})
        QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/") + QLatin1String(f), dir + u'/' + QLatin1String(f));
    const QString source = dir + QStringLiteral("/main.src");
    QProcess qubrix;
    qubrix.setWorkingDirectory(dir);
    qubrix.start(QStringLiteral(QUBRIX_CLI), {source});
    if (!qubrix.waitForFinished(30000) || qubrix.exitCode() != 0) return 1;

    shell::CKorvanApp app;
    monitor::installMonitorCommands(app);
    if (!app.start()) return 1;
    app.settings().WriteSettingString(QStringLiteral("MONITEUR"), QStringLiteral("PORT"), link);
    app.settings().WriteSettingInt(QStringLiteral("MONITEUR"), QStringLiteral("DETECT"), 1);
    app.settings().WriteSettingInt(QStringLiteral("MONITEUR"), QStringLiteral("TELECHARGE"), 1);
    app.openSourceDocument(source);
    app.mainFrame()->setLastBuiltSource(source);
    monitor::ViewMonitor* view = monitor::openMonitorWindow(app);
    monitor::DebugSession* session = monitor::DebugSession::of(app);
    if (!waitFor([&] { return session->programLoaded() && !session->busy(); }, 10000)) return 2;

    // A breakpoint in the loop that fills the table: hit COUNT times per run.
    shell::CKorvanView* editor = app.findOpenDocument(source)->views().front();
    const QStringList lines = editor->toPlainText().split(u'\n');
    const int line = int(lines.indexOf(QStringLiteral("         ADDQ.W  #1,D0"))) + 1;
    session->toggleBreakpoint(editor, line);
    waitFor([&] { return !session->busy(); }, 5000);

    QElapsedTimer clock;
    clock.start();
    qint64 promptAt = -1;
    std::vector<double> ms;
    QObject::connect(view->document(), &monitor::CDocMonitor::textReceived, [&](const QByteArray& b) {
        if (b.contains(">>->")) promptAt = clock.nsecsElapsed();
    });
    QObject::connect(session, &monitor::DebugSession::stopShown, [&] {
        if (promptAt >= 0) ms.push_back((clock.nsecsElapsed() - promptAt) / 1e6);
        promptAt = -1;
    });
    for (int i = 0; i < stops; ++i) {
        const std::size_t before = ms.size();
        if (i % 16 == 0)
            session->runFrom(0x802000);  // the loop ends after COUNT stops
        else
            session->run();
        if (!waitFor([&] { return ms.size() > before && !session->busy(); }, 10000)) return 3;
        if (session->stopLocation().line != line) return 4;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("stop to highlighted line, %zu stops: median %.2f ms, 90%% %.2f ms, max %.2f ms (bar: 100 ms)\n",
                ms.size(), ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
