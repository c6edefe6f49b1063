#include "update/VersionFile.h"

#include <QXmlStreamReader>

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {

constexpr char kProductKey[] = "Ordinello";
constexpr char kCurrentVersionKey[] = "CurrentVersion";
constexpr char kCurrentVersionStringKey[] = "CurrentVersionString";

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// libplist's XML reader takes whatever strtoull makes of an <integer>: "2.5" becomes 2 and
// "abc" becomes 0, where a strict reader refuses the file. So every integer element of an
// XML list must hold an optional sign and decimal or 0x-prefixed hexadecimal digits, and
// the XML must be well formed; otherwise the file is no property list.
bool xmlIntegersAreWellFormed(QByteArrayView data)
{
    QXmlStreamReader xml(data.toByteArray());
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"integer") {
            const QString text = xml.readElementText().trimmed();
            qsizetype i = 0;
            if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
                ++i;
            bool hex = false;
            if (text.mid(i, 2).compare(u"0x", Qt::CaseInsensitive) == 0) {
                hex = true;
                i += 2;
            }
            if (i == text.size())
                return false;
            for (; i < text.size(); ++i) {
                const char16_t c = text[i].unicode();
                const bool digit = (c >= u'0' && c <= u'9')
                    || (hex && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')));
                if (!digit)
                    return false;
            }
        }
    }
    return !xml.hasError();
}

// The number's exact value in 32 bits, or nothing when the conversion would lose anything.
std::optional<std::int32_t> exactInt32(plist_t node)
{
    constexpr auto lowest = std::numeric_limits<std::int32_t>::min();
    constexpr auto highest = std::numeric_limits<std::int32_t>::max();
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        std::uint64_t raw = 0;
        plist_get_uint_val(node, &raw);
        // libplist 2.2 keeps negative integers as their 64-bit two's complement and marks
        // unsigned values above INT64_MAX by a wider node; a plain node of the same bits
        // compares equal only in the first case, so the value is then signed.
        PlistPtr plain(plist_new_uint(raw));
        if (!plist_compare_node_value(node, plain.get()))
            return std::nullopt;
        const auto value = static_cast<std::int64_t>(raw);
        if (value < lowest || value > highest)
            return std::nullopt;
        return std::int32_t(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        // A real counts when it is a whole number in range: 104.0 is 104, 2.5 is refused.
        if (!std::isfinite(value) || std::trunc(value) != value || value < lowest || value > highest)
            return std::nullopt;
        return std::int32_t(value);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

PublishedVersion ReadVersionFile(QByteArrayView data)
{
    PublishedVersion result;
    if (data.isEmpty() || data.size() > std::numeric_limits<std::uint32_t>::max())
        return result;
    const auto length = std::uint32_t(data.size());
    const bool binary = plist_is_binary(data.data(), length);
    if (!binary && !xmlIntegersAreWellFormed(data))
        return result;

    plist_t parsed = nullptr;
    if (binary)
        plist_from_bin(data.data(), length, &parsed);
    else
        plist_from_xml(data.data(), length, &parsed);
    const PlistPtr root(parsed);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return result;

    plist_t product = plist_dict_get_item(root.get(), kProductKey);
    if (!product || plist_get_node_type(product) != PLIST_DICT)
        return result;

    plist_t number = plist_dict_get_item(product, kCurrentVersionKey);
    if (!number)
        return result;
    result.number = exactInt32(number);
    if (!result.number)
        return result;

    plist_t string = plist_dict_get_item(product, kCurrentVersionStringKey);
    if (!string || plist_get_node_type(string) != PLIST_STRING)
        return result;
    char* text = nullptr;
    plist_get_string_val(string, &text);
    if (!text)
        return result;
    result.string = QString::fromUtf8(text);
    std::free(text);
    if (result.string.isNull())
        result.string = QStringLiteral("");   // an empty string is still a string, not "none"
    return result;
}

std::int32_t VersionNumberFromString(const QString& version)
{
    // The classic reading converted the text to Mac OS Roman in a 255-byte buffer first.
    // Only ASCII white space, signs and digits decide the number, and a character that
    // encoding lacks can only stop the digits, so the text is read as it is.
    const qsizetype n = version.size();
    qsizetype i = 0;
    auto at = [&](qsizetype k) { return version[k].unicode(); };
    // The dots are left out before the number is read, so they are stepped over anywhere.
    auto skipDots = [&] {
        while (i < n && at(i) == u'.')
            ++i;
    };
    auto isSpace = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };

    skipDots();
    while (i < n && isSpace(at(i))) {
        ++i;
        skipDots();
    }
    bool negative = false;
    if (i < n && (at(i) == u'+' || at(i) == u'-')) {
        negative = at(i) == u'-';
        ++i;
        skipDots();
    }
    // Saturating: a version text with many parts ("2024.12.31.7") must not wrap around into
    // a small or negative number.
    constexpr std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t value = 0;
    while (i < n && at(i) >= u'0' && at(i) <= u'9') {
        value = std::min<std::int64_t>(value * 10 + (at(i) - u'0'), limit);
        ++i;
        skipDots();
    }
    if (negative)
        value = -value;
    return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}
