// Drives the real workbench offscreen against the simulated module on a pseudo-terminal: the
// monitor window and its terminal, the start-up sequence with detection and automatic download,
// the register window, run and step, comparing the exact bytes that crossed the line.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

#include "../../support/process.h"
#include "../qt_test_support.h"
#include "build/assemble_command.h"
#include "build/gnu_commands.h"
#include "build/gnu_core.h"
#include "build/gnu_dialog.h"
#include "build/gnu_settings.h"
#include "commands.h"
#include "driver/asm_dialogs.h"
#include "korvan_app.h"
#include "main_frame.h"
#include "monitor/monitor_command.h"
#include "monitor/monitor_dialogs.h"
#include "monitor/monitor_doc.h"
#include "monitor/monitor_view.h"
#include "monitor/debug_session.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "program_image.h"

using namespace korvan::shell;
using namespace korvan::monitor;
using namespace wbtest;

namespace {

// korvan-sim on a pseudo-terminal reached through a link in the test's folder, with its
// conversation traced to a file.
class Simulator {
public:
    bool start(const QString& folder, const QStringList& extra) {
        m_link = folder + QStringLiteral("/line");
        m_trace = (folder + QStringLiteral("/trace.txt")).toStdString();
        std::vector<std::string> args{"--link", m_link.toStdString(), "--trace", m_trace};
        for (const QString& a : extra) args.push_back(a.toStdString());
        m_proc = std::make_unique<korvan::test::Simulator>(args);
        // The first line is the pseudo-terminal's path; the link exists from then on.
        return !m_proc->firstLine().empty() && QFileInfo::exists(m_link);
    }
    const QString& link() const { return m_link; }
    // Every byte the simulator received, or sent, in order.
    QByteArray received() const { return QByteArray::fromStdString(korvan::test::tracedBytes(m_trace, "in")); }
    QByteArray sent() const { return QByteArray::fromStdString(korvan::test::tracedBytes(m_trace, "out")); }
    // True once the monitor answered a command line sent after `mark` bytes of its output and
    // printed its next prompt (a program started by GO has stopped by then).
    bool answeredSince(qsizetype mark) const {
        const QByteArray out = sent();
        return out.mid(mark).contains('\n') && out.endsWith(">>-> ");
    }

private:
    std::unique_ptr<korvan::test::Simulator> m_proc;
    QString m_link;
    std::string m_trace;
};

// The S-record file's data as the monitor must receive it: whole contiguous records merged into
// blocks of at most 1017 bytes (4-byte address, 2-byte count, data), computed here from the
// records themselves.
QByteArray expectedBlocks(const QString& absPath, uint32_t* entry) {
    QByteArray stream, data;
    uint32_t start = 0, next = 0;
    auto flush = [&] {
        if (data.isEmpty()) return;
        const char head[6] = {char(start >> 24), char(start >> 16),      char(start >> 8),
                              char(start),       char(data.size() >> 8), char(data.size())};
        stream += QByteArray(head, 6) + data;
        data.clear();
    };
    for (const QByteArray& raw : readFile(absPath).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("S7")) *entry = line.mid(4, 8).toUInt(nullptr, 16);
        if (!line.startsWith("S3")) continue;
        const int count = line.mid(2, 2).toInt(nullptr, 16) - 5;
        const uint32_t address = line.mid(4, 8).toUInt(nullptr, 16);
        const QByteArray bytes = QByteArray::fromHex(line.mid(12, 2 * count));
        // A record that would take the block past 1017 bytes, or that leaves a gap, starts the next.
        if (data.size() + bytes.size() > 1017 || (!data.isEmpty() && address != next)) flush();
        if (data.isEmpty()) start = address;
        data += bytes;
        next = address + uint32_t(bytes.size());
    }
    flush();
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

