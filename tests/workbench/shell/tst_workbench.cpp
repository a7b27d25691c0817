// Drives the real workbench main window offscreen: start-up, language, menu sets, documents,
// saving, prompts, go to line, caret pane, output bar, recent files, drag and drop, printing,
// the editor's size limits, files changed on disk by other programs, and the source editor's
// debugging marks (gutter clicks and width, breakpoints and the current line following edits).
#include <QAction>
#include <QDockWidget>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

#include "../workbench_harness.h"
#include "bitmap/conv_bitmap.h"
#include "commands.h"
#include "dialogs.h"
#include "korvan_doc.h"
#include "menus.h"
#include "source_file.h"

using namespace korvan::shell;
using namespace wbtest;

namespace {

QStringList barTitles(CMainFrame* frame) {
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) titles << a->text();
    return titles;
}

bool checked(CMainFrame* frame, int id) { return frame->commandState(id).checked.value_or(false); }

// The titles of a menu set's bar, as the menu tables give them.
QStringList setTitles(int set, Language lang) {
    QStringList titles;
    for (const MenuItem& top : menuSet(set, lang)) titles << QString::fromUtf8(top.text.data(), top.text.size());
    return titles;
}

// The item of command id in the menu bar shown, searched through its pop-up menus.
QAction* menuAction(CMainFrame* frame, int id) {
    QList<QAction*> pending = frame->menuBar()->actions();
    while (!pending.isEmpty()) {
        QAction* a = pending.takeLast();
        if (a->data().toInt() == id) return a;
        if (a->menu()) pending += a->menu()->actions();
    }
    return nullptr;
}

// Answers every message box from now on with `which`, keeping their texts in order.
void answerEveryBox(QMessageBox::StandardButton which, QStringList* texts) {
    whileModal<QMessageBox>([which, texts](QMessageBox* box) {
        if (box->property("answered").toBool()) return false;
        box->setProperty("answered", true);
        *texts << box->text();
        QTimer::singleShot(0, box->button(which), &QAbstractButton::click);
        return false;
    });
}

// The rows of a test's single column.
template <class T> void rows(const char* column, std::initializer_list<std::pair<const char*, T>> table) {
    QTest::addColumn<T>(column);
    for (const auto& [name, value] : table) QTest::newRow(name) << value;
}

QString numberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << QStringLiteral("l%1").arg(i);
    return lines.join(u'\n');
}

QList<int> sorted(const QSet<int>& set) {
    QList<int> list(set.begin(), set.end());
    std::sort(list.begin(), list.end());
    return list;
}

QWidget* gutterOf(CKorvanView* view) { return view->findChild<QWidget*>(QStringLiteral("SourceGutter")); }

// The caret's place at the start of a 1-based line, in viewport (and gutter) coordinates.
QRect lineRect(CKorvanView* view, int line) {
    return view->cursorRect(QTextCursor(view->QPlainTextEdit::document()->findBlockByNumber(line - 1)));
}
int lineY(CKorvanView* view, int line) { return lineRect(view, line).center().y(); }
bool lineOnScreen(CKorvanView* view, int line) { return view->viewport()->rect().contains(lineRect(view, line)); }

// Whether the gutter shows a breakpoint's red mark beside a line.
bool redMarkAt(CKorvanView* view, int line) {
    const QImage image = gutterOf(view)->grab().toImage();
    const QRect rect = lineRect(view, line);
    const qreal ratio = image.devicePixelRatio();
    for (int y = qRound(rect.top() * ratio); y <= qRound(rect.bottom() * ratio); ++y)
        for (int x = 0; x < image.width() / 2; ++x)
            if (const QColor c = image.pixelColor(x, y); c.red() > 180 && c.green() < 90 && c.blue() < 90) return true;
    return false;
}

}  // namespace

class TstWorkbench : public QObject, public Workbench {
    Q_OBJECT

    // Converts a picture through the Bitmap item of the menu bar shown; the status bar's message
    // afterwards, which says where the C file went.
    QString exportBitmapFromTheMenu() {
        QAction* item = menuAction(frame(), cmd::kBitmap);
        frame()->updateCommandUi();
        if (!item || !item->isEnabled()) return QStringLiteral("no Bitmap item");
        QImage picture(128, 64, QImage::Format_Mono);
        picture.fill(0);
        const QString bmp = path(QStringLiteral("logo.bmp"));
        picture.save(bmp, "BMP");
        whenModal<ConvBitmap>([bmp](ConvBitmap* dlg) {
            dlg->setFilePath(bmp);
            dlg->exportFile();
        });
        item->trigger();
        return frame()->statusBar()->currentMessage();
    }

    // A new untitled document holding text in a window of a known size; its view.
    CKorvanView* viewWith(const QString& text) {
        CKorvanView* view = startWithText(text);
        frame()->resize(800, 600);
        windowOf(view)->resize(600, 320);
        if (!QTest::qWaitForWindowExposed(frame())) return nullptr;
        QApplication::processEvents();
        return view;
    }

    // The rows of the table-driven tests below.
    struct CloseRow {
        QMessageBox::StandardButton answer;
        bool byCommand;  // File > Close, or the window's own close
        QByteArray onDisk;
        int windowsLeft;
    };
    struct GoToRow {
        QString entry;
        int expectedLine;  // 1-based
        QString warning;
    };
    struct OpenRow {
        QByteArray bytes;
        qint64 size;  // > 0: an empty file made that long instead; < 0: no file
        bool commandLine;
        QString language, reason;  // empty reason: the file opens
    };
    struct DiskRow {
        bool edited;                         // the document has unsaved changes
        bool byRename;                       // the other program renames a new file over it
        bool saveAtOnce;                     // saved before the change is noticed
        QMessageBox::StandardButton answer;  // to the question: Yes reloads, No keeps mine
        QString shown;
    };
    // Ten lines "l1".."l10", breakpoints on 3 and 7, current line 5. The edit replaces `remove`
    // characters from (line, column) with `insert`; line 0 reloads the whole text through the
    // view, -1 through the document, -2 deletes it all and types a new one.
    struct Edit {
        int line, column, remove;
        QString insert;
        QList<int> breakpoints;
        int current;
        bool moved;
    };

private slots:
    void initTestCase() { Workbench::initTestCase(); }
    void init() { Workbench::init(); }
    void cleanup() { Workbench::cleanup(); }

