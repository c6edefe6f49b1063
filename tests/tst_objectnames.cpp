// Object names: the lossless name codec, reading names and extensions, and renaming with
// and without the kernel's no-replace flag (refusals to replace: see tst_numbering).

#include "TestFolders.h"
#include "renaming/DirectoryItems.h"
#include "fsobjects/ObjectNames.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"

#include <QRandomGenerator>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;

class TestObjectNames : public QObject
{
    Q_OBJECT

    int m_beeps = 0;
    QByteArray m_dir;

private Q_SLOTS:
    void init()
    {
        m_dir = temporaryFolder();
        m_beeps = 0;
        SetBeepHandlerForTesting([this] { ++m_beeps; });
    }

    void cleanup()
    {
        SetBeepHandlerForTesting({});
        SetRenameNoReplaceDisabledForTesting(false);
    }

    // Every byte string a name can be (no '/', no NUL) comes back exactly: all strings of
    // one and two bytes, every three-byte string that starts like a multi-byte sequence or a
    // byte-order mark, every high byte in a row, and random strings mixing the kinds of bytes
    // that make UTF-8 valid or not. For these, what is shown holds no escape, and a prefix
    // added in text keeps the rest's bytes.
    void codecRoundTripIsExact()
    {
        auto check = [](const QByteArray& bytes, bool shown) {
            const QString text = DecodeFileName(bytes);
            if (EncodeFileName(text) != bytes)
                QFAIL(qPrintable("round trip changed " + bytes.toHex(' ') + " into " + EncodeFileName(text).toHex(' ')));
            if (shown && (HasEscapedBytes(DisplayFileName(text)) || EncodeFileName("0007 " + text) != "0007 " + bytes))
                QFAIL(qPrintable("shown or prefixed wrongly: " + bytes.toHex(' ')));
        };
        auto nameByte = [](int b) { return b != 0 && b != '/'; };
        QByteArray bytes, high;
        for (int a = 1; a < 256; ++a) {
            if (!nameByte(a))
                continue;
            check(QByteArray(1, char(a)), true);
            if (a >= 0x80)
                high += char(a);
            for (int b = 1; b < 256; ++b) {
                if (!nameByte(b))
                    continue;
                const QByteArray two = QByteArray(1, char(a)) + char(b);
                check(two, false);
                if (a == 0xE0 || a == 0xED || a == 0xEF || a == 0xF0 || a == 0xF4) {
                    for (int c = 1; c < 256; ++c) {
                        if (nameByte(c))
                            check(two + char(c), false);
                    }
                }
            }
        }
        check(high, true);
        const QList<QByteArray> pieces = {"a", " ", "\xC3\xA8", "\xF0\x9F\x8C\x8A", "\xEF\xBB\xBF", "\x80",
                                          "\xBF", "\xC0", "\xE2\x82", "\xED\xB2\x80", "\xF4\x90", "\xFF"};
        QRandomGenerator random(20261206);
        for (int i = 0; i < 100000; ++i) {
            bytes.clear();
            for (int n = random.bounded(1, 9); n > 0; --n)
                bytes += pieces[random.bounded(int(pieces.size()))];
            check(bytes, true);
        }
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
        touch(m_dir, name);
        const FSRef ref = refTo(m_dir + '/' + name);
        QCOMPARE(GetObjectName(&ref), QString::fromLatin1(name));
        QCOMPARE(FSGetName(ref), QString::fromLatin1(name));
        QCOMPARE(CopyNameExtension(&ref), extension);
        QCOMPARE(CopyNameExtension(&ref).isNull(), extension.isNull());
        QCOMPARE(GetObjectNameNoExtension(&ref), stem);
    }

