#include "renaming/DirectoryItems.h"

#include "platform/Collation.h"
#include "platform/NameCodec.h"
#include "platform/Parallel.h"

#include <QHash>

#include <fcntl.h>
#include <sys/stat.h>

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
// each other, so they run in parallel. Children among `known` (listed visible before, and
// renamed by a run since: their identity is known) are not read again. With
// companionNames, also gives the names that begin with "._" (AppleDouble files, hidden
// themselves).
OSErr visibleItems(const FSRef& folder, ItemDetail detail, QList<FSRef>* visible, int* sysErrno,
                   QSet<QByteArray>* companionNames = nullptr, const QList<FSRef>* known = nullptr)
{
    visible->clear();
    int error = 0;
    // With known items, the folder read gives names and types; the rest is read below.
    std::optional<QList<FSRef>> items =
        GetDirectoryItemsList(folder, nullptr, &error, known ? ItemDetail::NameAndType : detail);
    if (sysErrno)
        *sysErrno = error;
    if (!items)
        return error ? OSErrFromErrno(error) : OSErr(noErr);

    QHash<QByteArrayView, const FSRef*> knownByName;
    if (known) {
        knownByName.reserve(known->size());
        for (const FSRef& ref : *known)
            knownByName.insert(ref.nameBytes(), &ref);
    }
    const QSet<QByteArray> hidden = ReadHiddenNames(folder);
    FSRef* refs = items->data();
    if (companionNames) {
        for (qsizetype i = 0; i < items->size(); ++i) {
            if (refs[i].nameBytes().startsWith("._"))
                companionNames->insert(refs[i].nameBytes().toByteArray());
        }
    }
    ParallelFor(items->size(), [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            FSRef& ref = refs[i];
            if (known) {
                // A journal's references carry no file type: the folder read's is taken.
                const FSRef* was = knownByName.value(ref.nameBytes());
                if (was && (was->mode == 0 || (was->mode & S_IFMT) == (ref.mode & S_IFMT))) {
                    QByteArray path = std::move(ref.path);
                    const mode_t mode = was->mode ? was->mode : ref.mode;
                    ref = *was;
                    ref.path = std::move(path);
                    ref.mode = mode;
                    // Only what the name decides can have changed its visibility.
                    if (ref.nameBytes().startsWith('.') || hidden.contains(ref.nameBytes().toByteArray()))
                        ref = FSRef();
                    continue;
                }
                if (detail == ItemDetail::Identity && ReadObjectIdentity(AT_FDCWD, ref.path.constData(), &ref) != 0) {
                    ref = FSRef();   // gone since the folder was read
                    continue;
                }
            }
            if (IsInvisible(ref, &hidden))
                ref = FSRef();
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

// Puts the list into the order given as positions (order[k]: the position of the element
// that goes to k), in place, one cycle of the permutation after another. Uses up order.
void permute(QList<FSRef>& list, std::vector<qsizetype>& order)
{
    FSRef* items = list.data();
    for (qsizetype start = 0; start < qsizetype(order.size()); ++start) {
        if (order[size_t(start)] < 0 || order[size_t(start)] == start)
            continue;
        FSRef saved = std::move(items[start]);
        qsizetype at = start;
        for (;;) {
            const qsizetype from = order[size_t(at)];
            order[size_t(at)] = -1;
            if (from == start) {
                items[at] = std::move(saved);
                break;
            }
            items[at] = std::move(items[from]);
            at = from;
        }
    }
}

} // namespace

namespace {

// The visible items in the order asked for; the file manager's order sorts by the names'
// bytes (see FinderOrder::sortedOrderOfNames), the one sort both listings use.
OSErr listVisible(const FSRef& folder, ItemDetail detail, ListOrder order, QList<FSRef>* items, int* sysErrno,
                  QSet<QByteArray>* companionNames, const QList<FSRef>* known = nullptr)
{
    const OSErr status = visibleItems(folder, detail, items, sysErrno, companionNames, known);
    if (status != noErr || order != ListOrder::FileManager)
        return status;
    const FSRef* refs = items->constData();
    std::vector<qsizetype> sorted =
        FinderOrder::sortedOrderOfNames(items->size(), [refs](qsizetype i) { return refs[i].nameBytes(); });
    permute(*items, sorted);
    return noErr;
}

} // namespace

OSErr ListDirectoryItems(const FSRef& folder, QStringList* paths, int* sysErrno)
{
    paths->clear();
    // Only paths come out of here, so the children's identities are not read.
    QList<FSRef> items;
    const OSErr status = listVisible(folder, ItemDetail::NameAndType, ListOrder::FileManager, &items, sysErrno, nullptr);
    if (status == noErr)
        *paths = decodedPaths(items, true);
    return status;
}

OSErr ListDirectoryItemRefs(const FSRef& folder, QList<FSRef>* items, ListOrder order, int* sysErrno,
                            QStringList* paths, QSet<QByteArray>* companionNames, const QList<FSRef>* known)
{
    items->clear();
    if (paths)
        paths->clear();
    if (companionNames)
        companionNames->clear();
    const OSErr status = listVisible(folder, ItemDetail::Identity, order, items, sysErrno, companionNames, known);
    if (status == noErr && paths)
        *paths = decodedPaths(*items, false);
    return status;
}
