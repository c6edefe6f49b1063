#pragma once
// Progress shown on the program's launcher entry and window icon: the program's icon
// under a translucent black disc, with a darker wedge that grows clockwise from twelve
// o'clock as the work proceeds.
//
// The badge is a 127 x 127 image. It is shown as the icon of every top-level window (X11
// shows it in the task bar; Wayland ignores window icons) and announced to docks through
// the Unity LauncherEntry D-Bus signal, which KDE Plasma's task manager, Ubuntu's dock and
// Plank honour. Main thread only.

#include <QImage>
#include <QRectF>

class QPainter;
class QPainterPath;

constexpr int kDockBadgeSize = 127;

// Angles are whole degrees on a clock face: measured clockwise from twelve o'clock, in the
// ellipse inscribed in rect.

// Adds to path the arc that starts `startAngle` degrees clockwise from twelve o'clock and
// runs `arcAngle` degrees further (clockwise; counter-clockwise when negative). An empty
// path starts at the arc; otherwise a line joins the path's current point to the arc.
void pathForArc(QPainterPath& path, const QRectF& rect, int startAngle, int arcAngle);
// Strokes the arc alone with the painter's pen.
void frameArc(QPainter& painter, const QRectF& rect, int startAngle, int arcAngle);
// Fills the pie wedge (centre, arc, back to the centre) with the painter's brush.
void paintArc(QPainter& painter, const QRectF& rect, int startAngle, int arcAngle);

// Draws the badge for a percentage (0 to 100) and shows it; a percentage that is not a
// number shows no progress.
void DrawAddProgressBadge(float percentage);
// Draws the badge for done of total items and shows it. A total of 0 or less draws no wedge.
void DrawItemsProgressBadge(long done, long total);
// The same, for an export's progress.
void DrawExportProgressBadge(long done, long total);
// Puts the plain icon back and hides the progress on the launcher entry: for callers whose
// work has ended.
void RestoreApplicationDockTile();

// The badge image last shown; null before the first badge and after a restore.
QImage CurrentDockTileImage();

// The badge for an angle, without showing it (what the two functions above draw).
QImage DrawProgressBadgeImage(int progressAngle);

// The program's icon for the badge, rendered at the badge's size; a null image when it
// cannot be found (the badge is then the discs alone). Looked up again until found.
QImage ApplicationIconForBadge();

// Tests: where the program's icon is loaded from (a resource or file path); an empty
// string restores the program's own.
void SetApplicationIconSourceForTesting(const QString& source);
