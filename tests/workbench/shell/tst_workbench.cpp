// Drives the real workbench main window offscreen: start-up, language, menu sets, documents,
// saving, prompts, go to line, caret pane, output bar, recent files, drag and drop, printing.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

#include "commands.h"
#include "dialogs.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"

using namespace korvan::shell;

namespace {

// Runs handler on the next modal dialog of type T once it is shown (polling, since exec()
// blocks the caller). Handlers that open a further modal arm their own watcher first.
// Watchers still waiting when a test ends are dropped by cleanup(), so that a failed test
// cannot answer the dialogs of the next one.
QObject* g_watchers = nullptr;

template <class T>
void whenModal(std::function<void(T*)> handler) {
    auto* timer = new QTimer(g_watchers);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, handler] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            handler(w);
        }
    });
    timer->start();
}

void clickButton(QMessageBox* box, QMessageBox::StandardButton which) {
    QTimer::singleShot(0, box->button(which), &QAbstractButton::click);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// QTest::keyClicks takes ASCII only; accented letters are typed as key events with their text.
void typeText(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &release);
    }
}

QStringList barTitles(CMainFrame* frame) {
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) titles << a->text();
    return titles;
}

QAction* barAction(CMainFrame* frame, const QString& title) {
    for (QAction* a : frame->menuBar()->actions())
        if (a->text() == title) return a;
    return nullptr;
}

}  // namespace

class TstWorkbench : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartWithEmptyStore();
    void lowerCaseLanguageWordSelectsEnglish();
    void languageSwitchKeepsMenusAndChangesNewDialogs();
    void newDocumentsAreNumbered();
    void menuSetsFollowToolchainAndWindow_data();
    void menuSetsFollowToolchainAndWindow();
    void unhandledCommandsAreDisabled();
    void openAndSaveKeepEveryByte_data();
    void openAndSaveKeepEveryByte();
    void editedFileKeepsLineEndsAndEncoding();
    void newDocumentSavedThroughSaveAs();
    void unsavedChangesPromptOnClose();
    void quitAsksAndCancelKeepsEverything();
    void onlyTheLastWindowOfADocumentAsks();
    void goToLine_data();
    void goToLine();
    void goToLineRefusesNonInteger();
    void caretPaneFollowsKeyboardOnly();
    void closingASourceViewForgetsLastBuild();
    void outputBarTogglePersists();
    void openDialogRemembersFilter();
    void openFailureIsReportedAndNothingOpens();
    void messageOpensANewWindowEachTime();
    void recentFilesKeepFourMostRecentFirst();
    void droppedFilesOpen();
    void aboutShowsVersion();
    void sourcesAreColoured();
    void printsToPdf();
    void findReplaceAll();

private:
    std::unique_ptr<CKorvanApp> start();
    CKorvanView* activeView() const { return m_app->mainFrame()->activeSourceView(); }
    QString storeValue(const QString& key) const {
        return QSettings(QStringLiteral("hvl_mobr"), QStringLiteral("korvan")).value(key).toString();
    }
    void setStore(const QString& key, const QVariant& value) {
        QSettings s(QStringLiteral("hvl_mobr"), QStringLiteral("korvan"));
        s.setValue(key, value);
        s.sync();
    }

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<CKorvanApp> m_app;
    QString m_savedCwd;
    QByteArray m_savedPath;
};

void TstWorkbench::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    m_savedCwd = QDir::currentPath();
    m_savedPath = qgetenv("PATH");
}

void TstWorkbench::init() {
    g_watchers = new QObject;
    QSettings(QStringLiteral("hvl_mobr"), QStringLiteral("korvan")).clear();
    m_work = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_work->path());
    // No toolchain unless a test provides one.
    setStore(QStringLiteral("GNU/PREFIXE"), QStringLiteral("korvan-test-absent-"));
}

void TstWorkbench::cleanup() {
    delete g_watchers;
    g_watchers = nullptr;
    // Unsaved documents are dropped without a question when the application object goes.
    m_app.reset();
    QDir::setCurrent(m_savedCwd);
    qputenv("PATH", m_savedPath);
    m_work.reset();
}

std::unique_ptr<CKorvanApp> TstWorkbench::start() {
    auto app = std::make_unique<CKorvanApp>();
    if (!app->start({QStringLiteral("korvan"), QStringLiteral("ignored.src")})) return nullptr;
    return app;
}

