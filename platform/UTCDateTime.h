#pragma once
// The classic date of the file layer: seconds since 1904-01-01 00:00 UTC in 48 bits
// (high 16 and low 32) and a fraction in 1/65536 s. Linux keeps times as timespec
// (seconds since 1970, nanoseconds).
//
// The conversions are exact for every classic date: a fraction becomes the smallest
// nanosecond count at or past it, and nanoseconds become the largest fraction at or
// before them, so classic → timespec → classic gives back the same value. Dates before
// 1970 and past the 32-bit rollovers (2038 for Unix seconds, 2040 for classic ones) are
// ordinary values here.

#include <cstdint>
#include <ctime>

struct UTCDateTime {
    std::uint16_t highSeconds = 0;
    std::uint32_t lowSeconds = 0;
    std::uint16_t fraction = 0;

    friend bool operator==(const UTCDateTime&, const UTCDateTime&) = default;
};

constexpr std::int64_t kUnixEpochIn1904Seconds = 2082844800;   // 1970-01-01 since 1904-01-01

// False (and *out untouched) for times before 1904 or past the 48-bit range.
bool UTCDateTimeFromTimespec(const timespec& time, UTCDateTime* out);
timespec TimespecFromUTCDateTime(const UTCDateTime& date);
