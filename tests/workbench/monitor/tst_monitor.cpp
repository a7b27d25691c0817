// Drives the real workbench offscreen against the simulated module on a pseudo-terminal: the
// monitor window and its terminal, the start-up sequence with detection and automatic download,
// the register window, run and step, comparing the exact bytes that crossed the line.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSocketNotifier>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "../../support/process.h"
#include "../workbench_harness.h"
#include "build/assemble_command.h"
#include "build/gnu_commands.h"
#include "build/gnu_core.h"
#include "build/gnu_dialog.h"
#include "build/gnu_settings.h"
#include "commands.h"
#include "driver/asm_dialogs.h"
#include "monitor/monitor_command.h"
#include "monitor/monitor_dialogs.h"
#include "monitor/monitor_doc.h"
#include "monitor/monitor_view.h"
#include "monitor/debug_session.h"
#include "monitor/srecord.h"
#include "korvan_doc.h"
#include "program_image.h"

using namespace korvan::shell;
using namespace korvan::monitor;
using namespace wbtest;
using namespace Qt::StringLiterals;

namespace {

// The S-record file's blocks, header and data, one after the other as the monitor must receive
// them (how the reader merges records into blocks is checked by its own tests).
QByteArray expectedBlocks(const QString& absPath, uint32_t* entry = nullptr) {
    SRecord reader(QFile::encodeName(absPath).toStdString());
    QByteArray stream;
    unsigned char block[kBlockBufferSize];
    int length = 0;
    uint32_t address = 0;
    while (reader.NextBlock(block, length, address)) stream.append(reinterpret_cast<const char*>(block), length);
    if (entry) *entry = reader.EntryAddress();
    return stream;
}

// A scriptable stand-in for the module on a pseudo-terminal of its own, the test holding the
// master side and `link` naming the other: it answers "ve" with a prompt (or stays silent, as
// the monitor does while a program runs), takes "LO" blocks and acknowledges as many as it is
// told (or answers garbage), and can vanish by closing its side.
class FakeModule : public QObject {
public:
    explicit FakeModule(const QString& link) {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        termios raw{};
        tcgetattr(m_master, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
        QFile::remove(link);
        if (!QFile::link(QString::fromLocal8Bit(ptsname(m_master)), link)) return;
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FakeModule::readLine);
    }
    ~FakeModule() override { vanish(); }
    bool ready() const { return m_notifier != nullptr; }
    void vanish() {
        if (m_notifier) m_notifier->deleteLater();
        m_notifier = nullptr;
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }
    void send(const QByteArray& bytes) {
        if (m_master < 0) return;
        sent += bytes;
        [[maybe_unused]] const auto written = ::write(m_master, bytes.data(), size_t(bytes.size()));
    }

    QByteArray received;   // every byte the workbench sent, in order
    QByteArray sent;       // every byte sent to the workbench, in order
    bool answerVe = true;  // "ve" gets a version line and a prompt
    int acks = -1;         // blocks still to acknowledge; -1: all
    QByteArray ackReply = ".";
    int vanishAfterBlocks = -1;

private:
    void readLine() {
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            // Nobody holds the other side just now (the workbench reopens it): no spinning.
            m_notifier->setEnabled(false);
            QTimer::singleShot(20, m_notifier, [notifier = m_notifier] { notifier->setEnabled(true); });
            return;
        }
        for (ssize_t i = 0; i < n && m_master >= 0; ++i) take(buffer[i]);
    }
    void take(char b) {
        received += b;
        if (m_loading) {
            if (m_block.isEmpty() && b == '\r') {  // a lone CR ends load mode
                m_loading = false;
                return send("\r\n>>-> ");
            }
            m_block += b;
            if (m_block.size() < 6 || m_block.size() < 6 + (uint8_t(m_block[4]) << 8 | uint8_t(m_block[5]))) return;
            m_block.clear();
            if (++m_blocks == vanishAfterBlocks) return vanish();
            if (acks == 0) return;
            if (acks > 0) --acks;
            return send(ackReply);
        }
        if (b == '\x16' && m_lastLine == "LO") {
            m_loading = true;
        } else if (b != '\r') {
            m_line += b;
        } else {
            if (m_line == "ve" && answerVe) send("\r\nKORVAN fake 1.0\r\n>>-> ");
            m_lastLine = m_line;
            m_line.clear();
        }
    }

    int m_master = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_line, m_lastLine, m_block;
    bool m_loading = false;
    int m_blocks = 0;
};

// An S-record file of `size` bytes of 0x4E from $802000, in 16-byte records, entry $802000.
QByteArray programOf(int size) {
    std::string file = korvan::test::srecord(0, 0) + "\r\n";
    for (uint32_t a = 0x802000; a < 0x802000u + uint32_t(size); a += 16)
        file += korvan::test::srecord(3, a, std::vector<uint8_t>(16, 0x4E)) + "\r\n";
    return QByteArray::fromStdString(file + korvan::test::srecord(7, 0x802000) + "\r\n");
}

// An S-record file holding `code` at $802010, entry $802010.
QByteArray codeAt802010(const QByteArray& code) {
    return QByteArray::fromStdString(korvan::test::srecord(3, 0x802010, {code.begin(), code.end()}) + "\r\n" +
                                     korvan::test::srecord(7, 0x802010) + "\r\n");
}

QString screenText(const CDocMonitor* doc) {
    QString text;
    for (int r = 0; r < 50; ++r) text += QString::fromLatin1(doc->GetScreenRow(r).data(), 80) + u'\n';
    return text;
}

}  // namespace

class TstMonitor : public QObject, public Workbench {
    Q_OBJECT

