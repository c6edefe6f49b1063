#include "app/Preferences.h"

#include "platform/ProgramSettings.h"

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
