#pragma once
// Tells when a folder's list of children changes: an item added, removed or renamed in
// it, by this program or another. Over inotify on the folder's path bytes, so a folder
// whose name is not UTF-8 is watched too (Qt's watcher takes a QString path).
//
// It also tells where the folder itself went. It holds the folder open by an O_PATH
// handle (which reads nothing and locks nothing), and the kernel keeps that handle's path
// up to date (/proc/self/fd): a folder renamed or moved is found under its new path, at
// once when inotify reports the move, and on relocate() when a folder above it moved
// (inotify says nothing then). A handle would keep the folder's disk from being
// unmounted, so it is let go when the desktop announces an unmount of that disk (GIO's
// "mount-pre-unmount"); the folder is then followed by its path only.

#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QObject>

#include <sys/types.h>

class QSocketNotifier;

class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    // Why the watched folder is gone.
    enum class Loss {
        Deleted,        // the folder itself was removed
        Trashed,        // moved to a desktop trash folder (freedesktop.org trash layout)
        OutOfReach,     // no longer where this process can see it: its disk was unmounted, ...
    };

    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Watches this folder instead of the previous one; an empty path stops watching.
    // False when the folder cannot be watched (the kernel's watch limit, no permission):
    // the program then works as before, without noticing outside changes.
    bool watch(const QByteArray& folderPath);
    // While paused, changes are neither read nor reported: a run of this program renames
    // the folder's items and lists the folder itself when it ends. Resuming forgets what
    // changed meanwhile, but not where the folder went: a move or loss is told then.
    void setPaused(bool paused);

    // Looks where the folder is now, and tells moved() or removed() when it is not where
    // it was; true when it told one. Inotify reports a move of the folder itself, but not
    // of a folder above it: callers ask when they have reason to (the folder's path no
    // longer names it).
    bool relocate();
    // The watched folder's path as last known (it follows moves); empty when none.
    const QByteArray& folderPath() const { return m_path; }

Q_SIGNALS:
    // Emitted once per burst of changes read together; callers debounce further.
    void changed();
    // The folder was renamed or moved (or a folder above it was); it is watched there.
    void moved(const QByteArray& newPath);
    // The folder is gone; watching stops.
    void removed(FolderWatcher::Loss loss);

private:
    void readEvents();
    // Reads what is queued; true when anything was.
    bool drain();
    void stopWatching();
    // GIO announces an unmount: let go of the handle when the folder is on that mount.
    static void mountPreUnmount(void* monitor, void* mount, void* self);

    int m_fd = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_path;
    FileDescriptor m_handle;            // O_PATH on the folder
    dev_t m_device = 0;                 // the folder's identity when watching began
    ino_t m_inode = 0;
    void* m_volumeMonitor = nullptr;    // GVolumeMonitor, taken when the first folder is watched
};
