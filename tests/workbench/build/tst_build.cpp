// Drives the real workbench offscreen through its build commands. Assemble: the library's
// progress dialog answered like a user would, the error list's rows and double-clicks, the last
// built source, and outputs byte-identical to those of the command-line assembler. The GNU build
// with the cross toolchain and the project's run-time: the examples build into S-records that
// match the linked program, failed steps show in "gnu.txt" and keep the next buttons disabled,
// Cancel ends a running tool, and the settings sheet stores what its pages show on OK only. A
// source that cannot be saved is built by neither.
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>

#include "../workbench_harness.h"
#include "build/assemble_command.h"
#include "build/erreur_doc.h"
#include "build/erreur_view.h"
#include "build/gnu_commands.h"
#include "build/gnu_dialog.h"
#include "build/gnu_settings.h"
#include "commands.h"
#include "driver/asm_dialogs.h"
#include "korvan_doc.h"
#include "monitor/srecord.h"
#include "toolchain.h"

using namespace korvan::shell;
using namespace wbtest;
using korvan::build::CErreurDoc;
using korvan::build::CErreurView;
using korvan::build::CGnu;
using korvan::build::CGnuSheet;

namespace {

// What the library's progress dialog showed once its run was over.
struct AsmDialogSeen {
    bool answered = false;
    QString title, file, errors;
    bool monitorEnabled = false;
    QWidget* parent = nullptr;
};

// What the build dialog showed when it was answered.
struct GnuSeen {
    bool answered = false;
    QString outcome;
    bool linker = false, monitor = false;
    QString defaultButton;  // the button Enter presses
};

// Waits until no tool runs and the dialog's last step is over, then presses the button named.
void answerGnu(const QString& press, GnuSeen* seen) {
    whileModal<CGnu>([press, seen](CGnu* dlg) {
        // Failed (-1), or past the compile or the link for one step, past both for a build.
        const bool over = dlg->stage() == -1 || dlg->stage() == (dlg->mode() == CGnu::Build ? 2 : 1);
        if (!over || dlg->toolRunning()) return false;
        auto button = [&](const char* name) { return dlg->findChild<QPushButton*>(QLatin1String(name)); };
        const QString outcome = dlg->findChild<QLineEdit*>(QStringLiteral("outcomeEdit"))->text();
        *seen = {true, outcome, button("linkerButton")->isEnabled(), button("monitorButton")->isEnabled(), {}};
        for (auto* b : dlg->findChildren<QPushButton*>())
            if (b->isDefault()) seen->defaultButton = b->objectName();
        QTimer::singleShot(0, button(press.toLatin1().constData()), &QAbstractButton::click);
        return true;
    });
}

// Bytes by address of an S-record file, as the monitor's download reads them; its entry address.
QMap<quint32, quint8> srecordBytes(const QString& file, quint32* entry) {
    korvan::monitor::SRecord reader(file.toStdString());
    QMap<quint32, quint8> bytes;
    unsigned char block[korvan::monitor::kBlockBufferSize];
    int length = 0;
    for (uint32_t at = 0; reader.NextBlock(block, length, at);)
        for (int i = korvan::monitor::kBlockHeaderSize; i < length; ++i) bytes[at++] = block[i];
    *entry = reader.error() == korvan::monitor::SRecordError::None ? reader.EntryAddress() : 0;
    return bytes;
}

// Loadable bytes of an ELF file as objdump shows them.
QMap<quint32, quint8> objdumpBytes(const QString& elf, quint32* start) {
    QProcess p;
    p.start(QStringLiteral("m68k-linux-gnu-objdump"), {QStringLiteral("-s"), QStringLiteral("-f"), elf});
    p.waitForFinished();
    QMap<quint32, quint8> bytes;
    static const QRegularExpression row(QStringLiteral("^ ([0-9a-f]{6,8}) ((?:[0-9a-f]{2,8} ){1,4})"));
    static const QRegularExpression startAddr(QStringLiteral("start address 0x([0-9a-f]+)"));
    const QString out = QString::fromLatin1(p.readAllStandardOutput());
    if (auto m = startAddr.match(out); m.hasMatch()) *start = m.captured(1).toUInt(nullptr, 16);
    for (const QString& line : out.split(u'\n')) {
        const auto m = row.match(line);
        if (!m.hasMatch()) continue;
        quint32 addr = m.captured(1).toUInt(nullptr, 16);
        if (addr < 0x800000) continue;  // sections that are not loaded (debug information)
        QString hex = m.captured(2);
        for (char b : QByteArray::fromHex(hex.remove(u' ').toLatin1())) bytes[addr++] = quint8(b);
    }
    return bytes;
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

}  // namespace

class TstBuild : public QObject, public Workbench {
    Q_OBJECT

