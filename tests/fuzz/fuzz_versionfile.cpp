// Feeds arbitrary bytes to the version-file reader, as a server could send them. The
// reader must never crash, hang or read outside the data, and what it shows must be clean.

#include "update/VersionFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const PublishedVersion published = ReadVersionFile(QByteArrayView(data, qsizetype(size)));
    if (!published.string.isNull()) {
        if (!published.number || published.string.contains(QChar(0)))
            std::abort();   // a string is only ever read with a usable number, never with a NUL
        const QString shown = DisplayableVersionString(published.string);
        if (shown.size() > 2 * (kMaximumShownVersionLength + 1))
            std::abort();
        if (!published.sha256.isEmpty() && published.sha256.size() != 32)
            std::abort();
    }
    return 0;
}
