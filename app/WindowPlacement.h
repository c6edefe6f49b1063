#pragma once
// Where a new main window goes when others are open: each running window holds a numbered
// place, and a window in place n sits n steps lower and to the right of where the saved
// geometry puts it, so a second window never hides the first exactly.

#include <QLockFile>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

class QWidget;

class WindowPlace
{
public:
    // Takes the lowest free place among the windows of this user (a lock file in the
    // runtime folder, given up when the object goes or the program ends). Place 0 when no
    // other window is open, or when the runtime folder cannot be written.
    WindowPlace();
    int number() const { return m_number; }

    // Moves a window that is not yet shown, is neither maximised nor full screen, by its
    // place. Place 0 leaves it alone.
    void cascade(QWidget* window) const;

    // The top-left corner for a window of size at origin in place number on a screen whose
    // free area is area: number steps down and to the right, or up and to the left when that
    // leaves the area, and always inside the area as far as the size allows.
    static QPoint cascaded(QPoint origin, QSize size, QRect area, int number, int step);

private:
    std::unique_ptr<QLockFile> m_lock;
    int m_number = 0;
};
