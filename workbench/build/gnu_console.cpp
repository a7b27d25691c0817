// Child process of the GNU build with its output captured to the end.
#include "gnu_console.h"

#include <QDir>
#include <QProcessEnvironment>

#include <signal.h>
#include <unistd.h>

namespace korvan::build {

CConsoleCommand::CConsoleCommand(QObject* parent) : QObject(parent) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so that ending the driver also ends the compiler it runs.
    m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(&m_process, &QProcess::readyRead, this, &CConsoleCommand::readOutput);
    connect(&m_process, &QProcess::finished, this, &CConsoleCommand::onFinished);
}

CConsoleCommand::~CConsoleCommand() {
    if (running()) {
        m_process.disconnect(this);
        kill();
    }
}

void CConsoleCommand::SetToolEnvironment(const std::vector<std::string>& entries) {
    QProcessEnvironment env;
    for (const auto& e : entries) {
        const QString entry = QString::fromStdString(e);
        const auto eq = entry.indexOf(u'=');
        env.insert(entry.left(eq), eq < 0 ? QString() : entry.mid(eq + 1));
    }
    m_process.setProcessEnvironment(env);
}

void CConsoleCommand::SetToolDirectory(const QString& folder) {
    m_process.setWorkingDirectory(folder);
    QDir::setCurrent(folder);
}

bool CConsoleCommand::RunTool(const QString& program, const std::vector<std::string>& arguments) {
    QStringList args;
    for (const auto& a : arguments) args << QString::fromLocal8Bit(a.data(), qsizetype(a.size()));
    m_output = {};
    m_exitedNormally = false;
    m_exitCode = -1;
    m_process.start(program, args, QIODevice::ReadOnly);
    return m_process.waitForStarted();
}

void CConsoleCommand::kill() {
    if (!running()) return;
    const qint64 pid = m_process.processId();
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
    m_process.kill();
    m_process.waitForFinished();
}

void CConsoleCommand::readOutput() {
    const QByteArray bytes = m_process.readAll();
    m_output.feed(std::string_view(bytes.constData(), size_t(bytes.size())));
}

void CConsoleCommand::onFinished(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    m_output.finish();
    m_exitedNormally = status == QProcess::NormalExit;
    m_exitCode = exitCode;
    emit finished();
}

}  // namespace korvan::build
