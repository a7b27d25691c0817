// Drives the real workbench offscreen through the Assemble command: the library's progress
// dialog answered like a user would, the error list's rows and double-clicks, the last built
// source, and outputs byte-identical to those of the command-line assembler.
#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>

#include "../workbench_harness.h"
#include "build/assemble_command.h"
#include "build/erreur_doc.h"
#include "build/erreur_view.h"
#include "commands.h"
#include "driver/asm_dialogs.h"
#include "korvan_doc.h"

using namespace korvan::shell;
using namespace wbtest;
using korvan::build::CErreurDoc;
using korvan::build::CErreurView;

namespace {

// What the library's progress dialog showed once its run was over.
struct AsmDialogSeen {
    bool answered = false;
    QString title, file, errors;
    bool monitorEnabled = false;
    QWidget* parent = nullptr;
};

// Waits until the progress dialog shows its counts, then presses "Monitor..." (when wanted and
// enabled: a disabled button ignores the click and the dialog would never end) or "Cancel".
void answerAsmDialog(bool monitor, AsmDialogSeen* seen) {
    whileModal<qubrix::CAsmDlg>([monitor, seen](qubrix::CAsmDlg* dlg) {
        auto* errors = dlg->findChild<QLineEdit*>(QStringLiteral("errorCountEdit"));
        if (!dlg->started() || !errors || errors->text().isEmpty()) return false;
        auto* monitorButton = dlg->findChild<QPushButton*>(QStringLiteral("monitorButton"));
        *seen = {
            true,           dlg->windowTitle(),         dlg->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->text(),
            errors->text(), monitorButton->isEnabled(), dlg->parentWidget()};
        QPushButton* press = monitor && monitorButton->isEnabled()
                                 ? monitorButton
                                 : dlg->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        QTimer::singleShot(0, press, &QAbstractButton::click);
        return true;
    });
}

bool copyExample(const QString& example, const QString& file, const QString& toDir) {
    QDir().mkpath(toDir);
    return QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/%1/%2").arg(example, file), toDir + u'/' + file);
}

// The rows as "file:line: text", as the command-line assembler prints its diagnostics.
QStringList rowsOf(const CErreurView* view) {
    QStringList rows;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = view->topLevelItem(i);
        rows << QStringLiteral("%1:%2: %3").arg(it->text(0), it->text(1), it->text(2));
    }
    return rows;
}

QStringList headersOf(const CErreurView* view) {
    QStringList headers;
    for (int c = 0; c < view->columnCount(); ++c) headers << view->headerItem()->text(c);
    return headers;
}

