#include "app/Preferences.h"

#include <QSettings>

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("Ordinello"), QStringLiteral("Ordinello"));
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
