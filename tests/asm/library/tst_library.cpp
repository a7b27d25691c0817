// Tests of the assembler library's Qt layer: the progress dialog, the configuration dialog and
// the settings it writes, and the entry points AsmFile and SetRepertoire driving whole runs.
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "driver/asm_dialogs.h"
#include "driver/diagnostics.h"
#include "driver/entry_points.h"
#include "driver/run.h"
#include "qt_test_support.h"

using qubrix::CAsmDlg;
using qubrix::Language;
using qubrix::PassCounts;

namespace {

// S-records of " NOP" at 0x802000 and at 0x900000, worked out by hand.
const QByteArray kNopAbs = "S004000020DB\r\nS307008020004E7199\r\nS5030001FB\r\nS9030000FC\r\nS705008020005A\r\n";
const QByteArray kNopAbsAt900000 =
    "S004000020DB\r\nS307009000004E71A9\r\nS5030001FB\r\nS9030000FC\r\nS705009000006A\r\n";

const char* const kCleanSource = " NOP\n END\n";
const char* const kWarningSource = " DC.L $100000000\n END\n";  // 0x102 on line 1
const char* const kErrorSource = " NOP\n FOO\n END\n";          // 0x402 on line 2

QString Text(QWidget* parent, const char* name) { return parent->findChild<QLineEdit*>(name)->text(); }

void Click(QDialog* dialog, const char* button) {
    if (auto* b = dialog->findChild<QPushButton*>(button)) QTest::mouseClick(b, Qt::LeftButton);
}

// What a modal dialog showed when it was acted on.
struct Shown {
    bool acted = false;
    QString title, fileText, errors, warnings;
    bool monitorEnabled = false;
};

// Acts on the next modal dialog once it is up and, for the progress dialog, once the run has
// filled in the counts (at once with duringRun); a dialog left up fails the test (see
// wbtest::resetWatchers) instead of hanging it.
std::shared_ptr<Shown> WhenShown(std::function<void(QDialog*)> act, bool duringRun = false) {
    auto shown = std::make_shared<Shown>();
    wbtest::whileModal<QDialog>([=](QDialog* dialog) {
        if (shown->acted) return true;
        if (dialog->findChild<QLineEdit*>("errorCountEdit")) {
            if (!duringRun && Text(dialog, "errorCountEdit").isEmpty()) return false;  // the run is not over yet
            shown->errors = Text(dialog, "errorCountEdit");
            shown->warnings = Text(dialog, "warningCountEdit");
            shown->fileText = Text(dialog, "fileEdit");
            shown->monitorEnabled = dialog->findChild<QPushButton*>("monitorButton")->isEnabled();
        }
        shown->title = dialog->windowTitle();
        shown->acted = true;
        act(dialog);
        return true;
    });
    return shown;
}

// Presses the named button; when it does nothing (disabled), leaves with Cancel.
std::function<void(QDialog*)> Press(const QString& button) {
    return [button](QDialog* dialog) {
        Click(dialog, button.toLatin1().constData());
        if (dialog->isVisible()) Click(dialog, "cancelButton");
    };
}

}  // namespace

class TestLibrary : public QObject {
    Q_OBJECT

private slots:

    void initTestCase() {
        QVERIFY(m_settingsDir.isValid());
        wbtest::isolateSettings(m_settingsDir.path());  // never the user's own settings
    }

    void init() {
        wbtest::resetWatchers();
        for (const char* store : {"qubrix", "korvan"}) QSettings("hvl_mobr", store).clear();
        // "message.txt" goes into the current folder: give every test its own.
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(m_work->isValid());
        QVERIFY(QDir::setCurrent(m_work->path()));
        SetRepertoire("");
    }

    void cleanup() {
        QDir::setCurrent(m_startDir);
        m_work.reset();
    }

    // The run starts from the event loop once the dialog is shown, exactly once.
    void asmDlgRunsOnceWhenShown() {
        std::atomic<int> runs = 0;
        std::string pathSeen;
        CAsmDlg dialog(
            nullptr, "/src/a.asm",
            [&](const std::string& path) {
                pathSeen = path;
                ++runs;
                return PassCounts{0, 2, false};
            },
            Language::English);
        QCoreApplication::processEvents();
        QCOMPARE(runs.load(), 0);
        dialog.show();
        QCOMPARE(runs.load(), 0);  // not from inside show()
        QTRY_COMPARE(Text(&dialog, "warningCountEdit"), QStringLiteral("2"));
        QCOMPARE(runs.load(), 1);
        QCOMPARE(pathSeen, std::string("/src/a.asm"));
        QCOMPARE(Text(&dialog, "errorCountEdit"), QStringLiteral("0"));
        dialog.hide();
        dialog.show();
        QTest::qWait(50);
        QCOMPARE(runs.load(), 1);
    }

