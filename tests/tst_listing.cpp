// Listing a folder: the file manager's order, what is left out, odd names. (tst_renamecli:
// the command line's list.)

#include "TestFolders.h"
#include "renaming/DirectoryItems.h"
#include "platform/NameCodec.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;

class TestListing : public QObject
{
    Q_OBJECT

private:
    static QList<QByteArray> listedNames(const QByteArray& dir)
    {
        QStringList paths;
        if (ListDirectoryItems(refTo(dir), &paths) != noErr)
            return {};
        QList<QByteArray> names;
        for (const QString& p : paths) {
            const QByteArray bytes = EncodeFileName(p);
            names.append(bytes.mid(bytes.lastIndexOf('/') + 1));
        }
        return names;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The root collation, whatever the machine's locale.
        qputenv("LC_ALL", "C.UTF-8");
    }

    void order_data()
    {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("case ignored, numbers by value")
            << QStringList{"file10", "B.txt", "file9", "a.txt"} << QStringList{"a.txt", "B.txt", "file9", "file10"};
        QTest::newRow("long digit runs")
            << QStringList{"x100000000000000000000", "x99999999999999999999", "x2"}
            << QStringList{"x2", "x99999999999999999999", "x100000000000000000000"};
        QTest::newRow("accents count after letters")
            << QStringList{"éa", "eb", "ea"} << QStringList{"ea", "éa", "eb"};
        QTest::newRow("punctuation is significant")
            << QStringList{"a-b", "ab", "a b"} << QStringList{"a b", "a-b", "ab"};
        QTest::newRow("equal names ordered by bytes")
            << QStringList{"readme", "README", "ReadMe"} << QStringList{"README", "ReadMe", "readme"};
        QTest::newRow("composed before decomposed, by bytes")
            << QStringList{QString::fromUtf8("e\xCC\x81"), QString::fromUtf8("\xC3\xA9"), "f"}
            << QStringList{QString::fromUtf8("e\xCC\x81"), QString::fromUtf8("\xC3\xA9"), "f"};
        QTest::newRow("paths sort by their names")
            << QStringList{"/d/file10", "/d/File2", "/d/file1"} << QStringList{"/d/file1", "/d/File2", "/d/file10"};
        QTest::newRow("shared prefix ending in a digit")
            << QStringList{"/d/file1a", "/d/file10"} << QStringList{"/d/file1a", "/d/file10"};
        QTest::newRow("full-width letters as their letters, then by bytes")
            << QStringList{QString::fromUtf8("\xEF\xBC\xA1"), "b", "A"} << QStringList{"A", QString::fromUtf8("\xEF\xBC\xA1"), "b"};
        // Two names alike in their first 2000 units differ at the end only.
        QTest::newRow("very long names compare whole")
            << QStringList{QString(2000, u'x') + "10", QString(2000, u'x') + "9"}
            << QStringList{QString(2000, u'x') + "9", QString(2000, u'x') + "10"};
    }

    void order()
    {
        QFETCH(QStringList, input);
        QFETCH(QStringList, expected);
        SortCFMutableArrayOfCFStringsLikeTheFinder(input);
        QCOMPARE(input, expected);
        // The pairwise comparison agrees with the sort, and is total.
        for (qsizetype i = 1; i < expected.size(); ++i)
            QVERIFY2(CompareLikeTheFinder(expected[i - 1], expected[i]) < 0, qPrintable(expected[i]));
    }

    void leavesOutWhatTheFileManagerHides()
    {
        const QByteArray dir = temporaryFolder();
        makeFiles(dir, {"a.txt", ".hidden-file", "B.txt", "file10", "file9", "flagged.txt", "listed.txt"});
        makeFolder(dir, "sub");
        makeFolder(dir, ".git");
        makeFolder(dir, "FlaggedFolder");
        touch(dir + "/sub", "inside.txt");
        writeFile(dir + "/.hidden", "listed.txt\n");

        FinderInfo invisible;
        invisible.setFinderFlags(kIsInvisible);
        for (const char* name : {"flagged.txt", "FlaggedFolder"}) {
            if (FSSetFinderInfo(refTo(dir + '/' + name), invisible) != noErr)
                QSKIP("this file system keeps no user extended attributes");
        }

        // The flag hides a file, not a folder; names in .hidden and dot names are hidden.
        QCOMPARE(listedNames(dir),
                 (QList<QByteArray>{"a.txt", "B.txt", "file9", "file10", "FlaggedFolder", "sub"}));
    }

    // A folder deeper than the old fixed buffers allowed (> 2048 bytes of path); a name
    // that is not UTF-8, one with a newline and one of the longest length keep their bytes.
    // (Links as items of their own, and names shown: tst_numbering, tst_controller.)
    void deepFoldersAndOddNames()
    {
        QByteArray dir = temporaryFolder();
        while (dir.size() < 3000) {
            makeFolder(dir, QByteArray(200, 'd'));
            dir += '/' + QByteArray(200, 'd');
        }
        const QList<QByteArray> odd{"caf\xE9.jpg", QByteArray(255, 'n'), "two\nlines"};
        makeFiles(dir, odd);
        QCOMPARE(listedNames(dir), odd);
    }

    void emptyAndUnreadableFolders()
    {
        const QByteArray dir = temporaryFolder();
        QStringList paths{"stale"};
        QCOMPARE(ListDirectoryItems(refTo(dir), &paths), noErr);
        QVERIFY(paths.isEmpty());

        makeFolder(dir, "locked");
        ::chmod(dir.constData(), 0755);
        ::chmod((dir + "/locked").constData(), 0);
        const FSRef locked = refTo(dir + "/locked");
        int error = 0;
        {
            const AsUnprivilegedUser unprivileged; // root would read the folder anyway
            QVERIFY(unprivileged.dropped());
            QCOMPARE(ListDirectoryItems(locked, &paths, &error), afpAccessDenied);
        }
        QCOMPARE(error, EACCES);
        ::chmod((dir + "/locked").constData(), 0755);
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
