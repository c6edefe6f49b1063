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

namespace {

// The folder's visible children. The per-item reads (identity, Finder information) are a
// system call or two per item, most of a large folder's listing time, and independent of
// each other, so they run in parallel.
OSErr visibleItems(const FSRef& folder, ItemDetail detail, QList<FSRef>* visible, int* sysErrno)
{
    visible->clear();
    long count = 0;
    int error = 0;
    std::optional<QList<FSRef>> items = GetDirectoryItemsList(folder, &count, &error, detail);
    if (sysErrno)
        *sysErrno = error;
    if (!items)
        return error ? OSErrFromErrno(error) : OSErr(noErr);

    const QSet<QByteArray> hidden = ReadHiddenNames(folder);
    FSRef* refs = items->data();
    ParallelFor(items->size(), [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            if (IsInvisible(refs[i], &hidden))
                refs[i] = FSRef();
        }
    });
    items->removeIf([](const FSRef& ref) { return ref.isNull(); });
    *visible = std::move(*items);
    return noErr;
}

// The items' paths as text, in parallel; with freePaths the references give up their
// path bytes as they go, so each path is held once, not twice, at the peak.
QStringList decodedPaths(QList<FSRef>& items, bool freePaths)
{
    QStringList decoded(items.size());
    QString* out = decoded.data();
    FSRef* refs = items.data();
    ParallelFor(items.size(), [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            out[i] = DecodeFileName(refs[i].path);
            if (freePaths)
                refs[i].path = QByteArray();
        }
    });
    return decoded;
}

template <typename List>
void permute(List& list, const std::vector<qsizetype>& order)
{
    List sorted;
    sorted.reserve(list.size());
    for (qsizetype index : order)
        sorted.append(std::move(list[index]));
    list = std::move(sorted);
}

} // namespace

OSErr ListDirectoryItems(const FSRef& folder, QStringList* paths, int* sysErrno)
{
    paths->clear();
    // Only paths come out of here, so the children's identities are not read.
    QList<FSRef> items;
    const OSErr status = visibleItems(folder, ItemDetail::NameAndType, &items, sysErrno);
    if (status != noErr)
        return status;
    *paths = decodedPaths(items, true);
    items = QList<FSRef>();
    SortCFMutableArrayOfCFStringsLikeTheFinder(*paths);
    return noErr;
}

OSErr ListDirectoryItemRefs(const FSRef& folder, QList<FSRef>* items, ListOrder order, int* sysErrno,
                            QStringList* paths)
{
    items->clear();
    if (paths)
        paths->clear();
    const OSErr status = visibleItems(folder, ItemDetail::Identity, items, sysErrno);
    if (status != noErr)
        return status;
    if (order == ListOrder::Enumeration && !paths)
        return noErr;
    QStringList decoded = decodedPaths(*items, false);
    if (order == ListOrder::FileManager) {
        // The very order the paths-only listing gives: both sort the same decoded paths.
        const std::vector<qsizetype> sorted = FinderOrder::sortedOrder(decoded);
        permute(*items, sorted);
        permute(decoded, sorted);
    }
    if (paths)
        *paths = std::move(decoded);
    return noErr;
}
