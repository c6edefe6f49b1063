#pragma once
// Numbers, four-character codes, classic dates and durations as text.
//
// Decimal text: ASCII digits, most significant first, '-' in front of a negative value,
// no leading zeros (zero is "0"), no blanks, no grouping, zero-terminated.
// Classic date: seconds since 1904-01-01 00:00:00 in an unsigned 32-bit count (dates up
// to early 2040; later ones saturate).

#include <cstdint>
#include <memory>
#include <string_view>

class CString256;

// Reverses the bytes of s in place; null does nothing.
void reverse(char* s) noexcept;

// The decimal text in a new buffer of exactly digits + 2 bytes. Throws std::bad_alloc.
std::unique_ptr<char[]> itoa(std::uint32_t value);
std::unique_ptr<char[]> itoa(std::int32_t value);
std::unique_ptr<char[]> itoa(std::int16_t value);

// The decimal text in the caller's buffer of size bytes, always terminated; nothing is
// written when buffer is null or size < 1. A number too long for the buffer keeps its
// last (least significant) digits: itoa(b, 4, 12345) writes "345". A negative number
// keeps its sign and so at most size - 2 digits. Size 31 fits every value.
void itoa(char* buffer, short size, std::int32_t value) noexcept;
void itoa(char* buffer, short size, unsigned long long value) noexcept;

// The first four bytes of text, the first as the most significant: "TEXT" is 0x54455854.
// Exactly four bytes are read, zero bytes included ({'A', 0, 'B', 'C'} is 0x41004243), so
// text must have at least four readable bytes; null gives 0.
void StrToFourCharCode(const char* text, std::uint32_t& code) noexcept;
// The same for a text of known length: bytes past its end count as zero ("VfW" is
// 0x56665700).
void StrToFourCharCode(std::string_view text, std::uint32_t& code) noexcept;

// The current local time (the default time zone's offset from GMT at this moment
// added) in seconds since 1904, clamped to the 32-bit range.
void GetCurrentMacLongDateTime(std::uint32_t& seconds);

enum CFDateFormatterStyle : int {
    kCFDateFormatterNoStyle = 0,
    kCFDateFormatterShortStyle = 1,
    kCFDateFormatterMediumStyle = 2,
    kCFDateFormatterLongStyle = 3,
    kCFDateFormatterFullStyle = 4,
};

// The date of seconds (since 1904, counted in GMT) without a time, in the default time
// zone, formatted by ICU in the given style for the user's locale (LC_ALL, LC_TIME, then
// LANG; C and POSIX mean the root locale), as zero-terminated UTF-8 in out.
// False, with out untouched, for a style other than short..full, a null out, or a text
// that does not fit in outSize bytes with its terminator (a cut date would mislead).
bool MakeDateStringNoTime(CFDateFormatterStyle style, std::uint32_t seconds, char* out,
                          long outSize);

// Appends a duration such as "1 hr 2 mins 5 secs " to message: hours, minutes and seconds,
// each only when not zero, each followed by a blank. Zero replaces the message with
// "0 secs" (no trailing blank).
void ElapsedTimeMessage(std::uint32_t seconds, CString256& message);
