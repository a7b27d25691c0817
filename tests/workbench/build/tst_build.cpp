// Drives the real workbench offscreen through the Assemble command: the library's progress
// dialog answered like a user would, the error list's rows and double-clicks, the last built
// source, and outputs byte-identical to those of the command-line assembler.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <functional>
#include <memory>

#include "build/assemble_command.h"
#include "build/erreur_doc.h"
#include "build/erreur_view.h"
#include "commands.h"
#include "driver/asm_dialogs.h"
#include "driver/diagnostics.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"

using namespace korvan::shell;
using korvan::build::CErreurDoc;
using korvan::build::CErreurView;

namespace {

// Watchers of modal dialogs; those still waiting when a test ends are dropped by cleanup(),
// so that a failed test cannot answer the dialogs of the next one.
QObject* g_watchers = nullptr;

// Calls poll every few milliseconds while a modal widget of type T is up, until it returns true.
template <class T>
void whileModal(std::function<bool(T*)> poll) {
    auto* timer = new QTimer(g_watchers);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, poll] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && poll(w)) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// What the library's progress dialog showed once its run was over.
struct AsmDialogSeen {
    bool answered = false;
    QString title;
    QString file;
    QString errors;
    bool monitorEnabled = false;
    QWidget* parent = nullptr;
};

// Waits until the progress dialog shows its counts, then presses "Monitor..." (when wanted and
// enabled) or "Cancel".
void answerAsmDialog(bool monitor, AsmDialogSeen* seen) {
    whileModal<qubrix::CAsmDlg>([monitor, seen](qubrix::CAsmDlg* dlg) {
        auto* errors = dlg->findChild<QLineEdit*>(QStringLiteral("errorCountEdit"));
        if (!dlg->started() || !errors || errors->text().isEmpty()) return false;
        auto* monitorButton = dlg->findChild<QPushButton*>(QStringLiteral("monitorButton"));
        auto* cancelButton = dlg->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        seen->answered = true;
        seen->title = dlg->windowTitle();
        seen->file = dlg->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->text();
        seen->errors = errors->text();
        seen->monitorEnabled = monitorButton->isEnabled();
        seen->parent = dlg->parentWidget();
        // A disabled button ignores the click and the dialog would never end.
        QPushButton* press = monitor && monitorButton->isEnabled() ? monitorButton : cancelButton;
        QTimer::singleShot(0, press, &QAbstractButton::click);
        return true;
    });
}

// Answers the next message box with its default button and keeps its text.
void answerMessageBox(QString* text) {
    whileModal<QMessageBox>([text](QMessageBox* box) {
        *text = box->text();
        QTimer::singleShot(0, box, &QDialog::accept);
        return true;
    });
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable " + path.toUtf8() + ">");
}

bool copyExample(const QString& example, const QString& file, const QString& toDir) {
    QDir().mkpath(toDir);
    return QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/%1/%2").arg(example, file), toDir + u'/' + file);
}

struct Row {
    QString file;
    QString line;
    QString text;
};

QList<Row> rowsOf(const CErreurView* view) {
    QList<Row> rows;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = view->topLevelItem(i);
        rows.append({it->text(0), it->text(1), it->text(2)});
    }
    return rows;
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

QMdiSubWindow* windowOf(QWidget* content) { return qobject_cast<QMdiSubWindow*>(content->parentWidget()); }

}  // namespace

class TstBuild : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void assembleIsAViewCommand();
    void errorListColumns_data();
    void errorListColumns();
    void errorsInMainAndIncludeFileAndDoubleClicks();
    void missingFileIsReportedAndNothingMoves();
    void rowsShowTheListReversedAndLinelessRowsDoNothing();
    void assemblingTwiceReusesTheWindowAndSavesFirst();
    void cleanAssemblyLeftWithMonitor();
    void cleanAssemblyCancelledEmptiesTheList();
    void closingTheErrorListReleasesIt();
    void untitledDocumentIsReported();
    void failedSaveIsReportedAndTheRunGoesOn();
    void outputsMatchTheCommandLineAssembler_data();
    void outputsMatchTheCommandLineAssembler();

