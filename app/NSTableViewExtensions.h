#pragma once
// The application's table view. A context click first makes the row under the pointer
// the only selected row (below the last row it clears the selection), then opens the
// table's menu, so the menu always acts on what is selected. Drags move rows within the
// table only; the model decides where they land.

#include <QTableView>

class QMenu;

class TableView : public QTableView
{
    Q_OBJECT
public:
    explicit TableView(QWidget* parent = nullptr);

    // The table's context menu; not owned (the window owns its menus).
    void setContextMenu(QMenu* menu) { m_menu = menu; }
    QMenu* contextMenu() const { return m_menu; }

    // Selects the row under the point (viewport coordinates) alone and returns the menu.
    QMenu* menuForEvent(const QPoint& viewportPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QMenu* m_menu = nullptr;
};
