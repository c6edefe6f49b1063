#include "renaming/DateOrder.h"

#include <algorithm>
#include <numeric>

QList<PhotoDate> ReadItemDates(const QList<FSRef>& items, ItemDate which, const PhotoDateReading& reading)
{
    QList<QByteArray> paths;
    paths.reserve(items.size());
    for (const FSRef& item : items)
        paths.append(item.path);
    return which == ItemDate::Taken ? ReadPhotoDates(paths, reading) : ReadModificationTimes(paths, reading);
}

std::vector<qsizetype> DateOrder(const QList<PhotoDate>& dates)
{
    std::vector<qsizetype> order(size_t(dates.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&dates](qsizetype a, qsizetype b) {
        const PhotoDate& x = dates[a];
        const PhotoDate& y = dates[b];
        if (x.isValid() != y.isValid())
            return x.isValid();
        return x.isValid() && (x.seconds != y.seconds ? x.seconds < y.seconds : x.nanoseconds < y.nanoseconds);
    });
    return order;
}

bool SortByDate(QList<FSRef>& items, ItemDate which, const PhotoDateReading& reading)
{
    const QList<PhotoDate> dates = ReadItemDates(items, which, reading);
    if (reading.cancel && reading.cancel->load())
        return false;
    QList<FSRef> sorted;
    sorted.reserve(items.size());
    for (qsizetype i : DateOrder(dates))
        sorted.append(std::move(items[i]));
    items = std::move(sorted);
    return true;
}