    void staleReferencesReadNothing()
    {
        touch(m_dir, "a.txt");
        FSRef ref = refTo(m_dir + "/a.txt");
        ::unlink(ref.path.constData());
        QVERIFY(GetObjectName(&ref).isNull());
        QVERIFY(GetObjectDisplayName(&ref).isNull());
        // Another object under the same name is not the referenced one. (The first one
        // is kept alive elsewhere so the new one cannot reuse its inode number.)
        touch(m_dir, "b.txt");
        ref = refTo(m_dir + "/b.txt");
        QCOMPARE(::rename((m_dir + "/b.txt").constData(), (m_dir + "/kept").constData()), 0);
        touch(m_dir, "b.txt");
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
        writeFile(m_dir + "/caf\xE9.jpg", "picture");
        makeFolder(m_dir, "Chapter");
        FSRef file = refTo(m_dir + "/caf\xE9.jpg");
        FSRef folder = refTo(m_dir + "/Chapter");

        QCOMPARE(SetObjectName(&file, QStringLiteral("0007 ") + GetObjectName(&file)), noErr);
        QCOMPARE(SetObjectName(&folder, QStringLiteral("01 ") + GetObjectName(&folder)), noErr);
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"0007 caf\xE9.jpg", "01 Chapter"}));
        QCOMPARE(readFile(m_dir + "/0007 caf\xE9.jpg"), QByteArray("picture"));
        QCOMPARE(EncodeFileName(GetObjectName(&file)), QByteArray("0007 caf\xE9.jpg"));
        QVERIFY(FSIsFSRefValid(&folder));
        QCOMPARE(m_beeps, 0);
    }

    // Without the kernel's no-replace flag the rename takes two steps. Another program
    // acting between them keeps what it made and what it left: a name of the object is
    // taken away only while another name of it is seen to hold it.
    void fallbackKeepsWhatAnotherProgramChanged_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("hardLinks");
        QTest::addColumn<QByteArray>("change");   // what the other program does at the step
        QTest::addColumn<int>("expectedErrno");
        QTest::addColumn<QList<QByteArray>>("expected");   // name=content, or name/ for folders
        QTest::newRow("new version saved between link and unlink")
            << false << true << QByteArray("replace old") << int(ECANCELED) << QList<QByteArray>{"1 a=mine", "a=theirs"};
        QTest::newRow("old name removed between link and unlink")
            << false << true << QByteArray("remove old") << 0 << QList<QByteArray>{"1 a=mine", "theirs=theirs"};
        QTest::newRow("new version saved beside the placeholder")
            << false << false << QByteArray("replace old") << int(ECANCELED) << QList<QByteArray>{"a=theirs"};
        QTest::newRow("file put over the placeholder")
            << false << false << QByteArray("replace new") << int(EEXIST) << QList<QByteArray>{"1 a=theirs", "a=mine"};
        QTest::newRow("folder put over the placeholder folder")
            << true << false << QByteArray("replace new") << int(EEXIST) << QList<QByteArray>{"1 a/", "a/"};
    }

    void fallbackKeepsWhatAnotherProgramChanged()
    {
        QFETCH(bool, folder);
        QFETCH(bool, hardLinks);
        QFETCH(QByteArray, change);
        QFETCH(int, expectedErrno);
        QFETCH(QList<QByteArray>, expected);
        SetRenameNoReplaceDisabledForTesting(true);
        SetHardLinksDisabledForTesting(!hardLinks);
        if (folder) {
            makeFolder(m_dir, "a");
            writeFile(m_dir + "/a/inside", "mine");
            makeFolder(m_dir, "theirs");
        } else {
            writeFile(m_dir + "/a", "mine");
            writeFile(m_dir + "/theirs", "theirs");
        }
        FSRef item = refTo(m_dir + "/a");
        SetRenameStepHookForTesting([&](RenameStep, int dirfd, const QByteArray& from, const QByteArray& to) {
            if (change == "remove old")
                return ::unlinkat(dirfd, from.constData(), 0) == 0;
            if (folder)
                ::unlinkat(dirfd, to.constData(), AT_REMOVEDIR);
            return ::renameat(dirfd, "theirs", dirfd, (change == "replace new" ? to : from).constData()) == 0;
        });
        int error = 0;
        QCOMPARE(SetObjectName(&item, QStringLiteral("1 a"), &error) == noErr, expectedErrno == 0);
        SetRenameStepHookForTesting({});
        SetHardLinksDisabledForTesting(false);
        QCOMPARE(error, expectedErrno);
        QList<QByteArray> found;
        for (const QByteArray& name : entries(m_dir))
            found.append(folder ? name + '/' : name + '=' + readFile(m_dir + '/' + name));
        QCOMPARE(found, expected);
        if (folder)
            QCOMPARE(readFile(m_dir + "/a/inside"), QByteArray("mine"));
    }

    // A process that dies between the fallback's two steps leaves the item under two
    // names (a link too), or a placeholder beside it. A listing lists what it finds and
    // changes nothing; putting the rename back (as a run or an undo does, from its
    // journal) leaves the item under its old name alone, with its content.
    void fallbackCutShortIsLeftToTheJournal_data()
    {
        QTest::addColumn<QByteArray>("kind");   // file, link, folder
        QTest::addColumn<bool>("hardLinks");
        QTest::newRow("file with two names") << QByteArray("file") << true;
        QTest::newRow("link with two names") << QByteArray("link") << true;
        QTest::newRow("file beside its placeholder") << QByteArray("file") << false;
        QTest::newRow("folder beside its placeholder") << QByteArray("folder") << false;
    }

    void fallbackCutShortIsLeftToTheJournal()
    {
        QFETCH(QByteArray, kind);
        QFETCH(bool, hardLinks);
        SetRenameNoReplaceDisabledForTesting(true);
        SetHardLinksDisabledForTesting(!hardLinks);
        if (kind == "folder") {
            makeFolder(m_dir, "a");
            writeFile(m_dir + "/a/inside", "mine");
        } else if (kind == "link") {
            QCOMPARE(::symlink("target", (m_dir + "/a").constData()), 0);
        } else {
            writeFile(m_dir + "/a", "mine");
        }
        const FSRef item = refTo(m_dir + "/a");
        FSRef renamed = item;
        SetRenameStepHookForTesting([](RenameStep, int, const QByteArray&, const QByteArray&) { return false; });
        QVERIFY(SetObjectName(&renamed, QStringLiteral("1 a")) != noErr);
        SetRenameStepHookForTesting({});
        SetHardLinksDisabledForTesting(false);
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"1 a", "a"}));   // the state a crash leaves

        QList<FSRef> items;
        QCOMPARE(ListDirectoryItemRefs(refTo(m_dir), &items), noErr);
        QCOMPARE(items.size(), 2);
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"1 a", "a"}));

        const FileDescriptor dirfd(::open(m_dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        QVERIFY(!UndoInterruptedRename(dirfd.get(), "a", "other", item));   // not the pair in flight
        QVERIFY(UndoInterruptedRename(dirfd.get(), "a", "1 a", item));
        QCOMPARE(entries(m_dir), QList<QByteArray>{"a"});
        if (kind == "link") {
            char target[16] = {};
            QCOMPARE(::readlink((m_dir + "/a").constData(), target, sizeof target), 6);
        } else {
            QCOMPARE(readFile(m_dir + (kind == "folder" ? "/a/inside" : "/a")), QByteArray("mine"));
        }
    }

    // ext4 gives a deleted object's inode number to the next object made: an object with
    // the listed device and inode but another birth time is not the listed one.
    void identityIncludesTheBirthTime()
    {
        touch(m_dir, "a");
        FSRef ref = refTo(m_dir + "/a");
        if (!ref.hasBirthTime)
            QSKIP("this file system records no birth time");
        ref.birthNanoseconds = (ref.birthNanoseconds + 1) % 1000000000;
        QVERIFY(!FSIsFSRefValid(&ref));
        int error = 0;
        QVERIFY(SetObjectName(&ref, QStringLiteral("1 a"), &error) != noErr);
        QCOMPARE(error, ENOENT);
        QCOMPARE(entries(m_dir), QList<QByteArray>{"a"});
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
        touch(m_dir, "a.txt");
        FSRef ref = refTo(m_dir + "/a.txt");
        int error = 0;
        QVERIFY(SetObjectName(&ref, name, &error) != noErr);
        QCOMPARE(error, expectedErrno);
        QCOMPARE(entries(m_dir), QList<QByteArray>{"a.txt"});
        QCOMPARE(m_beeps, 1);
    }

    void invisibility()
    {
        makeFiles(m_dir, {".dot", "plain", "listed"});
        writeFile(m_dir + "/.hidden", "listed\n");
        QVERIFY(ItemAtPathIsInvisible(DecodeFileName(m_dir + "/.dot")));
        QVERIFY(ItemAtPathIsInvisible(DecodeFileName(m_dir + "/listed")));
        QVERIFY(!ItemAtPathIsInvisible(DecodeFileName(m_dir + "/plain")));
        QVERIFY(!ItemAtPathIsInvisible(DecodeFileName(m_dir + "/missing")));
    }
};

QTEST_GUILESS_MAIN(TestObjectNames)
#include "tst_objectnames.moc"