private:
    void start();
    CMainFrame* frame() const { return m_app->mainFrame(); }
    CKorvanView* activeView() const { return frame()->activeSourceView(); }
    CErreurView* errorView() const {
        CErreurDoc* doc = korvan::build::findErrorListDocument(*m_app);
        return doc ? doc->firstView() : nullptr;
    }
    // Runs Assemble on the active window and answers the progress dialog.
    AsmDialogSeen assemble(bool monitor);
    void setStore(const char* app, const QString& key, const QVariant& value) {
        QSettings s(QStringLiteral("hvl_mobr"), QString::fromLatin1(app));
        s.setValue(key, value);
        s.sync();
    }
    QString src(const QString& name) const { return m_work->path() + QStringLiteral("/src/") + name; }

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<CKorvanApp> m_app;
    QString m_savedCwd;
    int m_monitorCalls = 0;
};

void TstBuild::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    m_savedCwd = QDir::currentPath();
}

void TstBuild::init() {
    g_watchers = new QObject;
    QSettings(QStringLiteral("hvl_mobr"), QStringLiteral("korvan")).clear();
    QSettings(QStringLiteral("hvl_mobr"), QStringLiteral("qubrix")).clear();
    setStore("korvan", QStringLiteral("GNU/PREFIXE"), QStringLiteral("korvan-test-absent-"));
    // The library writes "message.txt" into the current folder: a scratch folder of its own.
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QDir::setCurrent(m_work->path());
    m_monitorCalls = 0;
}

void TstBuild::cleanup() {
    delete g_watchers;
    g_watchers = nullptr;
    m_app.reset();
    QDir::setCurrent(m_savedCwd);
    m_work.reset();
}

void TstBuild::start() {
    m_app = std::make_unique<CKorvanApp>();
    korvan::build::installBuildCommands(*m_app);
    QVERIFY(m_app->start());
}

AsmDialogSeen TstBuild::assemble(bool monitor) {
    AsmDialogSeen seen;
    answerAsmDialog(monitor, &seen);
    frame()->runCommand(cmd::kAssemble);
    return seen;
}

void TstBuild::assembleIsAViewCommand() {
    start();
    QVERIFY(!frame()->commandState(cmd::kAssemble).handled);
    m_app->newSourceDocument();
    frame()->updateCommandUi();
    QVERIFY(frame()->commandState(cmd::kAssemble).enabled);
    // "Assembleur" sits directly on the menu bar of source windows.
    QAction* onBar = nullptr;
    for (QAction* a : frame()->menuBar()->actions())
        if (a->data().toInt() == cmd::kAssemble) onBar = a;
    QVERIFY(onBar);
    QCOMPARE(onBar->text(), QStringLiteral("Assembleur"));
    QVERIFY(onBar->isEnabled());
    QCOMPARE(onBar->statusTip(), QStringLiteral("Assembler le fichier courant"));
    // The error list is no source window: nobody handles the command there.
    korvan::build::showErrorList(*m_app, std::make_unique<ListErreur>());
    QVERIFY(errorView());
    QCOMPARE(frame()->activeChild()->widget(), errorView());
    QVERIFY(!frame()->commandState(cmd::kAssemble).handled);
    QVERIFY(!frame()->runCommand(cmd::kAssemble));
}

void TstBuild::errorListColumns_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("headers");
    QTest::newRow("French") << "FRANCAIS" << QStringList{"Fichier", "Ligne", "Description"};
    QTest::newRow("English") << "ANGLAIS" << QStringList{"File", "Line", "Description"};
}

