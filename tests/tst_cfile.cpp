// CFile: paths, kinds, Finder codes, sizes, comments, dates, creating or finding
// objects, whole-file reads and writes, and descriptors.

#include "TestFolders.h"
#include "platform/AliasRecord.h"
#include "support/CFile.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace TestFolders;

class TestCFile : public QObject
{
    Q_OBJECT

    QByteArray m_root;

    FSRef file(const QByteArray& name, const QByteArray& contents = {})
    {
        writeFile(m_root + '/' + name, contents);
        return refTo(m_root + '/' + name);
    }

    // The block's bytes, the block disposed of; null for no block.
    static QByteArray taken(Ptr block)
    {
        const QByteArray bytes = block ? QByteArray(block, GetPtrSize(block)) : QByteArray();
        DisposePtr(block);
        return bytes;
    }

private Q_SLOTS:
    void init() { m_root = temporaryFolder(); }

    // The path as a length-prefixed string: one too long for it is refused, never cut.
    void pascalPaths()
    {
        const FSRef item = file("caf\xE9 menu.txt");
        Str255 pascal;
        QCOMPARE(CFile::FSGetPascalPath(item, pascal), noErr);
        QCOMPARE(pascalText(pascal), item.path);
        makeFolder(m_root, QByteArray(200, 'd'));
        const FSRef deep = file(QByteArray(200, 'd') + '/' + QByteArray(60, 'f'));
        pascal[0] = 9;
        QCOMPARE(CFile::FSGetPascalPath(deep, pascal), errFSNameTooLong);
        QCOMPARE(int(pascal[0]), 0);
        ::unlink(deep.path.constData());
        QCOMPARE(CFile::FSGetPascalPath(deep, pascal), fnfErr);
    }

    void kinds_data()
    {
        QTest::addColumn<QByteArray>("linkTarget");   // empty: the item itself is tested
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("isDirectory");
        QTest::addColumn<bool>("isFile");
        QTest::addColumn<bool>("aliasedDirectory");
        QTest::newRow("file") << QByteArray() << false << false << true << false;
        QTest::newRow("folder") << QByteArray() << true << true << false << false;
        QTest::newRow("link to folder") << QByteArray("target") << true << false << true << true;
        QTest::newRow("link to file") << QByteArray("target") << false << false << true << false;
        QTest::newRow("dangling link") << QByteArray("nowhere") << false << false << true << false;
    }

    void kinds()
    {
        QFETCH(QByteArray, linkTarget);
        QFETCH(bool, folder);
        QFETCH(bool, isDirectory);
        QFETCH(bool, isFile);
        QFETCH(bool, aliasedDirectory);
        folder ? makeFolder(m_root, "target") : touch(m_root, "target");
        QByteArray item = m_root + "/target";
        if (!linkTarget.isEmpty()) {
            item = m_root + "/link";
            QCOMPARE(::symlink(linkTarget.constData(), item.constData()), 0);
        }
        const FSRef ref = refTo(item);
        QCOMPARE(CFile::IsADirectory(ref), isDirectory);
        QCOMPARE(CFile::IsAFile(ref), isFile);
        QCOMPARE(CFile::FileIsAliasedDirectory(&ref), aliasedDirectory);
        // Gone: neither a folder nor a file.
        QCOMPARE(folder && linkTarget.isEmpty() ? ::rmdir(item.constData()) : ::unlink(item.constData()), 0);
        QVERIFY(!CFile::IsADirectory(ref) && !CFile::IsAFile(ref));
    }

