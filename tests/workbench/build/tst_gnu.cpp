// Drives the real workbench offscreen through the GNU build with the cross toolchain and the
// project's run-time: the examples build into S-records that match the linked program, failed
// steps show in "gnu.txt" and keep the next buttons disabled, Cancel ends a running tool, and
// the settings sheet stores what its pages show on OK only.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include "../workbench_harness.h"
#include "build/gnu_commands.h"
#include "build/gnu_dialog.h"
#include "build/erreur_view.h"
#include "build/gnu_settings.h"
#include "commands.h"
#include "korvan_doc.h"
#include "toolchain.h"

using namespace korvan::shell;
using namespace wbtest;
using korvan::build::CGnu;
using korvan::build::CGnuSheet;

namespace {

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
        const bool over = dlg->stage() == -1 || (dlg->mode() == CGnu::CompileOnly && dlg->stage() == 1) ||
                          (dlg->mode() == CGnu::Build && dlg->stage() == 2) ||
                          (dlg->mode() == CGnu::LinkOnly && dlg->stage() == 1);
        if (!over || dlg->toolRunning()) return false;
        auto button = [&](const char* name) { return dlg->findChild<QPushButton*>(QLatin1String(name)); };
        *seen = {true,
                 dlg->findChild<QLineEdit*>(QStringLiteral("outcomeEdit"))->text(),
                 button("linkerButton")->isEnabled(),
                 button("monitorButton")->isEnabled(),
                 {}};
        for (auto* b : dlg->findChildren<QPushButton*>())
            if (b->isDefault()) seen->defaultButton = b->objectName();
        QTimer::singleShot(0, button(press.toLatin1().constData()), &QAbstractButton::click);
        return true;
    });
}

// Bytes by address from S-records; false when a record's checksum or form is wrong.
bool readSRecords(const QByteArray& text, QMap<quint32, quint8>* bytes, QStringList* types, quint32* entry) {
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty()) continue;
        const QByteArray raw = QByteArray::fromHex(line.mid(2));
        if (line[0] != 'S' || raw.size() != quint8(raw[0]) + 1) return false;
        quint8 sum = 0;
        for (char b : raw) sum += quint8(b);
        if (sum != 0xFF) return false;
        const char type = line[1];
        *types << QString(QLatin1Char(type));
        const int addrLen = type == '2' || type == '8' ? 3 : type == '3' || type == '7' ? 4 : 2;
        quint32 addr = 0;
        for (int i = 0; i < addrLen; ++i) addr = addr << 8 | quint8(raw[1 + i]);
        if (type == '8' || type == '7') *entry = addr;
        if (type >= '1' && type <= '3')
            for (int i = 1 + addrLen; i < raw.size() - 1; ++i) (*bytes)[addr++] = quint8(raw[i]);
    }
    return true;
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

}  // namespace

class TstGnu : public QObject, public Workbench {
    Q_OBJECT

