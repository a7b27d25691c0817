// The GNU build dialog: runs the compiler, then the linker, as the mode asks, shows the step and
// its outcome, captures the tools' output into "gnu.txt" beside the source, and offers "Linker"
// after a clean compile and "Moniteur" after a successful link. The window stays live while a
// tool runs; Cancel ends the tool.
#pragma once

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

#include "gnu_core.h"
#include "texts.h"

class QLineEdit;
class QPushButton;

namespace korvan::shell {
class SettingsStore;
}

namespace korvan::build {

class CConsoleCommand;

// Where the tools are: the toolchain root (the folder above bin/) and the driver prefix.
struct GnuToolchain {
    QString root;
    QString prefix;
};

class CGnu : public QDialog {
    Q_OBJECT
public:
    enum Mode { Build = 0, CompileOnly = 1, LinkOnly = 2 };

    CGnu(QWidget* parent, const GnuToolchain& tools, const QString& sourcePath, shell::SettingsStore& settings,
         shell::Language language);
    ~CGnu() override;

    void setMode(Mode mode) { m_mode = mode; }
    Mode mode() const { return m_mode; }
    // 0 before any step; -1 after a failed compile; +1 per successful compile and per link.
    int stage() const { return m_stage; }
    bool linkSucceeded() const { return m_linkSucceeded; }
    // The capture file, in the source's folder.
    QString captureFile() const;
    bool toolRunning() const;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scheduleStep();
    void runNextStep();
    void compileStep();
    void compileEnded();
    void linkStep();
    void linkEnded();
    void objcopyEnded();
    void finishLink(bool ok);

public:
    // The compiler's and linker's diagnostics of this run, files given from the source's folder.
    const std::vector<gnu::ToolDiagnostic>& diagnostics() const { return m_diagnostics; }

private:
    // A tool with the toolchain's environment, run in the source's folder.
    void newTool();
    // The tool's output lines into "gnu.txt", and a line naming the signal that ended it.
    void writeToolOutput();
    bool openCapture(QIODevice::OpenMode mode);
    void write(const std::string& bytes);
    void writeText(std::string_view text);
    void closeCapture();
    void dropTool();

    GnuToolchain m_tools;
    QString m_sourcePath;
    QString m_folder;
    shell::SettingsStore& m_settings;
    Mode m_mode = Build;
    int m_stage = 0;
    bool m_stepRunning = false;
    bool m_linkSucceeded = false;
    QString m_absFile;
    QString m_elfFile;
    std::vector<gnu::ToolDiagnostic> m_diagnostics;
    std::unique_ptr<QFile> m_capture;
    std::unique_ptr<CConsoleCommand> m_tool;

    QLineEdit* m_stepField = nullptr;
    QLineEdit* m_outcomeField = nullptr;
    QPushButton* m_linkerButton = nullptr;
    QPushButton* m_monitorButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

}  // namespace korvan::build
