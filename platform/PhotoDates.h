#pragma once
// When a photo was taken, for arranging items by it: the Exif DateTimeOriginal, else
// DateTimeDigitized, else the item's modification time, read with libexiv2.
//
// Only regular files are opened, without following a final link and without waiting on a
// FIFO; libexiv2 is handed the bytes read from that open file, never a path. Folders,
// links (their own time: a link is an item of its own), FIFOs, devices and files that are
// not images give their modification time. Damaged metadata gives the next source, never
// a crash. At most the first mebibyte of a file is read (mostly 64 KiB), and nothing of it
// is kept.
//
// libexiv2's own warnings are silenced for the whole process on first use: a folder of
// damaged photos would otherwise fill standard error.

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <atomic>
#include <cstdint>
#include <functional>

enum class PhotoDateSource : std::uint8_t {
    None,                   // nothing read: the item is gone, or reading was cancelled first
    DateTimeOriginal,       // Exif: when the picture was taken
    DateTimeDigitized,      // Exif: when it was stored (scanned, or saved by the camera)
    ModificationTime,       // the item's own content modification time
};

struct PhotoDate {
    // The moment, as seconds since 1970-01-01 00:00 UTC and a fraction (Exif SubSecTime
    // digits, or the file system's nanoseconds). Exif keeps the camera's clock time; without
    // an OffsetTime tag that time is taken as this machine's local time, as file managers
    // show it, so it orders with modification times.
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    // Ahead of UTC, from OffsetTimeOriginal/OffsetTimeDigitized; only when hasUtcOffset.
    std::int32_t utcOffsetSeconds = 0;
    bool hasUtcOffset = false;
    PhotoDateSource source = PhotoDateSource::None;

    bool isValid() const { return source != PhotoDateSource::None; }
    // For showing: the camera's own clock time and offset where the photo records its
    // offset, else local time. Invalid when nothing was read.
    QDateTime dateTime() const;
};

struct PhotoDateReading {
    // Called from the reading threads, one call at a time, with done rising by one per item.
    std::function<void(qsizetype done, qsizetype total)> progress;
    // Checked before each item: once set, the remaining items stay unread (source None).
    const std::atomic<bool>* cancel = nullptr;
};

// The dates of the items at the given paths (bytes, as on disk), in the same order, read
// in parallel over the machine's cores. Safe to call from any thread; blocks until done.
QList<PhotoDate> ReadPhotoDates(const QList<QByteArray>& paths, const PhotoDateReading& reading = {});
PhotoDate ReadPhotoDate(const QByteArray& path);

// The items' own content modification times (statx; a final link is not followed), in the
// same order, read in parallel as ReadPhotoDates reads; source ModificationTime, or None
// for an item that is gone.
QList<PhotoDate> ReadModificationTimes(const QList<QByteArray>& paths, const PhotoDateReading& reading = {});
