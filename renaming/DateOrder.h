#pragma once
// Arranging a folder's items by a date: when each was last modified, or when each photo
// was taken (see platform/PhotoDates.h). The window's View ▸ Arrange By and
// ordinello-cli rename --order-by both arrange through here.

#include "platform/Files.h"
#include "platform/PhotoDates.h"

#include <QList>

#include <vector>

enum class ItemDate : std::uint8_t {
    Modified,   // the item's content modification time
    Taken,      // Exif DateTimeOriginal, else DateTimeDigitized, else the modification time
};

// The items' dates, in the same order, read in parallel with progress and cancel; an item
// that is gone, or was not read before a cancel, has no date (source None).
QList<PhotoDate> ReadItemDates(const QList<FSRef>& items, ItemDate which, const PhotoDateReading& reading = {});

// The date order, earliest first, as positions into dates: items with equal dates keep
// the order they are given in (their file manager's order, or the order arranged so far),
// and items without a date follow all others in that order.
std::vector<qsizetype> DateOrder(const QList<PhotoDate>& dates);

// Both: the items put into their date order. False, the items left as they were, when
// the reading was cancelled.
bool SortByDate(QList<FSRef>& items, ItemDate which, const PhotoDateReading& reading = {});