    // The passes run on a worker thread: while they run the dialog is up and live with empty counts.
    // Cancel, or closing the window, asks the run to stop once, and the dialog closes with Rejected
    // only when the runner has returned.
    void asmDlgCancelDuringRun_data() {
        QTest::addColumn<bool>("closeWindow");
        QTest::newRow("cancel button") << false;
        QTest::newRow("window closed") << true;
    }

    void asmDlgCancelDuringRun() {
        QFETCH(bool, closeWindow);
        std::atomic<bool> running = false, release = false;
        int cancels = 0;
        CAsmDlg dialog(
            nullptr, "a.asm",
            [&](const std::string&) {
                running = true;
                while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return PassCounts{0, 0, false};
            },
            Language::English);
        dialog.setCanceller([&] { ++cancels; });
        dialog.show();
        QTRY_VERIFY(running && dialog.running());
        QCOMPARE(Text(&dialog, "errorCountEdit") + Text(&dialog, "warningCountEdit"), QString());
        QVERIFY(!dialog.findChild<QPushButton*>("monitorButton")->isEnabled());
        for (int i = 0; i < 2; ++i) closeWindow ? (void)dialog.close() : Click(&dialog, "cancelButton");
        QCOMPARE(cancels, 1);
        QVERIFY(dialog.isVisible());  // the runner has not returned yet
        release = true;
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(cancels, 1);
    }

    // Cancelled in the middle of a long source, AsmFile returns 0, leaves no object file to
    // download, and its listing ends without the summary of a finished run.
    void asmFileCancelledRun() {
        QByteArray source;
        for (int i = 0; i < 400000; ++i) source += " NOP\n";
        const auto driver = WhenShown(Press("cancelButton"), true);
        ListErreur list;
        QCOMPARE(runAsmFile(wbtest::writeFile(m_work->filePath("prog.asm"), source), *driver, &list), 0);
        QCOMPARE(driver->errors, QString());  // pressed while the run was going
        QVERIFY(!QFile::exists(m_work->filePath("prog.abs")));
        QVERIFY(!wbtest::readFile(m_work->filePath("prog.lis")).contains("detected"));
        const QByteArray message = wbtest::readFile(m_work->filePath("message.txt"));
        QVERIFY2(message.contains("Assembly cancelled by the user\r\n"), message.constData());
        QVERIFY(message.contains("Nom\tdebut\tfin\ttaille"));
    }

    void asmDlgRunnerException() {
        CAsmDlg dialog(
            nullptr, "a.asm", [](const std::string&) -> PassCounts { throw std::runtime_error("read error"); },
            Language::English);
        dialog.show();
        QTRY_VERIFY(dialog.started() && !dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.runException() != nullptr);
        QVERIFY(!dialog.findChild<QPushButton*>("monitorButton")->isEnabled());
    }

    // ConfigureAsm shows the stored origins (or the defaults), stores what was typed on OK exactly
    // as typed, and writes nothing on Cancel.
    void confAsm_data() {
        QTest::addColumn<QString>("stored");  // code and var, blank-separated; empty: not stored
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accept");
        // clang-format off
        QTest::newRow("defaults, ok") << "" << "802000 803000" << "100000 0x200000" << true;
        QTest::newRow("stored, ok") << "A00000 B00000" << "A00000 B00000" << "A00000 B00004" << true;
        QTest::newRow("not hex, kept as typed") << "" << "802000 803000" << "ZZ+top _12_" << true;
        QTest::newRow("defaults, cancel") << "" << "802000 803000" << "100000 200000" << false;
        QTest::newRow("stored, cancel") << "A00000 B00000" << "A00000 B00000" << "1 2" << false;
        // clang-format on
    }