    // Started on an empty store, the workbench speaks French, writes nothing and opens nothing
    // (a stored word other than FRANCAIS is English: the plain logic's). The language chosen from
    // the menu applies at once to the menus, the toolbars, the bar titles, the prompts and new
    // dialogs (the bitmap converter's too), with the windows left open; the new menus work.
    void startsFrenchAndSwitchesLanguageAtOnce() {
        store().clear();
        qputenv("KORVAN_TOOLCHAIN", path(QStringLiteral("no-toolchain")).toLocal8Bit());  // the source set
        CMainFrame* frame = start();
        QVERIFY(frame);
        QVERIFY(store().allKeys().isEmpty());
        QCOMPARE(barTitles(frame), setTitles(kMenuSetMain, Language::French));
        QCOMPARE(frame->findChild<QLabel*>("IdlePane")->text(), QStringLiteral("Prêt"));
        QVERIFY(checked(frame, cmd::kLanguageFrench) && !checked(frame, cmd::kLanguageEnglish));
        QCOMPARE(windowCount(), 0);
        QVERIFY(frame->outputBar()->isHidden());
        QCOMPARE(frame->findChild<QLabel*>("CaretPane")->text(), QStringLiteral("C -, L-"));
        // A wrong-kind integer entry yields its default.
        setStore(QStringLiteral("EDITEUR/OUTPUT_BAR"), QStringLiteral("yes"));
        QCOMPARE(app->settings().GetSettingInt("EDITEUR", "OUTPUT_BAR", 7), 7);

        app->newSourceDocument();
        const int actionsBefore = frame->findChildren<QAction*>().size();
        auto goToLineTitle = [&] {
            QString title;
            whenModal<CALigne>([&](CALigne* d) {
                title = d->windowTitle();
                d->reject();
            });
            frame->runCommand(cmd::kGoToLine);
            return title;
        };
        auto saveButtonText = [&] {
            for (QAction* a : frame->toolBar()->actions())
                if (a->data().toInt() == cmd::kFileSave) return a->text();
            return QString();
        };
        QVERIFY(frame->runCommand(cmd::kLanguageEnglish));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(storeValue("KORVAN/LANGAGE"), QStringLiteral("ANGLAIS"));
        QVERIFY(checked(frame, cmd::kLanguageEnglish) && !checked(frame, cmd::kLanguageFrench));
        QCOMPARE(frame->activeMenuSet(), kMenuSetSource);
        QCOMPARE(barTitles(frame), setTitles(kMenuSetSource, Language::English));
        QCOMPARE(barTitles(frame).first(), QStringLiteral("&File"));
        QCOMPARE(goToLineTitle(), QStringLiteral("go to line number"));
        QCOMPARE(saveButtonText(), QString::fromUtf8(commandToolTip(cmd::kFileSave, Language::English)));
        QCOMPARE(frame->outputBar()->windowTitle(), app->text(text::kOutputBarTitle));
        QCOMPARE(frame->findChild<QLabel*>("IdlePane")->text(), QStringLiteral("Ready"));
        QCOMPARE(menuAction(frame, cmd::kGoToLine)->statusTip(), QStringLiteral("go to line number"));
        QCOMPARE(windowCount(), 1);

        // Back to French from the Language menu of the window-less menu bar: the item goes with
        // the menu it belongs to.
        frame->mdiArea()->closeAllSubWindows();
        QTRY_COMPARE(barTitles(frame), setTitles(kMenuSetMain, Language::English));
        QCOMPARE(exportBitmapFromTheMenu(), QStringLiteral("C file written: \"%1\".").arg(path("logo.c")));
        QAction* french = menuAction(frame, cmd::kLanguageFrench);
        QVERIFY(french);
        french->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(storeValue("KORVAN/LANGAGE"), QStringLiteral("FRANCAIS"));
        QCOMPARE(barTitles(frame), setTitles(kMenuSetMain, Language::French));
        QCOMPARE(saveButtonText(), QString::fromUtf8(commandToolTip(cmd::kFileSave, Language::French)));
        QCOMPARE(exportBitmapFromTheMenu(), QStringLiteral("Fichier C écrit : \"%1\".").arg(path("logo.c")));
        app->newSourceDocument();
        QCOMPARE(barTitles(frame), setTitles(frame->activeMenuSet(), Language::French));
        QCOMPARE(goToLineTitle(), QStringLiteral("Aller à la ligne..."));
        // Back where it started: the former menus went, none is kept beside the new ones.
        QCOMPARE(frame->findChildren<QAction*>().size(), actionsBefore);
    }

