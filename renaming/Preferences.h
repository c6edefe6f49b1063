#pragma once
// The numbering, update and display settings, read anew on every call from the user's
// settings (organisation and application "Ordinello"). Each reader supplies its default
// when the key was never stored; a stored false or 0 is a value like any other.

#include <array>
#include <cstdint>

bool CheckForSoftwareUpdates();     // "CheckForSoftwareUpdates", default true
std::int32_t NumberLength();        // "NumberLength", default 6
std::int32_t InitialNumber();       // "InitialNumber", default 1
std::int32_t IncrementBy();         // "IncrementBy", default 1
bool AutomaticNumberLength();       // "AutomaticNumberLength", default true
bool ConfirmRenaming();             // "ConfirmRenaming", default true: preview before renaming

// The item table's picture sizes, in logical pixels, smallest first, that View ▸ Zoom In and
// Zoom Out step through; Normal Size is kNormalThumbnailSize.
inline constexpr std::array<int, 5> kThumbnailSizes{32, 48, 64, 96, 128};
inline constexpr int kNormalThumbnailSize = 48;
// "ThumbnailSize", default kNormalThumbnailSize; a stored value that is none of the sizes
// (edited by hand) reads as the nearest one.
int ThumbnailSize();
// The size steps sizes larger (negative: smaller) than size, stopping at either end.
int SteppedThumbnailSize(int size, int steps);

// Writers, for the preferences window only: the rest of the application reads.
void SetCheckForSoftwareUpdates(bool value);
void SetNumberLength(std::int32_t value);
void SetInitialNumber(std::int32_t value);
void SetIncrementBy(std::int32_t value);
void SetAutomaticNumberLength(bool value);
void SetConfirmRenaming(bool value);
void SetThumbnailSize(int value);

namespace PreferenceKeys {
inline constexpr char CheckForSoftwareUpdates[] = "CheckForSoftwareUpdates";
inline constexpr char NumberLength[] = "NumberLength";
inline constexpr char InitialNumber[] = "InitialNumber";
inline constexpr char IncrementBy[] = "IncrementBy";
inline constexpr char AutomaticNumberLength[] = "AutomaticNumberLength";
inline constexpr char ConfirmRenaming[] = "ConfirmRenaming";
inline constexpr char ThumbnailSize[] = "ThumbnailSize";
} // namespace PreferenceKeys
