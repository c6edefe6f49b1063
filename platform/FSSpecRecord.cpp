#include "platform/FSSpecRecord.h"

OSErr FSpMakeFSRef(const FSSpec& spec, FSRef* ref)
{
    if (!ref || !spec.parent.startsWith('/') || spec.name.contains('/') || spec.name == "." || spec.name == "..")
        return paramErr;
    if (spec.name.isEmpty())
        return spec.parent == "/" ? FSPathMakeRef(spec.parent, ref) : OSErr(paramErr);
    QByteArray path = spec.parent;
    if (!path.endsWith('/'))
        path += '/';
    return FSPathMakeRef(path + spec.name, ref);
}

OSErr FSRefMakeFSSpec(const FSRef& ref, FSSpec* spec)
{
    if (!spec || ref.isNull())
        return paramErr;
    spec->parent = ref.parentPath().toByteArray();
    spec->name = ref.nameBytes().toByteArray();
    if (spec->parent.isEmpty())
        spec->parent = "/";
    return noErr;
}