void TstBuild::errorListColumns() {
    QFETCH(QString, language);
    QFETCH(QStringList, headers);
    setStore("korvan", QStringLiteral("KORVAN/LANGAGE"), language);
    start();
    korvan::build::showErrorList(*m_app, std::make_unique<ListErreur>());
    CErreurView* view = errorView();
    QVERIFY(view);
    // The window is named the same in both languages, as it is found again by that name.
    QCOMPARE(static_cast<CChildFrame*>(windowOf(view))->documentTitle(), QStringLiteral("Liste des erreurs"));
    QCOMPARE(view->columnCount(), 3);
    QStringList shown;
    for (int c = 0; c < 3; ++c) shown << view->headerItem()->text(c);
    QCOMPARE(shown, headers);
    QCOMPARE(view->columnWidth(0), 250);
    QCOMPARE(view->columnWidth(1), 50);
    QCOMPARE(view->columnWidth(2), 400);
    QCOMPARE(view->palette().color(QPalette::Active, QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(view->palette().color(QPalette::Inactive, QPalette::Text), QColor(255, 0, 0));
    // The main window keeps its own menu bar while the error list is active.
    QCOMPARE(frame()->activeMenuSet(), 128);
    QVERIFY(view->viewport()->width() >= 700);
}

void TstBuild::errorsInMainAndIncludeFileAndDoubleClicks() {
    QVERIFY(copyExample("mistakes", "mistakes.src", m_work->path() + "/src"));
    QVERIFY(copyExample("mistakes", "defs.def", m_work->path() + "/src"));
    start();
    frame()->setLastBuiltSource(QStringLiteral("/somewhere/else.src"));
    CKorvanDoc* main = m_app->openSourceDocument(src("mistakes.src"));
    QVERIFY(main);
    CKorvanView* mainView = activeView();

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
    // The lines the example marks as mistakes, in source order: the include file comes first.
    const QList<QPair<QString, int>> expected{
        {src("defs.def"), 3},      {src("mistakes.src"), 5},  {src("mistakes.src"), 6},
        {src("mistakes.src"), 7},  {src("mistakes.src"), 8},  {src("mistakes.src"), 9},
        {src("mistakes.src"), 10}, {src("mistakes.src"), 11}, {src("mistakes.src"), 13},
        {src("mistakes.src"), 14}};
    const QList<Row> rows = rowsOf(view);
    QCOMPARE(rows.size(), expected.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].file, expected[i].first);
        QCOMPARE(rows[i].line, QString::number(expected[i].second));
    }
    // The texts are the catalogue's, as the command-line assembler prints them.
    QProcess cli;
    cli.setWorkingDirectory(m_work->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    cli.setProcessEnvironment(env);
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qubrix"),
              {QStringLiteral("--no-list"), src("mistakes.src")});
    QVERIFY(cli.waitForFinished(30000));
    // --no-list changes no diagnostic, and the run's outputs are left as the workbench made them.
    const QStringList printed = QString::fromUtf8(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(printed[i], QStringLiteral("%1:%2: %3").arg(rows[i].file, rows[i].line, rows[i].text));
    QVERIFY(rows[1].text.contains(QStringLiteral("Symbole non défini")));

    // The include file is not open: it opens in a new window at its line.
    const int windowsBefore = frame()->mdiArea()->subWindowList().size();
    doubleClickRow(view, 0);
    QCOMPARE(frame()->mdiArea()->subWindowList().size(), windowsBefore + 1);
    CKorvanView* includeView = activeView();
    QVERIFY(includeView);
    QCOMPARE(includeView->document()->path(), src("defs.def"));
    QCOMPARE(includeView->caretLine(), 2);
    QVERIFY(includeView->textCursor().block().text().startsWith(QStringLiteral("MASK")));
    QCOMPARE(frame()->currentLine(), 3);

    // The main file is open: its window comes to the front with the caret on the line.
    frame()->mdiArea()->setActiveSubWindow(windowOf(view));
    doubleClickRow(view, 6);
    QCOMPARE(frame()->mdiArea()->subWindowList().size(), windowsBefore + 1);
    QCOMPARE(activeView(), mainView);
    QCOMPARE(mainView->caretLine(), 9);
    QVERIFY(mainView->textCursor().block().text().contains(QStringLiteral("MOVX.W")));

    // Now that the include file is open, its window is reused.
    includeView->moveCursor(QTextCursor::End);
    frame()->mdiArea()->setActiveSubWindow(windowOf(view));
    doubleClickRow(view, 0);
    QCOMPARE(frame()->mdiArea()->subWindowList().size(), windowsBefore + 1);
    QCOMPARE(activeView(), includeView);
    QCOMPARE(includeView->caretLine(), 2);
}

void TstBuild::missingFileIsReportedAndNothingMoves() {
    QVERIFY(copyExample("mistakes", "mistakes.src", m_work->path() + "/src"));
    QVERIFY(copyExample("mistakes", "defs.def", m_work->path() + "/src"));
    start();
    QVERIFY(m_app->openSourceDocument(src("mistakes.src")));
    CKorvanView* mainView = activeView();
    mainView->moveCursor(QTextCursor::End);
    const int caret = mainView->caretLine();
    QVERIFY(assemble(false).answered);
    CErreurView* view = errorView();
    QVERIFY(view);
    QCOMPARE(rowsOf(view).value(0).file, src("defs.def"));

    QVERIFY(QFile::remove(src("defs.def")));
    const int windows = frame()->mdiArea()->subWindowList().size();
    QString message;
    answerMessageBox(&message);
    doubleClickRow(view, 0);
    QVERIFY2(message.contains(src("defs.def")), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("Impossible d'ouvrir")));
    QCOMPARE(frame()->mdiArea()->subWindowList().size(), windows);
    QCOMPARE(frame()->activeChild(), windowOf(view));
    QCOMPARE(mainView->caretLine(), caret);
}

