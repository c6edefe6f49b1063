#pragma once
// Descriptors: a four-character type and its bytes, the way file objects travel between
// programs and through drags. The file types and their bytes:
//   'fsrf'  a reference: st_dev (u64), st_ino (u64), st_mode (u32), birth time known (u32,
//           0 or 1), birth seconds (i64), birth nanoseconds (u32), path bytes; little-endian
//   'fss '  an FSSpec record: parent path length (u32), parent path bytes, name length
//           (u32), name bytes; little-endian
//   'alis'  an alias record (platform/AliasRecord.h)
//   'furl'  a file URL, percent-encoded from the path's exact bytes, as a text/uri-list
//           line carries it ("file:///home/me/a%20b.txt")
// AECoerceDesc turns any of them into any other through the object they name, so every
// coercion but a copy to the same type needs the object to exist (an alias is resolved).

#include "platform/FSSpecRecord.h"
#include "platform/ICMapEntry.h"

#include <QByteArray>
#include <QByteArrayView>

using DescType = OSType;

constexpr DescType FourCharCode(const char (&code)[5])
{
    return DescType(std::uint8_t(code[0])) << 24 | DescType(std::uint8_t(code[1])) << 16
           | DescType(std::uint8_t(code[2])) << 8 | DescType(std::uint8_t(code[3]));
}

constexpr DescType typeNull = FourCharCode("null");
constexpr DescType typeFSRef = FourCharCode("fsrf");
constexpr DescType typeFSS = FourCharCode("fss ");
constexpr DescType typeAlias = FourCharCode("alis");
constexpr DescType typeFileURL = FourCharCode("furl");

enum : OSErr {
    errAECoercionFail = -1700,   // no coercion between the types, or the data is malformed
};

struct AEDesc {
    DescType descriptorType = typeNull;
    QByteArray dataHandle;
};

OSErr AECreateDesc(DescType type, QByteArrayView data, AEDesc* result);
// A copy when the types are equal; otherwise the object named by desc described as
// toType. errAECoercionFail for other types or malformed data; the object's own lookup
// failure (fnfErr, ...) when it cannot be found. *result is untouched on failure.
OSErr AECoerceDesc(const AEDesc& desc, DescType toType, AEDesc* result);
void AEDisposeDesc(AEDesc* desc);

// The descriptor of the given file type for the referenced object.
OSErr AEDescFromFSRef(const FSRef& ref, DescType type, AEDesc* result);

// The bytes of 'fsrf' and 'fss ' descriptors. The readers answer false for data of
// another length or shape.
QByteArray FlattenFSRef(const FSRef& ref);
bool UnflattenFSRef(QByteArrayView data, FSRef* ref);
QByteArray FlattenFSSpec(const FSSpec& spec);
bool UnflattenFSSpec(QByteArrayView data, FSSpec* spec);