    // The English bars of a source window are the language switch's.
    void menuSetsFollowToolchainAndWindow_data() {
        rows<bool>("toolchain", {{"without toolchain", false}, {"with toolchain", true}});
    }
    void menuSetsFollowToolchainAndWindow() {
        QFETCH(bool, toolchain);
        const int documentSet = toolchain ? kMenuSetToolchain : kMenuSetSource;
        // Not the toolchain script/toolchain may have built on this machine.
        qputenv("KORVAN_TOOLCHAIN", path(QStringLiteral("no-toolchain")).toLocal8Bit());
        if (toolchain) {
            QDir::current().mkpath(QStringLiteral("cross/bin"));
            const QString gcc = writeFile(path(QStringLiteral("cross/bin/m68k-fake-gcc")), "#!/bin/sh\n");
            QFile::setPermissions(gcc, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            setStore(QStringLiteral("GNU/PREFIXE"), QStringLiteral("m68k-fake-"));
            qputenv("PATH", (path(QStringLiteral("cross/bin:")) + savedPath()).toLocal8Bit());
        }
        CMainFrame* frame = start();
        QCOMPARE(app->toolchainPresent(), toolchain);
        QCOMPARE(app->cygwinRoot(), toolchain ? path(QStringLiteral("cross")) : QString());
        QCOMPARE(frame->activeMenuSet(), kMenuSetMain);
        const QStringList mainBar = barTitles(frame);

        QVERIFY(frame->runCommand(cmd::kFileNew));
        QCOMPARE(frame->activeMenuSet(), documentSet);
        QCOMPARE(barTitles(frame), setTitles(documentSet, Language::French));
        // Assemble sits directly on the bar and, like the other commands of later tools, has no
        // handler in the bare shell: disabled and refused, never a stub that does nothing.
        frame->updateCommandUi();
        for (QAction* a : frame->menuBar()->actions())
            if (a->data().toInt() == cmd::kAssemble) QVERIFY(!a->isEnabled());
        for (int id : {cmd::kAssemble, cmd::kMonitorWindow, cmd::kDownload, cmd::kCpuRegisters, cmd::kRun, cmd::kStep,
                       cmd::kBreakpoint, cmd::kReload, cmd::kGnuCompile, cmd::kGnuLink, cmd::kGnuBuild,
                       cmd::kCancelEdit, cmd::kNextPane})
            QVERIFY2(!frame->commandState(id).handled && !frame->runCommand(id), qPrintable(QString::number(id)));
        for (int id : {cmd::kFileNew, cmd::kFileSave, cmd::kEditSelectAll, cmd::kGoToLine, cmd::kConfigAssembler,
                       cmd::kBitmap, cmd::kWindowMessage, cmd::kViewOutputBar, cmd::kWindowCascade})
            QVERIFY2(frame->commandState(id).enabled, qPrintable(QString::number(id)));
        // Copy needs a selection, Undo something to undo.
        QVERIFY(!frame->commandState(cmd::kEditCopy).enabled && !frame->commandState(cmd::kEditUndo).enabled);
        QTest::keyClicks(activeView(), "abc");
        activeView()->selectAll();
        QVERIFY(frame->commandState(cmd::kEditCopy).enabled && frame->commandState(cmd::kEditUndo).enabled);

        // Closing the window (its text dropped) brings the main set back.
        answerBox(nullptr, QMessageBox::No);
        frame->mdiArea()->closeAllSubWindows();
        QCOMPARE(frame->activeMenuSet(), kMenuSetMain);
        frame->updateCommandUi();
        QCOMPARE(barTitles(frame), mainBar);
    }

    // What the editor's text could change on the way; CR LF lines in Windows-1252 are the
    // edited file's below, the other decodings the plain logic's.
    void openAndSaveKeepEveryByte_data() {
        rows<QByteArray>("bytes", {{"utf-8 with byte-order mark", "\xEF\xBB\xBF; \xC3\xA9\r\n"},
                                   {"mixed line ends, no final line end", "a\r\nb\nc\rd\r\ne"},
                                   {"utf-8 line separator", "x\xE2\x80\xA8y\n"},
                                   {"nul and control bytes", QByteArray("a\0b\x01\x1F\n", 7)},
                                   {"windows-1252 unassigned", "\x81\x8D\x8F\x90\x9D\x80\n"},
                                   {"empty", ""}});
    }
    void openAndSaveKeepEveryByte() {
        QFETCH(QByteArray, bytes);
        start();
        const QString file = writeFile(path(QStringLiteral("source.src")), bytes);
        CKorvanDoc* doc = app->openSourceDocument(file);
        QVERIFY(doc);
        QVERIFY(!doc->isModified());
        QCOMPARE(activeView()->textCursor().position(), 0);
        QCOMPARE(doc->title(), QStringLiteral("source.src"));
        QVERIFY(frame()->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(file), bytes);
        // Save As to a new name writes the same bytes there.
        QString error;
        QVERIFY(doc->saveTo(path(QStringLiteral("copy.src")), &error));
        QCOMPARE(readFile(path(QStringLiteral("copy.src"))), bytes);
    }

    void editedFileKeepsLineEndsAndEncoding() {
        start();
        const QString file = writeFile(path(QStringLiteral("edit.src")), "; \xE9t\xE9\r\n\tRTS\r\n");
        QVERIFY(app->openSourceDocument(file));
        CKorvanView* view = activeView();
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_End);
        view->insertPlainText(QStringLiteral(" ; à"));
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClicks(view, QStringLiteral("\tNOP"));
        QVERIFY(view->document()->isModified());
        QVERIFY(frame()->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(file), QByteArray("; \xE9t\xE9\r\n\tRTS ; \xE0\r\n\tNOP\r\n"));
        QVERIFY(!view->document()->isModified());

        // A character Windows-1252 cannot hold: saved as UTF-8 (after saying so), nothing lost.
        view->insertPlainText(QStringLiteral("→"));
        answerBox();
        QVERIFY(frame()->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(file), QByteArray("; \xC3\xA9t\xC3\xA9\r\n\tRTS ; \xC3\xA0\r\n\tNOP\xE2\x86\x92\r\n"));
    }

    void newDocumentsAreNumberedAndSavedThroughSaveAs() {
        CMainFrame* frame = start();
        QVERIFY(frame->runCommand(cmd::kFileNew));
        QVERIFY(frame->runCommand(cmd::kFileNew));
        QStringList titles;
        for (QMdiSubWindow* w : frame->mdiArea()->subWindowList())
            titles << static_cast<CChildFrame*>(w)->documentTitle();
        QCOMPARE(titles, QStringList({"prog1", "prog2"}));
        frame->updateCommandUi();
        QCOMPARE(frame->windowTitle(), QStringLiteral("korvan - prog2"));
        QVERIFY(activeView()->document()->isUntitled());

        QTest::keyClicks(activeView(), QStringLiteral("\tRTS"));
        QTest::keyClick(activeView(), Qt::Key_Return);
        const QString target = path(QStringLiteral("first.src"));
        whenModal<QFileDialog>([&](QFileDialog* dlg) {
            QCOMPARE(dlg->acceptMode(), QFileDialog::AcceptSave);
            dlg->selectFile(target);
            static_cast<QDialog*>(dlg)->accept();
        });
        QVERIFY(frame->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(target), QByteArray("\tRTS\n"));
        QCOMPARE(activeView()->document()->title(), QStringLiteral("first.src"));
        QCOMPARE(app->settings().recentFiles().value(0), target);
        // A cancelled Save As leaves the document modified and writes nothing.
        QTest::keyClicks(activeView(), QStringLiteral("x"));
        whenModal<QFileDialog>([](QFileDialog* dlg) { dlg->reject(); });
        QVERIFY(frame->runCommand(cmd::kFileSaveAs));
        QVERIFY(activeView()->document()->isModified());
        QCOMPARE(readFile(target), QByteArray("\tRTS\n"));
    }

