#include "app/ListedItems.h"

#include "app/DirectoryItems.h"
#include "platform/NameCodec.h"

#include <QHash>
#include <QStringList>

#include <optional>

OSErr ListDirectoryItemRefs(const FSRef& folder, QList<FSRef>* items, ListOrder order, int* sysErrno)
{
    items->clear();
    int error = 0;
    std::optional<QList<FSRef>> all = GetDirectoryItemsList(folder, nullptr, &error);
    if (sysErrno)
        *sysErrno = error;
    if (!all)
        return error ? OSErrFromErrno(error) : OSErr(noErr);

    const QSet<QByteArray> hidden = ReadHiddenNames(folder);
    items->reserve(all->size());
    for (FSRef& item : *all) {
        if (!IsInvisible(item, &hidden))
            items->append(std::move(item));
    }
    if (order == ListOrder::Enumeration || items->size() < 2)
        return noErr;

    // Sorted through the very function the window's listing uses, so both front ends
    // always agree on the order; the paths are distinct, so each finds its reference.
    QStringList paths;
    QHash<QString, qsizetype> position;
    paths.reserve(items->size());
    position.reserve(items->size());
    for (qsizetype i = 0; i < items->size(); ++i) {
        paths.append(DecodeFileName(items->at(i).path));
        position.insert(paths.last(), i);
    }
    SortCFMutableArrayOfCFStringsLikeTheFinder(paths);
    QList<FSRef> sorted;
    sorted.reserve(items->size());
    for (const QString& path : std::as_const(paths))
        sorted.append(std::move((*items)[position.value(path)]));
    *items = std::move(sorted);
    return noErr;
}
