// The item table's drag reordering, keyboard moves and row actions.

#include "app/OrdinelloController.h"

#include "app/NSTableViewExtensions.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDataStream>
#include <QIODevice>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <numeric>
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

bool isContiguous(const QList<int>& sortedRows)
{
    return sortedRows.isEmpty() || sortedRows.last() - sortedRows.first() == sortedRows.size() - 1;
}

} // namespace

Qt::ItemFlags OrdinelloController::flags(const QModelIndex& index) const
{
    // Only the root accepts drops, so a drop always lands between rows.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList OrdinelloController::mimeTypes() const
{
    return {QString::fromLatin1(MyPrivateTableViewDataType)};
}

QMimeData* OrdinelloController::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && !rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MyPrivateTableViewDataType), encodeRows(rows, this));
    return data;
}

bool OrdinelloController::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                          const QModelIndex& parent) const
{
    return data && data->hasFormat(QString::fromLatin1(MyPrivateTableViewDataType)) && !parent.isValid();
}

bool OrdinelloController::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                       const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    QList<int> rows;
    if (!decodeRows(data->data(QString::fromLatin1(MyPrivateTableViewDataType)), this, &rows))
        return false;
    return moveRows(rows, row < 0 ? int(m_directoryItems.size()) : row);
}

Qt::DropActions OrdinelloController::supportedDropActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions OrdinelloController::supportedDragActions() const
{
    return Qt::MoveAction;
}

bool OrdinelloController::moveRows(QList<int> rows, int r)
{
    const int n = int(m_directoryItems.size());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty() || rows.first() < 0 || rows.last() >= n || r < 0 || r > n)
        return false;

    // The rows end up together, in their previous order, before the item now at row r.
    // Adjacent rows move as one block, told to the views as a move.
    const int before = int(std::lower_bound(rows.begin(), rows.end(), r) - rows.begin());
    const int insertAt = r - before;
    if (isContiguous(rows)) {
        moveRows(QModelIndex(), rows.first(), int(rows.size()), QModelIndex(), r);
    } else {
        // Rows apart from each other: gathered in one pass over the list.
        QList<bool> dragged(n, false);
        for (int row : std::as_const(rows))
            dragged[row] = true;
        QList<int> order;
        order.reserve(n);
        for (int i = 0, kept = 0; i < n; ++i) {
            if (dragged[i])
                continue;
            if (kept++ == insertAt)
                order += rows;
            order.append(i);
        }
        if (order.size() < n)
            order += rows;
        reorder(order);
    }
    QList<int> selection(rows.size());
    std::iota(selection.begin(), selection.end(), insertAt);
    selectRows(selection);
    return true;
}

bool OrdinelloController::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                                   const QModelIndex& destinationParent, int destinationChild)
{
    const int n = int(m_directoryItems.size());
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0
        || sourceRow + count > n || destinationChild < 0 || destinationChild > n)
        return false;
    // Onto itself: nothing moves (the views are not told of a move).
    if (destinationChild >= sourceRow && destinationChild <= sourceRow + count)
        return true;
    if (!beginMoveRows(sourceParent, sourceRow, sourceRow + count - 1, destinationParent, destinationChild))
        return false;
    auto first = m_directoryItems.begin() + sourceRow;
    auto last = first + count;
    if (destinationChild < sourceRow)
        std::rotate(m_directoryItems.begin() + destinationChild, first, last);
    else
        std::rotate(first, last, m_directoryItems.begin() + destinationChild);
    endMoveRows();
    // The Index column shows positions: the rows between the two places changed number.
    const int low = std::min(sourceRow, destinationChild);
    const int high = std::max(sourceRow + count, destinationChild) - 1;
    Q_EMIT dataChanged(index(low, IndexColumn), index(high, IndexColumn), {Qt::DisplayRole});
    return true;
}

