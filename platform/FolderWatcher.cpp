#include "platform/FolderWatcher.h"

#include <QSocketNotifier>

#include <gio/gio.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Changes to the set of names, and to a child's content or attributes (a picture saved
// again gets a new thumbnail); the folder's own move or deletion ends what is listed.
constexpr std::uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
                                         | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

QByteArray realPath(const QByteArray& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : path;
}

// Whether the folder at path stands in a trash folder of the freedesktop Trash
// layout: the home trash ($XDG_DATA_HOME/Trash/files) or a disk's own
// ($topdir/.Trash/$uid/files, $topdir/.Trash-$uid/files).
bool isInTrash(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0)
        return false;
    const QByteArray parent = path.left(slash);
    const QByteArray uid = QByteArray::number(::getuid());
    if (parent.endsWith("/.Trash-" + uid + "/files") || parent.endsWith("/.Trash/" + uid + "/files"))
        return true;
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = qgetenv("HOME") + "/.local/share";
    return parent == realPath(dataHome + "/Trash/files");
}

} // namespace

FolderWatcher::FolderWatcher(QObject* parent)
    : QObject(parent)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
    }
}

FolderWatcher::~FolderWatcher()
{
    if (m_volumeMonitor) {
        g_signal_handlers_disconnect_by_data(m_volumeMonitor, this);
        g_object_unref(m_volumeMonitor);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderWatcher::watch(const QByteArray& folderPath)
{
    stopWatching();
    if (folderPath.isEmpty())
        return true;
    m_path = folderPath;
    struct stat st;
    m_handle.reset(::open(folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (m_handle && ::fstat(m_handle.get(), &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
    } else if (::stat(folderPath.constData(), &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
    if (!m_volumeMonitor) {
        // The desktop's volume monitor (gvfs where it runs) tells every program before it
        // unmounts a disk, so that they let go of it; Qt's event loop runs GLib's.
        m_volumeMonitor = g_volume_monitor_get();
        g_signal_connect(m_volumeMonitor, "mount-pre-unmount", G_CALLBACK(&FolderWatcher::mountPreUnmount), this);
    }
    if (m_fd < 0)
        return false;
    m_watch = ::inotify_add_watch(m_fd, folderPath.constData(), kWatchedEvents);
    return m_watch >= 0;
}

void FolderWatcher::stopWatching()
{
    if (m_fd >= 0 && m_watch >= 0)
        ::inotify_rm_watch(m_fd, m_watch);
    m_watch = -1;
    m_handle.reset();
    m_path.clear();
    m_device = 0;
    m_inode = 0;
}

void FolderWatcher::setPaused(bool paused)
{
    if (m_notifier) {
        if (!paused)
            drain();
        m_notifier->setEnabled(!paused);
    }
    if (!paused)
        relocate();
}

bool FolderWatcher::relocate()
{
    if (m_path.isEmpty())
        return false;
    const auto lose = [this](Loss loss) {
        stopWatching();
        Q_EMIT removed(loss);
        return true;
    };
    struct stat st;
    if (!m_handle) {
        // Without a handle (it could not be opened, or an unmount took it) the path is
        // all there is to go by.
        if (::stat(m_path.constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode)
            return false;
        return lose(Loss::OutOfReach);
    }
    if (::fstat(m_handle.get(), &st) != 0)
        return lose(Loss::OutOfReach);
    // A removed folder keeps its inode while the handle holds it, with no links left.
    if (st.st_nlink == 0)
        return lose(Loss::Deleted);
    char link[PATH_MAX];
    const ssize_t n = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(m_handle.get())).constData(), link,
                                 sizeof link);
    if (n <= 0 || size_t(n) >= sizeof link)
        return false;   // no /proc: moves are not followed
    const QByteArray now(link, n);
    if (now == m_path)
        return false;
    // The kernel's path must name this very folder: one moved out of this process's view
    // (another mount namespace, a lazily unmounted disk) reads as something else.
    struct stat at;
    if (!now.startsWith('/') || ::stat(now.constData(), &at) != 0 || at.st_dev != st.st_dev || at.st_ino != st.st_ino)
        return lose(Loss::OutOfReach);
    if (isInTrash(now))
        return lose(Loss::Trashed);
    // The inotify watch stays on the folder itself, wherever it goes.
    m_path = now;
    Q_EMIT moved(now);
    return true;
}

void FolderWatcher::mountPreUnmount(void* /*monitor*/, void* mount, void* self)
{
    auto* watcher = static_cast<FolderWatcher*>(self);
    if (!watcher->m_handle)
        return;
    GFile* root = g_mount_get_root(static_cast<GMount*>(mount));
    char* rootPath = root ? g_file_get_path(root) : nullptr;
    if (rootPath) {
        const QByteArray top(rootPath);
        if (watcher->m_path == top || watcher->m_path.startsWith(top.endsWith('/') ? top : top + '/'))
            watcher->m_handle.reset();
    }
    g_free(rootPath);
    if (root)
        g_object_unref(root);
}

bool FolderWatcher::drain()
{
    alignas(inotify_event) char buffer[16 * 1024];
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return any;   // EAGAIN: drained
    }
}

void FolderWatcher::readEvents()
{
    if (!drain() || m_watch < 0)
        return;
    // The folder's own move or removal arrives as events too (or, for a folder above it
    // being moved, not at all): where it stands is looked at after every burst.
    if (relocate())
        return;
    Q_EMIT changed();
}
