// Takes the README's picture of the workbench: the real main window with the demo assembly
// source and a C source, coloured, or the source beside the monitor window talking to the
// module at LINK. Usage: korvan_screenshot OUT.png DEMO.src [LINK]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#if KORVAN_HAVE_MONITOR
#include "commands.h"
#include "monitor/monitor_command.h"
#endif

using namespace korvan::shell;

namespace {
const char kCSource[] =
    "/* afficheur.c : envoie la table des carres au module */\n"
    "#include \"module.h\"\n"
    "#define COUNT 16\n"
    "\n"
    "static unsigned short table[COUNT];\n"
    "\n"
    "int main(void)\n"
    "{\n"
    "    unsigned long total = 0;\n"
    "    for (int i = 0; i < COUNT; i++) {\n"
    "        table[i] = (unsigned short)(i * i);\n"
    "        total += table[i];   // somme des carres\n"
    "    }\n"
    "    if (total == 0)\n"
    "        return -1;\n"
    "    affiche(\"Total : %lu\\n\", total);\n"
    "    return 0;\n"
    "}\n";
}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: korvan_screenshot OUT.png SOURCE.src\n");
        return 2;
    }
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    const QString link = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const QString cPath = dir.filePath(QStringLiteral("afficheur.c"));
    QFile c(cPath);
    if (!c.open(QIODevice::WriteOnly)) return 1;
    c.write(kCSource);
    c.close();

    CKorvanApp app;
#if KORVAN_HAVE_MONITOR
    korvan::monitor::installMonitorCommands(app);
    if (!link.isEmpty()) app.settings().WriteSettingString(QStringLiteral("MONITEUR"), QStringLiteral("PORT"), link);
#endif
    app.start();
    CMainFrame* frame = app.mainFrame();
    frame->resize(1100, 680);
    if (link.isEmpty()) {
        if (!app.openSourceDocument(cPath) || !app.openSourceDocument(QString::fromLocal8Bit(argv[2]))) return 1;
    } else {
        if (!app.openSourceDocument(QString::fromLocal8Bit(argv[2]))) return 1;
#if KORVAN_HAVE_MONITOR
        QTest::qWait(200);
        if (!frame->runCommand(korvan::shell::cmd::kMonitorWindow)) return 1;
        QTest::qWait(2500);  // the module's banner and first answers
        // The source comes first, on the left, for the tiling below.
        for (QMdiSubWindow* w : frame->mdiArea()->subWindowList())
            if (qobject_cast<CKorvanView*>(w->widget())) frame->mdiArea()->setActiveSubWindow(w);
#endif
    }
    frame->mdiArea()->tileSubWindows();
    CKorvanView* view = frame->activeSourceView();
    for (int i = 0; i < 8; ++i) QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_End);
    frame->updateCommandUi();
    QTest::qWait(300);
    if (!frame->grab().save(QString::fromLocal8Bit(argv[1]))) return 1;
    return 0;
}
