#pragma once
// How a picture is handed back: as it is, or drawn as a document icon would look.

#include <QImage>
#include <QSize>

namespace Thumbnails {

// The picture scaled down, aspect kept, to fit the box; never scaled up.
QImage fitWithin(const QImage& picture, QSize box);

// The picture on a white frame with a soft shadow beneath, the whole fitting the box, on
// a transparent background. Boxes too small for a frame get fitWithin's picture.
QImage drawAsIcon(const QImage& picture, QSize box);

} // namespace Thumbnails
