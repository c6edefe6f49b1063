#include "support/NumericText.h"

#include "platform/IcuLocale.h"
#include "support/CString256.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Seconds from 1904-01-01 to 1970-01-01, both 00:00:00 GMT.
constexpr double kSecondsFrom1904To1970 = 2082844800.0;

// Digits of magnitude, least significant first, at most maxDigits (the least
// significant ones when there are more); returns the count written (0 only when
// maxDigits is 0).
int backwardDigits(std::uint64_t magnitude, char* out, int maxDigits)
{
    int n = 0;
    do {
        if (n == maxDigits)
            break;
        out[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    return n;
}

int digitCount(std::uint64_t magnitude)
{
    int n = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++n;
    }
    return n;
}

// The negation is done in the unsigned type so the most negative value has a magnitude.
std::uint64_t magnitudeOf(std::int64_t value)
{
    return value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
}

std::unique_ptr<char[]> newDecimal(bool negative, std::uint64_t magnitude)
{
    auto text = std::make_unique<char[]>(std::size_t(digitCount(magnitude)) + 2);
    int n = backwardDigits(magnitude, text.get(), 20);
    if (negative)
        text[n++] = '-';
    text[n] = 0;
    reverse(text.get());
    return text;
}

void decimalInto(char* buffer, short size, bool negative, std::uint64_t magnitude)
{
    if (!buffer || size < 1)
        return;
    // A negative number keeps room for its sign: with the sign after size - 1 digits the
    // text and terminator would need size + 1 bytes.
    const int maxDigits = size - 1 - (negative ? 1 : 0);
    if (maxDigits < 1) {
        buffer[0] = 0;
        return;
    }
    int n = backwardDigits(magnitude, buffer, maxDigits);
    if (negative)
        buffer[n++] = '-';
    buffer[n] = 0;
    reverse(buffer);
}

} // namespace

void reverse(char* s) noexcept
{
    if (!s)
        return;
    std::size_t n = std::strlen(s);
    for (std::size_t i = 0; n > 1 && i < n - 1 - i; ++i)
        std::swap(s[i], s[n - 1 - i]);
}

std::unique_ptr<char[]> itoa(std::uint32_t value)
{
    return newDecimal(false, value);
}

std::unique_ptr<char[]> itoa(std::int32_t value)
{
    return newDecimal(value < 0, magnitudeOf(value));
}

std::unique_ptr<char[]> itoa(std::int16_t value)
{
    return newDecimal(value < 0, magnitudeOf(value));
}

void itoa(char* buffer, short size, std::int32_t value) noexcept
{
    decimalInto(buffer, size, value < 0, magnitudeOf(value));
}

void itoa(char* buffer, short size, unsigned long long value) noexcept
{
    decimalInto(buffer, size, false, value);
}

void StrToFourCharCode(const char* text, std::uint32_t& code) noexcept
{
    StrToFourCharCode(text ? std::string_view(text, 4) : std::string_view(), code);
}

void StrToFourCharCode(std::string_view text, std::uint32_t& code) noexcept
{
    code = 0;
    for (std::size_t i = 0; i < 4; ++i)
        code = code << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
}

void GetCurrentMacLongDateTime(std::uint32_t& seconds)
{
    using namespace std::chrono;
    const double now = duration<double>(system_clock::now().time_since_epoch()).count();
    // ICU's default zone, the one MakeDateStringNoTime shows dates in.
    double offset = 0;
    if (std::unique_ptr<icu::TimeZone> zone{icu::TimeZone::createDefault()}) {
        std::int32_t raw = 0;
        std::int32_t dst = 0;
        UErrorCode status = U_ZERO_ERROR;
        zone->getOffset(now * 1000.0, false, raw, dst, status);
        if (U_SUCCESS(status))
            offset = (double(raw) + double(dst)) / 1000.0;
    }
    const double total = std::clamp(now + offset + kSecondsFrom1904To1970, 0.0, 4294967295.0);
    seconds = std::uint32_t(total);
}

bool MakeDateStringNoTime(CFDateFormatterStyle style, std::uint32_t seconds, char* out,
                          long outSize)
{
    icu::DateFormat::EStyle icuStyle;
    switch (style) {
    case kCFDateFormatterShortStyle: icuStyle = icu::DateFormat::kShort; break;
    case kCFDateFormatterMediumStyle: icuStyle = icu::DateFormat::kMedium; break;
    case kCFDateFormatterLongStyle: icuStyle = icu::DateFormat::kLong; break;
    case kCFDateFormatterFullStyle: icuStyle = icu::DateFormat::kFull; break;
    default: return false;
    }
    if (!out || outSize < 1)
        return false;

    std::unique_ptr<icu::DateFormat> formatter{
        icu::DateFormat::createDateInstance(icuStyle, LocaleForCategory("LC_TIME"))};
    if (!formatter)
        return false;
    const UDate date = (double(seconds) - kSecondsFrom1904To1970) * 1000.0;
    icu::UnicodeString formatted;
    formatter->format(date, formatted);
    std::string text;
    formatted.toUTF8String(text);
    if (text.empty() || text.size() + 1 > std::size_t(outSize))
        return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

void ElapsedTimeMessage(std::uint32_t seconds, CString256& message)
{
    if (seconds == 0) {
        message = "0 secs";
        return;
    }
    // The parts are appended to what message holds: callers put their own lead-in first.
    const auto hours = std::int32_t(seconds / 3600);
    const auto minutes = std::int32_t(seconds % 3600 / 60);
    const auto secs = std::int32_t(seconds % 60);
    if (hours) {
        message += hours;
        message += hours == 1 ? " hr " : " hrs ";
    }
    if (minutes) {
        message += minutes;
        message += minutes == 1 ? " min " : " mins ";
    }
    if (secs) {
        message += secs;
        message += secs == 1 ? " sec " : " secs ";
    }
}
