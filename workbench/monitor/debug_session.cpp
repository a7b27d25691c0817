// The debugger's Qt side: commands, the queue of monitor commands, and what a stop shows.
#include "debug_session.h"

#include <QContextMenuEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>

#include "commands.h"
#include "instruction.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "memory_panel.h"
#include "monitor_command.h"
#include "monitor_dialogs.h"
#include "monitor_doc.h"
#include "monitor_rules.h"
#include "monitor_texts.h"
#include "monitor_view.h"
#include "process.h"
#include "reg_cpu.h"

namespace korvan::monitor {

using shell::CKorvanView;
namespace cmd = shell::cmd;

namespace {

constexpr int kWriteWaitMs = 2000;  // a module may end load mode without a prompt
constexpr int kSetWaitMs = 1000;
constexpr int kReadWaitMs = 3000;

// The file as the breakpoint table and the line map name it: absolute, links resolved.
QString fileKey(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString qpath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The objdump that reads the module's programs: the cross toolchain's, or binutils'
// multi-target one.
std::string objdumpFor(const shell::CKorvanApp& app) {
    const std::string own = bytes(app.cygwinRoot()) + "/bin/" + app.toolchainPrefix().toStdString() + "objdump";
    if (!app.cygwinRoot().isEmpty() && !debug::FindExecutable(own).empty()) return own;
    return "m68k-linux-gnu-objdump";
}

// One download: "LO", one block per run of bytes, a lone CR.
void sendBlocks(ComTread& channel, const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& blocks) {
    channel.SendString(std::string("LO\r\x16", 4));
    for (const auto& [address, data] : blocks) {
        std::string block;
        for (int shift = 24; shift >= 0; shift -= 8) block += char(address >> shift);
        block += char(data.size() >> 8);
        block += char(data.size());
        block.append(data.begin(), data.end());
        channel.WriteBlockAck(block);
    }
    channel.Pause(20);
    channel.WriteBytes("\r");
}

}  // namespace

DebugSession::DebugSession(shell::CKorvanApp& app)
    : QObject(&app), m_app(app), m_disassembly(debug::Disassembler(objdumpFor(app))) {
    setObjectName(QStringLiteral("DebugSession"));
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        if (m_waiting) itemAnswered();
    });
}

DebugSession::~DebugSession() { delete m_memoryDock.data(); }

DebugSession* DebugSession::of(shell::CKorvanApp& app) {
    return app.findChild<DebugSession*>(QStringLiteral("DebugSession"), Qt::FindDirectChildrenOnly);
}

void installDebugCommands(shell::CKorvanApp& app) {
    if (DebugSession::of(app)) return;
    (new DebugSession(app))->install();
}

CDocMonitor* DebugSession::doc() const { return m_view ? m_view->document() : nullptr; }

bool DebugSession::canCommand() const { return m_view && !m_running && !busy(); }

uint32_t DebugSession::pc() const { return doc() ? doc()->RunAddress() : 0; }

void DebugSession::install() {
    auto source = [this] {
        shell::CMainFrame* frame = m_app.mainFrame();
        return frame ? frame->activeSourceView() : nullptr;
    };
    auto ready = [this] { return canCommand(); };
    m_app.setHandler(cmd::kBreakpoint, {[this, source] {
                                            if (CKorvanView* v = source()) toggleBreakpoint(v, v->caretLine() + 1);
                                        },
                                        [source] { return source() != nullptr; },
                                        {}});
    m_app.setHandler(cmd::kDebugRun, {[this] { run(); }, ready, {}});
    m_app.setHandler(cmd::kDebugStepInto, {[this] { stepInto(); }, ready, {}});
    m_app.setHandler(cmd::kDebugStepOver, {[this] { stepOver(); }, ready, {}});
    m_app.setHandler(cmd::kDebugStepOut, {[this] { stepOut(); }, ready, {}});
    m_app.setHandler(cmd::kDebugRunToCursor, {[this, source] {
                                                  if (CKorvanView* v = source()) runToLine(v, v->caretLine() + 1);
                                              },
                                              [this, source] { return canCommand() && source() != nullptr; },
                                              {}});
    m_app.setHandler(cmd::kDebugStop, {[this] { stop(); }, [this] { return m_view != nullptr; }, {}});
    m_app.setHandler(cmd::kMemoryWindow, {[this] { showMemoryWindow(); }, [this] { return m_view != nullptr; }, {}});
    m_app.addViewCommandInstaller([this](CKorvanView& view) { installView(view); });
}

