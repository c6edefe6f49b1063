// The item table's selection, keyboard moves and row actions.

#include "app/OrdinelloController.h"

#include "app/NSTableViewExtensions.h"
#include "platform/Bundle.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QItemSelectionModel>
#include <QUrl>

#include <algorithm>
#include <numeric>

void OrdinelloController::moveSelectedRows(Move move)
{
    const QList<int> rows = selectedRows();
    const int n = m_directoryItems->rowCount();
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

    clearSelection();   // replaced below; cheaper than carried through the move
    m_directoryItems->reorder(order);
    arrangedOrderChanged();
    QList<int> newRowForOldRow(n);
    for (int newRow = 0; newRow < n; ++newRow)
        newRowForOldRow[order[newRow]] = newRow;
    QList<int> selection;
    selection.reserve(rows.size());
    for (int oldRow : rows)
        selection.append(newRowForOldRow[oldRow]);
    selectRows(selection);
    if (fileTable && !selection.isEmpty())
        fileTable->scrollTo(m_directoryItems->index(*std::min_element(selection.begin(), selection.end()),
                                                    DirectoryItemsModel::NameColumn));
}

void OrdinelloController::clearSelection()
{
    if (QItemSelectionModel* selection = fileTable ? fileTable->selectionModel() : nullptr)
        selection->clearSelection();
}

void OrdinelloController::selectRows(const QList<int>& rows)
{
    if (!fileTable || !fileTable->selectionModel())
        return;
    // One range per run of adjacent rows: a range per row makes selecting thousands of
    // rows slow in the selection model.
    QList<int> sorted = rows;
    if (!std::is_sorted(sorted.begin(), sorted.end()))
        std::sort(sorted.begin(), sorted.end());
    QItemSelection selection;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] <= sorted[j] + 1)
            ++j;
        selection.append(QItemSelectionRange(m_directoryItems->index(sorted[i], 0),
                                             m_directoryItems->index(sorted[j], DirectoryItemsModel::ColumnCount - 1)));
        i = j + 1;
    }
    QItemSelectionModel* model = fileTable->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        model->setCurrentIndex(m_directoryItems->index(rows.first(), DirectoryItemsModel::NameColumn),
                               QItemSelectionModel::NoUpdate);
}

QList<QPair<int, int>> OrdinelloController::selectedRowSpans() const
{
    QList<QPair<int, int>> spans;
    if (!fileTable || !fileTable->selectionModel())
        return spans;
    // Read from the selection's ranges: whole rows are selected in this table, and asking
    // the selection model row by row costs a copy of its ranges for every row. The ranges
    // come in the order they were selected and may overlap or touch.
    const QItemSelection selection = fileTable->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        if (range.isValid() && !range.parent().isValid())
            spans.append({range.top(), range.bottom()});
    }
    std::sort(spans.begin(), spans.end());
    qsizetype merged = 0;
    for (qsizetype i = 1; i < spans.size(); ++i) {
        if (spans[i].first <= spans[merged].second + 1)
            spans[merged].second = std::max(spans[merged].second, spans[i].second);
        else
            spans[++merged] = spans[i];
    }
    spans.resize(spans.isEmpty() ? 0 : merged + 1);
    return spans;
}

QList<int> OrdinelloController::selectedRows() const
{
    const QList<QPair<int, int>> spans = selectedRowSpans();
    qsizetype count = 0;
    for (const auto& span : spans)
        count += span.second - span.first + 1;
    QList<int> rows(count);
    int* out = rows.data();
    for (const auto& span : spans) {
        for (int row = span.first; row <= span.second; ++row)
            *out++ = row;
    }
    return rows;
}

QStringList OrdinelloController::pathsForRows(const QList<int>& rows) const
{
    QStringList paths;
    const QStringList& items = m_directoryItems->paths();
    for (int row : rows) {
        if (row >= 0 && row < items.size())
            paths.append(items.at(row));
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
    // Opening the folder itself, where no file manager can select the items in it. Never
    // with this program, which offers to open folders too: that would only list the folder
    // in a second window over this one.
    const auto openFolder = [this](const QString& folder) {
        QString reason;
        if (!folder.isEmpty()
            && LaunchFileManagerForFolder(EncodeFileName(folder), Bundle::identifier().toUtf8() + ".desktop", &reason) != noErr)
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
    // Without a session bus (a bare X server, a remote session) the call never finishes.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [folder, openFolder](QDBusPendingCallWatcher* w) {
        if (w->isError())
            openFolder(folder);
        w->deleteLater();
    });
}
