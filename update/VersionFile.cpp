#include "update/VersionFile.h"

#include <QXmlStreamReader>

#include <plist/plist.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr char kProductKey[] = "Ordinello";
constexpr char kCurrentVersionKey[] = "CurrentVersion";
constexpr char kCurrentVersionStringKey[] = "CurrentVersionString";
constexpr char kCurrentVersionSha256Key[] = "CurrentVersionSHA256";

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// libplist reads nested containers recursively, and a binary list may point one object at
// another many times over, so a list of a few hundred kilobytes can exhaust the stack or
// take minutes. Before libplist sees a list, its shape is checked here without recursion.
constexpr int kMaximumDepth = 64;
constexpr std::uint64_t kMaximumObjects = 100'000;   // objects in the file, and visits of them
constexpr std::uint64_t kMaximumBytes = 2 << 20;       // of strings and data, counted at each visit

// libplist's XML reader takes whatever strtoull makes of an <integer>: "2.5" becomes 2 and
// "abc" becomes 0, where a strict reader refuses the file. So every integer element of an
// XML list must hold an optional sign and decimal or 0x-prefixed hexadecimal digits, and
// the XML must be well formed, nested no deeper than kMaximumDepth and of no more than
// kMaximumObjects elements; otherwise the file is no property list.
bool xmlIsAcceptable(QByteArrayView data)
{
    QXmlStreamReader xml(data.toByteArray());
    int depth = 0;
    std::uint64_t elements = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement())
            --depth;
        if (!xml.isStartElement())
            continue;
        // The <plist> element and a leaf inside the deepest container add two levels.
        if (++depth > kMaximumDepth + 2 || ++elements > kMaximumObjects)
            return false;
        if (xml.name() == u"integer") {
            const QString text = xml.readElementText().trimmed();
            --depth;   // readElementText() consumed the end element
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

// A binary list's shape: a header, objects, a table of their offsets and a 32-byte trailer
// naming the sizes of offsets and references, the object count, the top object and where the
// table starts. Accepted only when every offset and every reference reached from the top
// lies inside the file, no container is nested deeper than kMaximumDepth, the walk visits no
// more than kMaximumObjects objects (a list whose arrays each hold the next one twice would
// otherwise be read 2^depth times), the strings and data so visited come to no more than
// kMaximumBytes, and no string holds a NUL character, which libplist
// would cut the string at or trip over.
class BinaryShape
{
public:
    explicit BinaryShape(QByteArrayView data)
        : m_data(reinterpret_cast<const unsigned char*>(data.data()))
        , m_size(std::uint64_t(data.size()))
    {
    }

    bool acceptable()
    {
        constexpr std::uint64_t header = 8, trailer = 32;
        if (m_size < header + trailer)
            return false;
        const std::uint64_t t = m_size - trailer;
        m_offsetSize = m_data[t + 6];
        m_refSize = m_data[t + 7];
        const std::uint64_t count = be(t + 8, 8);
        const std::uint64_t top = be(t + 16, 8);
        m_tableStart = be(t + 24, 8);
        auto validSize = [](unsigned s) { return s == 1 || s == 2 || s == 4 || s == 8; };
        if (!validSize(m_offsetSize) || !validSize(m_refSize) || count == 0 || count > kMaximumObjects
            || top >= count || m_tableStart < header || m_tableStart > t
            || count * m_offsetSize > t - m_tableStart)
            return false;
        m_count = count;

        struct Frame {
            std::uint64_t object;
            int depth;
        };
        // Every reference followed counts as a visit, so the walk is bounded by
        // kMaximumObjects steps whatever the containers hold.
        std::vector<Frame> pending{{top, 0}};
        std::uint64_t visits = 1;
        std::uint64_t bytes = 0;
        while (!pending.empty()) {
            const Frame frame = pending.back();
            pending.pop_back();
            if (frame.depth > kMaximumDepth)
                return false;
            std::uint64_t offset = be(m_tableStart + frame.object * m_offsetSize, m_offsetSize);
            if (offset < header || offset >= m_tableStart)
                return false;
            const unsigned marker = m_data[offset];
            const unsigned kind = marker >> 4;
            std::uint64_t length = 0;
            switch (kind) {
            case 0x4:   // data
            case 0x5:   // ASCII string
            case 0x6:   // UTF-16 string
            case 0xA:   // array
            case 0xC:   // set
            case 0xD:   // dictionary
                if (!readLength(offset, marker, &length))
                    return false;
                break;
            default:
                continue;   // a number, date, data or the like: libplist checks its bounds itself
            }
            if (kind == 0x4 || kind == 0x5 || kind == 0x6) {
                const std::uint64_t unit = kind == 0x6 ? 2 : 1;
                if (length > (m_tableStart - offset) / unit)
                    return false;
                // libplist makes a copy of an object for each reference to it: one large
                // string referred to many times would take gigabytes.
                bytes += length * unit;
                if (bytes > kMaximumBytes)
                    return false;
                if (kind == 0x4)
                    continue;
                for (std::uint64_t i = 0; i < length; ++i) {
                    const std::uint64_t at = offset + i * unit;
                    if (m_data[at] == 0 && (unit == 1 || m_data[at + 1] == 0))
                        return false;
                }
                continue;
            }
            if (kind != 0xA && kind != 0xC && kind != 0xD)
                continue;
            const std::uint64_t refs = kind == 0xD ? 2 * length : length;
            visits += refs;
            if (length > kMaximumObjects || visits > kMaximumObjects || refs * m_refSize > m_tableStart - offset)
                return false;
            for (std::uint64_t i = 0; i < refs; ++i) {
                const std::uint64_t ref = be(offset + i * m_refSize, m_refSize);
                if (ref >= m_count)
                    return false;
                pending.push_back({ref, frame.depth + 1});
            }
        }
        return true;
    }

private:
    // The big-endian number of size bytes at offset; the caller has checked the bounds.
    std::uint64_t be(std::uint64_t offset, unsigned size) const
    {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < size; ++i)
            value = value << 8 | m_data[offset + i];
        return value;
    }

    // The element count of the object whose marker is at *offset, and *offset moved past the
    // marker and count, to the object's contents. A count of 15 or more follows as an integer.
    bool readLength(std::uint64_t& offset, unsigned marker, std::uint64_t* length) const
    {
        ++offset;
        if ((marker & 0xF) != 0xF) {
            *length = marker & 0xF;
            return true;
        }
        if (offset >= m_tableStart || (m_data[offset] & 0xF0) != 0x10)
            return false;
        const unsigned size = 1u << (m_data[offset] & 0x3);
        if (size > m_tableStart - offset - 1)
            return false;
        *length = be(offset + 1, size);
        offset += 1 + size;
        return true;
    }

    const unsigned char* m_data;
    std::uint64_t m_size;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    std::uint64_t m_count = 0;
    std::uint64_t m_tableStart = 0;
};

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
    if (binary ? !BinaryShape(data).acceptable() : !xmlIsAcceptable(data))
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
    // Read with its length: libplist asserts when a string it holds contains a NUL, and a
    // version string with one is no version string anyway.
    std::uint64_t textLength = 0;
    const char* text = plist_get_string_ptr(string, &textLength);
    if (!text || textLength > std::uint64_t(std::numeric_limits<qsizetype>::max())
        || std::memchr(text, 0, textLength))
        return result;
    QString version = QString::fromUtf8(text, qsizetype(textLength));
    if (version.isNull())
        version = QStringLiteral("");   // an empty string is still a string, not "none"

    // The digest is optional; when named it must be one, or the file cannot be trusted.
    if (plist_t digest = plist_dict_get_item(product, kCurrentVersionSha256Key)) {
        std::uint64_t digestLength = 0;
        const char* hex = plist_get_node_type(digest) == PLIST_STRING ? plist_get_string_ptr(digest, &digestLength)
                                                                      : nullptr;
        if (!hex || digestLength != 64
            || !std::all_of(hex, hex + 64, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
            return result;
        result.sha256 = QByteArray::fromHex(QByteArray(hex, 64));
    }
    result.string = version;
    return result;
}

QString DisplayableVersionString(const QString& version)
{
    QString shown;
    shown.reserve(std::min(version.size(), kMaximumShownVersionLength + 1));
    qsizetype characters = 0;
    for (qsizetype i = 0; i < version.size(); ++i) {
        char32_t c = version[i].unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < version.size() && version[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(version[i], version[i + 1]);
            units = 2;
        }
        const QChar::Category category = QChar::category(c);
        const bool invisible = category == QChar::Other_Control || category == QChar::Other_Format
            || category == QChar::Other_Surrogate || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph || category == QChar::Other_NotAssigned;
        if (!invisible) {
            if (characters == kMaximumShownVersionLength) {
                shown += u'\u2026';
                break;
            }
            shown += version.mid(i, units);
            ++characters;
        }
        i += units - 1;
    }
    return shown;
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