void DebugSession::installView(CKorvanView& view) {
    QPointer<CKorvanView> guard = &view;
    connect(&view, &CKorvanView::breakpointToggleRequested, this, [this, guard](int line) {
        if (guard) toggleBreakpoint(guard, line);
    });
    connect(&view, &CKorvanView::breakpointLinesMoved, this, [this, guard] {
        if (!guard) return;
        const QString file = fileKey(guard->document()->path());
        const QSet<int> marks = guard->breakpointLines();
        m_table.setLinesIn(bytes(file), std::vector<int>(marks.begin(), marks.end()));
        refreshMarks();
        if (canCommand()) queuePlan(m_table.planSync(), false);
    });
    // The editor's menu gains the two commands of the line under the mouse.
    view.viewport()->installEventFilter(this);
    view.viewport()->setProperty("korvanDebugView", QVariant::fromValue<QObject*>(&view));
    // Marks of a file opened after the breakpoints were set (the view's text comes later).
    QTimer::singleShot(0, this, [this] { refreshMarks(); });
}

bool DebugSession::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu) return QObject::eventFilter(watched, event);
    auto* view = qobject_cast<CKorvanView*>(watched->property("korvanDebugView").value<QObject*>());
    if (!view) return QObject::eventFilter(watched, event);
    auto* e = static_cast<QContextMenuEvent*>(event);
    const int line = view->cursorForPosition(e->pos()).blockNumber() + 1;
    QPointer<CKorvanView> guard = view;
    std::unique_ptr<QMenu> menu(view->createStandardContextMenu(e->pos()));
    menu->addSeparator();
    menu->addAction(monitorText(mtext::kDebugToggle), this, [this, guard, line] {
        if (guard) toggleBreakpoint(guard, line);
    });
    QAction* runTo = menu->addAction(monitorText(mtext::kDebugRunToCursor), this, [this, guard, line] {
        if (guard) runToLine(guard, line);
    });
    runTo->setEnabled(canCommand());
    menu->exec(e->globalPos());
    return true;
}

void DebugSession::attach(ViewMonitor* view) {
    if (!view || view == m_view) return;
    m_view = view;
    m_queue.clear();
    m_waiting = m_running = false;
    m_mdAvailable.reset();
    CDocMonitor* d = view->document();
    connect(d, &CDocMonitor::textReceived, this, [this](const QByteArray& b) {
        if (m_capturing) m_capture += b.toStdString();
    });
    connect(d, &CDocMonitor::registersParsed, this, &DebugSession::onDump);
    connect(d, &CDocMonitor::promptReceived, this, &DebugSession::onPrompt);
    connect(view, &ViewMonitor::programDownloaded, this, &DebugSession::programDownloaded);
    connect(view, &QObject::destroyed, this, [this] {
        m_queue.clear();
        m_waiting = m_running = m_capturing = false;
        m_watchdog.stop();
        updateState();
    });
    view->setRunner([this](uint32_t start) { runFrom(start); });
    view->setStepper([this] { stepInto(); });
    updateState();
}

void DebugSession::programDownloaded(const QString& path) {
    m_programPath = path;
    const QFileInfo abs(path);
    const QString base = abs.absolutePath() + u'/' + abs.completeBaseName();
    m_map.reset();
    std::string error;
    // A C or C++ program keeps its ELF file beside the S-records; an assembled one its listing.
    const QFileInfo elf(base + QStringLiteral(".elf")), lis(base + QStringLiteral(".lis"));
    if (elf.exists() && (!lis.exists() || elf.lastModified() >= lis.lastModified()))
        m_map = debug::LineMap::FromElf(bytes(elf.filePath()), &error);
    if (!m_map && lis.exists()) {
        QString source;
        if (shell::CMainFrame* frame = m_app.mainFrame())
            if (fileKey(qpath(downloadPathFor(bytes(frame->lastBuiltSource())))) == fileKey(path))
                source = frame->lastBuiltSource();
        for (const char* ext : {".src", ".asm", ".s", ".68k"}) {
            if (!source.isEmpty()) break;
            if (QFileInfo::exists(base + QLatin1String(ext))) source = base + QLatin1String(ext);
        }
        const QString workDir =
            m_app.settings().GetSettingString(QStringLiteral("REPERTOIRE"), QStringLiteral("DEF"), {});
        if (!source.isEmpty())
            m_map = debug::LineMap::FromListing(bytes(fileKey(source)), bytes(lis.filePath()), bytes(workDir), &error);
    }
    if (!m_image.load(bytes(path))) m_map.reset();
    m_disassembly.load(bytes(path));
    m_table.bind(m_map ? &*m_map : nullptr, &m_image, true);
    refreshMarks();
    queuePlan(m_table.planSync(), false);
    updateState();
}

