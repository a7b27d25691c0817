// Tests of the assembler library's Qt layer: the two dialogs, the settings they read and write,
// and the entry points AsmFile, ConfigureAsm and SetRepertoire driving whole runs.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/asm_dialogs.h"
#include "driver/diagnostics.h"
#include "driver/entry_points.h"
#include "driver/run.h"

using qubrix::CAsmDlg;
using qubrix::Language;
using qubrix::PassCounts;

namespace {

// S-records of " NOP" at 0x802000, written independently of the writer.
const QByteArray kNopAbs =
    "S004000020DB\r\nS307008020004E7199\r\nS5030001FB\r\nS9030000FC\r\nS705008020005A\r\n";
const QByteArray kNopAbsAt900000 =
    "S004000020DB\r\nS30700900000" "4E71A9\r\nS5030001FB\r\nS9030000FC\r\nS705009000006A\r\n";

const char* const kCleanSource = " NOP\n END\n";
const char* const kWarningSource = " DC.L $100000000\n END\n";  // 0x102 on line 1
const char* const kErrorSource = " NOP\n FOO\n END\n";         // 0x402 on line 2

template <class T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        qWarning("no child %s", name);
    return child;
}

// Acts on the application's modal dialog once it is up. For the progress dialog, `act` is
// called only once the run has filled in the counts. Gives up (rejecting the dialog) after a
// while, so that a broken dialog fails the test instead of hanging it.
class ModalDriver : public QObject {
public:
    using Action = std::function<void(QDialog*)>;

    explicit ModalDriver(Action act) : m_act(std::move(act)) {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(10);
        m_clock.start();
    }
    bool acted() const { return m_acted; }
    bool timedOut() const { return m_timedOut; }
    // What the dialog looked like when it was acted on.
    QString title;
    QString fileText;
    QString errors;
    QString warnings;
    bool monitorEnabled = false;

private:
    void poll() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        if (m_clock.elapsed() > 20000) {
            m_timedOut = true;
            m_timer.stop();
            dialog->reject();
            return;
        }
        if (auto* errorEdit = dialog->findChild<QLineEdit*>(QStringLiteral("errorCountEdit"))) {
            if (errorEdit->text().isEmpty())
                return;  // the run is not over yet
            errors = errorEdit->text();
            warnings = dialog->findChild<QLineEdit*>(QStringLiteral("warningCountEdit"))->text();
            fileText = dialog->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->text();
            monitorEnabled = dialog->findChild<QPushButton*>(QStringLiteral("monitorButton"))->isEnabled();
        }
        title = dialog->windowTitle();
        m_timer.stop();
        m_acted = true;
        m_act(dialog);
    }

    Action m_act;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_acted = false;
    bool m_timedOut = false;
};

void Click(QDialog* dialog, const char* button) {
    if (auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(button)))
        QTest::mouseClick(b, Qt::LeftButton);
}

// Presses the named button; when it does nothing (disabled), leaves with Cancel.
ModalDriver::Action Press(const char* button) {
    return [button](QDialog* dialog) {
        Click(dialog, button);
        if (dialog->isVisible())
            Click(dialog, "cancelButton");
    };
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct Diagnostic {
    int code;
    int line;
    std::string file;
    std::string text;
};

std::vector<Diagnostic> Entries(ListErreur& list) {
    std::vector<Diagnostic> out;
    for (ErreurAsm* e = list.GetFirstErreur(); e != nullptr; e = list.GetNextErreur())
        out.push_back({e->LitCode(), e->LitLigne(), e->LitFichier(), e->LitErreur()});
    return out;
}

}  // namespace

class TestLibrary : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void asmDlgTexts_data();
    void asmDlgTexts();
    void asmDlgRunsOnceWhenShown();
    void asmDlgMonitorButton_data();
    void asmDlgMonitorButton();
    void asmDlgRunnerException();

    void confAsm_data();
    void confAsm();

    void setRepertoire_data();
    void setRepertoire();

    void asmFileResult_data();
    void asmFileResult();
    void asmFileLanguage_data();
    void asmFileLanguage();
    void asmFileListFlag_data();
    void asmFileListFlag();
    void asmFileCodeOrigin_data();
    void asmFileCodeOrigin();
    void asmFileWithoutList();
    void asmFileOutputNotWritten_data();
    void asmFileOutputNotWritten();