    // Sends bytes to the workbench as the module would.
    void send(const QByteArray& bytes) { reply(bytes); }

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
    void reply(const QByteArray& bytes) {
        if (m_master < 0) return;
        sent += bytes;
        [[maybe_unused]] const auto written = ::write(m_master, bytes.data(), size_t(bytes.size()));
    }
    void take(char b) {
        received += b;
        if (m_loading) {
            if (m_block.isEmpty() && b == '\r') {  // a lone CR ends load mode
                m_loading = false;
                reply("\r\n>>-> ");
                return;
            }
            m_block += b;
            if (m_block.size() < 6 || m_block.size() < 6 + (uint8_t(m_block[4]) << 8 | uint8_t(m_block[5]))) return;
            m_block.clear();
            if (++m_blocks == vanishAfterBlocks) return vanish();
            if (acks == 0) return;
            if (acks > 0) --acks;
            reply(ackReply);
            return;
        }
        if (b == '\x16' && m_lastLine == "LO") {
            m_loading = true;
            return;
        }
        if (b != '\r') {
            m_line += b;
            return;
        }
        if (m_line == "ve" && answerVe) reply("\r\nKORVAN fake 1.0\r\n>>-> ");
        m_lastLine = m_line;
        m_line.clear();
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

class TstMonitor : public QObject {
    Q_OBJECT

    void start() {
        m_app = std::make_unique<CKorvanApp>();
        korvan::build::installBuildCommands(*m_app);
        korvan::build::installGnuCommands(*m_app);
        installMonitorCommands(*m_app);
        QVERIFY(m_app->start());
    }
    CMainFrame* frame() const { return m_app->mainFrame(); }
    ViewMonitor* monitor() const { return findMonitorView(*m_app); }
    int monitorWindows() const {
        int n = 0;
        for (QMdiSubWindow* w : frame()->mdiArea()->subWindowList())
            n += qobject_cast<ViewMonitor*>(w->widget()) != nullptr;
        return n;
    }
    // The simulator on the configured port, with the given detection and download settings.
    void startSimulator(const QStringList& extra, int detect = 1, int download = 1) {
        m_sim = std::make_unique<Simulator>();
        QVERIFY(m_sim->start(m_work->path(), extra));
        setStore(QStringLiteral("MONITEUR/PORT"), m_sim->link());
        setStore(QStringLiteral("MONITEUR/DETECT"), detect);
        setStore(QStringLiteral("MONITEUR/TELECHARGE"), download);
    }
    // A fake module on the configured port instead of the simulator.
    void startFake(int detect, int download = 0) {
        m_fake = std::make_unique<FakeModule>(m_work->path() + QStringLiteral("/line"));
        QVERIFY(m_fake->ready());
        setStore(QStringLiteral("MONITEUR/PORT"), m_work->path() + QStringLiteral("/line"));
        setStore(QStringLiteral("MONITEUR/DETECT"), detect);
        setStore(QStringLiteral("MONITEUR/TELECHARGE"), download);
    }
    // Opens the monitor window and waits until its start-up check has found the fake module.
    void openOnAnsweringFake() {
        frame()->runCommand(cmd::kMonitorWindow);
        QVERIFY(monitor());
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received == "ve\r" && promptOnCursorRow(); }, 3000));
        QTest::qWait(700);  // the check, 500 ms after "ve", passes without a message
    }
    bool screenShows(const QString& text, int ms = 3000) {
        return QTest::qWaitFor([&] { return monitor() && screenText(monitor()->document()).contains(text); }, ms);
    }
    bool promptOnCursorRow() const { return monitor() && monitor()->document()->IsPromptOnCursorRow(); }
    bool promptReady() {
        return QTest::qWaitFor([&] { return promptOnCursorRow() && monitor()->document()->screen().cursorCol() == 5; },
                               3000);
    }
    // Opens a source and builds it, with the assembler or for C with the GNU tools, leaving the
    // build dialog with Monitor.
    bool buildToMonitor(const QString& source) {
        if (!m_app->openSourceDocument(source)) return false;
        if (source.endsWith(QStringLiteral(".c"))) {
            whileModal<korvan::build::CGnu>([](korvan::build::CGnu* dlg) {
                auto* monitorButton = dlg->findChild<QPushButton*>(QStringLiteral("monitorButton"));
                if (dlg->toolRunning() || dlg->stage() != 2 || !monitorButton->isEnabled()) return false;
                QTimer::singleShot(0, monitorButton, &QAbstractButton::click);
                return true;
            });
            frame()->runCommand(cmd::kGnuBuild);
            return true;
        }
        whileModal<qubrix::CAsmDlg>([](qubrix::CAsmDlg* dlg) {
            auto* monitorButton = dlg->findChild<QPushButton*>(QStringLiteral("monitorButton"));
            if (!dlg->started() || !monitorButton || !monitorButton->isEnabled()) return false;
            QTimer::singleShot(0, monitorButton, &QAbstractButton::click);
            return true;
        });
        frame()->runCommand(cmd::kAssemble);
        return true;
    }
    // Assembles the demo and leaves the assembler's dialog with Monitor; returns the .abs path.
    QString assembleDemoToMonitor() {
        const QString dir = m_work->path() + QStringLiteral("/src");
        QDir().mkpath(dir);
        for (const char* f : {"main.src", "defs.def"})
            QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/") + QLatin1String(f), dir + u'/' + QLatin1String(f));
        return buildToMonitor(dir + QStringLiteral("/main.src")) ? dir + QStringLiteral("/main.abs") : QString();
    }
    // The simulator, the default GNU options and the C example in the work folder; the example's
    // path, or nothing when this machine has no cross compiler.
    QString startWithCExample() {
        startSimulator({QStringLiteral("--line-bps"), QStringLiteral("0")});
        const auto d = korvan::build::gnu::defaultOptions(korvan::build::runtimeFolder().toStdString());
        setStore(QStringLiteral("GNU/CFLAG"), QString::fromStdString(d.compiler));
        setStore(QStringLiteral("GNU/LFLAG"), QString::fromStdString(d.linker));
        setStore(QStringLiteral("GNU/FICHIER"), QString::fromStdString(korvan::build::gnu::joinFileList(d.files)));
        start();
        if (!m_app->toolchainPresent()) return {};
        const QString dir = m_work->path() + QStringLiteral("/c");
        QDir().mkpath(dir);
        QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/c/main.c"), dir + QStringLiteral("/main.c"));
        return dir + QStringLiteral("/main.c");
    }
    // Downloads a program through the monitor window until the module has its entry in PC.
    bool downloaded(const QString& abs, const QByteArray& pcSet) {
        QTimer::singleShot(0, monitor(), [this, abs] { monitor()->download(abs); });
        return QTest::qWaitFor([&] { return m_sim->received().endsWith(pcSet); }, 5000) &&
               QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 5000);
    }

    // The 1-based line of file that holds text.
    static int lineOf(const QString& file, const QString& text) {
        const QStringList lines = QString::fromLatin1(readFile(file)).split(u'\n');
        for (int i = 0; i < lines.size(); ++i)
            if (lines.at(i).contains(text)) return i + 1;
        return 0;
    }
    DebugSession* session() const { return DebugSession::of(*m_app); }
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
    uint32_t pc() const { return monitor()->document()->Registers().GetRegister(kRegPC); }
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
        CKorvanDoc* doc = m_app->findOpenDocument(file);
        return doc && !doc->views().empty() ? doc->views().front() : nullptr;
    }

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<FakeModule> m_fake;
    std::unique_ptr<CKorvanApp> m_app;
    QString m_savedCwd;

