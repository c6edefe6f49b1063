#include "app/WindowPlacement.h"

#include <QDir>
#include <QFontMetrics>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int kPlaces = 64;

} // namespace

WindowPlace::WindowPlace()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    for (int number = 0; number < kPlaces; ++number) {
        auto lock = std::make_unique<QLockFile>(
            QStringLiteral("%1/ordinello-window-%2.lock").arg(folder).arg(number));
        // A lock left by a program that has ended is stale whatever its age, and taken over.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_number = number;
            return;
        }
    }
}

void WindowPlace::cascade(QWidget* window) const
{
    if (m_number == 0 || !window || window->isMaximized() || window->isFullScreen())
        return;
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    // About one title bar per step.
    const int step = QFontMetrics(window->font()).height() * 2;
    window->move(cascaded(window->pos(), window->size(), screen->availableGeometry(), m_number, step));
}

QPoint WindowPlace::cascaded(QPoint origin, QSize size, QRect area, int number, int step)
{
    const QPoint shift(number * step, number * step);
    QPoint corner = origin + shift;
    if (corner.x() + size.width() > area.right() + 1 || corner.y() + size.height() > area.bottom() + 1)
        corner = origin - shift;
    corner.setX(std::clamp(corner.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    corner.setY(std::clamp(corner.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    return corner;
}
