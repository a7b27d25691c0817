// The monitor document: owns the serial channel, the terminal screen fed from it and the CPU
// register set parsed from the dumps it captures, and the log file of what the line receives.
// Received bytes reach the screen on the GUI thread, queued from the channel's reception thread,
// so nothing here is shared between threads.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <string_view>

#include "com_tread.h"
#include "receive_log.h"
#include "reg_cpu.h"
#include "terminal_screen.h"

namespace korvan::shell {
class SettingsStore;
}

namespace korvan::monitor {

class CDocMonitor : public QObject, public ComTread::Document {
    Q_OBJECT
public:
    // Reads "PORT" and "DETECT" of section "MONITEUR", opens the port and starts the channel; with
    // "JOURNAL" at 1 it logs what is received to "FICHIER_JOURNAL" (a failure said in the terminal).
    explicit CDocMonitor(const shell::SettingsStore& settings, QObject* parent = nullptr);
    // Stops the reception thread (it returns at once, even while waiting for a byte), then
    // closes the port.
    ~CDocMonitor() override;

    // Called by the channel on its reception thread; both hand over to the GUI thread.
    void ReceiveChars(const char* bytes, std::size_t count) override;
    void RefreshView() override;
    void ReceiveStatus(const char* bytes, std::size_t count) override;
    void ConfigureFailed(const std::string& portName) override;
    void LineLost() override;

    std::string_view GetScreenRow(int row) const { return m_screen.row(row); }
    int CursorRow() const { return m_screen.cursorRow(); }
    bool IsPromptOnCursorRow() const { return m_screen.isPromptOnCursorRow(); }
    // Prompts received so far: a count taken before a command is sent tells whether the monitor
    // has answered since, whatever the screen still shows from before.
    unsigned long long PromptCount() const { return m_screen.promptCount(); }
    const TerminalScreen& screen() const { return m_screen; }

    // One typed key, sent as it is: the module echoes what it wants shown.
    void SendKey(char byte);
    ComTread& channel() { return *m_pcom; }
    // Replaces a channel whose port is closed (line lost, refused or never opened) by a new one
    // on the same port, which writes its opening line into the terminal and starts at once.
    void ReopenPort();
    const RegCpu& Registers() const { return m_registers; }
    // A download that set the program counter to entry has completed.
    void NoteDownloadEntry(uint32_t entry);
    // Where a run starts by default: the entry of the program downloaded last when that came
    // after the last register dump, otherwise the PC of that dump (0 before any).
    uint32_t RunAddress() const;
    const QString& portName() const { return m_portName; }
    // The text of the last register dump captured, with the instruction words after the PC.
    const std::string& LastDump() const { return m_lastDump; }

    // The terminal's history: the scrollback and the screen, cleared locally (nothing is sent).
    void ClearHistory();
    // The log of received bytes: appended to path from now on; false when the file cannot be
    // opened (LogErrorCode() says why).
    bool StartLog(const QString& path);
    void StopLog();
    bool IsLogging() const { return m_log.isOpen(); }
    QString LogPath() const;
    int LogErrorCode() const { return m_log.errorCode(); }
    // A line of the workbench's own shown in the terminal (not logged, not from the module).
    void ShowLocalText(const QString& text);

signals:
    // A reception burst was taken into the screen: the view scrolls to the cursor and repaints.
    void screenRefreshed();
    // A register dump was captured and parsed into the register set.
    void registersParsed();
    // Bytes received, as they came (before the dumps and prompts among them are announced).
    void textReceived(const QByteArray& bytes);
    // One prompt or more arrived.
    void promptReceived();
    // The line was lost, or the port reopened.
    void lineStateChanged();
    // The log started or stopped (a write failure stops it).
    void logStateChanged();

private:
    // received: bytes from the module (logged), not the channel's or the workbench's own lines.
    void takeBytes(const std::string& bytes, bool received);
    std::unique_ptr<ComTread> makeChannel();

    TerminalScreen m_screen;
    RegCpu m_registers;
    QString m_portName;
    int m_detect = 1;
    // Order of the last dump and of the last completed download's entry, by a running count.
    unsigned long long m_events = 0, m_dumpEvent = 0, m_entryEvent = 0;
    uint32_t m_downloadEntry = 0;
    std::string m_lastDump;
    ReceiveLog m_log;
    std::unique_ptr<ComTread> m_pcom;
};

}  // namespace korvan::monitor
