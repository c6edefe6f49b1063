#include "platform/AEDesc.h"

#include "platform/AliasRecord.h"
#include "platform/LittleEndian.h"

#include <QUrl>
#include <QtEndian>

#include <climits>

namespace {

// Reads a T from the front of data and advances past it; false when too short.
template <class T>
bool take(QByteArrayView& data, T* value)
{
    if (data.size() < qsizetype(sizeof(T)))
        return false;
    *value = qFromLittleEndian<T>(data.data());
    data = data.sliced(sizeof(T));
    return true;
}

bool takeBytes(QByteArrayView& data, QByteArray* out)
{
    quint32 length = 0;
    if (!take(data, &length) || qsizetype(length) > data.size() || length >= PATH_MAX)
        return false;
    *out = data.first(length).toByteArray();
    data = data.sliced(length);
    return true;
}

// Every byte but the unreserved ones and "/" is percent-encoded, so the URL carries the
// path's exact bytes whatever their encoding.
QByteArray fileUrl(const QByteArray& path)
{
    return "file://" + path.toPercentEncoding("/");
}

bool pathFromFileUrl(const QByteArray& data, QByteArray* path)
{
    QByteArray line = data.trimmed();   // a text/uri-list line may end in CR LF
    const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("file")
        || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
        return false;
    *path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return path->startsWith('/') && !path->contains('\0');
}

OSErr refFromDesc(const AEDesc& desc, FSRef* ref)
{
    switch (desc.descriptorType) {
    case typeFSRef: {
        FSRef flat;
        if (!UnflattenFSRef(desc.dataHandle, &flat))
            return errAECoercionFail;
        // A reference names the object it was made of: it must still be there.
        if (!FSIsFSRefValid(&flat))
            return fnfErr;
        *ref = std::move(flat);
        return noErr;
    }
    case typeFSS: {
        FSSpec spec;
        if (!UnflattenFSSpec(desc.dataHandle, &spec))
            return errAECoercionFail;
        return FSpMakeFSRef(spec, ref);
    }
    case typeAlias:
        return FSResolveAlias(desc.dataHandle, ref);
    case typeFileURL: {
        QByteArray path;
        if (!pathFromFileUrl(desc.dataHandle, &path))
            return errAECoercionFail;
        return FSPathMakeRef(path, ref);
    }
    default:
        return errAECoercionFail;
    }
}

} // namespace

OSErr AECreateDesc(DescType type, QByteArrayView data, AEDesc* result)
{
    if (!result)
        return paramErr;
    result->descriptorType = type;
    result->dataHandle = data.toByteArray();
    return noErr;
}

OSErr AECoerceDesc(const AEDesc& desc, DescType toType, AEDesc* result)
{
    if (!result)
        return paramErr;
    if (desc.descriptorType == toType) {
        *result = desc;
        return noErr;
    }
    FSRef ref;
    const OSErr status = refFromDesc(desc, &ref);
    if (status != noErr)
        return status;
    return AEDescFromFSRef(ref, toType, result);
}

void AEDisposeDesc(AEDesc* desc)
{
    if (desc)
        *desc = AEDesc();
}

OSErr AEDescFromFSRef(const FSRef& ref, DescType type, AEDesc* result)
{
    if (!result || ref.isNull())
        return paramErr;
    QByteArray data;
    switch (type) {
    case typeFSRef:
        data = FlattenFSRef(ref);
        break;
    case typeFSS: {
        FSSpec spec;
        if (const OSErr status = FSRefMakeFSSpec(ref, &spec))
            return status;
        data = FlattenFSSpec(spec);
        break;
    }
    case typeAlias:
        if (const OSErr status = NewAlias(ref, &data))
            return status;
        break;
    case typeFileURL:
        data = fileUrl(ref.path);
        break;
    default:
        return errAECoercionFail;
    }
    result->descriptorType = type;
    result->dataHandle = std::move(data);
    return noErr;
}

QByteArray FlattenFSRef(const FSRef& ref)
{
    QByteArray out;
    AppendLittleEndian<quint64>(out, ref.device);
    AppendLittleEndian<quint64>(out, ref.inode);
    AppendLittleEndian<quint32>(out, ref.mode);
    AppendLittleEndian<quint32>(out, ref.hasBirthTime ? 1 : 0);
    AppendLittleEndian<qint64>(out, ref.birthSeconds);
    AppendLittleEndian<quint32>(out, ref.birthNanoseconds);
    out.append(ref.path);
    return out;
}

bool UnflattenFSRef(QByteArrayView data, FSRef* ref)
{
    quint64 device = 0, inode = 0;
    quint32 mode = 0, flags = 0, birthNanoseconds = 0;
    qint64 birthSeconds = 0;
    if (!ref || !take(data, &device) || !take(data, &inode) || !take(data, &mode) || !take(data, &flags)
        || !take(data, &birthSeconds) || !take(data, &birthNanoseconds) || flags > 1)
        return false;
    if (!data.startsWith('/') || data.contains('\0') || data.size() >= PATH_MAX)
        return false;
    ref->path = data.toByteArray();
    ref->device = dev_t(device);
    ref->inode = ino_t(inode);
    ref->mode = mode_t(mode);
    ref->hasBirthTime = flags == 1;
    ref->birthSeconds = birthSeconds;
    ref->birthNanoseconds = birthNanoseconds;
    return true;
}

QByteArray FlattenFSSpec(const FSSpec& spec)
{
    QByteArray out;
    AppendLittleEndian<quint32>(out, quint32(spec.parent.size()));
    out.append(spec.parent);
    AppendLittleEndian<quint32>(out, quint32(spec.name.size()));
    out.append(spec.name);
    return out;
}

bool UnflattenFSSpec(QByteArrayView data, FSSpec* spec)
{
    FSSpec read;
    if (!spec || !takeBytes(data, &read.parent) || !takeBytes(data, &read.name) || !data.isEmpty())
        return false;
    *spec = std::move(read);
    return true;
}
