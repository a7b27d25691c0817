// The monitor's terminal view, its start-up sequence and its commands.
#include "monitor_view.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>

#include "commands.h"
#include "debug_session.h"
#include "korvan_app.h"
#include "main_frame.h"
#include "monitor_dialogs.h"
#include "monitor_doc.h"
#include "monitor_rules.h"
#include "monitor_texts.h"
#include "settings_store.h"
#include "texts.h"

namespace korvan::monitor {

namespace {

constexpr int kFirstPeriodMs = 500;    // first display: "ve" after 500 ms, the check 500 ms later
constexpr int kReloadPeriodMs = 1000;  // "Recharger" and Retry
const QColor kPromptColour(0, 0, 255);
const QColor kTextColour(0, 128, 128);
const QColor kSelectionColour(173, 214, 255);
const QString kSection = QStringLiteral("MONITEUR");
const QString kLogEntry = QStringLiteral("JOURNAL");
const QString kLogFileEntry = QStringLiteral("FICHIER_JOURNAL");

// Ctrl+Shift+key: the terminal's own copy and paste keys (Ctrl+C and Ctrl+V go to the module).
bool terminalKey(const QKeyEvent& e, int key) {
    const Qt::KeyboardModifiers mods = e.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    return e.key() == key && mods == (Qt::ControlModifier | Qt::ShiftModifier);
}

shell::Language language() {
    const shell::CKorvanApp* app = shell::CKorvanApp::instance();
    return app ? app->uiLanguage() : shell::Language::French;
}

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

    // The status line sits below the terminal, inside the window.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("MonitorStatus"));
    m_status->setContentsMargins(4, 1, 4, 1);
    setViewportMargins(0, 0, 0, m_status->fontMetrics().height() + 4);
    updateMetrics();

    connect(m_doc.get(), &CDocMonitor::screenRefreshed, this, &ViewMonitor::onScreenRefreshed);
    connect(m_doc.get(), &CDocMonitor::registersParsed, this, &ViewMonitor::refreshRegisters);
    connect(m_doc.get(), &CDocMonitor::lineStateChanged, this, &ViewMonitor::updateStatusLine);
    connect(m_doc.get(), &CDocMonitor::logStateChanged, this, &ViewMonitor::updateStatusLine);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ViewMonitor::onUserScroll);
    if (DebugSession* session = DebugSession::of(m_app))
        connect(session, &DebugSession::stateChanged, this, &ViewMonitor::updateStatusLine);
    connect(&m_app, &shell::CKorvanApp::languageChanged, this, &ViewMonitor::updateStatusLine);
    updateStatusLine();

    m_startupTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_startupTimer, &QTimer::timeout, this, &ViewMonitor::onTimerTick);

    setHandler(shell::cmd::kDownload, {[this] { downloadCommand(); }, {}, {}});
    setHandler(shell::cmd::kCpuRegisters, {[this] { cpuCommand(); }, {}, {}});
    setHandler(shell::cmd::kRun, {[this] { runCommand(); }, {}, {}});
    setHandler(shell::cmd::kStep, {[this] { stepCommand(); }, {}, {}});
    setHandler(shell::cmd::kReload, {[this] { reload(); }, {}, {}});
    setHandler(shell::cmd::kFileSave, {[this] { saveSessionCommand(); }, {}, {}});
    setHandler(shell::cmd::kFileSaveAs, {[this] { saveSessionCommand(); }, {}, {}});
    setHandler(shell::cmd::kEditCopy, {[this] { copySelection(); }, [this] { return hasSelection(); }, {}});
    setHandler(shell::cmd::kEditPaste,
               {[this] { pasteClipboard(); }, [] { return !QApplication::clipboard()->text().isEmpty(); }, {}});
    setHandler(shell::cmd::kEditSelectAll, {[this] { selectAll(); }, {}, {}});
}

ViewMonitor::~ViewMonitor() {
    m_startupTimer.stop();
    delete m_cpuDialog.data();
    delete m_cpuDock.data();
    // The debugger hears of this view's end only after it (it watches destroyed): no state
    // change may reach the status line of a view without its document.
    if (DebugSession* session = DebugSession::of(m_app)) disconnect(session, nullptr, this, nullptr);
    // The document goes first: its channel stops before the view's widgets are torn down.
    m_doc.reset();
}

QSize ViewMonitor::sizeHint() const {
    const int w = 80 * m_charWidth + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
    return {w, 25 * m_lineHeight + 2 * frameWidth() + m_status->fontMetrics().height() + 4};
}

