// Cost of the item table's Icon cell over a folder of generated photos, screen by screen
// as a scrolling view asks for it:
//   cold    - nothing cached: the cell answers with the file icon and queues a thumbnail;
//             the screen then waits for its thumbnails (made and stored in the shared cache)
//   warm    - every picture in memory: the cost of one repaint
//   disk    - a new table over the same folder: pictures come from the shared cache
//   no-lib  - the thumbnail library absent: file icons only
// Usage: bench_iconcell [photos=300] [rows-per-screen=16]
// Uses a private temporary cache: the user's own thumbnails are never touched.

#include "app/ItemImages.h"
#include "app/OrdinelloController.h"
#include "platform/ThumbnailService.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

struct Figures {
    std::vector<double> cells;        // µs per cell
    double fillMs = 0;                // waiting for the pictures, all screens
};

void report(const char* phase, Figures f, int photos)
{
    std::sort(f.cells.begin(), f.cells.end());
    double sum = 0;
    for (double c : f.cells)
        sum += c;
    const auto at = [&](double q) { return f.cells[std::min(f.cells.size() - 1, size_t(q * double(f.cells.size())))]; };
    std::printf("%-7s cell: mean %8.1f us  median %8.1f us  p99 %8.1f us  max %8.1f us", phase,
                sum / double(f.cells.size()), at(0.5), at(0.99), f.cells.back());
    if (f.fillMs > 0)
        std::printf("  | pictures ready: %8.0f ms total, %6.2f ms per photo", f.fillMs, f.fillMs / photos);
    std::printf("\n");
}

// Photos of a realistic size and JPEG quality, each different so no two encode alike.
void makePhotos(const QString& folder, int count)
{
    QImage photo(1600, 1200, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i) {
        QPainter painter(&photo);
        QLinearGradient sky(0, 0, 1600, 1200);
        sky.setColorAt(0, QColor::fromHsv((i * 37) % 360, 160, 230));
        sky.setColorAt(1, QColor::fromHsv((i * 37 + 120) % 360, 200, 90));
        painter.fillRect(photo.rect(), sky);
        painter.setBrush(QColor::fromHsv((i * 71) % 360, 255, 255));
        painter.drawEllipse(QPoint(200 + (i * 53) % 1200, 200 + (i * 29) % 800), 180, 140);
        painter.end();
        photo.save(QStringLiteral("%1/photo %2.jpg").arg(folder).arg(i, 4, 10, QLatin1Char('0')), "JPEG", 85);
    }
}

// One pass over the rows, a screen at a time; with waitForPictures the pass waits, after
// asking for a screen, until its pictures have come (as a user pausing on each screen).
Figures scroll(QApplication& app, OrdinelloController& table, int rowsPerScreen, bool waitForPictures)
{
    Figures f;
    const int rows = table.model()->rowCount();
    ItemImages* images = table.itemImages();
    for (int top = 0; top < rows; top += rowsPerScreen) {
        const int bottom = std::min(rows, top + rowsPerScreen);
        for (int r = top; r < bottom; ++r) {
            const auto start = Clock::now();
            const QVariant cell = table.model()->data(table.model()->index(r, DirectoryItemsModel::IconColumn), Qt::DecorationRole);
            f.cells.push_back(microseconds(Clock::now() - start));
            if (!cell.isValid())
                std::fprintf(stderr, "row %d: no picture\n", r);
        }
        if (waitForPictures) {
            const auto start = Clock::now();
            while (images->hasPendingWork())
                app.processEvents(QEventLoop::WaitForMoreEvents);
            f.fillMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
    }
    app.processEvents();
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));

    QApplication app(argc, argv);
    const int photos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int rowsPerScreen = argc > 2 ? std::max(1, std::atoi(argv[2])) : 16;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QDir().mkpath(folder);
    std::printf("making %d photos of 1600x1200 (JPEG)...\n", photos);
    makePhotos(folder, photos);

    {
        OrdinelloController table;
        table.awakeFromNib();
        if (!ThumbnailServiceAvailable()) {
            std::fprintf(stderr, "the thumbnail library was not found (build target ordinello-thumbnails)\n");
            return 1;
        }
        table.selectDirectoryPath(QFile::encodeName(folder));
        std::printf("%d rows, %d per screen, %d workers, device pixel ratio %.1f\n", table.model()->rowCount(), rowsPerScreen,
                    std::clamp(QThread::idealThreadCount(), 1, 4), app.devicePixelRatio());
        report("cold", scroll(app, table, rowsPerScreen, true), photos);
        report("warm", scroll(app, table, rowsPerScreen, false), photos);
    }
    {
        OrdinelloController table;
        table.awakeFromNib();
        table.selectDirectoryPath(QFile::encodeName(folder));
        report("disk", scroll(app, table, rowsPerScreen, true), photos);
    }
    {
        gOpenLookFrameworkBundleRef = nullptr;
        gQLThumbnailImageCreatePtr = nullptr;
        gkQLThumbnailOptionIconModeKeyPtr = nullptr;
        qputenv("ORDINELLO_LIBRARY_DIR", QFile::encodeName(home.filePath(QStringLiteral("no-library"))));
        OrdinelloController table;
        table.awakeFromNib();
        table.selectDirectoryPath(QFile::encodeName(folder));
        report("no-lib", scroll(app, table, rowsPerScreen, false), photos);
    }
    return 0;
}
