#include "fsobjects/ObjectNames.h"

#include "platform/NameCodec.h"
#include "platform/Sound.h"

QString GetObjectName(const FSRef* ref)
{
    if (!ref || !FSIsFSRefValid(ref))
        return {};
    return DecodeFileName(ref->nameBytes());
}

QString FSGetName(const FSRef* ref)
{
    return GetObjectName(ref);
}

QString FSGetName(const FSRef& ref)
{
    return GetObjectName(&ref);
}

QString GetObjectDisplayName(const FSRef* ref)
{
    const QString name = GetObjectName(ref);
    return name.isNull() ? QString() : DisplayFileName(name);
}

OSErr SetObjectName(FSRef* ref, const QString& name, int* sysErrno, int folderFd)
{
    const OSErr status = FSRenameUnicode(ref, name, sysErrno, folderFd);
    if (status != noErr)
        SysBeep(30);
    return status;
}

namespace {
qsizetype extensionStart(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return -1;
    return dot + 1;
}
} // namespace

QString CopyNameExtension(const FSRef* ref)
{
    const QString name = GetObjectName(ref);
    const qsizetype start = name.isNull() ? -1 : extensionStart(name);
    return start < 0 ? QString() : name.mid(start);
}

QString GetObjectNameNoExtension(const FSRef* ref)
{
    const QString name = GetObjectName(ref);
    if (name.isNull())
        return {};
    const qsizetype start = extensionStart(name);
    return start < 0 ? name : name.left(start - 1);
}

bool ItemAtPathIsInvisible(const QString& path)
{
    FSRef ref;
    if (FSPathMakeRef(EncodeFileName(path), &ref) != noErr)
        return false;
    if (ref.nameBytes().startsWith('.'))
        return true;
    FinderInfo info;
    if (FSGetFinderInfo(ref, &info) == noErr && (info.finderFlags() & kIsInvisible))
        return true;
    FSRef parent;
    if (FSPathMakeRef(ref.parentPath(), &parent) != noErr)
        return false;
    return ReadHiddenNames(parent).contains(ref.nameBytes().toByteArray());
}