    // The workbench with both build tools; the monitor-window command counted unless nobody is
    // to handle it.
    void start(bool monitorHandler = true) {
        QVERIFY(Workbench::start({}, [](CKorvanApp& a) {
            korvan::build::installBuildCommands(a);
            korvan::build::installGnuCommands(a);
        }));
        m_monitorCalls = 0;
        if (monitorHandler) frame()->setHandler(cmd::kMonitorWindow, {[this] { ++m_monitorCalls; }, {}, {}});
    }
    CErreurView* errorView() const {
        CErreurDoc* doc = korvan::build::findErrorListDocument(*app);
        return doc ? doc->firstView() : nullptr;
    }
    void toFront(QWidget* content) { frame()->mdiArea()->setActiveSubWindow(windowOf(content)); }
    // A user's double-click on a row of the error list brought to the front: the first click
    // selects the row, the second one is the double-click.
    void doubleClickRow(int row) {
        CErreurView* view = errorView();
        QVERIFY(view && view->topLevelItem(row));
        toFront(view);
        QTreeWidgetItem* item = view->topLevelItem(row);
        view->scrollToItem(item);
        const QPoint at(10, view->visualItemRect(item).center().y());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    // Runs Assemble on the active window; once the progress dialog shows its counts, presses
    // "Monitor..." (when wanted and enabled: a disabled button ignores the click and the dialog
    // would never end) or "Cancel".
    AsmDialogSeen assemble(bool monitor) {
        AsmDialogSeen seen;
        whileModal<qubrix::CAsmDlg>([monitor, &seen](qubrix::CAsmDlg* dlg) {
            auto* errors = dlg->findChild<QLineEdit*>(QStringLiteral("errorCountEdit"));
            if (!dlg->started() || !errors || errors->text().isEmpty()) return false;
            auto* monitorButton = dlg->findChild<QPushButton*>(QStringLiteral("monitorButton"));
            const QString file = dlg->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->text();
            seen = {true, dlg->windowTitle(), file, errors->text(), monitorButton->isEnabled(), dlg->parentWidget()};
            QPushButton* press = monitor && monitorButton->isEnabled()
                                     ? monitorButton
                                     : dlg->findChild<QPushButton*>(QStringLiteral("cancelButton"));
            QTimer::singleShot(0, press, &QAbstractButton::click);
            return true;
        });
        frame()->runCommand(cmd::kAssemble);
        return seen;
    }
    QString src(const QString& name) const { return path(QStringLiteral("src/") + name); }
    // Writes the source, opens it and runs the command; returns what the dialog showed when the
    // button named was pressed (none: the test answers the dialog itself).
    GnuSeen build(const QString& name, const QByteArray& text, int command, const QString& press) {
        QDir().mkpath(src({}));
        writeFile(src(name), text);
        GnuSeen seen;
        if (!app->openSourceDocument(src(name))) return seen;
        if (!press.isEmpty()) answerGnu(press, &seen);
        frame()->runCommand(command);
        return seen;
    }
    QString activeTitle() const { return frame()->activeChild() ? frame()->activeChild()->documentTitle() : QString(); }
    // A shell script in a scratch folder as the tool `prefix + name`, that prefix stored as the
    // toolchain's.
    void tool(const QString& prefix, const char* name, const QByteArray& body) {
        const QString bin = path(QStringLiteral("tools/bin/")), file = bin + prefix + QLatin1String(name);
        QDir().mkpath(bin);
        writeFile(file, "#!/bin/sh\n" + body);
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        setStore(QStringLiteral("GNU/PREFIXE"), bin + prefix);
    }
    // "gcc" compiles (writes the object) or links (runs the script given), "objcopy" runs its own.
    void fakeTools(const QByteArray& link, const QByteArray& objcopy) {
        tool("fake-", "gcc",
             "echo \"$@\" >> " + path(QStringLiteral("args")).toUtf8() +
                 "\ncase \"$1\" in -c) for a; do o=$a; done; : > \"${o%.c}.o\"; exit 0;; esac\n" + link);
        tool("fake-", "objcopy", objcopy);
    }
    // The toolchain where script/toolchain installs it, with the run-time: looked up on disk, not
    // through the workbench, so that a workbench that misses an installed toolchain fails the
    // tests that need it instead of skipping them.
    static bool haveToolchain() {
        const std::string root = defaultScriptPrefix(std::getenv("KORVAN_TOOLCHAIN"), std::getenv("HOME"));
        return QFileInfo(QString::fromStdString(root + "/bin/m68k-elf-gcc")).isExecutable() &&
               QFileInfo::exists(korvan::build::runtimeFolder() + "/korvan.specs");
    }

    int m_monitorCalls = 0;

private slots:
    void initTestCase() { Workbench::initTestCase(); }
    // Every test starts from a fresh settings file (the defaults hold without "Défaut") with the
    // toolchain found where it is installed. The library writes "message.txt" into the current
    // folder: the test's scratch folder.
    void init() { Workbench::init(false); }
    void cleanup() { Workbench::cleanup(); }

    // Rows of the main and the include file and their double-clicks; the next run saves the
    // source first and reuses the list; a row whose file is gone is reported.
    void errorsInMainAndIncludeFileAndDoubleClicks() {
        for (const char* file : {"mistakes.src", "defs.def"}) QVERIFY(copyExample("mistakes", file, path("src")));
        start();
        QVERIFY(!frame()->commandState(cmd::kAssemble).handled);  // by source windows only
        QVERIFY(app->openSourceDocument(src("mistakes.src")));
        CKorvanView* mainView = activeView();
        frame()->updateCommandUi();
        QVERIFY(frame()->commandState(cmd::kAssemble).enabled);
        const AsmDialogSeen seen = assemble(false);
        QVERIFY(seen.answered);
        // The library's dialog as the workbench shows it: over the editor, named by the title.
        QCOMPARE(seen.title, QStringLiteral("Assembleur"));
        QCOMPARE(seen.file, QStringLiteral("mistakes.src"));
        QCOMPARE(seen.parent, mainView);

        CErreurView* view = errorView();
        QVERIFY(view);
        QCOMPARE(frame()->activeChild(), windowOf(view));
        // Named the same in both languages, as it is found again by that name.
        QCOMPARE(static_cast<CChildFrame*>(windowOf(view))->documentTitle(), QStringLiteral("Liste des erreurs"));
        const QStringList headers{"Fichier", "Ligne", "Description"};
        QCOMPARE(view->columnCount(), headers.size());
        for (int c = 0; c < headers.size(); ++c) QCOMPARE(view->headerItem()->text(c), headers[c]);
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
        doubleClickRow(0);
        QCOMPARE(windowCount(), windowsBefore + 1);
        CKorvanView* includeView = activeView();
        QVERIFY(includeView);
        QCOMPARE(includeView->document()->path(), src("defs.def"));
        QCOMPARE(includeView->caretLine(), 2);
        QVERIFY(includeView->textCursor().block().text().startsWith(QStringLiteral("MASK")));
        QCOMPARE(frame()->currentLine(), 3);

        // The main file is open: its window comes to the front with the caret on the line.
        doubleClickRow(6);
        QCOMPARE(windowCount(), windowsBefore + 1);
        QCOMPARE(activeView(), mainView);
        QCOMPARE(mainView->caretLine(), 9);
        QVERIFY(mainView->textCursor().block().text().contains(QStringLiteral("MOVX.W")));

        // Now that the include file is open, its window is reused.
        includeView->moveCursor(QTextCursor::End);
        doubleClickRow(0);
        QCOMPARE(windowCount(), windowsBefore + 1);
        QCOMPARE(activeView(), includeView);
        QCOMPARE(includeView->caretLine(), 2);

        // A row of no line (0, or a column that is not a number) goes nowhere.
        for (const QString& line : {QStringLiteral("0"), QStringLiteral("n/a")}) {
            view->topLevelItem(6)->setText(1, line);
            doubleClickRow(6);
            QCOMPARE(frame()->activeChild(), windowOf(view));
        }

        // Mend the MOVX line in the editor; Assemble saves it before the run.
        CKorvanDoc* doc = mainView->document();
        toFront(mainView);
        GoToLine(mainView, 9);
        QTextCursor c = mainView->textCursor();
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QVERIFY(c.selectedText().contains(QStringLiteral("MOVX.W")));
        c.insertText(QStringLiteral("         MOVE.W  D0,D1"));
        // Another window on top: the error list is found again and brought up.
        QVERIFY(app->newSourceDocument());
        toFront(mainView);
        QCOMPARE(assemble(false).errors, QStringLiteral("9"));
        QVERIFY(!doc->isModified());
        QVERIFY(readFile(src("mistakes.src")).contains("         MOVE.W  D0,D1\n"));
        // The same window, not a second one in front.
        QCOMPARE(errorView(), view);
        QCOMPARE(frame()->activeChild(), windowOf(view));
        QCOMPARE(view->topLevelItemCount(), 9);
        QVERIFY(!rowsOf(view).join(u'\n').contains(src("mistakes.src") + QStringLiteral(":10:")));

        // Closing the list releases its document; the next failed run opens a new window.
        QPointer<CErreurDoc> errors = korvan::build::findErrorListDocument(*app);
        windowOf(view)->close();
        QTRY_VERIFY(errors.isNull());
        QVERIFY(!korvan::build::findErrorListDocument(*app));
        toFront(mainView);
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
        QString message;
        answerBox(&message);
        doubleClickRow(0);
        QVERIFY2(message.contains(src("defs.def")), qPrintable(message));
        QVERIFY(message.contains(QStringLiteral("Impossible d'ouvrir")));
        QCOMPARE(windowCount(), windowsLeft);
        QCOMPARE(frame()->activeChild(), windowOf(view));
        QCOMPARE(mainView->caretLine(), caret);
    }

    // A run left by Monitor or Cancel gives the outputs of the command-line assembler with the
    // same settings: the include file only in the definitions folder, the code section at an
    // origin of its own, the workbench's language. Monitor records the source and opens the
    // monitor window (when someone handles it) without opening the error list; Cancel, or a failed
    // run (Monitor disabled), forgets the source and shows the command line's diagnostics in the
    // list, or says in the list and the status line that there are none.
    void assemblyMatchesTheCommandLine_data() {
        QTest::addColumn<QString>("source");  // an example's folder and source name
        QTest::addColumn<bool>("monitor");    // the button wanted
        QTest::addColumn<bool>("handler");    // someone handles the monitor-window command
        QTest::addColumn<bool>("english");
        QTest::newRow("Monitor opens the monitor") << "demo/main" << true << true << false;
        QTest::newRow("Monitor with nobody to open it") << "demo/main" << true << false << false;
        QTest::newRow("Cancel gives an empty list") << "demo/main" << false << true << false;
        QTest::newRow("errors, English") << "mistakes/mistakes" << true << true << true;
    }
    void assemblyMatchesTheCommandLine() {
        QFETCH(QString, source);
        QFETCH(bool, monitor);
        QFETCH(bool, handler);
        QFETCH(bool, english);
        const QString example = source.section(u'/', 0, 0);
        source = source.section(u'/', 1);
        const QString dir = path(QStringLiteral("prj"));
        const QString defs = path(QStringLiteral("defs"));
        QVERIFY(copyExample(example, source + QStringLiteral(".src"), dir));
        QVERIFY(copyExample(example, QStringLiteral("defs.def"), defs));
        setStore(QStringLiteral("REPERTOIRE/DEF"), defs);
        setStore(QStringLiteral("KORVAN/LANGAGE"), english ? "ANGLAIS" : "FRANCAIS");
        setStore(QStringLiteral("ASSEMBLEUR/SECTION 9"), QStringLiteral("810000"), "qubrix");
        start(handler);
        const QString where = dir + u'/' + source + QStringLiteral(".src");
        QVERIFY(app->openSourceDocument(where));
        frame()->setLastBuiltSource(QStringLiteral("/earlier/build.src"));
        const bool clean = example == QStringLiteral("demo");
        const AsmDialogSeen seen = assemble(monitor);
        QVERIFY(seen.answered);
        QCOMPARE(seen.errors, clean ? QStringLiteral("0") : QStringLiteral("10"));
        QCOMPARE(seen.monitorEnabled, clean);
        monitor = monitor && clean;
        QCOMPARE(frame()->lastBuiltSource(), monitor ? where : QString());
        QCOMPARE(m_monitorCalls, monitor && handler ? 1 : 0);

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
        QCOMPARE(cli.exitCode(), clean ? 0 : 1);
        const QStringList printed = QString::fromUtf8(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
        for (int i = 0; i < outputs.size(); ++i)
            QVERIFY2(readFile(outputs[i]) == fromWorkbench[i], qPrintable(outputs[i]));
        QCOMPARE(errorView() != nullptr, !monitor);
        if (monitor) return;
        // The rows say what the command line says, in the workbench's language.
        QCOMPARE(frame()->activeChild(), windowOf(errorView()));
        QCOMPARE(rowsOf(errorView()), clean ? QStringList() : printed);
        QCOMPARE(errorView()->headerItem()->text(0), english ? QStringLiteral("File") : QStringLiteral("Fichier"));
        QCOMPARE(errorView()->emptyText().startsWith(QStringLiteral("Aucune erreur")), clean);
        if (clean) QCOMPARE(frame()->statusBar()->currentMessage(), errorView()->emptyText());
    }

    // A source that cannot be saved is built by neither tool: the file on disk (if any) is not
    // the text in the window, and the student would load yesterday's program into the module. No
    // build dialog comes up (the harness fails on one left unanswered) and no file is written.
    void unsavableSourceIsReportedAndNothingIsBuilt_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");  // empty: an untitled document
        QTest::addColumn<QString>("reason");
        for (const auto& [command, ext] : {std::pair(cmd::kAssemble, ".src"), std::pair(cmd::kGnuBuild, ".c")}) {
            const char* tool = command == cmd::kAssemble ? "Assemble" : "GNU";
            QTest::addRow("%s: untitled document", tool) << command << QString() << "pas encore de nom";
            QTest::addRow("%s: folder gone", tool)
                << command << "gone/main" + QString::fromLatin1(ext) << "Le fichier ou le dossier n'existe pas";
            // The old file stays readable; the temporary file the save writes first cannot be
            // created beside it, as its name would be too long.
            QTest::addRow("%s: old file kept, save refused", tool)
                << command << QString(250 - qstrlen(ext), u'm') + QString::fromLatin1(ext)
                << "Nom de fichier trop long";
        }
    }
    void unsavableSourceIsReportedAndNothingIsBuilt() {
        QFETCH(int, command);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        const QString where = file.isEmpty() ? QString() : path(file);
        const QByteArray old = readFile(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/main.src"));
        if (!where.isEmpty()) {
            QDir().mkpath(QFileInfo(where).absolutePath());
            writeFile(where, old);
        }
        start();
        CKorvanDoc* doc = where.isEmpty() ? app->newSourceDocument() : app->openSourceDocument(where);
        QVERIFY(doc);
        QTest::keyClicks(activeView(), "; nouveau");
        QTest::keyClick(activeView(), Qt::Key_Return);
        if (file.startsWith("gone/")) QVERIFY(QDir(path(QStringLiteral("gone"))).removeRecursively());
        frame()->setLastBuiltSource(QStringLiteral("/earlier/build.src"));
        QString message;
        answerBox(&message);
        frame()->runCommand(command);
        // The user is told why nothing was saved, and nothing is built: no run of a tool, no
        // error list, no monitor; the text typed is still there, unsaved.
        QVERIFY2(message.contains(QStringLiteral("Impossible d'enregistrer")), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY(message.contains(where.isEmpty() ? QStringLiteral("prog1") : where));
        QCOMPARE(m_monitorCalls, 0);
        QVERIFY(!errorView());
        QCOMPARE(frame()->lastBuiltSource(), QStringLiteral("/earlier/build.src"));
        QStringList written;
        for (QDirIterator it(QDir::cleanPath(path(QStringLiteral("."))), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();)
            written << it.next();
        QCOMPARE(written, QFileInfo::exists(where) ? QStringList{where} : QStringList());
        if (!written.isEmpty()) QCOMPARE(readFile(where), old);
        QVERIFY(doc->isModified());
        QVERIFY(doc->textDocument()->toPlainText().startsWith(QStringLiteral("; nouveau")));
    }

    // The examples build with the defaults into S-records (S2 data, S8 entry at the start-up
    // object, code at $802000) holding exactly the linked program's bytes; Monitor goes on.
    void buildsTheExamples_data() {
        QTest::addColumn<QString>("example");
        QTest::addColumn<bool>("compileFirst");  // Compile only, then Linker starts a full build
        QTest::newRow("C") << QStringLiteral("c/main.c") << true;
        QTest::newRow("C++") << QStringLiteral("cpp/main.cpp") << false;
    }
    void buildsTheExamples() {
        QFETCH(QString, example);
        QFETCH(bool, compileFirst);
        if (!haveToolchain()) QSKIP("the m68k-elf toolchain is not built (script/toolchain)");
        start();
        QVERIFY(app->toolchainPresent());
        const QString name = QFileInfo(example).fileName();
        GnuSeen seen = build(name, readFile(QStringLiteral(KORVAN_EXAMPLES_DIR "/") + example),
                             compileFirst ? cmd::kGnuCompile : cmd::kGnuBuild,
                             compileFirst ? QStringLiteral("linkerButton") : QStringLiteral("monitorButton"));
        if (compileFirst) {
            QCOMPARE(seen.outcome, QStringLiteral("Il n'y a pas d'erreur de compilation"));
            QVERIFY(seen.linker && !seen.monitor);
            QCOMPARE(seen.defaultButton, QStringLiteral("linkerButton"));
            // The dialog closes and a full build of the same window starts.
            seen = {};
            answerGnu(QStringLiteral("monitorButton"), &seen);
            QTRY_VERIFY_WITH_TIMEOUT(seen.answered, 30000);
        }
        QVERIFY(seen.answered);
        QCOMPARE(seen.outcome, QStringLiteral("Il n'y a pas d'erreur de linkage"));
        QVERIFY(seen.monitor);
        QCOMPARE(seen.defaultButton, QStringLiteral("monitorButton"));
        QCOMPARE(readFile(src(QStringLiteral("gnu.txt"))),
                 ("Compilation du fichier \"" + name.toUtf8() +
                  "\"...\r\n\r\nLinkage...\r\n\r\n\r\nLe Fichier S-Record est généré"));
        QTRY_COMPARE(m_monitorCalls, 1);
        QCOMPARE(frame()->lastBuiltSource(), src(name));

        // A header, 24-bit data records and the entry record, read without a fault.
        const QString abs = src(QStringLiteral("main.abs"));
        QVERIFY(QRegularExpression(QStringLiteral("\\AS0.*\n(S2.*\n)+S8.*\n\\z"))
                    .match(QString::fromLatin1(readFile(abs)))
                    .hasMatch());
        quint32 entry = 0;
        const QMap<quint32, quint8> srec = srecordBytes(abs, &entry);
        QCOMPARE(entry, 0x802000u);
        QCOMPARE(srec.firstKey(), 0x802000u);

        // The ELF program kept beside the source holds the same bytes, read back by objdump.
        quint32 start = 0;
        QCOMPARE(objdumpBytes(src(QStringLiteral("main.elf")), &start), srec);
        QCOMPARE(start, entry);
    }

    // Failed steps: the tool's words in "gnu.txt", the outcome, the next buttons disabled, no
    // last built source, and Cancel opens "gnu.txt". A compile's diagnostics fill the error list
    // with file, line and column (a tab counts to the next multiple of 8, as the compiler
    // counts); a jump puts the caret on the first one's place.
    void failedSteps_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("files");  // empty: the defaults
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QByteArray>("inCapture");
        QTest::addColumn<QStringList>("rows");  // "line:column: kind" in main.c; empty: not compared
        QTest::addColumn<QPoint>("caret");      // column and line of the first row's place
        const QString failed = QStringLiteral("Il y a des erreurs de compilation!");
        QTest::newRow("warning fails the compile")
            << QByteArray("int main(void) { int x = \"s\"; return x; }\n") << QString() << failed
            << QByteArray("warning:") << QStringList{"1:26: warning"} << QPoint(25, 0);
        QTest::newRow("syntax error") << QByteArray("int main(void) {\n\tint x = \"s\";\n    return x }\n") << QString()
                                      << failed << QByteArray("error:") << QStringList{"2:17: warning", "3:13: error"}
                                      << QPoint(9, 1);  // the '"' after a tab and "int x = "
        QTest::newRow("stale program is not success")
            << QByteArray("int main(void) { return 0; }\n") << QStringLiteral("/nonexistent/crt0.o")
            << QStringLiteral("Il y a des erreurs de linkage!") << QByteArray("\r\nIl y a des erreurs!")
            << QStringList() << QPoint();
    }
    void failedSteps() {
        QFETCH(QByteArray, source);
        QFETCH(QString, files);
        QFETCH(QString, outcome);
        QFETCH(QByteArray, inCapture);
        QFETCH(QStringList, rows);
        QFETCH(QPoint, caret);
        if (!files.isEmpty()) setStore(QStringLiteral("GNU/FICHIER"), files);
        if (!haveToolchain()) QSKIP("the m68k-elf toolchain is not built (script/toolchain)");
        start();
        QVERIFY(app->toolchainPresent());
        QDir().mkpath(src({}));
        writeFile(src(QStringLiteral("main.abs")), "S9030000FC\n");
        frame()->setLastBuiltSource(QStringLiteral("/earlier/prog.c"));
        const GnuSeen seen = build(QStringLiteral("main.c"), source, cmd::kGnuBuild, QStringLiteral("cancelButton"));
        QVERIFY(seen.answered);
        QCOMPARE(seen.outcome, outcome);
        QVERIFY(!seen.linker);
        QVERIFY(!seen.monitor);
        QVERIFY(!QFileInfo::exists(src(QStringLiteral("main.abs"))) || files.isEmpty());
        const QByteArray capture = readFile(src(QStringLiteral("gnu.txt")));
        QVERIFY2(capture.contains(inCapture), capture.constData());
        QCOMPARE(m_monitorCalls, 0);
        QCOMPARE(frame()->lastBuiltSource(), QStringLiteral("/earlier/prog.c"));
        QCOMPARE(activeTitle(), QStringLiteral("gnu.txt"));
        if (rows.isEmpty()) return;
        CErreurView* list = errorView();
        QVERIFY(list);
        QStringList shown;
        for (const QString& row : rowsOf(list)) shown << row.section(u':', 0, 3);
        for (QString& row : rows) row.prepend(src(QStringLiteral("main.c:")));
        QCOMPARE(shown, rows);
        list->topLevelItem(0)->setSelected(true);
        list->jumpToSelectedRow();
        auto* view = qobject_cast<CKorvanView*>(frame()->activeChild()->widget());
        QVERIFY(view);
        QCOMPARE(QPoint(view->textCursor().positionInBlock(), view->textCursor().blockNumber()), caret);
    }

    // The link step with tools that fail in ways a real one may: nothing they leave passes for a
    // program, gnu.txt names a signal that ended one, and a source named like an option reaches
    // the compiler as a file.
    void linkFailures_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("link");
        QTest::addColumn<QByteArray>("objcopy");
        QTest::addColumn<QByteArray>("inCapture");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("elfKept");  // the linker's own result stands when only objcopy fails
        const QByteArray writesElf = "for a; do o=$a; done; echo ELF > \"$o\"\n";
        QTest::newRow("linker crashes after writing")
            << QStringLiteral("main.c") << writesElf + "kill -SEGV $$\n"
            << QByteArray("exit 0\n") << QByteArray("signal 11 (SIGSEGV)") << false << false;
        QTest::newRow("objcopy fails after writing")
            << QStringLiteral("main.c") << writesElf << QByteArray("echo S0 > \"$4\"; echo bad input; exit 1\n")
            << QByteArray("bad input\r\n") << false << true;
        QTest::newRow("name like an option") << QStringLiteral("-o.c") << writesElf << QByteArray("echo S0 > \"$4\"\n")
                                             << QByteArray("Le Fichier S-Record est g") << true << true;
    }
    void linkFailures() {
        QFETCH(QString, source);
        QFETCH(QByteArray, link);
        QFETCH(QByteArray, objcopy);
        QFETCH(QByteArray, inCapture);
        QFETCH(bool, ok);
        QFETCH(bool, elfKept);
        fakeTools(link, objcopy);
        start();
        const GnuSeen seen = build(source, "int main(void) { return 0; }\n", cmd::kGnuBuild,
                                   ok ? QStringLiteral("monitorButton") : QStringLiteral("cancelButton"));
        QVERIFY(seen.answered);
        QCOMPARE(seen.monitor, ok);
        const QByteArray capture = readFile(src(QStringLiteral("gnu.txt")));
        QVERIFY2(capture.contains(inCapture), capture.constData());
        const QString base = src(QFileInfo(source).completeBaseName());
        QCOMPARE(QFileInfo::exists(base + QStringLiteral(".abs")), ok);
        QCOMPARE(QFileInfo::exists(base + QStringLiteral(".elf")), elfKept);
        const QByteArray args = readFile(path(QStringLiteral("args")));
        QVERIFY2(!args.contains(" -o.c") || args.contains("./-o.c"), args.constData());
    }

    // A tool that does not end: the dialog stays live, Cancel ends the tool and opens "gnu.txt".
    void cancelEndsARunningTool() {
        const QString pidFile = path(QStringLiteral("pid"));
        tool("slow-", "gcc", "echo $$ > " + pidFile.toUtf8() + "\nexec /bin/sleep 60\n");
        start();
        QVERIFY(app->toolchainPresent());
        bool cancelled = false;
        whileModal<CGnu>([&](CGnu* dlg) {
            // Cancel once the shell has written its number (the file is created empty first).
            if (!dlg->toolRunning() || QFileInfo(pidFile).size() == 0) return false;
            QTimer::singleShot(0, dlg->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                               &QAbstractButton::click);
            return cancelled = true;
        });
        QElapsedTimer clock;
        clock.start();
        build(QStringLiteral("main.c"), "int main(void) { return 0; }\n", cmd::kGnuBuild, {});
        QVERIFY(cancelled);
        QVERIFY(clock.elapsed() < 30000);
        const QByteArray pid = readFile(pidFile).trimmed();
        QTRY_VERIFY(!QFileInfo::exists(QStringLiteral("/proc/") + QString::fromLatin1(pid)));
        QCOMPARE(activeTitle(), QStringLiteral("gnu.txt"));
    }

    // The sheet: "Défaut" then OK stores the run-time's names; a stored text with two blanks
    // reloads as two entries and is written back with one; Cancel writes nothing.
    void settingsSheet_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("defaults");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("entries");  // in the list of the shown linker page
        QTest::addColumn<QString>("written");
        QTest::newRow("defaults then OK") << QStringLiteral("b.o") << true << true << 0 << QString();
        QTest::newRow("two blanks") << QStringLiteral("b.o  a.o") << false << true << 2 << QStringLiteral("a.o b.o");
        QTest::newRow("cancel") << QStringLiteral("b.o  a.o") << true << false << 0 << QStringLiteral("b.o  a.o");
    }
    void settingsSheet() {
        QFETCH(QString, stored);
        QFETCH(bool, defaults);
        QFETCH(bool, accept);
        QFETCH(int, entries);
        QFETCH(QString, written);
        setStore(QStringLiteral("GNU/FICHIER"), stored);
        start();
        int shown = -1;
        whenModal<CGnuSheet>([&](CGnuSheet* sheet) {
            sheet->tabs()->setCurrentIndex(2);
            if (defaults) {
                sheet->findChild<QPushButton*>(QStringLiteral("linkerDefaultButton"))->click();
                sheet->findChild<QPushButton*>(QStringLiteral("compilerDefaultButton"))->click();
            }
            shown = sheet->findChild<QListWidget*>(QStringLiteral("linkerFileList"))->count();
            QTimer::singleShot(0, sheet, accept ? &QDialog::accept : &QDialog::reject);
        });
        frame()->runCommand(cmd::kConfigGnu);
        QCOMPARE(shown, entries);
        QCOMPARE(storeValue(QStringLiteral("GNU/FICHIER")), written);
        QCOMPARE(store().contains(QStringLiteral("GNU/CFLAG")), accept);
        if (accept && defaults)
            QCOMPARE(storeValue(QStringLiteral("GNU/LFLAG")),
                     QStringLiteral("-specs=") + korvan::build::runtimeFolder() + QStringLiteral("/korvan.specs"));
    }
};

QTEST_MAIN(TstBuild)
#include "tst_build.moc"
