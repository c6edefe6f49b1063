// Media helpers against their bare work:
//   catalogue - building the exporter catalogue from the system's registry (plugins cached)
//               against the walk it cannot avoid: listing the muxer factories and making one
//               instance of each
//   badge     - drawing one progress badge against drawing the program's icon alone into
//               the same 127 x 127 image
// Usage: bench_media [rounds=21]. Prints medians; the registry is the user's usual cache.

#include "media/DockBadge.h"
#include "media/ExportComponents.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double medianMicroseconds(int rounds, int repeat, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < repeat; ++i)
            work();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / repeat);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void bareWalk()
{
    GList* factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_MUXER, GST_RANK_NONE);
    for (GList* l = factories; l; l = l->next) {
        if (GstElement* element = gst_element_factory_create(GST_ELEMENT_FACTORY(l->data), nullptr))
            gst_object_unref(gst_object_ref_sink(element));
    }
    gst_plugin_feature_list_free(factories);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;
    if (!EnsureGStreamer())
        return 1;
    // Warm: plugins loaded once, as in a running program.
    bareWalk();
    InitComponentsDictionaries();

    const double walk = medianMicroseconds(rounds, 3, bareWalk);
    const double catalogue = medianMicroseconds(rounds, 3, [] { InitComponentsDictionaries(); });
    std::printf("catalogue: %d entries  build %9.1f us  bare walk %9.1f us  ratio %.2f\n",
                int(gComponentDictionaries->size()), catalogue, walk, catalogue / walk);

    const QImage icon = ApplicationIconForBadge();
    if (icon.isNull()) {
        std::printf("badge: the program's icon could not be loaded\n");
        return 1;
    }
    QImage shown;   // each picture is kept, as the tile being shown is
    const double iconOnly = medianMicroseconds(rounds, 200, [&icon, &shown] {
        QImage image(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawImage(QRectF(0, 0, kDockBadgeSize, kDockBadgeSize), icon);
        painter.end();
        shown = image;
    });
    // The icon drawn from its picture each time, as an icon service without a cache does.
    const double iconRendered = medianMicroseconds(rounds, 20, [] {
        QImage image(kDockBadgeSize, kDockBadgeSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QImageReader reader(QStringLiteral(":/icons/org.ordinello.Ordinello.svg"));
        reader.setScaledSize(QSize(kDockBadgeSize, kDockBadgeSize));
        QPainter painter(&image);
        painter.drawImage(0, 0, reader.read());
    });
    int angle = 0;
    const double badge = medianMicroseconds(rounds, 200, [&angle, &shown] {
        angle = (angle + 7) % 361;   // a new wedge each time, as progress moves
        shown = DrawProgressBadgeImage(angle);
    });
    std::printf("badge: draw %7.1f us  icon alone (kept picture) %7.1f us  ratio %.2f\n", badge, iconOnly,
                badge / iconOnly);
    std::printf("badge: draw %7.1f us  icon alone (drawn from its picture) %7.1f us  ratio %.2f\n", badge,
                iconRendered, badge / iconRendered);
    return 0;
}