    void unsavedChangesPromptOnClose_data() {
        rows<CloseRow>("row", {{"Cancel keeps the window and the file", {QMessageBox::Cancel, true, "RTS\n", 1}},
                               {"Yes saves, then closes", {QMessageBox::Yes, false, "NOP RTS\n", 0}},
                               {"No closes without saving", {QMessageBox::No, false, "RTS\n", 0}}});
    }
    void unsavedChangesPromptOnClose() {
        QFETCH(CloseRow, row);
        CMainFrame* frame = start();
        const QString file = writeFile(path(QStringLiteral("keep.src")), "RTS\n");
        QVERIFY(app->openSourceDocument(file));
        QTest::keyClicks(activeView(), QStringLiteral("NOP "));
        QString question;
        answerBox(&question, row.answer);
        if (row.byCommand)
            QVERIFY(frame->runCommand(cmd::kFileClose));
        else
            frame->mdiArea()->currentSubWindow()->close();
        QTRY_COMPARE(question, QStringLiteral("Enregistrer les modifications de keep.src ?"));
        QTRY_COMPARE(windowCount(), row.windowsLeft);
        QCOMPARE(readFile(file), row.onDisk);
    }

    // Only the last window of a modified document asks, when it closes or the workbench quits.
    void windowsAndQuitAskOnlyForTheirLastWindow() {
        CMainFrame* frame = start();
        app->newSourceDocument();
        QTest::keyClicks(activeView(), QStringLiteral("shared"));
        QVERIFY(frame->runCommand(cmd::kWindowNew));
        QCOMPARE(activeView()->toPlainText(), QStringLiteral("shared"));
        QCOMPARE(static_cast<CChildFrame*>(frame->mdiArea()->currentSubWindow())->documentTitle(),
                 QStringLiteral("prog1:2"));
        QTest::keyClicks(activeView(), QStringLiteral("!"));
        app->newSourceDocument();  // unmodified: no question for it
        QString question;
        answerBox(&question, QMessageBox::Cancel);
        frame->mdiArea()->subWindowList().first()->close();
        QTRY_COMPARE(windowCount(), 2);
        QCOMPARE(question, QString());
        QCOMPARE(qobject_cast<CKorvanView*>(frame->mdiArea()->subWindowList().first()->widget())->toPlainText(),
                 QStringLiteral("!shared"));
        QVERIFY(frame->runCommand(cmd::kAppExit));
        QCOMPARE(question, QStringLiteral("Enregistrer les modifications de prog1 ?"));
        QVERIFY(frame->isVisible());
        QCOMPARE(windowCount(), 2);

        answerBox(nullptr, QMessageBox::No);
        QVERIFY(frame->runCommand(cmd::kAppExit));
        QVERIFY(!frame->isVisible());
        QCOMPARE(windowCount(), 0);
    }

