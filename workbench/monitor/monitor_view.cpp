// The monitor's terminal view, its start-up sequence and its commands.
#include "monitor_view.h"

#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>

#include "commands.h"
#include "korvan_app.h"
#include "main_frame.h"
#include "monitor_dialogs.h"
#include "monitor_doc.h"
#include "monitor_rules.h"
#include "monitor_texts.h"

namespace korvan::monitor {

namespace {

constexpr int kFirstPeriodMs = 500;    // first display: "ve" after 500 ms, the check 500 ms later
constexpr int kReloadPeriodMs = 1000;  // "Recharger" and Retry
const QColor kPromptColour(0, 0, 255);
const QColor kTextColour(0, 128, 128);

// The byte a key sends to the module, or -1 for a key that sends nothing.
int keyByte(const QKeyEvent& e) {
    switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Tab: return 0x09;
    case Qt::Key_Delete: return 0x7F;
    default: break;
    }
    const bool control = e.modifiers() & Qt::ControlModifier;
    if (control && e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z) return e.key() - Qt::Key_A + 1;
    const QString text = e.text();
    if (text.size() != 1) return -1;
    const char16_t c = text.at(0).unicode();
    return c < 0x100 ? int(c) : -1;
}

}  // namespace

ViewMonitor::ViewMonitor(shell::CKorvanApp& app, std::unique_ptr<CDocMonitor> doc) : m_app(app), m_doc(std::move(doc)) {
    setWindowTitle(monitorText(mtext::kMonitorTitle));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setFocusProxy(this);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);

    m_termFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_termFont.setStyleHint(QFont::TypeWriter);
    m_termFont.setFixedPitch(true);
    m_termFont.setPixelSize(16);
    updateMetrics();

    connect(m_doc.get(), &CDocMonitor::screenRefreshed, this, [this] {
        ScrollToRow(m_doc->CursorRow());
        viewport()->update();
    });
    connect(m_doc.get(), &CDocMonitor::registersParsed, this, &ViewMonitor::refreshRegisters);

    m_startupTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_startupTimer, &QTimer::timeout, this, &ViewMonitor::onTimerTick);

    setHandler(shell::cmd::kDownload, {[this] { downloadCommand(); }, {}, {}});
    setHandler(shell::cmd::kCpuRegisters, {[this] { cpuCommand(); }, {}, {}});
    setHandler(shell::cmd::kRun, {[this] { runCommand(); }, {}, {}});
    setHandler(shell::cmd::kStep, {[this] { stepCommand(); }, {}, {}});
    setHandler(shell::cmd::kReload, {[this] { reload(); }, {}, {}});
}

ViewMonitor::~ViewMonitor() {
    m_startupTimer.stop();
    delete m_cpuDialog.data();
    delete m_cpuDock.data();
    // The document goes first: its channel stops before the view's widgets are torn down.
    m_doc.reset();
}

QSize ViewMonitor::sizeHint() const {
    const int w = 80 * m_charWidth + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
    return {w, 25 * m_lineHeight + 2 * frameWidth()};
}

void ViewMonitor::updateMetrics() {
    const QFontMetrics fm(m_termFont);
    m_lineHeight = std::max(1, fm.height() + fm.leading());
    m_charWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    const QSize area = viewport()->size();
    m_visibleRows = std::max(1, area.height() / m_lineHeight);
    verticalScrollBar()->setRange(0, std::max(0, TerminalScreen::kRows * m_lineHeight - area.height()));
    verticalScrollBar()->setPageStep(area.height());
    verticalScrollBar()->setSingleStep(m_lineHeight);
    horizontalScrollBar()->setRange(0, std::max(0, TerminalScreen::kCols * m_charWidth - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(m_charWidth);
}

void ViewMonitor::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
}

void ViewMonitor::ScrollToRow(int row) {
    const int first = row - m_visibleRows;
    verticalScrollBar()->setValue(first < 0 ? 0 : (first + 1) * m_lineHeight);
    horizontalScrollBar()->setValue(0);
}

void ViewMonitor::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.setFont(m_termFont);
    const QFontMetrics fm(m_termFont);
    const int dx = horizontalScrollBar()->value();
    const int dy = verticalScrollBar()->value();
    const QRect dirty = event->rect();
    const int width = viewport()->width();
    for (int r = 0; r < TerminalScreen::kRows; ++r) {
        const int y = r * m_lineHeight - dy;
        if (y + m_lineHeight <= dirty.top() || y >= dirty.bottom() + 1) continue;
        const std::string_view row = m_doc->GetScreenRow(r);
        const bool prompt = row.substr(0, 4) == ">>->";
        const QRect band(0, y, width, m_lineHeight);
        p.fillRect(band, Qt::white);
        p.setPen(prompt ? kPromptColour : kTextColour);
        p.setClipRect(band);
        p.drawText(-dx, y + fm.ascent(), QString::fromLatin1(row.data(), qsizetype(row.size())));
        p.setClipping(false);
    }
}

void ViewMonitor::keyPressEvent(QKeyEvent* event) {
    // Alt combinations belong to the menus.
    if (event->modifiers() & Qt::AltModifier) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int byte = keyByte(*event);
    if (byte < 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    m_doc->SendKey(char(byte));
    event->accept();
}

// Tab goes to the module like any other key.
bool ViewMonitor::focusNextPrevChild(bool) { return false; }

void ViewMonitor::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (m_started) return;
    m_started = true;
    startSequence(kFirstPeriodMs);
}

