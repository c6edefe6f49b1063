#pragma once
// Tells when a folder's list of children changes: an item added, removed or renamed in
// it, by this program or another. Over inotify on the folder's path bytes, so a folder
// whose name is not UTF-8 is watched too (Qt's watcher takes a QString path).

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Watches this folder instead of the previous one; an empty path stops watching.
    // False when the folder cannot be watched (the kernel's watch limit, no permission):
    // the program then works as before, without noticing outside changes.
    bool watch(const QByteArray& folderPath);
    // While paused, changes are neither read nor reported: a run of this program renames
    // the folder's items and lists the folder itself when it ends. Resuming forgets what
    // changed meanwhile.
    void setPaused(bool paused);

Q_SIGNALS:
    // Emitted once per burst of changes read together; callers debounce further.
    void changed();

private:
    void readEvents();
    // Reads what is queued; true when anything was.
    bool drain();

    int m_fd = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
};
