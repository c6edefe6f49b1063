#include "platform/PhotoDates.h"

#include "platform/Files.h"
#include "platform/Parallel.h"

#include <exiv2/exiv2.hpp>

#include <QByteArrayView>
#include <QDate>
#include <QTime>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace {

// Tags of the Exif IFD (Exif 2.31), all ASCII text.
enum ExifText { Original, Digitized, OffsetOriginal, OffsetDigitized, SubSecOriginal, SubSecDigitized, kExifTexts };
constexpr std::array<std::uint16_t, kExifTexts> kExifTags = {0x9003, 0x9004, 0x9011, 0x9012, 0x9291, 0x9292};
constexpr char kExifIfdName[] = "Exif";     // libexiv2's name for the Exif IFD ("Exif.Photo.*" keys)

// JPEG keeps Exif in its first segments (one APP1 of at most 64 KiB, usually first or after
// a JFIF APP0), and the TIFF-based raw formats put the Exif IFD near the start. When other
// segments come first and the reader runs past the bytes read, more is read once.
constexpr qsizetype kFirstRead = 64 * 1024;
constexpr qsizetype kLongestRead = 1024 * 1024;

constexpr std::int64_t kJulianDayOf1970 = 2440588;
constexpr int kMaximumOffsetSeconds = 14 * 3600;    // the farthest time zones from UTC

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // The XMP toolkit sets itself up on first use, which is not thread-safe (JPEGs with
        // an XMP packet reach it): done once here, with a lock for its namespace registry.
        static std::mutex xmpLock;
        Exiv2::XmpParser::initialize(
            [](void* lock, bool acquire) {
                acquire ? static_cast<std::mutex*>(lock)->lock() : static_cast<std::mutex*>(lock)->unlock();
            },
            &xmpLock);
    });
}

// Exif text without the NULs and blanks that pad it.
QByteArrayView trimmed(QByteArrayView text)
{
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text = text.first(nul);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    return text;
}

int digits(QByteArrayView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

bool matches(QByteArrayView text, const char* pattern)
{
    if (text.size() != qsizetype(std::strlen(pattern)))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool ok = pattern[i] == '9' ? (text[i] >= '0' && text[i] <= '9') : text[i] == pattern[i];
        if (!ok)
            return false;
    }
    return true;
}

