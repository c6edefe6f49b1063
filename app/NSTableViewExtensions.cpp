#include "app/NSTableViewExtensions.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>

TableView::TableView(QWidget* parent)
    : QTableView(parent)
{
    setDropIndicatorShown(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    verticalHeader()->hide();
}

QMenu* TableView::menuForEvent(const QPoint& viewportPos)
{
    const int row = rowAt(viewportPos.y());
    if (QItemSelectionModel* selection = selectionModel()) {
        if (row >= 0 && model()) {
            const QModelIndex index = model()->index(row, 0);
            selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        } else {
            selection->clearSelection();
        }
    }
    return m_menu;
}

void TableView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = nullptr;
    QPoint where = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard the selection stays; the menu opens at the current row.
        menu = m_menu;
        const QRect current = visualRect(currentIndex());
        if (current.isValid())
            where = viewport()->mapToGlobal(current.bottomLeft());
    } else {
        menu = menuForEvent(viewport()->mapFrom(this, event->pos()));
    }
    if (menu)
        menu->popup(where);
    event->accept();
}

void TableView::startDrag(Qt::DropActions supportedActions)
{
    // The model reorders the list itself when the rows are dropped; the default drag
    // would then remove the "moved" rows a second time.
    const QModelIndexList indexes = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (indexes.isEmpty() || !model())
        return;
    QMimeData* data = model()->mimeData(indexes);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QRect rect = visualRect(indexes.first()).united(visualRect(indexes.first().siblingAtColumn(model()->columnCount() - 1)));
    if (rect.isValid()) {
        QPixmap pixmap(rect.size() * devicePixelRatioF());
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        pixmap.fill(Qt::transparent);
        viewport()->render(&pixmap, QPoint(), QRegion(rect));
        drag->setPixmap(pixmap);
        drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - rect.topLeft());
    }
    drag->exec(supportedActions & Qt::MoveAction ? Qt::MoveAction : supportedActions, Qt::MoveAction);
}
