// The GNU build dialog and its two steps.
#include "gnu_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gnu_console.h"
#include "gnu_core.h"
#include "gnu_settings.h"
#include "settings_store.h"

namespace korvan::build {

namespace {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
std::string bytes(const QString& text) { return text.toUtf8().toStdString(); }
std::string pathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

CGnu::CGnu(QWidget* parent, const GnuToolchain& tools, const QString& sourcePath, shell::SettingsStore& settings,
           shell::Language language)
    : QDialog(parent), m_tools(tools), m_sourcePath(sourcePath), m_settings(settings) {
    const bool fr = language == shell::Language::French;
    setWindowTitle(fr ? QStringLiteral("Compilateur C/C++ GNU") : QStringLiteral("C/C++ GNU compilator"));
    m_folder = qs(gnu::sourceFolder(bytes(sourcePath)));
    if (m_folder.isEmpty()) m_folder = QDir::currentPath();

    m_stepField = new QLineEdit(this);
    m_stepField->setObjectName(QStringLiteral("stepEdit"));
    m_outcomeField = new QLineEdit(this);
    m_outcomeField->setObjectName(QStringLiteral("outcomeEdit"));
    for (QLineEdit* field : {m_stepField, m_outcomeField}) {
        field->setReadOnly(true);
        field->setMinimumWidth(360);
    }
    m_linkerButton = new QPushButton(QStringLiteral("Linker"), this);
    m_linkerButton->setObjectName(QStringLiteral("linkerButton"));
    m_monitorButton = new QPushButton(fr ? QStringLiteral("Moniteur") : QStringLiteral("Monitor"), this);
    m_monitorButton->setObjectName(QStringLiteral("monitorButton"));
    m_cancelButton = new QPushButton(fr ? QStringLiteral("&Annuler") : QStringLiteral("&Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_linkerButton->setEnabled(false);
    m_monitorButton->setEnabled(false);
    // Enter goes on with the build (Linker after a compile, Moniteur after a link), never to
    // Cancel, which would open yet another "gnu.txt" window.
    m_linkerButton->setAutoDefault(false);
    m_monitorButton->setAutoDefault(false);
    m_cancelButton->setAutoDefault(false);
    connect(m_linkerButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_monitorButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &CGnu::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_linkerButton);
    buttons->addStretch();
    buttons->addWidget(m_monitorButton);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stepField);
    layout->addWidget(m_outcomeField);
    layout->addLayout(buttons);

    // A capture left by an earlier build never passes for this one's.
    QFile::remove(captureFile());
}

CGnu::~CGnu() = default;

QString CGnu::captureFile() const { return QDir(m_folder).filePath(QStringLiteral("gnu.txt")); }

bool CGnu::toolRunning() const { return m_tool && m_tool->running(); }

void CGnu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    scheduleStep();
}

void CGnu::reject() {
    // Cancel while a tool runs ends the tool; its output so far stays in "gnu.txt".
    if (m_tool) m_tool->kill();
    dropTool();
    closeCapture();
    m_stepRunning = false;
    QDialog::reject();
}

void CGnu::scheduleStep() { QTimer::singleShot(0, this, &CGnu::runNextStep); }

void CGnu::runNextStep() {
    if (m_stepRunning || !isVisible()) return;
    if ((m_mode == Build || m_mode == CompileOnly) && m_stage == 0)
        compileStep();
    else if ((m_mode == Build && m_stage == 1) || (m_mode == LinkOnly && m_stage == 0))
        linkStep();
}

bool CGnu::openCapture(QIODevice::OpenMode mode) {
    m_capture = std::make_unique<QFile>(captureFile());
    if (m_capture->open(mode)) return true;
    m_capture.reset();
    return false;
}

void CGnu::write(const std::string& data) {
    if (m_capture) m_capture->write(data.data(), qint64(data.size()));
}

void CGnu::writeText(std::string_view text) { write(gnu::crlf(text)); }

// The tool may be the sender of the signal being handled: it goes once control is back in the
// event loop.
void CGnu::dropTool() {
    if (!m_tool) return;
    m_tool->disconnect(this);
    m_tool.release()->deleteLater();
}

void CGnu::closeCapture() {
    if (m_capture) m_capture->close();
    m_capture.reset();
}

void CGnu::compileStep() {
    m_stepRunning = true;
    const std::string options = bytes(GnuSettings::load(m_settings).compilerOptions);
    const std::string source = pathBytes(m_sourcePath);
    const QString program =
        QFile::decodeName(gnu::compilerProgram(pathBytes(m_tools.root), bytes(m_tools.prefix), source).c_str());
    const std::string name = gnu::sourceName(source);

    newTool();

    openCapture(QIODevice::WriteOnly | QIODevice::Truncate);
    const QString header = qs(gnu::kCompileHeader).arg(QFile::decodeName(name.c_str()));
    writeText(bytes(header) + "\n");
    m_stepField->setText(header);
    m_outcomeField->clear();

    connect(m_tool.get(), &CConsoleCommand::finished, this, &CGnu::compileEnded);
    if (!m_tool->RunTool(program, gnu::compileArguments(options, name))) {
        writeText(
            bytes(qs(gnu::kCannotRun).arg(program, QString::fromStdString(gnu::compileCommandText(options, name)))));
        m_stage = -1;
        m_outcomeField->setText(qs(gnu::kCompileNotRun));
        closeCapture();
        dropTool();
        m_stepRunning = false;
    }
}

void CGnu::newTool() {
    m_tool = std::make_unique<CConsoleCommand>();
    m_tool->SetToolEnvironment(gnu::toolEnvironment(pathBytes(m_tools.root)));
    m_tool->SetToolDirectory(m_folder);
}

void CGnu::writeToolOutput() {
    for (const auto& line : m_tool->lines()) {
        write(line + "\r\n");
        if (auto d = gnu::parseToolDiagnostic(line)) {
            if (!d->file.empty())
                d->file =
                    pathBytes(QDir::cleanPath(QDir(m_folder).absoluteFilePath(QFile::decodeName(d->file.c_str()))));
            m_diagnostics.push_back(std::move(*d));
        }
    }
    if (const int signal = m_tool->terminatingSignal()) writeText(gnu::signalText(signal) + "\n");
}

void CGnu::compileEnded() {
    writeToolOutput();
    // Any output fails the compile, warnings included, and so does a failure status.
    if (!m_tool->lines().empty() || !m_tool->succeeded()) {
        m_stage = -1;
        m_outcomeField->setText(qs(gnu::kCompileFailed));
    } else {
        m_outcomeField->setText(qs(gnu::kCompileDone));
        m_linkerButton->setEnabled(true);
        m_linkerButton->setDefault(true);
        ++m_stage;
    }
    closeCapture();
    dropTool();
    m_stepRunning = false;
    scheduleStep();
}

void CGnu::linkStep() {
    m_stepRunning = true;
    m_linkerButton->setEnabled(false);
    const GnuSettings settings = GnuSettings::load(m_settings);
    const std::string options = bytes(settings.linkerOptions);
    const std::string files = bytes(settings.linkerFiles);
    const QString program =
        QFile::decodeName(gnu::linkerProgram(pathBytes(m_tools.root), bytes(m_tools.prefix)).c_str());
    const std::string base = gnu::baseName(pathBytes(m_sourcePath));

    newTool();
    // The program of an earlier link must not pass for this one's.
    m_absFile = QDir(m_folder).filePath(QFile::decodeName((base + ".abs").c_str()));
    m_elfFile = QDir(m_folder).filePath(QFile::decodeName((base + ".elf").c_str()));
    QFile::remove(m_absFile);
    QFile::remove(m_elfFile);

    openCapture(QIODevice::WriteOnly | QIODevice::Append);
    writeText(std::string(gnu::kLinkHeader) + "\n");
    m_stepField->setText(qs(gnu::kLinkStep));
    m_outcomeField->clear();

    connect(m_tool.get(), &CConsoleCommand::finished, this, &CGnu::linkEnded);
    if (!m_tool->RunTool(program, gnu::linkArguments(options, files, base))) {
        dropTool();
        finishLink(false);
    }
}

// The linker wrote the ELF program; objcopy turns it into the S-records that are downloaded.
void CGnu::linkEnded() {
    writeToolOutput();
    const bool linked = m_tool->succeeded() && QFileInfo(m_elfFile).isFile();
    dropTool();
    if (!linked) {
        // Whatever a failed or crashed linker left is no program.
        QFile::remove(m_elfFile);
        finishLink(false);
        return;
    }
    const QString program =
        QFile::decodeName(gnu::objcopyProgram(pathBytes(m_tools.root), bytes(m_tools.prefix)).c_str());
    const std::string base = gnu::baseName(pathBytes(m_sourcePath));
    newTool();
    connect(m_tool.get(), &CConsoleCommand::finished, this, &CGnu::objcopyEnded);
    const auto arguments = gnu::objcopyArguments(base);
    if (!m_tool->RunTool(program, arguments)) {
        QString command;
        for (const auto& a : arguments) command += QStringLiteral(" ") + QString::fromStdString(a);
        writeText(bytes(qs(gnu::kCannotRun).arg(program, command)));
        dropTool();
        finishLink(false);
    }
}

void CGnu::objcopyEnded() {
    writeToolOutput();
    const bool ok = m_tool->succeeded() && QFileInfo(m_absFile).isFile();
    dropTool();
    if (!ok) QFile::remove(m_absFile);
    finishLink(ok);
}

void CGnu::finishLink(bool ok) {
    if (ok) {
        writeText(gnu::kLinkDoneTail);
        m_outcomeField->setText(qs(gnu::kLinkDone));
        m_monitorButton->setEnabled(true);
        m_monitorButton->setDefault(true);
    } else {
        m_outcomeField->setText(qs(gnu::kLinkFailed));
        writeText(gnu::kLinkFailedTail);
    }
    m_linkSucceeded = ok;
    closeCapture();
    ++m_stage;
    m_stepRunning = false;
}

}  // namespace korvan::build