private:
    QString writeSource(const char* text, const QString& name = QStringLiteral("prog.asm"));
    int runAsmFile(const QString& source, ModalDriver& driver, ListErreur* list, const char* name = "prog.asm");
    static void setLibrary(const char* key, const QVariant& value);
    static void setWorkbench(const char* key, const QVariant& value);

    QTemporaryDir m_settingsDir;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_startDir;
};

void TestLibrary::initTestCase() {
    QVERIFY(m_settingsDir.isValid());
    // Never the user's own settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    m_startDir = QDir::currentPath();
}

void TestLibrary::init() {
    for (const char* store : {"qubrix", "korvan"}) {
        QSettings settings("hvl_mobr", store);
        settings.clear();
        settings.sync();
    }
    // "message.txt" goes into the current folder: give every test its own.
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
    SetRepertoire("");
}

void TestLibrary::cleanup() {
    QDir::setCurrent(m_startDir);
    m_work.reset();
}

QString TestLibrary::writeSource(const char* text, const QString& name) {
    const QString path = m_work->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

int TestLibrary::runAsmFile(const QString& source, ModalDriver& driver, ListErreur* list, const char* name) {
    const int result = AsmFile(nullptr, name, source.toStdString(), list);
    if (!driver.acted())
        qWarning("the progress dialog never came up");
    if (driver.timedOut())
        qWarning("the progress dialog never showed its counts");
    return result;
}

void TestLibrary::setLibrary(const char* key, const QVariant& value) {
    QSettings settings("hvl_mobr", "qubrix");
    settings.setValue(QString::fromLatin1(key), value);
}

void TestLibrary::setWorkbench(const char* key, const QVariant& value) {
    QSettings settings("hvl_mobr", "korvan");
    settings.setValue(QString::fromLatin1(key), value);
}

// --- CAsmDlg on its own, with a stand-in for the passes ----------------------------------

void TestLibrary::asmDlgTexts_data() {
    QTest::addColumn<bool>("french");
    QTest::addColumn<QStringList>("texts");  // title, monitor, cancel, file, errors, warnings
    QTest::newRow("french") << true
                            << QStringList{"Assembleur", "Moniteur...", "Annuler", "Fichier",
                                           "Nombre d'erreur(s) =", "Nombre de warning(s) ="};
    QTest::newRow("english") << false
                             << QStringList{"Assembler", "Monitor...", "Cancel", "File", "Error number =",
                                            "warning number"};
}

void TestLibrary::asmDlgTexts() {
    QFETCH(bool, french);
    QFETCH(QStringList, texts);
    CAsmDlg dialog(nullptr, "/tmp/x.asm", {}, french ? Language::French : Language::English);
    QCOMPARE(dialog.windowTitle(), texts[0]);
    QCOMPARE(Child<QPushButton>(&dialog, "monitorButton")->text(), texts[1]);
    QCOMPARE(Child<QPushButton>(&dialog, "cancelButton")->text(), texts[2]);
    QCOMPARE(Child<QLabel>(&dialog, "fileLabel")->text(), texts[3]);
    QCOMPARE(Child<QLabel>(&dialog, "errorLabel")->text(), texts[4]);
    QCOMPARE(Child<QLabel>(&dialog, "warningLabel")->text(), texts[5]);
    QVERIFY(!Child<QPushButton>(&dialog, "monitorButton")->isEnabled());
    for (const char* field : {"fileEdit", "errorCountEdit", "warningCountEdit"})
        QVERIFY2(Child<QLineEdit>(&dialog, field)->isReadOnly(), field);
    dialog.setFileText("main.asm");
    QCOMPARE(Child<QLineEdit>(&dialog, "fileEdit")->text(), QStringLiteral("main.asm"));
    QCOMPARE(dialog.sourcePath(), std::string("/tmp/x.asm"));
}

void TestLibrary::asmDlgRunsOnceWhenShown() {
    int runs = 0;
    bool visibleDuringRun = false;
    QString countsDuringRun = QStringLiteral("unset");
    std::string pathSeen;
    CAsmDlg* self = nullptr;
    CAsmDlg dialog(
        nullptr, "/src/a.asm",
        [&](const std::string& path) {
            ++runs;
            pathSeen = path;
            visibleDuringRun = self->isVisible();
            countsDuringRun = Child<QLineEdit>(self, "errorCountEdit")->text() +
                              Child<QLineEdit>(self, "warningCountEdit")->text();
            return PassCounts{0, 2, false};
        },
        Language::English);
    self = &dialog;
    QVERIFY(!dialog.started());
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);  // nothing happens before the dialog is shown

    dialog.show();
    QCOMPARE(runs, 0);  // not from inside show() either
    QTRY_COMPARE(runs, 1);
    QVERIFY(dialog.started());
    QCOMPARE(pathSeen, std::string("/src/a.asm"));
    QVERIFY(visibleDuringRun);
    QCOMPARE(countsDuringRun, QString());
    QCOMPARE(Child<QLineEdit>(&dialog, "errorCountEdit")->text(), QStringLiteral("0"));
    QCOMPARE(Child<QLineEdit>(&dialog, "warningCountEdit")->text(), QStringLiteral("2"));

    dialog.hide();
    dialog.show();
    QTest::qWait(50);
    QCOMPARE(runs, 1);
}

