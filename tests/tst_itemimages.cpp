// The Icon column's pictures with the thumbnail library: thumbnails made off the window's
// thread and announced when they arrive, file icons for what cannot be pictured, and a
// request queue that does not grow with scrolling. (tst_controller: the icons without it.)

#include "app/ItemImages.h"
#include "platform/ThumbnailService.h"

#include "TestFolders.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSemaphore>
#include <QTest>

#include <atomic>

namespace {

constexpr QSize kRequest(512, 512);

QImage rendered(const QIcon& icon)
{
    return icon.pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool centreIs(const QIcon& icon, QColor color)
{
    const QImage image = rendered(icon);
    return !image.isNull() && image.pixelColor(image.width() / 2, image.height() / 2) == color;
}

void saveSolid(const QString& path, QColor color, QSize size = QSize(640, 480))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(path));
}

} // namespace

class TestItemImages : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString file(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }


private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        TestFolders::isolateUserFolders();
        qputenv("ORDINELLO_LIBRARY_DIR", QFile::encodeName(TestFolders::libraryFolderOfThisBuild()));
        saveSolid(file("red.png"), Qt::red);
        TestFolders::writeFile(QFile::encodeName(file("broken.jpg")), QByteArray(2048, 'x'));
        TestFolders::writeFile(QFile::encodeName(file("notes.bin")), QByteArray("\x01\x02\x03", 3));
        TestFolders::makeFolder(TestFolders::path(m_dir), "folder");
    }

    // The program loads the service once at start-up; each test loads it afresh (one of
    // them replaces its entry point).
    void init()
    {
        QDir(qEnvironmentVariable("XDG_CACHE_HOME")).removeRecursively();
        gOpenLookFrameworkBundleRef = nullptr;
        gQLThumbnailImageCreatePtr = nullptr;
        gkQLThumbnailOptionIconModeKeyPtr = nullptr;
        LoadThumbnailService();
        QVERIFY(ThumbnailServiceAvailable());
    }

    // With the library the first answer is the file icon; the thumbnail is made elsewhere,
    // announced, then served from memory at the size the table draws. A file changed on
    // disk is pictured anew, not served from memory.
    void thumbnailArrivesLater()
    {
        ItemImages images;
        QSignalSpy ready(&images, &ItemImages::imageReady);
        const QString path = file("changing.png");
        saveSolid(path, Qt::red);
        QVERIFY(images.imageWithPreviewOfFileAtPath(QString(), kRequest, true).isNull());
        const QIcon first = images.imageWithPreviewOfFileAtPath(path, kRequest, true);
        QCOMPARE(rendered(first), rendered(ItemImages::fileIcon(path)));
        QVERIFY(images.hasPendingWork());
        QVERIFY(ready.wait());
        QCOMPARE(ready.takeFirst().at(0).toString(), path);
        QVERIFY(!images.hasPendingWork());

        const QIcon thumbnail = images.imageWithPreviewOfFileAtPath(path, kRequest, true);
        QVERIFY(centreIs(thumbnail, Qt::red));
        const QList<QSize> sizes = thumbnail.availableSizes();
        QCOMPARE(sizes.size(), 1);
        QVERIFY(sizes.first().width() <= 48 && sizes.first().height() <= 48);
        QVERIFY(!images.hasPendingWork());

        saveSolid(path, Qt::blue);
        TestFolders::setModificationTime(QFile::encodeName(path), 2000000000);
        QVERIFY(!centreIs(images.imageWithPreviewOfFileAtPath(path, kRequest, true), Qt::red));
        QVERIFY(ready.wait());
        QVERIFY(centreIs(images.imageWithPreviewOfFileAtPath(path, kRequest, true), Qt::blue));
    }

    // What the library cannot picture keeps its file icon, and is not asked for again.
    void unpicturableItemsKeepFileIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("damaged image") << QStringLiteral("broken.jpg");
        QTest::newRow("unknown content") << QStringLiteral("notes.bin");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("missing") << QStringLiteral("gone.png");
    }
    void unpicturableItemsKeepFileIcon()
    {
        QFETCH(QString, name);
        ItemImages images;
        QSignalSpy ready(&images, &ItemImages::imageReady);
        const QString path = m_dir.filePath(name);
        images.imageWithPreviewOfFileAtPath(path, kRequest, true);
        QTRY_VERIFY(!images.hasPendingWork());
        const QIcon icon = images.imageWithPreviewOfFileAtPath(path, kRequest, true);
        QCOMPARE(rendered(icon), rendered(ItemImages::fileIcon(path)));
        QVERIFY(!images.hasPendingWork());
        QCOMPARE(ready.count(), 0);
    }

    // Scrolling past many rows queues only the latest requests: the oldest are dropped,
    // the newest is served, and a dropped row asks again when it comes back.
    void queueStaysBounded()
    {
        const QString original = file("photo.jpg");
        saveSolid(original, Qt::red, QSize(2000, 1500));
        QStringList paths;
        for (int i = 0; i < 300; ++i) {
            paths.append(file("link-%1.jpg").arg(i));
            QVERIFY(QFile::link(original, paths.last()));
        }
        ItemImages images;
        QSignalSpy ready(&images, &ItemImages::imageReady);
        for (const QString& path : std::as_const(paths))
            images.imageWithPreviewOfFileAtPath(path, kRequest, true);
        QTRY_VERIFY_WITH_TIMEOUT(!images.hasPendingWork(), 30000);

        QStringList served;
        for (const QList<QVariant>& signal : std::as_const(ready))
            served.append(signal.at(0).toString());
        QVERIFY2(served.size() < ItemImages::kMaxQueuedRequests + 40, qPrintable(QString::number(served.size())));
        QVERIFY(served.contains(paths.last()));
        const auto dropped = std::find_if(paths.cbegin(), paths.cend(), [&](const QString& p) { return !served.contains(p); });
        QVERIFY(dropped != paths.cend());
        images.imageWithPreviewOfFileAtPath(*dropped, kRequest, true);
        QVERIFY(images.hasPendingWork());
        QVERIFY(ready.wait());
        QCOMPARE(ready.last().at(0).toString(), *dropped);
    }

    // Going away does not wait for a picture being made (quitting would): its worker
    // drops the picture and ends on its own.
    void goingAwayDoesNotWaitForPictures()
    {
        static QSemaphore started;
        static QSemaphore finish;
        static std::atomic<bool> returned{false};
        gQLThumbnailImageCreatePtr = [](const QUrl*, QSizeF, const QVariantMap*) -> QImage* {
            started.release();
            finish.acquire();
            returned = true;
            return new QImage(16, 16, QImage::Format_RGB32);
        };
        {
            ItemImages images;
            images.imageWithPreviewOfFileAtPath(file("red.png"), kRequest, true);
            started.acquire();
        } // waiting here for the worker would never end: it goes on only when told below
        QVERIFY(!returned);
        finish.release();
        QTRY_VERIFY(returned);
    }
};

QTEST_MAIN(TestItemImages)
#include "tst_itemimages.moc"
