// Every key looked up with LocalizedString, listed for the translation tools: the lookups
// pass their keys at run time, so the extractor cannot find them at the call sites.
// A key added to the code is added here too, or it stays English in every language.

#include <QtGlobal>

namespace {

[[maybe_unused]] const char* const kLocalizedStringKeys[] = {
    // Folder chooser
    QT_TRANSLATE_NOOP("LocalizedStrings", "Choose folder"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Choose"),

    // Software update: the check
    QT_TRANSLATE_NOOP("LocalizedStrings", "An update is available for Ordinello (version %@.) Use Software Update in the Ordinello menu to download it."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "(You can turn off automatic software update checks in Preferences.)"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Checking for a software update..."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Ordinello could not check for a software update at this time."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Connection failed with error: %@ %@"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Loaded the version information..."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "An update is available for Ordinello."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Your software is up to date."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The current version information could not be read."),

    // Software update: the download
    QT_TRANSLATE_NOOP("LocalizedStrings", "The download could not start."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Final file destination: %@"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Bytes received : %d"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Percent complete : %f"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The download has completed."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "Download failed! Error - %@ %@"),

    // Software update: why a transfer failed
    QT_TRANSLATE_NOOP("LocalizedStrings", "The address %1 cannot be downloaded."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The file is larger than the %1 bytes accepted."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The server answered %1."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The server did not answer within %1 seconds."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent %1 of the %2 bytes it announced."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent no file."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent the request on to another site, which is not followed."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "There is no folder to download to."),
    QT_TRANSLATE_NOOP("LocalizedStrings", "There is no free name for %1 in the download folder."),

    // Renaming: why an item was not renamed
    QT_TRANSLATE_NOOP("LocalizedStrings", "another item took its place since the folder was listed"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "renamed to “%1”, but %2"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "the item was removed or moved away since the folder was listed"),
    QT_TRANSLATE_NOOP("LocalizedStrings", "the new name would not be a valid name"),
};

} // namespace