void TstWorkbench::firstStartWithEmptyStore() {
    QSettings(QStringLiteral("hvl_mobr"), QStringLiteral("korvan")).clear();
    writeFile(m_work->path() + QStringLiteral("/ignored.src"), "RTS\n");
    m_app = start();
    QVERIFY(m_app);
    CMainFrame* frame = m_app->mainFrame();
    QCOMPARE(m_app->language(), QStringLiteral("FRANCAIS"));
    QCOMPARE(barTitles(frame), QStringList({"&Fichier", "KORVAN", "&Configurer", "&Affichage", "&?"}));
    // Nothing written at start-up, nothing opened (not even the file named on the command line).
    QVERIFY(QSettings(QStringLiteral("hvl_mobr"), QStringLiteral("korvan")).allKeys().isEmpty());
    QVERIFY(frame->mdiArea()->subWindowList().isEmpty());
    QVERIFY(frame->outputBar()->isHidden());
    QCOMPARE(m_app->settings().GetSettingString("MONITEUR", "PORT", "COM1"), QStringLiteral("COM1"));
    QCOMPARE(m_app->settings().GetSettingInt("MONITEUR", "DETECT", 1), 1);
    QCOMPARE(m_app->settings().GetSettingString("GNU", "CFLAG", ""), QString());
    QCOMPARE(frame->caretPaneText(), QStringLiteral("C -, L-"));
    QCOMPARE(frame->findChild<QLabel*>("CaretPane")->text(), QStringLiteral("C -, L-"));
    QCOMPARE(frame->findChild<QLabel*>("IdlePane")->text(), QStringLiteral("Prêt"));
    QCOMPARE(frame->windowTitle(), QStringLiteral("korvan"));
    QCOMPARE(frame->lastBuiltSource(), QString());
    QCOMPARE(frame->currentLine(), 0);
    QCOMPARE(m_app->documentTypes().size(), size_t{3});
    QCOMPARE(m_app->documentTypes()[SourceDocumentType].name, QStringLiteral("SourceDocumentType"));
    QCOMPARE(m_app->documentTypes()[ErrorListDocumentType].menuSet, 0);
    QVERIFY(frame->commandState(cmd::kLanguageFrench).checked.value_or(false));
    QVERIFY(!frame->commandState(cmd::kLanguageEnglish).checked.value_or(true));
    // A wrong-kind integer entry yields its default.
    setStore(QStringLiteral("EDITEUR/OUTPUT_BAR"), QStringLiteral("yes"));
    QCOMPARE(m_app->settings().GetSettingInt("EDITEUR", "OUTPUT_BAR", 0), 0);
}

void TstWorkbench::lowerCaseLanguageWordSelectsEnglish() {
    setStore(QStringLiteral("KORVAN/LANGAGE"), QStringLiteral("francais"));
    m_app = start();
    QCOMPARE(barTitles(m_app->mainFrame()), QStringList({"&File", "KORVAN", "&Setup", "&View", "&?"}));
    QCOMPARE(m_app->mainFrame()->findChild<QLabel*>("IdlePane")->text(), QStringLiteral("Ready"));
    QVERIFY(!m_app->mainFrame()->commandState(cmd::kLanguageFrench).checked.value_or(true));
    QVERIFY(!m_app->mainFrame()->commandState(cmd::kLanguageEnglish).checked.value_or(true));
}

void TstWorkbench::languageSwitchKeepsMenusAndChangesNewDialogs() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    m_app->newSourceDocument();
    const QStringList frenchSourceBar = barTitles(frame);

    QString title;
    auto dialogTitle = [&] {
        whenModal<CALigne>([&](CALigne* d) {
            title = d->windowTitle();
            d->reject();
        });
        QVERIFY(frame->runCommand(cmd::kGoToLine));
    };
    for (int round = 0; round < 2; ++round) {
        QVERIFY(frame->runCommand(cmd::kLanguageEnglish));
        QCOMPARE(storeValue("KORVAN/LANGAGE"), QStringLiteral("ANGLAIS"));
        QVERIFY(frame->commandState(cmd::kLanguageEnglish).checked.value_or(false));
        QVERIFY(!frame->commandState(cmd::kLanguageFrench).checked.value_or(true));
        dialogTitle();
        QCOMPARE(title, QStringLiteral("go to line number"));
        QCOMPARE(barTitles(frame), frenchSourceBar);

        QVERIFY(frame->runCommand(cmd::kLanguageFrench));
        QCOMPARE(storeValue("KORVAN/LANGAGE"), QStringLiteral("FRANCAIS"));
        dialogTitle();
        QCOMPARE(title, QStringLiteral("Aller à la ligne..."));
        QCOMPARE(barTitles(frame), frenchSourceBar);
    }
    // Prompts follow the language chosen last.
    QVERIFY(frame->runCommand(cmd::kLanguageEnglish));
    frame->updateCommandUi();
    for (QAction* a : frame->findChildren<QAction*>())
        if (a->data().toInt() == cmd::kGoToLine) QCOMPARE(a->statusTip(), QStringLiteral("go to line number"));
}

