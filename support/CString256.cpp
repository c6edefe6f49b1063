#include "support/CString256.h"

#include "support/CList.h"
#include "support/CPool.h"
#include "support/NumericText.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The buffer size the numeric assignments format into: the longest decimal text of a
// 64-bit value (20 digits) and of a signed 32-bit one (11 characters) fit with room.
constexpr short kNumberBufferSize = 31;

// Bytes that may be taken from the front of utf8 without cutting a multi-byte sequence
// in two, when at most limit bytes fit.
std::size_t wholeUtf8Prefix(const QByteArray& utf8, std::size_t limit)
{
    std::size_t n = std::min<std::size_t>(std::size_t(utf8.size()), limit);
    if (n == std::size_t(utf8.size()))
        return n;
    // Byte n starts what does not fit; step back while it continues a sequence, so the
    // whole sequence it belongs to is left out.
    while (n > 0 && (static_cast<unsigned char>(utf8[qsizetype(n)]) & 0xC0) == 0x80)
        --n;
    return n;
}

std::size_t pascalLength(const unsigned char* pascal)
{
    // The content ends at the length byte's count or at an embedded zero, whichever is
    // first, as C text made from it would.
    const std::size_t declared = pascal[0];
    const void* zero = std::memchr(pascal + 1, 0, declared);
    return zero ? std::size_t(static_cast<const unsigned char*>(zero) - (pascal + 1)) : declared;
}