void TstBuild::rowsShowTheListReversedAndLinelessRowsDoNothing() {
    const QString existing = m_work->path() + QStringLiteral("/three.src");
    {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("A\nB\nC\n");
    }
    start();
    auto list = std::make_unique<ListErreur>();
    // Rows whose line is 0 or -1 (a diagnostic of no line) and a regular one, all of a file
    // that exists.
    const QList<QPair<int, int>> reported{{0, 0x301}, {-1, 0x407}, {2, 0x202}};
    for (const auto& [line, code] : reported) {
        ErreurAsm e;
        e.SetNFichier(QFile::encodeName(existing).toStdString());
        e.SetLigne(line);
        e.SetCode(code);
        list->AddErreur(e);
    }
    list->SetTextErreur();
    QStringList yielded;
    for (ErreurAsm* e = list->GetFirstErreur(); e; e = list->GetNextErreur())
        yielded << QStringLiteral("%1 %2").arg(e->LitLigne()).arg(QString::fromUtf8(e->LitErreur().c_str()));
    QCOMPARE(yielded.size(), 3);

    korvan::build::showErrorList(*m_app, std::move(list));
    CErreurView* view = errorView();
    QVERIFY(view);
    QStringList shown;
    for (const Row& r : rowsOf(view)) shown << r.line + u' ' + r.text;
    const QStringList reversed(yielded.crbegin(), yielded.crend());
    QCOMPARE(shown, reversed);

    auto rowOfLine = [view](const QString& line) {
        for (int row = 0; row < view->topLevelItemCount(); ++row)
            if (view->topLevelItem(row)->text(1) == line) return row;
        return -1;
    };
    for (const char* line : {"0", "-1"}) {
        doubleClickRow(view, rowOfLine(QString::fromLatin1(line)));
        QCOMPARE(frame()->mdiArea()->subWindowList().size(), 1);
    }
    // A line column that is not a number counts as 0 as well.
    const int regular = rowOfLine(QStringLiteral("2"));
    view->topLevelItem(regular)->setText(1, QStringLiteral("n/a"));
    doubleClickRow(view, regular);
    QCOMPARE(frame()->mdiArea()->subWindowList().size(), 1);
    view->topLevelItem(regular)->setText(1, QStringLiteral("2"));
    doubleClickRow(view, regular);
    QCOMPARE(frame()->mdiArea()->subWindowList().size(), 2);
    QVERIFY(activeView());
    QCOMPARE(activeView()->document()->path(), existing);
    QCOMPARE(activeView()->caretLine(), 1);
}

