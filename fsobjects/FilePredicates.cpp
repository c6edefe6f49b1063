#include "fsobjects/FilePredicates.h"

#include "platform/Collation.h"
#include "platform/ItemInfo.h"

#include <unicode/udat.h>

#include <algorithm>
#include <functional>
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
// Since ICU 72 en_US puts a narrow no-break space (U+202F) before AM/PM, and other locales
// use U+00A0 between fields; a strict parse wants exactly that character, so a date typed
// with an ordinary blank would not read. The pattern's no-break spaces become blanks: a
// blank in the pattern matches any run of white space, the no-break spaces included, so
// typed text and ICU's own both read.
DateFormat openDateFormat()
{
    UErrorCode status = U_ZERO_ERROR;
    DateFormat format(udat_open(UDAT_SHORT, UDAT_SHORT, nullptr, nullptr, 0, nullptr, 0, &status));
    if (U_FAILURE(status))
        return nullptr;
    udat_setLenient(format.get(), false);
    UChar pattern[256];
    const int32_t length = udat_toPattern(format.get(), false, pattern, 256, &status);
    if (U_SUCCESS(status) && length < 256) {
        for (int32_t i = 0; i < length; ++i) {
            if (pattern[i] == 0x00A0 || pattern[i] == 0x202F)
                pattern[i] = 0x0020;
        }
        udat_applyPattern(format.get(), false, pattern, length);
    }
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

// One sortable entry per element: its key, when it has one, and where it came from.
// Entries are sorted themselves (keys move, they are not looked up through the
// positions), which keeps the comparisons on data that sits together.
template <class Key>
struct Entry {
    Key key{};
    bool hasKey = false;
    qsizetype index = 0;
};

// A missing key is equal to everything (see the header); the sort is stable.
template <class Key, class Less>
void sortEntries(QVariantList& array, std::vector<Entry<Key>>& entries, Less less)
{
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry<Key>& x, const Entry<Key>& y) {
        return x.hasKey && y.hasKey && less(x.key, y.key);
    });
    QVariantList sorted;
    sorted.reserve(array.size());
    for (const Entry<Key>& entry : entries)
        sorted.append(std::move(array[entry.index]));
    array = std::move(sorted);
}

// A collation key with its first eight bytes as a number: most comparisons end there.
struct TextKey {
    quint64 head = 0;
    QByteArray bytes;
};

TextKey textKey(QStringView text)
{
    TextKey key{0, FinderOrder::sortKey(text)};
    for (qsizetype b = 0; b < 8; ++b)
        key.head = key.head << 8 | (b < key.bytes.size() ? quint8(key.bytes[b]) : 0);
    return key;
}

bool textKeyLess(const TextKey& x, const TextKey& y)
{
    if (x.head != y.head)
        return x.head < y.head;
    return x.bytes < y.bytes;
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
    return !item.isNull() && FSIsFSRefValid(&item) && HasPackageExtension(item.nameBytes());
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
    std::vector<Entry<TextKey>> entries(size_t(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        Entry<TextKey>& entry = entries[size_t(i)];
        entry.index = i;
        if (const std::optional<QString> value = valueOf(array[i], key)) {
            entry.key = textKey(*value);
            entry.hasKey = true;
        }
    }
    sortEntries(array, entries, textKeyLess);
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
    std::vector<Entry<UDate>> entries(size_t(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        Entry<UDate>& entry = entries[size_t(i)];
        entry.index = i;
        if (const std::optional<QString> value = valueOf(array[i], key)) {
            if (const std::optional<UDate> date = parseDate(format.get(), *value)) {
                entry.key = *date;
                entry.hasKey = true;
            }
        }
    }
    sortEntries(array, entries, std::less<UDate>());
}
