#include "app/ItemImages.h"

#include "platform/NameCodec.h"
#include "platform/ThumbnailService.h"

#include <QFileIconProvider>
#include <QGuiApplication>
#include <QHash>
#include <QHashFunctions>
#include <QImage>
#include <QMimeDatabase>
#include <QMutex>
#include <QPixmap>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <deque>
#include <sys/stat.h>

namespace {

// Enough for several thousand table-sized pictures at a device pixel ratio of 1, about
// nine hundred at 2; more would only keep pictures of rows nobody looks at.
constexpr int kCacheKilobytes = 32 * 1024;

} // namespace

size_t qHash(const ItemImages::Key& key, size_t seed)
{
    return qHashMulti(seed, key.path, key.modified, key.size, key.inode, key.pixels, key.asIcon);
}

struct ItemImages::Request {
    Key key;
    qreal devicePixelRatio = 1;
    // The service as it was when asked: the workers never read the process-wide handles.
    QLThumbnailImageCreateFn create = nullptr;
    QString iconModeKey;
};

// What the workers share with the object: the queue, newest request last, and the way
// back. The workers hold it by shared pointer, so it outlives the object if it must;
// owner turns null when the object goes, after which results are dropped.
struct ItemImages::Shared {
    QMutex mutex;
    std::deque<Request> queue;
    ItemImages* owner = nullptr;
    int workers = 0;
    int maxWorkers = 1;
    QThreadPool* pool = nullptr;   // left to the workers once the owner has gone
};

ItemImages::ItemImages(QObject* parent)
    : QObject(parent)
    , m_cache(kCacheKilobytes)
    , m_shared(std::make_shared<Shared>())
    , m_pool(new QThreadPool)
{
    m_shared->owner = this;
    m_shared->pool = m_pool;
    // Decoding photos is all CPU: one worker per core, at low priority so the window's
    // own thread, which paints and scrolls, always wins.
    m_shared->maxWorkers = std::clamp(QThread::idealThreadCount(), 1, 4);
    m_pool->setMaxThreadCount(m_shared->maxWorkers);
    m_pool->setThreadPriority(QThread::LowPriority);
}

ItemImages::~ItemImages()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->queue.clear();
    m_shared->owner = nullptr;
    if (m_shared->workers == 0) {
        lock.unlock();
        delete m_pool;   // its threads are idle: they end at once
        return;
    }
    // A photo being decoded is not waited for (that made quitting take seconds); the last
    // of these workers hands the pool back to the main thread to be deleted.
}

void ItemImages::setDisplaySize(QSize size)
{
    if (size.isValid() && !size.isEmpty())
        m_displaySize = size;
}

void ItemImages::cancelPendingRequests()
{
    QMutexLocker lock(&m_shared->mutex);
    for (const Request& request : m_shared->queue)
        m_pending.remove(request.key);
    m_shared->queue.clear();
}

