#pragma once
// The five numbering and update settings, read anew on every call from the user's
// settings (organisation and application "Ordinello"). Each reader supplies its default
// when the key was never stored; a stored false or 0 is a value like any other.

#include <cstdint>

bool CheckForSoftwareUpdates();     // "CheckForSoftwareUpdates", default true
std::int32_t NumberLength();        // "NumberLength", default 6
std::int32_t InitialNumber();       // "InitialNumber", default 1
std::int32_t IncrementBy();         // "IncrementBy", default 1
bool AutomaticNumberLength();       // "AutomaticNumberLength", default true
bool ConfirmRenaming();             // "ConfirmRenaming", default true: preview before renaming

// Writers, for the preferences window only: the rest of the application reads.
void SetCheckForSoftwareUpdates(bool value);
void SetNumberLength(std::int32_t value);
void SetInitialNumber(std::int32_t value);
void SetIncrementBy(std::int32_t value);
void SetAutomaticNumberLength(bool value);
void SetConfirmRenaming(bool value);

namespace PreferenceKeys {
inline constexpr char CheckForSoftwareUpdates[] = "CheckForSoftwareUpdates";
inline constexpr char NumberLength[] = "NumberLength";
inline constexpr char InitialNumber[] = "InitialNumber";
inline constexpr char IncrementBy[] = "IncrementBy";
inline constexpr char AutomaticNumberLength[] = "AutomaticNumberLength";
inline constexpr char ConfirmRenaming[] = "ConfirmRenaming";
} // namespace PreferenceKeys
