// Alias records: finding a file or folder again after a move or a rename, refusing an
// object that merely took its place, and rejecting malformed records.

#include "TestFolders.h"
#include "platform/AliasRecord.h"

#include <QTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;

class TestAliasRecord : public QObject
{
    Q_OBJECT

    QByteArray m_root;

private Q_SLOTS:
    void init()
    {
        m_root = temporaryFolder();
        // a/b/c/target and a/b/c/file.txt; the tests move them around.
        makeFolder(m_root, "a");
        makeFolder(m_root, "a/b");
        makeFolder(m_root, "a/b/c");
        makeFolder(m_root, "a/b/c/target");
        writeFile(m_root + "/a/b/c/file.txt", "contents");
    }

    void findsItsObjectAfterMoveOrRename_data()
    {
        // Each row: the item, the renames made (from, to, from, to, ...), where it ends up.
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<QList<QByteArray>>("renames");
        QTest::addColumn<QByteArray>("destination");
        const QByteArray target = "a/b/c/target";
        QTest::newRow("folder in place") << target << QList<QByteArray>{} << target;
        QTest::newRow("folder renamed") << target << QList<QByteArray>{target, "a/b/c/renamed"} << QByteArray("a/b/c/renamed");
        QTest::newRow("folder moved up and renamed") << target << QList<QByteArray>{target, "a/moved"} << QByteArray("a/moved");
        QTest::newRow("folder moved to the top") << target << QList<QByteArray>{target, "top"} << QByteArray("top");
        QTest::newRow("parents renamed too") << target
            << QList<QByteArray>{"a/b/c", "a/b/x", "a/b/x/target", "a/b/y", "a/b", "a/z"} << QByteArray("a/z/y");
        QTest::newRow("file moved down and renamed") << QByteArray("a/b/c/file.txt")
            << QList<QByteArray>{"a/b/c/file.txt", "a/b/c/target/other.txt"} << QByteArray("a/b/c/target/other.txt");
        QTest::newRow("file moved to a sibling tree") << QByteArray("a/b/c/file.txt")
            << QList<QByteArray>{"a/b/c/file.txt", "a/b/file.txt"} << QByteArray("a/b/file.txt");
    }

    void findsItsObjectAfterMoveOrRename()
    {
        QFETCH(QByteArray, item);
        QFETCH(QList<QByteArray>, renames);
        QFETCH(QByteArray, destination);
        QByteArray alias;
        QCOMPARE(NewAlias(refTo(m_root + '/' + item), &alias), noErr);
        QCOMPARE(AliasRecordPath(alias), m_root + '/' + item);
        for (qsizetype i = 0; i + 1 < renames.size(); i += 2)
            QCOMPARE(::rename((m_root + '/' + renames[i]).constData(), (m_root + '/' + renames[i + 1]).constData()), 0);
        const bool moved = item != destination;

        FSRef found;
        bool changed = true;
        QCOMPARE(FSResolveAlias(alias, &found, &changed), noErr);
        QCOMPARE(found.path, m_root + '/' + destination);
        QCOMPARE(changed, moved);
        QVERIFY(FSIsFSRefValid(&found));

        // The caller stores the updated record; it then resolves straight by its path.
        bool updated = false;
        QCOMPARE(UpdateAlias(found, &alias, &updated), noErr);
        QCOMPARE(updated, moved);
        QCOMPARE(FSResolveAlias(alias, &found, &changed), noErr);
        QVERIFY(!changed);
    }

    // ext4 gives a deleted folder's inode number to the next one made: only the birth
    // time tells the new folder from the one the record names.
    void refusesAnObjectMadeAgainAtItsPath_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder") << true;
        QTest::newRow("file") << false;
    }

    void refusesAnObjectMadeAgainAtItsPath()
    {
        QFETCH(bool, folder);
        const QByteArray item = m_root + (folder ? "/a/b/c/target" : "/a/b/c/file.txt");
        QByteArray alias;
        QCOMPARE(NewAlias(refTo(item), &alias), noErr);
        if (folder) {
            QCOMPARE(::rmdir(item.constData()), 0);
            QCOMPARE(::mkdir(item.constData(), 0755), 0);
        } else {
            QCOMPARE(::unlink(item.constData()), 0);
            writeFile(item, "contents");
        }
        FSRef found = refTo(m_root);
        const FSRef before = found;
        QCOMPARE(FSResolveAlias(alias, &found), fnfErr);
        QCOMPARE(found, before);
    }

    void rejectsMalformedRecords()
    {
        QByteArray alias;
        QCOMPARE(NewAlias(refTo(m_root + "/a/b/c/target"), &alias), noErr);
        FSRef found;
        for (qsizetype length = 0; length < alias.size(); ++length)
            QVERIFY2(FSResolveAlias(alias.first(length), &found) == paramErr, QByteArray::number(length));
        QCOMPARE(FSResolveAlias(alias + 'x', &found), paramErr);
        QByteArray foreign = alias;
        foreign[0] = 'X';
        QCOMPARE(FSResolveAlias(foreign, &found), paramErr);
        QByteArray newer = alias;
        newer[4] = 2;   // version
        QCOMPARE(FSResolveAlias(newer, &found), paramErr);
        QVERIFY(AliasRecordPath(newer).isEmpty());
        QVERIFY(found.isNull());
    }

    void refusesStaleReferencesAndKeepsLinksAsThemselves()
    {
        QByteArray alias;
        FSRef gone = refTo(m_root + "/a/b/c/file.txt");
        QCOMPARE(::unlink(gone.path.constData()), 0);
        QCOMPARE(NewAlias(gone, &alias), fnfErr);

        // A record of a link names the link, not what it points to.
        const QByteArray link = m_root + "/a/link";
        QCOMPARE(::symlink("b/c/target", link.constData()), 0);
        QCOMPARE(NewAlias(refTo(link), &alias), noErr);
        QCOMPARE(::rename(link.constData(), (m_root + "/a/b/link2").constData()), 0);
        FSRef found;
        QCOMPARE(FSResolveAlias(alias, &found), noErr);
        QCOMPARE(found.path, m_root + "/a/b/link2");
        QVERIFY(found.isSymbolicLink());
    }
};

QTEST_GUILESS_MAIN(TestAliasRecord)
#include "tst_aliasrecord.moc"
