// The library's two dialogs: the progress dialog that hosts one assembly run (CAsmDlg) and the
// section origin configuration (CConfAsm).
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <thread>

#include <QDialog>

#include "driver/diagnostics.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace qubrix {

// What the progress dialog shows once the passes are over.
struct PassCounts {
    int errors = 0;
    int warnings = 0;
    bool failed = false;  // an output file could not be written: no way on to the monitor
};

// The fixed texts of the progress dialog in one language.
struct AsmDlgTexts {
    const char* title;
    const char* monitor;
    const char* cancel;
    const char* file;
    const char* errors;
    const char* warnings;
};
QUBRIX_API const AsmDlgTexts& AsmDlgTextsFor(Language lang);

// Progress dialog. Once it is on screen it launches the run by itself, exactly once, on a
// worker thread, so that the dialog stays live; when the run is over it shows the counts and
// enables "Monitor..." when the run counted no error. "Monitor..." ends it with Accepted;
// "Cancel", Escape or closing the window with Rejected. Cancelled while the run goes on, the
// dialog calls the canceller and closes (Rejected) as soon as the runner has returned.
class QUBRIX_API CAsmDlg : public QDialog {
    Q_OBJECT
public:
    // Runs the passes over the source path and reports the counts; called on a worker thread.
    using Runner = std::function<PassCounts(const std::string& sourcePath)>;
    // Asks the runner to stop early; called on the dialog's thread while the runner runs.
    using Canceller = std::function<void()>;

    CAsmDlg(QWidget* parent, std::string sourcePath, Runner runner, Language lang);
    // Cancels a run still going on and waits for it.
    ~CAsmDlg() override;

    void setCanceller(Canceller canceller) { m_canceller = std::move(canceller); }
    // True from the launch of the run until the runner has returned.
    bool running() const { return m_running; }
    // Cancels a run still going on and waits until the runner has returned.
    void waitForRun();

    void setFileText(const std::string& text);
    std::string fileText() const;
    const std::string& sourcePath() const { return m_sourcePath; }
    bool started() const { return m_started; }
    int errorCount() const { return m_counts.errors; }
    int warningCount() const { return m_counts.warnings; }
    // An exception the runner threw; the dialog then closed itself with Rejected.
    std::exception_ptr runException() const { return m_exception; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void launchRun();
    void runFinished(PassCounts counts, std::exception_ptr failure);
    void refresh();

    std::string m_sourcePath;
    Runner m_runner;
    Canceller m_canceller;
    std::thread m_worker;
    PassCounts m_counts;
    bool m_started = false;
    bool m_running = false;
    bool m_cancelAsked = false;
    bool m_launchQueued = false;
    bool m_finished = false;
    std::exception_ptr m_exception;

    QLineEdit* m_fileEdit = nullptr;
    QLineEdit* m_errorEdit = nullptr;
    QLineEdit* m_warningEdit = nullptr;
    QPushButton* m_monitorButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

// Configuration of the two section origins. The texts are kept exactly as typed.
class QUBRIX_API CConfAsm : public QDialog {
    Q_OBJECT
public:
    CConfAsm(QWidget* parent, const std::string& codeOrigin, const std::string& varOrigin);

    std::string codeOrigin() const;
    std::string varOrigin() const;

private:
    QLineEdit* m_codeEdit = nullptr;
    QLineEdit* m_varEdit = nullptr;
};

}  // namespace qubrix