std::vector<int> DebugSession::breakpointLines(const QString& file) const {
    return m_table.linesIn(bytes(fileKey(file)));
}

void DebugSession::refreshMarks() {
    shell::CMainFrame* frame = m_app.mainFrame();
    if (!frame) return;
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList()) {
        auto* v = qobject_cast<CKorvanView*>(w->widget());
        if (!v || v->document()->isUntitled()) continue;
        const QString file = fileKey(v->document()->path());
        QSet<int> lines;
        for (int l : m_table.linesIn(bytes(file))) lines.insert(l);
        if (v->breakpointLines() != lines) v->setBreakpointLines(lines);
        const int current = !m_currentFile.isEmpty() && file == m_currentFile ? m_stopLocation.line : 0;
        if (v->currentLine() != current) v->setCurrentLine(current);
    }
}

void DebugSession::toggleBreakpoint(CKorvanView* view, int line) {
    const QString file = fileKey(view->document()->path());
    if (file.isEmpty() || line <= 0) return;
    if (!m_table.toggle(bytes(file), line)) {
        QMessageBox::warning(view, monitorText(mtext::kDebugCaption),
                             monitorText(mtext::kDebugTooMany).arg(debug::BreakpointTable::kMaxLines));
        return;
    }
    refreshMarks();
    // While the program runs the monitor takes no command: the change is written at the stop.
    if (m_view && !m_running) queuePlan(m_table.planSync(), false);
}

void DebugSession::run() {
    if (!m_view) return;
    if (!programLoaded()) {
        QMessageBox::information(m_app.mainFrame(), monitorText(mtext::kDebugCaption),
                                 monitorText(mtext::kDebugNoProgram));
        return;
    }
    runFrom(pc());
}

void DebugSession::runFrom(uint32_t start) {
    if (!m_view) return;
    queuePlan(m_table.planRun(start, pc()), true);
}

void DebugSession::stepInto() {
    if (!m_view) return;
    queuePlan(m_table.planStepInto(pc()), true);
}

std::vector<uint8_t> DebugSession::codeAt(uint32_t address) const {
    // The program's own words: a planted breakpoint does not hide the instruction.
    if (auto code = m_image.read(address, 10)) return *code;
    if (auto code = m_image.read(address, 2)) return *code;
    if (doc()) return debug::ParseInstructionBytes(doc()->LastDump(), address);
    return {};
}

void DebugSession::stepOver() {
    if (!m_view) return;
    const uint32_t at = pc();
    const std::vector<uint8_t> code = codeAt(at);
    queuePlan(m_table.planStepOver(at, code.data(), code.size()), true);
}

void DebugSession::stepOut() {
    if (!m_view) return;
    const RegCpu& regs = doc()->Registers();
    debug::FrameState frame;
    frame.pc = pc();
    frame.sp = regs.GetRegister(kRegA0 + 7);
    for (int i = 0; i < 7; ++i) frame.a[i] = regs.GetRegister(kRegA0 + i);
    const std::vector<uint8_t> code = codeAt(frame.pc);
    frame.atPc = debug::ClassifyInstruction(code.data(), code.size());
    if (const debug::FunctionRange* f = m_map ? m_map->functionAt(frame.pc) : nullptr) {
        frame.routineStart = f->start;
        const std::vector<uint8_t> first = codeAt(f->start);
        frame.atRoutineStart = debug::ClassifyInstruction(first.data(), first.size());
    }
    const std::optional<uint32_t> slot = debug::ReturnAddressSlot(frame);
    // Without the return address (no frame to find it in, or no "md" to read it) step out is
    // a step over.
    if (!slot || m_mdAvailable == false) {
        stepOver();
        return;
    }
    const uint32_t at = frame.pc;
    readMemory(*slot, 4, [this, slot, at](const std::map<uint32_t, uint8_t>& mem) {
        uint32_t ret = 0;
        for (uint32_t k = 0; k < 4; ++k) {
            const auto it = mem.find(*slot + k);
            if (it == mem.end()) {
                stepOver();
                return;
            }
            ret = ret << 8 | it->second;
        }
        const debug::Plan plan = m_table.planRunTo(at, ret);
        if (plan.empty())
            stepOver();
        else
            queuePlan(plan, true);
    });
}