    void start() {
        QVERIFY(Workbench::start({}, korvan::build::installGnuCommands));
        frame()->setHandler(cmd::kMonitorWindow, {[this] { ++m_monitorCalls; }, {}, {}});
    }
    QString src(const QString& name) const { return path(QStringLiteral("src/") + name); }
    // Writes the source, opens it, types `typed` into it and runs the command; returns what the
    // dialog showed when the button named was pressed (none: the test answers the dialog itself).
    GnuSeen build(const QString& name, const QByteArray& text, int command, const QString& press,
                  const char* typed = "") {
        QDir().mkpath(src({}));
        writeFile(src(name), text);
        GnuSeen seen;
        if (!app->openSourceDocument(src(name))) return seen;
        QTest::keyClicks(activeView(), typed);
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

    int m_monitorCalls = 0;

private slots:
    void initTestCase() { Workbench::initTestCase(); }
    // Every build starts from a fresh settings file: the defaults hold without "Défaut".
    void init() {
        Workbench::init(false);
        m_monitorCalls = 0;
    }
    void cleanup() { Workbench::cleanup(); }
    bool haveToolchain() {
        const char* path = std::getenv("PATH");
        return findToolchain({"", QCoreApplication::applicationDirPath().toStdString(),
                              defaultScriptPrefix(std::getenv("KORVAN_TOOLCHAIN"), std::getenv("HOME")),
                              path ? path : ""})
                   .present &&
               QFileInfo::exists(korvan::build::runtimeFolder() + QStringLiteral("/korvan.specs"));
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

        QMap<quint32, quint8> srec;
        QStringList types;
        quint32 entry = 0;
        QVERIFY(readSRecords(readFile(src(QStringLiteral("main.abs"))), &srec, &types, &entry));
        QCOMPARE(types.join(QString()), u'0' + QString(types.size() - 2, u'2') + u'8');
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
        QTest::addColumn<QStringList>("rows");  // "line:column|kind" in main.c; empty: not compared
        QTest::addColumn<QPoint>("caret");      // column and line of the first row's place
        const QString failed = QStringLiteral("Il y a des erreurs de compilation!");
        QTest::newRow("warning fails the compile")
            << QByteArray("int main(void) { int x = \"s\"; return x; }\n") << QString() << failed
            << QByteArray("warning:") << QStringList{"1:26|warning"} << QPoint(25, 0);
        QTest::newRow("syntax error") << QByteArray("int main(void) {\n\tint x = \"s\";\n    return x }\n") << QString()
                                      << failed << QByteArray("error:") << QStringList{"2:17|warning", "3:13|error"}
                                      << QPoint(9, 1);  // the '"' after a tab and "int x = "
        QTest::newRow("stale program is not success")
            << QByteArray("int main(void) { return 0; }\n") << QStringLiteral("/nonexistent/crt0.o")
            << QStringLiteral("Il y a des erreurs de linkage!") << QByteArray("\r\nIl y a des erreurs!")
            << QStringList() << QPoint();
    }
    void failedSteps() {
        if (!haveToolchain()) QSKIP("the m68k-elf toolchain is not built (script/toolchain)");
        QFETCH(QByteArray, source);
        QFETCH(QString, files);
        QFETCH(QString, outcome);
        QFETCH(QByteArray, inCapture);
        QFETCH(QStringList, rows);
        QFETCH(QPoint, caret);
        if (!files.isEmpty()) setStore(QStringLiteral("GNU/FICHIER"), files);
        start();
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
        korvan::build::CErreurView* list = nullptr;
        for (QMdiSubWindow* w : frame()->mdiArea()->subWindowList())
            if (auto* v = qobject_cast<korvan::build::CErreurView*>(w->widget())) list = v;
        QVERIFY(list);
        QStringList shown;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shown << list->topLevelItem(i)->text(0) + u'|' + list->topLevelItem(i)->text(1) + u'|' +
                         list->topLevelItem(i)->text(2).section(u':', 0, 0);
        for (QString& row : rows) row.prepend(src(QStringLiteral("main.c|")));
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
            if (!dlg->toolRunning() || !QFileInfo::exists(pidFile)) return false;
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

    // A source that cannot be saved is not built: no tool runs on the older file on disk. Its
    // name is too long for the temporary file the save writes first; the file stays readable.
    void unsavableSourceIsNotBuilt() {
        start();
        const QString name = QString(250 - 2, u'g') + QStringLiteral(".c");
        const QByteArray old("int main(void) { return 0; }\n");
        QString message;
        answerBox(&message);
        const GnuSeen seen = build(name, old, cmd::kGnuBuild, QStringLiteral("cancelButton"), "/* nouveau */");
        QVERIFY2(message.contains(QStringLiteral("Impossible d'enregistrer")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Nom de fichier trop long")), qPrintable(message));
        QVERIFY(!seen.answered);
        QCOMPARE(m_monitorCalls, 0);
        QVERIFY(!QFileInfo::exists(src(QStringLiteral("gnu.txt"))));
        QCOMPARE(readFile(src(name)), old);
        QVERIFY(frame()->activeSourceView()->document()->isModified());
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
        const QString rt = korvan::build::runtimeFolder();
        store().clear();
        if (!stored.isEmpty()) setStore(QStringLiteral("GNU/FICHIER"), stored);
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
                     QStringLiteral("-specs=") + rt + QStringLiteral("/korvan.specs"));
    }
};

QTEST_MAIN(TstGnu)
#include "tst_gnu.moc"
