#pragma once
// Texts shown to the user are written as their English wording and looked up here in the
// "LocalizedStrings" translation context for the user's language; the English wording is
// the key and the fallback. Answers are cached for the life of the process: a result is
// never owned by the caller, stays valid until exit, and equal keys give the very same
// object (compare addresses).

#include <QString>

#include <functional>
#include <optional>

const QString& LocalizedString(const QString& key);
const QString& LocalizedString(const char* key);      // key as UTF-8
const QString& LocalizedStringNS(const char* key);    // the same lookup, kept for its callers

// Loads the translations for the user's locale (ours and Qt's own) into the application.
// Called once at start-up by each front end.
void InstallTranslations();

// Tests: replaces the table lookup (std::nullopt plays a lookup that failed) and empties
// the cache. Pass an empty function to restore the real lookup.
using LocalizedLookup = std::function<std::optional<QString>(const QString& key)>;
void SetLocalizedLookupForTesting(LocalizedLookup lookup);