void DebugSession::runToLine(CKorvanView* view, int line) {
    if (!m_view || !m_map) return;
    const QString file = fileKey(view->document()->path());
    const auto site = m_map->addressOf(bytes(file), line);
    const debug::Plan plan = site ? m_table.planRunTo(pc(), site->addresses.front()) : debug::Plan{};
    if (plan.empty()) {
        QMessageBox::information(view, monitorText(mtext::kDebugCaption),
                                 monitorText(mtext::kDebugNoLine).arg(QFileInfo(file).fileName()).arg(line));
        return;
    }
    queuePlan(plan, true);
}

void DebugSession::stop() {
    if (doc()) doc()->SendKey('\x1B');
}

void DebugSession::readMemory(uint32_t address, uint32_t count,
                              std::function<void(const std::map<uint32_t, uint8_t>&)> done) {
    if (!m_view || m_mdAvailable == false) {
        done({});
        return;
    }
    Item item;
    item.send = [this, address, count] {
        m_capture.clear();
        m_capturing = true;
        doc()->channel().SendString(QString::asprintf("md %X %X\r", address, count).toStdString());
    };
    item.answered = [this, address, count, done = std::move(done)] {
        m_capturing = false;
        std::map<uint32_t, uint8_t> mem = debug::ParseMemoryDisplay(m_capture);
        for (auto it = mem.begin(); it != mem.end();)
            it = it->first >= address && it->first - address < count ? std::next(it) : mem.erase(it);
        if (!m_mdAvailable) m_mdAvailable = !mem.empty();
        done(mem);
    };
    item.timeoutMs = kReadWaitMs;
    queue(std::move(item));
}

void DebugSession::writeMemory(uint32_t address, const std::vector<uint8_t>& data) {
    if (!m_view || data.empty()) return;
    Item item;
    item.send = [this, address, data] { sendBlocks(doc()->channel(), {{address, data}}); };
    item.timeoutMs = kWriteWaitMs;
    queue(std::move(item));
}

void DebugSession::queuePlan(const debug::Plan& plan, bool endsWithStop) {
    if (!m_view) return;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const debug::MonitorStep& step = plan[i];
        Item item;
        switch (step.kind) {
        case debug::MonitorStep::Kind::Write: {
            std::vector<std::pair<uint32_t, std::vector<uint8_t>>> blocks;
            for (const debug::WordWrite& w : step.writes)
                blocks.push_back({w.address, {uint8_t(w.word >> 8), uint8_t(w.word)}});
            item.send = [this, blocks] { sendBlocks(doc()->channel(), blocks); };
            item.timeoutMs = kWriteWaitMs;
            break;
        }
        case debug::MonitorStep::Kind::SetPc:
            item.send = [this, a = step.address] {
                doc()->channel().SendString(QString::asprintf("PC=%8.8X\r", a).toStdString());
            };
            item.timeoutMs = kSetWaitMs;
            break;
        case debug::MonitorStep::Kind::Step:
            // A step may wait for a character the program reads: no time limit.
            item.send = [this] { doc()->channel().SendString("ss\r"); };
            item.run = true;
            break;
        case debug::MonitorStep::Kind::Go:
            item.send = [this, a = step.address, current = step.fromCurrentPc] {
                const uint32_t from = current ? doc()->Registers().GetRegister(kRegPC) : a;
                doc()->channel().SendString(QString::asprintf("GO %X\r", from).toStdString());
            };
            item.run = true;
            break;
        }
        if (endsWithStop && i + 1 == plan.size()) item.answered = [this] { stopped(); };
        queue(std::move(item));
    }
}

void DebugSession::queue(Item item) {
    m_queue.push_back(std::move(item));
    sendNext();
    updateState();
}

void DebugSession::sendNext() {
    if (m_waiting || m_queue.empty() || !doc()) return;
    Item item = std::move(m_queue.front());
    m_queue.pop_front();
    m_promptMark = doc()->PromptCount();
    m_waiting = true;
    m_running = item.run;
    m_answered = std::move(item.answered);
    if (item.timeoutMs > 0) m_watchdog.start(item.timeoutMs);
    item.send();
}

void DebugSession::onPrompt() {
    if (m_waiting && doc() && doc()->PromptCount() > m_promptMark) itemAnswered();
}

void DebugSession::itemAnswered() {
    m_watchdog.stop();
    m_waiting = false;
    m_running = false;
    m_capturing = false;
    std::function<void()> answered = std::move(m_answered);
    m_answered = nullptr;
    if (answered) answered();
    sendNext();
    updateState();
}

void DebugSession::onDump() {
    // A dump inside a plan is one of its steps; one that comes on its own (a program started
    // from the terminal stopped, a step typed there) is a stop like any other.
    if (m_waiting || !m_queue.empty()) return;
    stopped();
}

