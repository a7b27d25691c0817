// The source-level debugger over the monitor line: breakpoints planted by one-block downloads,
// run and step past them, the current line shown in the source when the module stops, the
// register and memory windows refreshed on every stop. The plans come from the plain
// breakpoint table; this class carries them out one monitor command at a time, each ended by
// the monitor's prompt, and shows what the module reports.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "debug_plan.h"
#include "disassembler.h"
#include "line_map.h"
#include "memory_panel.h"
#include "monitor_dialogs.h"
#include "monitor_view.h"
#include "program_image.h"

namespace korvan::shell {
class CKorvanApp;
class CKorvanView;
}  // namespace korvan::shell

namespace korvan::monitor {

class CDocMonitor;

class DebugSession : public QObject {
    Q_OBJECT
public:
    explicit DebugSession(shell::CKorvanApp& app);
    ~DebugSession() override;

    // The session of app (made by installDebugCommands), or null.
    static DebugSession* of(shell::CKorvanApp& app);
    // Installs the debugging commands and the editor hooks.
    void install();
    // The monitor window opened: its dumps, prompts and downloads come here from now on.
    void attach(ViewMonitor* view);
    // The program of the S-record file path is in the module: its map, image and disassembly
    // are loaded and the breakpoints planted.
    void programDownloaded(const QString& path);

    // The commands.
    void toggleBreakpoint(shell::CKorvanView* view, int line);
    void run();
    void runFrom(uint32_t start);
    void stepInto();
    void stepOver();
    void stepOut();
    void runToLine(shell::CKorvanView* view, int line);
    void stop();
    void showMemoryWindow();

    bool programLoaded() const { return m_map.has_value(); }
    bool running() const { return m_running; }
    // Commands for the module are under way (a plan, a memory read).
    bool busy() const { return m_waiting || !m_queue.empty(); }
    // Whether the module answers "md": unknown until it was tried once.
    std::optional<bool> memoryDisplayAvailable() const { return m_mdAvailable; }
    const debug::LineMap* lineMap() const { return m_map ? &*m_map : nullptr; }
    // Where the last stop was shown: a source file and line, or no file (disassembly shown).
    const debug::SourceLocation& stopLocation() const { return m_stopLocation; }
    // The lines of file (absolute path) that hold a breakpoint.
    std::vector<int> breakpointLines(const QString& file) const;
    MemoryPanel* memoryPanel() const { return m_memory; }

    // Reads count bytes from address with "md" and hands them over (empty when md is missing).
    void readMemory(uint32_t address, uint32_t count, std::function<void(const std::map<uint32_t, uint8_t>&)> done);
    // Writes bytes at address with a one-block download.
    void writeMemory(uint32_t address, const std::vector<uint8_t>& bytes);

signals:
    // The stop's line is highlighted (or its disassembly shown) and the registers refreshed.
    void stopShown();
    // Running, busy or loaded changed.
    void stateChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One command for the module, sent when the previous one has been answered.
    struct Item {
        std::function<void()> send;
        std::function<void()> answered;  // on its prompt (or when the wait gives up)
        int timeoutMs = 0;               // 0: waits for the prompt however long it takes
        bool run = false;                // a GO: the program runs until the prompt
    };
    CDocMonitor* doc() const;
    ViewMonitor* view() const { return m_view; }
    bool canCommand() const;
    void queuePlan(const debug::Plan& plan, bool endsWithStop);
    void queue(Item item);
    void sendNext();
    void onPrompt();
    void onDump();
    void itemAnswered();
    void stopped();
    void showStop(uint32_t pc);
    void showDisassembly(uint32_t pc, const QString& why);
    QString instructionText(uint32_t pc) const;
    std::vector<uint8_t> codeAt(uint32_t pc) const;
    shell::CKorvanView* viewOf(const QString& file, bool open);
    void refreshMarks();
    void installView(shell::CKorvanView& view);
    void updateState();
    uint32_t pc() const;

    shell::CKorvanApp& m_app;
    QPointer<ViewMonitor> m_view;
    debug::BreakpointTable m_table;
    std::optional<debug::LineMap> m_map;
    debug::ProgramImage m_image;
    debug::ProgramDisassembly m_disassembly;
    QString m_programPath;

    std::deque<Item> m_queue;
    bool m_waiting = false;
    std::function<void()> m_answered;
    unsigned long long m_promptMark = 0;
    QTimer m_watchdog;
    bool m_running = false;
    bool m_stopPending = false;  // the plan under way ends with a stop to show
    std::string m_capture;       // text received while a memory read waits
    bool m_capturing = false;
    std::optional<bool> m_mdAvailable;
    debug::SourceLocation m_stopLocation;
    QString m_stopText;
    QString m_currentFile;  // the file whose view shows the current line
    QPointer<MemoryPanel> m_memory;
    QPointer<QWidget> m_memoryDock;
};

// Makes the application's debug session and installs its commands.
void installDebugCommands(shell::CKorvanApp& app);

}  // namespace korvan::monitor
