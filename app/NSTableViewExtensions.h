#pragma once
// The application's table view. A context click first makes the row under the pointer
// the only selected row (below the last row it clears the selection), then opens the
// table's menu, so the menu always acts on what is selected. Drags move rows within the
// table only; the model decides where they land.

#include <QTableView>

class QMenu;

class ItemTableView : public QTableView
{
    Q_OBJECT
public:
    explicit ItemTableView(QWidget* parent = nullptr);

    // The table's context menu; not owned (the window owns its menus).
    void setContextMenu(QMenu* menu) { m_menu = menu; }
    QMenu* contextMenu() const { return m_menu; }

    // Selects the row under the point (viewport coordinates) alone and returns the menu.
    QMenu* menuForEvent(const QPoint& viewportPos);

    // Where a drop at this point (viewport coordinates) would land: the row the dragged
    // rows go before (rowCount() at the end), or -1 over the middle of a row, where a
    // drop is refused as the rows' order asks ("between rows" only).
    int dropRowAt(const QPoint& viewportPos) const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Home and End go to the first and last row, as in every list.
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
    void setDropLine(int row);

    QMenu* m_menu = nullptr;
    int m_dropLineRow = -1;   // the drop indicator stands above this row (-1: none)
};