// "YYYY:MM:DD HH:MM:SS", the camera's clock. Cameras without a set clock write zeros or
// blanks: no date then.
bool parseDateTime(QByteArrayView text, QDate* date, QTime* time)
{
    text = trimmed(text);
    if (!matches(text, "9999:99:99 99:99:99"))
        return false;
    *date = QDate(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    *time = QTime(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
    return date->isValid() && time->isValid();
}

// "+HH:MM" or "-HH:MM" ahead of UTC.
std::optional<int> parseOffset(QByteArrayView text)
{
    text = trimmed(text);
    if (!matches(text.isEmpty() ? text : text.sliced(1), "99:99") || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    const int minutes = digits(text, 1, 2) * 60 + digits(text, 4, 2);
    if (digits(text, 4, 2) >= 60 || minutes * 60 > kMaximumOffsetSeconds)
        return std::nullopt;
    return text[0] == '-' ? -minutes * 60 : minutes * 60;
}

// SubSecTime: the decimal digits of the fraction of a second ("25" is 0.25 s).
std::uint32_t parseFraction(QByteArrayView text)
{
    text = trimmed(text);
    std::uint32_t nanoseconds = 0;
    std::uint32_t scale = 100000000;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        nanoseconds += std::uint32_t(c - '0') * scale;
        scale /= 10;
    }
    return nanoseconds;
}

std::optional<PhotoDate> dateFrom(const std::array<QByteArray, kExifTexts>& texts, ExifText which, ExifText offsetTag,
                                  ExifText fractionTag, PhotoDateSource source)
{
    QDate date;
    QTime time;
    if (!parseDateTime(texts[which], &date, &time))
        return std::nullopt;
    PhotoDate result;
    result.source = source;
    result.nanoseconds = parseFraction(texts[fractionTag]);
    if (const std::optional<int> offset = parseOffset(texts[offsetTag])) {
        result.hasUtcOffset = true;
        result.utcOffsetSeconds = *offset;
        result.seconds = (date.toJulianDay() - kJulianDayOf1970) * 86400 + time.msecsSinceStartOfDay() / 1000 - *offset;
    } else {
        result.seconds = QDateTime(date, time).toSecsSinceEpoch();
    }
    return result;
}

// The capture date in the Exif block of an image's first bytes, if any. *stopped is set
// when the metadata reader stopped before the end of the metadata (damage, or too few bytes).
std::optional<PhotoDate> exifDate(const QByteArray& bytes, bool* stopped)
{
    *stopped = false;
    const auto* data = reinterpret_cast<const Exiv2::byte*>(bytes.constData());
    std::array<QByteArray, kExifTexts> texts;
    try {
        // Recognising the type first keeps files that are no image from the image readers.
        if (Exiv2::ImageFactory::getType(data, long(bytes.size())) == Exiv2::ImageType::none)
            return std::nullopt;
        const auto image = Exiv2::ImageFactory::open(data, long(bytes.size()));
        try {
            image->readMetadata();
        } catch (const std::exception&) {
            // Damage after the Exif block (or bytes not read) stops the reader; what it
            // decoded before that is sound and still counts.
            *stopped = true;
        }
        for (const Exiv2::Exifdatum& datum : image->exifData()) {
            const auto tag = std::find(kExifTags.begin(), kExifTags.end(), datum.tag());
            const long size = datum.size();
            if (tag == kExifTags.end() || size <= 0 || size > 64 || std::strcmp(datum.ifdName(), kExifIfdName) != 0)
                continue;
            QByteArray& text = texts[size_t(tag - kExifTags.begin())];
            text.resize(size);
            datum.copy(reinterpret_cast<Exiv2::byte*>(text.data()), Exiv2::littleEndian);
        }
    } catch (const std::exception&) {
        // libexiv2 throws Exiv2::Error on damaged metadata, and std::bad_alloc on sizes
        // that damage made absurd: no date from this file.
        return std::nullopt;
    }
    if (std::optional<PhotoDate> taken =
            dateFrom(texts, Original, OffsetOriginal, SubSecOriginal, PhotoDateSource::DateTimeOriginal))
        return taken;
    return dateFrom(texts, Digitized, OffsetDigitized, SubSecDigitized, PhotoDateSource::DateTimeDigitized);
}

PhotoDate modificationTime(const struct stat& st)
{
    PhotoDate result;
    result.source = PhotoDateSource::ModificationTime;
    result.seconds = st.st_mtim.tv_sec;
    result.nanoseconds = std::uint32_t(st.st_mtim.tv_nsec);
    return result;
}

PhotoDate readPhotoDate(const QByteArray& path)
{
    // A NUL would cut the path short and name another item.
    if (path.isEmpty() || path.contains('\0'))
        return {};
    struct stat st;
    if (::fstatat(AT_FDCWD, path.constData(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
        return {};
    PhotoDate result = modificationTime(st);
    if (!S_ISREG(st.st_mode))
        return result;
    // Another object may have taken the name since: OpenRegularFile refuses anything but a
    // regular file, and the date read is then the opened file's own.
    const FileDescriptor fd = OpenRegularFile(AT_FDCWD, path.constData(), O_RDONLY);
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return result;
    result = modificationTime(st);
    // Read, not mapped: a mapping of a file another program truncates meanwhile kills the
    // process with SIGBUS.
    QByteArray head = ReadAtMost(fd.get(), qsizetype(std::min<off_t>(st.st_size, kFirstRead)));
    bool stopped = false;
    std::optional<PhotoDate> taken = exifDate(head, &stopped);
    if (!taken && stopped && head.size() == kFirstRead) {
        head += ReadAtMost(fd.get(), qsizetype(std::min<off_t>(st.st_size, kLongestRead)) - head.size());
        taken = exifDate(head, &stopped);
    }
    return taken ? *taken : result;
}

} // namespace

QDateTime PhotoDate::dateTime() const
{
    if (!isValid())
        return QDateTime();
    const qint64 milliseconds = seconds * 1000 + nanoseconds / 1000000;
    if (hasUtcOffset)
        return QDateTime::fromMSecsSinceEpoch(milliseconds, QTimeZone(utcOffsetSeconds));
    return QDateTime::fromMSecsSinceEpoch(milliseconds);
}

PhotoDate ReadPhotoDate(const QByteArray& path)
{
    prepareExiv2();
    return readPhotoDate(path);
}

QList<PhotoDate> ReadPhotoDates(const QList<QByteArray>& paths, const PhotoDateReading& reading)
{
    prepareExiv2();
    QList<PhotoDate> dates(paths.size());
    PhotoDate* out = dates.data();
    std::mutex progressLock;
    qsizetype done = 0;
    // A photo costs tens of microseconds, a thread about as much to start: a few per thread
    // are enough to share the work.
    ParallelFor(
        paths.size(),
        [&](qsizetype begin, qsizetype end) {
            for (qsizetype i = begin; i < end; ++i) {
                if (reading.cancel && reading.cancel->load(std::memory_order_relaxed))
                    return;
                out[i] = readPhotoDate(paths[i]);
                if (reading.progress) {
                    const std::lock_guard lock(progressLock);
                    reading.progress(++done, paths.size());
                }
            }
        },
        16);
    return dates;
}

QList<PhotoDate> ReadModificationTimes(const QList<QByteArray>& paths, const PhotoDateReading& reading)
{
    QList<PhotoDate> dates(paths.size());
    PhotoDate* out = dates.data();
    std::mutex progressLock;
    qsizetype done = 0;
    // A statx is a few microseconds: only large folders are worth sharing out.
    ParallelFor(paths.size(), [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            if (reading.cancel && reading.cancel->load(std::memory_order_relaxed))
                return;
            struct statx st;
            const QByteArray& path = paths[i];
            if (!path.isEmpty() && !path.contains('\0')
                && ::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MTIME, &st) == 0
                && (st.stx_mask & STATX_MTIME)) {
                out[i].source = PhotoDateSource::ModificationTime;
                out[i].seconds = st.stx_mtime.tv_sec;
                out[i].nanoseconds = st.stx_mtime.tv_nsec;
            }
            if (reading.progress) {
                const std::lock_guard lock(progressLock);
                reading.progress(++done, paths.size());
            }
        }
    });
    return dates;
}
