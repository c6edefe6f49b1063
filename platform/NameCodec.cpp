#include "platform/NameCodec.h"

#include <QUtf8StringView>

namespace {

constexpr char16_t kEscapeBase = 0xDC80;

bool isEscape(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

// Length of the valid UTF-8 sequence at p (at most end - p bytes), or 0 when invalid:
// overlong forms, surrogates and values above U+10FFFF are all invalid.
int validSequenceLength(const unsigned char* p, const unsigned char* end, char32_t* cp)
{
    const unsigned char b0 = p[0];
    int len;
    char32_t value;
    char32_t minimum;
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2; value = b0 & 0x1F; minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3; value = b0 & 0x0F; minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4; value = b0 & 0x07; minimum = 0x10000;
    } else {
        return 0;
    }
    if (end - p < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *cp = value;
    return len;
}

} // namespace

QString DecodeFileName(QByteArrayView bytes)
{
    // Qt's own decoder is fast but drops a leading byte-order mark, and a name may well
    // begin with one: such names take the loop below, which keeps every character.
    if (!bytes.startsWith("\xEF\xBB\xBF") && QUtf8StringView(bytes.data(), bytes.size()).isValidUtf8())
        return QString::fromUtf8(bytes);

    QString out;
    out.reserve(bytes.size());
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto end = p + bytes.size();
    while (p < end) {
        char32_t cp;
        const int len = validSequenceLength(p, end, &cp);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + (*p - 0x80))));
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        p += len;
    }
    return out;
}

QByteArray EncodeFileName(QStringView text)
{
    if (!HasEscapedBytes(text))
        return text.toUtf8();

    QByteArray out;
    out.reserve(text.size() * 3);
    qsizetype runStart = 0;
    auto flush = [&](qsizetype upTo) {
        if (upTo > runStart)
            out.append(text.mid(runStart, upTo - runStart).toUtf8());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        // Only a lone low surrogate is an escape; one that follows a high surrogate is
        // half of a real character.
        const bool paired = i > 0 && QChar::isHighSurrogate(text[i - 1].unicode());
        if (isEscape(unit) && !paired) {
            flush(i);
            out.append(char(unit - kEscapeBase + 0x80));
            runStart = i + 1;
        }
    }
    flush(text.size());
    return out;
}

QString DisplayFileName(QStringView text)
{
    QString out = text.toString();
    if (!HasEscapedBytes(text))
        return out;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const bool paired = i > 0 && out[i - 1].isHighSurrogate();
        if (isEscape(out[i].unicode()) && !paired)
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool HasEscapedBytes(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isEscape(text[i].unicode()) && !(i > 0 && text[i - 1].isHighSurrogate()))
            return true;
    }
    return false;
}

QUrl FileUrlFromPath(QStringView path)
{
    const QByteArray encoded = EncodeFileName(path).toPercentEncoding("/");
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + encoded, QUrl::StrictMode);
}