void ViewMonitor::updateMetrics() {
    const QFontMetrics fm(m_termFont);
    m_lineHeight = std::max(1, fm.height() + fm.leading());
    m_charWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    const QSize area = viewport()->size();
    m_visibleRows = std::max(1, area.height() / m_lineHeight);
    updateScrollRange();
    if (m_follow)
        ScrollToRow(m_doc->CursorRow());
    else
        setScrollValue(int(m_topPixel - m_doc->screen().firstLine() * m_lineHeight));
    horizontalScrollBar()->setRange(0, std::max(0, TerminalScreen::kCols * m_charWidth - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(m_charWidth);
}

void ViewMonitor::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
    placeStatusLine();
}

bool ViewMonitor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) placeStatusLine();
    return QAbstractScrollArea::viewportEvent(event);
}

void ViewMonitor::placeStatusLine() {
    const QRect area = viewport()->geometry();
    m_status->setGeometry(area.left(), area.bottom() + 1, area.width(), m_status->fontMetrics().height() + 4);
}

// The history (scrollback, then the screen) is one column of lines, line i of it at
// y = i × LineHeight; the scroll bar counts pixels of it.
void ViewMonitor::updateScrollRange() {
    const TerminalScreen& screen = m_doc->screen();
    const long long lines = screen.endLine() - screen.firstLine();
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    m_scrolling = true;
    bar->setRange(0, std::max(0, int(lines * m_lineHeight) - height));
    bar->setPageStep(height);
    bar->setSingleStep(m_lineHeight);
    m_scrolling = false;
}

void ViewMonitor::setScrollValue(int value) {
    m_scrolling = true;
    verticalScrollBar()->setValue(value);
    m_scrolling = false;
    m_topPixel = m_doc->screen().firstLine() * m_lineHeight + verticalScrollBar()->value();
}

int ViewMonitor::followValue() const {
    return std::min(cursorValue(m_doc->CursorRow()), verticalScrollBar()->maximum());
}

// Where the view stands to show screen row `row`: as far down the screen as that row needs, the
// screen's top otherwise (the scrollback above it shows only when scrolled to).
int ViewMonitor::cursorValue(int row) const {
    const TerminalScreen& screen = m_doc->screen();
    const long long first = row - m_visibleRows;
    return int((screen.screenLine() - screen.firstLine() + (first < 0 ? 0 : first + 1)) * m_lineHeight);
}

void ViewMonitor::onUserScroll(int value) {
    if (m_scrolling) return;
    m_topPixel = m_doc->screen().firstLine() * m_lineHeight + value;
    // Scrolled up from the cursor: new output leaves the view where it is until it comes back.
    m_follow = value >= followValue();
    updateStatusLine();
}

void ViewMonitor::onScreenRefreshed() {
    updateScrollRange();
    if (m_follow)
        ScrollToRow(m_doc->CursorRow());
    else
        setScrollValue(int(m_topPixel - m_doc->screen().firstLine() * m_lineHeight));
    viewport()->update();
    updateStatusLine();
}

void ViewMonitor::ScrollToRow(int row) {
    m_follow = true;
    setScrollValue(cursorValue(row));
    horizontalScrollBar()->setValue(0);
}

long long ViewMonitor::topLine() const {
    return m_doc->screen().firstLine() + verticalScrollBar()->value() / m_lineHeight;
}

void ViewMonitor::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.setFont(m_termFont);
    const QFontMetrics fm(m_termFont);
    const TerminalScreen& screen = m_doc->screen();
    const int dx = horizontalScrollBar()->value();
    const int dy = verticalScrollBar()->value();
    const QRect dirty = event->rect();
    const int width = viewport()->width();
    const Position from = std::min(m_selAnchor, m_selEnd), to = std::max(m_selAnchor, m_selEnd);
    p.fillRect(dirty, Qt::white);
    const long long lines = screen.endLine() - screen.firstLine();
    for (long long i = std::max(0, (dy + dirty.top()) / m_lineHeight); i < lines; ++i) {
        const int y = int(i * m_lineHeight) - dy;
        if (y > dirty.bottom()) break;
        const long long n = screen.firstLine() + i;
        const std::string_view row = screen.line(n);
        const bool prompt = row.substr(0, 4) == ">>->";
        const QRect band(0, y, width, m_lineHeight);
        if (from < to && n >= from.line && n <= to.line) {
            const int c0 = n == from.line ? from.col : 0, c1 = n == to.line ? to.col : TerminalScreen::kCols;
            if (c1 > c0)
                p.fillRect(QRect(c0 * m_charWidth - dx, y, (c1 - c0) * m_charWidth, m_lineHeight), kSelectionColour);
        }
        p.setPen(prompt ? kPromptColour : kTextColour);
        p.setClipRect(band);
        p.drawText(-dx, y + fm.ascent(), QString::fromLatin1(row.data(), qsizetype(row.size())));
        p.setClipping(false);
    }
}