void TestLibrary::asmDlgMonitorButton_data() {
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("clean") << 0 << 0 << false << true;
    QTest::newRow("warnings only") << 0 << 3 << false << true;
    QTest::newRow("one error") << 1 << 0 << false << false;
    QTest::newRow("errors and warnings") << 4 << 2 << false << false;
    QTest::newRow("output not written") << 0 << 0 << true << false;
}

void TestLibrary::asmDlgMonitorButton() {
    QFETCH(int, errors);
    QFETCH(int, warnings);
    QFETCH(bool, failed);
    QFETCH(bool, enabled);
    CAsmDlg dialog(nullptr, "a.asm", [&](const std::string&) { return PassCounts{errors, warnings, failed}; },
                   Language::French);
    dialog.show();
    QTRY_VERIFY(!Child<QLineEdit>(&dialog, "errorCountEdit")->text().isEmpty());
    QCOMPARE(Child<QLineEdit>(&dialog, "errorCountEdit")->text(), QString::number(errors));
    QCOMPARE(Child<QLineEdit>(&dialog, "warningCountEdit")->text(), QString::number(warnings));
    QCOMPARE(dialog.errorCount(), errors);
    QCOMPARE(dialog.warningCount(), warnings);
    auto* monitor = Child<QPushButton>(&dialog, "monitorButton");
    QCOMPARE(monitor->isEnabled(), enabled);

    QTest::mouseClick(monitor, Qt::LeftButton);
    QCOMPARE(dialog.isVisible(), !enabled);
    if (enabled)
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestLibrary::asmDlgRunnerException() {
    CAsmDlg dialog(nullptr, "a.asm", [](const std::string&) -> PassCounts { throw std::runtime_error("read error"); },
                   Language::English);
    dialog.show();
    QTRY_VERIFY(dialog.started());
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialog.runException() != nullptr);
    QVERIFY(!Child<QPushButton>(&dialog, "monitorButton")->isEnabled());
}

// --- ConfigureAsm and CConfAsm ------------------------------------------------------------

void TestLibrary::confAsm_data() {
    QTest::addColumn<QString>("storedCode");  // empty: not stored
    QTest::addColumn<QString>("storedVar");
    QTest::addColumn<QString>("shownCode");
    QTest::addColumn<QString>("shownVar");
    QTest::addColumn<QString>("typedCode");
    QTest::addColumn<QString>("typedVar");
    QTest::addColumn<bool>("accept");

    QTest::newRow("defaults, ok") << "" << "" << "802000" << "803000" << "100000" << "0x200000" << true;
    QTest::newRow("stored, ok") << "A00000" << "B00000" << "A00000" << "B00000" << "A00000" << "B00004" << true;
    QTest::newRow("not hex, kept as typed") << "" << "" << "802000" << "803000" << "ZZ top" << " 12 " << true;
    QTest::newRow("empty texts, kept") << "1" << "2" << "1" << "2" << "" << "" << true;
    QTest::newRow("defaults, cancel") << "" << "" << "802000" << "803000" << "100000" << "200000" << false;
    QTest::newRow("stored, cancel") << "A00000" << "B00000" << "A00000" << "B00000" << "1" << "2" << false;
}

