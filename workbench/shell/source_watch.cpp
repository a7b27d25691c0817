// The shared watcher of source files. Folders are watched as well as files, so that a file
// that was removed and written anew (the watch of a file ends with its inode) is seen again.
#include "source_watch.h"

#include <QFileInfo>

namespace korvan::shell {

namespace {
QString folderOf(const QString& file) { return QFileInfo(file).absolutePath(); }
}  // namespace

SourceWatch::SourceWatch(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("SourceWatch"));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SourceWatch::touched);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SourceWatch::folderChanged);
}

SourceWatch* SourceWatch::of(QObject& owner) {
    if (auto* w = owner.findChild<SourceWatch*>(QStringLiteral("SourceWatch"), Qt::FindDirectChildrenOnly)) return w;
    return new SourceWatch(&owner);
}

void SourceWatch::watch(const QString& file) {
    if (m_files[file]++ > 0) return;
    const QString folder = folderOf(file);
    if (m_folders[folder]++ == 0 && QFileInfo::exists(folder)) m_watcher.addPath(folder);
    rewatch(file);
}

void SourceWatch::unwatch(const QString& file) {
    auto it = m_files.find(file);
    if (it == m_files.end() || --*it > 0) return;
    m_files.erase(it);
    if (m_watcher.files().contains(file)) m_watcher.removePath(file);
    const QString folder = folderOf(file);
    auto f = m_folders.find(folder);
    if (f != m_folders.end() && --*f == 0) {
        m_folders.erase(f);
        if (m_watcher.directories().contains(folder)) m_watcher.removePath(folder);
    }
}

void SourceWatch::rewatch(const QString& file) {
    if (!m_files.contains(file) || m_watcher.files().contains(file)) return;
    if (QFileInfo::exists(file)) m_watcher.addPath(file);
}

void SourceWatch::folderChanged(const QString& folder) {
    // Which entry changed is not told: every watched file of the folder is looked at.
    const QStringList files = m_files.keys();
    for (const QString& file : files)
        if (folderOf(file) == folder) emit touched(file);
}

}  // namespace korvan::shell
