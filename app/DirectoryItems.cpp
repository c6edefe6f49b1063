#include "app/DirectoryItems.h"

#include "platform/Collation.h"
#include "platform/NameCodec.h"

std::optional<QList<FSRef>> GetDirectoryItemsList(const FSRef& folder, long* count, int* sysErrno)
{
    if (sysErrno)
        *sysErrno = 0;
    QList<FSRef> items;
    if (FSGetDirectoryItems(folder, &items, nullptr, sysErrno) != noErr)
        return std::nullopt;
    if (count)
        *count = long(items.size());
    if (items.isEmpty())
        return std::nullopt;
    return items;
}

bool IsInvisible(const FSRef& item, const QSet<QByteArray>* hiddenNames)
{
    const QByteArrayView name = item.nameBytes();
    if (name.startsWith('.'))
        return true;
    // The Finder flag hides files only; a folder is shown whatever its flag says.
    if (!item.isDirectory()) {
        FinderInfo info;
        if (FSGetFinderInfo(item, &info) == noErr && (info.finderFlags() & kIsInvisible))
            return true;
    }
    if (hiddenNames)
        return !hiddenNames->isEmpty() && hiddenNames->contains(name.toByteArray());
    FSRef parent;
    if (FSPathMakeRef(item.parentPath(), &parent) != noErr)
        return false;
    return ReadHiddenNames(parent).contains(name.toByteArray());
}

void SortCFMutableArrayOfCFStringsLikeTheFinder(QStringList& array)
{
    FinderOrder::sort(array);
}

int CompareLikeTheFinder(const QString& a, const QString& b, void* /*context*/)
{
    return FinderOrder::compare(a, b);
}

OSErr ListDirectoryItems(const FSRef& folder, QStringList* paths, int* sysErrno)
{
    paths->clear();
    long count = 0;
    int error = 0;
    std::optional<QList<FSRef>> items = GetDirectoryItemsList(folder, &count, &error);
    if (sysErrno)
        *sysErrno = error;
    if (!items)
        return error ? OSErrFromErrno(error) : OSErr(noErr);

    const QSet<QByteArray> hidden = ReadHiddenNames(folder);
    paths->reserve(items->size());
    for (const FSRef& item : std::as_const(*items)) {
        // The references were made by lstat a moment ago; an item that vanished since is
        // left out by the invisibility read failing quietly or by the next reload.
        if (IsInvisible(item, &hidden))
            continue;
        paths->append(DecodeFileName(item.path));
    }
    items.reset();
    SortCFMutableArrayOfCFStringsLikeTheFinder(*paths);
    return noErr;
}
