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

#include <algorithm>
#include <cmath>
#include <cstring>

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
    // Progress reported item by item mostly keeps the picture: the windows keep theirs.
    const bool samePicture = !image.isNull() && image.cacheKey() == gCurrentTile.cacheKey();
    gCurrentTile = image;
    if (haveGuiApplication() && !samePicture) {
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

namespace {

// Clock angles become mathematical ones (counter-clockwise from three o'clock), computed in
// double precision and kept as floats. The arc runs counter-clockwise from *from to *to.
void clockArcToMath(int startAngle, int arcAngle, float* from, float* to)
{
    if (arcAngle > 0) {
        *from = float((90 - startAngle - arcAngle) * kPi / 180);
        *to = float((90 - startAngle) * kPi / 180);
    } else {
        *from = float((90 - startAngle) * kPi / 180);
        *to = float((90 - startAngle - arcAngle) * kPi / 180);
    }
}

} // namespace

void pathForArc(QPainterPath& path, const QRectF& rect, int startAngle, int arcAngle)
{
    // Qt's arcTo draws counter-clockwise with a positive sweep (Qt's angles are
    // counter-clockwise on screen, as they are in a y-up context).
    float from, to;
    clockArcToMath(startAngle, arcAngle, &from, &to);
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

// The two pictures every badge is made of, which change only with the icon: the icon under
// the light disc (no progress), and the same under the dark disc (all done).
struct BadgeLayers {
    QImage empty;
    QImage full;
};

const BadgeLayers& badgeLayers()
{
    static BadgeLayers layers;
    static qint64 layersIconKey = -1;
    const QImage icon = ApplicationIconForBadge();
    const qint64 iconKey = icon.isNull() ? 0 : icon.cacheKey();
    if (layers.empty.isNull() || iconKey != layersIconKey) {
        QImage base(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
        base.fill(Qt::transparent);
        if (!icon.isNull()) {
            QPainter painter(&base);
            painter.drawImage(QRectF(0, 0, kDockBadgeSize, kDockBadgeSize), icon);
        }
        paintTranslucentArc(base, 0.25, 0, 360);
        layers.empty = base;
        layers.full = base.copy();
        paintTranslucentArc(layers.full, 0.4, 0, 360);
        layersIconKey = iconKey;
    }
    return layers;
}

// Mixes two premultiplied pixels: `weight` of 256 parts from `to`, the rest from `from`.
inline QRgb mixPixels(QRgb from, QRgb to, uint weight)
{
    const uint keep = 256 - weight;
    const uint rb = (((from & 0xff00ff) * keep + (to & 0xff00ff) * weight) >> 8) & 0xff00ff;
    const uint ag = (((from >> 8) & 0xff00ff) * keep + ((to >> 8) & 0xff00ff) * weight) & 0xff00ff00;
    return rb | ag;
}

// The wedge from twelve o'clock clockwise through `angle` degrees (0 < angle < 360), as the
// dark picture inside it and the light one outside. A pixel's share of the wedge comes from
// its signed distances to the wedge's two edges, whose directions follow the same angle
// arithmetic as the drawn arcs. Pixels more than half a pixel from both edges take one
// picture whole, so each row is a few copied runs and a few mixed pixels around the edges:
// this costs about as much as copying the picture once, where filling the antialiased wedge
// cost thirty times that.
void composeWedge(const BadgeLayers& layers, int angle, QImage& image)
{
    float from, to;
    clockArcToMath(0, angle, &from, &to);
    // Unit vectors along the edges, y pointing up.
    const double fromX = std::cos(double(from)), fromY = std::sin(double(from));
    const double toX = std::cos(double(to)), toY = std::sin(double(to));
    const bool convex = angle <= 180;
    const double centre = (kDockBadgeSize - 1) / 2.0;   // pixel centres are offset by half a pixel

    if (image.isNull() || !image.isDetached())
        image = QImage(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
    // 32-bit rows are never padded.
    Q_ASSERT(image.bytesPerLine() == kDockBadgeSize * 4 && layers.empty.bytesPerLine() == kDockBadgeSize * 4);
    const QRgb* lightRows = reinterpret_cast<const QRgb*>(layers.empty.constBits());
    const QRgb* darkRows = reinterpret_cast<const QRgb*>(layers.full.constBits());
    QRgb* outRows = reinterpret_cast<QRgb*>(image.bits());
    for (int y = 0; y < kDockBadgeSize; ++y) {
        const double py = centre - y;
        // Along the row both distances are linear in x: a + b * x. Positive inside the
        // half-plane counter-clockwise of `from`, and clockwise of `to`.
        const double a1 = fromX * py + fromY * centre, b1 = -fromY;
        const double a2 = -toY * centre - toX * py, b2 = toY;
        const auto share = [&](int x) {
            const double d1 = a1 + b1 * x, d2 = a2 + b2 * x;
            const double inside = convex ? std::min(d1, d2) : std::max(d1, d2);
            return uint(std::clamp(inside + 0.5, 0.0, 1.0) * 256 + 0.5);
        };
        // The run of pixels within half a pixel of each edge: [first, last).
        const auto edgeRun = [](double a, double b) -> std::pair<int, int> {
            if (std::abs(b) < 1e-9)
                return std::abs(a) < 0.5 ? std::pair(0, kDockBadgeSize) : std::pair(0, 0);
            double lo = (-0.5 - a) / b, hi = (0.5 - a) / b;
            if (lo > hi)
                std::swap(lo, hi);
            return {int(std::clamp(std::floor(lo), 0.0, double(kDockBadgeSize))),
                    int(std::clamp(std::ceil(hi) + 1, 0.0, double(kDockBadgeSize)))};
        };
        std::pair<int, int> runs[2] = {edgeRun(a1, b1), edgeRun(a2, b2)};
        if (runs[1].first < runs[0].first)
            std::swap(runs[0], runs[1]);
        if (runs[1].first <= runs[0].second) {   // overlapping runs are one
            runs[0].second = std::max(runs[0].second, runs[1].second);
            runs[1] = {0, 0};
        }

        const QRgb* light = lightRows + y * kDockBadgeSize;
        const QRgb* dark = darkRows + y * kDockBadgeSize;
        QRgb* out = outRows + y * kDockBadgeSize;
        // Away from the edges a pixel is wholly in or out, and so is the rest of its run.
        const auto copyRun = [&](int begin, int end) {
            if (begin < end)
                std::memcpy(out + begin, (share(begin) == 0 ? light : dark) + begin, size_t(end - begin) * sizeof(QRgb));
        };
        int x = 0;
        for (const auto& [first, last] : runs) {
            if (first >= last)
                continue;
            copyRun(x, first);
            for (int i = first; i < last; ++i) {
                const uint weight = share(i);
                out[i] = weight == 0 ? light[i] : weight == 256 ? dark[i] : mixPixels(light[i], dark[i], weight);
            }
            x = last;
        }
        copyRun(x, kDockBadgeSize);
    }
}

} // namespace

QImage DrawProgressBadgeImage(int progressAngle)
{
    const BadgeLayers& layers = badgeLayers();
    if (progressAngle == 0)
        return layers.empty;
    if (progressAngle == 360)
        return layers.full;
    if (progressAngle > 0 && progressAngle < 360) {
        // Progress reported item by item keeps the same whole degree for many items.
        static QImage last;
        static int lastAngle = -1;
        static qint64 lastLayersKey = -1;
        if (progressAngle != lastAngle || layers.empty.cacheKey() != lastLayersKey) {
            // Drawn over the last picture unless someone still holds it.
            composeWedge(layers, progressAngle, last);
            lastAngle = progressAngle;
            lastLayersKey = layers.empty.cacheKey();
        }
        return last;
    }
    // Out of range (a negative share, or more than all): drawn as the arc says.
    QImage image = layers.empty.copy();
    paintTranslucentArc(image, 0.4, 0, progressAngle);
    return image;
}

void DrawAddProgressBadge(float percentage)
{
    // A share that is not a number is no progress (converting NaN to an integer is
    // undefined); shares far out of range are held where the angle still fits an int.
    if (std::isnan(percentage))
        percentage = 0;
    percentage = std::clamp(percentage, -1.0e6f, 1.0e6f);
    // The product is a float, the division by 100 a double: 33.3 gives 119.88, drawn as 119.
    const float degrees = percentage * 360.0f;
    const int angle = int(double(degrees) / 100.0);
    showTile(DrawProgressBadgeImage(angle), percentage / 100.0, true);
}

void DrawExportProgressBadge(long done, long total)
{
    DrawItemsProgressBadge(done, total);
}

void DrawItemsProgressBadge(long done, long total)
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