bool ViewMonitor::event(QEvent* event) {
    // Every key that goes to the module wins over the window's shortcuts: Ctrl+C, Ctrl+V, Ctrl+S
    // and the others are the module's, not copy, paste or save.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & Qt::AltModifier) && !terminalKey(*key, Qt::Key_C) && !terminalKey(*key, Qt::Key_V) &&
            keyByte(*key) >= 0) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ViewMonitor::keyPressEvent(QKeyEvent* event) {
    if (terminalKey(*event, Qt::Key_C)) {
        copySelection();
        event->accept();
        return;
    }
    if (terminalKey(*event, Qt::Key_V)) {
        pasteClipboard();
        event->accept();
        return;
    }
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
    // Typing brings the view back to the cursor.
    if (!m_follow) ScrollToRow(m_doc->CursorRow());
    event->accept();
}

ViewMonitor::Position ViewMonitor::positionAt(QPoint point) const {
    const TerminalScreen& screen = m_doc->screen();
    const long long pixel = (long long)verticalScrollBar()->value() + point.y();
    if (pixel < 0) return {screen.firstLine(), 0};
    const long long line = screen.firstLine() + pixel / m_lineHeight;
    if (line >= screen.endLine()) return {screen.endLine() - 1, TerminalScreen::kCols};
    // A selection edge falls between two characters: the nearer boundary.
    const int col = (point.x() + horizontalScrollBar()->value() + m_charWidth / 2) / m_charWidth;
    return {line, std::clamp(col, 0, TerminalScreen::kCols)};
}

void ViewMonitor::select(Position from, Position to) {
    m_selAnchor = from;
    m_selEnd = to;
    viewport()->update();
    if (shell::CMainFrame* frame = m_app.mainFrame()) frame->scheduleUiUpdate();
}

QString ViewMonitor::selectedText() const {
    const Position from = std::min(m_selAnchor, m_selEnd), to = std::max(m_selAnchor, m_selEnd);
    if (!(from < to)) return {};
    return QString::fromLatin1(QByteArray::fromStdString(m_doc->screen().text(from, to, "\n")));
}

void ViewMonitor::selectAll() {
    const TerminalScreen& screen = m_doc->screen();
    select({screen.firstLine(), 0}, {screen.endLine() - 1, TerminalScreen::kCols});
}

void ViewMonitor::copySelection() {
    if (hasSelection()) QApplication::clipboard()->setText(selectedText());
}

void ViewMonitor::pasteClipboard() {
    const QString text = QApplication::clipboard()->text();
    const std::string bytes =
        pasteBytes(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())));
    if (bytes.empty()) return;
    // Paced as typed keys: the monitor reads one character at a time.
    m_doc->channel().SendString(bytes);
    if (!m_follow) ScrollToRow(m_doc->CursorRow());
}

void ViewMonitor::clearHistory() {
    m_selAnchor = m_selEnd = {};
    m_follow = true;
    m_doc->ClearHistory();
}

void ViewMonitor::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus();
    m_selecting = true;
    const Position at = positionAt(event->position().toPoint());
    select(at, at);
}

void ViewMonitor::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting) return;
    const QPoint point = event->position().toPoint();
    // Dragging past the top or the bottom scrolls the history along.
    QScrollBar* bar = verticalScrollBar();
    if (point.y() < 0) bar->setValue(bar->value() - m_lineHeight);
    if (point.y() >= viewport()->height()) bar->setValue(bar->value() + m_lineHeight);
    select(m_selAnchor, positionAt(point));
}

void ViewMonitor::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_selecting) return;
    m_selecting = false;
    QClipboard* clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection()) clipboard->setText(selectedText(), QClipboard::Selection);
}

void ViewMonitor::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The word under the mouse: the run of non-blank characters.
    const Position at = positionAt(event->position().toPoint());
    const std::string_view row = m_doc->screen().line(at.line);
    int begin = std::min(at.col, TerminalScreen::kCols - 1), end = begin;
    if (row.empty() || row[std::size_t(begin)] == ' ') return;
    while (begin > 0 && row[std::size_t(begin - 1)] != ' ') --begin;
    while (end < TerminalScreen::kCols && row[std::size_t(end)] != ' ') ++end;
    m_selecting = false;
    select({at.line, begin}, {at.line, end});
}

