// The terminal view of the monitor document: draws the scrollback and the 80 x 50 screen, sends
// every typed key to the module, selects, copies and pastes, saves and logs the session, shows
// the line's state in a status line, runs the start-up sequence (module detection and automatic
// download) and carries the monitor commands: download, registers, run, step and reload.
#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

#include "command_target.h"
#include "terminal_screen.h"

class QLabel;

namespace korvan::shell {
class CKorvanApp;
}

namespace korvan::monitor {

class CDocMonitor;
class Cpu;

class ViewMonitor : public QAbstractScrollArea, public shell::CommandTarget {
    Q_OBJECT
public:
    // The view owns its document.
    ViewMonitor(shell::CKorvanApp& app, std::unique_ptr<CDocMonitor> doc);
    ~ViewMonitor() override;

    CDocMonitor* document() const { return m_doc.get(); }
    Cpu* cpuDialog() const { return m_cpuDialog; }
    // The dock that holds the register window beside the terminal (null before it is opened).
    QWidget* cpuDock() const;
    // Opens the register window, docked, without asking the module for a dump.
    Cpu* showCpuWindow();
    // What Run (after its dialog) and Step do; by default "GO address" and "ss". The debugger
    // takes them over to run and step past its breakpoints.
    void setRunner(std::function<void(uint32_t start)> runner) { m_runner = std::move(runner); }
    void setStepper(std::function<void()> stepper) { m_stepper = std::move(stepper); }
    int visibleRows() const { return m_visibleRows; }
    int lineHeight() const { return m_lineHeight; }
    int charWidth() const { return m_charWidth; }
    QSize sizeHint() const override;

    // Scrolls so that screen row `row` is visible, as a terminal keeps its cursor row in sight,
    // and follows the output from then on.
    void ScrollToRow(int row);
    // New output brings the view back to the cursor, unless the user scrolled up from there.
    bool followsOutput() const { return m_follow; }
    // The history line shown at the top of the view (TerminalScreen numbering).
    long long topLine() const;

    // Selection in the history, in reading order; empty when nothing is selected.
    using Position = TerminalScreen::Position;
    void select(Position from, Position to);
    bool hasSelection() const { return m_selAnchor != m_selEnd; }
    QString selectedText() const;  // lines joined by "\n"
    void selectAll();
    void copySelection();
    // Sends the clipboard's text to the module like typed keys, paced one character at a time,
    // line ends as CR.
    void pasteClipboard();
    // Clears the scrollback and the screen in the view; nothing is sent.
    void clearHistory();
    // Writes the session (scrollback and screen) to path, CR LF line ends; a failure is told.
    bool saveSessionTo(const QString& path);
    void saveSessionCommand();
    // Logs what is received to a file (asked for when turning on); the choice is remembered.
    void setLogging(bool on);
    QString statusText() const;

    // The monitor commands of this view.
    void downloadCommand();
    void cpuCommand();
    void runCommand();
    void stepCommand();
    // Restarts the start-up sequence with its 1000 ms period ("Recharger", Retry); a channel
    // whose port is closed (line lost, or never opened) is replaced by a new one first.
    void reload();
    // Runs the download dialog on path with this document's channel.
    void download(const QString& path);

signals:
    // A download of path completed: the module holds that program now.
    void programDownloaded(const QString& path);

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void updateMetrics();
    void startSequence(int periodMs);
    void onTimerTick();
    void refreshRegisters();
    void onScreenRefreshed();
    void updateScrollRange();
    void setScrollValue(int value);
    int followValue() const;
    int cursorValue(int row) const;
    void onUserScroll(int value);
    Position positionAt(QPoint viewportPoint) const;
    void updateStatusLine();
    void placeStatusLine();
    void setDownloading(bool on);

    shell::CKorvanApp& m_app;
    std::unique_ptr<CDocMonitor> m_doc;
    int m_visibleRows = 1;
    int m_timerTicks = 0;
    QPointer<Cpu> m_cpuDialog;
    QPointer<QWidget> m_cpuDock;
    std::function<void(uint32_t)> m_runner;
    std::function<void()> m_stepper;
    int m_lineHeight = 16;
    int m_charWidth = 8;
    QFont m_termFont;
    QTimer m_startupTimer;
    bool m_started = false;
    bool m_downloading = false;           // a download dialog runs on the channel
    unsigned long long m_promptMark = 0;  // prompts received before "ve" was sent
    bool m_follow = true;                 // the view goes with the output
    long long m_topPixel = 0;             // the view's top in pixels of history (line × height)
    bool m_scrolling = false;             // the view moves the scroll bar itself
    Position m_selAnchor, m_selEnd;       // where the selection began and where it ends now
    bool m_selecting = false;             // the left button is down
    QLabel* m_status = nullptr;
};

}  // namespace korvan::monitor