void TstWorkbench::newDocumentsAreNumbered() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    QVERIFY(frame->runCommand(cmd::kFileNew));
    QVERIFY(frame->runCommand(cmd::kFileNew));
    QStringList titles;
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList()) titles << static_cast<CChildFrame*>(w)->documentTitle();
    QCOMPARE(titles, QStringList({"prog1", "prog2"}));
    frame->updateCommandUi();
    QCOMPARE(frame->windowTitle(), QStringLiteral("korvan - prog2"));
    QVERIFY(activeView()->document()->isUntitled());
    QVERIFY(activeView()->toPlainText().isEmpty());
}

void TstWorkbench::menuSetsFollowToolchainAndWindow_data() {
    QTest::addColumn<bool>("toolchain");
    QTest::newRow("without toolchain") << false;
    QTest::newRow("with toolchain") << true;
}

void TstWorkbench::menuSetsFollowToolchainAndWindow() {
    QFETCH(bool, toolchain);
    if (toolchain) {
        QDir(m_work->path()).mkpath(QStringLiteral("cross/bin"));
        const QString gcc = m_work->path() + QStringLiteral("/cross/bin/m68k-fake-gcc");
        writeFile(gcc, "#!/bin/sh\n");
        QFile::setPermissions(gcc, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setStore(QStringLiteral("GNU/PREFIXE"), QStringLiteral("m68k-fake-"));
        qputenv("PATH", (m_work->path() + QStringLiteral("/cross/bin:") + m_savedPath).toLocal8Bit());
    }
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    QCOMPARE(m_app->toolchainPresent(), toolchain);
    QCOMPARE(m_app->cygwinRoot(), toolchain ? m_work->path() + QStringLiteral("/cross") : QString());
    QCOMPARE(frame->activeMenuSet(), 128);

    QVERIFY(frame->runCommand(cmd::kFileNew));
    QCOMPARE(frame->activeMenuSet(), toolchain ? 130 : 129);
    const QStringList bar = barTitles(frame);
    QCOMPARE(bar.contains(QStringLiteral("Compile")), toolchain);
    QVERIFY(bar.contains(QStringLiteral("&Edition")));
    QCOMPARE(activeView()->document()->title(), QStringLiteral("prog1"));

    // "Assembleur" sits directly on the bar and has no handler yet.
    QAction* assemble = barAction(frame, QStringLiteral("Assembleur"));
    QVERIFY(assemble);
    frame->updateCommandUi();
    QVERIFY(!assemble->isEnabled());

    // Closing the window brings the main set back.
    frame->mdiArea()->closeAllSubWindows();
    QCOMPARE(frame->activeMenuSet(), 128);
    frame->updateCommandUi();
    QCOMPARE(barTitles(frame).first(), QStringLiteral("&Fichier"));
    QVERIFY(!barTitles(frame).contains(QStringLiteral("&Edition")));
}

void TstWorkbench::unhandledCommandsAreDisabled() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    m_app->newSourceDocument();
    frame->updateCommandUi();
    for (int id : {cmd::kAssemble, cmd::kMonitorWindow, cmd::kDownload, cmd::kCpuRegisters, cmd::kRun, cmd::kStep,
                   cmd::kBreakpoint, cmd::kReload, cmd::kGnuCompile, cmd::kGnuLink, cmd::kGnuBuild,
                   cmd::kCancelEdit, cmd::kNextPane}) {
        QVERIFY2(!frame->commandState(id).handled, qPrintable(QString::number(id)));
        QVERIFY(!frame->runCommand(id));
    }
    for (int id : {cmd::kFileNew, cmd::kFileSave, cmd::kEditSelectAll, cmd::kGoToLine, cmd::kConfigAssembler,
                   cmd::kBitmap, cmd::kWindowMessage, cmd::kViewOutputBar, cmd::kWindowCascade}) {
        QVERIFY2(frame->commandState(id).enabled, qPrintable(QString::number(id)));
    }
    // Copy needs a selection, Undo something to undo.
    QVERIFY(!frame->commandState(cmd::kEditCopy).enabled);
    QVERIFY(!frame->commandState(cmd::kEditUndo).enabled);
    QTest::keyClicks(activeView(), "abc");
    activeView()->selectAll();
    QVERIFY(frame->commandState(cmd::kEditCopy).enabled);
    QVERIFY(frame->commandState(cmd::kEditUndo).enabled);
    // The menu actions of the visible bar carry the same states.
    frame->updateCommandUi();
    for (QAction* a : frame->findChildren<QAction*>()) {
        if (a->data().toInt() == cmd::kAssemble) QVERIFY(!a->isEnabled());
        if (a->data().toInt() == cmd::kEditCopy) QVERIFY(a->isEnabled());
    }
}

