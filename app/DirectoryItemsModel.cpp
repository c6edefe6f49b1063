#include "app/DirectoryItemsModel.h"

#include "app/ItemImages.h"
#include "platform/NameCodec.h"
#include "renaming/ArrangedOrder.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>
#include <unistd.h>

namespace {

// The payload names its source, so a drag from another Ordinello window, whose row
// numbers mean other items, is refused instead of moving the wrong rows here.
QByteArray encodeRows(const QList<int>& rows, const void* source)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint64(::getpid()) << quintptr(source) << rows;
    return bytes;
}

bool decodeRows(const QByteArray& bytes, const void* expectedSource, QList<int>* rows)
{
    QDataStream in(bytes);
    qint64 pid = 0;
    quintptr source = 0;
    in >> pid >> source >> *rows;
    return in.status() == QDataStream::Ok && pid == ::getpid() && source == quintptr(expectedSource);
}

} // namespace

DirectoryItemsModel::DirectoryItemsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

QString DirectoryItemsModel::columnIdentifier(int column)
{
    switch (column) {
    case IndexColumn: return QStringLiteral("Index");
    case IconColumn: return QStringLiteral("Icon");
    case NameColumn: return QStringLiteral("Name");
    default: return {};
    }
}

FSRef DirectoryItemsModel::identity(int row) const
{
    return row >= 0 && row < m_paths.size() ? m_identities.value(m_paths.at(row)) : FSRef();
}

QList<FSRef> DirectoryItemsModel::listedReferences() const
{
    return listedReferencesLater()();
}

std::function<QList<FSRef>()> DirectoryItemsModel::listedReferencesLater() const
{
    return [paths = m_paths, identities = m_identities] {
        QList<FSRef> refs;
        refs.reserve(paths.size());
        for (const QString& path : paths) {
            FSRef ref = identities.value(path);
            if (ref.isNull()) {
                ref.path = EncodeFileName(path);
                ref.device = dev_t(-1);
                ref.inode = ino_t(-1);
            }
            refs.append(std::move(ref));
        }
        return refs;
    };
}

void DirectoryItemsModel::setListing(QStringList paths, QList<FSRef> refs)
{
    QHash<QString, FSRef> identities;
    identities.reserve(refs.size());
    for (qsizetype i = 0; i < refs.size() && i < paths.size(); ++i)
        identities.insert(paths.at(i), std::move(refs[i]));
    setListing(std::move(paths), std::move(identities));
}

void DirectoryItemsModel::setListing(QStringList paths, QHash<QString, FSRef> identities)
{
    beginResetModel();
    m_paths = std::move(paths);
    m_identities = std::move(identities);
    endResetModel();
}

bool DirectoryItemsModel::mergeListing(const QStringList& freshPaths, const QList<FSRef>& freshRefs)
{
    // Each listed row finds its item again by identity (renamed outside: same object,
    // new name), else by name; the engine's rule, as for an order kept across runs.
    const QList<FSRef> rows = listedReferences();
    QStringList paths;
    QList<FSRef> refs;
    paths.reserve(freshRefs.size());
    refs.reserve(freshRefs.size());
    for (qsizetype i : ArrangeLike(rows, freshRefs)) {
        paths.append(freshPaths[i]);
        refs.append(freshRefs[i]);
    }
    if (paths == m_paths)
        return false;   // nothing a row shows has changed
    setListing(std::move(paths), std::move(refs));
    return true;
}

void DirectoryItemsModel::setItemImages(ItemImages* images)
{
    if (m_itemImages)
        disconnect(m_itemImages, nullptr, this, nullptr);
    m_itemImages = images;
    if (!images)
        return;
    connect(images, &ItemImages::imageReady, this, [this](const QString& path) {
        const int row = int(m_paths.indexOf(path));
        if (row >= 0)
            Q_EMIT dataChanged(index(row, IconColumn), index(row, IconColumn), {Qt::DecorationRole});
    });
}

QVariant DirectoryItemsModel::objectValue(const QString& identifier, int row) const
{
    if (row < 0 || row >= m_paths.size())
        return {};
    const QString& path = m_paths.at(row);
    if (identifier == u"Name") {
        // The name the item was listed with: a row never goes blank because the item was
        // renamed or removed outside since (the folder is re-read soon after).
        return DisplayFileName(QStringView(path).sliced(path.lastIndexOf(u'/') + 1));
    }
    if (identifier == u"Icon")
        return m_itemImages ? m_itemImages->imageWithPreviewOfFileAtPath(path, QSize(512, 512), true) : QVariant();
    if (identifier == u"Index")
        return row + 1;
    return {};
}

int DirectoryItemsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_paths.size());
}

int DirectoryItemsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DirectoryItemsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    switch (index.column()) {
    case IndexColumn:
        if (role == Qt::DisplayRole)
            return objectValue(QStringLiteral("Index"), row);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case IconColumn:
        if (role == Qt::DecorationRole)
            return objectValue(QStringLiteral("Icon"), row);
        break;
    case NameColumn:
        if (role == Qt::DisplayRole)
            return objectValue(QStringLiteral("Name"), row);
        if (role == Qt::ToolTipRole)
            return DisplayFileName(m_paths.at(row));
        break;
    }
    return {};
}