void ViewMonitor::startSequence(int periodMs) {
    m_timerTicks = 0;
    m_startupTimer.start(periodMs);
}

void ViewMonitor::reload() {
    if (!m_downloading && !m_doc->channel().IsOpen()) m_doc->ReopenPort();
    startSequence(kReloadPeriodMs);
}

void ViewMonitor::onTimerTick() {
    ComTread& channel = m_doc->channel();
    if (m_timerTicks == 0) {
        m_promptMark = m_doc->PromptCount();
        if (channel.DetectEnabled() == 1) channel.SendString("ve\r");
        ++m_timerTicks;
        return;
    }
    m_startupTimer.stop();
    // Only a prompt that came after "ve" shows that the monitor answered: one left on the screen
    // from before proves nothing (the module may have gone since, or a program may be running).
    const bool answered = m_doc->IsPromptOnCursorRow() && m_doc->PromptCount() > m_promptMark;
    if (channel.DetectEnabled() == 1 && !answered) {
        // With the line open, the likeliest reason is a program that still runs and took "ve"
        // as its input.
        const int text = channel.IsReceiving() ? mtext::kNoAnswer : mtext::kNotResponding;
        QMessageBox box(QMessageBox::Warning, monitorText(mtext::kNotRespondingCaption), monitorText(text),
                        QMessageBox::Retry | QMessageBox::Cancel, this);
        if (box.exec() == QMessageBox::Retry) reload();
        return;
    }
    const int autoDownload =
        m_app.settings().GetSettingInt(QStringLiteral("MONITEUR"), QStringLiteral("TELECHARGE"), 1);
    const QString source = m_app.mainFrame() ? m_app.mainFrame()->lastBuiltSource() : QString();
    ++m_timerTicks;
    if (autoDownload == 1 && !source.isEmpty())
        download(
            QFile::decodeName(QByteArray::fromStdString(downloadPathFor(QFile::encodeName(source).toStdString()))));
}

void ViewMonitor::download(const QString& path) {
    LoadSR dlg(this, m_doc->channel(), path);
    if (!dlg.readerError().isEmpty()) {
        QMessageBox::warning(this, monitorText(mtext::kLoadTitle),
                             monitorText(mtext::kUnreadableFile).arg(dlg.readerError()));
        return;
    }
    m_downloading = true;
    const int result = dlg.exec();
    m_downloading = false;
    if (!dlg.failure().isEmpty()) {
        QMessageBox::warning(this, monitorText(mtext::kLoadTitle), dlg.failure());
        return;
    }
    if (result != QDialog::Accepted) return;
    if (dlg.entryAddress() != 0) m_doc->NoteDownloadEntry(dlg.entryAddress());
    emit programDownloaded(path);
}

void ViewMonitor::downloadCommand() {
    const QStringList filter = monitorText(mtext::kFilterSRecord).split(u'|');
    QFileDialog dlg(this);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilter(QStringLiteral("%1 (%2)").arg(filter.value(0).section(u'(', 0, 0).trimmed(), filter.value(1)));
    dlg.setOption(QFileDialog::ReadOnly, true);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    download(dlg.selectedFiles().first());
}

QWidget* ViewMonitor::cpuDock() const { return m_cpuDock; }

Cpu* ViewMonitor::showCpuWindow() {
    shell::CMainFrame* frame = m_app.mainFrame();
    if (!m_cpuDialog) {
        if (frame) {
            // Docked beside the terminal rather than over it.
            auto* dock = new QDockWidget(monitorText(mtext::kCpuTitle), frame);
            dock->setObjectName(QStringLiteral("CpuDock"));
            dock->setAllowedAreas(Qt::AllDockWidgetAreas);
            m_cpuDialog = new Cpu(dock, *m_doc);
            m_cpuDialog->setWindowFlags(Qt::Widget);
            dock->setWidget(m_cpuDialog);
            frame->addDockWidget(Qt::RightDockWidgetArea, dock);
            m_cpuDock = dock;
        } else {
            m_cpuDialog = new Cpu(this, *m_doc);
        }
        m_cpuDialog->Update(m_doc->Registers());
    }
    if (m_cpuDock) m_cpuDock->show();
    m_cpuDialog->show();
    return m_cpuDialog;
}

void ViewMonitor::cpuCommand() {
    showCpuWindow();
    m_doc->channel().SendString("dr\r");
}

void ViewMonitor::refreshRegisters() {
    if (m_cpuDialog) m_cpuDialog->Update(m_doc->Registers());
}

void ViewMonitor::runCommand() {
    uint32_t v = m_doc->RunAddress();
    Executer dlg(this);
    dlg.setStartAddress(QString::asprintf("%8.8X", v));
    if (dlg.exec() != QDialog::Accepted) return;
    if (const auto typed = ParseHexValue(dlg.startAddress().toStdString())) v = *typed;
    if (m_runner) {
        m_runner(v);
        return;
    }
    m_doc->channel().SendString(QString::asprintf("GO %x\r", v).toStdString());
}

void ViewMonitor::stepCommand() {
    if (m_stepper) {
        m_stepper();
        return;
    }
    m_doc->channel().SendString("ss\r");
}

}  // namespace korvan::monitor