QIcon ItemImages::imageWithPreviewOfFileAtPath(const QString& path, QSize size, bool asIcon)
{
    if (path.isEmpty())
        return {};
    if (!ThumbnailServiceAvailable() || !path.startsWith(u'/'))
        return fileIcon(path);

    // The key carries the file's identity and modification time, so an item changed on
    // disk is pictured anew while its old picture ages out of the cache.
    struct stat st;
    if (::stat(EncodeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return fileIcon(path);

    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QSize wanted = (size.isValid() && !size.isEmpty() ? size.boundedTo(m_displaySize) : m_displaySize);
    Key key;
    key.path = path;
    key.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    key.size = qint64(st.st_size);
    key.inode = quint64(st.st_ino);
    key.pixels = int(std::ceil(std::max(wanted.width(), wanted.height()) * ratio));
    key.asIcon = asIcon;
    if (const QIcon* known = m_cache.object(key))
        return *known;

    Request request;
    request.key = std::move(key);
    request.devicePixelRatio = ratio;
    request.create = gQLThumbnailImageCreatePtr;
    request.iconModeKey = *gkQLThumbnailOptionIconModeKeyPtr;
    enqueue(std::move(request));
    return fileIcon(path);
}

void ItemImages::enqueue(Request request)
{
    const bool known = m_pending.contains(request.key);
    {
        QMutexLocker lock(&m_shared->mutex);
        auto& queue = m_shared->queue;
        const auto waiting = std::find_if(queue.begin(), queue.end(),
                                          [&](const Request& r) { return r.key == request.key; });
        if (waiting != queue.end()) {
            // Asked again: the row is on screen now, so it moves to the front of the line.
            Request again = std::move(*waiting);
            queue.erase(waiting);
            queue.push_back(std::move(again));
            return;
        }
        if (known)
            return;     // being made right now
        queue.push_back(request);
        if (queue.size() > size_t(kMaxQueuedRequests)) {
            m_pending.remove(queue.front().key);
            queue.pop_front();
        }
    }
    m_pending.insert(request.key);
    startWorkers();
}

void ItemImages::startWorkers()
{
    QMutexLocker lock(&m_shared->mutex);
    while (m_shared->workers < m_shared->maxWorkers && size_t(m_shared->workers) < m_shared->queue.size()) {
        ++m_shared->workers;
        m_pool->start([shared = m_shared] { work(shared); });
    }
}

void ItemImages::work(const std::shared_ptr<Shared>& shared)
{
    for (;;) {
        Request request;
        {
            QMutexLocker lock(&shared->mutex);
            if (shared->queue.empty() || !shared->owner) {
                --shared->workers;
                if (!shared->owner && shared->workers == 0 && QCoreApplication::instance()) {
                    // Deleted where it is not one of its own threads; a program that has
                    // stopped its event loop just ends with it.
                    QMetaObject::invokeMethod(QCoreApplication::instance(),
                                              [pool = shared->pool] { delete pool; }, Qt::QueuedConnection);
                }
                return;
            }
            // Newest first: the rows the user looks at now, not those scrolled past.
            request = std::move(shared->queue.back());
            shared->queue.pop_back();
        }

        const Key& key = request.key;
        const QUrl url = FileUrlFromPath(key.path);
        const QVariantMap options{{request.iconModeKey, key.asIcon}};
        const std::unique_ptr<QImage> made(request.create(&url, QSizeF(key.pixels, key.pixels), &options));
        QImage picture;
        if (made && !made->isNull()) {
            // The service answers at most the size asked for; scaling here covers a
            // service that does not, and the conversion spares the window's thread the work.
            picture = made->width() > key.pixels || made->height() > key.pixels
                ? made->scaled(key.pixels, key.pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                : *made;
            picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            picture.setDevicePixelRatio(request.devicePixelRatio);
        }

        QMutexLocker lock(&shared->mutex);
        // While the lock is held the owner cannot finish its destructor; once it has begun,
        // owner is null. A queued call to an object that is then deleted is discarded.
        if (ItemImages* owner = shared->owner) {
            QMetaObject::invokeMethod(
                owner, [owner, key, picture] { owner->deliver(key, picture); }, Qt::QueuedConnection);
        }
    }
}

void ItemImages::deliver(const Key& key, const QImage& picture)
{
    m_pending.remove(key);
    if (picture.isNull()) {
        // Remembered too, so an item the service cannot picture is not asked for again at
        // every repaint; its file icon is what the cell already shows.
        m_cache.insert(key, new QIcon(fileIcon(key.path)), 1);
        return;
    }
    const int kilobytes = std::max(1, int(picture.sizeInBytes() / 1024));
    m_cache.insert(key, new QIcon(QPixmap::fromImage(picture)), kilobytes);
    Q_EMIT imageReady(key.path);
}

QIcon ItemImages::fileIcon(const QString& path)
{
    // Icons are looked up once per kind and content type, not once per cell: a theme
    // lookup costs a few hundred microseconds, and a shared QIcon also shares the pixmaps
    // it has already rendered. Only the window's thread gets here.
    static QHash<QString, QIcon> byName;
    const auto remembered = [](const QString& name, const auto& make) {
        auto known = byName.constFind(name);
        if (known == byName.cend())
            known = byName.insert(name, make());
        return *known;
    };

    const QByteArray bytes = EncodeFileName(path);
    struct stat st;
    if (::lstat(bytes.constData(), &st) != 0)
        return remembered(QStringLiteral("unknown"), [] { return QIcon::fromTheme(QStringLiteral("unknown")); });
    if (S_ISLNK(st.st_mode)) {
        return remembered(QStringLiteral("inode-symlink"), [] {
            return QIcon::fromTheme(QStringLiteral("inode-symlink"), QIcon::fromTheme(QStringLiteral("emblem-symbolic-link")));
        });
    }
    if (S_ISDIR(st.st_mode)) {
        return remembered(QStringLiteral("folder"), [] {
            return QIcon::fromTheme(QStringLiteral("folder"), QFileIconProvider().icon(QFileIconProvider::Folder));
        });
    }
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(DisplayFileName(path), QMimeDatabase::MatchExtension);
    return remembered(type.name(), [&type] {
        const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        return icon.isNull() ? QFileIconProvider().icon(QFileIconProvider::File) : icon;
    });
}
