// The monitor document: channel, screen and registers, with the hand-over from the reception
// thread to the GUI thread.
#include "monitor_doc.h"

#include <QMessageBox>
#include <QMetaObject>

#include "monitor_texts.h"
#include "settings_store.h"

namespace korvan::monitor {

CDocMonitor::CDocMonitor(const shell::SettingsStore& settings, QObject* parent) : QObject(parent) {
    const QString section = QStringLiteral("MONITEUR");
    m_portName = settings.GetSettingString(section, QStringLiteral("PORT"), QStringLiteral("COM1"));
    m_detect = settings.GetSettingInt(section, QStringLiteral("DETECT"), 1);
    m_pcom = makeChannel();
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
        this, [this, chunk = std::move(chunk)] { takeBytes(chunk); }, Qt::QueuedConnection);
}

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

void CDocMonitor::takeBytes(const std::string& bytes) {
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
