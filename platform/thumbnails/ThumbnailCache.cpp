#include "platform/thumbnails/ThumbnailCache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Thumbnails {

namespace {

constexpr std::array<CacheFlavor, 4> kFlavors{{
    {"normal", 128},
    {"large", 256},
    {"x-large", 512},
    {"xx-large", 1024},
}};

// Entries are a few hundred kilobytes at most; anything far larger is not one of ours and
// is not worth reading into memory.
constexpr qint64 kLargestEntry = 32 * 1024 * 1024;

// Characters GLib's g_filename_to_uri leaves as they are in a path; everything else,
// every byte above 0x7F included, becomes %XX with upper-case digits.
bool keptInUriPath(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!': case '$': case '&': case '\'': case '(': case ')': case '*': case '+':
    case ',': case '-': case '.': case '/': case ':': case '=': case '@': case '_': case '~':
        return true;
    default:
        return false;
    }
}

// The entry's bytes, read through a descriptor opened without following a final link and
// without blocking, so a FIFO or a link planted in the cache cannot stall or redirect us.
QByteArray readEntry(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    QByteArray bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= kLargestEntry) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        bytes.truncate(done);
    }
    ::close(fd);
    return bytes;
}

bool recordsOriginal(const QImage& entry, const Original& original)
{
    if (entry.text(QStringLiteral("Thumb::URI")) != QLatin1String(original.uri))
        return false;
    bool ok = false;
    const qint64 mtime = entry.text(QStringLiteral("Thumb::MTime")).toLongLong(&ok);
    if (!ok || mtime != original.mtime)
        return false;
    // Thumb::Size is optional; where it was written it also catches a rewrite within the
    // same second, which the whole-second modification time cannot see.
    const QString size = entry.text(QStringLiteral("Thumb::Size"));
    if (!size.isEmpty() && original.size >= 0) {
        const qint64 recorded = size.toLongLong(&ok);
        if (ok && recorded != original.size)
            return false;
    }
    return true;
}

QImage readValidEntry(const QByteArray& path, const Original& original)
{
    QByteArray bytes = readEntry(path);
    if (bytes.isEmpty())
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    // Text chunks written before the pixel data are known from the header: a stale entry
    // is then refused without decoding it.
    const QString headerUri = reader.text(QStringLiteral("Thumb::URI"));
    if (!headerUri.isEmpty() && headerUri != QLatin1String(original.uri))
        return {};
    QImage entry = reader.read();
    if (entry.isNull() || !recordsOriginal(entry, original))
        return {};
    return entry;
}

// Creates the missing folders of path with mode 0700, as the standard asks of the cache.
bool makeFolders(const QByteArray& path)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolders(path.left(slash)))
        return false;
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

bool writeEntry(const QByteArray& folder, const QByteArray& name, const Original& original, QImage picture)
{
    if (folder.isEmpty() || !makeFolders(folder))
        return false;
    picture.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(original.uri));
    picture.setText(QStringLiteral("Thumb::MTime"), QString::number(original.mtime));
    if (original.size >= 0)
        picture.setText(QStringLiteral("Thumb::Size"), QString::number(original.size));
    if (!original.mimeType.isEmpty())
        picture.setText(QStringLiteral("Thumb::Mime"), original.mimeType);
    picture.setText(QStringLiteral("Software"), QStringLiteral("Ordinello " ORDINELLO_THUMBNAILS_VERSION));

    // mkstemp makes the file with mode 0600 in the entry's own folder, so the rename below
    // is atomic: readers see the old entry or the whole new one, never part of one. The
    // rename may replace an older entry of the same original; that is the point of it.
    QByteArray temporary = folder + "/.ordinello-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool written = false;
    {
        QFile file;
        if (file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            QImageWriter writer(&file, "png");
            written = writer.write(picture);
            file.close();
        }
    }
    written = (::close(fd) == 0) && written;
    const QByteArray target = folder + '/' + name;
    if (!written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

QByteArray failureFolder()
{
    const QByteArray root = cacheRoot();
    return root.isEmpty() ? QByteArray() : root + "/fail/ordinello-" ORDINELLO_THUMBNAILS_VERSION;
}

} // namespace

std::span<const CacheFlavor> cacheFlavors()
{
    return kFlavors;
}

const CacheFlavor& flavorFor(int pixels)
{
    for (const CacheFlavor& flavor : kFlavors) {
        if (pixels <= flavor.pixels)
            return flavor;
    }
    return kFlavors.back();
}

QByteArray cacheRoot()
{
    // XDG base directory rules: a relative value is ignored.
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (!home.startsWith('/'))
            return {};
        base = home + "/.cache";
    }
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    return base + "/thumbnails";
}

bool isInsideCache(const QByteArray& absolutePath)
{
    const QByteArray root = cacheRoot();
    return !root.isEmpty() && (absolutePath == root || absolutePath.startsWith(root + '/'));
}

QByteArray canonicalUri(const QByteArray& absolutePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    uri.reserve(uri.size() + absolutePath.size() * 3);
    for (const char ch : absolutePath) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInUriPath(c)) {
            uri.append(ch);
        } else {
            uri.append('%');
            uri.append(kHex[c >> 4]);
            uri.append(kHex[c & 0xF]);
        }
    }
    return uri;
}

QByteArray cacheFileName(const QByteArray& uri)
{
    return QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
}

QImage readCached(const CacheFlavor& flavor, const Original& original)
{
    const QByteArray root = cacheRoot();
    if (root.isEmpty())
        return {};
    return readValidEntry(root + '/' + flavor.folder + '/' + cacheFileName(original.uri), original);
}

bool writeCached(const CacheFlavor& flavor, const Original& original, const QImage& picture)
{
    const QByteArray root = cacheRoot();
    if (root.isEmpty() || picture.isNull())
        return false;
    return writeEntry(root + '/' + flavor.folder, cacheFileName(original.uri), original, picture);
}

bool hasFailed(const Original& original)
{
    const QByteArray folder = failureFolder();
    return !folder.isEmpty() && !readValidEntry(folder + '/' + cacheFileName(original.uri), original).isNull();
}

void recordFailure(const Original& original)
{
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    writeEntry(failureFolder(), cacheFileName(original.uri), original, mark);
}

} // namespace Thumbnails
