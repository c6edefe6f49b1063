#include "platform/thumbnails/IconStyle.h"

#include <QPainter>

#include <algorithm>

namespace Thumbnails {

namespace {

// Below this, a frame and a shadow would eat most of the picture.
constexpr int kSmallestStyledBox = 16;

} // namespace

QImage fitWithin(const QImage& picture, QSize box)
{
    if (picture.isNull() || box.isEmpty())
        return {};
    if (picture.width() <= box.width() && picture.height() <= box.height())
        return picture;
    QImage scaled = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // A very thin picture may round to nothing on one side.
    if (scaled.isNull())
        scaled = picture.scaled(box.boundedTo(picture.size()).expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio,
                                Qt::SmoothTransformation);
    return scaled;
}

QImage drawAsIcon(const QImage& picture, QSize box)
{
    const int side = std::min(box.width(), box.height());
    if (picture.isNull() || side < kSmallestStyledBox)
        return fitWithin(picture, box);

    // Proportions chosen to read well from a 48-pixel table cell up to a 512-pixel view.
    const int shadow = std::max(2, side / 24);
    const int frame = std::max(1, side / 64);
    const int margin = shadow + frame;
    const QImage inner = fitWithin(picture, box - QSize(2 * margin, 2 * margin));
    if (inner.isNull())
        return fitWithin(picture, box);

    QImage icon(inner.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF sheet(shadow, shadow, inner.width() + 2 * frame, inner.height() + 2 * frame);
    // The soft shadow: stacked translucent outlines, densest under the sheet and slightly
    // below it, as light from above would cast it.
    painter.setPen(Qt::NoPen);
    const qreal drop = shadow / 3.0;
    const int alphaPerLayer = std::max(6, 90 / shadow);
    for (int k = shadow; k >= 1; --k) {
        painter.setBrush(QColor(0, 0, 0, alphaPerLayer));
        const QRectF layer = sheet.adjusted(-k + 1, -k + 1 + drop, k - 1, k - 1 + drop);
        painter.drawRoundedRect(layer, k, k);
    }

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(sheet, Qt::white);
    painter.drawImage(QPointF(sheet.left() + frame, sheet.top() + frame), inner);
    // A hairline edge keeps a white sheet visible on a white table.
    painter.setPen(QPen(QColor(0, 0, 0, 48), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(sheet.adjusted(0, 0, -1, -1));
    painter.end();
    return icon;
}

} // namespace Thumbnails
