#include "renaming/Preferences.h"

#include "platform/ProgramSettings.h"

#include <algorithm>
#include <cstdlib>

namespace {

QSettings settings()
{
    return ProgramSettings();
}

bool readBool(const char* key, bool absent)
{
    const QVariant value = settings().value(QLatin1String(key));
    return value.isValid() ? value.toBool() : absent;
}

std::int32_t readInt(const char* key, std::int32_t absent)
{
    const QVariant value = settings().value(QLatin1String(key));
    if (!value.isValid())
        return absent;
    // A value stored by hand may be text or out of range: convert as the settings do and
    // keep the low 32 bits, as a 32-bit integer read would.
    return std::int32_t(value.toLongLong());
}

void write(const char* key, const QVariant& value)
{
    QSettings s = settings();
    s.setValue(QLatin1String(key), value);
    // Written through at once, so the next run (or another process) reads it.
    s.sync();
}

} // namespace

bool CheckForSoftwareUpdates()
{
    return readBool(PreferenceKeys::CheckForSoftwareUpdates, true);
}

std::int32_t NumberLength()
{
    return readInt(PreferenceKeys::NumberLength, 6);
}

std::int32_t InitialNumber()
{
    return readInt(PreferenceKeys::InitialNumber, 1);
}

std::int32_t IncrementBy()
{
    return readInt(PreferenceKeys::IncrementBy, 1);
}

bool AutomaticNumberLength()
{
    return readBool(PreferenceKeys::AutomaticNumberLength, true);
}

bool ConfirmRenaming()
{
    return readBool(PreferenceKeys::ConfirmRenaming, true);
}

namespace {

// The index in kThumbnailSizes of the size nearest to size (the smaller on a tie).
std::size_t nearestThumbnailSize(int size)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < kThumbnailSizes.size(); ++i) {
        if (std::abs(std::int64_t(kThumbnailSizes[i]) - size) < std::abs(std::int64_t(kThumbnailSizes[best]) - size))
            best = i;
    }
    return best;
}

} // namespace

int ThumbnailSize()
{
    return kThumbnailSizes[nearestThumbnailSize(readInt(PreferenceKeys::ThumbnailSize, kNormalThumbnailSize))];
}

int SteppedThumbnailSize(int size, int steps)
{
    const auto last = std::int64_t(kThumbnailSizes.size()) - 1;
    const std::int64_t index = std::clamp(std::int64_t(nearestThumbnailSize(size)) + steps, std::int64_t(0), last);
    return kThumbnailSizes[std::size_t(index)];
}

void SetThumbnailSize(int value)
{
    write(PreferenceKeys::ThumbnailSize, value);
}

void SetCheckForSoftwareUpdates(bool value)
{
    write(PreferenceKeys::CheckForSoftwareUpdates, value);
}

void SetNumberLength(std::int32_t value)
{
    write(PreferenceKeys::NumberLength, value);
}

void SetInitialNumber(std::int32_t value)
{
    write(PreferenceKeys::InitialNumber, value);
}

void SetIncrementBy(std::int32_t value)
{
    write(PreferenceKeys::IncrementBy, value);
}

void SetAutomaticNumberLength(bool value)
{
    write(PreferenceKeys::AutomaticNumberLength, value);
}

void SetConfirmRenaming(bool value)
{
    write(PreferenceKeys::ConfirmRenaming, value);
}