void ViewMonitor::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(monitorText(mtext::kMenuCopy), this, &ViewMonitor::copySelection);
    copy->setEnabled(hasSelection());
    QAction* paste = menu.addAction(monitorText(mtext::kMenuPaste), this, &ViewMonitor::pasteClipboard);
    paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    menu.addAction(monitorText(mtext::kMenuSelectAll), this, &ViewMonitor::selectAll);
    menu.addSeparator();
    menu.addAction(monitorText(mtext::kMenuClear), this, &ViewMonitor::clearHistory);
    menu.addSeparator();
    menu.addAction(monitorText(mtext::kMenuSave), this, &ViewMonitor::saveSessionCommand);
    QAction* log = menu.addAction(monitorText(mtext::kMenuLog), this, [this](bool on) { setLogging(on); });
    log->setCheckable(true);
    log->setChecked(m_doc->IsLogging());
    menu.exec(event->globalPos());
}

bool ViewMonitor::saveSessionTo(const QString& path) {
    const QByteArray bytes = QByteArray::fromStdString(m_doc->screen().sessionText("\r\n"));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
    QMessageBox::warning(this, monitorText(mtext::kSaveTitle),
                         monitorText(mtext::kCannotWrite).arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

void ViewMonitor::saveSessionCommand() {
    QFileDialog dlg(this, monitorText(mtext::kSaveTitle));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(monitorText(mtext::kFilterText));
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    dlg.selectFile(QDir::current().filePath(QStringLiteral("moniteur.txt")));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    saveSessionTo(dlg.selectedFiles().first());
}

void ViewMonitor::setLogging(bool on) {
    shell::SettingsStore& settings = m_app.settings();
    if (!on) {
        m_doc->StopLog();
        settings.WriteSettingInt(kSection, kLogEntry, 0);
        return;
    }
    QString previous = settings.GetSettingString(kSection, kLogFileEntry, QString());
    if (previous.isEmpty()) previous = QDir::current().filePath(QStringLiteral("moniteur.log"));
    QFileDialog dlg(this, monitorText(mtext::kLogTitle));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    // An existing log is added to, not replaced: no question about overwriting it.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setNameFilter(monitorText(mtext::kFilterLog));
    dlg.selectFile(previous);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    const QString path = dlg.selectedFiles().first();
    if (!m_doc->StartLog(path)) {
        QMessageBox::warning(this, monitorText(mtext::kLogTitle),
                             monitorText(mtext::kCannotWrite)
                                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(shell::systemErrorText(
                                                                          m_doc->LogErrorCode(), language()))));
        return;
    }
    settings.WriteSettingInt(kSection, kLogEntry, 1);
    settings.WriteSettingString(kSection, kLogFileEntry, path);
}

QString ViewMonitor::statusText() const {
    ComTread& channel = m_doc->channel();
    QString port = m_doc->portName();
    const QString device = QString::fromStdString(ComTread::DevicePath(port.toStdString()));
    if (device != port) port += QStringLiteral(" (%1)").arg(device);
    const int line = channel.IsLineLost() ? mtext::kLineLostState
                     : !channel.IsOpen()  ? mtext::kLineNotOpen
                     : m_downloading      ? mtext::kLineDownloading
                                          : mtext::kLineOpen;
    const DebugSession* session = DebugSession::of(m_app);
    const bool running = (session && session->running()) || m_doc->screen().programStarted();
    QString text =
        monitorText(mtext::kStatusLine)
            .arg(port, monitorText(line), monitorText(running ? mtext::kProgramRunning : mtext::kProgramNotRunning));
    if (m_doc->IsLogging()) text += monitorText(mtext::kStatusLog).arg(QDir::toNativeSeparators(m_doc->LogPath()));
    if (!m_follow) {
        const TerminalScreen& screen = m_doc->screen();
        const long long below = screen.screenLine() + screen.cursorRow() + 1 - topLine() - m_visibleRows;
        if (below > 0) text += monitorText(mtext::kStatusScrolledBack).arg(below);
    }
    return text;
}

void ViewMonitor::updateStatusLine() {
    if (!m_doc) return;
    const QString text = statusText();
    if (m_status->text() != text) m_status->setText(text);
}

void ViewMonitor::setDownloading(bool on) {
    m_downloading = on;
    updateStatusLine();
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
    setDownloading(true);
    const int result = dlg.exec();
    setDownloading(false);
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
