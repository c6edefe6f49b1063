#include "platform/Collation.h"
#include "platform/NameCodec.h"
#include "platform/Parallel.h"

#include <QtGlobal>

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <numeric>
#include <vector>

namespace {

struct CollatorDeleter {
    void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* openCollator()
{
    const QByteArray locale = FinderOrder::collationLocaleName();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(locale.constData(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
    }
    if (!collator)
        qFatal("ICU could not open a collator");
    status = U_ZERO_ERROR;
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_OFF, &status);
    return collator;
}

// One collator for the process, made on first use. ICU collators are safe for concurrent
// const use (compare, sort keys).
const UCollator* collator()
{
    static std::unique_ptr<UCollator, CollatorDeleter> instance(openCollator());
    return instance.get();
}

const UChar* units(QStringView s)
{
    return reinterpret_cast<const UChar*>(s.utf16());
}

int32_t length(QStringView s)
{
    return int32_t(std::min<qsizetype>(s.size(), INT32_MAX));
}


// The positions 0..n-1 in the order of the texts' collation keys, ties broken by
// tieBefore(a, b). text(i, buffer) gives the text of position i (it may decode into the
// buffer, one per thread). One key per text, written into per-range arenas (no
// allocation per key), made in parallel: key generation is most of a large sort's work.
// Then one sort of small entries comparing key bytes.
template <typename Text, typename TieBefore>
std::vector<qsizetype> orderByKeys(qsizetype n, const Text& text, const TieBefore& tieBefore)
{
    std::vector<qsizetype> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), qsizetype(0));
    if (n < 2)
        return order;
    struct Entry {
        uint64_t head;        // the key's first 8 bytes, big-endian: most comparisons end here
        const char* key;
        int32_t keyLength;
        int32_t index;
    };
    std::vector<Entry> entries(static_cast<size_t>(n));
    std::vector<std::vector<char>> arenas;
    std::mutex arenasMutex;
    ParallelFor(n, [&](qsizetype begin, qsizetype end) {
        std::vector<char> arena;
        arena.reserve(size_t(end - begin) * 48);
        std::vector<std::pair<size_t, int32_t>> spans(size_t(end - begin));
        uint8_t buffer[512];
        QString decoded;
        for (qsizetype i = begin; i < end; ++i) {
            const QStringView t = text(i, decoded);
            int32_t needed = ucol_getSortKey(collator(), units(t), length(t), buffer, int32_t(sizeof buffer));
            const size_t offset = arena.size();
            if (needed <= int32_t(sizeof buffer)) {
                arena.insert(arena.end(), buffer, buffer + std::max(needed, 0));
            } else {
                arena.resize(offset + size_t(needed));
                ucol_getSortKey(collator(), units(t), length(t), reinterpret_cast<uint8_t*>(arena.data() + offset),
                                needed);
            }
            spans[size_t(i - begin)] = {offset, std::max(needed, 0)};
        }
        std::lock_guard lock(arenasMutex);
        arenas.push_back(std::move(arena));
        const char* base = arenas.back().data();
        for (qsizetype i = begin; i < end; ++i) {
            const auto& [offset, keyLength] = spans[size_t(i - begin)];
            uint64_t head = 0;
            for (int32_t b = 0; b < 8; ++b)
                head = (head << 8) | (b < keyLength ? uint8_t(base[offset + size_t(b)]) : 0);
            entries[size_t(i)] = {head, base + offset, keyLength, int32_t(i)};
        }
    });
    const auto before = [&](const Entry& x, const Entry& y) {
        if (x.head != y.head)
            return x.head < y.head;
        // Keys end in a zero byte that occurs nowhere else, so memcmp over the shorter
        // length, terminator included, decides.
        const int c = std::memcmp(x.key, y.key, size_t(std::min(x.keyLength, y.keyLength)));
        if (c != 0)
            return c < 0;
        if (x.keyLength != y.keyLength)
            return x.keyLength < y.keyLength;
        return tieBefore(x.index, y.index);
    };
    // Two halves sorted side by side, then merged.
    const auto middle = entries.begin() + std::ptrdiff_t(entries.size() / 2);
    ParallelFor(2, [&](qsizetype begin, qsizetype end) {
        for (qsizetype half = begin; half < end; ++half) {
            if (half == 0)
                std::sort(entries.begin(), middle, before);
            else
                std::sort(middle, entries.end(), before);
        }
    }, n >= 8192 ? 1 : 2);
    std::inplace_merge(entries.begin(), middle, entries.end(), before);
    for (size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].index;
    return order;
}

} // namespace

