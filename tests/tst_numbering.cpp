// Numbering and prefix removal, the engine behind both front ends: the names a run gives
// (planned by PlanRun, which the run must then match), and runs on real folders: nothing
// replaced, bytes kept, stale items skipped, links renamed themselves, companions following.
// (tst_controller and tst_renamecli: the window's and the command line's runs.)

#include "TestFolders.h"
#include "platform/Sound.h"
#include "renaming/RenamePlan.h"

#include <QTest>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestNumbering : public QObject
{
    Q_OBJECT

    int m_beeps = 0;

    // The plan as "name > new name", with " (problem)" for a refusal and " !" where prefix
    // removal takes off a first word that is not a number.
    static QStringList planned(RunKind kind, const QByteArray& dir, const NumberingSettings& settings = {1, 1, 1})
    {
        QStringList lines;
        for (const PlannedRename& p : PlanRun(kind, listed(dir), settings))
            lines << p.name + " > " + p.newName + (p.problem.isEmpty() ? QString() : " (" + p.problem + ')')
                         + (p.lostWord ? " !" : "");
        return lines;
    }

    static ino_t inode(const QByteArray& path)
    {
        struct stat st;
        return ::lstat(path.constData(), &st) == 0 ? st.st_ino : 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateUserFolders();
        SetBeepHandlerForTesting([this] { ++m_beeps; });
    }

    void init()
    {
        m_beeps = 0;
        SetRenameNoReplaceDisabledForTesting(false);
    }

    // Item i gets first + i * step as a signed 32-bit number, zero-padded on the left to the
    // width and never cut, then a blank: planned so, and renamed so.
    void numberingRule_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("prefixes");
        QTest::newRow("padded") << 1 << 1 << 6 << QStringList{"000001", "000002"};
        QTest::newRow("wider than the width") << 1234567 << 1 << 6 << QStringList{"1234567", "1234568"};
        QTest::newRow("zeros before the minus") << -5 << 1 << 6 << QStringList{"0000-5", "0000-4"};
        QTest::newRow("width 0") << 7 << 1 << 0 << QStringList{"7", "8"};
        QTest::newRow("negative width pads nothing") << 7 << 1 << -3 << QStringList{"7", "8"};
        QTest::newRow("negative step") << 10 << -2 << 1 << QStringList{"10", "8", "6"};
        QTest::newRow("step 0") << 4 << 0 << 1 << QStringList{"4", "4", "4"};
        QTest::newRow("wraps at 32 bits") << INT_MAX << 1 << 1 << QStringList{"2147483647", "-2147483648"};
        QTest::newRow("the smallest number") << INT_MIN << -1 << 0 << QStringList{"-2147483648", "2147483647"};
    }

    void numberingRule()
    {
        QFETCH(int, first);
        QFETCH(int, step);
        QFETCH(int, width);
        QFETCH(QStringList, prefixes);
        const NumberingSettings settings{first, step, width};
        const QByteArray dir = temporaryFolder();
        QStringList plan;
        Names expected;
        for (int i = 0; i < prefixes.size(); ++i) {
            const QByteArray name = "item" + QByteArray::number(i);
            touch(dir, name);
            plan << name + " > " + prefixes[i] + ' ' + name;
            expected << prefixes[i].toUtf8() + ' ' + name;
        }
        QCOMPARE(planned(RunKind::Numbering, dir, settings), plan);
        QList<FSRef> items = listed(dir);
        const RenameReport report = NumberItems(items, settings);
        QCOMPARE(report.handled, prefixes.size());
        QVERIFY(report.failures.isEmpty());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(entries(dir), expected);
    }

    // Prefix removal takes off whatever stands before the first blank, once; the plan marks
    // a first word that is not a number (digits, and a minus sign).
    void prefixRule_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("stripped");
        QTest::addColumn<bool>("lostWord");
        QTest::newRow("number") << QByteArray("000001 Beach.jpg") << QByteArray("Beach.jpg") << false;
        QTest::newRow("negative number") << QByteArray("0000-5 n") << QByteArray("n") << false;
        QTest::newRow("any text before the blank") << QByteArray("My Photo.jpg") << QByteArray("Photo.jpg") << true;
        QTest::newRow("minus only") << QByteArray("- a") << QByteArray("a") << true;
        QTest::newRow("one prefix only") << QByteArray("1 1 a.txt") << QByteArray("1 a.txt") << false;
        QTest::newRow("leading blank") << QByteArray(" lead.txt") << QByteArray("lead.txt") << true;
        QTest::newRow("no blank") << QByteArray("123") << QByteArray("123") << false;
        QTest::newRow("tab is no blank") << QByteArray("1\ta.txt") << QByteArray("1\ta.txt") << false;
        QTest::newRow("no-break space is no blank") << QByteArray("1\xC2\xA0" "a.txt") << QByteArray("1\xC2\xA0" "a.txt") << false;
    }

    void prefixRule()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, stripped);
        QFETCH(bool, lostWord);
        const QByteArray dir = temporaryFolder();
        touch(dir, name);
        const QString line = QString::fromUtf8(name + " > " + stripped) + (lostWord ? " !" : "");
        QCOMPARE(planned(RunKind::PrefixRemoval, dir), name == stripped ? QStringList() : QStringList{line});
        QList<FSRef> items = listed(dir);
        QVERIFY(RemoveNumberPrefixes(items).failures.isEmpty());
        QCOMPARE(entries(dir), Names{stripped});
    }

    // The plan changes nothing, meets the names earlier items free or take, and lists what
    // the run then does, refusals included, in the run's order.
    void planEqualsRun_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Names>("names");
        QTest::addColumn<int>("failures");
        // ".hidden" keeps "1 b" out of the list, so numbering "b" meets it.
        QTest::newRow("numbering, a name taken") << int(RunKind::Numbering) << Names{"b", "1 b", "c", "._c", ".hidden"} << 1;
        QTest::newRow("numbering, a name freed first") << int(RunKind::Numbering) << Names{"2 b", "b"} << 0;
        QTest::newRow("numbering, too long, not UTF-8")
            << int(RunKind::Numbering) << Names{QByteArray(NAME_MAX - 2, 'x') + "\xE9", "y"} << 1;
        QTest::newRow("prefix removal, a name taken first") << int(RunKind::PrefixRemoval) << Names{"1 x", "2 x"} << 1;
        QTest::newRow("prefix removal")
            << int(RunKind::PrefixRemoval) << Names{"01 a", "My Photo.jpg", "0000-5 n", "x", "1 x", "2 y"} << 1;
    }

    void planEqualsRun()
    {
        QFETCH(int, kind);
        QFETCH(Names, names);
        QFETCH(int, failures);
        const QByteArray dir = temporaryFolder();
        for (const QByteArray& name : names)
            touch(dir, name);
        if (names.contains(".hidden"))
            writeFile(dir + "/.hidden", "1 b\n");
        const Names before = entries(dir);
        const QStringList plan = planned(RunKind(kind), dir);
        QCOMPARE(entries(dir), before);

        QStringList done;
        RenameRun run;
        run.renamed = [&](const QString& name, const QString& newName) { done << name + " > " + newName; };
        run.failed = [&](const RenameFailure& f) { done << f.name + " > " + f.newName + " (" + f.reason + ')'; };
        QList<FSRef> items = listed(dir);
        const RenameReport report = RunKind(kind) == RunKind::Numbering ? NumberItems(items, {1, 1, 1}, run)
                                                                        : RemoveNumberPrefixes(items, run);
        QCOMPARE(report.failures.size(), failures);
        QCOMPARE(entries(dir).size(), before.size());   // nothing lost, nothing cut in two
        QCOMPARE(QStringList(plan).replaceInStrings(QStringLiteral(" !"), QString()), done);
    }

    // The target name is taken further down the list: the rename is refused, both keep
    // their names and contents, the rest is renamed. With and without RENAME_NOREPLACE,
    // for a file, a folder and a link.
    void neverReplaces_data()
    {
        QTest::addColumn<bool>("noReplaceRefused");
        QTest::addColumn<QByteArray>("kind");
        for (bool refused : {false, true}) {
            for (const char* kind : {"file", "folder", "link"})
                QTest::addRow("%s, %s", kind, refused ? "fallback" : "renameat2") << refused << QByteArray(kind);
        }
    }

    void neverReplaces()
    {
        QFETCH(bool, noReplaceRefused);
        QFETCH(QByteArray, kind);
        const QByteArray d = temporaryFolder();
        if (kind == "folder")
            makeFolder(d, "b");
        else if (kind == "link")
            QCOMPARE(::symlink("elsewhere", (d + "/b").constData()), 0);
        else
            writeFile(d + "/b", "mine");
        writeFile(d + "/1 b", "theirs");
        touch(d, "c");
        SetRenameNoReplaceDisabledForTesting(noReplaceRefused);

        QList<FSRef> items = listed(d);   // "1 b", b, c
        items.move(1, 0);                 // b first: it wants "1 b", which is taken
        const RenameReport report = NumberItems(items, {1, 1, 1});
        QCOMPARE(report.handled, 2);
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures.first().name, "b");
        QCOMPARE(report.failures.first().error, EEXIST);
        QCOMPARE(report.failures.first().reason, "an item with that name already exists");
        QCOMPARE(entries(d), (Names{"2 1 b", "3 c", "b"}));
        QCOMPARE(readFile(d + "/2 1 b"), "theirs");
        if (kind == "file")
            QCOMPARE(readFile(d + "/b"), "mine");
        QCOMPARE(m_beeps, 1);
    }

    // A name that is not UTF-8 keeps every byte, numbered and stripped again.
    void keepsEveryByte_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9.jpg");
        QTest::newRow("stray bytes") << QByteArray("\xff\xfe x\x80");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb3\xa9 and more");
        QTest::newRow("cut sequence before a blank") << QByteArray("\xc3 \xa9");
        QTest::newRow("byte-order mark first") << QByteArray("\xef\xbb\xbf" "Beach.jpg");
    }

    void keepsEveryByte()
    {
        QFETCH(QByteArray, name);
        const QByteArray dir = temporaryFolder();
        touch(dir, name);
        QList<FSRef> items = listed(dir);
        QVERIFY(NumberItems(items, {7, 1, 4}).failures.isEmpty());
        QCOMPARE(entries(dir), Names{"0007 " + name});
        FSRef item = listed(dir).first();
        QCOMPARE(RemovePrefixFromFilename(&item), noErr);
        QCOMPARE(item.nameBytes(), name);
        QCOMPARE(entries(dir), Names{name});
    }

    // Gone or replaced since the listing: skipped, reported, and still numbered.
    void staleItemsAreSkipped_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("gone") << false;
        QTest::newRow("replaced by another object") << true;
    }

    void staleItemsAreSkipped()
    {
        QFETCH(bool, replaced);
        const QByteArray d = temporaryFolder();
        for (const char* name : {"a", "b", "c"})
            touch(d, name);
        QList<FSRef> items = listed(d);
        if (replaced) {
            // Made beside it first, so the newcomer cannot reuse the old inode.
            writeFile(d + "/new", "newcomer");
            QCOMPARE(::rename((d + "/new").constData(), (d + "/b").constData()), 0);
        } else {
            QCOMPARE(::unlink((d + "/b").constData()), 0);
        }
        const RenameReport report = NumberItems(items, {1, 1, 1});
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures.first().name, "b");
        QVERIFY(report.failures.first().reason.contains(replaced ? "took its place" : "removed or moved away"));
        QCOMPARE(entries(d), replaced ? (Names{"1 a", "3 c", "b"}) : (Names{"1 a", "3 c"}));
        QCOMPARE(m_beeps, 0);
    }

    void linkIsRenamedItself()
    {
        const QByteArray d = temporaryFolder();
        makeFolder(d, "target");
        writeFile(d + "/target/inside", "x");
        QCOMPARE(::symlink("target", (d + "/alias").constData()), 0);
        const ino_t targetInode = inode(d + "/target");
        QList<FSRef> items = listed(d);
        QVERIFY(NumberItems(items, {1, 1, 1}).failures.isEmpty());
        QCOMPARE(entries(d), (Names{"1 alias", "2 target"}));
        char buffer[64] = {};
        QCOMPARE(::readlink((d + "/1 alias").constData(), buffer, sizeof buffer - 1), 6);
        QCOMPARE(QByteArray(buffer), "target");
        QCOMPARE(inode(d + "/2 target"), targetInode);
        QCOMPARE(entries(d + "/2 target"), Names{"inside"});
    }

    void companionFollows()
    {
        const QByteArray d = temporaryFolder();
        touch(d, "a.jpg");
        writeFile(d + "/._a.jpg", "metadata");
        makeFolder(d, "._b");   // a folder is an item of its own, not a companion
        touch(d, "b");
        QList<FSRef> items = listed(d);
        QVERIFY(NumberItems(items, {1, 1, 1}).failures.isEmpty());
        QCOMPARE(entries(d), (Names{"._1 a.jpg", "._b", "1 a.jpg", "2 b"}));
        QCOMPARE(readFile(d + "/._1 a.jpg"), "metadata");

        // The companion's new name is taken: the item goes back, the pair stays together.
        writeFile(d + "/._a.jpg", "stray");
        items = listed(d);
        const RenameReport report = RemoveNumberPrefixes(items);
        QCOMPARE(report.failures.size(), 1);
        QVERIFY(report.failures.first().reason.contains("._1 a.jpg"));
        QCOMPARE(entries(d), (Names{"._1 a.jpg", "._a.jpg", "._b", "1 a.jpg", "b"}));
        QCOMPARE(readFile(d + "/._a.jpg"), "stray");
    }
};

QTEST_GUILESS_MAIN(TestNumbering)
#include "tst_numbering.moc"