void TstBuild::assemblingTwiceReusesTheWindowAndSavesFirst() {
    QVERIFY(copyExample("mistakes", "mistakes.src", m_work->path() + "/src"));
    QVERIFY(copyExample("mistakes", "defs.def", m_work->path() + "/src"));
    start();
    CKorvanDoc* doc = m_app->openSourceDocument(src("mistakes.src"));
    QVERIFY(doc);
    CKorvanView* mainView = activeView();
    QVERIFY(assemble(false).answered);
    CErreurView* view = errorView();
    QVERIFY(view);
    QCOMPARE(view->topLevelItemCount(), 10);

    // Mend the MOVX line in the editor; Assemble saves it before the run.
    frame()->mdiArea()->setActiveSubWindow(windowOf(mainView));
    GoToLine(mainView, 9);
    QTextCursor c = mainView->textCursor();
    c.movePosition(QTextCursor::StartOfBlock);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QVERIFY(c.selectedText().contains(QStringLiteral("MOVX.W")));
    c.insertText(QStringLiteral("         MOVE.W  D0,D1"));
    QVERIFY(doc->isModified());
    // Another window on top: the error list is found again and brought up.
    QVERIFY(m_app->newSourceDocument());
    frame()->mdiArea()->setActiveSubWindow(windowOf(mainView));

    const AsmDialogSeen seen = assemble(false);
    QVERIFY(seen.answered);
    QCOMPARE(seen.errors, QStringLiteral("9"));
    QVERIFY(!doc->isModified());
    QVERIFY(readFile(src("mistakes.src")).contains("         MOVE.W  D0,D1\n"));
    QCOMPARE(errorView(), view);
    int errorWindows = 0;
    for (QMdiSubWindow* w : frame()->mdiArea()->subWindowList())
        if (qobject_cast<CErreurView*>(w->widget())) ++errorWindows;
    QCOMPARE(errorWindows, 1);
    QCOMPARE(frame()->activeChild(), windowOf(view));
    const QList<Row> rows = rowsOf(view);
    QCOMPARE(rows.size(), 9);
    for (const Row& r : rows) QVERIFY(!(r.file == src("mistakes.src") && r.line == QStringLiteral("10")));
}

void TstBuild::cleanAssemblyLeftWithMonitor() {
    QVERIFY(copyExample("mistakes", "mistakes.src", m_work->path() + "/src"));
    QVERIFY(copyExample("mistakes", "defs.def", m_work->path() + "/src"));
    QVERIFY(copyExample("demo", "main.src", m_work->path() + "/demo"));
    QVERIFY(copyExample("demo", "defs.def", m_work->path() + "/demo"));
    start();
    frame()->setHandler(cmd::kMonitorWindow, {[this] { ++m_monitorCalls; }, {}, {}});
    QVERIFY(m_app->openSourceDocument(src("mistakes.src")));
    QVERIFY(assemble(true).answered);
    QCOMPARE(m_monitorCalls, 0);
    QCOMPARE(errorView()->topLevelItemCount(), 10);

    const QString demo = m_work->path() + QStringLiteral("/demo/main.src");
    QVERIFY(m_app->openSourceDocument(demo));
    const AsmDialogSeen seen = assemble(true);
    QVERIFY(seen.answered);
    QCOMPARE(seen.errors, QStringLiteral("0"));
    QVERIFY(seen.monitorEnabled);
    QCOMPARE(frame()->lastBuiltSource(), demo);
    QCOMPARE(m_monitorCalls, 1);
    // The error list keeps the rows of the last failed assembly.
    QCOMPARE(errorView()->topLevelItemCount(), 10);
    QVERIFY(QFileInfo::exists(m_work->path() + QStringLiteral("/demo/main.abs")));

    // With nobody handling the monitor command the success is still recorded.
    frame()->removeHandler(cmd::kMonitorWindow);
    frame()->setLastBuiltSource(QString());
    QVERIFY(assemble(true).answered);
    QCOMPARE(frame()->lastBuiltSource(), demo);
    QCOMPARE(m_monitorCalls, 1);
}