namespace FinderOrder {

QByteArray collationLocaleName()
{
    QByteArray name;
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            name = value;
            break;
        }
    }
    // it_IT.UTF-8@euro -> it_IT
    const qsizetype cut = name.indexOf('.') >= 0 ? name.indexOf('.') : name.indexOf('@');
    if (cut >= 0)
        name.truncate(cut);
    if (name.isEmpty() || name == "C" || name == "POSIX")
        return QByteArray("root");
    return name;
}

int compare(QStringView a, QStringView b)
{
    const UCollationResult r = ucol_strcoll(collator(), units(a), length(a), units(b), length(b));
    if (r != UCOL_EQUAL)
        return r == UCOL_LESS ? -1 : 1;
    const QByteArray ba = EncodeFileName(a);
    const QByteArray bb = EncodeFileName(b);
    const int c = std::memcmp(ba.constData(), bb.constData(), size_t(std::min(ba.size(), bb.size())));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return ba.size() < bb.size() ? -1 : (ba.size() > bb.size() ? 1 : 0);
}

int collate(QStringView a, QStringView b)
{
    const UCollationResult r = ucol_strcoll(collator(), units(a), length(a), units(b), length(b));
    return r == UCOL_EQUAL ? 0 : (r == UCOL_LESS ? -1 : 1);
}

QByteArray sortKey(QStringView text)
{
    // Most names need well under 256 bytes of key; a second call gets the exact size.
    uint8_t buffer[256];
    const int32_t needed = ucol_getSortKey(collator(), units(text), length(text), buffer, int32_t(sizeof buffer));
    if (needed <= 0)
        return {};
    if (needed <= int32_t(sizeof buffer))
        return QByteArray(reinterpret_cast<const char*>(buffer), needed - 1);   // without the final zero
    QByteArray key(needed, Qt::Uninitialized);
    ucol_getSortKey(collator(), units(text), length(text), reinterpret_cast<uint8_t*>(key.data()), needed);
    key.chop(1);
    return key;
}

void sort(QStringList& strings)
{
    if (strings.size() < 2)
        return;
    const std::vector<qsizetype> order = sortedOrder(strings);
    QStringList sorted;
    sorted.reserve(strings.size());
    for (qsizetype index : order)
        sorted.append(std::move(strings[index]));
    strings = std::move(sorted);
}

std::vector<qsizetype> sortedOrder(const QStringList& strings)
{
    if (strings.size() < 2) {
        std::vector<qsizetype> order(static_cast<size_t>(strings.size()));
        std::iota(order.begin(), order.end(), qsizetype(0));
        return order;
    }
    // Strings that share a folder prefix (ending in a separator) sort by what follows it:
    // the shared part weighs the same in every key, and a separator is not a digit, so
    // cutting there cannot change how digit runs compare. Saves most of the key work for
    // a list of paths.
    QStringView first = strings.front();
    qsizetype common = first.size();
    for (const QString& s : std::as_const(strings)) {
        qsizetype i = 0;
        const qsizetype n = std::min(common, s.size());
        while (i < n && s[i] == first[i])
            ++i;
        common = i;
        if (common == 0)
            break;
    }
    const qsizetype cut = first.first(common).lastIndexOf(u'/') + 1;
    const QString* input = strings.constData();
    return orderByKeys(
        strings.size(), [&](qsizetype i, QString&) { return QStringView(input[i]).mid(cut); },
        [&](qsizetype a, qsizetype b) { return EncodeFileName(input[a]) < EncodeFileName(input[b]); });
}

std::vector<qsizetype> sortedOrderOfNames(qsizetype count, const std::function<QByteArrayView(qsizetype)>& name)
{
    return orderByKeys(
        count,
        [&](qsizetype i, QString& text) {
            // Most names are ASCII: widened in place into the thread's buffer.
            const QByteArrayView bytes = name(i);
            if (!std::all_of(bytes.begin(), bytes.end(), [](char c) { return c > 0; })) {
                text = DecodeFileName(bytes);
                return QStringView(text);
            }
            text.resize(bytes.size());
            char16_t* out = reinterpret_cast<char16_t*>(text.data());
            for (const char c : bytes)
                *out++ = char16_t(c);
            return QStringView(text);
        },
        [&](qsizetype a, qsizetype b) { return name(a) < name(b); });
}

} // namespace FinderOrder