private slots:
    void initTestCase() {
        isolateSettings(m_config.path());
        m_savedCwd = QDir::currentPath();
    }
    void init() {
        resetWatchers();
        store().clear();
        store("qubrix").clear();
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(m_work->isValid());
        QDir::setCurrent(m_work->path());
    }
    void cleanup() {
        m_app.reset();
        m_sim.reset();
        m_fake.reset();
        QDir::setCurrent(m_savedCwd);
    }

    // The configuration dialog shows the stored values (a port outside the list as typed) and
    // writes the three entries on OK only.
    void configurationDialog_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::newRow("COM3 kept, OK") << QStringLiteral("COM3") << QString() << true;
        QTest::newRow("typed path, OK") << QStringLiteral("COM1") << QStringLiteral("/dev/pts/77") << true;
        QTest::newRow("path outside the list shown, Cancel")
            << QStringLiteral("/tmp/line") << QStringLiteral("COM2") << false;
    }
    void configurationDialog() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        setStore(QStringLiteral("MONITEUR/PORT"), stored);
        setStore(QStringLiteral("MONITEUR/DETECT"), 0);
        start();
        QString shown;
        whenModal<Confmoniteur>([&](Confmoniteur* dlg) {
            shown = dlg->port();
            if (!typed.isEmpty()) dlg->findChild<QComboBox*>(QStringLiteral("portCombo"))->setEditText(typed);
            dlg->findChild<QCheckBox*>(QStringLiteral("autoDownloadCheck"))->setChecked(false);
            QTimer::singleShot(0, dlg, ok ? &QDialog::accept : &QDialog::reject);
        });
        QVERIFY(frame()->runCommand(cmd::kConfigMonitor));
        QCOMPARE(shown, stored);
        QCOMPARE(storeValue(QStringLiteral("MONITEUR/PORT")), ok && !typed.isEmpty() ? typed : stored);
        QCOMPARE(storeValue(QStringLiteral("MONITEUR/DETECT")), QStringLiteral("0"));
        QCOMPARE(storeValue(QStringLiteral("MONITEUR/TELECHARGE")), ok ? QStringLiteral("0") : QString());
    }

    // The terminal against the simulated module: the opening line, "ve" sent by the start-up
    // sequence, typed keys going out unechoed, one window however often it is asked for, and
    // the configuration command disabled while it exists.
    void terminalWindow() {
        startSimulator({QStringLiteral("--line-bps"), QStringLiteral("0")});
        start();
        QVERIFY(frame()->commandState(cmd::kConfigMonitor).enabled);
        frame()->runCommand(cmd::kMonitorWindow);
        QVERIFY(monitor());
        QCOMPARE(frame()->activeChild()->documentTitle(), QStringLiteral("Moniteur"));
        QVERIFY(screenShows(QStringLiteral("Ouverture du port ") + m_sim->link()));
        QVERIFY(!frame()->commandState(cmd::kConfigMonitor).enabled);
        // The start-up sequence asks for the version; the module answers with a prompt row.
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received() == "ve\r"; }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));

        QTest::keyClicks(monitor(), QStringLiteral("dr"));
        QTest::keyClick(monitor(), Qt::Key_Return);
        QVERIFY(screenShows(QStringLiteral("SR=2700")));
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));
        QCOMPARE(m_sim->received(), QByteArray("ve\rdr\r"));
        // The typed dump was captured and parsed like one asked for by the register window.
        QCOMPARE(monitor()->document()->Registers().GetRegister(kRegPC), 0x802000u);

        ViewMonitor* first = monitor();
        frame()->runCommand(cmd::kMonitorWindow);
        QCOMPARE(monitorWindows(), 1);
        QCOMPARE(monitor(), first);
        // The reload of an open window runs the start-up sequence again, 1000 ms apart.
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received() == "ve\rdr\rve\r"; }, 3000));

        qobject_cast<QMdiSubWindow*>(first->parentWidget())->close();
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
        const QString unasked = m_work->path() + QStringLiteral("/unasked.log");
        setStore(QStringLiteral("MONITEUR/FICHIER_JOURNAL"), unasked);
        startFake(1);
        start();
        openOnAnsweringFake();
        ViewMonitor* view = monitor();
        const TerminalScreen& screen = view->document()->screen();
        QByteArray lines;
        for (int i = 0; i < 120; ++i) lines += QString::asprintf("ligne %03d\r\n", i).toLatin1();
        m_fake->send(lines + ">>-> ");
        QVERIFY(screenShows(QStringLiteral("ligne 119")));
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));
        // The prompt is on the last row: rows 0..48 show lines 71..119, line 70 scrolled off last.
        QCOMPARE(screen.cursorRow(), 49);
        QCOMPARE(QString::fromLatin1(screen.line(screen.screenLine() - 1).data(), 9), QStringLiteral("ligne 070"));
        QVERIFY(view->followsOutput());
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());

        QWheelEvent wheel(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 360),
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(!view->followsOutput());
        const long long top = view->topLine();
        QVERIFY(top + view->visibleRows() <= screen.screenLine() + 49);
        m_fake->send("\r\nsuite\r\n>>-> ");
        QVERIFY(screenShows(QStringLiteral("suite")));
        QCOMPARE(view->topLine(), top);
        QVERIFY(
            view->findChild<QLabel*>(QStringLiteral("MonitorStatus"))->text().contains(QStringLiteral("historique")));

        // The keys the module takes, whatever the window's shortcuts say.
        const QByteArray before = m_fake->received;
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received == before + "\x03\x16\x13"; }, 3000));
        QVERIFY(view->followsOutput());

        // Select from column 6 of "ligne 068" (scrollback) to column 9 of "ligne 072" (screen).
        long long first = 0;
        for (long long n = screen.firstLine(); n < screen.endLine() && !first; ++n)
            if (screen.line(n).substr(0, 9) == "ligne 068") first = n;
        QVERIFY(first >= screen.firstLine() && first < screen.screenLine() - 1);
        view->verticalScrollBar()->setValue(int(first - 1 - screen.firstLine()) * view->lineHeight());
        QCOMPARE(view->topLine(), first - 1);
        auto at = [&](int line, int col) {
            return QPoint(col * view->charWidth(), line * view->lineHeight() + view->lineHeight() / 2);
        };
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(1, 6));
        QMouseEvent move(QEvent::MouseMove, at(5, 9), view->viewport()->mapToGlobal(at(5, 9)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(5, 9));
        QApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("068\nligne 069\nligne 070\nligne 071\nligne 072"));
        QVERIFY(frame()->commandState(cmd::kEditCopy).enabled);

        // Paste: the euro sign has no byte and is left out; each character waits for the last.
        const QString pasted = QStringLiteral("ab\r\ncd\nef\r\u20ACgh");
        const QByteArray expected = "ab\rcd\ref\rgh";
        QApplication::clipboard()->setText(pasted);
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
        QVERIFY(screenShows(QStringLiteral("haut")));
        QVERIFY(view->followsOutput());
        QCOMPARE(view->topLine(), screen.screenLine());
        QVERIFY(!QFile::exists(unasked));
    }

    // What arrives is appended to the log file named in the settings, byte for byte; Save writes
    // the session's text; the status line tells the port, the line's state and a running program;
    // Clear empties the view and sends nothing.
    void terminalLogSaveAndStatus() {
        const QString log = m_work->path() + QStringLiteral("/recu.log");
        writeFile(log, "avant\n");
        setStore(QStringLiteral("MONITEUR/JOURNAL"), 1);
        setStore(QStringLiteral("MONITEUR/FICHIER_JOURNAL"), log);
        startFake(1);
        start();
        openOnAnsweringFake();
        ViewMonitor* view = monitor();
        auto status = [&] { return view->findChild<QLabel*>(QStringLiteral("MonitorStatus"))->text(); };
        const QString port = m_work->path() + QStringLiteral("/line");
        QCOMPARE(status(),
                 QStringLiteral("Port %1 : liaison ouverte, aucun programme en cours, journal %2").arg(port, log));

        m_fake->send("\r\nligne 1\r\nligne 2\r\n>>-> ");
        QVERIFY(screenShows(QStringLiteral("ligne 2")));
        const QString saved = m_work->path() + QStringLiteral("/session.txt");
        whenModal<QFileDialog>([&](QFileDialog* dlg) {
            dlg->selectFile(saved);
            static_cast<QDialog*>(dlg)->accept();
        });
        QVERIFY(frame()->runCommand(cmd::kFileSave));
        QCOMPARE(readFile(saved), ("Ouverture du port " + port.toLatin1() +
                                   "\r\n\r\nKORVAN fake 1.0\r\n>>->\r\nligne 1\r\nligne 2\r\n>>->\r\n"));

        // A GO echoed after the prompt: the program runs until the next prompt.
        m_fake->send("GO 802000\r\n");
        QTRY_VERIFY(status().contains(QStringLiteral("programme en cours d'exécution")));
        QByteArray every;
        for (int b = 0; b < 256; ++b) every += char(b);
        m_fake->send(every + "\r\n>>-> ");
        QTRY_VERIFY(status().contains(QStringLiteral("aucun programme en cours")));
        QTRY_COMPARE(readFile(log), "avant\n" + m_fake->sent);

        // Logging off: nothing more is written, and the choice is kept.
        view->setLogging(false);
        QCOMPARE(storeValue(QStringLiteral("MONITEUR/JOURNAL")), QStringLiteral("0"));
        QVERIFY(!status().contains(QStringLiteral("journal")));
        const QByteArray logged = readFile(log);
        m_fake->send("plus\r\n>>-> ");
        QVERIFY(screenShows(QStringLiteral("plus")));
        QCOMPARE(readFile(log), logged);

        const QByteArray sentBefore = m_fake->received;
        view->clearHistory();
        const TerminalScreen& screen = view->document()->screen();
        QCOMPARE(screen.scrollback().size(), std::size_t(0));
        QCOMPARE(QString::fromLatin1(screen.row(0).data(), 80).trimmed(), QStringLiteral(">>-> _"));
        QCOMPARE(QString::fromLatin1(screen.row(1).data(), 80).trimmed(), QString());
        QTest::qWait(50);
        QCOMPARE(m_fake->received, sentBefore);

        m_fake->vanish();
        QTRY_VERIFY(status().contains(QStringLiteral("liaison perdue")));
    }

    // The status bar shows the caret's line and column of the active editor, the mouse moving it
    // as the keys do; a new document shows line 1; under the monitor window the last line stays.
    void statusBarLineAndColumn() {
        setStore(QStringLiteral("MONITEUR/PORT"), m_work->path() + QStringLiteral("/no-such-port"));
        setStore(QStringLiteral("MONITEUR/DETECT"), 0);
        start();
        auto* line = frame()->findChild<QLabel*>(QStringLiteral("CaretPane"));
        auto* column = frame()->findChild<QLabel*>(QStringLiteral("ColumnPane"));
        m_app->newSourceDocument();
        CKorvanView* view = frame()->activeSourceView();
        QVERIFY(view);
        QCOMPARE(line->text(), QStringLiteral("ligne=1"));
        QCOMPARE(column->text(), QStringLiteral("col=1"));
        QTest::keyClicks(view, QStringLiteral("\tab"));
        QCOMPARE(column->text(), QStringLiteral("col=11"));  // the tab reaches column 9
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClicks(view, QStringLiteral("xyz"));
        QCOMPARE(line->text(), QStringLiteral("ligne=2"));
        QCOMPARE(column->text(), QStringLiteral("col=4"));
        const QRect firstLine = view->cursorRect(QTextCursor(view->document()->textDocument()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, firstLine.center());
        QCOMPARE(line->text(), QStringLiteral("ligne=1"));
        QCOMPARE(column->text(), QStringLiteral("col=1"));
        QTest::keyClick(view, Qt::Key_Down);
        frame()->runCommand(cmd::kMonitorWindow);
        QVERIFY(monitor());
        frame()->updateCommandUi();
        QCOMPARE(line->text(), QStringLiteral("ligne=2"));
        QCOMPARE(column->text(), QString());
    }

    // A port that cannot be opened shows the two lines in the terminal and, with detection on,
    // the module reported as not responding; a device that refuses the line settings shows the
    // French-only message with the port as its caption. Either way the window stays usable and
    // closes at once.
    void portThatCannotBeUsed_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("detect");
        QTest::addColumn<QString>("secondRow");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing device") << QStringLiteral("no-such-port") << 1 << QStringLiteral("Impossible d'ouvrir!")
                                        << QStringLiteral("KORVAN ne répond pas")
                                        << QStringLiteral("Le module KORVAN est soit hors tension, soit non connecté");
        QTest::newRow("settings refused")
            << QStringLiteral("/dev/null") << 0 << QString() << QStringLiteral("/dev/null")
            << QStringLiteral("Impossible de configurer le port");
    }
    void portThatCannotBeUsed() {
        QFETCH(QString, port);
        QFETCH(int, detect);
        QFETCH(QString, secondRow);
        QFETCH(QString, caption);
        QFETCH(QString, message);
        const QString path = port.startsWith(u'/') ? port : m_work->path() + u'/' + port;
        setStore(QStringLiteral("MONITEUR/PORT"), path);
        setStore(QStringLiteral("MONITEUR/DETECT"), detect);
        start();
        QString seenCaption, seenText;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            seenCaption = box->windowTitle();
            seenText = box->text();
            QTimer::singleShot(0, box, &QDialog::reject);
        });
        frame()->runCommand(cmd::kMonitorWindow);
        QTRY_COMPARE_WITH_TIMEOUT(seenText, message, 3000);
        QCOMPARE(seenCaption, caption);
        const CDocMonitor* doc = monitor()->document();
        QCOMPARE(QString::fromLatin1(doc->GetScreenRow(0).data(), 80).trimmed(),
                 QStringLiteral("Ouverture du port ") + path);
        QCOMPARE(QString::fromLatin1(doc->GetScreenRow(1).data(), 80).trimmed(),
                 secondRow.isEmpty() ? QStringLiteral("_") : secondRow + u'_');
        QElapsedTimer closing;
        closing.start();
        qobject_cast<QMdiSubWindow*>(monitor()->parentWidget())->close();
        QTRY_VERIFY(!monitor());
        QVERIFY(closing.elapsed() < 1000);
    }

    // Assemble > Monitor on a clean source ends with the program in the module's memory and PC
    // set: the whole byte stream that reached the module is compared with the one computed from
    // the .abs file, with detection and automatic download on and off.
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
        startSimulator({}, detect, download);
        start();
        const QString abs = assembleDemoToMonitor();
        QVERIFY(monitor());
        uint32_t entry = 0;
        const QByteArray blocks = expectedBlocks(abs, &entry);
        QVERIFY(!blocks.isEmpty());
        QCOMPARE(entry, 0x802000u);
        QByteArray expected = detect ? QByteArray("ve\r") : QByteArray();
        if (download) expected += QByteArray("LO\r\x16") + blocks + "\r" + "PC=802000\r";
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().size() >= expected.size(); }, 8000));
        QTest::qWait(300);
        QCOMPARE(m_sim->received().toHex(' '), expected.toHex(' '));
        if (!download) return;

        // What the module holds now, read back through the terminal.
        QVERIFY(QTest::qWaitFor([&] { return promptOnCursorRow(); }, 3000));
        QTest::keyClicks(monitor(), QStringLiteral("md 802000 10"));
        QTest::keyClick(monitor(), Qt::Key_Return);
        const QByteArray first16 = blocks.mid(6, 16);
        QStringList hex;
        for (char c : first16) hex << QString::asprintf("%02X", uint8_t(c));
        QVERIFY2(screenShows(hex.join(u' ')), qPrintable(screenText(monitor()->document())));
        QTest::keyClicks(monitor(), QStringLiteral("dr"));
        QTest::keyClick(monitor(), Qt::Key_Return);
        QVERIFY(screenShows(QStringLiteral("PC=00802000")));
    }

    // A module that never answers: the message, Retry sends "ve" again after 1000 ms and shows
    // the message again, Cancel ends the sequence with nothing downloaded.
    void silentModule() {
        startSimulator({QStringLiteral("--silent")});
        start();
        QStringList seen;
        whenModal<QMessageBox>([&seen](QMessageBox* box) {
            seen << box->windowTitle();
            QTimer::singleShot(0, box->button(QMessageBox::Retry), &QAbstractButton::click);
            whenModal<QMessageBox>([&seen](QMessageBox* again) {
                seen << again->windowTitle();
                QTimer::singleShot(0, again->button(QMessageBox::Cancel), &QAbstractButton::click);
            });
        });
        frame()->runCommand(cmd::kMonitorWindow);
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 6000);
        QCOMPARE(seen.first(), QStringLiteral("KORVAN ne répond pas"));
        QTest::qWait(1200);
        QCOMPARE(m_sim->received(), QByteArray("ve\rve\r"));
    }

    // A download that the module stops acknowledging (or answers with garbage, or vanishes
    // under) stops at that block with a message naming it and the bytes sent, ends load mode
    // with a lone CR while the line lives, and is never taken as complete; Cancel sends the CR
    // too. A vanished line is said in the terminal and Recharger reopens the port.
    void downloadThatStops_data() {
        QTest::addColumn<int>("acks");
        QTest::addColumn<QByteArray>("ackReply");
        QTest::addColumn<bool>("vanish");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("blocks");     // whole blocks that reach the module
        QTest::addColumn<QString>("shown");  // the message, empty for none
        QTest::newRow("no acknowledgement") << 0 << QByteArray(".") << false << false << 1
                                            << QStringLiteral(
                                                   "bloc d'adresse $00802000 : téléchargement arrêté "
                                                   "après l'envoi de 1008 octets");
        QTest::newRow("one acknowledged, then none") << 1 << QByteArray(".") << false << false << 2
                                                     << QStringLiteral(
                                                            "bloc d'adresse $008023F0 : téléchargement "
                                                            "arrêté après l'envoi de 2016 octets");
        QTest::newRow("garbage for an acknowledgement")
            << -1 << QByteArray("?") << false << false << 1 << QStringLiteral("bloc d'adresse $00802000");
        QTest::newRow("module vanishes") << 0 << QByteArray(".") << true << false << 1
                                         << QStringLiteral("bloc d'adresse $00802000");
        QTest::newRow("cancel while a block waits") << 0 << QByteArray(".") << false << true << 1 << QString();
    }
    void downloadThatStops() {
        QFETCH(int, acks);
        QFETCH(QByteArray, ackReply);
        QFETCH(bool, vanish);
        QFETCH(bool, cancel);
        QFETCH(int, blocks);
        QFETCH(QString, shown);
        startFake(1);
        m_fake->acks = acks;
        m_fake->ackReply = ackReply;
        m_fake->vanishAfterBlocks = vanish ? 1 : -1;
        const QString abs = writeFile(m_work->path() + QStringLiteral("/big.abs"), programOf(4096));
        start();
        openOnAnsweringFake();
        if (cancel)
            whileModal<LoadSR>([this](LoadSR* dlg) {
                if (m_fake->received.size() < 3 + 4 + 6 + 1008) return false;
                QTimer::singleShot(0, dlg->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                                   &QAbstractButton::click);
                return true;
            });
        QString message;
        if (!shown.isEmpty()) answerBox(&message);
        QTimer::singleShot(0, monitor(), [this, abs] { monitor()->download(abs); });
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget() && (shown.isEmpty() || !message.isEmpty()), 10000);
        QVERIFY2(message.contains(shown), qPrintable(message));
        uint32_t entry = 0;
        const QByteArray expected =
            "ve\rLO\r\x16" + expectedBlocks(abs, &entry).left(blocks * (6 + 1008)) + (vanish ? "" : "\r");
        QTest::qWait(cancel ? 1300 : 300);  // a cancelled block waits out its second first
        QCOMPARE(m_fake->received.toHex(' '), expected.toHex(' '));
        QCOMPARE(monitor()->document()->RunAddress(), 0u);  // no program to offer
        if (!vanish) return;

        QVERIFY(screenShows(QStringLiteral("Liaison perdue avec le module (port ")));
        QVERIFY(screenShows(QStringLiteral("KORVAN > Recharger rouvre le port.")));
        m_fake = std::make_unique<FakeModule>(m_work->path() + QStringLiteral("/line"));
        QVERIFY(frame()->runCommand(cmd::kReload));
        QVERIFY(QTest::qWaitFor([&] { return m_fake->received == "ve\r" && promptOnCursorRow(); }, 3000));
        QTest::qWait(1200);  // found present: no message
        QVERIFY(monitor()->document()->channel().IsReceiving());
    }

    // The start-up check counts only a prompt that came after its "ve": a module that stays
    // silent (a program running takes "ve" as its input) is said not to have answered, with a
    // hint at the running program, even with the old prompt still on screen; a vanished module
    // is said to be off or not connected.
    void moduleThatDoesNotAnswer_data() {
        QTest::addColumn<bool>("answerFirst");
        QTest::addColumn<QString>("then");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("shown");
        const QString running = QStringLiteral(
            "Le module KORVAN n'a pas répondu.\nUn programme y tourne peut-être encore : la touche Échap l'arrête. "
            "Sinon, le module est hors tension ou non connecté.");
        QTest::newRow("silent from the start") << false << QString() << false << running;
        QTest::newRow("silent from the start, English")
            << false << QString() << true
            << QStringLiteral(
                   "KORVAN did not answer.\nA program may still be running on it: the ESC key stops it. "
                   "Otherwise the module is off or not connected.");
        QTest::newRow("answered, silent since") << true << QStringLiteral("silence") << false << running;
        QTest::newRow("answered, vanished since")
            << true << QStringLiteral("vanish") << false
            << QStringLiteral("Le module KORVAN est soit hors tension, soit non connecté");
    }
    void moduleThatDoesNotAnswer() {
        QFETCH(bool, answerFirst);
        QFETCH(QString, then);
        QFETCH(bool, english);
        QFETCH(QString, shown);
        startFake(1);
        m_fake->answerVe = answerFirst;
        start();
        if (english) frame()->runCommand(cmd::kLanguageEnglish);
        QString message;
        if (answerFirst) {
            openOnAnsweringFake();
            if (then == QLatin1String("vanish")) {
                m_fake->vanish();
                QVERIFY(screenShows(QStringLiteral("Liaison perdue avec le module")));
            }
            m_fake->answerVe = false;
            answerBox(&message, QMessageBox::Cancel);
            QVERIFY(frame()->runCommand(cmd::kReload));
        } else {
            answerBox(&message, QMessageBox::Cancel);
            frame()->runCommand(cmd::kMonitorWindow);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 4000);
        QCOMPARE(message, shown);
        QCOMPARE(m_fake->received, QByteArray(then.isEmpty()                     ? "ve\r"
                                              : then == QLatin1String("silence") ? "ve\rve\r"
                                                                                 : "ve\r"));
    }

    // Run offers the entry of the program downloaded last when that came after the last
    // register dump, otherwise the dump's PC.
    void runOffersTheLatestAddress_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("offered");
        QTest::newRow("download") << QStringList{QStringLiteral("download")} << QStringLiteral("00802010");
        QTest::newRow("dump, then download")
            << QStringList{QStringLiteral("dump"), QStringLiteral("download")} << QStringLiteral("00802010");
        QTest::newRow("download, then step")
            << QStringList{QStringLiteral("download"), QStringLiteral("step")} << QStringLiteral("00802012");
    }
    void runOffersTheLatestAddress() {
        QFETCH(QStringList, steps);
        QFETCH(QString, offered);
        startSimulator({QStringLiteral("--line-bps"), QStringLiteral("0")}, 0, 0);
        // MOVEQ #$5A,D4; MOVEQ #0,D0; TRAP #15 at $802010, entry $802010.
        const QString abs =
            writeFile(m_work->path() + QStringLiteral("/p.abs"), codeAt802010(QByteArray::fromHex("785A70004E4F")));
        start();
        frame()->runCommand(cmd::kMonitorWindow);
        QVERIFY(monitor());
        int dumps = 0;
        connect(monitor()->document(), &CDocMonitor::registersParsed, this, [&dumps] { ++dumps; });
        for (const QString& step : steps) {
            if (step == QLatin1String("download")) {
                QVERIFY(downloaded(abs, "PC=802010\r"));
            } else {
                const int before = dumps;
                monitor()->document()->channel().SendString(step == QLatin1String("dump") ? "dr\r" : "ss\r");
                QVERIFY(QTest::qWaitFor([&] { return dumps > before; }, 3000));
            }
        }
        QString prefilled;
        whenModal<Executer>([&prefilled](Executer* dlg) {
            prefilled = dlg->startAddress();
            QTimer::singleShot(0, dlg, &QDialog::reject);
        });
        frame()->runCommand(cmd::kRun);
        QCOMPARE(prefilled, offered);
    }

    // With the register window open, the dump the module prints when a program stops (it
    // ended, took an exception, or ESC stopped it) refreshes the window.
    void registerWindowFollowsEveryDump_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<bool>("escape");
        QTest::newRow("program ends") << QByteArray::fromHex("785A70004E4F") << false;  // TRAP #15, D0=0
        QTest::newRow("illegal instruction") << QByteArray::fromHex("785A4AFC") << false;
        QTest::newRow("ESC stops a loop") << QByteArray::fromHex("785A60FE") << true;  // BRA *
    }
    void registerWindowFollowsEveryDump() {
        QFETCH(QByteArray, code);
        QFETCH(bool, escape);
        startSimulator({QStringLiteral("--line-bps"), QStringLiteral("0")}, 0, 0);
        const QString abs = writeFile(m_work->path() + QStringLiteral("/p.abs"), codeAt802010(code));
        start();
        frame()->runCommand(cmd::kMonitorWindow);
        QVERIFY(monitor());
        QVERIFY(downloaded(abs, "PC=802010\r"));
        QVERIFY(frame()->runCommand(cmd::kCpuRegisters));
        auto* data = monitor()->cpuDialog()->findChild<QListWidget*>(QStringLiteral("dataList"));
        auto* pc = monitor()->cpuDialog()->findChild<QPushButton*>(QStringLiteral("pcButton"));
        QTRY_COMPARE_WITH_TIMEOUT(pc->text(), QStringLiteral("PC = 00802010"), 3000);
        QCOMPARE(data->item(4)->text(), QStringLiteral("D4 = 00000000"));
        QVERIFY(promptReady());
        whenModal<Executer>([](Executer* dlg) { QTimer::singleShot(0, dlg, &QDialog::accept); });
        frame()->runCommand(cmd::kRun);
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().endsWith("GO 802010\r"); }, 3000));
        if (escape) {
            QTest::qWait(200);
            QTest::keyClick(monitor(), Qt::Key_Escape);
        }
        QTRY_COMPARE_WITH_TIMEOUT(data->item(4)->text(), QStringLiteral("D4 = 0000005A"), 5000);
        QVERIFY(pc->text() != QStringLiteral("PC = 00802010"));
    }

    // The C example built with the default GNU options, left with Monitor: the module receives
    // the program, and Run makes it print through the run-time into the terminal.
    void cExampleRunsOnTheModule() {
        const QString mainC = startWithCExample();
        if (mainC.isEmpty()) QSKIP("no m68k cross compiler on this machine");
        QVERIFY(buildToMonitor(mainC));
        QTRY_VERIFY_WITH_TIMEOUT(monitor(), 30000);
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().endsWith("PC=802000\r"); }, 10000));
        QVERIFY(promptReady());
        // No dump was asked for yet: Run offers the entry of the program just downloaded.
        QString prefilled;
        whenModal<Executer>([&prefilled](Executer* dlg) {
            prefilled = dlg->startAddress();
            QTimer::singleShot(0, dlg, &QDialog::accept);
        });
        frame()->runCommand(cmd::kRun);
        QCOMPARE(prefilled, QStringLiteral("00802000"));
        QVERIFY2(screenShows(QStringLiteral("somme des carres 0..7 = 140"), 10000),
                 qPrintable(screenText(monitor()->document())));
        QVERIFY(screenText(monitor()->document()).contains(QStringLiteral("Bonjour du 68332")));
        // Floating point through newlib's printf, in software on the CPU32.
        QVERIFY(screenText(monitor()->document()).contains(QStringLiteral("moyenne = 17.500, racine = 1.414214")));
    }

    // The debugger on the demo, whose routine SUM sits in an include file: breakpoints set with
    // F9 and with the gutter (one on a comment line, which moves to the next instruction),
    // planted in the module's memory, Run stopping on them with the line shown, step over and
    // into the BSR, run to cursor, and a cleared breakpoint giving the original word back.
    void debugAssemblyProgram() {
        startSimulator({QStringLiteral("--line-bps"), QStringLiteral("0")});
        start();
        const QString dir = m_work->path() + QStringLiteral("/src");
        QDir().mkpath(dir);
        QVERIFY(QFile::copy(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/defs.def"), dir + QStringLiteral("/defs.def")));
        QString demo = QString::fromLatin1(readFile(QStringLiteral(KORVAN_EXAMPLES_DIR "/demo/main.src")));
        const qsizetype from = demo.indexOf(QStringLiteral("* SUM:")),
                        to = demo.indexOf(QStringLiteral("\nMESSAGE")) + 1;
        QVERIFY(from > 0 && to > from);
        writeFile(dir + QStringLiteral("/sum.inc"), demo.mid(from, to - from).toLatin1());
        demo.replace(from, to - from, QStringLiteral("         INCLUDE sum.inc\n"));
        writeFile(dir + QStringLiteral("/main.src"), demo.toLatin1());
        const QString mainSrc = dir + QStringLiteral("/main.src"), sumInc = dir + QStringLiteral("/sum.inc");
        QVERIFY(buildToMonitor(mainSrc));
        QTRY_VERIFY_WITH_TIMEOUT(monitor() && session()->programLoaded() && !session()->busy(), 10000);
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().endsWith("PC=802000\r"); }, 10000));
        korvan::debug::ProgramImage image;
        QVERIFY(image.load(QFile::encodeName(dir + QStringLiteral("/main.abs")).toStdString()));

        const int bsrLine = lineOf(mainSrc, QStringLiteral("BSR     SUM"));
        const int afterLine = lineOf(mainSrc, QStringLiteral("MOVE.L  D3,RESULT"));
        const int leaLine = lineOf(mainSrc, QStringLiteral("LEA     MESSAGE"));
        const int sumLine = lineOf(sumInc, QStringLiteral("SUM      MOVEM"));
        const int addLine = lineOf(sumInc, QStringLiteral("ADD.L   D2,D3"));
        const uint32_t bsr = addressOf(mainSrc, bsrLine);
        QVERIFY(bsr != 0);

        // F9 on the caret's line, in main.src.
        CKorvanView* mainView = viewOf(mainSrc);
        QVERIFY(mainView);
        frame()->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(mainView->parentWidget()));
        GoToLine(mainView, bsrLine - 1);
        QVERIFY(frame()->runCommand(cmd::kBreakpoint));
        QTRY_VERIFY(!session()->busy());
        QCOMPARE(mainView->breakpointLines(), QSet<int>{bsrLine});
        QCOMPARE(memoryWord(bsr), 0x4848);

        // Run stops on the BSR with its line shown.
        QVERIFY(debugCommand(cmd::kDebugRun));
        QCOMPARE(pc(), bsr);
        QCOMPARE(session()->stopLocation().line, bsrLine);
        QCOMPARE(mainView->currentLine(), bsrLine);
        QVERIFY(monitor()->cpuDialog()->instruction().contains(QStringLiteral("bsr")));
        // Step over runs the whole routine: the sum of the squares is in D3.
        QVERIFY(debugCommand(cmd::kDebugStepOver));
        QCOMPARE(pc(), addressOf(mainSrc, afterLine));
        QCOMPARE(mainView->currentLine(), afterLine);
        QCOMPARE(monitor()->document()->Registers().GetRegister(kRegD0 + 3), 1240u);
        QCOMPARE(memoryWord(addressOf(mainSrc, afterLine)), int(*image.word(addressOf(mainSrc, afterLine))));
        // From the start again: the breakpoint holds, and step into enters SUM in sum.inc.
        QVERIFY(debugCommand(0, [&] { session()->runFrom(0x802000); }));
        QCOMPARE(pc(), bsr);
        QVERIFY(debugCommand(cmd::kDebugStepInto));
        QCOMPARE(pc(), addressOf(sumInc, sumLine));
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
        QCOMPARE(pc(), addressOf(sumInc, addLine));
        QCOMPARE(sumView->currentLine(), addLine);
        QCOMPARE(memoryWord(addressOf(sumInc, sumLine)), 0x4848);  // planted again after its step
        for (int line : {sumLine, addLine}) emit sumView->breakpointToggleRequested(line);  // cleared
        QTRY_VERIFY(!session()->busy());
        for (int line : {sumLine, addLine})
            QCOMPARE(memoryWord(addressOf(sumInc, line)), int(*image.word(addressOf(sumInc, line))));
        // Run to the caret's line.
        frame()->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(mainView->parentWidget()));
        GoToLine(mainView, leaLine - 1);
        QVERIFY(debugCommand(cmd::kDebugRunToCursor));
        QCOMPARE(pc(), addressOf(mainSrc, leaLine));
        QCOMPARE(mainView->currentLine(), leaLine);
        QCOMPARE(monitor()->document()->Registers().GetRegister(kRegD0 + 3), 1240u);
        // The cleared breakpoint gives the program's own word back.
        GoToLine(mainView, bsrLine - 1);
        QVERIFY(frame()->runCommand(cmd::kBreakpoint));
        QTRY_VERIFY(!session()->busy());
        QVERIFY(mainView->breakpointLines().isEmpty());
        QCOMPARE(memoryWord(bsr), int(*image.word(bsr)));
        QVERIFY(session()->memoryDisplayAvailable().value_or(false));
    }

    // The C example built -O0 -g: a breakpoint in sum() found through DWARF, Run stopping
    // there with the function named, and step out back to main's line of the call.
    void debugCProgram() {
        const QString mainC = startWithCExample();
        if (mainC.isEmpty()) QSKIP("no m68k cross compiler on this machine");
        QVERIFY(storeValue(QStringLiteral("GNU/CFLAG")).contains(QStringLiteral("-O0 -g")));
        QVERIFY(buildToMonitor(mainC));
        QTRY_VERIFY_WITH_TIMEOUT(monitor() && session()->programLoaded() && !session()->busy(), 30000);
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().endsWith("PC=802000\r"); }, 10000));

        const int totalLine = lineOf(mainC, QStringLiteral("int total = 0;"));
        const int callLine = lineOf(mainC, QStringLiteral("somme des carres"));
        CKorvanView* view = viewOf(mainC);
        QVERIFY(view && totalLine > 0);
        emit view->breakpointToggleRequested(totalLine);
        QTRY_VERIFY(!session()->busy());
        QCOMPARE(view->breakpointLines(), QSet<int>{totalLine});
        QVERIFY(debugCommand(cmd::kDebugRun));
        QCOMPARE(session()->stopLocation().line, totalLine);
        QCOMPARE(pc(), addressOf(mainC, totalLine));
        QCOMPARE(view->currentLine(), totalLine);
        QVERIFY(frame()->debugState().contains(QStringLiteral("(sum)")));
        emit view->breakpointToggleRequested(totalLine);
        QTRY_VERIFY(!session()->busy());
        QVERIFY(debugCommand(cmd::kDebugStepOut));
        QCOMPARE(session()->stopLocation().line, callLine);
        QVERIFY(frame()->debugState().contains(QStringLiteral("(main)")));
        QCOMPARE(view->currentLine(), callLine);
    }

    // The register window, a register edit, Run with the PC of the last dump and Step, each
    // checked by the bytes the module received and by the window's texts.
    void registersRunAndStep() {
        startSimulator({QStringLiteral("--line-bps"), QStringLiteral("0")}, 0, 0);
        start();
        frame()->runCommand(cmd::kMonitorWindow);
        QVERIFY(monitor());
        QVERIFY(frame()->runCommand(cmd::kCpuRegisters));
        Cpu* cpu = monitor()->cpuDialog();
        QVERIFY(cpu && cpu->isVisible());
        auto* pc = cpu->findChild<QPushButton*>(QStringLiteral("pcButton"));
        QTRY_COMPARE_WITH_TIMEOUT(pc->text(), QStringLiteral("PC = 00802000"), 3000);
        QCOMPARE(cpu->findChild<QListWidget*>(QStringLiteral("stackList"))->item(0)->text(),
                 QStringLiteral("SS = 00880000"));
        QCOMPARE(cpu->findChild<QLineEdit*>(QStringLiteral("ccrEdit"))->text(), QStringLiteral("-----"));

        // D3 edited to 1234: the row changes and the set command goes out; a typed value that
        // is not hexadecimal is refused and sends nothing.
        auto* data = cpu->findChild<QListWidget*>(QStringLiteral("dataList"));
        auto answerModify = [](const QString& value) {
            whenModal<ModifRegistre>([value](ModifRegistre* dlg) {
                // The value is what gets typed: the focus is there, not on the register's name, and
                // it starts as the register's value.
                QCOMPARE(dlg->focusWidget(), dlg->findChild<QLineEdit*>(QStringLiteral("valueEdit")));
                QCOMPARE(dlg->findChild<QLineEdit*>(QStringLiteral("valueEdit"))->text(), QStringLiteral("00000000"));
                QCOMPARE(dlg->findChild<QLineEdit*>(QStringLiteral("labelEdit"))->text(), QStringLiteral("D3 ="));
                dlg->findChild<QLineEdit*>(QStringLiteral("valueEdit"))->setText(value);
                QTimer::singleShot(0, dlg, &QDialog::accept);
            });
        };
        QString refusal;
        answerModify(QStringLiteral("zz"));
        answerBox(&refusal);
        emit data->itemDoubleClicked(data->item(3));
        QVERIFY(refusal.contains(QStringLiteral("zz")));
        answerModify(QStringLiteral("1234"));
        emit data->itemDoubleClicked(data->item(3));
        QCOMPARE(data->item(3)->text(), QStringLiteral("D3 = 00001234"));
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().endsWith("D3=00001234\r"); }, 3000));

        // Run pre-fills the PC of the last dump; a 0x prefix is allowed.
        QString prefilled;
        whenModal<Executer>([&prefilled](Executer* dlg) {
            prefilled = dlg->startAddress();
            dlg->setStartAddress(QStringLiteral("0x802000"));
            QTimer::singleShot(0, dlg, &QDialog::accept);
        });
        const qsizetype mark = m_sim->sent().size();
        frame()->runCommand(cmd::kRun);
        QCOMPARE(prefilled, QStringLiteral("00802000"));
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received().endsWith("GO 802000\r"); }, 3000));
        // Keys sent while the program runs would be its input: wait for the monitor's prompt.
        QVERIFY(QTest::qWaitFor([&] { return m_sim->answeredSince(mark); }, 10000));
        QVERIFY(promptReady());

        // Step: its dump refreshes the register window, whatever the module did.
        const QByteArray before = m_sim->received();
        frame()->runCommand(cmd::kStep);
        QVERIFY(QTest::qWaitFor([&] { return m_sim->received() == before + "ss\r"; }, 3000));
        QTRY_VERIFY_WITH_TIMEOUT(
            data->item(3)->text() == QStringLiteral("D3 = 00001234") && pc->text() != QStringLiteral("PC = 00802000"),
            3000);
        QVERIFY(screenText(monitor()->document()).contains(pc->text().remove(u' ')));
    }
};

QTEST_MAIN(TstMonitor)
#include "tst_monitor.moc"
