// Runs one console tool of the GNU build: given program, argument list (no shell), its own
// environment and working folder, standard output and error merged, read without blocking the
// caller until the tool ends; the lines, the exit status and whether it started are kept.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "gnu_core.h"

namespace korvan::build {

class CConsoleCommand : public QObject {
    Q_OBJECT
public:
    explicit CConsoleCommand(QObject* parent = nullptr);
    // A tool still running is ended with every process it started.
    ~CConsoleCommand() override;

    // The child's whole environment, as NAME=value entries.
    void SetToolEnvironment(const std::vector<std::string>& entries);
    // The child's working folder, which becomes the workbench's current folder as well.
    void SetToolDirectory(const QString& folder);
    // Starts the tool; false when it could not be started (finished() is not emitted then).
    bool RunTool(const QString& program, const std::vector<std::string>& arguments);
    // Ends the running tool and the processes it started.
    void kill();

    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // After finished(): every output line, the exit status.
    const std::vector<std::string>& lines() const { return m_output.lines(); }
    bool succeeded() const { return m_exitedNormally && m_exitCode == 0; }
    int exitCode() const { return m_exitCode; }
    // The signal that ended the tool, 0 when it exited by itself.
    int terminatingSignal() const { return m_exitedNormally || m_exitCode < 0 ? 0 : m_exitCode; }

signals:
    // The tool has ended and its output has been read to its end.
    void finished();

private:
    void readOutput();
    void onFinished(int exitCode, QProcess::ExitStatus status);

    QProcess m_process;
    gnu::OutputLines m_output;
    bool m_exitedNormally = false;
    int m_exitCode = -1;
};

}  // namespace korvan::build
