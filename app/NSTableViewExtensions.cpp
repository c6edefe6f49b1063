#include "app/NSTableViewExtensions.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// The thumbnails are the items' own pictures: a selected row shows its highlight behind
// them, never as a tint over them (a red photo must not turn maroon).
class PictureDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        if (!opt.icon.isNull()) {
            const QPixmap picture = opt.icon.pixmap(opt.decorationSize, QIcon::Normal);
            QIcon icon;
            icon.addPixmap(picture, QIcon::Normal);
            icon.addPixmap(picture, QIcon::Selected);
            opt.icon = icon;
        }
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
};

} // namespace

ItemTableView::ItemTableView(QWidget* parent)
    : QTableView(parent)
{
    // The drop line is drawn across the whole row here; Qt's own spans one cell.
    setDropIndicatorShown(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    verticalHeader()->hide();
    setItemDelegate(new PictureDelegate(this));
}

int ItemTableView::dropRowAt(const QPoint& viewportPos) const
{
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    const int row = rowAt(viewportPos.y());
    if (row < 0)
        return rows;   // below the last row: at the end
    const QRect rect = visualRect(model()->index(row, 0, rootIndex()));
    // The same edge bands as Qt's own drop indicator.
    const int margin = qBound(2, qRound(qreal(rect.height()) / 5.5), 12);
    if (viewportPos.y() - rect.top() < margin)
        return row;
    if (rect.bottom() - viewportPos.y() < margin)
        return row + 1;
    return -1;
}

void ItemTableView::setDropLine(int row)
{
    if (row == m_dropLineRow)
        return;
    m_dropLineRow = row;
    viewport()->update();
}

void ItemTableView::dragEnterEvent(QDragEnterEvent* event)
{
    QTableView::dragEnterEvent(event);
    // The model alone knows which payloads are its own rows.
    if (model() && model()->canDropMimeData(event->mimeData(), Qt::MoveAction, -1, 0, rootIndex())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ItemTableView::dragMoveEvent(QDragMoveEvent* event)
{
    QTableView::dragMoveEvent(event);   // scrolls near the edges
    // Over the middle of a row: refused while hovering, nothing moves. Between rows the
    // model decides (its own rows, from this very table).
    const int row = dropRowAt(event->position().toPoint());
    if (row >= 0 && model()
        && model()->canDropMimeData(event->mimeData(), Qt::MoveAction, row, 0, rootIndex())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        setDropLine(row);
    } else {
        event->ignore();
        setDropLine(-1);
    }
}

void ItemTableView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropLine(-1);
    QTableView::dragLeaveEvent(event);
}

void ItemTableView::dropEvent(QDropEvent* event)
{
    setDropLine(-1);
    const int row = dropRowAt(event->position().toPoint());
    if (row < 0 || !model()) {
        event->ignore();
        return;
    }
    // Straight to the model with the row the user sees, between rows only.
    if (model()->dropMimeData(event->mimeData(), Qt::MoveAction, row, 0, rootIndex())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
    stopAutoScroll();
}

void ItemTableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (m_dropLineRow < 0 || !model())
        return;
    const int rows = model()->rowCount(rootIndex());
    int y = 0;
    if (rows == 0)
        y = 0;
    else if (m_dropLineRow < rows)
        y = visualRect(model()->index(m_dropLineRow, 0, rootIndex())).top();
    else
        y = visualRect(model()->index(rows - 1, 0, rootIndex())).bottom() + 1;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

QModelIndex ItemTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (model() && (cursorAction == MoveHome || cursorAction == MoveEnd) && !(modifiers & Qt::ControlModifier)) {
        const int rows = model()->rowCount(rootIndex());
        if (rows == 0)
            return {};
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        return model()->index(cursorAction == MoveHome ? 0 : rows - 1, column, rootIndex());
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

QMenu* ItemTableView::menuForEvent(const QPoint& viewportPos)
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

void ItemTableView::contextMenuEvent(QContextMenuEvent* event)
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

void ItemTableView::startDrag(Qt::DropActions supportedActions)
{
    // The model reorders the list itself when the rows are dropped; the default drag
    // would then remove the "moved" rows a second time.
    const QModelIndexList indexes = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (indexes.isEmpty() || !model())
        return;
    QMimeData* mime = model()->mimeData(indexes);
    if (!mime)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    // The picture is the row under the pointer (where the drag began), so it stays at
    // the pointer whichever rows are dragged with it.
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    QModelIndex shown = indexAt(pointer);
    if (!shown.isValid() || !selectionModel()->isRowSelected(shown.row(), shown.parent()))
        shown = indexes.first();
    const QRect rect = visualRect(shown.siblingAtColumn(0)).united(visualRect(shown.siblingAtColumn(model()->columnCount() - 1)));
    if (rect.isValid()) {
        QPixmap pixmap(rect.size() * devicePixelRatioF());
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        pixmap.fill(Qt::transparent);
        viewport()->render(&pixmap, QPoint(), QRegion(rect));
        drag->setPixmap(pixmap);
        drag->setHotSpot(pointer - rect.topLeft());
    }
    drag->exec(supportedActions & Qt::MoveAction ? Qt::MoveAction : supportedActions, Qt::MoveAction);
}
