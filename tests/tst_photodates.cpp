// When photos were taken: Exif dates in their order of preference, the modification time
// for everything else, items that are never opened as images, and reading many at once.

#include "TestFolders.h"
#include "platform/PhotoDates.h"

#include <QTest>

#include <exiv2/exiv2.hpp>

#include <fcntl.h>
#include <sys/stat.h>

using namespace TestFolders;

Q_DECLARE_METATYPE(PhotoDateSource)

constexpr timespec kModified = {1500000000, 123456789};

namespace {

// A small JPEG whose Exif holds the given "key=value" tags, made by libexiv2.
QByteArray jpeg(const QStringList& tags)
{
    const auto image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg);
    Exiv2::ExifData exif;
    for (const QString& tag : tags)
        exif[tag.section(u'=', 0, 0).toStdString()] = tag.section(u'=', 1).toStdString();
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    io.seek(0, Exiv2::BasicIo::beg);
    Exiv2::DataBuf bytes = io.read(io.size());
    return QByteArray(reinterpret_cast<const char*>(bytes.pData_), bytes.size_);
}

const QString kTaken = QStringLiteral("Exif.Photo.DateTimeOriginal=2019:07:14 09:30:05");
const QByteArray kExifMark("Exif\0\0", 6);

} // namespace

class TestPhotoDates : public QObject
{
    Q_OBJECT

