#include "fsobjects/FilePredicates.h"

#include "platform/Collation.h"
#include "platform/ItemInfo.h"

#include <unicode/udat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

// The two classic requests (basic flags, all flags) give the same answer on Linux.
bool hasFlags(const FSRef* item, std::uint32_t wanted, std::uint32_t unwanted = 0)
{
    std::uint32_t flags = 0;
    if (!item || ItemInfoFlags(*item, &flags) != noErr)
        return false;
    return (flags & wanted) == wanted && !(flags & unwanted);
}

// The compared value: the element itself, or its value under key; null when it is not a
// string (or the element is not a map, or lacks the key).
std::optional<QString> valueOf(const QVariant& element, const QString& key)
{
    const QVariant value = key.isNull() ? element : element.toMap().value(key);
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

struct FormatDeleter {
    void operator()(UDateFormat* f) const { udat_close(f); }
};
using DateFormat = std::unique_ptr<UDateFormat, FormatDeleter>;

// Short date and short time of the user's locale (ICU's default, from the environment).
DateFormat openDateFormat()
{
    UErrorCode status = U_ZERO_ERROR;
    DateFormat format(udat_open(UDAT_SHORT, UDAT_SHORT, nullptr, nullptr, 0, nullptr, 0, &status));
    if (U_FAILURE(status))
        return nullptr;
    udat_setLenient(format.get(), false);
    return format;
}

// The whole text as a date, or nothing when any of it does not parse.
std::optional<UDate> parseDate(const UDateFormat* format, const QString& text)
{
    UErrorCode status = U_ZERO_ERROR;
    int32_t position = 0;
    const int32_t length = int32_t(std::min<qsizetype>(text.size(), INT32_MAX));
    const UDate date = udat_parse(format, reinterpret_cast<const UChar*>(text.utf16()), length, &position, &status);
    if (U_FAILURE(status) || position != length)
        return std::nullopt;
    return date;
}

// Sorts array by keys made once per element; a missing key is equal to everything.
template <class Key>
void sortByKeys(QVariantList& array, std::vector<std::optional<Key>>& keys)
{
    std::vector<qsizetype> order(size_t(array.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qsizetype(i);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype x, qsizetype y) {
        const auto& kx = keys[size_t(x)];
        const auto& ky = keys[size_t(y)];
        return kx && ky && *kx < *ky;
    });
    QVariantList sorted;
    sorted.reserve(array.size());
    for (qsizetype index : order)
        sorted.append(std::move(array[index]));
    array = std::move(sorted);
}

} // namespace

bool ItemIsPlainFile(const FSRef* item)
{
    return hasFlags(item, kLSItemInfoIsPlainFile);
}

bool ItemIsPlainFolder(const FSRef* item)
{
    return hasFlags(item, kLSItemInfoIsContainer, kLSItemInfoIsPackage);
}

bool ItemIsContainer(const FSRef& item)
{
    return hasFlags(&item, kLSItemInfoIsContainer);
}

bool ItemIsApplication(const FSRef& item)
{
    return hasFlags(&item, kLSItemInfoIsApplication);
}

bool ItemIsABundleByLaunchServices(const FSRef& item)
{
    return hasFlags(&item, kLSItemInfoIsPackage) || hasFlags(&item, kLSItemInfoIsApplication);
}

bool ItemIsABundleByExtension(const FSRef& item)
{
    if (item.isNull() || !FSIsFSRefValid(&item))
        return false;
    const QByteArrayView name = item.nameBytes();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0)
        return false;
    const QByteArray extension = name.sliced(dot + 1).toByteArray().toLower();
    for (const char* bundle : {"app", "bundle", "framework", "plugin", "kext"}) {
        if (extension == bundle)
            return true;
    }
    return false;
}

bool ItemIsABundle(const FSRef& item)
{
    return ItemIsABundleByLaunchServices(item) || ItemIsABundleByExtension(item);
}

bool IsVisible(const FSRef& item)
{
    if (item.isNull() || !FSIsFSRefValid(&item))
        return true;
    FinderInfo info;
    if (FSGetFinderInfo(item, &info) != noErr)
        return true;
    return !(info.finderFlags() & kIsInvisible);
}

int MyCompareByKey(const QVariant& a, const QVariant& b, const QString& key)
{
    const std::optional<QString> x = valueOf(a, key);
    const std::optional<QString> y = valueOf(b, key);
    if (!x || !y)
        return 0;
    return FinderOrder::collate(*x, *y);
}

void SortArrayOnKey(QVariantList& array, const QString& key)
{
    if (array.size() < 2)
        return;
    // Sort keys order exactly as the collator compares: one key per element instead of
    // two collations per comparison.
    std::vector<std::optional<QByteArray>> keys(size_t(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (const std::optional<QString> value = valueOf(array[i], key))
            keys[size_t(i)] = FinderOrder::sortKey(*value);
    }
    sortByKeys(array, keys);
}

int MyNumericallyAsDateCompareByKey(const QVariant& a, const QVariant& b, const QString& key)
{
    const std::optional<QString> x = valueOf(a, key);
    const std::optional<QString> y = valueOf(b, key);
    if (!x || !y)
        return 0;
    const DateFormat format = openDateFormat();
    if (!format)
        return 0;
    const std::optional<UDate> dx = parseDate(format.get(), *x);
    const std::optional<UDate> dy = parseDate(format.get(), *y);
    if (!dx || !dy)
        return 0;
    return *dx < *dy ? -1 : (*dx > *dy ? 1 : 0);
}

void SortArrayNumericallyAsDateOnKey(QVariantList& array, const QString& key)
{
    if (array.size() < 2)
        return;
    const DateFormat format = openDateFormat();
    if (!format)
        return;
    std::vector<std::optional<UDate>> dates(size_t(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (const std::optional<QString> value = valueOf(array[i], key))
            dates[size_t(i)] = parseDate(format.get(), *value);
    }
    sortByKeys(array, dates);
}