void TestLibrary::confAsm() {
    QFETCH(QString, storedCode);
    QFETCH(QString, storedVar);
    QFETCH(QString, shownCode);
    QFETCH(QString, shownVar);
    QFETCH(QString, typedCode);
    QFETCH(QString, typedVar);
    QFETCH(bool, accept);
    if (!storedCode.isEmpty())
        setLibrary("ASSEMBLEUR/SECTION 9", storedCode);
    if (!storedVar.isEmpty())
        setLibrary("ASSEMBLEUR/SECTION 15", storedVar);

    QString seenCode, seenVar;
    QStringList labels, buttons;
    ModalDriver driver([&](QDialog* dialog) {
        auto* code = Child<QLineEdit>(dialog, "codeOriginEdit");
        auto* var = Child<QLineEdit>(dialog, "varOriginEdit");
        seenCode = code->text();
        seenVar = var->text();
        labels << Child<QLabel>(dialog, "codeOriginLabel")->text() << Child<QLabel>(dialog, "varOriginLabel")->text();
        buttons << Child<QPushButton>(dialog, "validateButton")->text() << Child<QPushButton>(dialog, "cancelButton")->text();
        code->setText(typedCode);
        var->setText(typedVar);
        Click(dialog, accept ? "validateButton" : "cancelButton");
    });
    ConfigureAsm(nullptr);
    QVERIFY(driver.acted());
    QCOMPARE(driver.title, QStringLiteral("Configuration de l'assembleur"));
    QCOMPARE(labels, (QStringList{"Section code(9):", "Section Var.(15)"}));
    QCOMPARE(buttons, (QStringList{"&Valider", "&Annuler"}));
    QCOMPARE(seenCode, shownCode);
    QCOMPARE(seenVar, shownVar);

    QSettings settings("hvl_mobr", "qubrix");
    if (accept) {
        QCOMPARE(settings.value("ASSEMBLEUR/SECTION 9").toString(), typedCode);
        QCOMPARE(settings.value("ASSEMBLEUR/SECTION 15").toString(), typedVar);
    } else {
        QCOMPARE(settings.contains("ASSEMBLEUR/SECTION 9"), !storedCode.isEmpty());
        QCOMPARE(settings.value("ASSEMBLEUR/SECTION 9").toString(), storedCode);
        QCOMPARE(settings.value("ASSEMBLEUR/SECTION 15").toString(), storedVar);
    }
    QVERIFY(!settings.contains("ASSEMBLEUR/LISTFLAG"));
}

// --- SetRepertoire ------------------------------------------------------------------------

void TestLibrary::setRepertoire_data() {
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("separator added") << "/home/eleve/src" << "/home/eleve/src/";
    QTest::newRow("separator kept") << "/home/eleve/src/" << "/home/eleve/src/";
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("relative") << "inc" << "inc/";
}

void TestLibrary::setRepertoire() {
    QFETCH(QString, dir);
    QFETCH(QString, stored);
    SetRepertoire("/somewhere/else");
    SetRepertoire(dir.toStdString());
    QCOMPARE(QString::fromStdString(qubrix::WorkingDirectory()), stored);
}

// --- AsmFile end to end -------------------------------------------------------------------

