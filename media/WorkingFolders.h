#pragma once
// Text and places a media-processing program needs: dates in the user's locale, integers
// with thousands grouping, a string's UTF-16 bytes, an image's bitmap form, the user's
// download folder, and the two working folders kept in the preferences (the output folder
// and the destination folder, which falls back to the download folder). No state is kept;
// failures are null results, false answers or status codes, never messages.
//
// The user's locale comes from the environment as the C library reads it (LC_ALL, then
// LC_TIME or LC_NUMERIC, then LANG; C and POSIX are ICU's root locale).

#include "platform/UTCDateTime.h"
#include "platform/FSSpecRecord.h"
#include "platform/Files.h"
#include "platform/MacErrors.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

class QIcon;

inline constexpr char kOutputDirectoryPreferenceKey[] = "OutputDirectory";
inline constexpr char kDestinationDirectoryPreferenceKey[] = "DestinationDirectory";

// Whole seconds since 1904-01-01 00:00.
using LongDateTime = std::int64_t;

// The whole seconds of the date (the fraction dropped, no time-zone shift).
// paramErr for a null argument.
OSStatus ConvertUTCDateTimeToLongDateTime(const UTCDateTime* utc, LongDateTime* longDate);

// The current date and time in the long date and long time styles, as zero-terminated
// UTF-8 in buffer. A text that does not fit in size bytes (or a failure) leaves the buffer
// as it was.
void MakeDateString(char* buffer, long size);

// The item's content modification time (its own, for a symbolic link) in the short date
// and short time styles, in the default time zone. A null QString on any failure.
QString GetFileModificationDateAsCFString(const FSRef* item);
QString GetFileModificationDateAsCFString(const QString& path);   // lossless path text

// A byte-order mark, then the string's UTF-16 code units in the machine's byte order.
QByteArray MakeUTF16Characters(const QString& text);

// The value with thousands grouped by "," in threes, whatever the locale's own grouping,
// Latin digits and the locale's minus sign. Null for a null pointer.
QString FormatNumber(const long* value);
// The same for a 64-bit count read as signed, as the classic call did: values from 2^63
// upwards show as negative numbers.
QString FormatUInt64Number(const unsigned long long* value);

// The user's download folder (xdg-user-dirs' XDG_DOWNLOAD_DIR). fnfErr when there is none.
OSStatus GetInternetDownloadFolder(FSSpec& folder);

// The image as a QImage: the first bitmap the icon holds (its first available size), else
// the icon rendered at size.
QImage BitmapImageRepFromNSImage(const QIcon& image, QSize size);

// True when the preference under key holds an alias record (bytes) that resolves to a
// folder, which goes to folder. A missing key, a value that is not bytes, or empty bytes
// answer false.
bool GetDirectory(const QString& key, FSRef& folder);
bool GetOutputDirectory(FSRef& folder);
// The destination folder, else the download folder; false when neither is there.
bool GetDestinationDirectory(FSRef& folder);
// The folders' paths (lossless text), or a null QString.
QString GetOutputDirectoryPath();
QString GetDestinationDirectoryPath();