QVariant DirectoryItemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == NameColumn)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);   // as the names stand
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    // The window's texts: translated with the controller's.
    switch (section) {
    case IndexColumn: return QCoreApplication::translate("OrdinelloController", "#");
    case IconColumn: return QCoreApplication::translate("OrdinelloController", "Preview");
    case NameColumn: return QCoreApplication::translate("OrdinelloController", "Name");
    default: return {};
    }
}

Qt::ItemFlags DirectoryItemsModel::flags(const QModelIndex& index) const
{
    // Only the root accepts drops, so a drop always lands between rows.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    // Bounds only: the header asks this of every selected row whenever it is drawn.
    if (index.model() != this || index.row() >= m_paths.size() || index.column() >= ColumnCount)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList DirectoryItemsModel::mimeTypes() const
{
    return {QString::fromLatin1(MyPrivateTableViewDataType)};
}

QMimeData* DirectoryItemsModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    rows.reserve(indexes.size());
    for (const QModelIndex& index : indexes) {
        if (index.isValid())
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MyPrivateTableViewDataType), encodeRows(rows, this));
    return data;
}

bool DirectoryItemsModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                          const QModelIndex& parent) const
{
    return data && data->hasFormat(QString::fromLatin1(MyPrivateTableViewDataType)) && !parent.isValid();
}

bool DirectoryItemsModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                       const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    QList<int> rows;
    if (!decodeRows(data->data(QString::fromLatin1(MyPrivateTableViewDataType)), this, &rows))
        return false;
    return moveRows(std::move(rows), row < 0 ? int(m_paths.size()) : row);
}

Qt::DropActions DirectoryItemsModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions DirectoryItemsModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

bool DirectoryItemsModel::moveRows(QList<int> rows, int r)
{
    const int n = int(m_paths.size());
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty() || rows.first() < 0 || rows.last() >= n || r < 0 || r > n)
        return false;

    Q_EMIT rowsAboutToBeGathered();
    // The rows end up together, in their previous order, before the item now at row r.
    const int before = int(std::lower_bound(rows.begin(), rows.end(), r) - rows.begin());
    const int insertAt = r - before;
    const int count = int(rows.size());
    if (rows.last() - rows.first() == count - 1) {
        // Adjacent rows move as one block, told to the views as a move.
        moveRows(QModelIndex(), rows.first(), count, QModelIndex(), r);
    } else {
        // Rows apart from each other: gathered in one pass over the list.
        QList<int> order;
        order.reserve(n);
        for (int i = 0, next = 0; i < n; ++i) {
            if (next < count && rows[next] == i) {
                ++next;
                continue;
            }
            if (order.size() == insertAt)
                order += rows;
            order.append(i);
        }
        if (order.size() < n)
            order += rows;
        reorder(order);
    }
    Q_EMIT rowsGathered(insertAt, count);
    return true;
}

bool DirectoryItemsModel::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                                   const QModelIndex& destinationParent, int destinationChild)
{
    const int n = int(m_paths.size());
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0
        || sourceRow + count > n || destinationChild < 0 || destinationChild > n)
        return false;
    // Onto itself: nothing moves (the views are not told of a move).
    if (destinationChild >= sourceRow && destinationChild <= sourceRow + count)
        return true;
    if (!beginMoveRows(sourceParent, sourceRow, sourceRow + count - 1, destinationParent, destinationChild))
        return false;
    // Swapping strings moves no characters and touches no reference counts.
    auto first = m_paths.begin() + sourceRow;
    auto last = first + count;
    if (count == 1)
        MoveArrayItem(m_paths, sourceRow, (destinationChild > sourceRow ? destinationChild - 1 : destinationChild) - sourceRow);
    else if (destinationChild < sourceRow)
        std::rotate(m_paths.begin() + destinationChild, first, last);
    else
        std::rotate(first, last, m_paths.begin() + destinationChild);
    endMoveRows();
    indexesChanged(std::min(sourceRow, destinationChild), std::max(sourceRow + count, destinationChild) - 1);
    return true;
}

void DirectoryItemsModel::reorder(const QList<int>& oldRowForNewRow)
{
    const int n = int(m_paths.size());
    Q_ASSERT(oldRowForNewRow.size() == n);
    if (oldRowForNewRow.size() != n)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> newRowForOldRow(n);
    QStringList reordered(n);
    QString* old = m_paths.data();   // detached once; the strings are moved, not copied
    for (int newRow = 0; newRow < n; ++newRow) {
        const int oldRow = oldRowForNewRow[newRow];
        newRowForOldRow[oldRow] = newRow;
        reordered[newRow] = std::move(old[oldRow]);
    }
    m_paths = std::move(reordered);
    // Each persistent index goes to its row's new place: one lookup each.
    const QModelIndexList persistent = persistentIndexList();
    if (!persistent.isEmpty()) {
        QModelIndexList updated;
        updated.reserve(persistent.size());
        for (const QModelIndex& index : persistent)
            updated.append(createIndex(newRowForOldRow[index.row()], index.column()));
        changePersistentIndexList(persistent, updated);
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    indexesChanged(0, n - 1);
}

void DirectoryItemsModel::indexesChanged(int first, int last)
{
    if (first <= last)
        Q_EMIT dataChanged(index(first, IndexColumn), index(last, IndexColumn), {Qt::DisplayRole});
}