    void start() {
        QVERIFY(Workbench::start({u"korvan"_s}, [](CKorvanApp& app) {
            korvan::build::installBuildCommands(app);
            korvan::build::installGnuCommands(app);
            installMonitorCommands(app);
        }));
    }
    ViewMonitor* monitor() const { return findMonitorView(*app); }
    bool openMonitor() {
        frame()->runCommand(cmd::kMonitorWindow);
        return monitor() != nullptr;
    }
    // The port the workbench uses, with detection and (unless -1) automatic download on or off.
    void usePort(const QString& port, int detect, int download = -1) {
        setStore(u"MONITEUR/PORT"_s, port);
        setStore(u"MONITEUR/DETECT"_s, detect);
        if (download >= 0) setStore(u"MONITEUR/TELECHARGE"_s, download);
    }
    // korvan-sim on the port, a pseudo-terminal reached through the link "line" of the test's
    // folder, its conversation traced; by default at full speed.
    void startSimulator(int detect = 1, int download = 1, const QStringList& extra = {u"--line-bps"_s, u"0"_s}) {
        std::vector<std::string> args{"--link", path(u"line"_s).toStdString(), "--trace",
                                      path(u"trace.txt"_s).toStdString()};
        for (const QString& a : extra) args.push_back(a.toStdString());
        m_sim = std::make_unique<korvan::test::Simulator>(args);
        // The first line is the pseudo-terminal's path; the link exists from then on.
        QVERIFY(!m_sim->firstLine().empty() && QFileInfo::exists(path(u"line"_s)));
        usePort(path(u"line"_s), detect, download);
    }
    // Every byte the simulator received ("in") or sent ("out"), in order.
    QByteArray traced(const char* direction = "in") const {
        return QByteArray::fromStdString(korvan::test::tracedBytes(path(u"trace.txt"_s).toStdString(), direction));
    }
    bool simReceives(const QByteArray& tail, int ms = 3000) {
        return QTest::qWaitFor([&] { return traced().endsWith(tail); }, ms);
    }
    // The workbench started with a fake module on the port, and the monitor window open once
    // its start-up check has found it.
    void openOnFake() {
        m_fake = std::make_unique<FakeModule>(path(u"line"_s));
        QVERIFY(m_fake->ready());
        usePort(path(u"line"_s), 1, 0);
        start();
        QVERIFY(openMonitor());
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received == "ve\r" && promptOnCursorRow(); }, 3000));
        QTest::qWait(700);  // the check, 500 ms after "ve", passes without a message
    }
    bool screenShows(const QString& text, int ms = 3000) {
        return QTest::qWaitFor([&] { return monitor() && screenText(monitor()->document()).contains(text); }, ms);
    }
    bool promptOnCursorRow() const { return monitor() && monitor()->document()->IsPromptOnCursorRow(); }
    void typeLine(const QString& text) {
        QTest::keyClicks(monitor(), text);
        QTest::keyClick(monitor(), Qt::Key_Return);
    }
    QLabel* status() const { return monitor()->findChild<QLabel*>(u"MonitorStatus"_s); }
    // Opens a source and builds it, with the assembler or for C with the GNU tools, leaving the
    // build dialog with Monitor once the build is done.
    bool buildToMonitor(const QString& source) {
        if (!app->openSourceDocument(source)) return false;
        const auto leave = [](QDialog* dlg, bool done) {
            auto* button = dlg->findChild<QPushButton*>(u"monitorButton"_s);
            if (!done || !button || !button->isEnabled()) return false;
            QTimer::singleShot(0, button, &QAbstractButton::click);
            return true;
        };
        const bool c = source.endsWith(u".c"_s);
        if (c)
            whileModal<korvan::build::CGnu>(
                [leave](korvan::build::CGnu* dlg) { return leave(dlg, !dlg->toolRunning() && dlg->stage() == 2); });
        else
            whileModal<qubrix::CAsmDlg>([leave](qubrix::CAsmDlg* dlg) { return leave(dlg, dlg->started()); });
        frame()->runCommand(c ? cmd::kGnuBuild : cmd::kAssemble);
        return true;
    }

    // The 1-based line of file that holds text.
    static int lineOf(const QString& file, const QString& text) {
        const QString all = QString::fromLatin1(readFile(file));
        return all.contains(text) ? int(all.left(all.indexOf(text)).count(u'\n')) + 1 : 0;
    }
    DebugSession* session() const { return DebugSession::of(*app); }
    // Runs a debug command and waits until its stop was shown and the module has taken every
    // command that follows it.
    bool debugCommand(int id, const std::function<void()>& action = {}) {
        QSignalSpy stops(session(), &DebugSession::stopShown);
        if (action)
            action();
        else if (!frame()->runCommand(id))
            return false;
        return QTest::qWaitFor([&] { return stops.count() > 0 && !session()->busy(); }, 10000);
    }
    uint32_t reg(int index) const { return monitor()->document()->Registers().GetRegister(index); }
    uint32_t addressOf(const QString& file, int line) const {
        const auto site = session()->lineMap()->addressOf(QFile::encodeName(file).toStdString(), line);
        return site ? site->addresses.front() : 0;
    }
    // The word at address as "md" shows it.
    int memoryWord(uint32_t address) {
        int word = -1;
        bool done = false;
        session()->readMemory(address, 2, [&](const std::map<uint32_t, uint8_t>& m) {
            if (m.size() == 2) word = m.at(address) << 8 | m.at(address + 1);
            done = true;
        });
        return QTest::qWaitFor([&] { return done; }, 5000) ? word : -2;
    }
    CKorvanView* viewOf(const QString& file) const {
        CKorvanDoc* doc = app->findOpenDocument(file);
        return doc && !doc->views().empty() ? doc->views().front() : nullptr;
    }
    // Opens the source window of view and puts the caret on line (1-based).
    void caretTo(CKorvanView* view, int line) {
        frame()->mdiArea()->setActiveSubWindow(windowOf(view));
        GoToLine(view, line - 1);
    }

    std::unique_ptr<korvan::test::Simulator> m_sim;
    std::unique_ptr<FakeModule> m_fake;

    // The rows of portThatCannotBeUsed and downloadThatStops.
    struct Unusable {
        QString port;
        int detect;
        QString secondRow, caption, message;
    };
    struct Stop {
        int acks;             // blocks the module acknowledges, -1 for all
        QByteArray ackReply;  // what it answers a block with
        bool vanish, cancel;  // the module vanishes after the first block; Cancel while it waits
        int blocks;           // whole blocks that reach the module
        QString shown;        // the message, empty for none
    };