    void confAsm() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(bool, accept);
        if (!stored.isEmpty()) {
            wbtest::setStore("ASSEMBLEUR/SECTION 9", stored.section(' ', 0, 0), "qubrix");
            wbtest::setStore("ASSEMBLEUR/SECTION 15", stored.section(' ', 1, 1), "qubrix");
        }
        QString seen;
        const auto driver = WhenShown([&](QDialog* dialog) {
            seen = Text(dialog, "codeOriginEdit") + ' ' + Text(dialog, "varOriginEdit");
            dialog->findChild<QLineEdit*>("codeOriginEdit")->setText(typed.section(' ', 0, 0));
            dialog->findChild<QLineEdit*>("varOriginEdit")->setText(typed.section(' ', 1, 1));
            Click(dialog, accept ? "validateButton" : "cancelButton");
        });
        ConfigureAsm(nullptr);
        QVERIFY(driver->acted);
        QCOMPARE(seen, shown);
        QSettings settings("hvl_mobr", "qubrix");
        const QString after = settings.value("ASSEMBLEUR/SECTION 9").toString() + ' ' +
                              settings.value("ASSEMBLEUR/SECTION 15").toString();
        QCOMPARE(after, accept ? typed : stored.isEmpty() ? QStringLiteral(" ") : stored);
        QVERIFY(!settings.contains("ASSEMBLEUR/LISTFLAG"));
    }

    // The include folder is kept with one '/' at its end; an empty one stays empty.
    void setRepertoire() {
        for (auto [dir, stored] :
             {std::pair{"", ""}, {"/src", "/src/"}, {"/src/", "/src/"}, {"/", "/"}, {"inc", "inc/"}}) {
            SetRepertoire("/somewhere/else");
            SetRepertoire(dir);
            QCOMPARE(QString::fromStdString(qubrix::WorkingDirectory()), QString(stored));
        }
    }

    // AsmFile returns 1 only when the user leaves with "Monitor..." after a run without errors whose
    // files were all written; the dialog shows the counts (Monitor enabled without an error) and
    // the list gets every diagnostic, in the workbench's language: exactly "FRANCAIS" (the default)
    // is French, anything else English. The library's own settings give a listing when LISTFLAG
    // starts with '1' (read, never written) and the code origin in hexadecimal (else the default).
    void asmFile_data() {
        QTest::addColumn<QString>("source");    // empty: no file at all
        QTest::addColumn<QString>("settings");  // "KEY=VALUE;..." stored before the run
        QTest::addColumn<QString>("button");
        // An output that is /dev/full, a disk that fills up; with a '/' at the end, a folder.
        QTest::addColumn<QString>("badOutput");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("counts");  // errors and warnings shown
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<bool>("french");
        QTest::addColumn<QByteArray>("abs");  // the object file of a clean run (empty: not checked)
        QTest::addColumn<bool>("listing");    // with abs: a listing was written
        // clang-format off
        const QString clean = kCleanSource, error = kErrorSource, m = "monitorButton", c = "cancelButton";
        const QString lang = "KORVAN/LANGAGE=", asmb = "ASSEMBLEUR/";
        const QList<int> none, e102{0x102}, e402{0x402}, e406{0x406}, e408{0x408};
        const QByteArray x;  // the object file not checked
        QTest::newRow("clean, monitor") << clean << "" << m << "" << 1 << "0 0" << none << true << kNopAbs << true;
        QTest::newRow("clean, cancel") << clean << "" << c << "" << 0 << "0 0" << none << true << kNopAbs << true;
        QTest::newRow("warnings only, monitor") << kWarningSource << "" << m << "" << 1 << "0 1" << e102 << true << x << true;
        QTest::newRow("error, monitor pressed") << error << "" << m << "" << 0 << "1 0" << e402 << true << x << true;
        QTest::newRow("error, cancel") << error << "" << c << "" << 0 << "1 0" << e402 << true << x << true;
        QTest::newRow("missing source") << "" << "" << m << "" << 0 << "1 0" << e406 << true << x << true;
        QTest::newRow("object file not written") << clean << "" << m << "prog.abs" << 0 << "0 0" << e408 << true << x << true;
        QTest::newRow("listing not written") << clean << "" << m << "prog.lis" << 0 << "0 0" << e408 << true << x << true;
        QTest::newRow("object file not created") << clean << "" << m << "prog.abs/" << 0 << "1 0" << e408 << true << x << true;
        QTest::newRow("FRANCAIS") << error << lang + "FRANCAIS" << c << "" << 0 << "1 0" << e402 << true << x << true;
        QTest::newRow("ANGLAIS") << error << lang + "ANGLAIS" << c << "" << 0 << "1 0" << e402 << false << x << true;
        QTest::newRow("lower case is not FRANCAIS") << error << lang + "francais" << c << "" << 0 << "1 0" << e402 << false << x << true;
        QTest::newRow("language empty") << error << lang << c << "" << 0 << "1 0" << e402 << false << x << true;
        QTest::newRow("LISTFLAG 1") << clean << asmb + "LISTFLAG=1" << m << "" << 1 << "0 0" << none << true << kNopAbs << true;
        QTest::newRow("LISTFLAG 10") << clean << asmb + "LISTFLAG=10" << m << "" << 1 << "0 0" << none << true << kNopAbs << true;
        QTest::newRow("LISTFLAG 0") << clean << asmb + "LISTFLAG=0" << m << "" << 1 << "0 0" << none << true << kNopAbs << false;
        QTest::newRow("LISTFLAG empty") << clean << asmb + "LISTFLAG=" << m << "" << 1 << "0 0" << none << true << kNopAbs << false;
        QTest::newRow("LISTFLAG x1") << clean << asmb + "LISTFLAG=x1" << m << "" << 1 << "0 0" << none << true << kNopAbs << false;
        QTest::newRow("code origin in hex") << clean << asmb + "SECTION 9=900000" << m << "" << 1 << "0 0" << none << true << kNopAbsAt900000 << true;
        QTest::newRow("code origin after 0x") << clean << asmb + "SECTION 9=0x900000" << m << "" << 1 << "0 0" << none << true << kNopAbsAt900000 << true;
        QTest::newRow("code origin not hex: default") << clean << asmb + "SECTION 9=XYZ" << m << "" << 1 << "0 0" << none << true << kNopAbs << true;
        // clang-format on
    }

    void asmFile() {
        QFETCH(QString, source);
        QFETCH(QString, settings);
        QFETCH(QString, button);
        QFETCH(QString, badOutput);
        QFETCH(int, result);
        QFETCH(QString, counts);
        QFETCH(QList<int>, codes);
        QFETCH(bool, french);
        QFETCH(QByteArray, abs);
        QFETCH(bool, listing);
        for (const QString& setting : settings.split(';', Qt::SkipEmptyParts))
            wbtest::setStore(setting.section('=', 0, 0), setting.section('=', 1),
                             setting.startsWith("KORVAN/") ? "korvan" : "qubrix");
        // Start from the other language to see the setting being applied.
        qubrix::SetCatalogueLanguage(french ? Language::English : Language::French);
        const QString path = source.isEmpty() ? m_work->filePath("absent.asm")
                                              : wbtest::writeFile(m_work->filePath("prog.asm"), source.toUtf8());
        const bool fullOutput = !badOutput.isEmpty() && !badOutput.endsWith('/');
        if (fullOutput) QVERIFY(QFile::link("/dev/full", m_work->filePath(badOutput)));
        if (badOutput.endsWith('/')) QVERIFY(QDir(m_work->path()).mkdir(badOutput));

        ListErreur list;  // the settings rows give none, as a caller may
        const auto driver = WhenShown(Press(button));
        QCOMPARE(runAsmFile(path, *driver, settings.startsWith("ASSEMBLEUR/") ? nullptr : &list), result);
        QCOMPARE(driver->title, french ? QStringLiteral("Assembleur") : QStringLiteral("Assembler"));
        QCOMPARE(driver->fileText, QStringLiteral("prog.asm"));
        QCOMPARE(driver->monitorEnabled, counts.startsWith("0 "));
        QCOMPARE(driver->errors + ' ' + driver->warnings, counts);
        QList<int> seen;
        for (ErreurAsm* e = list.GetFirstErreur(); e != nullptr; e = list.GetNextErreur()) {
            seen << e->LitCode();
            QCOMPARE(e->LitErreur(),
                     std::string(qubrix::CatalogueText(e->LitCode(), french ? Language::French : Language::English)));
            if (e->LitCode() != qubrix::kErrWriteFile) QCOMPARE(QString::fromStdString(e->LitFichier()), path);
        }
        QCOMPARE(seen, codes);

        const QByteArray message = wbtest::readFile(m_work->filePath("message.txt"));
        QVERIFY2(message.startsWith(" Assemblage du fichier : " + path.toUtf8()), message.constData());
        QVERIFY(message.contains("Nom\tdebut\tfin\ttaille"));
        QCOMPARE(message.contains("Error writing to"), fullOutput);
        QCOMPARE(QSettings("hvl_mobr", "qubrix").contains("ASSEMBLEUR/LISTFLAG"), settings.contains("LISTFLAG"));
        if (!abs.isEmpty()) {
            // The termination records are written after the dialog, whichever way it was left.
            QCOMPARE(wbtest::readFile(m_work->filePath("prog.abs")), abs);
            QCOMPARE(QFile::exists(m_work->filePath("prog.lis")), listing);
            if (listing)
                QVERIFY(wbtest::readFile(m_work->filePath("prog.lis"))
                            .endsWith("No errors detected\r\nNo warnings generated\r\n"));
        }
    }

private:
    int runAsmFile(const QString& source, const Shown& shown, ListErreur* list) {
        const int result = AsmFile(nullptr, "prog.asm", source.toStdString(), list);
        if (!shown.acted) qWarning("the progress dialog never came up or never showed its counts");
        return result;
    }

    QTemporaryDir m_settingsDir;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_startDir = QDir::currentPath();
};

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"
