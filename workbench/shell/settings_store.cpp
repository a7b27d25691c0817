// QSettings behind the workbench's settings store.
#include "settings_store.h"

namespace korvan::shell {

namespace {
const QString kRecentSection = QStringLiteral("Recent File List");
QString key(const QString& section, const QString& entry) { return section + u'/' + entry; }
}  // namespace

SettingsStore::SettingsStore() : m_settings(QStringLiteral("hvl_mobr"), QStringLiteral("korvan")) {}

QString SettingsStore::GetSettingString(const QString& section, const QString& entry, const QString& def) const {
    const QVariant v = m_settings.value(key(section, entry));
    return v.isValid() ? v.toString() : def;
}

int SettingsStore::GetSettingInt(const QString& section, const QString& entry, int def) const {
    const QVariant v = m_settings.value(key(section, entry));
    if (!v.isValid()) return def;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok);
    return ok ? value : def;
}

void SettingsStore::WriteSettingString(const QString& section, const QString& entry, const QString& value) {
    m_settings.setValue(key(section, entry), value);
    m_settings.sync();
}

void SettingsStore::WriteSettingInt(const QString& section, const QString& entry, int value) {
    m_settings.setValue(key(section, entry), value);
    m_settings.sync();
}

QStringList SettingsStore::recentFiles() const {
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString f = GetSettingString(kRecentSection, QStringLiteral("File%1").arg(i), {});
        if (!f.isEmpty()) files << f;
    }
    return files;
}

void SettingsStore::addRecentFile(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    writeRecentFiles(files);
}

void SettingsStore::removeRecentFile(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    writeRecentFiles(files);
}

void SettingsStore::writeRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString entry = key(kRecentSection, QStringLiteral("File%1").arg(i));
        if (i <= files.size())
            m_settings.setValue(entry, files.at(i - 1));
        else
            m_settings.remove(entry);
    }
    m_settings.sync();
}

}  // namespace korvan::shell
