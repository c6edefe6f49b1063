// Object names: the lossless name codec, reading names and extensions, and renaming with
// and without the kernel's no-replace flag (refusals to replace: see tst_numbering).

#include "TestFolders.h"
#include "fsobjects/ObjectNames.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;

class TestObjectNames : public QObject
{
    Q_OBJECT

    int m_beeps = 0;

    FSRef refTo(const QByteArray& path)
    {
        FSRef ref;
        [&] { QCOMPARE(FSPathMakeRef(path, &ref), noErr); }();
        return ref;
    }

private Q_SLOTS:
    void init()
    {
        m_beeps = 0;
        SetBeepHandlerForTesting([this] { ++m_beeps; });
    }

    void cleanup()
    {
        SetBeepHandlerForTesting({});
        SetRenameNoReplaceDisabledForTesting(false);
    }

    void codecRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("Beach.jpg");
        QTest::newRow("utf-8") << QByteArray("Spiaggia \xC3\xA8 bella \xF0\x9F\x8C\x8A.jpg");
        QTest::newRow("latin-1") << QByteArray("caf\xE9");
        QTest::newRow("truncated sequence") << QByteArray("ab\xE2\x82");
        QTest::newRow("overlong slash") << QByteArray("a\xC0\xAF" "b");
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xB2\x80");
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80");
        QTest::newRow("invalid after 4-byte char") << QByteArray("\xF0\x90\x80\x80\xFF");
        QTest::newRow("every high byte") << [] {
            QByteArray b;
            for (int c = 0x80; c <= 0xFF; ++c)
                b.append(char(c));
            return b;
        }();
    }

    void codecRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        const QString text = DecodeFileName(bytes);
        QCOMPARE(EncodeFileName(text), bytes);
        // What is shown is valid text: no escape survives into it.
        QVERIFY(!HasEscapedBytes(DisplayFileName(text)));
        // A prefix added in text keeps the rest's bytes.
        QCOMPARE(EncodeFileName(QStringLiteral("0007 ") + text), "0007 " + bytes);
    }

    void namesAndExtensions_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("stem");
        QTest::newRow("photo") << QByteArray("photo.jpg") << "jpg" << "photo";
        QTest::newRow("no dot") << QByteArray("README") << QString() << "README";
        QTest::newRow("extension repeated") << QByteArray("jpg.jpg") << "jpg" << "jpg";
        QTest::newRow("extension inside") << QByteArray("xjpg.jpg") << "jpg" << "xjpg";
        QTest::newRow("two dots") << QByteArray("archive.tar.gz") << "gz" << "archive.tar";
        QTest::newRow("trailing dot") << QByteArray("odd.") << QString() << "odd.";
        QTest::newRow("leading dot only") << QByteArray(".profile") << QString() << ".profile";
    }

    void namesAndExtensions()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, extension);
        QFETCH(QString, stem);
        QTemporaryDir tmp;
        touch(path(tmp), name);
        const FSRef ref = refTo(path(tmp) + '/' + name);
        QCOMPARE(GetObjectName(&ref), QString::fromLatin1(name));
        QCOMPARE(FSGetName(ref), QString::fromLatin1(name));
        QCOMPARE(CopyNameExtension(&ref), extension);
        QCOMPARE(CopyNameExtension(&ref).isNull(), extension.isNull());
        QCOMPARE(GetObjectNameNoExtension(&ref), stem);
    }

    void staleReferencesReadNothing()
    {
        QTemporaryDir tmp;
        touch(path(tmp), "a.txt");
        FSRef ref = refTo(path(tmp) + "/a.txt");
        ::unlink(ref.path.constData());
        QVERIFY(GetObjectName(&ref).isNull());
        QVERIFY(GetObjectDisplayName(&ref).isNull());
        // Another object under the same name is not the referenced one. (The first one
        // is kept alive elsewhere so the new one cannot reuse its inode number.)
        touch(path(tmp), "b.txt");
        ref = refTo(path(tmp) + "/b.txt");
        QCOMPARE(::rename((path(tmp) + "/b.txt").constData(), (path(tmp) + "/kept").constData()), 0);
        touch(path(tmp), "b.txt");
        QVERIFY(!FSIsFSRefValid(&ref));
        QVERIFY(GetObjectName(&ref).isNull());
    }

    void renameUpdatesTheReference_data()
    {
        QTest::addColumn<bool>("withoutNoReplaceFlag");
        QTest::newRow("renameat2") << false;
        QTest::newRow("fallback") << true;
    }

    void renameUpdatesTheReference()
    {
        QFETCH(bool, withoutNoReplaceFlag);
        SetRenameNoReplaceDisabledForTesting(withoutNoReplaceFlag);
        QTemporaryDir tmp;
        const QByteArray dir = path(tmp);
        writeFile(dir + "/caf\xE9.jpg", "picture");
        makeFolder(dir, "Chapter");
        FSRef file = refTo(dir + "/caf\xE9.jpg");
        FSRef folder = refTo(dir + "/Chapter");

        QCOMPARE(SetObjectName(&file, QStringLiteral("0007 ") + GetObjectName(&file)), noErr);
        QCOMPARE(SetObjectName(&folder, QStringLiteral("01 ") + GetObjectName(&folder)), noErr);
        QCOMPARE(entries(dir), (QList<QByteArray>{"0007 caf\xE9.jpg", "01 Chapter"}));
        QCOMPARE(readFile(dir + "/0007 caf\xE9.jpg"), QByteArray("picture"));
        QCOMPARE(EncodeFileName(GetObjectName(&file)), QByteArray("0007 caf\xE9.jpg"));
        QVERIFY(FSIsFSRefValid(&folder));
        QCOMPARE(m_beeps, 0);
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("expectedErrno");
        QTest::newRow("too long") << QString(256, u'x') << int(ENAMETOOLONG);
        QTest::newRow("too long in bytes") << QString(128, QChar(0xE8)) << int(ENAMETOOLONG);
        QTest::newRow("separator") << "a/b" << int(EINVAL);
        QTest::newRow("empty") << "" << int(EINVAL);
        QTest::newRow("dot dot") << ".." << int(EINVAL);
    }

    void refusedNames()
    {
        QFETCH(QString, name);
        QFETCH(int, expectedErrno);
        QTemporaryDir tmp;
        touch(path(tmp), "a.txt");
        FSRef ref = refTo(path(tmp) + "/a.txt");
        int error = 0;
        QVERIFY(SetObjectName(&ref, name, &error) != noErr);
        QCOMPARE(error, expectedErrno);
        QCOMPARE(entries(path(tmp)), QList<QByteArray>{"a.txt"});
        QCOMPARE(m_beeps, 1);
    }

    void invisibility()
    {
        QTemporaryDir tmp;
        const QByteArray dir = path(tmp);
        touch(dir, ".dot");
        touch(dir, "plain");
        touch(dir, "listed");
        writeFile(dir + "/.hidden", "listed\n");
        QVERIFY(ItemAtPathIsInvisible(DecodeFileName(dir + "/.dot")));
        QVERIFY(ItemAtPathIsInvisible(DecodeFileName(dir + "/listed")));
        QVERIFY(!ItemAtPathIsInvisible(DecodeFileName(dir + "/plain")));
        QVERIFY(!ItemAtPathIsInvisible(DecodeFileName(dir + "/missing")));
    }
};

QTEST_GUILESS_MAIN(TestObjectNames)
#include "tst_objectnames.moc"
