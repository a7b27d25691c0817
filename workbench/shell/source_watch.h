// One watcher over the files of the open source documents and their folders: documents
// register their paths and are told when something may have changed them on disk.
#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>

namespace korvan::shell {

class SourceWatch : public QObject {
    Q_OBJECT
public:
    // The watcher shared by the documents of owner (created as its child on first use).
    static SourceWatch* of(QObject& owner);

    // Counted: a path watched twice needs two unwatch calls.
    void watch(const QString& file);
    void unwatch(const QString& file);
    // Watches file again after it was replaced on disk (a program that saves by renaming a
    // temporary file over it ends the watch of the old file); does nothing while it is absent.
    void rewatch(const QString& file);

signals:
    // file, or its folder, changed: the file may have been written, replaced or removed.
    void touched(const QString& file);

private:
    explicit SourceWatch(QObject* parent);
    void folderChanged(const QString& folder);

    QFileSystemWatcher m_watcher;
    QHash<QString, int> m_files;    // watched file -> documents watching it
    QHash<QString, int> m_folders;  // folder -> watched files in it
};

}  // namespace korvan::shell