void OrdinelloController::moveSelectedRows(Move move)
{
    const QList<int> rows = selectedRows();
    const int n = int(m_directoryItems.size());
    if (rows.isEmpty())
        return;
    QList<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    QList<bool> selected(n, false);
    for (int r : rows)
        selected[r] = true;

    switch (move) {
    case Move::Up:
        // Each selected row steps over the unselected row above it; a block at the top stays.
        for (int i = 1; i < n; ++i) {
            if (selected[i] && !selected[i - 1]) {
                std::swap(order[i], order[i - 1]);
                std::swap(selected[i], selected[i - 1]);
            }
        }
        break;
    case Move::Down:
        for (int i = n - 2; i >= 0; --i) {
            if (selected[i] && !selected[i + 1]) {
                std::swap(order[i], order[i + 1]);
                std::swap(selected[i], selected[i + 1]);
            }
        }
        break;
    case Move::ToTop:
    case Move::ToBottom: {
        QList<int> moved;
        QList<int> rest;
        for (int i = 0; i < n; ++i)
            (selected[i] ? moved : rest).append(i);
        order = move == Move::ToTop ? moved + rest : rest + moved;
        break;
    }
    }

    reorder(order);
    QList<int> newRowForOldRow(n);
    for (int newRow = 0; newRow < n; ++newRow)
        newRowForOldRow[order[newRow]] = newRow;
    QList<int> selection;
    selection.reserve(rows.size());
    for (int oldRow : rows)
        selection.append(newRowForOldRow[oldRow]);
    selectRows(selection);
    if (fileTable && !selection.isEmpty())
        fileTable->scrollTo(index(*std::min_element(selection.begin(), selection.end()), NameColumn));
}

void OrdinelloController::reorder(const QList<int>& oldRowForNewRow)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> newRowForOldRow(oldRowForNewRow.size());
    QStringList reordered;
    reordered.reserve(m_directoryItems.size());
    for (int newRow = 0; newRow < oldRowForNewRow.size(); ++newRow) {
        newRowForOldRow[oldRowForNewRow[newRow]] = newRow;
        reordered.append(m_directoryItems.at(oldRowForNewRow[newRow]));
    }
    m_directoryItems = std::move(reordered);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList updated;
    updated.reserve(persistent.size());
    for (const QModelIndex& old : persistent)
        updated.append(index(newRowForOldRow[old.row()], old.column()));
    changePersistentIndexList(persistent, updated);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    // The Index column shows positions: every row's number may have changed.
    if (!m_directoryItems.isEmpty())
        Q_EMIT dataChanged(index(0, IndexColumn), index(rowCount() - 1, IndexColumn), {Qt::DisplayRole});
}

void OrdinelloController::selectRows(const QList<int>& rows)
{
    if (!fileTable || !fileTable->selectionModel())
        return;
    // One range per run of adjacent rows: a range per row makes selecting thousands of
    // rows slow in the selection model.
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    QItemSelection selection;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] <= sorted[j] + 1)
            ++j;
        selection.append(QItemSelectionRange(index(sorted[i], 0), index(sorted[j], ColumnCount - 1)));
        i = j + 1;
    }
    QItemSelectionModel* model = fileTable->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        model->setCurrentIndex(index(rows.first(), NameColumn), QItemSelectionModel::NoUpdate);
}

QList<int> OrdinelloController::selectedRows() const
{
    QList<int> rows;
    if (!fileTable || !fileTable->selectionModel())
        return rows;
    for (const QModelIndex& index : fileTable->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList OrdinelloController::pathsForRows(const QList<int>& rows) const
{
    QStringList paths;
    for (int row : rows) {
        if (row >= 0 && row < m_directoryItems.size())
            paths.append(m_directoryItems.at(row));
    }
    return paths;
}

void OrdinelloController::openSelectedItems()
{
    for (const QString& path : pathsForRows(selectedRows())) {
        QString reason;
        if (LaunchDefaultForPath(EncodeFileName(path), &reason) != noErr) {
            Q_EMIT errorOccurred(tr("“%1” could not be opened: %2")
                                     .arg(DisplayFileName(QStringView(path).sliced(path.lastIndexOf(u'/') + 1)), reason));
            return;
        }
    }
}

void OrdinelloController::showSelectedItemsInFileManager()
{
    const QStringList paths = pathsForRows(selectedRows());
    QStringList uris;
    for (const QString& path : paths)
        uris.append(QString::fromLatin1(FileUrlFromPath(path).toEncoded()));
    // Opening the folder itself, where no file manager can select the items in it.
    const auto openFolder = [this](const QString& folder) {
        QString reason;
        if (!folder.isEmpty() && LaunchDefaultForPath(EncodeFileName(folder), &reason) != noErr)
            Q_EMIT errorOccurred(tr("The folder “%1” could not be shown: %2").arg(DisplayFileName(folder), reason));
    };
    if (uris.isEmpty()) {
        openFolder(m_folderPath);
        return;
    }
    // The freedesktop file-manager interface selects the items in their folder; where no
    // file manager offers it, the folder itself is opened.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    const QString folder = m_folderPath;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [folder, openFolder](QDBusPendingCallWatcher* w) {
        if (w->isError())
            openFolder(folder);
        w->deleteLater();
    });
}