    // The clamping itself is the plain logic's; these rows check the entry and the line count reach it.
    void goToLine_data() {
        rows<GoToRow>("row", {{"negative goes to the first line", {"-4", 1, ""}},
                              {"inside", {"7", 7, ""}},
                              {"beyond the end goes to the last line", {"5000", 20, ""}},
                              {"unchanged entry stays", {"", 12, ""}},
                              {"not an integer: refused, the dialog stays", {"deux", 12, "Entrez un nombre entier."}}});
    }
    void goToLine() {
        QFETCH(GoToRow, row);
        const auto& [entry, expectedLine, warning] = row;
        CKorvanView* view = startWithText(numberedLines(20));
        QTextCursor c = view->textCursor();
        c.setPosition(view->document()->textDocument()->findBlockByNumber(11).position() + 1);
        view->setTextCursor(c);

        QString prefilled, shown;
        bool stillOpen = false;
        whenModal<CALigne>([&](CALigne* d) {
            prefilled = d->field()->text();
            if (!entry.isEmpty()) d->field()->setText(entry);
            whenModal<QMessageBox>([&, d](QMessageBox* box) {  // only for an entry refused
                shown = box->text();
                box->accept();
                QTimer::singleShot(20, d, [&, d] {
                    stillOpen = d->isVisible();
                    d->reject();
                });
            });
            QTimer::singleShot(0, d, &QDialog::accept);
        });
        QVERIFY(frame()->runCommand(cmd::kGoToLine));
        QCOMPARE(prefilled, QStringLiteral("12"));
        QCOMPARE(shown, warning);
        QCOMPARE(stillOpen, !warning.isEmpty());
        QCOMPARE(view->caretLine() + 1, expectedLine);
        QCOMPARE(view->textCursor().positionInBlock(), 1);  // the column is kept
        if (warning.isEmpty()) QCOMPARE(frame()->caretPaneText(), QStringLiteral("ligne=%1").arg(expectedLine));
    }
    // The keys moving the pane are the monitor test's status bar run.
    void caretPaneFollowsTheMouse() {
        CKorvanView* view = startWithText(QStringLiteral("one\ntwo\nthree\nfour"));
        auto* pane = frame()->findChild<QLabel*>("CaretPane");
        view->moveCursor(QTextCursor::End);
        QCOMPARE(pane->text(), QStringLiteral("ligne=4"));
        const QRect first = view->cursorRect(QTextCursor(view->document()->textDocument()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(view->caretLine(), 0);
        QCOMPARE(pane->text(), QStringLiteral("ligne=1"));
        QCOMPARE(frame()->currentLine(), 1);
        // Closing any source window, even an unmodified one of another document, forgets the
        // line and the last built source.
        frame()->setLastBuiltSource(QStringLiteral("/tmp/main.src"));
        app->newSourceDocument();
        frame()->mdiArea()->currentSubWindow()->close();
        QTRY_COMPARE(windowCount(), 1);
        QCOMPARE(frame()->lastBuiltSource(), QString());
        QCOMPARE(frame()->currentLine(), 0);
    }

    void outputBarTogglePersists() {
        CMainFrame* frame = start();
        QVERIFY(!checked(frame, cmd::kViewOutputBar));
        QVERIFY(frame->runCommand(cmd::kViewOutputBar));
        QVERIFY(!frame->outputBar()->isHidden());
        QCOMPARE(storeValue("EDITEUR/OUTPUT_BAR"), QStringLiteral("1"));
        QVERIFY(checked(frame, cmd::kViewOutputBar));

        frame = start();
        QVERIFY(!frame->outputBar()->isHidden());
        QVERIFY(frame->outputBar()->widget()->property("readOnly").toBool());
        // Its close button counts as the Output command.
        frame->outputBar()->close();
        QVERIFY(frame->outputBar()->isHidden());
        QCOMPARE(storeValue("EDITEUR/OUTPUT_BAR"), QStringLiteral("0"));
        QVERIFY(frame->runCommand(cmd::kViewOutputBar));
        QVERIFY(frame->runCommand(cmd::kViewOutputBar));
        QCOMPARE(storeValue("EDITEUR/OUTPUT_BAR"), QStringLiteral("0"));
        QVERIFY(start()->outputBar()->isHidden());
    }

    void openDialogRemembersFilter() {
        CMainFrame* frame = start();
        QDir::current().mkdir(QStringLiteral("sub"));
        const QString file = writeFile(path(QStringLiteral("sub/prog.lis")), "listing\r\n");
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
        QVERIFY(filters.value(2).startsWith(QStringLiteral("List File(*.lis)")));
        QCOMPARE(preselected, filters.value(0));
        QCOMPARE(storeValue("FICHIER/TYPE"), QStringLiteral("3"));
        QCOMPARE(activeView()->document()->path(), file);
        QCOMPARE(QDir::currentPath(), path(QStringLiteral("sub")));

        // The next Open starts on that filter; cancelling keeps the stored value.
        whenModal<QFileDialog>([&](QFileDialog* dlg) {
            preselected = dlg->selectedNameFilter();
            dlg->selectNameFilter(filters.value(0));
            dlg->reject();
        });
        QVERIFY(frame->runCommand(cmd::kFileOpen));
        QCOMPARE(preselected, filters.value(2));
        QCOMPARE(storeValue("FICHIER/TYPE"), QStringLiteral("3"));
        QCOMPARE(windowCount(), 1);
    }

    // A file that cannot be opened is never remembered: the rows of filesThatCannotBeOpened.
    void recentFilesKeepFourAndDropVanishedOnes() {
        CMainFrame* frame = start();
        QVERIFY(!frame->commandState(cmd::kFileMru1).enabled);
        QStringList paths;
        for (int i = 1; i <= 5; ++i) {
            paths << writeFile(path(QStringLiteral("f%1.src").arg(i)), QByteArray::number(i));
            QVERIFY(app->openSourceDocument(paths.last()));
        }
        QCOMPARE(app->settings().recentFiles(), QStringList({paths[4], paths[3], paths[2], paths[1]}));
        frame->mdiArea()->closeAllSubWindows();
        QVERIFY(frame->runCommand(cmd::kFileMru1 + 2));
        QCOMPARE(activeView()->document()->path(), paths[2]);
        QCOMPARE(app->settings().recentFiles().first(), paths[2]);
        // A recent file that vanished is reported and leaves the list.
        QFile::remove(paths[4]);
        QString message;
        answerBox(&message);
        QVERIFY(frame->runCommand(cmd::kFileMru1 + 1));
        QVERIFY(message.contains(QStringLiteral("f5.src")));
        QVERIFY(!app->settings().recentFiles().contains(paths[4]));
        // The entries survive a restart.
        frame = start();
        QCOMPARE(app->settings().recentFiles().size(), 3);
        QVERIFY(frame->commandState(cmd::kFileMru1 + 2).enabled);
        QVERIFY(!frame->commandState(cmd::kFileMru1 + 3).enabled);
    }

    // Opening a file that is already open gives one more window on the same document, however
    // the path is spelled the second time: an edit shows in every window and one save keeps all of it.
    void openingAnOpenFileAddsAViewOfItsDocument_data() {
        rows<QString>("second",
                      {{"same path", "prog.src"}, {"through ..", "sub/../prog.src"}, {"symbolic link", "lien.src"}});
    }
    void openingAnOpenFileAddsAViewOfItsDocument() {
        QFETCH(QString, second);
        CMainFrame* frame = start();
        writeFile(path(QStringLiteral("prog.src")), "A\r\n");
        QVERIFY(QDir::current().mkdir(QStringLiteral("sub")));
        QVERIFY(QFile::link(path(QStringLiteral("prog.src")), path(QStringLiteral("lien.src"))));
        CKorvanDoc* doc = app->openSourceDocument(path(QStringLiteral("prog.src")));
        CKorvanView* first = activeView();
        QTest::keyClicks(first, QStringLiteral("x"));
        QCOMPARE(app->openSourceDocument(path(second)), doc);
        CKorvanView* other = activeView();
        QVERIFY(other != first);
        QCOMPARE(windowCount(), 2);
        QCOMPARE(other->toPlainText(), QStringLiteral("xA\n"));  // the edit, not the file
        QTest::keyClicks(other, QStringLiteral("y"));
        QCOMPARE(first->toPlainText(), QStringLiteral("yxA\n"));
        QVERIFY(frame->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(path(QStringLiteral("prog.src"))), QByteArray("yxA\r\n"));
    }

    // The Message command opens a further window each time; its document follows the report
    // on disk while it has no changes of its own, and keeps them when it has.
    void messageWindowsShareTheReport() {
        CMainFrame* frame = start();
        writeFile(path(QStringLiteral("message.txt")), "0 erreur(s)\r\n");
        QVERIFY(frame->runCommand(cmd::kWindowMessage));
        QVERIFY(frame->runCommand(cmd::kWindowMessage));
        QCOMPARE(windowCount(), 2);
        writeFile(path(QStringLiteral("message.txt")), "2 erreur(s)\r\n");
        QVERIFY(frame->runCommand(cmd::kWindowMessage));
        const auto windows = frame->mdiArea()->subWindowList();
        QCOMPARE(windows.size(), 3);
        for (QMdiSubWindow* w : windows) {
            QVERIFY(static_cast<CChildFrame*>(w)->documentTitle().startsWith(QStringLiteral("message.txt:")));
            QCOMPARE(static_cast<CKorvanView*>(w->widget())->toPlainText(), QStringLiteral("2 erreur(s)\n"));
        }
        // With changes of its own it asks; kept, they stay.
        QTest::keyClicks(activeView(), QStringLiteral("note "));
        writeFile(path(QStringLiteral("message.txt")), "5 erreur(s)\r\n");
        QString question;
        answerBox(&question, QMessageBox::No);
        QVERIFY(frame->runCommand(cmd::kWindowMessage));
        QVERIFY2(question.contains(QStringLiteral("modifié par un autre programme")), qPrintable(question));
        QCOMPARE(activeView()->toPlainText(), QStringLiteral("note 2 erreur(s)\n"));
    }

    // A missing file, or one over the editor's limits (refused before it is read whole), is
    // reported with the reason in the interface's language, opens nothing and is not remembered;
    // every way of opening a file (Open, recent files, an error row, the command line) goes
    // through the application's open.
    void filesThatCannotBeOpened_data() {
        const QByteArray longest(int(kEditorLimits.maxLineBytes), 'a');
        const QString limit = QString::number(kEditorLimits.maxLineBytes),
                      max = QString::number(kEditorLimits.maxBytes);
        const QString size = QString::number(kEditorLimits.maxBytes + 1);
        rows<OpenRow>(
            "row",
            {{"line at the limit opens", {"x\r\n" + longest + "\r\n", 0, false, "FRANCAIS", ""}},
             {"line one byte over",
              {"x\r\n" + longest + "a\r\nfin\r\n", 0, false, "FRANCAIS",
               "Sa ligne 2 fait plus de " + limit + " octets : l'éditeur n'ouvre pas"}},
             {"file one byte over, command line, English",
              {"", qint64(kEditorLimits.maxBytes) + 1, true, "ANGLAIS",
               "The file is " + size + " bytes long: the editor does not open files over " + max + " bytes."}},
             {"missing file", {"", -1, false, "FRANCAIS", "grand.src.\nLe fichier ou le dossier n'existe pas."}}});
    }
    void filesThatCannotBeOpened() {
        QFETCH(OpenRow, row);
        const auto& [bytes, size, commandLine, language, reason] = row;
        setStore(QStringLiteral("KORVAN/LANGAGE"), language);
        const QString file = writeFile(path(QStringLiteral("grand.src")), bytes);
        if (size) QVERIFY(size > 0 ? QFile::resize(file, size) : QFile::remove(file));
        QString message;
        answerBox(&message);
        QVERIFY(
            start(commandLine ? QStringList{QStringLiteral("korvan"), file} : QStringList{QStringLiteral("korvan")}));
        if (!commandLine) app->openSourceDocument(file);
        if (reason.isEmpty()) {
            QCOMPARE(windowCount(), 1);
            QCOMPARE(activeView()->document()->textDocument()->findBlockByNumber(1).length(),
                     int(kEditorLimits.maxLineBytes) + 1);
            QVERIFY(message.isEmpty());
            return;
        }
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY(message.startsWith(language == "ANGLAIS" ? QStringLiteral("Failed to open document")
                                                         : QStringLiteral("Impossible d'ouvrir le document")));
        QCOMPARE(windowCount(), 0);
        QVERIFY(app->settings().recentFiles().isEmpty());
    }

    // Another program changes an open file: a document without changes follows it, however the
    // file was written and as often as it is; one with changes asks whether to reload or keep
    // them. Saving before the change is noticed asks first: No keeps the other program's file
    // (and the document its changes), Yes writes. The workbench's own saves ask nothing.
    void changesOnDiskReloadOrAsk_data() {
        rows<DiskRow>(
            "row", {{"unchanged, written in place: reloaded", {false, false, false, QMessageBox::No, "B22\n"}},
                    {"unchanged, replaced by a rename: reloaded", {false, true, false, QMessageBox::No, "B22\n"}},
                    {"edited, Reload", {true, false, false, QMessageBox::Yes, "B22\n"}},
                    {"edited, Keep my changes", {true, true, false, QMessageBox::No, "xA1\n"}},
                    {"edited, saved at once, No keeps the newer file", {true, false, true, QMessageBox::No, "xA1\n"}},
                    {"edited, saved at once, Yes overwrites it", {true, false, true, QMessageBox::Yes, "xA1\n"}}});
    }
    void changesOnDiskReloadOrAsk() {
        QFETCH(DiskRow, row);
        const auto& [edited, byRename, saveAtOnce, answer, shown] = row;
        CMainFrame* frame = start();
        const QString file = writeFile(path(QStringLiteral("prog.src")), "A1\n");
        CKorvanDoc* doc = app->openSourceDocument(file);
        QVERIFY(doc);
        CKorvanView* view = activeView();
        if (edited) QTest::keyClicks(view, QStringLiteral("x"));
        view->moveCursor(QTextCursor::Right);
        QStringList asked;
        answerEveryBox(answer, &asked);
        auto writeOutside = [&](const QByteArray& bytes) {
            if (!byRename) return writeFile(file, bytes), void();
            writeFile(path(QStringLiteral("new.tmp")), bytes);
            QCOMPARE(std::rename(qPrintable(path(QStringLiteral("new.tmp"))), qPrintable(file)), 0);
        };

        writeOutside("B22\n");
        if (saveAtOnce) {
            QVERIFY(frame->runCommand(cmd::kFileSave));
            QVERIFY2(asked.value(0).contains(QStringLiteral("depuis qu'il a été ouvert ou enregistré ici")),
                     qPrintable(asked.value(0)));
            QCOMPARE(readFile(file), QByteArray(answer == QMessageBox::Yes ? "xA1\n" : "B22\n"));
            QCOMPARE(view->toPlainText(), shown);
            QCOMPARE(doc->isModified(), answer == QMessageBox::No);
            return;
        }
        if (edited) {
            QTRY_COMPARE(asked.size(), 1);
            QVERIFY2(asked[0].contains(QStringLiteral("a été modifié par un autre programme")), qPrintable(asked[0]));
            QVERIFY(asked[0].contains(file));
        }
        QTRY_COMPARE(view->toPlainText(), shown);
        QCOMPARE(doc->isModified(), shown != "B22\n");
        if (!edited) QCOMPARE(view->textCursor().position(), 1);  // the caret stays where it was
        QCOMPARE(asked.size(), edited ? 1 : 0);

        if (doc->isModified()) {
            // Kept: saving writes over the version seen without a further question.
            QVERIFY(frame->runCommand(cmd::kFileSave));
            QCOMPARE(readFile(file), QByteArray("xA1\n"));
        } else {
            // Reloaded: the file is still watched (after a rename, the new one) and followed again.
            writeFile(file, "C333\n");
            QTRY_COMPARE(view->toPlainText(), QStringLiteral("C333\n"));
        }
        // The workbench's own save is no change from outside.
        QTest::keyClicks(view, QStringLiteral("y"));
        QVERIFY(frame->runCommand(cmd::kFileSave));
        const QString saved = view->toPlainText();
        QTest::qWait(500);
        QCOMPARE(asked.size(), edited ? 1 : 0);
        QCOMPARE(view->toPlainText(), saved);
        QVERIFY(!doc->isModified());
    }

    // A long source goes into the editor in slices after the first screens: read-only meanwhile,
    // and whatever needs the whole text first takes the rest at once. Every row ends with the
    // whole text (CR LF line ends, tabs and accents kept), unmodified, nothing to undo, editable.
    void longSourceLoadsInSlices_data() {
        QTest::addColumn<QString>("during");
        for (const char* row : {"nothing", "save", "go to line", "changed on disk"}) QTest::newRow(row) << row;
    }
    void longSourceLoadsInSlices() {
        QFETCH(QString, during);
        auto lines = [](const char* word) {
            QByteArray bytes;
            for (int i = 1; i <= 20000; ++i)
                bytes += QByteArray(word) + QByteArray::number(i) + "\tMOVE.L D0,(A0)+ ; é\r\n";
            return bytes;
        };
        CMainFrame* frame = start();
        const QString file = writeFile(path(QStringLiteral("long.src")), lines("L"));
        const QByteArray expected = lines(during == "changed on disk" ? "M" : "L");
        CKorvanDoc* doc = app->openSourceDocument(file);
        QVERIFY(doc && doc->isLoading());
        CKorvanView* view = activeView();
        QVERIFY(view->isReadOnly());
        if (during == "save") {
            QVERIFY(frame->runCommand(cmd::kFileSave));
            QVERIFY(!doc->isLoading());
        } else if (during == "go to line") {
            GoToLine(view, 18999);
            QCOMPARE(view->textCursor().blockNumber(), 18999);
        } else if (during == "changed on disk") {
            writeFile(file, expected);
        }
        QTRY_COMPARE_WITH_TIMEOUT(view->toPlainText().toUtf8(), QByteArray(expected).replace("\r\n", "\n"), 20000);
        QVERIFY(!doc->isLoading());
        QCOMPARE(readFile(file), expected);
        QVERIFY(!doc->isModified());
        QVERIFY(!doc->textDocument()->isUndoAvailable());
        QVERIFY(!view->isReadOnly());
    }

    // Alt with a character that opens no menu types nothing; the caret's line stays marked.
    void altKeysDoNotType() {
        CKorvanView* view = startWithText(QString());
        const struct {
            int key, modifiers;
            const char *text, *expected;
        } presses[] = {{Qt::Key_Z, Qt::AltModifier, "z", "ab\ncd"},
                       {Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier, "Q", "ab\ncd"},
                       {Qt::Key_1, Qt::AltModifier, "1", "ab\ncd"},
                       {Qt::Key_Z, Qt::NoModifier, "z", "ab\nzcd"}};  // plain Z still types
        for (const auto& p : presses) {
            view->setPlainText(QStringLiteral("ab\ncd"));
            view->document()->textDocument()->setModified(false);
            GoToLine(view, 1);
            QKeyEvent press(QEvent::KeyPress, p.key, Qt::KeyboardModifiers(p.modifiers), QString::fromLatin1(p.text));
            QApplication::sendEvent(view, &press);
            QCOMPARE(view->toPlainText(), QString::fromLatin1(p.expected));
            QCOMPARE(view->document()->isModified(), p.modifiers == Qt::NoModifier);
            const QList<QTextEdit::ExtraSelection> marks = view->extraSelections();
            QCOMPARE(marks.size(), 1);
            QCOMPARE(marks.first().cursor.blockNumber(), 1);
            QCOMPARE(marks.first().format.background().color(), CKorvanView::caretLineColour());
        }
    }

    void droppedFilesOpenColouredAndPrint() {
        CMainFrame* frame = start();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(writeFile(path(QStringLiteral("a.src")), "A")),
                      QUrl::fromLocalFile(writeFile(path(QStringLiteral("c.c")), "int x; /* note */\nplain words\n"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame, &drop);
        QCOMPARE(windowCount(), 2);
        QCOMPARE(activeView()->document()->title(), QStringLiteral("c.c"));
        QCoreApplication::processEvents();
        QVERIFY(!activeView()->document()->textDocument()->firstBlock().layout()->formats().isEmpty());
        QVERIFY(!activeView()->document()->isModified());  // colouring is no change
        const QString pdf = path(QStringLiteral("out.pdf"));
        app->printer().setOutputFormat(QPrinter::PdfFormat);
        app->printer().setOutputFileName(pdf);
        QVERIFY(frame->runCommand(cmd::kFilePrintDirect));
        QVERIFY(readFile(pdf).startsWith("%PDF"));
    }

    void findReplaceAll() {
        CKorvanView* view = startWithText(QStringLiteral("move d0\nMOVE d1\nremove\n"));
        FindState& s = frame()->findState();
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
        QVERIFY(frame()->runCommand(cmd::kEditRepeat));
        QCOMPARE(view->textCursor().selectionStart(), 0);
        QVERIFY(frame()->runCommand(cmd::kEditRepeat));
        QCOMPARE(view->caretLine(), 2);
        s.what = QStringLiteral("absent");
        QString message;
        answerBox(&message);
        QVERIFY(!view->findNext());
        QCOMPARE(message, QStringLiteral("Impossible de trouver « absent »."));
    }

    // ---- the source editor's gutter and debugging marks ----

    void gutterClickAsksForItsLine_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("shown");  // current line set first, scrolling the view there
        QTest::addColumn<int>("line");   // 0: a click below the text, which asks nothing
        QTest::newRow("first") << 1000 << 0 << 1;
        QTest::newRow("fifth") << 1000 << 0 << 5;
        QTest::newRow("scrolled far down") << 1000 << 700 << 705;
        QTest::newRow("below the text") << 2 << 0 << 0;
    }
    void gutterClickAsksForItsLine() {
        QFETCH(int, lines);
        QFETCH(int, shown);
        QFETCH(int, line);
        CKorvanView* view = viewWith(numberedLines(lines));
        QVERIFY(view);
        if (shown) view->setCurrentLine(shown);
        QVERIFY(!line || lineOnScreen(view, line));
        QSignalSpy asked(view, &CKorvanView::breakpointToggleRequested);
        QTest::mouseClick(gutterOf(view), Qt::LeftButton, {},
                          QPoint(5, line ? lineY(view, line) : gutterOf(view)->height() - 3));
        QCOMPARE(asked.size(), line ? 1 : 0);
        if (line) QCOMPARE(asked.first().first().toInt(), line);
        // The view leaves its marks to the debugger.
        QVERIFY(view->breakpointLines().isEmpty());
    }

    void marksFollowEdits_data() {
        rows<Edit>("edit", {{"line inserted at the top", {1, 0, 0, "new\n", {4, 8}, 6, true}},
                            {"Enter at the start of a marked line", {3, 0, 0, "\n", {4, 8}, 6, true}},
                            {"Enter at the end of a marked line", {3, 2, 0, "\n", {3, 8}, 6, true}},
                            {"typing at the start of a marked line", {3, 0, 0, "x", {3, 7}, 5, false}},
                            {"edit below every mark", {9, 1, 1, "\n\n", {3, 7}, 5, false}},
                            {"marked line deleted", {3, 0, 3, "", {3, 6}, 4, true}},
                            {"marked line joined to the one above", {7, 0, -1, "", {3, 6}, 5, true}},
                            {"lines 3 to 7 deleted", {3, 0, 15, "", {3}, 3, true}},
                            {"reload, longer", {0, 0, 0, numberedLines(20), {3, 7}, 5, false}},
                            {"document reloaded", {-1, 0, 0, numberedLines(12), {3, 7}, 5, false}},
                            {"all deleted, then typing", {-2, 0, 0, "a\nb\nc", {3}, 0, true}},
                            {"reload, shorter", {0, 0, 0, numberedLines(4), {3}, 0, true}}});
    }
    void marksFollowEdits() {
        QFETCH(Edit, edit);
        const auto& [line, column, remove, insert, breakpoints, current, moved] = edit;
        CKorvanView* view = viewWith(numberedLines(10));
        QVERIFY(view);
        view->setBreakpointLines({3, 7, 0, 11});  // out of the text: ignored
        view->setCurrentLine(5);
        QCOMPARE(sorted(view->breakpointLines()), (QList<int>{3, 7}));
        QSignalSpy movedSpy(view, &CKorvanView::breakpointLinesMoved);
        QSignalSpy asked(view, &CKorvanView::breakpointToggleRequested);
        if (line == 0) {
            view->setPlainText(insert);
        } else if (line == -1) {
            view->QPlainTextEdit::document()->setPlainText(insert);
        } else if (line == -2) {
            view->selectAll();
            view->textCursor().removeSelectedText();
            view->textCursor().insertText(insert);
        } else {
            QTextCursor c(view->QPlainTextEdit::document()->findBlockByNumber(line - 1));
            c.setPosition(c.position() + column);
            if (remove < 0)
                c.deletePreviousChar();
            else
                c.setPosition(c.position() + remove, QTextCursor::KeepAnchor);
            c.insertText(insert);
        }
        QCOMPARE(sorted(view->breakpointLines()), breakpoints);
        QCOMPARE(view->currentLine(), current);
        QCOMPARE(movedSpy.isEmpty(), !moved);
        QCOMPARE(asked.size(), 0);
        // The current line's background follows too, after the caret line's.
        const QList<QTextEdit::ExtraSelection> marks = view->extraSelections();
        QCOMPARE(marks.size(), current ? 2 : 1);
        QCOMPARE(marks.first().format.background().color(), CKorvanView::caretLineColour());
        if (current) {
            QCOMPARE(marks.last().format.background().color(), CKorvanView::currentLineColour());
            QCOMPARE(marks.last().cursor.blockNumber(), current - 1);
        }
        // The gutter's red marks follow as well, beside the breakpoints' lines only.
        QApplication::processEvents();
        for (int l = 1; l <= view->blockCount() && lineOnScreen(view, l); ++l)
            QVERIFY2(redMarkAt(view, l) == breakpoints.contains(l), qPrintable(QString::number(l)));
    }

    // The gutter grows with the line count; the current line is brought into view.
    void gutterWidthAndCurrentLineFollowTheText() {
        CKorvanView* view = viewWith(numberedLines(10));
        QVERIFY(view);
        const int small = view->gutterWidth();
        QCOMPARE(gutterOf(view)->width(), small);
        QVERIFY(view->viewport()->geometry().left() >= small);
        view->setPlainText(numberedLines(100000));
        QApplication::processEvents();
        const int big = view->gutterWidth();
        QVERIFY2(big > small, qPrintable(QStringLiteral("%1 <= %2").arg(big).arg(small)));
        QCOMPARE(gutterOf(view)->width(), big);
        QVERIFY(view->viewport()->geometry().left() >= big);
        QVERIFY(!lineOnScreen(view, 800));
        view->setCurrentLine(800);
        QCOMPARE(view->currentLine(), 800);
        QVERIFY(lineOnScreen(view, 800));
        // Near the middle of the view, and the caret went there.
        const int y = lineY(view, 800), h = view->viewport()->height();
        QVERIFY2(y > h / 4 && y < h * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(y).arg(h)));
        QCOMPARE(view->caretLine(), 799);
        // A line already on screen moves neither the view nor the caret.
        const int scroll = view->verticalScrollBar()->value();
        view->setCurrentLine(802);
        QCOMPARE(view->verticalScrollBar()->value(), scroll);
        QCOMPARE(view->caretLine(), 799);
        QCOMPARE(view->currentLine(), 802);
        // The wheel over the gutter scrolls the text.
        QWheelEvent wheel(QPointF(5, 5), gutterOf(view)->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(gutterOf(view), &wheel);
        QVERIFY(view->verticalScrollBar()->value() > scroll);
        // Back to the top, and none.
        view->setCurrentLine(2);
        QVERIFY(lineOnScreen(view, 2));
        view->setCurrentLine(0);
        QCOMPARE(view->currentLine(), 0);
        QCOMPARE(view->extraSelections().size(), 1);
    }
};

QTEST_MAIN(TstWorkbench)
#include "tst_workbench.moc"
