// Reading capture dates of many small photos against the bare libexiv2 loop over the same
// files: open by path, readMetadata, find Exif.Photo.DateTimeOriginal, one file after another.
//
//   bench_photodates [--files 5000] [--rounds 9] [--dir BASE]
//
// One 160 x 120 JPEG is written with QImage, given Exif dates and a camera with libexiv2,
// and copied to every file. The files stay in the page cache, so both sides pay for the
// parsing and the system calls, not the disk. Within each round the bare loop and the
// reader alternate which goes first, so a busy machine slows both alike. Reported: the
// median time per file of the bare loop, of ReadPhotoDates (all cores) and of ReadPhotoDate
// called in a loop on one thread, and the ratios to the bare loop.

#include "platform/PhotoDates.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
volatile std::size_t gSink;

double microsecondsPerFile(qsizetype files, const std::function<void()>& body)
{
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / double(files);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QByteArray photo()
{
    QImage image(160, 120, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QLinearGradient(0, 0, 160, 120));
    painter.fillRect(40, 30, 80, 60, QColor(200, 120, 40));
    painter.end();
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    image.save(&jpeg, "JPG", 85);

    const QByteArray& plain = jpeg.data();
    const auto exif = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(plain.constData()), long(plain.size()));
    exif->readMetadata();
    Exiv2::ExifData& data = exif->exifData();
    data["Exif.Image.Make"] = "Ordinello Test Camera";
    data["Exif.Image.Model"] = "OTC-1";
    data["Exif.Image.DateTime"] = "2021:08:01 10:15:30";
    data["Exif.Photo.DateTimeOriginal"] = "2021:08:01 10:15:30";
    data["Exif.Photo.DateTimeDigitized"] = "2021:08:01 10:15:30";
    data["Exif.Photo.SubSecTimeOriginal"] = "42";
    data["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    data["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
    exif->writeMetadata();
    Exiv2::BasicIo& io = exif->io();
    io.open();
    io.seek(0, Exiv2::BasicIo::beg);
    Exiv2::DataBuf bytes = io.read(io.size());
    return QByteArray(reinterpret_cast<const char*>(bytes.pData_), bytes.size_);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 5000;
    int rounds = 9;
    QString base = QDir::tempPath();
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--files"))
            count = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            base = args[i + 1];
    }
    QTemporaryDir dir(base + QStringLiteral("/bench_photodates-XXXXXX"));
    if (!dir.isValid() || count < 1 || rounds < 1) {
        std::fprintf(stderr, "cannot make a folder for the photos\n");
        return 1;
    }

    const QByteArray jpeg = photo();
    const QByteArray folder = QFile::encodeName(dir.path());
    QList<QByteArray> paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i) {
        paths.append(folder + "/IMG_" + QByteArray::number(i).rightJustified(5, '0') + ".jpg");
        const int fd = ::open(paths.last().constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, jpeg.constData(), size_t(jpeg.size())) != jpeg.size()) {
            std::fprintf(stderr, "cannot write %s\n", paths.last().constData());
            return 1;
        }
        ::close(fd);
    }

    const Exiv2::ExifKey original("Exif.Photo.DateTimeOriginal");
    const auto bare = [&] {
        for (const QByteArray& path : std::as_const(paths)) {
            const auto image = Exiv2::ImageFactory::open(path.toStdString());
            image->readMetadata();
            const Exiv2::ExifData& exif = image->exifData();
            const auto found = exif.findKey(original);
            gSink = gSink + (found != exif.end() ? found->toString().size() : 0);
        }
    };
    int taken = 0;
    const auto reader = [&] {
        taken = 0;
        for (const PhotoDate& date : ReadPhotoDates(paths))
            taken += date.source == PhotoDateSource::DateTimeOriginal;
    };
    const auto oneByOne = [&] {
        for (const QByteArray& path : std::as_const(paths))
            gSink = gSink + std::size_t(ReadPhotoDate(path).seconds);
    };

    bare();     // warm: the files in the page cache, the libraries' first-use set-up done
    reader();
    if (taken != count) {
        std::fprintf(stderr, "the reader found %d of %d capture dates\n", taken, count);
        return 1;
    }

    QList<double> bareTimes, readerTimes, oneByOneTimes;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            bareTimes.append(microsecondsPerFile(count, bare));
            readerTimes.append(microsecondsPerFile(count, reader));
        } else {
            readerTimes.append(microsecondsPerFile(count, reader));
            bareTimes.append(microsecondsPerFile(count, bare));
        }
        oneByOneTimes.append(microsecondsPerFile(count, oneByOne));
    }
    const double b = median(bareTimes), r = median(readerTimes), o = median(oneByOneTimes);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%d photos of %lld bytes, %d rounds, %u hardware threads; median us per photo (lower is better)\n\n",
                count, static_cast<long long>(jpeg.size()), rounds, std::thread::hardware_concurrency());
    std::printf("| %-36s | %8s | %5s |\n", "side", "us/photo", "ratio");
    std::printf("|--------------------------------------|----------|-------|\n");
    std::printf("| %-36s | %8.2f | %5.2f |\n", "bare libexiv2 loop (one thread)", b, 1.0);
    std::printf("| %-36s | %8.2f | %5.2f |\n", "ReadPhotoDates (all cores)", r, r / b);
    std::printf("| %-36s | %8.2f | %5.2f |\n", "ReadPhotoDate in a loop (one thread)", o, o / b);
    std::printf("\npeak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