void TstWorkbench::openAndSaveKeepEveryByte_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("dos lines, latin-1") << QByteArray("; r\xE9sultat\r\n\tMOVE.L #$10,D0\r\n\tRTS\r\n");
    QTest::newRow("unix lines, utf-8, no final line end") << QByteArray("; r\xC3\xA9sultat\nRTS");
    QTest::newRow("utf-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF" "DC.B 1\r\n");
    QTest::newRow("old mac lines") << QByteArray("a\rb\r");
    QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\rd\r\n");
    QTest::newRow("no-break spaces latin-1") << QByteArray("x\xA0y\r\n");
    QTest::newRow("no-break spaces utf-8") << QByteArray("x\xC2\xA0y\n");
    QTest::newRow("utf-8 line separator") << QByteArray("x\xE2\x80\xA8y\n");
    QTest::newRow("nul and control bytes") << QByteArray("a\0b\x01\x1F\n", 7);
    QTest::newRow("windows-1252 unassigned") << QByteArray("\x81\x8D\x8F\x90\x9D\x80\n");
    QTest::newRow("empty") << QByteArray();
}

void TstWorkbench::openAndSaveKeepEveryByte() {
    QFETCH(QByteArray, bytes);
    m_app = start();
    const QString path = m_work->path() + QStringLiteral("/source.src");
    writeFile(path, bytes);
    CKorvanDoc* doc = m_app->openSourceDocument(path);
    QVERIFY(doc);
    QVERIFY(!doc->isModified());
    QCOMPARE(activeView()->textCursor().position(), 0);
    QCOMPARE(doc->title(), QStringLiteral("source.src"));
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kFileSave));
    QCOMPARE(readFile(path), bytes);
    // Save As to a new name writes the same bytes there.
    const QString copy = m_work->path() + QStringLiteral("/copy.src");
    QString error;
    QVERIFY(doc->saveTo(copy, &error));
    QCOMPARE(readFile(copy), bytes);
}

void TstWorkbench::editedFileKeepsLineEndsAndEncoding() {
    m_app = start();
    const QString path = m_work->path() + QStringLiteral("/edit.src");
    writeFile(path, "; \xE9t\xE9\r\n\tRTS\r\n");
    QVERIFY(m_app->openSourceDocument(path));
    CKorvanView* view = activeView();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_End);
    typeText(view, QStringLiteral(" ; à"));
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("\tNOP"));
    QVERIFY(view->document()->isModified());
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kFileSave));
    QCOMPARE(readFile(path), QByteArray("; \xE9t\xE9\r\n\tRTS ; \xE0\r\n\tNOP\r\n"));
    QVERIFY(!view->document()->isModified());

    // A character Windows-1252 cannot hold: saved as UTF-8 (after saying so), nothing lost.
    typeText(view, QStringLiteral("→"));
    whenModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kFileSave));
    QCOMPARE(readFile(path), QByteArray("; \xC3\xA9t\xC3\xA9\r\n\tRTS ; \xC3\xA0\r\n\tNOP\xE2\x86\x92\r\n"));
}

void TstWorkbench::newDocumentSavedThroughSaveAs() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    QVERIFY(frame->runCommand(cmd::kFileNew));
    QTest::keyClicks(activeView(), QStringLiteral("\tRTS"));
    QTest::keyClick(activeView(), Qt::Key_Return);
    const QString target = m_work->path() + QStringLiteral("/first.src");
    whenModal<QFileDialog>([&](QFileDialog* dlg) {
        QCOMPARE(dlg->acceptMode(), QFileDialog::AcceptSave);
        dlg->selectFile(target);
        static_cast<QDialog*>(dlg)->accept();
    });
    QVERIFY(frame->runCommand(cmd::kFileSave));
    QCOMPARE(readFile(target), QByteArray("\tRTS\n"));
    QCOMPARE(activeView()->document()->title(), QStringLiteral("first.src"));
    QCOMPARE(m_app->settings().recentFiles().value(0), target);
    // A cancelled Save As leaves the document modified and writes nothing.
    QTest::keyClicks(activeView(), QStringLiteral("x"));
    whenModal<QFileDialog>([](QFileDialog* dlg) { dlg->reject(); });
    QVERIFY(frame->runCommand(cmd::kFileSaveAs));
    QVERIFY(activeView()->document()->isModified());
    QCOMPARE(readFile(target), QByteArray("\tRTS\n"));
}