void TstBuild::cleanAssemblyCancelledEmptiesTheList() {
    QVERIFY(copyExample("mistakes", "mistakes.src", m_work->path() + "/src"));
    QVERIFY(copyExample("mistakes", "defs.def", m_work->path() + "/src"));
    QVERIFY(copyExample("demo", "main.src", m_work->path() + "/demo"));
    QVERIFY(copyExample("demo", "defs.def", m_work->path() + "/demo"));
    start();
    frame()->setHandler(cmd::kMonitorWindow, {[this] { ++m_monitorCalls; }, {}, {}});
    QVERIFY(m_app->openSourceDocument(src("mistakes.src")));
    QVERIFY(assemble(false).answered);
    QCOMPARE(errorView()->topLevelItemCount(), 10);

    QVERIFY(m_app->openSourceDocument(m_work->path() + QStringLiteral("/demo/main.src")));
    frame()->setLastBuiltSource(QStringLiteral("/earlier/build.src"));
    const AsmDialogSeen seen = assemble(false);
    QVERIFY(seen.answered);
    QVERIFY(seen.monitorEnabled);
    QCOMPARE(m_monitorCalls, 0);
    QCOMPARE(frame()->lastBuiltSource(), QString());
    QVERIFY(errorView());
    QCOMPARE(errorView()->topLevelItemCount(), 0);
    QCOMPARE(frame()->activeChild(), windowOf(errorView()));
}

void TstBuild::closingTheErrorListReleasesIt() {
    QVERIFY(copyExample("mistakes", "mistakes.src", m_work->path() + "/src"));
    QVERIFY(copyExample("mistakes", "defs.def", m_work->path() + "/src"));
    start();
    QVERIFY(m_app->openSourceDocument(src("mistakes.src")));
    CKorvanView* mainView = activeView();
    QVERIFY(assemble(false).answered);
    QPointer<CErreurDoc> doc = korvan::build::findErrorListDocument(*m_app);
    QVERIFY(doc);
    QVERIFY(doc->errorList());
    windowOf(doc->firstView())->close();
    QTRY_VERIFY(doc.isNull());
    QVERIFY(!korvan::build::findErrorListDocument(*m_app));
    // The next failed assembly opens a new window.
    frame()->mdiArea()->setActiveSubWindow(windowOf(mainView));
    QVERIFY(assemble(false).answered);
    QVERIFY(errorView());
    QCOMPARE(errorView()->topLevelItemCount(), 10);
}

void TstBuild::untitledDocumentIsReported() {
    start();
    m_app->newSourceDocument();
    QTest::keyClicks(activeView(), "         RTS");
    frame()->setLastBuiltSource(QStringLiteral("/earlier/build.src"));
    QString message;
    answerMessageBox(&message);
    const AsmDialogSeen seen = assemble(true);
    // The user is told why nothing was saved; the run goes on without a file and fails.
    QVERIFY2(message.contains(QStringLiteral("prog1")), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("pas encore de nom")));
    QVERIFY(seen.answered);
    QCOMPARE(seen.file, QStringLiteral("prog1"));
    QVERIFY(!seen.monitorEnabled);
    QCOMPARE(frame()->lastBuiltSource(), QString());
    QVERIFY(errorView());
    QCOMPARE(errorView()->topLevelItemCount(), 1);
    QVERIFY(errorView()->topLevelItem(0)->text(2).contains(QStringLiteral("Impossible d'ouvrir")));
    QVERIFY(activeView() == nullptr);
    // The text typed is still there, unsaved.
    auto* sourceView = qobject_cast<CKorvanView*>(frame()->mdiArea()->subWindowList().first()->widget());
    QVERIFY(sourceView->document()->isModified());
    QCOMPARE(sourceView->toPlainText(), QStringLiteral("         RTS"));
}

