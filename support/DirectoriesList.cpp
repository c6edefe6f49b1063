#include "support/DirectoriesList.h"

#include "fsobjects/ObjectNames.h"
#include "platform/NameCodec.h"
#include "support/CFile.h"

#include <QStringView>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.first(slash);
}

QString lastComponent(const QByteArray& path)
{
    if (path == "/")
        return QStringLiteral("/");
    return DecodeFileName(QByteArrayView(path).sliced(path.lastIndexOf('/') + 1));
}

bool sameDevice(const struct statx& a, const struct statx& b)
{
    return a.stx_dev_major == b.stx_dev_major && a.stx_dev_minor == b.stx_dev_minor;
}

bool isMountRoot(const struct statx& sx)
{
    return (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// Where the extension starts in the name (after its last dot), or -1: a dot that begins
// or ends the name makes no extension (".profile", "notes.").
qsizetype extensionStart(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot <= 0 || dot == name.size() - 1 ? -1 : dot + 1;
}

} // namespace

void ParsePath(const QString& path, CList<QString>& list)
{
    for (const QStringView piece : QStringView(path).split(u'/', Qt::SkipEmptyParts))
        list.append(piece.toString());
}

OSErr MakeDirectoriesList(const FSRef& item, CList<QString>& list)
{
    list.clear();
    if (item.isNull())
        return paramErr;
    if (!FSIsFSRefValid(&item))
        return fnfErr;
    // The walk is lexical, so the names are those of the item's path; each level is
    // examined (links followed) only to see where its mount begins.
    QByteArray path = CFile::IsADirectory(item) ? item.path : parentOf(item.path);
    struct statx current;
    if (::statx(AT_FDCWD, path.constData(), AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &current) != 0)
        return OSErrFromErrno(errno);
    for (;;) {
        bool top = path == "/" || isMountRoot(current);
        struct statx parent{};
        if (!top) {
            if (::statx(AT_FDCWD, parentOf(path).constData(), AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &parent) != 0)
                return OSErrFromErrno(errno);
            top = !sameDevice(parent, current);
        }
        list.append(lastComponent(path));
        if (top)
            break;
        path = parentOf(path);
        current = parent;
    }
    list.reverse();
    return noErr;
}

void TrimDirectoriesList(CList<QString>& list, long count)
{
    for (long i = 0; i < count && !list.isEmpty(); ++i)
        list.remove(&list.head()->value);
}

bool DirectoriesListBeginsWithDirectoriesList(const CList<QString>& list, const CList<QString>& prefix)
{
    if (prefix.count() > list.count())
        return false;
    auto entry = list.begin();
    for (const QString& wanted : prefix) {
        if (wanted.compare(*entry, Qt::CaseInsensitive) != 0)
            return false;
        ++entry;
    }
    return true;
}

void DisposeDirectoriesList(CList<QString>& list)
{
    for (QString& entry : list)
        entry = QString();
}

OSErr MakeDirectory(const FSRef& parent, const CList<QString>& list, FSRef& folder)
{
    const FSRef* inside = &parent;
    FSRef reached;
    for (const QString& name : list) {
        FSRef next;
        const OSErr status = CFile::FSCreateDirectory(*inside, name, next);
        if (status != noErr)
            return status;
        reached = std::move(next);
        folder = reached;
        inside = &reached;
    }
    return noErr;
}

OSErr MakeFile(const FSRef& parent, const CList<QString>& list, const QString& name, FSRef& file)
{
    FSRef innermost = parent;
    if (!list.isEmpty()) {
        const OSErr status = MakeDirectory(parent, list, innermost);
        if (status != noErr)
            return status;
    }
    return CFile::FSCreateFile(innermost, name, 0, 0, file);
}

OSErr GetDirectoryFilesList(const FSRef& folder, CList<FSRef>& files)
{
    QList<FSRef> items;
    const OSErr status = FSGetDirectoryItems(folder, &items);
    if (status != noErr)
        return status;
    // The enumeration read each item's type with the same lstat CFile::IsAFile would make.
    for (const FSRef& item : std::as_const(items)) {
        if (!item.isDirectory())
            files.append(item);
    }
    return noErr;
}

void ChangeFilesSuffix(FSRef& item, const QString& oldSuffix, const QString& newSuffix)
{
    QString name = FSGetName(item);
    if (name.isNull())
        return;
    const qsizetype start = extensionStart(name);
    if (start < 0) {
        name += u'.' + newSuffix;
    } else if (QStringView(name).sliced(start).compare(oldSuffix, Qt::CaseInsensitive) == 0) {
        // The extension is the text after the last dot: its last occurrence is at the end.
        name.replace(start, name.size() - start, newSuffix);
    }
    FSRenameUnicode(&item, CutNameToNameMax(name));
}

QString SetFilesExtension(FSRef& item, const QString& extension)
{
    const QString name = FSGetName(item);
    if (name.isNull() || extensionStart(name) >= 0)
        return {};
    if (FSRenameUnicode(&item, CutNameToNameMax(name + extension)) != noErr)
        return {};
    return DecodeFileName(item.path);
}

QString SetFilesExtension(const QString& path, const QString& extension)
{
    FSRef item;
    if (FSPathMakeRef(EncodeFileName(path), &item) != noErr)
        return {};
    return SetFilesExtension(item, extension);
}

QString CutNameToNameMax(const QString& name)
{
    if (name.size() * 3 <= NAME_MAX)   // no UTF-16 unit takes more than three bytes
        return name;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const qsizetype length = name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate() ? 2 : 1;
        bytes += EncodeFileName(QStringView(name).sliced(i, length)).size();
        if (bytes > NAME_MAX)
            return name.left(i);
        i += length;
    }
    return name;
}