void TstWorkbench::unsavedChangesPromptOnClose() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    const QString path = m_work->path() + QStringLiteral("/keep.src");
    writeFile(path, "RTS\n");
    QVERIFY(m_app->openSourceDocument(path));
    QTest::keyClicks(activeView(), QStringLiteral("NOP "));

    QString question;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        question = box->text();
        clickButton(box, QMessageBox::Cancel);
    });
    QVERIFY(frame->runCommand(cmd::kFileClose));
    QCOMPARE(question, QStringLiteral("Enregistrer les modifications de keep.src ?"));
    QCOMPARE(frame->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(readFile(path), QByteArray("RTS\n"));

    // Yes saves, then the window closes.
    whenModal<QMessageBox>([](QMessageBox* box) { clickButton(box, QMessageBox::Yes); });
    frame->mdiArea()->currentSubWindow()->close();
    QTRY_VERIFY(frame->mdiArea()->subWindowList().isEmpty());
    QCOMPARE(readFile(path), QByteArray("NOP RTS\n"));

    // No closes without saving.
    QVERIFY(m_app->openSourceDocument(path));
    QTest::keyClicks(activeView(), QStringLiteral("X"));
    whenModal<QMessageBox>([](QMessageBox* box) { clickButton(box, QMessageBox::No); });
    frame->mdiArea()->currentSubWindow()->close();
    QTRY_VERIFY(frame->mdiArea()->subWindowList().isEmpty());
    QCOMPARE(readFile(path), QByteArray("NOP RTS\n"));
}

void TstWorkbench::quitAsksAndCancelKeepsEverything() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    m_app->newSourceDocument();
    QTest::keyClicks(activeView(), QStringLiteral("unsaved work"));
    m_app->newSourceDocument();  // unmodified: no question for it
    int questions = 0;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        ++questions;
        clickButton(box, QMessageBox::Cancel);
    });
    QVERIFY(frame->runCommand(cmd::kAppExit));
    QCOMPARE(questions, 1);
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->mdiArea()->subWindowList().size(), 2);

    whenModal<QMessageBox>([](QMessageBox* box) { clickButton(box, QMessageBox::No); });
    QVERIFY(frame->runCommand(cmd::kAppExit));
    QVERIFY(!frame->isVisible());
    QVERIFY(frame->mdiArea()->subWindowList().isEmpty());
}

void TstWorkbench::onlyTheLastWindowOfADocumentAsks() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    m_app->newSourceDocument();
    QTest::keyClicks(activeView(), QStringLiteral("shared"));
    QVERIFY(frame->runCommand(cmd::kWindowNew));
    QCOMPARE(frame->mdiArea()->subWindowList().size(), 2);
    CKorvanView* second = activeView();
    QCOMPARE(second->toPlainText(), QStringLiteral("shared"));
    QCOMPARE(static_cast<CChildFrame*>(frame->mdiArea()->currentSubWindow())->documentTitle(), QStringLiteral("prog1:2"));
    QTest::keyClicks(second, QStringLiteral("!"));
    // Closing one of two windows: no question.
    frame->mdiArea()->currentSubWindow()->close();
    QTRY_COMPARE(frame->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(activeView()->toPlainText(), QStringLiteral("!shared"));
    bool asked = false;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        asked = true;
        clickButton(box, QMessageBox::No);
    });
    frame->mdiArea()->subWindowList().first()->close();
    QTRY_VERIFY(frame->mdiArea()->subWindowList().isEmpty());
    QVERIFY(asked);
}

void TstWorkbench::goToLine_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("expectedLine");  // 1-based
    QTest::newRow("zero goes to the first line") << "0" << 1;
    QTest::newRow("negative goes to the first line") << "-4" << 1;
    QTest::newRow("inside") << "7" << 7;
    QTest::newRow("last line") << "20" << 20;
    QTest::newRow("beyond the end goes to the last line") << "5000" << 20;
    QTest::newRow("unchanged entry stays") << "" << 12;
}

