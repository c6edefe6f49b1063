// Fuzz target for the file-name codec: every byte string a name can hold (no '/', no
// NUL) must come back byte for byte, what is shown must be free of escapes, and a prefix
// added in text must leave the rest's bytes as they were.

#include "platform/NameCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bytes.replace('/', 'x');
    bytes.replace('\0', 'y');
    const QString text = DecodeFileName(bytes);
    if (EncodeFileName(text) != bytes)
        std::abort();
    if (HasEscapedBytes(DisplayFileName(text)))
        std::abort();
    if (EncodeFileName(QStringLiteral("0007 ") + text) != "0007 " + bytes)
        std::abort();
    return 0;
}