bool bytesEqual(const char* a, const char* b, std::size_t n, bool nocase)
{
    if (!nocase)
        return std::memcmp(a, b, n) == 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (AsciiToUpper(static_cast<unsigned char>(a[i]))
            != AsciiToUpper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

// ---- construction and assignment ----

CString256::CString256(const char* text) noexcept
{
    *this = text;
}

CString256::CString256(const unsigned char* pascal) noexcept
{
    *this = pascal;
}

void CString256::assign(const char* bytes, std::size_t count) noexcept
{
    count = std::min<std::size_t>(count, kCapacity);
    // memmove: the source may be this string's own text.
    std::memmove(m_text, bytes, count);
    m_text[count] = 0;
}

void CString256::append(const char* bytes, std::size_t count) noexcept
{
    const std::size_t used = std::size_t(length());
    count = std::min<std::size_t>(count, kCapacity - used);
    std::memmove(m_text + used, bytes, count);
    m_text[used + count] = 0;
}

CString256& CString256::operator=(const char* text) noexcept
{
    if (!text)
        m_text[0] = 0;
    else
        assign(text, strnlen(text, kCapacity));
    return *this;
}

CString256& CString256::operator=(const unsigned char* pascal) noexcept
{
    if (!pascal)
        m_text[0] = 0;
    else
        assign(reinterpret_cast<const char*>(pascal + 1), pascalLength(pascal));
    return *this;
}

CString256& CString256::operator=(const QString& text)
{
    // UTF-8 is the system encoding on Linux. A text longer than the capacity keeps its
    // longest prefix of whole characters, never half a multi-byte sequence. An embedded
    // U+0000 ends the C text, as it would for any C consumer of the bytes.
    const QByteArray utf8 = text.toUtf8();
    assign(utf8.constData(), strnlen(utf8.constData(), wholeUtf8Prefix(utf8, kCapacity)));
    return *this;
}

CString256& CString256::operator=(Handle handle) noexcept
{
    if (!handle || !*handle) {
        m_text[0] = 0;
        return *this;
    }
    const Size size = std::clamp<Size>(GetHandleSize(handle), 0, kCapacity);
    assign(*handle, strnlen(*handle, std::size_t(size)));
    return *this;
}

CString256& CString256::operator=(std::int32_t value) noexcept
{
    itoa(m_text, kNumberBufferSize, value);
    return *this;
}

CString256& CString256::operator=(unsigned long long value) noexcept
{
    itoa(m_text, kNumberBufferSize, value);
    return *this;
}

// ---- appending ----

CString256& CString256::operator+=(const char* text) noexcept
{
    if (text)
        append(text, strnlen(text, kCapacity));
    return *this;
}

CString256& CString256::operator+=(const CString256& text) noexcept
{
    append(text.m_text, std::size_t(text.length()));
    return *this;
}

CString256& CString256::operator+=(const unsigned char* pascal) noexcept
{
    if (pascal)
        append(reinterpret_cast<const char*>(pascal + 1), pascalLength(pascal));
    return *this;
}

CString256& CString256::operator+=(std::int32_t value) noexcept
{
    char digits[kNumberBufferSize];
    itoa(digits, kNumberBufferSize, value);
    return *this += digits;
}

CString256& CString256::operator+=(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const std::size_t room = std::size_t(kCapacity - length());
    append(utf8.constData(), strnlen(utf8.constData(), wholeUtf8Prefix(utf8, room)));
    return *this;
}

CString256& CString256::operator+=(char c) noexcept
{
    // Room minus one must stay above zero: byte appends end at 254 bytes, while text
    // appends may fill all 255. The two rules differ and callers see both, so both stay.
    const int used = length();
    if (kCapacity - used - 1 > 0) {
        m_text[used] = c;
        m_text[used + 1] = 0;
    }
    return *this;
}

// ---- access ----

int CString256::length() const noexcept
{
    return int(strnlen(m_text, kCapacity));
}

char& CString256::operator[](int index) noexcept
{
    if (index >= 0 && index < kCapacity)
        return m_text[index];
    // A write to byte 255 would remove the last terminator and let every later strlen
    // run off the object; the scratch byte absorbs such writes instead.
    static thread_local char scratch;
    scratch = 0;
    return scratch;
}

char CString256::operator[](int index) const noexcept
{
    return (index >= 0 && index <= kCapacity) ? m_text[index] : 0;
}

bool operator==(const CString256& a, const CString256& b) noexcept
{
    return std::strcmp(a.m_text, b.m_text) == 0;
}

// ---- case and filtering ----

void CString256::to_lower() noexcept
{
    // Not the C library's tolower: the window sets the user's locale, and there a byte's
    // case can fold differently (Turkish 'I', Latin-1 letters).
    for (char* p = m_text; *p; ++p)
        *p = char(AsciiToLower(static_cast<unsigned char>(*p)));
}

void CString256::filter_to_alnum_or_punct() noexcept
{
    // The C locale's alnum-or-punct set is exactly 0x21-0x7E; testing the range directly
    // keeps the result the same under any locale. One pass with a write position.
    char* out = m_text;
    for (const char* in = m_text; *in; ++in) {
        const auto c = static_cast<unsigned char>(*in);
        if (c >= 0x21 && c <= 0x7E)
            *out++ = char(c);
    }
    *out = 0;
}

void CString256::change_suffix(const char* suffix) noexcept
{
    if (char* dot = std::strrchr(m_text, '.'))
        *dot = 0;
    *this += ".";
    *this += suffix;
}

// ---- prefix and suffix tests ----

bool CString256::beginsWith(const CString256* prefix, bool nocase) const noexcept
{
    return beginsWith(prefix ? prefix->m_text : nullptr, nocase);
}

bool CString256::beginsWith(const char* prefix, bool nocase) const noexcept
{
    if (!prefix)
        return true;
    const std::size_t n = std::strlen(prefix);
    return n <= std::size_t(length()) && bytesEqual(m_text, prefix, n, nocase);
}

bool CString256::endsWith(const CString256* suffix, bool nocase) const noexcept
{
    return endsWith(suffix ? suffix->m_text : nullptr, nocase);
}

bool CString256::endsWith(const char* suffix, bool nocase) const noexcept
{
    if (!suffix)
        return true;
    const std::size_t n = std::strlen(suffix);
    const std::size_t used = std::size_t(length());
    return n <= used && bytesEqual(m_text + used - n, suffix, n, nocase);
}

bool CString256::beginsWith_nocase(const CString256& prefix) const noexcept
{
    return beginsWith(&prefix, true);
}

bool CString256::beginsWith_nocase(const char* prefix) const noexcept
{
    return beginsWith(prefix, true);
}

bool CString256::endsWith_nocase(const CString256& suffix) const noexcept
{
    return endsWith(&suffix, true);
}

bool CString256::endsWith_nocase(const char* suffix) const noexcept
{
    return endsWith(suffix, true);
}

// ---- output ----

void CString256::print(char* buffer, std::size_t bufferSize) const noexcept
{
    if (!buffer || bufferSize == 0)
        return;
    const std::size_t used = strnlen(buffer, bufferSize);
    if (used == bufferSize)
        return; // no terminator: not a C text we may extend
    std::size_t room = bufferSize - 1 - used;
    const std::size_t n = std::min<std::size_t>(std::size_t(length()), room);
    std::memcpy(buffer + used, m_text, n);
    room -= n;
    std::size_t end = used + n;
    if (room > 0)
        buffer[end++] = '\n';
    buffer[end] = 0;
}

OSErr CString256::print(int fileDescriptor) const noexcept
{
    char line[kCapacity + 2];
    const std::size_t n = std::size_t(length());
    std::memcpy(line, m_text, n);
    line[n] = '\n';
    std::size_t written = 0;
    while (written < n + 1) {
        const ssize_t r = ::write(fileDescriptor, line + written, n + 1 - written);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return OSErrFromErrno(errno);
        }
        written += std::size_t(r);
    }
    return noErr;
}

QString CString256::MakeCFString() const
{
    // Keep a leading byte-order mark as text: the bytes are the user's, not a stream.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(m_text, length()));
    if (decoder.hasError())
        return QString();
    if (text.isNull())
        text = QString(QLatin1StringView("")); // empty but not null: the conversion worked
    return text;
}

// ---- lists ----

void CString256::parse_into_list(const char* separators, CList<CString256>& list) const
{
    // Splits as strtok does (maximal runs of non-separator bytes, no empty pieces) but
    // with no hidden state: strtok's process-wide position would break a scan the caller
    // has in progress, and any other thread's. The text is copied first: this string may
    // itself be an element of the list, which clear() gives back to the pool.
    const CString256 text(*this);
    list.clear();
    const char* set = separators ? separators : "";
    const char* p = text.m_text;
    for (;;) {
        p += std::strspn(p, set);
        if (!*p)
            break;
        const std::size_t n = std::strcspn(p, set);
        CString256 piece;
        piece.assign(p, n);
        list.append(piece);
        p += n;
    }
}

void CString256::flatten_list(char separator, CList<CString256>& list) noexcept
{
    m_text[0] = 0;
    long number = 0;
    list.rewind();
    while (CString256* element = list.next()) {
        *this += *element;
        if (++number != list.count())
            *this += separator;
    }
}

// ---- pooled storage ----

void* CString256::operator new(std::size_t)
{
    return CPool<CString256>::allocate();
}

void CString256::operator delete(void* storage, std::size_t) noexcept
{
    CPool<CString256>::release(storage);
}

// ---- case-insensitive C text ----

int STRNCMP(const char* a, const char* b, int n) noexcept
{
    if (!a)
        a = "";
    if (!b)
        b = "";
    // A negative n bounds nothing, as strncmp's size_t would not.
    for (int i = 0; n < 0 || i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (AsciiToUpper(ca) != AsciiToUpper(cb))
            return int(ca) - int(cb);
        if (ca == 0)
            return 0;
    }
    return 0;
}

const char* STRSTR(const char* haystack, const char* needle) noexcept
{
    if (!needle || !*needle)
        return haystack;
    if (!haystack)
        return nullptr;
    const unsigned char first = AsciiToUpper(static_cast<unsigned char>(*needle));
    for (const char* p = haystack; *p; ++p) {
        if (AsciiToUpper(static_cast<unsigned char>(*p)) != first)
            continue;
        std::size_t k = 1;
        while (needle[k]
               && AsciiToUpper(static_cast<unsigned char>(p[k]))
                      == AsciiToUpper(static_cast<unsigned char>(needle[k])))
            ++k;
        if (!needle[k])
            return p;
    }
    return nullptr;
}

char* STRSTR(char* haystack, const char* needle) noexcept
{
    return const_cast<char*>(STRSTR(static_cast<const char*>(haystack), needle));
}