void TestLibrary::asmFileResult_data() {
    QTest::addColumn<QString>("source");  // empty: no file at all
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("monitorEnabled");
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("warnings");

    QTest::newRow("clean, monitor") << kCleanSource << "monitorButton" << 1 << true << 0 << 0;
    QTest::newRow("clean, cancel") << kCleanSource << "cancelButton" << 0 << true << 0 << 0;
    QTest::newRow("warnings only, monitor") << kWarningSource << "monitorButton" << 1 << true << 0 << 1;
    QTest::newRow("error, monitor pressed") << kErrorSource << "monitorButton" << 0 << false << 1 << 0;
    QTest::newRow("error, cancel") << kErrorSource << "cancelButton" << 0 << false << 1 << 0;
    QTest::newRow("missing source") << "" << "monitorButton" << 0 << false << 1 << 0;
}

void TestLibrary::asmFileResult() {
    QFETCH(QString, source);
    QFETCH(QString, button);
    QFETCH(int, result);
    QFETCH(bool, monitorEnabled);
    QFETCH(int, errors);
    QFETCH(int, warnings);
    const QByteArray text = source.toUtf8();
    const QString path = source.isEmpty() ? m_work->filePath("absent.asm") : writeSource(text.constData());
    const QByteArray buttonName = button.toLatin1();

    ListErreur list;
    ModalDriver driver(Press(buttonName.constData()));
    QCOMPARE(runAsmFile(path, driver, &list, "prog.asm"), result);
    QVERIFY(!driver.timedOut());
    QCOMPARE(driver.fileText, QStringLiteral("prog.asm"));
    QCOMPARE(driver.monitorEnabled, monitorEnabled);
    QCOMPARE(driver.errors, QString::number(errors));
    QCOMPARE(driver.warnings, QString::number(warnings));
    QCOMPARE(int(list.Count()), errors + warnings);

    const QByteArray message = ReadAll(m_work->filePath("message.txt"));
    QVERIFY2(message.startsWith(" Assemblage du fichier : " + path.toUtf8()), message.constData());
    QVERIFY(message.contains("Nom\tdebut\tfin\ttaille"));

    if (source == kCleanSource) {
        // The termination records are written after the dialog, whichever way it was left.
        QCOMPARE(ReadAll(m_work->filePath("prog.abs")), kNopAbs);
        const QByteArray listing = ReadAll(m_work->filePath("prog.lis"));
        QVERIFY(listing.contains("No errors detected"));
        QVERIFY(listing.contains("No warnings generated"));
    }
    if (source == kErrorSource) {
        const std::vector<Diagnostic> entries = Entries(list);
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].code, 0x402);
        QCOMPARE(entries[0].line, 2);
        QCOMPARE(QString::fromStdString(entries[0].file), path);
        QCOMPARE(entries[0].text, std::string(qubrix::CatalogueText(0x402, Language::French)));
        QVERIFY(ReadAll(m_work->filePath("prog.lis")).contains("1 error detected"));
    }
    if (source.isEmpty()) {
        const std::vector<Diagnostic> entries = Entries(list);
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].code, 0x406);
        QVERIFY(message.contains("Impossible d'ouvrir les fichier!"));
    }
}

void TestLibrary::asmFileLanguage_data() {
    QTest::addColumn<QVariant>("setting");  // invalid: not stored
    QTest::addColumn<bool>("french");
    QTest::newRow("not set: french") << QVariant() << true;
    QTest::newRow("FRANCAIS") << QVariant("FRANCAIS") << true;
    QTest::newRow("ANGLAIS") << QVariant("ANGLAIS") << false;
    QTest::newRow("ENGLISH") << QVariant("ENGLISH") << false;
    QTest::newRow("lower case is not FRANCAIS") << QVariant("francais") << false;
    QTest::newRow("empty") << QVariant("") << false;
}

void TestLibrary::asmFileLanguage() {
    QFETCH(QVariant, setting);
    QFETCH(bool, french);
    if (setting.isValid())
        setWorkbench("KORVAN/LANGAGE", setting);
    const Language lang = french ? Language::French : Language::English;
    // Start from the other language to see the setting being applied.
    qubrix::SetCatalogueLanguage(french ? Language::English : Language::French);

    ListErreur list;
    ModalDriver driver(Press("cancelButton"));
    QCOMPARE(runAsmFile(writeSource(kErrorSource), driver, &list), 0);
    QCOMPARE(driver.title, QString::fromUtf8(qubrix::AsmDlgTextsFor(lang).title));
    QCOMPARE(driver.title, french ? QStringLiteral("Assembleur") : QStringLiteral("Assembler"));
    const std::vector<Diagnostic> entries = Entries(list);
    QCOMPARE(entries.size(), size_t(1));
    QCOMPARE(QString::fromStdString(entries[0].text),
             french ? QStringLiteral("ERREUR : Code instruction non valide") : QStringLiteral("ERROR : bad instruction code"));
}