private slots:
    void initTestCase() { Workbench::initTestCase(); }
    void init() { Workbench::init(false); }
    void cleanup() {
        app.reset();
        m_sim.reset();
        m_fake.reset();
        Workbench::cleanup();
    }

    // The configuration dialog shows the stored values (a port outside the list as typed) and
    // writes the three entries on OK only.
    void configurationDialog_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::newRow("COM3 kept, OK") << u"COM3"_s << QString() << true;
        QTest::newRow("typed path, OK") << u"COM1"_s << u"/dev/pts/77"_s << true;
        QTest::newRow("path outside the list shown, Cancel") << u"/tmp/line"_s << u"COM2"_s << false;
    }
    void configurationDialog() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        usePort(stored, 0);
        start();
        QString shown;
        whenModal<Confmoniteur>([&](Confmoniteur* dlg) {
            shown = dlg->port();
            if (!typed.isEmpty()) dlg->findChild<QComboBox*>(u"portCombo"_s)->setEditText(typed);
            dlg->findChild<QCheckBox*>(u"autoDownloadCheck"_s)->setChecked(false);
            QTimer::singleShot(0, dlg, ok ? &QDialog::accept : &QDialog::reject);
        });
        QVERIFY(frame()->runCommand(cmd::kConfigMonitor));
        QCOMPARE(shown, stored);
        QCOMPARE(storeValue(u"MONITEUR/PORT"_s), ok && !typed.isEmpty() ? typed : stored);
        QCOMPARE(storeValue(u"MONITEUR/DETECT"_s), u"0"_s);
        QCOMPARE(storeValue(u"MONITEUR/TELECHARGE"_s), ok ? u"0"_s : QString());
    }

    // The terminal against the simulated module: the opening line, "ve" sent by the start-up
    // sequence, typed keys going out unechoed, one window however often it is asked for, and
    // the configuration command disabled while it exists. The status bar shows the caret's line
    // and column of the active editor (a new document at line 1); under the monitor window the
    // last line stays and the column goes.
    void terminalWindow() {
        startSimulator();
        start();
        auto* line = frame()->findChild<QLabel*>(u"CaretPane"_s);
        auto* column = frame()->findChild<QLabel*>(u"ColumnPane"_s);
        const auto panes = [&] { return line->text() + u' ' + column->text(); };
        app->newSourceDocument();
        QCOMPARE(panes(), u"ligne=1 col=1"_s);
        QTest::keyClicks(activeView(), u"\tab"_s);
        QCOMPARE(panes(), u"ligne=1 col=11"_s);  // the tab reaches column 9
        QTest::keyClicks(activeView(), u"\rxyz"_s);
        QCOMPARE(panes(), u"ligne=2 col=4"_s);
        QVERIFY(frame()->commandState(cmd::kConfigMonitor).enabled);
        QVERIFY(openMonitor());
        frame()->updateCommandUi();
        QCOMPARE(panes(), u"ligne=2 "_s);
        QCOMPARE(frame()->activeChild()->documentTitle(), u"Moniteur"_s);
        QVERIFY(screenShows(u"Ouverture du port "_s + path(u"line"_s)));
        QVERIFY(!frame()->commandState(cmd::kConfigMonitor).enabled);
        // The start-up sequence asks for the version; the module answers with a prompt row.
        QVERIFY(QTest::qWaitFor([&] { return traced() == "ve\r" && promptOnCursorRow(); }, 3000));

        typeLine(u"dr"_s);
        QVERIFY(screenShows(u"SR=2700"_s));
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));
        QCOMPARE(traced(), QByteArray("ve\rdr\r"));
        // The typed dump was captured and parsed like one asked for by the register window.
        QCOMPARE(reg(kRegPC), 0x802000u);

        ViewMonitor* first = monitor();
        QVERIFY(openMonitor());
        QCOMPARE(windowCount(), 2);  // the editor's and the monitor's
        QCOMPARE(monitor(), first);
        // The reload of an open window runs the start-up sequence again.
        QVERIFY(QTest::qWaitFor([&] { return traced() == "ve\rdr\rve\r"; }, 3000));

        windowOf(first)->close();
        QTRY_VERIFY(!monitor());
        frame()->updateCommandUi();
        QVERIFY(frame()->commandState(cmd::kConfigMonitor).enabled);
    }

    // Rows scrolled off the screen stay in the view's history: the wheel scrolls up into it and the
    // view stays there while output goes on, a key brings it back; a mouse selection from the
    // scrollback into the screen is copied with Ctrl+Shift+C; Ctrl+Shift+V sends the clipboard
    // paced like typed keys with CR line ends, while Ctrl+C, Ctrl+V and Ctrl+S go to the module.
    void terminalScrollbackCopyAndPaste() {
        // A log file named but logging never switched on: nothing is written to it.
        setStore(u"MONITEUR/FICHIER_JOURNAL"_s, path(u"unasked.log"_s));
        openOnFake();
        ViewMonitor* view = monitor();
        const TerminalScreen& screen = view->document()->screen();
        QByteArray lines;
        for (int i = 0; i < 120; ++i) lines += QString::asprintf("ligne %03d\r\n", i).toLatin1();
        m_fake->send(lines + ">>-> ");
        QVERIFY(screenShows(u"ligne 119"_s));
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));
        QVERIFY(view->followsOutput());
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());

        QWheelEvent wheel(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 360),
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(!view->followsOutput());
        const long long top = view->topLine();
        QVERIFY(top + view->visibleRows() <= screen.screenLine() + 49);
        m_fake->send("\r\nsuite\r\n>>-> ");
        QVERIFY(screenShows(u"suite"_s));
        QCOMPARE(view->topLine(), top);
        QVERIFY(status()->text().contains(u"historique"_s));

        // The keys the module takes, whatever the window's shortcuts say.
        const QByteArray before = m_fake->received;
        for (Qt::Key key : {Qt::Key_C, Qt::Key_V, Qt::Key_S}) QTest::keyClick(view, key, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received == before + "\x03\x16\x13"; }, 3000));
        QVERIFY(view->followsOutput());

        // Select from column 6 of "ligne 068" (scrollback) to column 9 of "ligne 073" (the screen's
        // first row once "suite" came).
        long long first = 0;
        for (long long n = screen.firstLine(); n < screen.endLine() && !first; ++n)
            if (screen.line(n).substr(0, 9) == "ligne 068") first = n;
        QVERIFY(first >= screen.firstLine() && first + 5 == screen.screenLine());
        view->verticalScrollBar()->setValue(int(first - 1 - screen.firstLine()) * view->lineHeight());
        QCOMPARE(view->topLine(), first - 1);
        auto at = [&](int line, int col) {
            return QPoint(col * view->charWidth(), line * view->lineHeight() + view->lineHeight() / 2);
        };
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(1, 6));
        QMouseEvent move(QEvent::MouseMove, at(6, 9), view->viewport()->mapToGlobal(at(6, 9)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(6, 9));
        QApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::clipboard()->text(), u"068\nligne 069\nligne 070\nligne 071\nligne 072\nligne 073"_s);
        QVERIFY(frame()->commandState(cmd::kEditCopy).enabled);

        // Paste: the euro sign has no byte and is left out; each character waits for the last.
        const QByteArray expected = "ab\rcd\ref\rgh";
        QApplication::clipboard()->setText(u"ab\r\ncd\nef\r\u20ACgh"_s);
        const QByteArray mark = m_fake->received;
        QElapsedTimer sending;
        sending.start();
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received.size() >= mark.size() + expected.size(); }, 3000));
        const qint64 took = sending.elapsed();
        QCOMPARE(m_fake->received, mark + expected);
        QVERIFY2(took >= (expected.size() - 1) * ComTread::kCharPauseMs, qPrintable(QString::number(took)));

        // A cleared screen is shown from its top, the scrollback above it out of sight.
        m_fake->send("\x1bJhaut");
        QVERIFY(screenShows(u"haut"_s));
        QVERIFY(view->followsOutput());
        QCOMPARE(view->topLine(), screen.screenLine());
        QVERIFY(!QFile::exists(path(u"unasked.log"_s)));
    }

    // What arrives is appended to the log file named in the settings, byte for byte; Save writes
    // the session's text; the status line tells the port, the line's state and a running program;
    // Clear empties the view and sends nothing.
    void terminalLogSaveAndStatus() {
        const QString log = writeFile(path(u"recu.log"_s), "avant\n");
        setStore(u"MONITEUR/JOURNAL"_s, 1);
        setStore(u"MONITEUR/FICHIER_JOURNAL"_s, log);
        openOnFake();
        ViewMonitor* view = monitor();
        const QString port = path(u"line"_s);
        QCOMPARE(status()->text(), u"Port %1 : liaison ouverte, aucun programme en cours, journal %2"_s.arg(port, log));

        m_fake->send("\r\nligne 1\r\nligne 2\r\n>>-> ");
        QVERIFY(screenShows(u"ligne 2"_s));
        whenModal<QFileDialog>([&](QFileDialog* dlg) {
            dlg->selectFile(path(u"session.txt"_s));
            static_cast<QDialog*>(dlg)->accept();
        });
        QVERIFY(frame()->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(path(u"session.txt"_s)),
                 ("Ouverture du port " + port.toLatin1() +
                  "\r\n\r\nKORVAN fake 1.0\r\n>>->\r\nligne 1\r\nligne 2\r\n>>->\r\n"));

        // A GO echoed after the prompt: the program runs until the next prompt.
        m_fake->send("GO 802000\r\n");
        QTRY_VERIFY(status()->text().contains(u"programme en cours d'exécution"_s));
        QByteArray every;
        for (int b = 0; b < 256; ++b) every += char(b);
        m_fake->send(every + "\r\n>>-> ");
        QTRY_VERIFY(status()->text().contains(u"aucun programme en cours"_s));
        QTRY_COMPARE(readFile(log), "avant\n" + m_fake->sent);

        // Logging off: nothing more is written, and the choice is kept.
        view->setLogging(false);
        QCOMPARE(storeValue(u"MONITEUR/JOURNAL"_s), u"0"_s);
        QVERIFY(!status()->text().contains(u"journal"_s));
        const QByteArray logged = readFile(log);
        m_fake->send("plus\r\n>>-> ");
        QVERIFY(screenShows(u"plus"_s));
        QCOMPARE(readFile(log), logged);

        const QByteArray sentBefore = m_fake->received;
        view->clearHistory();  // what it leaves on the screen is checked by the screen's own test
        QCOMPARE(view->document()->screen().scrollback().size(), std::size_t(0));
        QTest::qWait(50);
        QCOMPARE(m_fake->received, sentBefore);

        m_fake->vanish();
        QTRY_VERIFY(status()->text().contains(u"liaison perdue"_s));
    }

    // A port that cannot be opened shows the two lines in the terminal and, with detection on,
    // the module reported as not responding; a device that refuses the line settings shows the
    // French-only message with the port as its caption. Either way the window stays usable and
    // closes at once.
    void portThatCannotBeUsed_data() {
        QTest::addColumn<Unusable>("c");
        QTest::newRow("missing device") << Unusable{u"no-such-port"_s, 1, u"Impossible d'ouvrir!"_s,
                                                    u"KORVAN ne répond pas"_s,
                                                    u"Le module KORVAN est soit hors tension, soit non connecté"_s};
        QTest::newRow("settings refused")
            << Unusable{u"/dev/null"_s, 0, {}, u"/dev/null"_s, u"Impossible de configurer le port"_s};
    }
    void portThatCannotBeUsed() {
        QFETCH(Unusable, c);
        const QString device = c.port.startsWith(u'/') ? c.port : path(c.port);
        usePort(device, c.detect);
        start();
        QString seenCaption, seenText;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            seenCaption = box->windowTitle();
            seenText = box->text();
            QTimer::singleShot(0, box, &QDialog::reject);
        });
        frame()->runCommand(cmd::kMonitorWindow);
        QTRY_COMPARE_WITH_TIMEOUT(seenText, c.message, 3000);
        QCOMPARE(seenCaption, c.caption);
        const CDocMonitor* doc = monitor()->document();
        QCOMPARE(QString::fromLatin1(doc->GetScreenRow(0).data(), 80).trimmed(), u"Ouverture du port "_s + device);
        QCOMPARE(QString::fromLatin1(doc->GetScreenRow(1).data(), 80).trimmed(),
                 c.secondRow.isEmpty() ? u"_"_s : c.secondRow + u'_');
        QElapsedTimer closing;
        closing.start();
        windowOf(monitor())->close();
        QTRY_VERIFY(!monitor());
        QVERIFY(closing.elapsed() < 1000);
    }

    // Assemble > Monitor on a clean source ends with the program in the module's memory and PC
    // set: the whole byte stream that reached the module, over a line at the module's rate, is
    // compared with the one computed from the .abs file, with detection and automatic download
    // on and off.
    void assembleThenDownload_data() {
        QTest::addColumn<int>("detect");
        QTest::addColumn<int>("download");
        QTest::newRow("detect and download") << 1 << 1;
        QTest::newRow("no detection") << 0 << 1;
        QTest::newRow("no automatic download") << 1 << 0;
    }
    void assembleThenDownload() {
        QFETCH(int, detect);
        QFETCH(int, download);
        startSimulator(detect, download, {});
        start();
        for (const char* f : {"main.src", "defs.def"})
            QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/") + QLatin1String(f), path(QLatin1String(f)));
        QVERIFY(buildToMonitor(path(u"main.src"_s)));
        QVERIFY(monitor());
        uint32_t entry = 0;
        const QByteArray blocks = expectedBlocks(path(u"main.abs"_s), &entry);
        QVERIFY(!blocks.isEmpty());
        QCOMPARE(entry, 0x802000u);
        QByteArray expected = detect ? QByteArray("ve\r") : QByteArray();
        if (download) expected += QByteArray("LO\r\x16") + blocks + "\r" + "PC=802000\r";
        QVERIFY(QTest::qWaitFor([&] { return traced().size() >= expected.size(); }, 8000));
        QTest::qWait(300);
        QCOMPARE(traced().toHex(' '), expected.toHex(' '));
        if (!download) return;

        // What the module holds now, read back through the terminal.
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));
        typeLine(u"md 802000 10"_s);
        QStringList hex;
        for (char c : blocks.mid(6, 16)) hex << QString::asprintf("%02X", uint8_t(c));
        QVERIFY2(screenShows(hex.join(u' ')), qPrintable(screenText(monitor()->document())));
    }

    // A download that the module stops acknowledging (or answers with garbage, or vanishes
    // under) stops at that block with a message naming it and the bytes sent, ends load mode
    // with a lone CR while the line lives, and is never taken as complete; Cancel sends the CR
    // too. A vanished line is said in the terminal and Recharger reopens the port.
    void downloadThatStops_data() {
        QTest::addColumn<Stop>("c");
        const QString first = u"bloc d'adresse $00802000"_s,
                      stopped = u" : téléchargement arrêté après l'envoi de %1 octets"_s;
        QTest::newRow("no acknowledgement") << Stop{0, ".", false, false, 1, first + stopped.arg(1008)};
        QTest::newRow("one acknowledged, then none")
            << Stop{1, ".", false, false, 2, u"bloc d'adresse $008023F0"_s + stopped.arg(2016)};
        QTest::newRow("garbage for an acknowledgement") << Stop{-1, "?", false, false, 1, first};
        QTest::newRow("module vanishes") << Stop{0, ".", true, false, 1, first};
        QTest::newRow("cancel while a block waits") << Stop{0, ".", false, true, 1, {}};
    }
    void downloadThatStops() {
        QFETCH(Stop, c);
        const QString abs = writeFile(path(u"big.abs"_s), programOf(4096));
        openOnFake();
        m_fake->acks = c.acks;
        m_fake->ackReply = c.ackReply;
        m_fake->vanishAfterBlocks = c.vanish ? 1 : -1;
        if (c.cancel)
            whileModal<LoadSR>([this](LoadSR* dlg) {
                if (m_fake->received.size() < 3 + 4 + 6 + 1008) return false;
                QTimer::singleShot(0, dlg->findChild<QPushButton*>(u"cancelButton"_s), &QAbstractButton::click);
                return true;
            });
        QString message;
        if (!c.shown.isEmpty()) answerBox(&message);
        QTimer::singleShot(0, monitor(), [this, abs] { monitor()->download(abs); });
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget() && (c.shown.isEmpty() || !message.isEmpty()),
                                 10000);
        QVERIFY2(message.contains(c.shown), qPrintable(message));
        const QByteArray expected =
            "ve\rLO\r\x16" + expectedBlocks(abs).left(c.blocks * (6 + 1008)) + (c.vanish ? "" : "\r");
        QTest::qWait(c.cancel ? 1300 : 300);  // a cancelled block waits out its second first
        QCOMPARE(m_fake->received.toHex(' '), expected.toHex(' '));
        QCOMPARE(monitor()->document()->RunAddress(), 0u);  // no program to offer
        if (!c.vanish) return;

        QVERIFY(screenShows(u"Liaison perdue avec le module (port "_s));
        QVERIFY(screenShows(u"KORVAN > Recharger rouvre le port."_s));
        m_fake = std::make_unique<FakeModule>(path(u"line"_s));
        QVERIFY(frame()->runCommand(cmd::kReload));
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received == "ve\r" && promptOnCursorRow(); }, 3000));
        QTest::qWait(1200);  // found present: no message
        QVERIFY(monitor()->document()->channel().IsReceiving());
    }

    // The start-up check counts only a prompt that came after its "ve": a module that stays
    // silent (a program running takes "ve" as its input) is said not to have answered, with a
    // hint at the running program, even with the old prompt still on screen; a vanished module
    // is said to be off or not connected. Retry sends "ve" again and asks again; Cancel ends the
    // sequence.
    void moduleThatDoesNotAnswer_data() {
        QTest::addColumn<QString>("story");  // "silence" and "vanish" answered first
        QTest::addColumn<QString>("shown");
        QTest::newRow("silent from the start, English, Retry then Cancel")
            << u"retry"_s
            << u"KORVAN did not answer.\nA program may still be running on it: the ESC key stops it. "
               "Otherwise the module is off or not connected."_s;
        QTest::newRow("answered, silent since")
            << u"silence"_s
            << u"Le module KORVAN n'a pas répondu.\nUn programme y tourne peut-être encore : la touche Échap l'arrête. "
               "Sinon, le module est hors tension ou non connecté."_s;
        QTest::newRow("answered, vanished since")
            << u"vanish"_s << u"Le module KORVAN est soit hors tension, soit non connecté"_s;
    }
    void moduleThatDoesNotAnswer() {
        QFETCH(QString, story);
        QFETCH(QString, shown);
        const bool answerFirst = story == "silence"_L1 || story == "vanish"_L1;
        if (answerFirst) {
            openOnFake();
        } else {
            m_fake = std::make_unique<FakeModule>(path(u"line"_s));
            usePort(path(u"line"_s), 1, 0);
            start();
            frame()->runCommand(cmd::kLanguageEnglish);
        }
        m_fake->answerVe = false;
        if (story == "vanish"_L1) {
            m_fake->vanish();
            QVERIFY(screenShows(u"Liaison perdue avec le module"_s));
        }
        QString message;
        if (story == "retry"_L1)
            whenModal<QMessageBox>([&message](QMessageBox* box) {
                QTimer::singleShot(0, box->button(QMessageBox::Retry), &QAbstractButton::click);
                answerBox(&message, QMessageBox::Cancel);
            });
        else
            answerBox(&message, QMessageBox::Cancel);
        QVERIFY(frame()->runCommand(answerFirst ? cmd::kReload : cmd::kMonitorWindow));
        QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 4000);
        QCOMPARE(message, shown);
        QTest::qWait(1200);  // after Cancel nothing more goes out
        QCOMPARE(m_fake->received, QByteArray(story == "retry"_L1 || story == "silence"_L1 ? "ve\rve\r" : "ve\r"));
    }

    // Run offers the entry of the program downloaded last when that came after the last
    // register dump, otherwise the dump's PC, and takes a 0x prefix. The register window shows
    // the module's registers; a register edited there is set in the module, a value that is not
    // hexadecimal refused; the dump the module prints when the program stops (it ended, took an
    // exception, or ESC stopped it) refreshes the window. Step sends "ss" alone.
    void runAfterADownload_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("code");  // at $802010, the entry
        QTest::addColumn<bool>("escape");
        QTest::addColumn<QString>("offered");
        const QByteArray ends = QByteArray::fromHex("785A70004E4F");  // MOVEQ #$5A,D4; MOVEQ #0,D0; TRAP #15
        const QStringList download{u"download"_s};
        QTest::newRow("program ends") << download << ends << false << u"00802010"_s;
        QTest::newRow("illegal instruction") << download << QByteArray::fromHex("785A4AFC") << false << u"00802010"_s;
        QTest::newRow("ESC stops a loop") << download << QByteArray::fromHex("785A60FE") << true << u"00802010"_s;
        QTest::newRow("dump, then download") << QStringList{u"dump"_s, u"download"_s} << ends << false << u"00802010"_s;
        QTest::newRow("download, then step") << QStringList{u"download"_s, u"step"_s} << ends << false << u"00802012"_s;
    }
    void runAfterADownload() {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, code);
        QFETCH(bool, escape);
        QFETCH(QString, offered);
        startSimulator(0, 0);
        const QString abs = writeFile(path(u"p.abs"_s), codeAt802010(code));
        start();
        QVERIFY(openMonitor());
        int dumps = 0;
        connect(monitor()->document(), &CDocMonitor::registersParsed, this, [&dumps] { ++dumps; });
        for (const QString& step : steps) {
            const int dumpsBefore = dumps;
            const QByteArray sentBefore = traced();
            if (step == "download"_L1) {  // until the module has the entry in PC
                QTimer::singleShot(0, monitor(), [this, abs] { monitor()->download(abs); });
                QVERIFY(simReceives("PC=802010\r", 5000));
                QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
                continue;
            }
            if (step == "dump"_L1)
                monitor()->document()->channel().SendString("dr\r");
            else
                QVERIFY(frame()->runCommand(cmd::kStep));
            QVERIFY(QTest::qWaitFor([&] { return dumps > dumpsBefore; }, 3000));
            QCOMPARE(traced(), sentBefore + (step == "dump"_L1 ? "dr\r" : "ss\r"));
        }
        QString prefilled;
        whenModal<Executer>([&prefilled](Executer* dlg) {
            prefilled = dlg->startAddress();
            QTimer::singleShot(0, dlg, &QDialog::reject);
        });
        frame()->runCommand(cmd::kRun);
        QCOMPARE(prefilled, offered);

        QVERIFY(frame()->runCommand(cmd::kCpuRegisters));
        Cpu* cpu = monitor()->cpuDialog();
        QVERIFY(cpu && cpu->isVisible());
        auto* data = cpu->findChild<QListWidget*>(u"dataList"_s);
        auto* pc = cpu->findChild<QPushButton*>(u"pcButton"_s);
        QTRY_COMPARE_WITH_TIMEOUT(pc->text(), u"PC = "_s + offered, 3000);
        QCOMPARE(data->item(4)->text(), steps.contains(u"step"_s) ? u"D4 = 0000005A"_s : u"D4 = 00000000"_s);
        QCOMPARE(cpu->findChild<QListWidget*>(u"stackList"_s)->item(0)->text(), u"SS = 00880000"_s);
        QCOMPARE(cpu->findChild<QLineEdit*>(u"ccrEdit"_s)->text(), u"-----"_s);

        // D3 edited to 1234: the dialog opens on the value (focused, not the register's name); the
        // row changes and the set command goes out; a typed value that is not hexadecimal is refused.
        auto answerModify = [](const QString& value) {
            whenModal<ModifRegistre>([value](ModifRegistre* dlg) {
                auto* edit = dlg->findChild<QLineEdit*>(u"valueEdit"_s);
                QCOMPARE(dlg->focusWidget(), edit);
                QCOMPARE(edit->text(), u"00000000"_s);
                QCOMPARE(dlg->findChild<QLineEdit*>(u"labelEdit"_s)->text(), u"D3 ="_s);
                edit->setText(value);
                QTimer::singleShot(0, dlg, &QDialog::accept);
            });
        };
        QString refusal;
        answerModify(u"zz"_s);
        answerBox(&refusal);
        emit data->itemDoubleClicked(data->item(3));
        QVERIFY(refusal.contains(u"zz"_s));
        answerModify(u"1234"_s);
        emit data->itemDoubleClicked(data->item(3));
        QCOMPARE(data->item(3)->text(), u"D3 = 00001234"_s);
        QVERIFY(simReceives("D3=00001234\r"));

        QTRY_VERIFY_WITH_TIMEOUT(promptOnCursorRow() && monitor()->document()->screen().cursorCol() == 5, 3000);
        whenModal<Executer>([&offered](Executer* dlg) {
            dlg->setStartAddress("0x"_L1 + offered.mid(2));
            QTimer::singleShot(0, dlg, &QDialog::accept);
        });
        frame()->runCommand(cmd::kRun);
        QVERIFY(simReceives("GO " + offered.mid(2).toLatin1() + "\r"));
        if (escape) {
            QTest::qWait(200);
            QTest::keyClick(monitor(), Qt::Key_Escape);
        }
        // The dump after the stop: D3 as the module holds it, D4 as the program left it.
        QTRY_VERIFY_WITH_TIMEOUT(data->item(4)->text() == u"D4 = 0000005A"_s && pc->text() != u"PC = "_s + offered,
                                 5000);
        QCOMPARE(data->item(3)->text(), u"D3 = 00001234"_s);
        QVERIFY(screenText(monitor()->document()).contains(pc->text().remove(u' ')));
    }

    // The debugger on the demo, whose routine SUM sits in an include file: breakpoints set with
    // F9 and with the gutter (one on a comment line, which moves to the next instruction),
    // planted in the module's memory, Run stopping on them with the line shown, step over and
    // into the BSR, run to cursor, and a cleared breakpoint giving the original word back.
    void debugAssemblyProgram() {
        startSimulator();
        start();
        QVERIFY(QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/defs.def"), path(u"defs.def"_s)));
        QString demo = QString::fromLatin1(readFile(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/main.src")));
        const qsizetype from = demo.indexOf(u"* SUM:"_s), to = demo.indexOf(u"\nMESSAGE"_s) + 1;
        QVERIFY(from > 0 && to > from);
        const QString mainSrc = path(u"main.src"_s), sumInc = path(u"sum.inc"_s);
        writeFile(sumInc, demo.mid(from, to - from).toLatin1());
        writeFile(mainSrc, demo.replace(from, to - from, u"         INCLUDE sum.inc\n"_s).toLatin1());
        QVERIFY(buildToMonitor(mainSrc));
        QTRY_VERIFY_WITH_TIMEOUT(monitor() && session()->programLoaded() && !session()->busy(), 10000);
        QVERIFY(simReceives("PC=802000\r", 10000));
        korvan::debug::ProgramImage image;
        QVERIFY(image.load(QFile::encodeName(path(u"main.abs"_s)).toStdString()));
        auto original = [&](uint32_t address) { return int(*image.word(address)); };

        const int bsrLine = lineOf(mainSrc, u"BSR     SUM"_s);
        const int afterLine = lineOf(mainSrc, u"MOVE.L  D3,RESULT"_s);
        const int leaLine = lineOf(mainSrc, u"LEA     MESSAGE"_s);
        const int sumLine = lineOf(sumInc, u"SUM      MOVEM"_s);
        const int addLine = lineOf(sumInc, u"ADD.L   D2,D3"_s);
        const uint32_t bsr = addressOf(mainSrc, bsrLine);
        QVERIFY(bsr != 0);

        // F9 on the caret's line, in main.src.
        CKorvanView* mainView = viewOf(mainSrc);
        QVERIFY(mainView);
        caretTo(mainView, bsrLine);
        QVERIFY(frame()->runCommand(cmd::kBreakpoint));
        QTRY_VERIFY(!session()->busy());
        QCOMPARE(mainView->breakpointLines(), QSet<int>{bsrLine});
        QCOMPARE(memoryWord(bsr), 0x4848);

        // Run stops on the BSR with its line shown.
        QVERIFY(debugCommand(cmd::kDebugRun));
        QCOMPARE(reg(kRegPC), bsr);
        QCOMPARE(session()->stopLocation().line, bsrLine);
        QCOMPARE(mainView->currentLine(), bsrLine);
        QVERIFY(monitor()->cpuDialog()->instruction().contains(u"bsr"_s));
        // Step over runs the whole routine: the sum of the squares is in D3.
        QVERIFY(debugCommand(cmd::kDebugStepOver));
        QCOMPARE(reg(kRegPC), addressOf(mainSrc, afterLine));
        QCOMPARE(mainView->currentLine(), afterLine);
        QCOMPARE(reg(kRegD0 + 3), 1240u);
        QCOMPARE(memoryWord(addressOf(mainSrc, afterLine)), original(addressOf(mainSrc, afterLine)));
        // From the start again: the breakpoint holds, and step into enters SUM in sum.inc.
        QVERIFY(debugCommand(0, [&] { session()->runFrom(0x802000); }));
        QCOMPARE(reg(kRegPC), bsr);
        QVERIFY(debugCommand(cmd::kDebugStepInto));
        QCOMPARE(reg(kRegPC), addressOf(sumInc, sumLine));
        CKorvanView* sumView = viewOf(sumInc);
        QVERIFY(sumView);
        QCOMPARE(sumView->currentLine(), sumLine);
        QCOMPARE(mainView->currentLine(), 0);
        // Gutter clicks in the include file: the comment line above SUM moves to SUM, where the
        // program stands; Run goes on from there and stops at the next one.
        emit sumView->breakpointToggleRequested(sumLine - 1);
        emit sumView->breakpointToggleRequested(addLine);
        QTRY_VERIFY(!session()->busy());
        QCOMPARE(sumView->breakpointLines(), (QSet<int>{sumLine, addLine}));
        QCOMPARE(memoryWord(addressOf(sumInc, sumLine)), 0x4848);
        QVERIFY(debugCommand(cmd::kDebugRun));
        QCOMPARE(reg(kRegPC), addressOf(sumInc, addLine));
        QCOMPARE(sumView->currentLine(), addLine);
        QCOMPARE(memoryWord(addressOf(sumInc, sumLine)), 0x4848);  // planted again after its step
        for (int line : {sumLine, addLine}) emit sumView->breakpointToggleRequested(line);  // cleared
        QTRY_VERIFY(!session()->busy());
        for (int line : {sumLine, addLine})
            QCOMPARE(memoryWord(addressOf(sumInc, line)), original(addressOf(sumInc, line)));
        caretTo(mainView, leaLine);
        QVERIFY(debugCommand(cmd::kDebugRunToCursor));
        QCOMPARE(reg(kRegPC), addressOf(mainSrc, leaLine));
        QCOMPARE(mainView->currentLine(), leaLine);
        QCOMPARE(reg(kRegD0 + 3), 1240u);
        // The cleared breakpoint gives the program's own word back.
        caretTo(mainView, bsrLine);
        QVERIFY(frame()->runCommand(cmd::kBreakpoint));
        QTRY_VERIFY(!session()->busy());
        QVERIFY(mainView->breakpointLines().isEmpty());
        QCOMPARE(memoryWord(bsr), original(bsr));
        QVERIFY(session()->memoryDisplayAvailable().value_or(false));
        // Downloaded again when it is not the last program built: its source is found by name.
        frame()->setLastBuiltSource({});
        QSignalSpy loaded(monitor(), &ViewMonitor::programDownloaded);
        QTimer::singleShot(0, monitor(), [this] { monitor()->download(path(u"main.abs"_s)); });
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 1, 10000);
        QVERIFY(session()->lineMap() && addressOf(mainSrc, bsrLine) == bsr);
    }

    // The C example built -O0 -g with the default GNU options, left with Monitor: a breakpoint in
    // sum() found through DWARF, Run stopping there with the function named, step out back to
    // main's line of the call, and, the breakpoint cleared, Run going on to the end with the
    // program printing through the run-time into the terminal.
    void debugCProgram() {
        startSimulator();
        const auto d = korvan::build::gnu::defaultOptions(korvan::build::runtimeFolder().toStdString());
        setStore(u"GNU/CFLAG"_s, QString::fromStdString(d.compiler));
        setStore(u"GNU/LFLAG"_s, QString::fromStdString(d.linker));
        setStore(u"GNU/FICHIER"_s, QString::fromStdString(korvan::build::gnu::joinFileList(d.files)));
        start();
        if (!app->toolchainPresent()) QSKIP("no m68k cross compiler on this machine");
        const QString mainC = path(u"main.c"_s);
        QVERIFY(QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/c/main.c"), mainC));
        QVERIFY(storeValue(u"GNU/CFLAG"_s).contains(u"-O0 -g"_s));
        QVERIFY(buildToMonitor(mainC));
        QTRY_VERIFY_WITH_TIMEOUT(monitor() && session()->programLoaded() && !session()->busy(), 30000);
        QVERIFY(simReceives("PC=802000\r", 10000));

        const int totalLine = lineOf(mainC, u"int total = 0;"_s);
        const int callLine = lineOf(mainC, u"somme des carres"_s);
        CKorvanView* view = viewOf(mainC);
        QVERIFY(view && totalLine > 0);
        emit view->breakpointToggleRequested(totalLine);
        QTRY_VERIFY(!session()->busy());
        QCOMPARE(view->breakpointLines(), QSet<int>{totalLine});
        QVERIFY(debugCommand(cmd::kDebugRun));
        QCOMPARE(session()->stopLocation().line, totalLine);
        QCOMPARE(reg(kRegPC), addressOf(mainC, totalLine));
        QCOMPARE(view->currentLine(), totalLine);
        QVERIFY(frame()->debugState().contains(u"(sum)"_s));
        emit view->breakpointToggleRequested(totalLine);
        QTRY_VERIFY(!session()->busy());
        QVERIFY(debugCommand(cmd::kDebugStepOut));
        QCOMPARE(session()->stopLocation().line, callLine);
        QVERIFY(frame()->debugState().contains(u"(main)"_s));
        QCOMPARE(view->currentLine(), callLine);

        // Floating point goes through newlib's printf, in software on the CPU32.
        QVERIFY(frame()->runCommand(cmd::kDebugRun));
        const auto printed = [&] { return QString::fromStdString(monitor()->document()->screen().sessionText("\n")); };
        QVERIFY2(QTest::qWaitFor([&] { return printed().contains(u"moyenne = 17.500, racine = 1.414214"_s); }, 10000),
                 qPrintable(printed()));
        for (const QString& line : {u"Bonjour du 68332"_s, u"somme des carres 0..7 = 140"_s})
            QVERIFY2(printed().contains(line), qPrintable(line));
    }
};

QTEST_MAIN(TstMonitor)
#include "tst_monitor.moc"
