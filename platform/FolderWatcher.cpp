#include "platform/FolderWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Changes to the set of names, and to a child's content or attributes (a picture saved
// again gets a new thumbnail); the folder's own move or deletion ends what is listed.
constexpr std::uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
                                         | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

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
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderWatcher::watch(const QByteArray& folderPath)
{
    if (m_fd < 0)
        return false;
    if (m_watch >= 0)
        ::inotify_rm_watch(m_fd, m_watch);
    m_watch = -1;
    if (folderPath.isEmpty())
        return true;
    m_watch = ::inotify_add_watch(m_fd, folderPath.constData(), kWatchedEvents);
    return m_watch >= 0;
}

void FolderWatcher::setPaused(bool paused)
{
    if (!m_notifier)
        return;
    if (!paused)
        drain();
    m_notifier->setEnabled(!paused);
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
    if (drain() && m_watch >= 0)
        Q_EMIT changed();
}