void doubleClickRow(CErreurView* view, int row) {
    QTreeWidgetItem* item = view->topLevelItem(row);
    QVERIFY(item);
    view->scrollToItem(item);
    // A user's double-click: the first click selects the row, the second one is the double-click.
    const QPoint at(10, view->visualItemRect(item).center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class TstBuild : public QObject, public Workbench {
    Q_OBJECT

    void start() { QVERIFY(Workbench::start({}, korvan::build::installBuildCommands)); }
    CErreurView* errorView() const {
        CErreurDoc* doc = korvan::build::findErrorListDocument(*app);
        return doc ? doc->firstView() : nullptr;
    }
    // Runs Assemble on the active window and answers the progress dialog.
    AsmDialogSeen assemble(bool monitor) {
        AsmDialogSeen seen;
        answerAsmDialog(monitor, &seen);
        frame()->runCommand(cmd::kAssemble);
        return seen;
    }
    QString src(const QString& name) const { return path(QStringLiteral("src/") + name); }
    // Starts the workbench with the example of mistakes open in the active window; Assemble is
    // handled by source windows only.
    CKorvanView* startWithMistakes() {
        if (!copyExample("mistakes", "mistakes.src", path("src")) || !copyExample("mistakes", "defs.def", path("src")))
            return nullptr;
        start();
        if (frame()->commandState(cmd::kAssemble).handled) return nullptr;
        return app->openSourceDocument(src("mistakes.src")) ? activeView() : nullptr;
    }
    int m_monitorCalls = 0;

private slots:
    void initTestCase() { Workbench::initTestCase(); }
    // The library writes "message.txt" into the current folder: the test's scratch folder.
    void init() {
        Workbench::init();
        m_monitorCalls = 0;
    }
    void cleanup() { Workbench::cleanup(); }

    // Rows of the main and the include file and their double-clicks; the next run saves the
    // source first and reuses the list; a row whose file is gone is reported.
    void errorsInMainAndIncludeFileAndDoubleClicks() {
        CKorvanView* mainView = startWithMistakes();
        QVERIFY(mainView);
        frame()->updateCommandUi();
        QVERIFY(frame()->commandState(cmd::kAssemble).enabled);
        // The command sits directly on the menu bar of source windows.
        QAction* onBar = nullptr;
        for (QAction* a : frame()->menuBar()->actions())
            if (a->data().toInt() == cmd::kAssemble) onBar = a;
        QVERIFY(onBar && onBar->isEnabled());
        QCOMPARE(onBar->statusTip(), QStringLiteral("Assembler le fichier courant"));
        frame()->setLastBuiltSource(QStringLiteral("/somewhere/else.src"));
        const AsmDialogSeen seen = assemble(false);
        QVERIFY(seen.answered);
        // The library's dialog as the workbench shows it: over the editor, named by the title.
        QCOMPARE(seen.title, QStringLiteral("Assembleur"));
        QCOMPARE(seen.file, QStringLiteral("mistakes.src"));
        QCOMPARE(seen.parent, mainView);
        QCOMPARE(seen.errors, QStringLiteral("10"));
        QVERIFY(!seen.monitorEnabled);
        QCOMPARE(frame()->lastBuiltSource(), QString());

        CErreurView* view = errorView();
        QVERIFY(view);
        QCOMPARE(frame()->activeChild(), windowOf(view));
        // Named the same in both languages, as it is found again by that name.
        QCOMPARE(static_cast<CChildFrame*>(windowOf(view))->documentTitle(), QStringLiteral("Liste des erreurs"));
        QCOMPARE(headersOf(view), QStringList({"Fichier", "Ligne", "Description"}));
        for (auto group : {QPalette::Active, QPalette::Inactive})
            QCOMPARE(view->palette().color(group, QPalette::Text), QColor(Qt::red));
        // The main window keeps its own menu bar; nobody handles Assemble there.
        QCOMPARE(frame()->activeMenuSet(), 128);
        QVERIFY(!frame()->commandState(cmd::kAssemble).handled);
        QVERIFY(!frame()->runCommand(cmd::kAssemble));
        // The lines the example marks as mistakes, in source order: the include file comes first.
        QStringList at;
        for (const QString& row : rowsOf(view)) at << row.section(QStringLiteral(": "), 0, 0);
        QStringList expected{src("defs.def") + ":3"};
        for (int line : {5, 6, 7, 8, 9, 10, 11, 13, 14}) expected << src("mistakes.src") + u':' + QString::number(line);
        QCOMPARE(at, expected);
        QVERIFY(view->topLevelItem(1)->text(2).contains(QStringLiteral("Symbole non défini")));

        // The include file is not open: it opens in a new window at its line.
        const int windowsBefore = windowCount();
        doubleClickRow(view, 0);
        QCOMPARE(windowCount(), windowsBefore + 1);
        CKorvanView* includeView = activeView();
        QVERIFY(includeView);
        QCOMPARE(includeView->document()->path(), src("defs.def"));
        QCOMPARE(includeView->caretLine(), 2);
        QVERIFY(includeView->textCursor().block().text().startsWith(QStringLiteral("MASK")));
        QCOMPARE(frame()->currentLine(), 3);

        // The main file is open: its window comes to the front with the caret on the line.
        frame()->mdiArea()->setActiveSubWindow(windowOf(view));
        doubleClickRow(view, 6);
        QCOMPARE(windowCount(), windowsBefore + 1);
        QCOMPARE(activeView(), mainView);
        QCOMPARE(mainView->caretLine(), 9);
        QVERIFY(mainView->textCursor().block().text().contains(QStringLiteral("MOVX.W")));

        // Now that the include file is open, its window is reused.
        includeView->moveCursor(QTextCursor::End);
        frame()->mdiArea()->setActiveSubWindow(windowOf(view));
        doubleClickRow(view, 0);
        QCOMPARE(windowCount(), windowsBefore + 1);
        QCOMPARE(activeView(), includeView);
        QCOMPARE(includeView->caretLine(), 2);

        // A row of no line (0, or a column that is not a number) goes nowhere.
        for (const QString& line : {QStringLiteral("0"), QStringLiteral("n/a")}) {
            frame()->mdiArea()->setActiveSubWindow(windowOf(view));
            view->topLevelItem(6)->setText(1, line);
            doubleClickRow(view, 6);
            QCOMPARE(frame()->activeChild(), windowOf(view));
        }

        // Mend the MOVX line in the editor; Assemble saves it before the run.
        CKorvanDoc* doc = mainView->document();
        frame()->mdiArea()->setActiveSubWindow(windowOf(mainView));
        GoToLine(mainView, 9);
        QTextCursor c = mainView->textCursor();
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QVERIFY(c.selectedText().contains(QStringLiteral("MOVX.W")));
        c.insertText(QStringLiteral("         MOVE.W  D0,D1"));
        // Another window on top: the error list is found again and brought up.
        QVERIFY(app->newSourceDocument());
        frame()->mdiArea()->setActiveSubWindow(windowOf(mainView));
        QCOMPARE(assemble(false).errors, QStringLiteral("9"));
        QVERIFY(!doc->isModified());
        QVERIFY(readFile(src("mistakes.src")).contains("         MOVE.W  D0,D1\n"));
        QCOMPARE(errorView(), view);
        int errorWindows = 0;
        for (QMdiSubWindow* w : frame()->mdiArea()->subWindowList())
            errorWindows += qobject_cast<CErreurView*>(w->widget()) ? 1 : 0;
        QCOMPARE(errorWindows, 1);
        QCOMPARE(frame()->activeChild(), windowOf(view));
        QCOMPARE(view->topLevelItemCount(), 9);
        QVERIFY(!rowsOf(view).join(u'\n').contains(src("mistakes.src") + QStringLiteral(":10:")));

        // Closing the list releases its document; the next failed run opens a new window.
        QPointer<CErreurDoc> errors = korvan::build::findErrorListDocument(*app);
        windowOf(view)->close();
        QTRY_VERIFY(errors.isNull());
        QVERIFY(!korvan::build::findErrorListDocument(*app));
        frame()->mdiArea()->setActiveSubWindow(windowOf(mainView));
        QVERIFY(assemble(false).answered);
        view = errorView();
        QVERIFY(view);
        QCOMPARE(view->topLevelItemCount(), 9);

        // Closed and gone from the disk: reported, nothing moves.
        const int windowsLeft = windowCount() - 1;
        windowOf(includeView)->close();
        QTRY_COMPARE(windowCount(), windowsLeft);
        QVERIFY(QFile::remove(src("defs.def")));
        mainView->moveCursor(QTextCursor::End);
        const int caret = mainView->caretLine();
        frame()->mdiArea()->setActiveSubWindow(windowOf(view));
        QString message;
        answerBox(&message);
        doubleClickRow(view, 0);
        QVERIFY2(message.contains(src("defs.def")), qPrintable(message));
        QVERIFY(message.contains(QStringLiteral("Impossible d'ouvrir")));
        QCOMPARE(windowCount(), windowsLeft);
        QCOMPARE(frame()->activeChild(), windowOf(view));
        QCOMPARE(mainView->caretLine(), caret);
    }

    void cleanAssembly_data() {
        QTest::addColumn<bool>("monitor");  // the button pressed: Monitor... or Cancel
        QTest::addColumn<bool>("handler");  // someone handles the monitor-window command
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<int>("monitorCalls");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("Monitor records the source and opens the monitor") << true << true << true << 1 << 10;
        QTest::newRow("Monitor with nobody to open it still records") << true << false << true << 0 << 10;
        QTest::newRow("Cancel gives an empty list and forgets") << false << true << false << 0 << 0;
    }
    void cleanAssembly() {
        QFETCH(bool, monitor);
        QFETCH(bool, handler);
        QFETCH(bool, recorded);
        QFETCH(int, monitorCalls);
        QFETCH(int, rowsLeft);
        QVERIFY(copyExample("demo", "main.src", path("demo")));
        QVERIFY(copyExample("demo", "defs.def", path("demo")));
        QVERIFY(startWithMistakes());
        if (handler) frame()->setHandler(cmd::kMonitorWindow, {[this] { ++m_monitorCalls; }, {}, {}});
        QVERIFY(assemble(true).answered);  // failed: Monitor is disabled, Cancel is pressed
        QCOMPARE(m_monitorCalls, 0);
        QCOMPARE(errorView()->topLevelItemCount(), 10);
        QVERIFY(errorView()->emptyText().isEmpty());

        const QString demo = path(QStringLiteral("demo/main.src"));
        QVERIFY(app->openSourceDocument(demo));
        frame()->setLastBuiltSource(QStringLiteral("/earlier/build.src"));
        const AsmDialogSeen seen = assemble(monitor);
        QCOMPARE(seen.errors, QStringLiteral("0"));
        QVERIFY(seen.monitorEnabled);
        QCOMPARE(frame()->lastBuiltSource(), recorded ? demo : QString());
        QCOMPARE(m_monitorCalls, monitorCalls);
        QVERIFY(errorView());
        QCOMPARE(errorView()->topLevelItemCount(), rowsLeft);
        // A run without error says so, in the list and in the status line.
        if (rowsLeft == 0) {
            QVERIFY2(errorView()->emptyText().startsWith(QStringLiteral("Aucune erreur")),
                     qPrintable(errorView()->emptyText()));
            QCOMPARE(frame()->statusBar()->currentMessage(), errorView()->emptyText());
        } else {
            QVERIFY(errorView()->emptyText().isEmpty());
        }
        if (!monitor) QCOMPARE(frame()->activeChild(), windowOf(errorView()));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("demo/main.abs"))));
    }

    // A source that cannot be saved is not built: the file on disk (if any) is not the text in
    // the window, and the student would load yesterday's program into the module.
    void unsavableSourceIsReportedAndNothingIsBuilt_data() {
        QTest::addColumn<QString>("file");  // empty: an untitled document
        QTest::addColumn<QString>("reason");
        QTest::newRow("untitled document") << QString() << "pas encore de nom";
        QTest::newRow("folder gone") << "gone/main.src"
                                     << "Le fichier ou le dossier n'existe pas";
        // The old file stays readable and assembles cleanly; the temporary file the save writes
        // first cannot be created beside it, as its name would be too long.
        QTest::newRow("old file kept, save refused") << QString(250 - 4, u'm') + ".src"
                                                     << "Nom de fichier trop long";
    }
    void unsavableSourceIsReportedAndNothingIsBuilt() {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        const QString where = file.isEmpty() ? QString() : path(file);
        if (!where.isEmpty()) {
            QDir().mkpath(QFileInfo(where).absolutePath());
            QVERIFY(QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/main.src"), where));
            QVERIFY(copyExample("demo", "defs.def", QFileInfo(where).absolutePath()));
        }
        start();
        frame()->setHandler(cmd::kMonitorWindow, {[this] { ++m_monitorCalls; }, {}, {}});
        CKorvanDoc* doc = where.isEmpty() ? app->newSourceDocument() : app->openSourceDocument(where);
        QVERIFY(doc);
        const QByteArray before = where.isEmpty() ? QByteArray() : readFile(where);
        QTest::keyClicks(activeView(), "; nouveau");
        QTest::keyClick(activeView(), Qt::Key_Return);
        if (file.startsWith("gone/")) QVERIFY(QDir(path(QStringLiteral("gone"))).removeRecursively());
        frame()->setLastBuiltSource(QStringLiteral("/earlier/build.src"));
        QString message;
        answerBox(&message);
        const AsmDialogSeen seen = assemble(true);
        // The user is told why nothing was saved, and nothing is built: no run of the assembler,
        // no error list, no monitor; the text typed is still there, unsaved.
        QVERIFY2(message.contains(QStringLiteral("Impossible d'enregistrer")), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY(message.contains(where.isEmpty() ? QStringLiteral("prog1") : where));
        QVERIFY(!seen.answered);
        QCOMPARE(m_monitorCalls, 0);
        QVERIFY(!errorView());
        QCOMPARE(frame()->lastBuiltSource(), QStringLiteral("/earlier/build.src"));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("message.txt"))));
        if (!where.isEmpty()) {
            const QString base = where.chopped(4);
            QVERIFY(!QFileInfo::exists(QFileInfo(where).absolutePath() + QStringLiteral("/message.txt")));
            QVERIFY(!QFileInfo::exists(base + QStringLiteral(".abs")));
            QVERIFY(!QFileInfo::exists(base + QStringLiteral(".lis")));
            if (QFileInfo::exists(where)) QCOMPARE(readFile(where), before);
        }
        QVERIFY(doc->isModified());
        QVERIFY(doc->textDocument()->toPlainText().startsWith(QStringLiteral("; nouveau")));
    }

    void outputsMatchTheCommandLineAssembler_data() {
        QTest::addColumn<QString>("example");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<QString>("language");
        QTest::newRow("clean source left with Monitor") << "demo"
                                                        << "main" << true << "FRANCAIS";
        QTest::newRow("source with errors, English") << "mistakes"
                                                     << "mistakes" << false << "ANGLAIS";
    }
    void outputsMatchTheCommandLineAssembler() {
        QFETCH(QString, example);
        QFETCH(QString, source);
        QFETCH(bool, monitor);
        QFETCH(QString, language);
        // The include file lives only in the definitions folder handed to the assembler, and the
        // code section has an origin of its own: both runs must take them from the same settings.
        const QString dir = path(QStringLiteral("prj"));
        const QString defs = path(QStringLiteral("defs"));
        QVERIFY(copyExample(example, source + QStringLiteral(".src"), dir));
        QVERIFY(copyExample(example, QStringLiteral("defs.def"), defs));
        setStore(QStringLiteral("REPERTOIRE/DEF"), defs);
        setStore(QStringLiteral("KORVAN/LANGAGE"), language);
        setStore(QStringLiteral("ASSEMBLEUR/SECTION 9"), QStringLiteral("810000"), "qubrix");
        start();
        const QString where = dir + u'/' + source + QStringLiteral(".src");
        QVERIFY(app->openSourceDocument(where));
        const AsmDialogSeen seen = assemble(monitor);
        QVERIFY(seen.answered);
        QCOMPARE(seen.monitorEnabled, monitor);
        QCOMPARE(frame()->lastBuiltSource(), monitor ? where : QString());

        const QStringList outputs{dir + u'/' + source + QStringLiteral(".abs"),
                                  dir + u'/' + source + QStringLiteral(".lis"),
                                  dir + QStringLiteral("/message.txt")};  // the report lands beside the source
        QList<QByteArray> fromWorkbench;
        for (const QString& out : outputs) {
            fromWorkbench << readFile(out);
            QVERIFY(QFile::remove(out));
        }
        QVERIFY(fromWorkbench[0].contains("00810000"));
        QProcess cli;
        cli.setWorkingDirectory(dir);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        cli.setProcessEnvironment(env);
        cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qubrix"),
                  {QStringLiteral("--dir"), defs, where});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), monitor ? 0 : 1);
        const QStringList printed = QString::fromUtf8(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
        for (int i = 0; i < outputs.size(); ++i)
            QVERIFY2(readFile(outputs[i]) == fromWorkbench[i], qPrintable(outputs[i]));
        // The rows say what the command line says, in the workbench's language.
        if (!monitor) QCOMPARE(rowsOf(errorView()), printed);
        if (!monitor) QCOMPARE(headersOf(errorView()), QStringList({"File", "Line", "Description"}));
    }
};

QTEST_MAIN(TstBuild)
#include "tst_build.moc"
