// Tests of the assembler library's Qt layer: the progress dialog, the configuration dialog and
// the settings it writes, and the entry points AsmFile and SetRepertoire driving whole runs.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
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

QByteArray ReadAll(const QString& path) { return wbtest::readFile(path); }

void Store(const char* store, const char* key, const QVariant& value) {
    if (value.isValid()) wbtest::setStore(key, value, store);
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
        QCOMPARE(runAsmFile(writeSource(source.constData()), *driver, &list), 0);
        QCOMPARE(driver->errors, QString());  // pressed while the run was going
        QVERIFY(!QFile::exists(m_work->filePath("prog.abs")));
        QVERIFY(!ReadAll(m_work->filePath("prog.lis")).contains("detected"));
        const QByteArray message = ReadAll(m_work->filePath("message.txt"));
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
            Store("qubrix", "ASSEMBLEUR/SECTION 9", stored.section(' ', 0, 0));
            Store("qubrix", "ASSEMBLEUR/SECTION 15", stored.section(' ', 1, 1));
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

    void setRepertoire_data() {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("stored");
        // clang-format off
        QTest::newRow("empty stays empty") << "" << "";
        QTest::newRow("separator added") << "/home/eleve/src" << "/home/eleve/src/";
        QTest::newRow("separator kept") << "/home/eleve/src/" << "/home/eleve/src/";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("relative") << "inc" << "inc/";
        // clang-format on
    }

    void setRepertoire() {
        QFETCH(QString, dir);
        QFETCH(QString, stored);
        SetRepertoire("/somewhere/else");
        SetRepertoire(dir.toStdString());
        QCOMPARE(QString::fromStdString(qubrix::WorkingDirectory()), stored);
    }

    // AsmFile returns 1 only when the user leaves with "Monitor..." after a run without errors whose
    // files were all written; the dialog shows the counts and the list gets every diagnostic.
    void asmFileResult_data() {
        QTest::addColumn<QString>("source");  // empty: no file at all
        QTest::addColumn<QString>("button");
        // An output that is /dev/full, a disk that fills up; with a '/' at the end, a folder.
        QTest::addColumn<QString>("badOutput");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("monitorEnabled");
        QTest::addColumn<QString>("counts");  // errors and warnings shown
        QTest::addColumn<QList<int>>("codes");
        // clang-format off
        QTest::newRow("clean, monitor") << kCleanSource << "monitorButton" << "" << 1 << true << "0 0" << QList<int>{};
        QTest::newRow("clean, cancel") << kCleanSource << "cancelButton" << "" << 0 << true << "0 0" << QList<int>{};
        QTest::newRow("warnings only, monitor") << kWarningSource << "monitorButton" << "" << 1 << true << "0 1" << QList<int>{0x102};
        QTest::newRow("error, monitor pressed") << kErrorSource << "monitorButton" << "" << 0 << false << "1 0" << QList<int>{0x402};
        QTest::newRow("error, cancel") << kErrorSource << "cancelButton" << "" << 0 << false << "1 0" << QList<int>{0x402};
        QTest::newRow("missing source") << "" << "monitorButton" << "" << 0 << false << "1 0" << QList<int>{0x406};
        QTest::newRow("object file not written") << kCleanSource << "monitorButton" << "prog.abs" << 0 << true << "0 0" << QList<int>{0x408};
        QTest::newRow("listing not written") << kCleanSource << "monitorButton" << "prog.lis" << 0 << true << "0 0" << QList<int>{0x408};
        QTest::newRow("object file not created") << kCleanSource << "monitorButton" << "prog.abs/" << 0 << false << "1 0" << QList<int>{0x408};
        // clang-format on
    }

    void asmFileResult() {
        QFETCH(QString, source);
        QFETCH(QString, button);
        QFETCH(QString, badOutput);
        QFETCH(int, result);
        QFETCH(bool, monitorEnabled);
        QFETCH(QString, counts);
        QFETCH(QList<int>, codes);
        const QString path =
            source.isEmpty() ? m_work->filePath("absent.asm") : writeSource(source.toUtf8().constData());
        const bool fullOutput = !badOutput.isEmpty() && !badOutput.endsWith('/');
        if (fullOutput) QVERIFY(QFile::link("/dev/full", m_work->filePath(badOutput)));
        if (badOutput.endsWith('/')) QVERIFY(QDir(m_work->path()).mkdir(badOutput));

        ListErreur list;
        const auto driver = WhenShown(Press(button));
        QCOMPARE(runAsmFile(path, *driver, &list), result);
        QCOMPARE(driver->fileText, QStringLiteral("prog.asm"));
        QCOMPARE(driver->monitorEnabled, monitorEnabled);
        QCOMPARE(driver->errors + ' ' + driver->warnings, counts);
        QList<int> seen;
        for (ErreurAsm* e = list.GetFirstErreur(); e != nullptr; e = list.GetNextErreur()) {
            seen << e->LitCode();
            QCOMPARE(e->LitErreur(), std::string(qubrix::CatalogueText(e->LitCode(), Language::French)));
            if (e->LitCode() != qubrix::kErrWriteFile) QCOMPARE(QString::fromStdString(e->LitFichier()), path);
        }
        QCOMPARE(seen, codes);

        const QByteArray message = ReadAll(m_work->filePath("message.txt"));
        QVERIFY2(message.startsWith(" Assemblage du fichier : " + path.toUtf8()), message.constData());
        QVERIFY(message.contains("Nom\tdebut\tfin\ttaille"));
        QCOMPARE(message.contains("Error writing to"), fullOutput);
        if (source == kCleanSource && badOutput.isEmpty()) {
            // The termination records are written after the dialog, whichever way it was left.
            QCOMPARE(ReadAll(m_work->filePath("prog.abs")), kNopAbs);
            QVERIFY(ReadAll(m_work->filePath("prog.lis")).endsWith("No errors detected\r\nNo warnings generated\r\n"));
        }
    }

    // The workbench's language setting: exactly "FRANCAIS" (the default) is French, anything else
    // English; it sets the dialog's texts and the diagnostics' language.
    void asmFileLanguage_data() {
        QTest::addColumn<QVariant>("setting");  // invalid: not stored
        QTest::addColumn<bool>("french");
        QTest::newRow("not set: french") << QVariant() << true;
        QTest::newRow("FRANCAIS") << QVariant("FRANCAIS") << true;
        QTest::newRow("ANGLAIS") << QVariant("ANGLAIS") << false;
        QTest::newRow("lower case is not FRANCAIS") << QVariant("francais") << false;
        QTest::newRow("empty") << QVariant("") << false;
    }

    void asmFileLanguage() {
        QFETCH(QVariant, setting);
        QFETCH(bool, french);
        Store("korvan", "KORVAN/LANGAGE", setting);
        // Start from the other language to see the setting being applied.
        qubrix::SetCatalogueLanguage(french ? Language::English : Language::French);
        ListErreur list;
        const auto driver = WhenShown(Press("cancelButton"));
        QCOMPARE(runAsmFile(writeSource(kErrorSource), *driver, &list), 0);
        QCOMPARE(driver->title, french ? QStringLiteral("Assembleur") : QStringLiteral("Assembler"));
        QVERIFY(list.GetFirstErreur() != nullptr);
        QCOMPARE(QString::fromStdString(list.GetFirstErreur()->LitErreur()),
                 french ? QStringLiteral("ERREUR : Code instruction non valide")
                        : QStringLiteral("ERROR : bad instruction code"));
    }

    // The library's settings: a listing when LISTFLAG starts with '1' (read, never written), and
    // the code origin in hexadecimal, the default when it is not.
    void asmFileSettings_data() {
        QTest::addColumn<QVariant>("listFlag");  // invalid: not stored
        QTest::addColumn<QVariant>("codeOrigin");
        QTest::addColumn<bool>("listing");
        QTest::addColumn<QByteArray>("abs");
        QTest::newRow("nothing stored") << QVariant() << QVariant() << true << kNopAbs;
        QTest::newRow("LISTFLAG 1") << QVariant("1") << QVariant() << true << kNopAbs;
        QTest::newRow("LISTFLAG 10") << QVariant("10") << QVariant() << true << kNopAbs;
        QTest::newRow("LISTFLAG 0") << QVariant("0") << QVariant() << false << kNopAbs;
        QTest::newRow("LISTFLAG empty") << QVariant("") << QVariant() << false << kNopAbs;
        QTest::newRow("LISTFLAG x1") << QVariant("x1") << QVariant() << false << kNopAbs;
        QTest::newRow("code origin in hex") << QVariant() << QVariant("900000") << true << kNopAbsAt900000;
        QTest::newRow("code origin after 0x") << QVariant() << QVariant("0x900000") << true << kNopAbsAt900000;
        QTest::newRow("code origin not hex: default") << QVariant() << QVariant("XYZ") << true << kNopAbs;
    }

    void asmFileSettings() {
        QFETCH(QVariant, listFlag);
        QFETCH(QVariant, codeOrigin);
        QFETCH(bool, listing);
        QFETCH(QByteArray, abs);
        Store("qubrix", "ASSEMBLEUR/LISTFLAG", listFlag);
        Store("qubrix", "ASSEMBLEUR/SECTION 9", codeOrigin);
        const auto driver = WhenShown(Press("monitorButton"));
        QCOMPARE(runAsmFile(writeSource(kCleanSource), *driver, nullptr), 1);  // no list given
        QCOMPARE(QFile::exists(m_work->filePath("prog.lis")), listing);
        QCOMPARE(ReadAll(m_work->filePath("prog.abs")), abs);
        QCOMPARE(QSettings("hvl_mobr", "qubrix").contains("ASSEMBLEUR/LISTFLAG"), listFlag.isValid());
    }

private:
    QString writeSource(const char* text) {
        QFile file(m_work->filePath("prog.asm"));
        if (file.open(QIODevice::WriteOnly)) file.write(text);
        return file.fileName();
    }
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
