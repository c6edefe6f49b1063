#include "media/WorkingFolders.h"

#include "platform/AliasRecord.h"
#include "platform/IcuLocale.h"
#include "platform/NameCodec.h"
#include "platform/ProgramSettings.h"
#include "support/CInternetConfig.h"
#include "support/TypeMaps.h"

#include <QIcon>
#include <QPixmap>
#include <QSettings>
#include <QStandardPaths>

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

QString toQString(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

// Milliseconds since 1970 as ICU counts them, in the styles given; null on failure.
QString formatDate(double millisecondsSince1970, icu::DateFormat::EStyle dateStyle, icu::DateFormat::EStyle timeStyle)
{
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(dateStyle, timeStyle, LocaleForCategory("LC_TIME")));
    if (!format)
        return QString();
    icu::UnicodeString text;
    format->format(millisecondsSince1970, text);
    return toQString(text);
}

QString formatGrouped(std::int64_t value)
{
    UErrorCode status = U_ZERO_ERROR;
    // Latin digits, so "1,234,567" reads the same everywhere; the minus sign stays the locale's.
    icu::Locale locale = LocaleForCategory("LC_NUMERIC");
    locale.setKeywordValue("numbers", "latn", status);
    std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createInstance(locale, UNUM_DECIMAL, status));
    auto* decimal = dynamic_cast<icu::DecimalFormat*>(format.get());
    if (U_FAILURE(status) || !decimal)
        return QString();
    icu::DecimalFormatSymbols symbols(*decimal->getDecimalFormatSymbols());
    symbols.setSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol, icu::UnicodeString(u","));
    decimal->setDecimalFormatSymbols(symbols);
    decimal->setGroupingUsed(true);
    decimal->setGroupingSize(3);
    decimal->setSecondaryGroupingSize(3);   // not the 2 of Indian grouping
    decimal->setMinimumGroupingDigits(1);   // group 1,234 too, as Spanish would not
    icu::UnicodeString text;
    decimal->format(value, text);
    return toQString(text);
}

// Stored folders are alias records: bytes that find a folder again after it moved or was
// renamed. A record that finds something other than a folder does not count.
bool resolveFolderAlias(const QByteArray& record, FSRef& folder)
{
    FSRef found;
    if (FSResolveAlias(record, &found) != noErr || !found.isDirectory())
        return false;
    folder = found;
    return true;
}

QString folderPath(bool found, const FSRef& folder)
{
    QByteArray path;
    if (!found || FSRefMakePath(&folder, &path) != noErr)
        return QString();
    return DecodeFileName(path);
}

} // namespace

OSStatus ConvertUTCDateTimeToLongDateTime(const UTCDateTime* utc, LongDateTime* longDate)
{
    if (!utc || !longDate)
        return paramErr;
    *longDate = LongDateTime(std::uint64_t(utc->highSeconds) << 32 | utc->lowSeconds);
    return noErr;
}

void MakeDateString(char* buffer, long size)
{
    if (!buffer || size < 1)
        return;
    const QString text = formatDate(double(icu::Calendar::getNow()), icu::DateFormat::kLong, icu::DateFormat::kLong);
    const QByteArray bytes = text.toUtf8();
    if (text.isEmpty() || bytes.size() >= size)
        return;
    std::memcpy(buffer, bytes.constData(), std::size_t(bytes.size()) + 1);
}

QString GetFileModificationDateAsCFString(const FSRef* item)
{
    struct stat status;
    if (!item || item->isNull() || ::lstat(item->path.constData(), &status) != 0)
        return QString();
    const double milliseconds = double(status.st_mtim.tv_sec) * 1000.0 + double(status.st_mtim.tv_nsec) / 1e6;
    return formatDate(milliseconds, icu::DateFormat::kShort, icu::DateFormat::kShort);
}

QString GetFileModificationDateAsCFString(const QString& path)
{
    // Paths up to Linux's own limit, not a fixed classic buffer.
    FSRef item;
    if (path.isEmpty() || FSPathMakeRef(EncodeFileName(path), &item) != noErr)
        return QString();
    return GetFileModificationDateAsCFString(&item);
}

QByteArray MakeUTF16Characters(const QString& text)
{
    const char16_t mark = 0xFEFF;
    QByteArray bytes(reinterpret_cast<const char*>(&mark), sizeof mark);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * qsizetype(sizeof(char16_t)));
    return bytes;
}

QString FormatNumber(const long* value)
{
    return value ? formatGrouped(std::int64_t(*value)) : QString();
}

QString FormatUInt64Number(const unsigned long long* value)
{
    return value ? formatGrouped(static_cast<std::int64_t>(*value)) : QString();
}

OSStatus GetInternetDownloadFolder(FSSpec& folder)
{
    // The download folder the Internet preferences name (xdg-user-dirs' download folder).
    CInternetConfig config(GetOurSignature());
    QByteArray bytes;
    OSStatus status = config.Start();
    if (status == noErr)
        status = config.GetDownloadFolder(&bytes);
    config.Stop();
    if (status != noErr)
        return status;
    if (bytes.isEmpty())
        return fnfErr;
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    const qsizetype slash = bytes.lastIndexOf('/');
    if (slash < 0)
        return fnfErr;
    folder = {slash == 0 ? QByteArray("/") : bytes.left(slash), bytes.mid(slash + 1)};
    return noErr;
}

QImage BitmapImageRepFromNSImage(const QIcon& image, QSize size)
{
    const QList<QSize> sizes = image.availableSizes();
    if (!sizes.isEmpty())
        return image.pixmap(sizes.first()).toImage();
    return image.pixmap(size).toImage();
}

bool GetDirectory(const QString& key, FSRef& folder)
{
    QSettings settings = ProgramSettings();
    settings.sync();
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return false;
    const QByteArray record = value.toByteArray();
    return !record.isEmpty() && resolveFolderAlias(record, folder);
}

bool GetOutputDirectory(FSRef& folder)
{
    return GetDirectory(QString::fromLatin1(kOutputDirectoryPreferenceKey), folder);
}

bool GetDestinationDirectory(FSRef& folder)
{
    if (GetDirectory(QString::fromLatin1(kDestinationDirectoryPreferenceKey), folder))
        return true;
    FSSpec download;
    if (GetInternetDownloadFolder(download) != noErr)
        return false;
    FSRef found;
    const QByteArray path = download.parent.endsWith('/') ? download.parent + download.name
                                                          : download.parent + '/' + download.name;
    if (FSPathMakeRef(path, &found, FinalLink::Followed) != noErr || !found.isDirectory())
        return false;
    folder = found;
    return true;
}

QString GetOutputDirectoryPath()
{
    FSRef folder;
    const bool found = GetOutputDirectory(folder);
    return folderPath(found, folder);
}

QString GetDestinationDirectoryPath()
{
    FSRef folder;
    const bool found = GetDestinationDirectory(folder);
    return folderPath(found, folder);
}
