#include "media/DockBadge.h"

#include "platform/Bundle.h"
#include "support/BundleServices.h"

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
    if (gAppIcon.isNull()) {
        if (!gIconSource.isEmpty()) {
            gAppIcon = loadProgramIcon(gIconSource);
        } else {
            // The program's icon from its data folder; discs alone when it is missing.
            IconRef icon;
            if (GetIconRefForResource(Bundle::identifier().toUtf8().constData(), 0, icon) == noErr)
                gAppIcon = icon.pixmap(QSize(kDockBadgeSize, kDockBadgeSize)).toImage();
        }
    }
    return gAppIcon;
}

void SetApplicationIconSourceForTesting(const QString& source)
{
    gIconSource = source;
    gAppIcon = QImage();
}

namespace {

// Qt fills translucent antialiased shapes about eight times slower than opaque ones. So a
// shape is filled opaque into a scratch layer and the layer blended at the colour's alpha:
// coverage times alpha, the same pixels.
void paintTranslucentArc(QImage& target, qreal alpha, int startAngle, int arcAngle)
{
    static QImage layer(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        paintArc(painter, QRectF(0, 0, kDockBadgeSize, kDockBadgeSize), startAngle, arcAngle);
    }
    QPainter painter(&target);
    painter.setOpacity(alpha);
    painter.drawImage(0, 0, layer);
}

// The icon under the light disc changes only with the icon: kept between badges.
QImage badgeBase()
{
    static QImage base;
    static qint64 baseIconKey = -1;
    const QImage icon = ApplicationIconForBadge();
    const qint64 iconKey = icon.isNull() ? 0 : icon.cacheKey();
    if (base.isNull() || iconKey != baseIconKey) {
        base = QImage(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
        base.fill(Qt::transparent);
        if (!icon.isNull()) {
            QPainter painter(&base);
            painter.drawImage(QRectF(0, 0, kDockBadgeSize, kDockBadgeSize), icon);
        }
        paintTranslucentArc(base, 0.25, 0, 360);
        baseIconKey = iconKey;
    }
    return base;
}

} // namespace

QImage DrawProgressBadgeImage(int progressAngle)
{
    QImage image = badgeBase();
    image.detach();
    if (progressAngle != 0)
        paintTranslucentArc(image, 0.4, 0, progressAngle);
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