void DebugSession::stopped() {
    showStop(doc() ? doc()->Registers().GetRegister(kRegPC) : 0);
    queuePlan(m_table.planAfterStop(), false);
    if (m_memory && m_memoryDock && m_memoryDock->isVisible()) m_memory->refresh();
    emit stopShown();
}

CKorvanView* DebugSession::viewOf(const QString& file, bool open) {
    shell::CKorvanDoc* d = m_app.findOpenDocument(file);
    if (!d && open) d = m_app.openSourceDocument(file);
    return d && !d->views().empty() ? d->views().front() : nullptr;
}

void DebugSession::showStop(uint32_t at) {
    const std::optional<debug::SourceLocation> loc = m_map ? m_map->locationAt(at) : std::nullopt;
    const QString previous = m_currentFile;
    const int previousLine = m_stopLocation.line;
    shell::CMainFrame* frame = m_app.mainFrame();
    QString state;
    if (loc) {
        m_stopLocation = *loc;
        m_currentFile = fileKey(qpath(loc->file));
        const QString name = QFileInfo(m_currentFile).fileName();
        const debug::FunctionRange* f = m_map->functionAt(at);
        state = f ? monitorText(mtext::kDebugStoppedIn).arg(name).arg(loc->line).arg(QString::fromStdString(f->name))
                  : monitorText(mtext::kDebugStoppedAt).arg(name).arg(loc->line);
        // A run-time source that is not on this machine: the line is named, the disassembly shown.
        if (!QFileInfo::exists(m_currentFile)) m_currentFile.clear();
        CKorvanView* v = m_currentFile.isEmpty() ? nullptr : viewOf(m_currentFile, true);
        // The source comes to the front, unless nothing moved (a register dump asked for).
        if (v && frame && (previous != m_currentFile || previousLine != loc->line || !frame->activeSourceView()))
            frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(v->parentWidget()));
    } else {
        m_stopLocation = {};
        m_currentFile.clear();
        state = monitorText(mtext::kDebugOutside).arg(QString::asprintf("%8.8X", at));
    }
    refreshMarks();
    m_stopText = state;
    if (m_view) {
        Cpu* cpu = m_view->showCpuWindow();
        cpu->setInstruction(instructionText(at));
    }
    updateState();
}

QString DebugSession::instructionText(uint32_t at) const {
    if (const debug::DisassemblyRow* row = m_disassembly.rowAt(at); row && row->address == at)
        return QString::asprintf("%8.8X  ", at) + QString::fromStdString(row->text);
    // Outside the program: the words the dump shows, disassembled.
    std::vector<uint8_t> code = doc() ? debug::ParseInstructionBytes(doc()->LastDump(), at) : std::vector<uint8_t>{};
    if (code.empty()) return QString::asprintf("%8.8X", at);
    const debug::Disassembly d = debug::Disassembler(objdumpFor(m_app)).disassembleBytes(at, code.data(), code.size());
    QString text = QString::asprintf("%8.8X  ", at);
    if (d.ok() && !d.rows.empty()) return text + QString::fromStdString(d.rows.front().text);
    for (std::size_t i = 0; i + 1 < code.size(); i += 2) text += QString::asprintf("%02X%02X ", code[i], code[i + 1]);
    return text.trimmed();
}

void DebugSession::updateState() {
    if (shell::CMainFrame* frame = m_app.mainFrame()) {
        frame->setDebugState(m_running ? monitorText(mtext::kDebugRunning)
                             : busy()  ? monitorText(mtext::kDebugBusy)
                                       : m_stopText);
        frame->scheduleUiUpdate();
    }
    emit stateChanged();
}

void DebugSession::showMemoryWindow() {
    shell::CMainFrame* frame = m_app.mainFrame();
    if (!frame) return;
    if (!m_memoryDock) {
        auto* dock = new QDockWidget(monitorText(mtext::kMemoryTitle), frame);
        dock->setObjectName(QStringLiteral("MemoryDock"));
        m_memory = new MemoryPanel(*this, dock);
        dock->setWidget(m_memory);
        frame->addDockWidget(Qt::RightDockWidgetArea, dock);
        m_memoryDock = dock;
        if (m_view && m_view->cpuDock())
            frame->splitDockWidget(qobject_cast<QDockWidget*>(m_view->cpuDock()), dock, Qt::Vertical);
    }
    m_memoryDock->show();
    m_memory->refresh();
}

}  // namespace korvan::monitor