void TstWorkbench::goToLine() {
    QFETCH(QString, entry);
    QFETCH(int, expectedLine);
    m_app = start();
    QString text;
    for (int i = 1; i <= 20; ++i) text += QStringLiteral("line %1 text\n").arg(i, 2, 10, QChar(u'0'));
    text.chop(1);
    m_app->newSourceDocument();
    CKorvanView* view = activeView();
    view->setPlainText(text);
    QTextCursor c = view->textCursor();
    c.setPosition(view->document()->textDocument()->findBlockByNumber(11).position() + 5);
    view->setTextCursor(c);

    QString prefilled;
    whenModal<CALigne>([&](CALigne* d) {
        prefilled = d->field()->text();
        if (!entry.isEmpty()) d->field()->setText(entry);
        d->accept();
    });
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kGoToLine));
    QCOMPARE(prefilled, QStringLiteral("12"));
    QCOMPARE(view->caretLine() + 1, expectedLine);
    QCOMPARE(view->textCursor().positionInBlock(), 5);  // the column is kept
    QCOMPARE(m_app->mainFrame()->currentLine(), expectedLine);
    QCOMPARE(m_app->mainFrame()->caretPaneText(), QStringLiteral("ligne=%1").arg(expectedLine));
}

void TstWorkbench::goToLineRefusesNonInteger() {
    m_app = start();
    m_app->newSourceDocument();
    CKorvanView* view = activeView();
    view->setPlainText(QStringLiteral("a\nb\nc"));
    QString warning;
    bool stillOpen = false;
    whenModal<CALigne>([&](CALigne* d) {
        d->field()->setText(QStringLiteral("deux"));
        whenModal<QMessageBox>([&, d](QMessageBox* box) {
            warning = box->text();
            box->accept();
            QTimer::singleShot(20, d, [&, d] {
                stillOpen = d->isVisible();
                d->reject();
            });
        });
        QTimer::singleShot(0, d, &QDialog::accept);
    });
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kGoToLine));
    QCOMPARE(warning, QStringLiteral("Entrez un nombre entier."));
    QVERIFY(stillOpen);
    QCOMPARE(view->caretLine(), 0);
}

void TstWorkbench::caretPaneFollowsKeyboardOnly() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    auto* pane = frame->findChild<QLabel*>("CaretPane");
    QCOMPARE(pane->text(), QStringLiteral("C -, L-"));
    m_app->newSourceDocument();
    CKorvanView* view = activeView();
    view->setPlainText(QStringLiteral("one\ntwo\nthree\nfour"));
    frame->updateCommandUi();
    QCOMPARE(pane->text(), QStringLiteral("ligne=0"));
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(pane->text(), QStringLiteral("ligne=3"));
    QCOMPARE(frame->currentLine(), 3);
    // A mouse click moves the caret but not the pane.
    const QRect first = view->cursorRect(QTextCursor(view->document()->textDocument()));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(view->caretLine(), 0);
    frame->updateCommandUi();
    QCOMPARE(pane->text(), QStringLiteral("ligne=3"));
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(pane->text(), QStringLiteral("ligne=1"));
}

void TstWorkbench::closingASourceViewForgetsLastBuild() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    m_app->newSourceDocument();
    m_app->newSourceDocument();
    QTest::keyClick(activeView(), Qt::Key_Return);
    frame->setLastBuiltSource(QStringLiteral("/tmp/main.src"));
    QCOMPARE(frame->currentLine(), 2);
    // Even an unmodified window of another document clears both.
    frame->mdiArea()->subWindowList().first()->close();
    QTRY_COMPARE(frame->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(frame->lastBuiltSource(), QString());
    QCOMPARE(frame->currentLine(), 0);
}

void TstWorkbench::outputBarTogglePersists() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    QVERIFY(frame->outputBar()->isHidden());
    QVERIFY(!frame->commandState(cmd::kViewOutputBar).checked.value_or(true));
    QVERIFY(frame->runCommand(cmd::kViewOutputBar));
    QVERIFY(!frame->outputBar()->isHidden());
    QCOMPARE(storeValue("EDITEUR/OUTPUT_BAR"), QStringLiteral("1"));
    QVERIFY(frame->commandState(cmd::kViewOutputBar).checked.value_or(false));

    m_app.reset();
    m_app = start();
    frame = m_app->mainFrame();
    QVERIFY(!frame->outputBar()->isHidden());
    QVERIFY(frame->outputBar()->widget()->property("readOnly").toBool());
    // Its close button counts as the Output command.
    frame->outputBar()->close();
    QVERIFY(frame->outputBar()->isHidden());
    QCOMPARE(storeValue("EDITEUR/OUTPUT_BAR"), QStringLiteral("0"));
    QVERIFY(frame->runCommand(cmd::kViewOutputBar));
    QVERIFY(frame->runCommand(cmd::kViewOutputBar));
    QCOMPARE(storeValue("EDITEUR/OUTPUT_BAR"), QStringLiteral("0"));
    m_app.reset();
    m_app = start();
    QVERIFY(m_app->mainFrame()->outputBar()->isHidden());
}

