// The workbench's per-user settings store: two levels (section, entry), string and integer
// values, kept by QSettings under organisation "hvl_mobr", application "korvan".
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

namespace korvan::shell {

class SettingsStore {
public:
    static constexpr int kRecentFileCount = 4;

    SettingsStore();

    // A missing entry, or an integer entry that does not hold a number, gives the default.
    QString GetSettingString(const QString& section, const QString& entry, const QString& def) const;
    int GetSettingInt(const QString& section, const QString& entry, int def) const;
    // Both write at once.
    void WriteSettingString(const QString& section, const QString& entry, const QString& value);
    void WriteSettingInt(const QString& section, const QString& entry, int value);

    // The list of the 4 files opened last, most recent first.
    QStringList recentFiles() const;
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);

private:
    void writeRecentFiles(const QStringList& files);

    mutable QSettings m_settings;
};

}  // namespace korvan::shell