    void finderCodesAndSizes()
    {
        const FSRef item = file("a", QByteArray(10, 'x'));
        OSType code = 1;
        QCOMPARE(CFile::FSGetType(item, code), noErr);
        QCOMPARE(code, OSType(0));
        // Setting creates the 32-byte record; setting the other code keeps the rest.
        QCOMPARE(CFile::FSSetType(item, FourCharCode("TEXT")), noErr);
        QCOMPARE(attribute(item.path, kFinderInfoAttribute), QByteArray("TEXT").append(28, '\0'));
        QByteArray info = attribute(item.path, kFinderInfoAttribute);
        info[8] = 0x40;   // the invisible flag
        QCOMPARE(::lsetxattr(item.path.constData(), kFinderInfoAttribute, info.constData(), 32, 0), 0);
        QCOMPARE(CFile::FSSetCreator(item, FourCharCode("ttxt")), noErr);
        QCOMPARE(attribute(item.path, kFinderInfoAttribute), QByteArray("TEXTttxt\x40").append(23, '\0'));
        QCOMPARE(CFile::FSGetCreator(item, code), noErr);
        QCOMPARE(code, FourCharCode("ttxt"));

        const QByteArray fork(286, 'r');
        QCOMPARE(::lsetxattr(item.path.constData(), kResourceForkAttribute, fork.constData(), 286, 0), 0);
        std::uint64_t size = 0;
        QCOMPARE(CFile::FSGetDataForkSize(item, size), noErr);
        QCOMPARE(size, 10u);
        QCOMPARE(CFile::FSGetSize(item, size), noErr);
        QCOMPARE(size, 296u);

        ::unlink(item.path.constData());
        QCOMPARE(CFile::FSGetType(item, code), fnfErr);
        QCOMPARE(code, OSType(0));
        QCOMPARE(CFile::FSGetSize(item, size), fnfErr);
        QCOMPARE(size, 0u);
    }

    // A reference whose path now names another object neither reads nor tags the newcomer.
    void staleReferenceLeavesTheNewcomerAlone()
    {
        const FSRef item = file("a");
        QCOMPARE(::rename(item.path.constData(), (m_root + "/moved").constData()), 0);
        const FSRef newcomer = file("a", "new");
        QCOMPARE(CFile::FSSetType(item, FourCharCode("MooV")), fnfErr);
        QCOMPARE(CFile::FSSetCreator(item, FourCharCode("TVOD")), fnfErr);
        QCOMPARE(CFile::FSSetComment(item, QStringLiteral("not mine")), fnfErr);
        QVERIFY(attribute(newcomer.path, kFinderInfoAttribute).isNull());
        QVERIFY(attribute(newcomer.path, kCommentAttribute).isNull());
        QCOMPARE(CFile::FSSetType(newcomer, FourCharCode("MooV")), noErr);
        QCOMPARE(CFile::FSSetComment(newcomer, QStringLiteral("new")), noErr);
        OSType code = 1;
        QCOMPARE(CFile::FSGetType(item, code), fnfErr);
        QCOMPARE(code, OSType(0));
        QVERIFY(CFile::FSGetComment(item).isNull());
    }

