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

    // The order is worked out on row numbers, then applied to the list in one step.
    QList<int> order(n);
    std::iota(order.begin(), order.end(), 0);

    if (isContiguous(rows)) {
        // One row or a run of adjacent rows: move each by the offset of the first, the
        // remaining rows re-mapped after each move.
        const int f = rows.first();
        const int d = f < r ? r - 1 : r;
        const int k = d - f;
        QList<int> remaining = rows;
        while (!remaining.isEmpty()) {
            const int i = remaining.takeFirst();
            MoveArrayItem(order, i, k);
            for (int& j : remaining)
                j = j > d ? j : j - 1;
        }
    } else {
        // Rows apart from each other: the classic procedure would scatter them, so they
        // are gathered instead, in their previous order, before the item at row r.
        QList<int> moved;
        QList<int> rest;
        for (int i = 0; i < n; ++i)
            (std::binary_search(rows.begin(), rows.end(), i) ? moved : rest).append(i);
        const auto before = std::lower_bound(rows.begin(), rows.end(), r) - rows.begin();
        const int insertAt = r - int(before);
        order = rest.mid(0, insertAt) + moved + rest.mid(insertAt);
    }

    reorder(order);
    QList<int> selection;
    for (int oldRow : std::as_const(rows))
        selection.append(int(order.indexOf(oldRow)));
    selectRows(selection);
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
    QList<int> selection;
    for (int oldRow : rows)
        selection.append(int(order.indexOf(oldRow)));
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
    QItemSelection selection;
    for (int row : rows)
        selection.select(index(row, 0), index(row, ColumnCount - 1));
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