void TstWorkbench::openDialogRemembersFilter() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    QDir(m_work->path()).mkdir(QStringLiteral("sub"));
    const QString file = m_work->path() + QStringLiteral("/sub/prog.lis");
    writeFile(file, "listing\r\n");

    QStringList filters;
    QString preselected;
    whenModal<QFileDialog>([&](QFileDialog* dlg) {
        filters = dlg->nameFilters();
        preselected = dlg->selectedNameFilter();
        dlg->selectNameFilter(filters.value(2));
        dlg->selectFile(file);
        static_cast<QDialog*>(dlg)->accept();
    });
    QVERIFY(frame->runCommand(cmd::kFileOpen));
    QCOMPARE(filters.size(), 4);
    QVERIFY(filters.value(0).startsWith(QStringLiteral("source SRC(*.src,*.s,*.def)")));
    QVERIFY(filters.value(1).startsWith(QStringLiteral("Source C (*.c,*.cpp,*.h)")));
    QVERIFY(filters.value(2).startsWith(QStringLiteral("List File(*.lis)")));
    QVERIFY(filters.value(3).startsWith(QStringLiteral("tous type (*.*)")));
    QCOMPARE(preselected, filters.value(0));
    QCOMPARE(storeValue("FICHIER/TYPE"), QStringLiteral("3"));
    QCOMPARE(activeView()->document()->path(), file);
    QCOMPARE(QDir::currentPath(), m_work->path() + QStringLiteral("/sub"));

    // The next Open starts on that filter; cancelling keeps the stored value.
    whenModal<QFileDialog>([&](QFileDialog* dlg) {
        preselected = dlg->selectedNameFilter();
        dlg->selectNameFilter(filters.value(0));
        dlg->reject();
    });
    QVERIFY(frame->runCommand(cmd::kFileOpen));
    QCOMPARE(preselected, filters.value(2));
    QCOMPARE(storeValue("FICHIER/TYPE"), QStringLiteral("3"));
    QCOMPARE(frame->mdiArea()->subWindowList().size(), 1);
}

void TstWorkbench::openFailureIsReportedAndNothingOpens() {
    m_app = start();
    QString message;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    QVERIFY(!m_app->openSourceDocument(m_work->path() + QStringLiteral("/nothere.src")));
    QVERIFY(message.startsWith(QStringLiteral("Impossible d'ouvrir le document")));
    QVERIFY(message.contains(QStringLiteral("nothere.src")));
    QVERIFY(m_app->mainFrame()->mdiArea()->subWindowList().isEmpty());
    QVERIFY(m_app->settings().recentFiles().isEmpty());
}

void TstWorkbench::messageOpensANewWindowEachTime() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    writeFile(m_work->path() + QStringLiteral("/message.txt"), "0 erreur(s)\r\n");
    QVERIFY(frame->runCommand(cmd::kWindowMessage));
    QVERIFY(frame->runCommand(cmd::kWindowMessage));
    const auto windows = frame->mdiArea()->subWindowList();
    QCOMPARE(windows.size(), 2);
    for (QMdiSubWindow* w : windows) {
        QCOMPARE(static_cast<CChildFrame*>(w)->documentTitle(), QStringLiteral("message.txt"));
        QCOMPARE(static_cast<CKorvanView*>(w->widget())->toPlainText(), QStringLiteral("0 erreur(s)\n"));
    }
    // Two windows, two documents: editing one leaves the other.
    QTest::keyClicks(activeView(), QStringLiteral("x"));
    QCOMPARE(static_cast<CKorvanView*>(windows.first()->widget())->toPlainText(), QStringLiteral("0 erreur(s)\n"));
}

