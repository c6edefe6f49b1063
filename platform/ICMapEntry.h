#pragma once
// The file-name mapping record of the Internet Config service: one entry of the table
// that ties a name extension to a file type, its creator application and a MIME type.
// The record keeps the service's layout and size (1302 bytes: 2-byte packing, no padding
// between the header and the strings), so entries read from a stored table can be copied
// whole. Multi-byte fields are in host order once read.

#include <cstddef>
#include <cstdint>

using OSType = std::uint32_t;      // four-character code, first character most significant
using Str255 = unsigned char[256]; // length byte, then up to 255 bytes

#pragma pack(push, 2)
struct ICMapEntry {
    std::int16_t totalLength;      // bytes of the record as stored, strings included
    std::uint16_t fixedLength;     // bytes of the fixed part before the strings
    std::int16_t version;
    OSType fileType;
    OSType fileCreator;
    OSType postCreator;            // the post-processor's creator
    std::int32_t flags;
    Str255 extension;              // with its leading dot, for example ".mov"
    Str255 creatorAppName;
    Str255 postAppName;
    Str255 MIMEType;
    Str255 entryName;
};
#pragma pack(pop)

static_assert(sizeof(ICMapEntry) == 1302, "ICMapEntry must keep the service's record size");
static_assert(offsetof(ICMapEntry, extension) == 22);