void TstBuild::failedSaveIsReportedAndTheRunGoesOn() {
    QVERIFY(copyExample("demo", "main.src", m_work->path() + "/gone"));
    start();
    CKorvanDoc* doc = m_app->openSourceDocument(m_work->path() + QStringLiteral("/gone/main.src"));
    QVERIFY(doc);
    QTest::keyClicks(activeView(), "* edited");
    // The folder disappears under the document: the save cannot succeed.
    QVERIFY(QDir(m_work->path() + QStringLiteral("/gone")).removeRecursively());
    QString message;
    answerMessageBox(&message);
    const AsmDialogSeen seen = assemble(true);
    QVERIFY2(message.contains(m_work->path() + QStringLiteral("/gone/main.src")), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("Impossible d'enregistrer")));
    QVERIFY(seen.answered);
    QVERIFY(!seen.monitorEnabled);
    QVERIFY(doc->isModified());
    QVERIFY(errorView());
    QCOMPARE(errorView()->topLevelItemCount(), 1);
    QCOMPARE(errorView()->topLevelItem(0)->text(0), m_work->path() + QStringLiteral("/gone/main.src"));
}

void TstBuild::outputsMatchTheCommandLineAssembler_data() {
    QTest::addColumn<QString>("example");
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("monitor");
    QTest::addColumn<QString>("language");
    QTest::newRow("clean source left with Monitor") << "demo" << "main" << true << "FRANCAIS";
    QTest::newRow("source with errors, English") << "mistakes" << "mistakes" << false << "ANGLAIS";
}

void TstBuild::outputsMatchTheCommandLineAssembler() {
    QFETCH(QString, example);
    QFETCH(QString, source);
    QFETCH(bool, monitor);
    QFETCH(QString, language);
    // The include file lives only in the definitions folder handed to the assembler, and the
    // code section has an origin of its own: both runs must take them from the same settings.
    const QString dir = m_work->path() + QStringLiteral("/prj");
    const QString defs = m_work->path() + QStringLiteral("/defs");
    QVERIFY(copyExample(example, source + QStringLiteral(".src"), dir));
    QVERIFY(copyExample(example, QStringLiteral("defs.def"), defs));
    setStore("korvan", QStringLiteral("REPERTOIRE/DEF"), defs);
    setStore("korvan", QStringLiteral("KORVAN/LANGAGE"), language);
    setStore("qubrix", QStringLiteral("ASSEMBLEUR/SECTION 9"), QStringLiteral("810000"));
    start();
    const QString path = dir + u'/' + source + QStringLiteral(".src");
    QVERIFY(m_app->openSourceDocument(path));
    const AsmDialogSeen seen = assemble(monitor);
    QVERIFY(seen.answered);
    QCOMPARE(seen.monitorEnabled, monitor);
    QCOMPARE(frame()->lastBuiltSource(), monitor ? path : QString());

    const QStringList outputs{dir + u'/' + source + QStringLiteral(".abs"), dir + u'/' + source + QStringLiteral(".lis"),
                              m_work->path() + QStringLiteral("/message.txt")};
    QList<QByteArray> fromWorkbench;
    for (const QString& out : outputs) {
        fromWorkbench << readFile(out);
        QVERIFY(QFile::remove(out));
    }
    QVERIFY(fromWorkbench[0].contains("00810000"));

    QProcess cli;
    cli.setWorkingDirectory(m_work->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    cli.setProcessEnvironment(env);
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qubrix"), {QStringLiteral("--dir"), defs, path});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), monitor ? 0 : 1);
    for (int i = 0; i < outputs.size(); ++i) {
        const QByteArray fromCli = readFile(outputs[i]);
        QVERIFY2(fromCli == fromWorkbench[i], qPrintable(outputs[i]));
    }
    if (!monitor) {
        // The rows speak the workbench's language, as the command line does.
        const QString firstLine = QString::fromUtf8(cli.readAllStandardError()).section(u'\n', 0, 0);
        const QTreeWidgetItem* top = errorView()->topLevelItem(0);
        QCOMPARE(firstLine, QStringLiteral("%1:%2: %3").arg(top->text(0), top->text(1), top->text(2)));
    }
}

QTEST_MAIN(TstBuild)
#include "tst_build.moc"
