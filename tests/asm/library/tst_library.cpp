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
#include "../../support/table.h"
#include "qt_test_support.h"

using qubrix::CAsmDlg;
using qubrix::Language;
using qubrix::PassCounts;

namespace {

// The sources of the runs by name, and the S-records of " NOP" at an address, worked out by hand.
const QMap<QString, QString> kSources = {
    {"clean", " NOP\n END\n"}, {"warning", " DC.L $100000000\n END\n"}, {"error", " NOP\n FOO\n END\n"}, {"none", ""}};
const QMap<QString, QByteArray> kNopObjectFiles = {
    {"802000", "S004000020DB\r\nS307008020004E7199\r\nS5030001FB\r\nS9030000FC\r\nS705008020005A\r\n"},
    {"900000", "S004000020DB\r\nS307009000004E71A9\r\nS5030001FB\r\nS9030000FC\r\nS705009000006A\r\n"},
    {"", ""}};

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
    // only when the runner has returned; a runner that throws closes it too, asks no cancel and
    // leaves the exception for the caller.
    void asmDlgEndsOnlyWhenTheRunnerReturns_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("cancel button") << "cancel";
        QTest::newRow("window closed") << "close";
        QTest::newRow("runner throws") << "throw";
    }

    void asmDlgEndsOnlyWhenTheRunnerReturns() {
        QFETCH(QString, ending);
        std::atomic<bool> running = false, release = false;
        int cancels = 0;
        CAsmDlg dialog(
            nullptr, "a.asm",
            [&](const std::string&) {
                running = true;
                while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (ending == "throw") throw std::runtime_error("read error");
                return PassCounts{0, 0, false};
            },
            Language::English);
        dialog.setCanceller([&] { ++cancels; });
        dialog.show();
        QTRY_VERIFY(running && dialog.running());
        QCOMPARE(Text(&dialog, "errorCountEdit") + Text(&dialog, "warningCountEdit"), QString());
        QVERIFY(!dialog.findChild<QPushButton*>("monitorButton")->isEnabled());
        for (int i = 0; i < 2 && ending != "throw"; ++i)
            ending == "close" ? (void)dialog.close() : Click(&dialog, "cancelButton");
        QCOMPARE(cancels, ending == "throw" ? 0 : 1);
        QVERIFY(dialog.isVisible());  // the runner has not returned yet
        release = true;
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(cancels, ending == "throw" ? 0 : 1);
        QCOMPARE(dialog.runException() != nullptr, ending == "throw");
        if (ending == "throw") QVERIFY(!dialog.findChild<QPushButton*>("monitorButton")->isEnabled());
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
        QTest::addColumn<QStringList>("row");  // the fields of a row of the data file, "-" made empty
        for (const korvan::test::Row& row : korvan::test::readTable(QUBRIX_LIBRARY_DATA "/asm_file.txt", 11)) {
            QStringList fields;
            for (const std::string& field : row) fields << (field == "-" ? QString() : QString::fromStdString(field));
            QTest::newRow(row[0].c_str()) << fields;
        }
    }

    void asmFile() {
        QFETCH(QStringList, row);
        const QString source = kSources.value(row[1], "?"), settings = row[2], badOutput = row[4], counts = row[6];
        QList<int> codes;
        for (const QString& code : row[7].split(' ', Qt::SkipEmptyParts)) codes << code.toInt(nullptr, 16);
        const bool french = row[8] == "French";
        const QByteArray abs = kNopObjectFiles.value(row[9], "?");
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
        const auto driver = WhenShown(Press(row[3] + "Button"));
        QCOMPARE(runAsmFile(path, *driver, settings.startsWith("ASSEMBLEUR/") ? nullptr : &list), row[5].toInt());
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
            QCOMPARE(QFile::exists(m_work->filePath("prog.lis")), row[10] == "yes");
            if (row[10] == "yes")
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
