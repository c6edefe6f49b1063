#include "app/DirectoryItems.h"

#include "platform/Collation.h"
#include "platform/NameCodec.h"
#include "platform/Parallel.h"

std::optional<QList<FSRef>> GetDirectoryItemsList(const FSRef& folder, long* count, int* sysErrno,
                                                  ItemDetail detail)
{
    if (sysErrno)
        *sysErrno = 0;
    QList<FSRef> items;
    if (FSGetDirectoryItems(folder, &items, nullptr, sysErrno, detail) != noErr)
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
        const OSErr status = FSGetFinderInfo(item, &info);
        if (status == noErr && (info.finderFlags() & kIsInvisible))
            return true;
        if (status == fnfErr)
            return true;   // gone since the folder was read: nothing to show
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
    // Only paths come out of here, so the children's identities are not read.
    std::optional<QList<FSRef>> items = GetDirectoryItemsList(folder, &count, &error, ItemDetail::NameAndType);
    if (sysErrno)
        *sysErrno = error;
    if (!items)
        return error ? OSErrFromErrno(error) : OSErr(noErr);

    // Reading each item's Finder information is a system call per item; on large folders
    // it is most of the work, so it runs in parallel, as does decoding the paths.
    const QSet<QByteArray> hidden = ReadHiddenNames(folder);
    FSRef* refs = items->data();
    QStringList decoded(items->size());
    QString* out = decoded.data();
    ParallelFor(items->size(), [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            if (!IsInvisible(refs[i], &hidden))
                out[i] = DecodeFileName(refs[i].path);
            refs[i].path = QByteArray();   // each path is held once, not twice, at the peak
        }
    });
    decoded.removeIf([](const QString& path) { return path.isNull(); });
    *paths = std::move(decoded);
    items.reset();
    SortCFMutableArrayOfCFStringsLikeTheFinder(*paths);
    return noErr;
}
