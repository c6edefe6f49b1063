#pragma once
// The item table's rows: the listed items' paths in sequence order, the identity each
// had when the folder was read, and what each column shows. Row r is entry r of the
// list, which is also the position in the numbering. The model knows no window: the
// controller that owns it chooses the folder and keeps the selection.

#include "platform/Files.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class ItemImages;

// The private drag type: dragged rows travel under it, and only drags that carry it are
// accepted by the table.
inline constexpr char MyPrivateTableViewDataType[] = "application/x-ordinello-table-rows";

class DirectoryItemsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { IndexColumn, IconColumn, NameColumn, ColumnCount };
    // "Index", "Icon" and "Name": what each column shows is decided by its identifier.
    static QString columnIdentifier(int column);

    explicit DirectoryItemsModel(QObject* parent = nullptr);

    // The listed paths (lossless path text), in row order.
    const QStringList& paths() const { return m_paths; }
    // The identity the item at row had when the folder was read; null when unknown.
    FSRef identity(int row) const;
    // The references of the listed items, in list order: a run renames an item only while
    // its path still names the object that was listed. An item already gone when listed
    // gets an identity no object has, so a run reports it instead of renaming whatever
    // appears there later.
    QList<FSRef> listedReferences() const;
    // The same, made later on any thread: the listing is held as it is now (shared, not
    // copied), so a hundred thousand lookups need not hold up the window.
    std::function<QList<FSRef>()> listedReferencesLater() const;

    // Replaces the rows with a fresh listing (the views are reset).
    void setListing(QStringList paths, QList<FSRef> refs);
    void setListing(QStringList paths, QHash<QString, FSRef> identities);
    // Takes a fresh listing but keeps the arranged order: items still there (also when
    // renamed outside the program) keep their places, new items stand where the file
    // manager's order puts them among their neighbours. Returns false, and changes
    // nothing, when no row would show anything else.
    bool mergeListing(const QStringList& freshPaths, const QList<FSRef>& freshRefs);

    // Where the Icon column's pictures come from; none: the column stays empty.
    void setItemImages(ItemImages* images);
    ItemImages* itemImages() const { return m_itemImages; }

    // The cell value by column identifier: the display name, the picture, the 1-based index.
    QVariant objectValue(const QString& identifier, int row) const;

    // Moves the rows (any order, duplicates ignored) so they stand together, in their
    // previous order, before the item now at row r (r == count: at the end). Returns false
    // and changes nothing when a row is out of range. Tells rowsAboutToBeGathered first and
    // rowsGathered after, with where the rows now stand.
    bool moveRows(QList<int> rows, int r);
    // The model's own move of `count` adjacent rows to before destinationChild, told to the
    // views with beginMoveRows/endMoveRows.
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count, const QModelIndex& destinationParent,
                  int destinationChild) override;
    // Puts the rows in a new order: row i becomes the item that stood at oldRowForNewRow[i]
    // (a permutation of all rows). One layout change, persistent indexes following their
    // rows.
    void reorder(const QList<int>& oldRowForNewRow);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

Q_SIGNALS:
    // Rows dragged (or handed to moveRows) are about to be gathered; after it they stand
    // together at rows first .. first + count - 1.
    void rowsAboutToBeGathered();
    void rowsGathered(int first, int count);

private:
    // The Index column shows positions: the rows first..last changed number.
    void indexesChanged(int first, int last);

    QStringList m_paths;
    QHash<QString, FSRef> m_identities;   // path -> the identity it had when listed
    ItemImages* m_itemImages = nullptr;
};

// Moves one element by offset within the array; out-of-range targets leave it alone.
// Returns 0.
template <typename List>
long MoveArrayItem(List& array, long index, long offset)
{
    const long target = index + offset;
    const long n = long(array.size());
    if (target == index || index < 0 || index > n - 1 || target < 0 || target > n - 1)
        return 0;
    array.move(index, target);
    return 0;
}