    void comments_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::newRow("ascii") << QStringLiteral("Holiday 2024");
        QTest::newRow("non-ascii") << QStringLiteral(u"Città al mare — 海辺 🌊");
        QTest::newRow("longer than a first read") << QString(700, QChar(u'é'));
    }

    void comments()
    {
        QFETCH(QString, comment);
        const FSRef item = file("a");
        QVERIFY(!CFile::FSGetComment(item).isNull());
        QVERIFY(CFile::FSGetComment(item).isEmpty());
        QCOMPARE(CFile::FSSetComment(item, comment), noErr);
        QCOMPARE(attribute(item.path, kCommentAttribute), comment.toUtf8());
        QCOMPARE(CFile::FSGetComment(item), comment);
        QCOMPARE(CFile::FSSetComment(item, QString()), noErr);
        QVERIFY(attribute(item.path, kCommentAttribute).isNull());
        ::unlink(item.path.constData());
        QVERIFY(CFile::FSGetComment(item).isNull());
    }

    void dates_data()
    {
        QTest::addColumn<qint64>("unixSeconds");
        QTest::addColumn<long>("nanoseconds");
        QTest::addColumn<quint16>("high");
        QTest::addColumn<quint32>("low");
        QTest::addColumn<quint16>("fraction");
        QTest::newRow("1904") << qint64(-2082844800) << 0L << quint16(0) << 0u << quint16(0);
        QTest::newRow("before 1970") << qint64(-1) << 500000000L << quint16(0) << 2082844799u << quint16(32768);
        QTest::newRow("1970") << qint64(0) << 15259L << quint16(0) << 2082844800u << quint16(1);
        QTest::newRow("last 32-bit Unix second") << qint64(0x7FFFFFFF) << 999999999L << quint16(0) << 0xFC25B07Fu << quint16(65535);
        QTest::newRow("2038 rollover") << qint64(0x80000000) << 0L << quint16(0) << 0xFC25B080u << quint16(0);
        QTest::newRow("last 32-bit classic second") << qint64(0xFFFFFFFFLL - 2082844800) << 0L << quint16(0) << 0xFFFFFFFFu << quint16(0);
        QTest::newRow("2040 rollover") << qint64(0x100000000LL - 2082844800) << 999984742L << quint16(1) << 0u << quint16(65535);
    }

    void dates()
    {
        QFETCH(qint64, unixSeconds);
        QFETCH(long, nanoseconds);
        QFETCH(quint16, high);
        QFETCH(quint32, low);
        QFETCH(quint16, fraction);
        const timespec time{time_t(unixSeconds), nanoseconds};
        UTCDateTime date;
        QVERIFY(UTCDateTimeFromTimespec(time, &date));
        QCOMPARE(date, (UTCDateTime{high, low, fraction}));
        // Exact both ways: the classic date comes back unchanged, the time loses less than
        // a fraction.
        const timespec back = TimespecFromUTCDateTime(date);
        UTCDateTime again;
        QVERIFY(UTCDateTimeFromTimespec(back, &again));
        QCOMPARE(again, date);
        QCOMPARE(back.tv_sec, time.tv_sec);
        QVERIFY(back.tv_nsec <= time.tv_nsec && time.tv_nsec - back.tv_nsec < 15259);

        // Through a file: set, read back, and the content is never written.
        const FSRef item = file("dated", "content");
        struct stat before, after;
        QCOMPARE(::stat(item.path.constData(), &before), 0);
        QCOMPARE(CFile::FSSetModCreateAccessDate(item, &date), noErr);
        UTCDateTime read;
        QCOMPARE(CFile::FSGetModDate(item, read), noErr);
        QCOMPARE(read, date);
        std::uint32_t seconds = 0;
        QCOMPARE(CFile::FSGetModDateAsUInt32(item, seconds), noErr);
        QCOMPARE(seconds, low);
        // The "access" date is the attribute-change time, which Linux cannot set: the
        // access time stays too.
        QCOMPARE(::stat(item.path.constData(), &after), 0);
        QCOMPARE(after.st_atim.tv_sec, before.st_atim.tv_sec);
        QCOMPARE(readFile(item.path), QByteArray("content"));
    }

    void dateSetters()
    {
        const FSRef item = file("a");
        UTCDateTime created;
        const OSErr birth = CFile::FSGetCreateDate(item, created);
        QVERIFY(birth == noErr || birth == unimpErr);
        const UTCDateTime date{0, 3000000000u, 0};
        QCOMPARE(CFile::FSSetModDate(item, &date), noErr);
        QCOMPARE(CFile::FSSetCreateDate(item, &date), noErr);
        UTCDateTime read;
        QCOMPARE(CFile::FSGetModDate(item, read), noErr);
        QCOMPARE(read, date);
        if (birth == noErr) {   // the birth time cannot be set: unchanged
            QCOMPARE(CFile::FSGetCreateDate(item, read), noErr);
            QCOMPARE(read, created);
        }
        // A link's own date is set, not its target's.
        const QByteArray link = m_root + "/link";
        QCOMPARE(::symlink("a", link.constData()), 0);
        const UTCDateTime later{0, 3100000000u, 0};
        QCOMPARE(CFile::FSSetModDate(refTo(link), &later), noErr);
        QCOMPARE(CFile::FSGetModDate(item, read), noErr);
        QCOMPARE(read, date);
        // The "access" setter changes nothing: Linux cannot set the attribute-change time.
        struct stat before, after;
        QCOMPARE(::stat(item.path.constData(), &before), 0);
        QCOMPARE(CFile::FSSetAccessDate(item, &later), noErr);
        QCOMPARE(::stat(item.path.constData(), &after), 0);
        QCOMPARE(after.st_atim.tv_sec, before.st_atim.tv_sec);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        // Failures are swallowed by the reference forms, reported by the FSSpec forms.
        ::unlink(item.path.constData());
        QCOMPARE(CFile::FSSetModDate(item, &date), noErr);
        QCOMPARE(CFile::FSSetModDate(FSSpec{m_root, "a"}, &date), fnfErr);
        QCOMPARE(CFile::FSGetModDate(item, read), fnfErr);
    }

    void createOrFind_data()
    {
        QTest::addColumn<QByteArray>("existing");   // "", "file" or "folder"
        QTest::addColumn<bool>("makeFolder");
        QTest::newRow("new file") << QByteArray() << false;
        QTest::newRow("new folder") << QByteArray() << true;
        QTest::newRow("file over file") << QByteArray("file") << false;
        QTest::newRow("folder over file") << QByteArray("file") << true;
        QTest::newRow("file over folder") << QByteArray("folder") << false;
        QTest::newRow("folder over folder") << QByteArray("folder") << true;
    }

    void createOrFind()
    {
        QFETCH(QByteArray, existing);
        QFETCH(bool, makeFolder);
        const QByteArray path = m_root + "/item";
        if (existing == "file")
            writeFile(path, "kept");
        else if (existing == "folder")
            TestFolders::makeFolder(m_root, "item");
        const FSRef folder = refTo(m_root);
        FSRef made;
        QCOMPARE(makeFolder ? CFile::FSCreateDirectory(folder, QStringLiteral("item"), made)
                            : CFile::FSCreateFile(folder, QStringLiteral("item"), made), noErr);
        QCOMPARE(made, refTo(path));
        const bool isFolder = existing.isEmpty() ? makeFolder : existing == "folder";
        QCOMPARE(CFile::IsADirectory(made), isFolder);
        if (existing == "file")
            QCOMPARE(readFile(path), QByteArray("kept"));
        FSRef found;
        QVERIFY(CFile::FSObjectExists(folder, QStringLiteral("item"), found));
        QCOMPARE(found, made);
        // The path form finds it too; with codes it sets them on an existing file.
        QCOMPARE(CFile::FSCreateFile(QString::fromUtf8(path), FourCharCode("JPEG"), FourCharCode("8BIM"), found), noErr);
        QCOMPARE(found, made);
        OSType type = 0;
        QCOMPARE(CFile::FSGetType(made, type), noErr);
        QCOMPARE(type, FourCharCode("JPEG"));
    }

    void createFailures()
    {
        FSRef out = refTo(m_root);
        const FSRef before = out;
        QCOMPARE(CFile::FSCreateFile(QString::fromUtf8(m_root + "/missing/x"), out), fnfErr);
        QCOMPARE(CFile::FSCreateFile(QStringLiteral("no-separator-here"), out), fnfErr);
        QCOMPARE(CFile::FSCreateFile(before, QStringLiteral("a/b"), out), paramErr);
        QCOMPARE(CFile::FSCreateDirectory(before, QString(256, u'n'), out), errFSNameTooLong);
        QVERIFY(!CFile::FSObjectExists(before, QStringLiteral("absent"), out));
        QCOMPARE(out, before);
        FSRef parent;
        QVERIFY(CFile::FSObjectExists(file("x"), parent));
        QCOMPARE(parent, before);
    }

    void readAndWrite()
    {
        const FSRef item = file("ten", "0123456789");
        QCOMPARE(CFile::WriteFile(item, "abc", 3), noErr);
        QCOMPARE(readFile(item.path), QByteArray("abc3456789"));
        QCOMPARE(taken(CFile::ReadFile(item)), QByteArray("abc3456789"));
        const QByteArray empty = taken(CFile::ReadFile(file("empty")));
        QVERIFY(!empty.isNull() && empty.isEmpty());

        const QByteArray made = m_root + "/made";
        QCOMPARE(CFile::WriteFile(made.constData(), "new", 3), noErr);
        long length = -1;
        QCOMPARE(taken(CFile::ReadFile(QString::fromUtf8(made), &length)), QByteArray("new"));
        QCOMPARE(length, 3);
        QCOMPARE(taken(CFile::ReadFile(FSSpec{m_root, "ten"})), QByteArray("abc3456789"));
        QVERIFY(!CFile::ReadFile(FSSpec{m_root, "absent"}));

        QVERIFY(!CFile::ReadFile(refTo(m_root)));
        QCOMPARE(CFile::WriteFile(item, nullptr, 1), paramErr);
        QCOMPARE(CFile::WriteFile(static_cast<const char*>(nullptr), "x", 1), paramErr);
    }

    // A FIFO at the path is refused at once, never waited on (the alarm ends a hang).
    void fifoIsNotAFile()
    {
        const QByteArray path = m_root + "/fifo";
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        const FSRef fifo = refTo(path);
        ::alarm(10);
        QVERIFY(!CFile::ReadFile(fifo));
        QVERIFY(!CFile::ReadFile(QString::fromUtf8(path)));
        QCOMPARE(CFile::WriteFile(fifo, "x", 1), notAFileErr);
        QCOMPARE(CFile::WriteFile(path.constData(), "x", 1), notAFileErr);
        ::alarm(0);
    }

    // Reading must not ask for write access: a file the user may only read is read.
    void readsReadOnlyFiles()
    {
        const FSRef item = file("read-only", "secret");
        QCOMPARE(::chmod(m_root.constData(), 0755), 0);
        if (::geteuid() == 0)
            QCOMPARE(::chown(item.path.constData(), 65534, 65534), 0);
        QCOMPARE(::chmod(item.path.constData(), 0400), 0);
        AsUnprivilegedUser nobody;
        QVERIFY(nobody.dropped());
        if (::faccessat(AT_FDCWD, item.path.constData(), R_OK, AT_EACCESS) != 0)
            QSKIP("an unprivileged user cannot reach the temporary folder");
        QVERIFY(::faccessat(AT_FDCWD, item.path.constData(), W_OK, AT_EACCESS) != 0);   // truly read-only
        QCOMPARE(taken(CFile::ReadFile(item)), QByteArray("secret"));
    }

    void descriptors()
    {
        FSRef item = file("photo \xFF.jpg");
        AEDesc desc;
        FSRef out;
        // Every file descriptor type gives the object back (the file URL last).
        for (const DescType type : {typeFSRef, typeFSS, typeAlias, typeFileURL}) {
            QCOMPARE(AEDescFromFSRef(item, type, &desc), noErr);
            QCOMPARE(CFile::GetFSRefFromAEDesc(&out, &desc), noErr);
            QCOMPARE(out, item);
        }
        QCOMPARE(desc.dataHandle, "file://" + QByteArray(m_root).toPercentEncoding("/") + "/photo%20%FF.jpg");

        // 'fsrf' is copied as it is, even once its object is gone; an alias is resolved.
        AEDesc flat, alias;
        QCOMPARE(AEDescFromFSRef(item, typeFSRef, &flat), noErr);
        QCOMPARE(AEDescFromFSRef(item, typeAlias, &alias), noErr);
        QCOMPARE(::rename(item.path.constData(), (m_root + "/moved.jpg").constData()), 0);
        QCOMPARE(CFile::GetFSRefFromAEDesc(&out, &flat), noErr);
        QCOMPARE(out, item);
        QCOMPARE(CFile::GetFSRefFromAEDesc(&out, &alias), noErr);
        QCOMPARE(out.path, m_root + "/moved.jpg");

        FSSpec spec;
        QCOMPARE(CFile::FSMakeFSSpec(&out, &spec), noErr);
        QCOMPARE(spec, (FSSpec{m_root, "moved.jpg"}));
        // Malformed and unknown descriptors fail cleanly.
        const FSRef untouched = out;
        QCOMPARE(AECreateDesc(typeAlias, alias.dataHandle.first(20), &desc), noErr);
        QVERIFY(CFile::GetFSRefFromAEDesc(&out, &desc) != noErr);
        QCOMPARE(AECreateDesc(FourCharCode("TEXT"), "x", &desc), noErr);
        QCOMPARE(CFile::GetFSRefFromAEDesc(&out, &desc), errAECoercionFail);
        QCOMPARE(AECreateDesc(typeFileURL, "http://example.org/a", &desc), noErr);
        QCOMPARE(CFile::GetFSRefFromAEDesc(&out, &desc), errAECoercionFail);
        QCOMPARE(out, untouched);
    }
};

QTEST_GUILESS_MAIN(TestCFile)
#include "tst_cfile.moc"