void TestLibrary::asmFileListFlag_data() {
    QTest::addColumn<QVariant>("flag");
    QTest::addColumn<bool>("listing");
    QTest::newRow("not set") << QVariant() << true;
    QTest::newRow("1") << QVariant("1") << true;
    QTest::newRow("10") << QVariant("10") << true;
    QTest::newRow("0") << QVariant("0") << false;
    QTest::newRow("empty") << QVariant("") << false;
    QTest::newRow("x1") << QVariant("x1") << false;
}

void TestLibrary::asmFileListFlag() {
    QFETCH(QVariant, flag);
    QFETCH(bool, listing);
    if (flag.isValid())
        setLibrary("ASSEMBLEUR/LISTFLAG", flag);
    ModalDriver driver(Press("monitorButton"));
    ListErreur list;
    QCOMPARE(runAsmFile(writeSource(kCleanSource), driver, &list), 1);
    QCOMPARE(QFile::exists(m_work->filePath("prog.lis")), listing);
    QCOMPARE(ReadAll(m_work->filePath("prog.abs")), kNopAbs);
    // The library reads LISTFLAG, it never writes it.
    QSettings settings("hvl_mobr", "qubrix");
    QCOMPARE(settings.contains("ASSEMBLEUR/LISTFLAG"), flag.isValid());
}

void TestLibrary::asmFileCodeOrigin_data() {
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QByteArray>("abs");
    QTest::newRow("hex") << "900000" << kNopAbsAt900000;
    QTest::newRow("0x prefix") << "0x900000" << kNopAbsAt900000;
    QTest::newRow("not hex: default") << "XYZ" << kNopAbs;
}

void TestLibrary::asmFileCodeOrigin() {
    QFETCH(QString, origin);
    QFETCH(QByteArray, abs);
    setLibrary("ASSEMBLEUR/SECTION 9", origin);
    setLibrary("ASSEMBLEUR/SECTION 15", "A00000");
    ModalDriver driver(Press("monitorButton"));
    ListErreur list;
    QCOMPARE(runAsmFile(writeSource(kCleanSource), driver, &list), 1);
    QCOMPARE(ReadAll(m_work->filePath("prog.abs")), abs);
}

void TestLibrary::asmFileWithoutList() {
    ModalDriver driver(Press("monitorButton"));
    QCOMPARE(runAsmFile(writeSource(kCleanSource), driver, nullptr), 1);
    ModalDriver again(Press("monitorButton"));
    QCOMPARE(runAsmFile(writeSource(kErrorSource), again, nullptr), 0);
    QVERIFY(!again.monitorEnabled);
}

void TestLibrary::asmFileOutputNotWritten_data() {
    QTest::addColumn<QString>("output");
    QTest::newRow("object file") << "prog.abs";
    QTest::newRow("listing file") << "prog.lis";
}

// An output file that cannot be written (here: a device that is always full) fails the run; the
// host process goes on and the result is 0 even though the user pressed "Monitor...".
void TestLibrary::asmFileOutputNotWritten() {
    QFETCH(QString, output);
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full");
    const QString source = writeSource(kCleanSource);
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_work->filePath(output)));
    ListErreur list;
    ModalDriver driver(Press("monitorButton"));
    QCOMPARE(runAsmFile(source, driver, &list), 0);
    bool reported = false;
    for (const Diagnostic& d : Entries(list))
        reported = reported || d.code == qubrix::kErrWriteFile;
    QVERIFY(reported);
    QVERIFY(ReadAll(m_work->filePath("message.txt")).contains("Error writing to"));
}

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"
