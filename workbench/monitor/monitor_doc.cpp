// The monitor document: channel, screen and registers, with the hand-over from the reception
// thread to the GUI thread.
#include "monitor_doc.h"

#include <QFile>
#include <QMessageBox>
#include <QMetaObject>

#include "monitor_texts.h"
#include "korvan_app.h"
#include "settings_store.h"
#include "texts.h"

namespace korvan::monitor {

namespace {
shell::Language currentLanguage() {
    const shell::CKorvanApp* app = shell::CKorvanApp::instance();
    return app ? app->uiLanguage() : shell::Language::French;
}
}  // namespace

CDocMonitor::CDocMonitor(const shell::SettingsStore& settings, QObject* parent) : QObject(parent) {
    const QString section = QStringLiteral("MONITEUR");
    m_portName = settings.GetSettingString(section, QStringLiteral("PORT"), QStringLiteral("COM1"));
    m_detect = settings.GetSettingInt(section, QStringLiteral("DETECT"), 1);
    m_pcom = makeChannel();
    if (settings.GetSettingInt(section, QStringLiteral("JOURNAL"), 0) == 1) {
        const QString log = settings.GetSettingString(section, QStringLiteral("FICHIER_JOURNAL"), QString());
        if (!log.isEmpty() && !StartLog(log))
            ShowLocalText(
                monitorText(mtext::kLogFailed)
                    .arg(log, QString::fromStdString(shell::systemErrorText(m_log.errorCode(), currentLanguage()))));
    }
}

std::unique_ptr<ComTread> CDocMonitor::makeChannel() {
    ComTread::Texts texts;
    texts.opening = monitorText(mtext::kOpeningPort).toStdString();
    texts.cannotOpen = monitorText(mtext::kCannotOpen).toStdString();
    texts.lineLost = monitorText(mtext::kLineLost).toStdString();
    auto channel = std::make_unique<ComTread>(*this, m_portName.toStdString(), m_detect, texts);
    channel->Start();
    return channel;
}

void CDocMonitor::ReopenPort() {
    // The old channel ends (and gives the port back) before the new one opens it exclusively.
    m_pcom->StopReception();
    m_pcom.reset();
    m_pcom = makeChannel();
    emit lineStateChanged();
}

CDocMonitor::~CDocMonitor() {
    // The reception thread must have ended before the screen it feeds goes away; queued
    // hand-overs still pending die with this object.
    m_pcom->StopReception();
    m_pcom.reset();
}

void CDocMonitor::ReceiveChars(const char* bytes, std::size_t count) {
    std::string chunk(bytes, count);
    QMetaObject::invokeMethod(
        this, [this, chunk = std::move(chunk)] { takeBytes(chunk, true); }, Qt::QueuedConnection);
}

void CDocMonitor::ReceiveStatus(const char* bytes, std::size_t count) {
    std::string chunk(bytes, count);
    QMetaObject::invokeMethod(
        this, [this, chunk = std::move(chunk)] { takeBytes(chunk, false); }, Qt::QueuedConnection);
}

void CDocMonitor::LineLost() {
    QMetaObject::invokeMethod(
        this, [this] { emit lineStateChanged(); }, Qt::QueuedConnection);
}

void CDocMonitor::ShowLocalText(const QString& text) {
    // The terminal shows ASCII only: accents go, the letters stay.
    std::string ascii;
    for (QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.unicode() < 0x80) ascii += char(c.unicode());
    ReceiveStatus(ascii.data(), ascii.size());
    RefreshView();
}

void CDocMonitor::ClearHistory() {
    m_screen.clearHistory();
    emit screenRefreshed();
}

bool CDocMonitor::StartLog(const QString& path) {
    const bool ok = m_log.open(QFile::encodeName(path).toStdString());
    emit logStateChanged();
    return ok;
}

void CDocMonitor::StopLog() {
    m_log.close();
    emit logStateChanged();
}

QString CDocMonitor::LogPath() const { return QFile::decodeName(QByteArray::fromStdString(m_log.path())); }

void CDocMonitor::RefreshView() {
    QMetaObject::invokeMethod(
        this, [this] { emit screenRefreshed(); }, Qt::QueuedConnection);
}

void CDocMonitor::ConfigureFailed(const std::string& portName) {
    const QString caption = QString::fromStdString(portName);
    QMetaObject::invokeMethod(
        this,
        [caption] {
            // The message has no owner window and exists only in French.
            QMessageBox box(QMessageBox::Critical, caption, monitorText(mtext::kConfigureFailed), QMessageBox::Ok);
            box.exec();
        },
        Qt::QueuedConnection);
}

void CDocMonitor::takeBytes(const std::string& bytes, bool received) {
    if (received && m_log.isOpen() && !m_log.write(bytes)) {
        ShowLocalText(
            monitorText(mtext::kLogFailed)
                .arg(LogPath(), QString::fromStdString(shell::systemErrorText(m_log.errorCode(), currentLanguage()))));
        emit logStateChanged();
    }
    const unsigned long long prompts = m_screen.promptCount();
    const std::vector<std::string> dumps = m_screen.receive(bytes);
    emit textReceived(QByteArray::fromStdString(bytes));
    for (const std::string& dump : dumps) {
        m_registers.Parse(dump);
        m_lastDump = dump;
        m_dumpEvent = ++m_events;
        emit registersParsed();
    }
    if (m_screen.promptCount() != prompts) emit promptReceived();
}

void CDocMonitor::NoteDownloadEntry(uint32_t entry) {
    m_downloadEntry = entry;
    m_entryEvent = ++m_events;
}

uint32_t CDocMonitor::RunAddress() const {
    return m_entryEvent > m_dumpEvent ? m_downloadEntry : m_registers.GetRegister(kRegPC);
}

void CDocMonitor::SendKey(char byte) { m_pcom->WriteBytes(std::string(1, byte)); }

}  // namespace korvan::monitor
