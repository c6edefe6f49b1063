// The thumbnail library's two exported symbols (see platform/ThumbnailService.h) and the
// road from a file to its picture: the shared cache first, then a picture made here
// (images through QImageReader, other types through registered thumbnailers) and stored
// in the shared cache for the next asker, this program or a file manager.

#include "platform/ThumbnailService.h"
#include "platform/thumbnails/IconStyle.h"
#include "platform/thumbnails/ThumbnailCache.h"
#include "platform/thumbnails/Thumbnailers.h"

#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

extern "C" {
Q_DECL_EXPORT extern const QString kQLThumbnailOptionIconModeKey;
Q_DECL_EXPORT QImage* QLThumbnailImageCreate(const QUrl* file, QSizeF maxSize, const QVariantMap* options);
}

const QString kQLThumbnailOptionIconModeKey = QStringLiteral("IconMode");

static_assert(std::is_same_v<decltype(&QLThumbnailImageCreate), QLThumbnailImageCreateFn>,
              "the exported function must match what the program looks up");

namespace Thumbnails {

namespace {

// Far beyond any view; keeps a caller's absurd size from reaching the arithmetic below.
constexpr qreal kLargestBox = 16384;

// Opens a regular file (a final link is followed: a link to a photo shows the photo).
// Anything else is refused before it is opened, so a FIFO cannot block the worker and
// a device is never touched; O_NONBLOCK covers a swap between the two checks.
int openRegularFile(const QByteArray& path, struct stat* st)
{
    if (::stat(path.constData(), st) != 0 || !S_ISREG(st->st_mode))
        return -1;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

const QSet<QString>& readableImageTypes()
{
    static const QSet<QString> types = [] {
        QSet<QString> names;
        for (const QByteArray& name : QImageReader::supportedMimeTypes())
            names.insert(QString::fromLatin1(name));
        return names;
    }();
    return types;
}

// An image Qt can decode, read at (about) the size needed: JPEG decoding scales while it
// reads, which is what makes a folder of large photos affordable. *recognised tells
// whether the content was an image format Qt knows at all.
QImage readImage(QIODevice* device, int pixels, bool* recognised)
{
    QImageReader reader(device);
    reader.setAutoTransform(true);
    *recognised = reader.canRead();
    if (!*recognised)
        return {};
    // Orientation is applied after scaling; the box is square, so fitting the stored size
    // fits the turned picture too.
    const QSize stored = reader.size();
    if (stored.isValid() && (stored.width() > pixels || stored.height() > pixels))
        reader.setScaledSize(stored.scaled(pixels, pixels, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return fitWithin(reader.read(), QSize(pixels, pixels));
}

QImage pictureOf(const QByteArray& path, int pixels)
{
    struct stat st;
    const int fd = openRegularFile(path, &st);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }

    Original original;
    original.uri = canonicalUri(path);
    original.mtime = qint64(st.st_mtim.tv_sec);
    original.size = qint64(st.st_size);
    // Pictures of the cache's own files would only feed the cache with itself.
    const bool cacheable = !isInsideCache(path);
    const CacheFlavor& flavor = flavorFor(pixels);

    if (cacheable) {
        // A larger entry serves a smaller request as well.
        for (const CacheFlavor& candidate : cacheFlavors()) {
            if (candidate.pixels < flavor.pixels)
                continue;
            QImage cached = readCached(candidate, original);
            if (!cached.isNull())
                return cached;
        }
        if (hasFailed(original))
            return {};
    }

    bool recognised = false;
    QImage picture = readImage(&file, flavor.pixels, &recognised);
    if (!recognised) {
        file.seek(0);
        const qsizetype slash = path.lastIndexOf('/');
        const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(QString::fromUtf8(path.mid(slash + 1)), &file);
        if (readableImageTypes().contains(type.name())) {
            // Named as an image Qt reads, yet unreadable: a damaged file, and no other
            // program would do better with it.
            recognised = true;
        } else if (const Thumbnailer* thumbnailer = thumbnailerFor(type)) {
            recognised = true;
            original.mimeType = type.name();
            picture = runThumbnailer(*thumbnailer, path, original.uri, flavor.pixels);
        }
    }

    if (picture.isNull()) {
        // Only a real attempt that failed is remembered; a type nothing can picture is
        // simply answered with null each time, which costs no more than the check.
        if (recognised && cacheable)
            recordFailure(original);
        return {};
    }
    if (cacheable)
        writeCached(flavor, original, picture);
    return picture;
}

// The path bytes of a local file: URL, exactly: percent-decoding the encoded path keeps
// names that are not UTF-8 intact, which QUrl::toLocalFile would not.
QByteArray localPath(const QUrl& url)
{
    if (!url.isValid() || url.scheme() != u"file")
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host != u"localhost")
        return {};
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!path.startsWith('/') || path.contains('\0'))
        return {};
    return path;
}

} // namespace

} // namespace Thumbnails

QImage* QLThumbnailImageCreate(const QUrl* file, QSizeF maxSize, const QVariantMap* options)
{
    // Nothing may unwind into the caller through a C entry point.
    try {
        if (!file || !(maxSize.width() >= 1) || !(maxSize.height() >= 1))
            return nullptr;
        const QByteArray path = Thumbnails::localPath(*file);
        if (path.isEmpty())
            return nullptr;
        const QSize box(int(std::floor(std::min(maxSize.width(), Thumbnails::kLargestBox))),
                        int(std::floor(std::min(maxSize.height(), Thumbnails::kLargestBox))));
        const bool iconMode = options && options->value(kQLThumbnailOptionIconModeKey).toBool();

        const QImage picture = Thumbnails::pictureOf(path, std::max(box.width(), box.height()));
        if (picture.isNull())
            return nullptr;
        QImage result = iconMode ? Thumbnails::drawAsIcon(picture, box) : Thumbnails::fitWithin(picture, box);
        if (result.isNull())
            return nullptr;
        return new QImage(std::move(result));
    } catch (...) {
        return nullptr;
    }
}
