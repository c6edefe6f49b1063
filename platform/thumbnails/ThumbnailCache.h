#pragma once
// The shared thumbnail cache of the freedesktop Thumbnail Managing Standard:
// $XDG_CACHE_HOME/thumbnails/{normal,large,x-large,xx-large}/<md5 of the URI>.png, each
// PNG carrying the file's URI and modification time, so that file managers and this
// program reuse each other's pictures. All paths are bytes; every function is safe to
// call from several threads at once.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <span>

namespace Thumbnails {

struct CacheFlavor {
    const char* folder;
    int pixels;      // the longer side of a picture stored there, at most
};

// Smallest to largest.
std::span<const CacheFlavor> cacheFlavors();
// The smallest flavor whose pictures are at least `pixels` on their longer side (the
// largest one when none is).
const CacheFlavor& flavorFor(int pixels);

// $XDG_CACHE_HOME/thumbnails ($HOME/.cache/thumbnails when unset); empty without either.
QByteArray cacheRoot();
// True when the absolute path lies inside the cache: pictures of pictures are not stored.
bool isInsideCache(const QByteArray& absolutePath);

// The file: URI the standard keys entries by, escaped byte for byte as GLib escapes it,
// so the MD5 matches the one GNOME's and KDE's file managers compute.
QByteArray canonicalUri(const QByteArray& absolutePath);
// "<md5 hex>.png".
QByteArray cacheFileName(const QByteArray& uri);

// What the standard records about the original.
struct Original {
    QByteArray uri;
    qint64 mtime = 0;        // whole seconds
    qint64 size = -1;        // bytes; checked when the entry records it
    QString mimeType;        // optional
};

// The stored picture when the entry exists and belongs to this version of the original;
// null otherwise (missing, unreadable, other URI, other modification time or size).
QImage readCached(const CacheFlavor& flavor, const Original& original);
// Stores the picture atomically (temporary file in the folder, then rename), mode 0600 in
// folders of mode 0700. False when it could not be stored; nothing half-written remains.
bool writeCached(const CacheFlavor& flavor, const Original& original, const QImage& picture);

// The standard's failure records under fail/ordinello-<version>/: an original that could
// not be pictured is not tried again until it changes.
bool hasFailed(const Original& original);
void recordFailure(const Original& original);

} // namespace Thumbnails
