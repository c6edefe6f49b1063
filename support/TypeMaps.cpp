#include "support/TypeMaps.h"

#include "platform/Bundle.h"
#include "support/CFile.h"
#include "support/CInternetConfig.h"
#include "support/GlobalMaps.h"
#include "support/NumericText.h"

#include <cstring>

namespace {

struct MovieType {
    OSType type;
    const char* extension;
};
constexpr MovieType kMovieTypes[] = {
    {0x4D6F6F56, ".mov"}, // 'MooV'
    {0x56665720, ".avi"}, // 'VfW '
    {0x5357464C, ".swf"}, // 'SWFL'
    {0x6D706734, ".mp4"}, // 'mpg4'
    {0x33677070, ".3gp"}, // '3gpp'
    {0x33677032, ".3g2"}, // '3gp2'
};

// Walks the user's mapping table once, handing every entry to visit.
template <typename Visit>
void forEachMapEntry(Visit&& visit)
{
    CInternetConfig config(GetOurSignature());
    config.Start();
    config.StartMapIteration();
    ICMapEntry entry;
    while (config.NextMapEntry(&entry))
        visit(entry);
    config.FinishMapIteration();
    config.Stop();
}

} // namespace

QString MapTypeToExtension(const OSType& type)
{
    for (const MovieType& movie : kMovieTypes) {
        if (movie.type == type)
            return QString::fromLatin1(movie.extension);
    }
    return QString();
}

QString MapFSRefToExtensionByType(const FSRef& item)
{
    // FSGetType answers only for the referenced object itself; a folder keeps no file type,
    // whatever its Finder information holds.
    OSType type = 0;
    if (CFile::FSGetType(item, type) != noErr || CFile::IsADirectory(item))
        return QString();
    return MapTypeToExtension(type);
}

OSType GetOurSignature()
{
    const QByteArray signature = Bundle::signature().toLatin1();
    if (signature.isEmpty())
        return 0;
    std::uint32_t code = 0;
    StrToFourCharCode(signature.constData(), code);
    return code;
}

void InitializeTypeMap()
{
    forEachMapEntry([](const ICMapEntry& entry) {
        // The record is packed: its type is read into an aligned value before a reference
        // is bound to it.
        const OSType type = entry.fileType;
        gTypeMap.insert(type)->value = entry;
    });
}

void InitializeSuffixMap()
{
    forEachMapEntry([](const ICMapEntry& entry) {
        char extension[256];
        std::memcpy(extension, entry.extension + 1, entry.extension[0]);
        extension[entry.extension[0]] = 0;
        gSuffixMap.insert(CString256(extension))->value = entry;
    });
}
