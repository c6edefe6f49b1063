#include "platform/UTCDateTime.h"

namespace {
constexpr std::int64_t kNanoseconds = 1000000000;
constexpr std::int64_t kFractions = 65536;
constexpr std::int64_t kLastSecond = (std::int64_t(1) << 48) - 1;
} // namespace

bool UTCDateTimeFromTimespec(const timespec& time, UTCDateTime* out)
{
    if (!out || time.tv_nsec < 0 || time.tv_nsec >= kNanoseconds)
        return false;
    const std::int64_t seconds = std::int64_t(time.tv_sec) + kUnixEpochIn1904Seconds;
    if (seconds < 0 || seconds > kLastSecond)
        return false;
    out->highSeconds = std::uint16_t(seconds >> 32);
    out->lowSeconds = std::uint32_t(seconds);
    out->fraction = std::uint16_t(std::int64_t(time.tv_nsec) * kFractions / kNanoseconds);   // rounds down
    return true;
}

timespec TimespecFromUTCDateTime(const UTCDateTime& date)
{
    const std::int64_t seconds = (std::int64_t(date.highSeconds) << 32 | date.lowSeconds) - kUnixEpochIn1904Seconds;
    timespec time{};
    time.tv_sec = time_t(seconds);
    time.tv_nsec = long((std::int64_t(date.fraction) * kNanoseconds + kFractions - 1) / kFractions);   // rounds up
    return time;
}