    QByteArray m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        // Exif times without an offset are taken as local time; Rome is two hours ahead in July.
        qputenv("TZ", "Europe/Rome");
        m_dir = temporaryFolder();
    }

    void readsEachKindOfItem_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<PhotoDateSource>("source");
        QTest::addColumn<QString>("expected");      // ISO 8601; without an offset: local time

        const auto original = PhotoDateSource::DateTimeOriginal;
        const auto modified = PhotoDateSource::ModificationTime;
        const QString mtime = QStringLiteral("2017-07-14T04:40:00.123");   // kModified in Rome
        const QString digitized = QStringLiteral("Exif.Photo.DateTimeDigitized=2019:07:15 18:00:00");
        const QByteArray photo = jpeg({kTaken});
        QByteArray damaged = photo;
        damaged.replace(photo.indexOf(kExifMark) + 10, 64, QByteArray(64, '\xff'));   // after the TIFF header
        QByteArray late = photo.left(2);    // two 60,000-byte APP15 segments before the Exif APP1
        for (int i = 0; i < 2; ++i)
            late += QByteArray("\xff\xef\xea\x60", 4) + QByteArray(60000 - 2, '\0');
        late += photo.mid(2);

        QTest::newRow("original before digitized") << QByteArray("file") << jpeg({digitized, kTaken}) << original
                                                   << "2019-07-14T09:30:05";
        QTest::newRow("only digitized") << QByteArray("file") << jpeg({digitized})
                                        << PhotoDateSource::DateTimeDigitized << "2019-07-15T18:00:00";
        QTest::newRow("invalid original falls to digitized")
            << QByteArray("file") << jpeg({"Exif.Photo.DateTimeOriginal=2019:02:30 10:00:00", digitized})
            << PhotoDateSource::DateTimeDigitized << "2019-07-15T18:00:00";
        QTest::newRow("offset and fraction")
            << QByteArray("file")
            << jpeg({kTaken, "Exif.Photo.OffsetTimeOriginal=-05:00", "Exif.Photo.SubSecTimeOriginal=25",
                     "Exif.Photo.OffsetTimeDigitized=+09:00"})
            << original << "2019-07-14T09:30:05.250-05:00";
        QTest::newRow("Exif behind other segments") << QByteArray("file") << late << original << "2019-07-14T09:30:05";
        QTest::newRow("no Exif") << QByteArray("file") << jpeg({}) << modified << mtime;
        QTest::newRow("damaged Exif") << QByteArray("file") << damaged << modified << mtime;
        QTest::newRow("Exif cut short") << QByteArray("file") << photo.left(photo.indexOf(kExifMark) + 20) << modified
                                        << mtime;
        QTest::newRow("not an image") << QByteArray("file") << QByteArray("2019:07:14 09:30:05\n") << modified << mtime;
        QTest::newRow("name not UTF-8") << QByteArray("file \xe9\xff") << photo << original << "2019-07-14T09:30:05";
        QTest::newRow("folder") << QByteArray("folder") << QByteArray() << modified << mtime;
        // The link's own time: its target, a photo, is never followed.
        QTest::newRow("symbolic link") << QByteArray("link") << photo << modified << mtime;
        QTest::newRow("FIFO without a writer") << QByteArray("fifo") << QByteArray() << modified << mtime;
        QTest::newRow("missing") << QByteArray("missing") << QByteArray() << PhotoDateSource::None << QString();
    }
    void readsEachKindOfItem()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, contents);
        QFETCH(PhotoDateSource, source);
        QFETCH(QString, expected);

        const QByteArray item = m_dir + '/' + QTest::currentDataTag() + (kind.startsWith("file") ? kind.mid(4) : "");
        if (kind.startsWith("file") || kind == "link")
            writeFile(item + (kind == "link" ? " target" : ""), contents);
        QVERIFY(kind != "link" || ::symlink((item + " target").constData(), item.constData()) == 0);
        QVERIFY(kind != "folder" || ::mkdir(item.constData(), 0700) == 0);
        QVERIFY(kind != "fifo" || ::mkfifo(item.constData(), 0600) == 0);
        const timespec times[2] = {kModified, kModified};
        QVERIFY(kind == "missing" || ::utimensat(AT_FDCWD, item.constData(), times, AT_SYMLINK_NOFOLLOW) == 0);

        // Alone, and in the middle of a list.
        const QList<PhotoDate> dates = ReadPhotoDates({m_dir + "/missing", item, m_dir + "/missing"});
        QCOMPARE(dates.size(), 3);
        const QDateTime moment = QDateTime::fromString(expected, Qt::ISODateWithMs);
        for (const PhotoDate& read : {ReadPhotoDate(item), dates[1]}) {
            QCOMPARE(read.source, source);
            QCOMPARE(read.dateTime(), moment);
            QCOMPARE(read.dateTime().offsetFromUtc(), moment.offsetFromUtc());   // the camera's clock
            QCOMPARE(read.hasUtcOffset, moment.timeSpec() == Qt::OffsetFromUTC);
        }
    }

    // Many photos over several threads: each date lands at its own item, progress counts
    // every item read once and in order, and a cancel leaves the rest unread.
    void readsManyUntilCancelled()
    {
        const QByteArray folder = temporaryFolder();
        QList<QByteArray> paths;
        for (int i = 0; i < 300; ++i) {
            paths.append(folder + "/photo " + QByteArray::number(i) + ".jpg");
            const QTime time = QTime(10, 0).addSecs(i);
            writeFile(paths.last(), jpeg({"Exif.Photo.DateTimeOriginal=2020:01:02 " + time.toString(u"HH:mm:ss")}));
        }
        std::atomic<bool> cancel{false};
        qsizetype calls = 0;
        bool counted = true;    // progress comes on the reading threads: checked afterwards
        const PhotoDateReading reading{[&](qsizetype done, qsizetype total) {
                                           counted = counted && total == paths.size() && done == ++calls;
                                           if (done == 200)
                                               cancel = true;
                                       },
                                       &cancel};
        const QList<PhotoDate> dates = ReadPhotoDates(paths, reading);
        QVERIFY(counted);
        const qint64 first = QDateTime(QDate(2020, 1, 2), QTime(10, 0)).toSecsSinceEpoch();
        qsizetype read = 0;
        for (qsizetype i = 0; i < dates.size(); ++i) {
            if (dates[i].isValid() && ++read)
                QCOMPARE(dates[i].seconds, first + i);
        }
        QCOMPARE(read, calls);
        QVERIFY2(read >= 200 && read < 210, QByteArray::number(read).constData());
    }
};

QTEST_GUILESS_MAIN(TestPhotoDates)
#include "tst_photodates.moc"