void TstWorkbench::recentFilesKeepFourMostRecentFirst() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    QVERIFY(!frame->commandState(cmd::kFileMru1).enabled);
    QStringList paths;
    for (int i = 1; i <= 5; ++i) {
        paths << m_work->path() + QStringLiteral("/f%1.src").arg(i);
        writeFile(paths.last(), QByteArray::number(i));
        QVERIFY(m_app->openSourceDocument(paths.last()));
    }
    QCOMPARE(m_app->settings().recentFiles(), QStringList({paths[4], paths[3], paths[2], paths[1]}));
    frame->mdiArea()->closeAllSubWindows();
    QVERIFY(frame->runCommand(cmd::kFileMru1 + 2));
    QCOMPARE(activeView()->document()->path(), paths[2]);
    QCOMPARE(m_app->settings().recentFiles().first(), paths[2]);
    // A recent file that vanished is reported and leaves the list.
    QFile::remove(paths[4]);
    whenModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    QVERIFY(frame->runCommand(cmd::kFileMru1 + 1));
    QVERIFY(!m_app->settings().recentFiles().contains(paths[4]));
    // The entries survive a restart.
    m_app.reset();
    m_app = start();
    QCOMPARE(m_app->settings().recentFiles().size(), 3);
    QVERIFY(m_app->mainFrame()->commandState(cmd::kFileMru1 + 2).enabled);
    QVERIFY(!m_app->mainFrame()->commandState(cmd::kFileMru1 + 3).enabled);
}

void TstWorkbench::droppedFilesOpen() {
    m_app = start();
    CMainFrame* frame = m_app->mainFrame();
    const QString a = m_work->path() + QStringLiteral("/a.src");
    const QString b = m_work->path() + QStringLiteral("/b.c");
    writeFile(a, "A");
    writeFile(b, "B");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &drop);
    QCOMPARE(frame->mdiArea()->subWindowList().size(), 2);
    QCOMPARE(activeView()->toPlainText(), QStringLiteral("B"));
}

void TstWorkbench::aboutShowsVersion() {
    m_app = start();
    QStringList lines;
    whenModal<CAboutDlg>([&](CAboutDlg* d) {
        for (int i = 0; i < d->list()->count(); ++i) lines << d->list()->item(i)->text();
        d->accept();
    });
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kAppAbout));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[1], QStringLiteral("Version:\t") + m_app->fileVersion());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(m_app->fileVersion()).hasMatch());
    QCOMPARE(lines[2], QStringLiteral("---------------------------------"));
    QVERIFY(lines[3].startsWith(QStringLiteral("Originalname:\t")));
    QVERIFY(lines[4].startsWith(QStringLiteral("Description:\t")));
}

void TstWorkbench::sourcesAreColoured() {
    m_app = start();
    const QString path = m_work->path() + QStringLiteral("/c.c");
    writeFile(path, "int x; /* note */\nplain words\n");
    QVERIFY(m_app->openSourceDocument(path));
    QCoreApplication::processEvents();
    const QTextBlock first = activeView()->document()->textDocument()->firstBlock();
    QVERIFY(!first.layout()->formats().isEmpty());
    QVERIFY(!activeView()->document()->isModified());
}

void TstWorkbench::printsToPdf() {
    m_app = start();
    m_app->newSourceDocument();
    QTest::keyClicks(activeView(), QStringLiteral("int main(void) { return 0; }"));
    const QString pdf = m_work->path() + QStringLiteral("/out.pdf");
    m_app->printer().setOutputFormat(QPrinter::PdfFormat);
    m_app->printer().setOutputFileName(pdf);
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kFilePrintDirect));
    QVERIFY(readFile(pdf).startsWith("%PDF"));
}

void TstWorkbench::findReplaceAll() {
    m_app = start();
    m_app->newSourceDocument();
    CKorvanView* view = activeView();
    view->setPlainText(QStringLiteral("move d0\nMOVE d1\nremove\n"));
    FindState& s = m_app->mainFrame()->findState();
    s.what = QStringLiteral("move");
    s.replaceWith = QStringLiteral("MOVEQ");
    s.wholeWord = true;
    QCOMPARE(view->replaceAll(), 2);
    QCOMPARE(view->toPlainText(), QStringLiteral("MOVEQ d0\nMOVEQ d1\nremove\n"));
    view->undo();
    QCOMPARE(view->toPlainText(), QStringLiteral("move d0\nMOVE d1\nremove\n"));
    // Find Next (F3) wraps round; a missing text is reported.
    s.wholeWord = false;
    s.matchCase = true;
    view->moveCursor(QTextCursor::End);
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kEditRepeat));
    QCOMPARE(view->textCursor().selectionStart(), 0);
    QVERIFY(m_app->mainFrame()->runCommand(cmd::kEditRepeat));
    QCOMPARE(view->caretLine(), 2);
    s.what = QStringLiteral("absent");
    QString message;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    QVERIFY(!view->findNext());
    QCOMPARE(message, QStringLiteral("Impossible de trouver « absent »."));
}

QTEST_MAIN(TstWorkbench)
#include "tst_workbench.moc"
