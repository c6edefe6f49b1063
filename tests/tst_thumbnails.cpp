// The thumbnail library, loaded as the program loads it: the shared freedesktop cache
// (entries used, stale ones replaced, pictures of the cache itself never stored), files
// it must refuse without hanging, icon mode, and registered thumbnailers.

#include "platform/Bundle.h"
#include "platform/ThumbnailService.h"

#include "TestFolders.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QImage solid(QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray redPng(QSize size)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    solid(size, Qt::red).save(&buffer, "PNG");
    return png;
}

bool looksLike(const QImage& image, QColor color)
{
    if (image.isNull())
        return false;
    const QColor seen = image.pixelColor(image.width() / 2, image.height() / 2);
    return std::abs(seen.red() - color.red()) < 24 && std::abs(seen.green() - color.green()) < 24
        && std::abs(seen.blue() - color.blue()) < 24;
}

qint64 modificationTime(const QByteArray& path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 ? qint64(st.st_mtim.tv_sec) : -1;
}

} // namespace

class TestThumbnails : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home{QDir::tempPath() + QStringLiteral("/thumbs-XXXXXX")};
    QByteArray m_files;        // where the originals live
    QByteArray m_cache;        // $XDG_CACHE_HOME/thumbnails
    QByteArray m_log;          // what the test thumbnailer was given

    std::unique_ptr<QImage> create(const QByteArray& path, QSizeF size, bool iconMode = false)
    {
        const QUrl url = QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
        const QVariantMap options{{*gkQLThumbnailOptionIconModeKeyPtr, iconMode}};
        return std::unique_ptr<QImage>(gQLThumbnailImageCreatePtr(&url, size, &options));
    }

    QByteArray entryPath(const char* flavor, const QByteArray& uri) const
    {
        return m_cache + '/' + flavor + '/' + QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
    }
    QByteArray failurePath(const QByteArray& uri) const
    {
        return m_cache + "/fail/ordinello-" + Bundle::shortVersionString().toLatin1() + '/'
            + QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
    }

    void writeEntry(const QByteArray& path, QImage picture, const QByteArray& uri, qint64 mtime)
    {
        QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        picture.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(uri));
        picture.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
        QVERIFY(picture.save(QFile::decodeName(path), "PNG"));
    }

    void writeScript(const QByteArray& path, const QByteArray& body)
    {
        TestFolders::writeFile(path, "#!/bin/sh\n" + body);
        QVERIFY(::chmod(path.constData(), 0755) == 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // Test URIs are written out by hand below; the folder part must need no escaping.
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9/._-]+$")).match(m_home.path()).hasMatch());
        TestFolders::isolateUserFolders();
        const QByteArray home = TestFolders::path(m_home);
        m_files = home + "/files";
        m_cache = home + "/cache/thumbnails";
        m_log = home + "/thumbnailer.log";
        QVERIFY(QDir().mkpath(QFile::decodeName(m_files)));
        qputenv("XDG_CACHE_HOME", home + "/cache");

        // The thumbnailers registered here: text/plain pictured by a script that records its
        // arguments, text/csv by one that fails. The system's data folder stays in the list:
        // the content-type database lives there too.
        const QByteArray data = home + "/data";
        QVERIFY(QDir().mkpath(QFile::decodeName(data + "/thumbnailers")));
        qputenv("XDG_DATA_HOME", data);
        qputenv("XDG_DATA_DIRS", "/usr/share");
        QVERIFY(solid(QSize(300, 200), Qt::green).save(QFile::decodeName(home + "/green.png")));
        writeScript(home + "/picture-text",
                    "printf '%s\\n' \"$1\" \"$3\" > '" + m_log + "'\ncat \"$2\" >> '" + m_log + "'\n"
                    "cp '" + home + "/green.png' \"$4\"\n");
        writeScript(home + "/fail", "exit 1\n");
        TestFolders::writeFile(data + "/thumbnailers/text.thumbnailer",
                               "[Thumbnailer Entry]\nTryExec=" + home + "/picture-text\nExec=" + home
                                   + "/picture-text %s %i %u %o\nMimeType=text/plain;\n");
        TestFolders::writeFile(data + "/thumbnailers/csv.thumbnailer",
                               "[Thumbnailer Entry]\nExec=\"" + home + "/fail\" %i %o\nMimeType=text/csv;\n");
        TestFolders::writeFile(data + "/thumbnailers/missing.thumbnailer",
                               "[Thumbnailer Entry]\nTryExec=/nonexistent/program\nExec=/nonexistent/program %i %o\n"
                               "MimeType=text/plain;\n");

        const QString library = TestFolders::libraryFolderOfThisBuild();
        QVERIFY2(QFile::exists(library + QStringLiteral("/libordinello-thumbnails.so")),
                 qPrintable(QStringLiteral("thumbnail library not built in %1").arg(library)));
        qputenv("ORDINELLO_LIBRARY_DIR", QFile::encodeName(library));
        LoadThumbnailService();
        QVERIFY(ThumbnailServiceAvailable());
        QVERIFY(!gkQLThumbnailOptionIconModeKeyPtr->isEmpty());
    }

    void cleanupTestCase()
    {
        // QTemporaryDir cannot remove names that are not UTF-8.
        for (const QByteArray& name : TestFolders::entries(m_files))
            ::unlink((m_files + '/' + name).constData());
    }

    void init()
    {
        QDir(QFile::decodeName(m_cache)).removeRecursively();
    }

    // Pictures are made, sized to the request, and stored where file managers look for
    // them: under the MD5 of the URI as GLib spells it, with URI and mtime recorded.
    void picturesAndStoresInSharedCache_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("escapedName");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("request");
        QTest::addColumn<QByteArray>("flavor");
        QTest::addColumn<QSize>("stored");
        QTest::newRow("png, small request") << QByteArray("photo.png") << QByteArray("photo.png") << QByteArray("PNG")
                                            << QSize(100, 100) << QByteArray("normal") << QSize(128, 96);
        QTest::newRow("large") << QByteArray("p.jpg") << QByteArray("p.jpg") << QByteArray("JPEG")
                               << QSize(200, 150) << QByteArray("large") << QSize(256, 192);
        QTest::newRow("x-large") << QByteArray("p.png") << QByteArray("p.png") << QByteArray("PNG")
                                 << QSize(512, 512) << QByteArray("x-large") << QSize(512, 384);
        QTest::newRow("xx-large") << QByteArray("p.png") << QByteArray("p.png") << QByteArray("PNG")
                                  << QSize(1000, 1000) << QByteArray("xx-large") << QSize(1024, 768);
        // Escaping as GLib does it (checked against `gio info`): sub-delimiters stay,
        // blank, ';', '#', '%' and every byte above 0x7F are escaped.
        QTest::newRow("punctuation") << QByteArray("a b;#%!$&'()+,=@~.png") << QByteArray("a%20b%3B%23%25!$&'()+,=@~.png")
                                     << QByteArray("PNG") << QSize(128, 128) << QByteArray("normal") << QSize(128, 96);
        QTest::newRow("not UTF-8") << QByteArray("caf\xe9 \xc3\xa9.png") << QByteArray("caf%E9%20%C3%A9.png")
                                   << QByteArray("PNG") << QSize(128, 128) << QByteArray("normal") << QSize(128, 96);
    }
    void picturesAndStoresInSharedCache()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, escapedName);
        QFETCH(QByteArray, format);
        QFETCH(QSize, request);
        QFETCH(QByteArray, flavor);
        QFETCH(QSize, stored);
        const QByteArray path = m_files + '/' + name;
        QFile out;
        QVERIFY(out.open(::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644), QIODevice::WriteOnly,
                         QFileDevice::AutoCloseHandle));
        QVERIFY(solid(QSize(1200, 900), Qt::red).save(&out, format.constData()));
        out.close();

        const auto picture = create(path, QSizeF(request));
        QVERIFY(picture);
        QVERIFY(looksLike(*picture, Qt::red));
        QCOMPARE(picture->size(), QSize(1200, 900).scaled(request, Qt::KeepAspectRatio));

        const QByteArray uri = "file://" + m_files + '/' + escapedName;
        const QByteArray entry = entryPath(flavor.constData(), uri);
        const QImage cached(QFile::decodeName(entry));
        QVERIFY2(!cached.isNull(), entry.constData());
        QCOMPARE(cached.size(), stored);
        QCOMPARE(cached.text(QStringLiteral("Thumb::URI")), QString::fromLatin1(uri));
        QCOMPARE(cached.text(QStringLiteral("Thumb::MTime")).toLongLong(), modificationTime(path));
        struct stat st;
        QVERIFY(::stat(entry.constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
        QVERIFY(::stat((m_cache + '/' + flavor).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
        // Nothing but the entry: the temporary file was renamed, not left behind.
        QCOMPARE(TestFolders::entries(m_cache + '/' + flavor).size(), 1);
    }

    // A valid entry is used as it is (even a larger flavor for a smaller request); one
    // whose modification time is not the file's is replaced by a new picture.
    void usesValidEntryAndReplacesStaleOne_data()
    {
        QTest::addColumn<QByteArray>("flavor");
        QTest::addColumn<qint64>("entryAge");
        QTest::addColumn<bool>("entryUsed");
        QTest::newRow("valid") << QByteArray("normal") << qint64(0) << true;
        QTest::newRow("valid, larger flavor") << QByteArray("large") << qint64(0) << true;
        QTest::newRow("stale") << QByteArray("normal") << qint64(3600) << false;
        QTest::newRow("from the future") << QByteArray("normal") << qint64(-60) << false;
    }
    void usesValidEntryAndReplacesStaleOne()
    {
        QFETCH(QByteArray, flavor);
        QFETCH(qint64, entryAge);
        QFETCH(bool, entryUsed);
        const QByteArray path = m_files + "/cached.png";
        QVERIFY(solid(QSize(400, 300), Qt::red).save(QFile::decodeName(path)));
        TestFolders::setModificationTime(path, 1700000000);
        const QByteArray uri = "file://" + path;
        const QByteArray entry = entryPath(flavor.constData(), uri);
        writeEntry(entry, solid(QSize(128, 96), Qt::blue), uri, 1700000000 - entryAge);

        const auto picture = create(path, QSizeF(96, 96));
        QVERIFY(picture);
        QCOMPARE(looksLike(*picture, Qt::blue), entryUsed);
        QCOMPARE(looksLike(*picture, Qt::red), !entryUsed);
        if (!entryUsed) {
            const QImage replaced(QFile::decodeName(entry));
            QVERIFY(looksLike(replaced, Qt::red));
            QCOMPARE(replaced.text(QStringLiteral("Thumb::MTime")), QStringLiteral("1700000000"));
        }
    }

    // What cannot be pictured gives null, at once: damaged images (remembered as failed
    // until they change), and things that are not regular files, which are never opened.
    void refusesWhatItCannotPicture_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");       // "file": a regular file of the given contents
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("failureRecorded");
        const QByteArray png = redPng(QSize(300, 300));
        const QByteArray file("file");
        QTest::newRow("garbage named .jpg") << QByteArray("broken.jpg") << file << QByteArray(4096, 'x') << true;
        QTest::newRow("truncated png") << QByteArray("cut.png") << file << png.left(png.size() / 3) << true;
        QTest::newRow("failing thumbnailer") << QByteArray("table.csv") << file << QByteArray("a,b\n1,2\n") << true;
        QTest::newRow("no thumbnailer") << QByteArray("data.bin") << file << QByteArray("\x00\x01\x02\xff\xfe", 5).repeated(100) << false;
        QTest::newRow("empty file named .png") << QByteArray("empty.png") << file << QByteArray() << true;
        QTest::newRow("fifo") << QByteArray("pipe.png") << QByteArray("fifo") << QByteArray() << false;
        QTest::newRow("folder") << QByteArray("folder.png") << QByteArray("folder") << QByteArray() << false;
        QTest::newRow("dangling link") << QByteArray("link.png") << QByteArray("dangling") << QByteArray() << false;
    }
    void refusesWhatItCannotPicture()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, contents);
        QFETCH(bool, failureRecorded);
        const QByteArray path = m_files + "/refused-" + name;
        ::unlink(path.constData());
        ::rmdir(path.constData());
        if (kind == "file")
            TestFolders::writeFile(path, contents);
        else if (kind == "fifo")
            QVERIFY(::mkfifo(path.constData(), 0644) == 0);
        else if (kind == "folder")
            QVERIFY(::mkdir(path.constData(), 0755) == 0);
        else
            QVERIFY(::symlink("/nonexistent/picture.png", path.constData()) == 0);

        QVERIFY(!create(path, QSizeF(128, 128)));
        QCOMPARE(TestFolders::entries(m_cache + "/normal").size(), 0);
        QCOMPARE(QFile::exists(QFile::decodeName(failurePath("file://" + path))), failureRecorded);
    }

    // A remembered failure holds only for the version of the file that failed: same
    // modification time and size.
    void retriesFailedFileOnceItChanged()
    {
        const QByteArray path = m_files + "/repaired.png";
        const QByteArray png = redPng(QSize(64, 64));
        QVERIFY(!png.isEmpty());
        TestFolders::writeFile(path, QByteArray(png.size(), 'x'));
        TestFolders::setModificationTime(path, 1600000000);
        QVERIFY(!create(path, QSizeF(128, 128)));
        TestFolders::writeFile(path, png);
        TestFolders::setModificationTime(path, 1600000000);
        QVERIFY2(!create(path, QSizeF(128, 128)), "same time and size: the file that failed");
        TestFolders::setModificationTime(path, 1600000100);
        const auto picture = create(path, QSizeF(128, 128));
        QVERIFY(picture);
        QVERIFY(looksLike(*picture, Qt::red));
    }

    // Icon mode: the picture on a frame, transparent around it, within the box; the cached
    // entry stays the plain picture file managers expect.
    void iconModeFramesThePicture()
    {
        const QByteArray path = m_files + "/icon.png";
        QVERIFY(solid(QSize(800, 600), Qt::red).save(QFile::decodeName(path)));
        const auto icon = create(path, QSizeF(128, 128), true);
        QVERIFY(icon);
        QVERIFY(icon->width() <= 128 && icon->height() <= 128);
        QVERIFY(icon->hasAlphaChannel());
        QCOMPARE(qAlpha(icon->pixel(0, 0)), 0);
        QVERIFY(looksLike(*icon, Qt::red));
        const QImage cached(QFile::decodeName(entryPath("normal", "file://" + path)));
        QCOMPARE(cached.pixelColor(0, 0), QColor(Qt::red));
    }

    // Other types go to the registered thumbnailer, with its field codes filled in; a
    // name that is not UTF-8 reaches it through a link that still leads to the file.
    void runsRegisteredThumbnailer_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain name") << QByteArray("notes.txt");
        QTest::newRow("not UTF-8") << QByteArray("not\xe9s.txt");
    }
    void runsRegisteredThumbnailer()
    {
        QFETCH(QByteArray, name);
        const QByteArray path = m_files + '/' + name;
        TestFolders::writeFile(path, "the words inside");
        ::unlink(m_log.constData());

        const auto picture = create(path, QSizeF(100, 100));
        QVERIFY(picture);
        QVERIFY(looksLike(*picture, Qt::green));
        const QByteArray uri = "file://" + path.toPercentEncoding("/!$&'()*+,:=@~");
        QCOMPARE(TestFolders::readFile(m_log), "128\n" + uri + "\nthe words inside");
        const QImage cached(QFile::decodeName(entryPath("normal", uri)));
        QCOMPARE(cached.text(QStringLiteral("Thumb::Mime")), QStringLiteral("text/plain"));
    }

    // Files inside the thumbnail cache are pictured but never stored back into it.
    void neverStoresPicturesOfTheCache()
    {
        const QByteArray path = m_cache + "/elsewhere/picture.png";
        QVERIFY(QDir().mkpath(QFile::decodeName(m_cache + "/elsewhere")));
        QVERIFY(solid(QSize(300, 300), Qt::red).save(QFile::decodeName(path)));
        QVERIFY(create(path, QSizeF(128, 128)));
        QCOMPARE(TestFolders::entries(m_cache), QList<QByteArray>{"elsewhere"});
    }

    void rejectsBadArguments_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("other scheme") << QUrl(QStringLiteral("http://example.org/a.png")) << QSizeF(64, 64);
        QTest::newRow("other host") << QUrl(QStringLiteral("file://server/tmp/a.png")) << QSizeF(64, 64);
        QTest::newRow("relative") << QUrl(QStringLiteral("file:a.png")) << QSizeF(64, 64);
        QTest::newRow("NUL in path") << QUrl::fromEncoded("file:///tmp/a%00.png") << QSizeF(64, 64);
        QTest::newRow("empty size") << QUrl(QStringLiteral("file:///tmp/a.png")) << QSizeF(0, 64);
        QTest::newRow("NaN size") << QUrl(QStringLiteral("file:///tmp/a.png")) << QSizeF(qQNaN(), 64);
    }
    void rejectsBadArguments()
    {
        QFETCH(QUrl, url);
        QFETCH(QSizeF, size);
        QVERIFY(!gQLThumbnailImageCreatePtr(&url, size, nullptr));
        QVERIFY(!gQLThumbnailImageCreatePtr(nullptr, QSizeF(64, 64), nullptr));
    }
};

QTEST_GUILESS_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
