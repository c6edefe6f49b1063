#include "media/DockBadge.h"

#include "platform/Bundle.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVariantMap>
#include <QWindow>

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

QString gIconSource;
QImage gAppIcon;        // found once, then kept; looked up again while missing
QImage gCurrentTile;

// The program's icon. Once the program's icon service (GetIconRefForResource) is in place,
// this is the one place to point at it.
QImage loadProgramIcon(const QString& source)
{
    QImageReader reader(source);
    reader.setScaledSize(QSize(kDockBadgeSize, kDockBadgeSize));
    return reader.read();
}

bool haveGuiApplication()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// Tells docks about the progress: the Unity LauncherEntry protocol, keyed by the
// desktop file's name.
void announceProgress(double progress, bool visible)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/ordinello/Ordinello/LauncherEntry"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), qBound(0.0, progress, 1.0));
    properties.insert(QStringLiteral("progress-visible"), visible);
    signal << QStringLiteral("application://%1.desktop").arg(Bundle::identifier()) << properties;
    bus.send(signal);
}

void showTile(const QImage& image, double progress, bool visible)
{
    gCurrentTile = image;
    if (haveGuiApplication()) {
        // Docks match windows to the desktop file by this name.
        if (QGuiApplication::desktopFileName().isEmpty())
            QGuiApplication::setDesktopFileName(Bundle::identifier());
        // An empty icon makes each window fall back to the application's own icon.
        const QIcon icon = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
        for (QWindow* window : QGuiApplication::topLevelWindows())
            window->setIcon(icon);
    }
    announceProgress(progress, visible);
}

} // namespace

void pathForArc(QPainterPath& path, const QRectF& rect, int startAngle, int arcAngle)
{
    // Clock angles become mathematical ones (counter-clockwise from three o'clock), computed
    // in double precision and kept as floats. The arc then runs counter-clockwise from the
    // first to the second, which Qt's arcTo draws with a positive sweep (Qt's angles are
    // counter-clockwise on screen, as they are in a y-up context).
    float from, to;
    if (arcAngle > 0) {
        from = float((90 - startAngle - arcAngle) * kPi / 180);
        to = float((90 - startAngle) * kPi / 180);
    } else {
        from = float((90 - startAngle) * kPi / 180);
        to = float((90 - startAngle - arcAngle) * kPi / 180);
    }
    const double fromDegrees = double(from) * 180 / kPi;
    const double sweepDegrees = (double(to) - double(from)) * 180 / kPi;
    if (path.elementCount() == 0)
        path.arcMoveTo(rect, fromDegrees);
    path.arcTo(rect, fromDegrees, sweepDegrees);
}

void frameArc(QPainter& painter, const QRectF& rect, int startAngle, int arcAngle)
{
    QPainterPath path;
    pathForArc(path, rect, startAngle, arcAngle);
    painter.strokePath(path, painter.pen());
}

void paintArc(QPainter& painter, const QRectF& rect, int startAngle, int arcAngle)
{
    QPainterPath path;
    path.moveTo(rect.center());
    pathForArc(path, rect, startAngle, arcAngle);
    path.closeSubpath();
    painter.fillPath(path, painter.brush());
}

QImage ApplicationIconForBadge()
{
    if (gAppIcon.isNull())
        gAppIcon = loadProgramIcon(gIconSource.isEmpty()
                                       ? QStringLiteral(":/icons/%1.svg").arg(Bundle::identifier())
                                       : gIconSource);
    return gAppIcon;
}

void SetApplicationIconSourceForTesting(const QString& source)
{
    gIconSource = source;
    gAppIcon = QImage();
}

QImage DrawProgressBadgeImage(int progressAngle)
{
    QImage image(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF rect(0, 0, kDockBadgeSize, kDockBadgeSize);
    const QImage icon = ApplicationIconForBadge();
    if (!icon.isNull())
        painter.drawImage(rect, icon);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.25f));
    paintArc(painter, rect, 0, 360);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.4f));
    paintArc(painter, rect, 0, progressAngle);
    return image;
}

void DrawAddProgressBadge(float percentage)
{
    // The product is a float, the division by 100 a double: 33.3 gives 119.88, drawn as 119.
    const float degrees = percentage * 360.0f;
    const int angle = int(double(degrees) / 100.0);
    showTile(DrawProgressBadgeImage(angle), percentage / 100.0, true);
}

void DrawExportProgressBadge(long done, long total)
{
    // Nothing to divide by: the discs alone, no wedge.
    if (total <= 0) {
        showTile(DrawProgressBadgeImage(0), 0.0, true);
        return;
    }
    const float fraction = float(done) / float(total);
    const int angle = int(fraction * 360.0f);
    showTile(DrawProgressBadgeImage(angle), double(done) / double(total), true);
}

void RestoreApplicationDockTile()
{
    showTile(QImage(), 0.0, false);
}

QImage CurrentDockTileImage()
{
    return gCurrentTile;
}
