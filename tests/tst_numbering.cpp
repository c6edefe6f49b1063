// Numbering and prefix removal, the engine behind both front ends: the names a run gives
// (planned by PlanRun, which the run must then match), and runs on real folders: nothing
// replaced, bytes kept, stale items skipped, links renamed themselves, companions following.
// (tst_controller and tst_renamecli: the window's and the command line's runs.)

#include "TestFolders.h"
#include "platform/Sound.h"
#include "renaming/FolderRun.h"
#include "renaming/RenamePlan.h"
#include "renaming/UndoRun.h"

#include <QTest>

#include <cerrno>
#include <climits>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestNumbering : public QObject
{
    Q_OBJECT

    int m_beeps = 0;

    // The plan's renames as "name > new name", with " (problem)" for a refusal and " !"
    // where removing any first word would take off one that is not a number.
    static QStringList planned(RunKind kind, const QByteArray& dir, const NumberingSettings& settings = {1, 1, 1},
                               PrefixRule rule = PrefixRule::AnyFirstWord)
    {
        QStringList lines;
        for (const PlannedRename& p : PlanRun(kind, listed(dir), settings, rule)) {
            if (p.newName != p.name || !p.problem.isEmpty())
                lines << p.name + " > " + p.newName + (p.problem.isEmpty() ? QString() : " (" + p.problem + ')')
                             + (kind == RunKind::PrefixRemoval && p.lostWord ? " !" : "");
        }
        return lines;
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

    // Prefix removal of numbers only takes off a number prefix (digits, a minus sign after
    // leading zeros, one blank); the classic rule takes off whatever stands before the
    // first blank, once, and the plan marks a first word that is not a number.
    void prefixRule_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("numbersOnly");
        QTest::addColumn<QByteArray>("anyFirstWord");
        QTest::addColumn<bool>("lostWord");
        QTest::newRow("number") << QByteArray("000001 Beach.jpg") << QByteArray("Beach.jpg") << QByteArray("Beach.jpg") << false;
        QTest::newRow("negative number") << QByteArray("0000-5 n") << QByteArray("n") << QByteArray("n") << false;
        QTest::newRow("zero") << QByteArray("0 z") << QByteArray("z") << QByteArray("z") << false;
        QTest::newRow("a word") << QByteArray("My Photo.jpg") << QByteArray("My Photo.jpg") << QByteArray("Photo.jpg") << true;
        QTest::newRow("a year is a number") << QByteArray("2019 Trip.jpg") << QByteArray("Trip.jpg") << QByteArray("Trip.jpg") << false;
        QTest::newRow("minus only") << QByteArray("- a") << QByteArray("- a") << QByteArray("a") << true;
        QTest::newRow("minus inside") << QByteArray("5-3 a") << QByteArray("5-3 a") << QByteArray("a") << true;
        QTest::newRow("one prefix only") << QByteArray("1 1 a.txt") << QByteArray("1 a.txt") << QByteArray("1 a.txt") << false;
        QTest::newRow("leading blank") << QByteArray(" lead.txt") << QByteArray(" lead.txt") << QByteArray("lead.txt") << true;
        QTest::newRow("no blank") << QByteArray("123") << QByteArray("123") << QByteArray("123") << false;
        QTest::newRow("tab is no blank") << QByteArray("1\ta.txt") << QByteArray("1\ta.txt") << QByteArray("1\ta.txt") << false;
        QTest::newRow("no-break space is no blank")
            << QByteArray("1\xC2\xA0" "a.txt") << QByteArray("1\xC2\xA0" "a.txt") << QByteArray("1\xC2\xA0" "a.txt") << false;
    }

    void prefixRule()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, numbersOnly);
        QFETCH(QByteArray, anyFirstWord);
        QFETCH(bool, lostWord);
        const QByteArray dir = temporaryFolder();
        touch(dir, name);
        const QString line = QString::fromUtf8(name + " > " + anyFirstWord) + (lostWord ? " !" : "");
        QCOMPARE(planned(RunKind::PrefixRemoval, dir), name == anyFirstWord ? QStringList() : QStringList{line});
        QList<FSRef> items = listed(dir);
        QStringList noted;
        RenameRun run;
        run.noted = [&](const QString& item, const QString& note) { noted << item + ": " + note; };
        QVERIFY(RemoveNumberPrefixes(items, PrefixRule::NumbersOnly, run).failures.isEmpty());
        QCOMPARE(entries(dir), Names{numbersOnly});
        QCOMPARE(noted, lostWord ? QStringList{name + ": left unchanged: first word is not a number"} : QStringList());
        if (numbersOnly == name) {   // what numbers only left, the classic rule takes off
            items = listed(dir);
            QVERIFY(RemoveNumberPrefixes(items, PrefixRule::AnyFirstWord).failures.isEmpty());
            QCOMPARE(entries(dir), Names{anyFirstWord});
        }
    }

    // A journaled run (as both programs make it) renames every item its own run frees a
    // name for, in any order; items trading names go through a temporary name; a name held
    // by an object outside the run (here hidden by .hidden) is never taken, and that item
    // alone fails. Undo gives back exactly the names before.
    void journaledRunsAndUndo_data()
    {
        QTest::addColumn<Names>("order");         // the listed names in the run's order
        QTest::addColumn<bool>("numbering");      // else prefix removal of numbers only
        QTest::addColumn<bool>("replace");
        QTest::addColumn<Names>("after");
        QTest::addColumn<int>("failures");
        QTest::newRow("a name the run frees first")
            << Names{"b.txt", "1 b.txt", "c"} << true << false << Names{"1 b.txt", "2 1 b.txt", "3 c"} << 0;
        QTest::newRow("renumbering after a move")
            << Names{"1 a", "4 d", "2 b", "3 c"} << true << true << Names{"1 a", "2 d", "3 b", "4 c"} << 0;
        QTest::newRow("two items trading names")
            << Names{"2 x", "1 x", "._2 x", "._1 x"} << true << true << Names{"._1 x", "._2 x", "1 x", "2 x"} << 0;
        QTest::newRow("three in a cycle, one added")
            << Names{"3 a", "1 a", "2 a", "b"} << true << true << Names{"1 a", "2 a", "3 a", "4 b"} << 0;
        QTest::newRow("a name hidden by .hidden") << Names{"a", "x"} << true << false << Names{"1 a", "x"} << 1;
        QTest::newRow("two prefixes, one name") << Names{"1 x", "2 x"} << false << false << Names{"2 x", "x"} << 1;
    }

    // The name hidden from the run (by .hidden) in the row above that meets it.
    static QByteArray hiddenFor(const Names& order) { return order == Names{"a", "x"} ? "2 x" : ""; }

    void journaledRunsAndUndo()
    {
        QFETCH(Names, order);
        QFETCH(bool, numbering);
        QFETCH(bool, replace);
        QFETCH(Names, after);
        QFETCH(int, failures);
        const QByteArray dir = temporaryFolder();
        for (const QByteArray& name : order) {
            if (name.startsWith("._"))
                writeFile(dir + '/' + name, name);   // a companion, with its own content
            else
                touch(dir, name);
        }
        const QByteArray hidden = hiddenFor(order);
        if (!hidden.isEmpty()) {   // outside the run
            touch(dir, hidden);
            writeFile(dir + "/.hidden", hidden + '\n');
        }
        const Names before = entries(dir);

        QList<FSRef> listedItems = listed(dir), items;
        for (const QByteArray& name : order) {
            for (const FSRef& item : std::as_const(listedItems)) {
                if (item.nameBytes() == name)
                    items.append(item);
            }
        }
        QString problem;
        std::unique_ptr<FolderRun> folderRun = FolderRun::begin(refTo(dir), &problem);
        QVERIFY2(folderRun, qPrintable(problem));
        NumberingSettings settings{1, 1, 1};
        settings.replaceNumbers = replace;
        const RenameReport report = numbering ? folderRun->number(items, settings)
                                              : folderRun->removePrefixes(items, PrefixRule::NumbersOnly);
        folderRun.reset();
        QCOMPARE(report.failures.size(), failures);
        Names expected = after;
        if (!hidden.isEmpty())
            expected << ".hidden" << hidden;
        std::sort(expected.begin(), expected.end());
        QCOMPARE(entries(dir), expected);
        if (numbering && order.contains("._2 x"))
            QCOMPARE(readFile(dir + "/._1 x"), QByteArray("._2 x"));   // each companion went with its item

        const UndoResult undo = UndoLastRun(refTo(dir));
        QVERIFY2(undo.report.failures.isEmpty(), qPrintable(undo.report.failureLines().join('\n')));
        QCOMPARE(entries(dir), before);
    }

    // A symbolic link that points (inside the folder) at an item being renamed is marked:
    // it will dangle. The link itself is renamed like any item.
    void linkToARenamedItemIsMarked()
    {
        const QByteArray dir = temporaryFolder();
        touch(dir, "photo.jpg");
        QCOMPARE(::symlink("./photo.jpg", (dir + "/latest").constData()), 0);
        QCOMPARE(::symlink("/elsewhere/photo.jpg", (dir + "/far").constData()), 0);
        QStringList notes;
        for (const PlannedRename& p : PlanRun(RunKind::Numbering, listed(dir), {1, 1, 1}))
            notes << p.name + ": " + p.note;
        QCOMPARE(notes, (QStringList{"far: ", "latest: points at an item being renamed", "photo.jpg: "}));
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
        const QByteArray dir = folderWith(names);
        if (names.contains(".hidden"))
            writeFile(dir + "/.hidden", "1 b\n");
        const Names before = entries(dir);
        const QStringList plan = planned(RunKind(kind), dir);
        QCOMPARE(entries(dir), before);

        QStringList done;
        RenameRun run;
        run.renamed = [&](const QString& name, const QString& newName) {
            if (!name.startsWith(u"._"))   // companions are not rows of the plan
                done << name + " > " + newName;
        };
        run.failed = [&](const RenameFailure& f) { done << f.name + " > " + f.newName + " (" + f.reason + ')'; };
        QList<FSRef> items = listed(dir);
        const RenameReport report = RunKind(kind) == RunKind::Numbering ? NumberItems(items, {1, 1, 1}, run)
                                                                        : RemoveNumberPrefixes(items, PrefixRule::AnyFirstWord, run);
        QCOMPARE(report.failures.size(), failures);
        QCOMPARE(entries(dir).size(), before.size());   // nothing lost, nothing cut in two
        QCOMPARE(QStringList(plan).replaceInStrings(QStringLiteral(" !"), QString()), done);
    }

    // Another program takes the new name once the run has begun: the rename is refused,
    // both keep their names and contents, the rest is renamed. With and without
    // RENAME_NOREPLACE, for a file, a folder and a link.
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
        touch(d, "c");
        writeFile(d + "/.theirs", "theirs");
        SetRenameNoReplaceDisabledForTesting(noReplaceRefused);

        QList<FSRef> items = listed(d);   // b, c
        RenameRun run;
        run.progress = [&](qsizetype done, qsizetype) {
            if (done == 0)
                ::rename((d + "/.theirs").constData(), (d + "/1 b").constData());
            return RunControl::Continue;
        };
        const RenameReport report = NumberItems(items, {1, 1, 1}, run);
        QCOMPARE(report.handled, 1);
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures.first().name, "b");
        QCOMPARE(report.failures.first().error, EEXIST);
        QCOMPARE(report.failures.first().reason, "an item with that name already exists");
        QCOMPARE(entries(d), (Names{"1 b", "2 c", "b"}));
        QCOMPARE(readFile(d + "/1 b"), "theirs");
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

    // Gone since the listing: skipped, reported, and still numbered. (An item replaced by
    // another object: tst_controller.)
    void goneItemIsSkipped()
    {
        const QByteArray d = folderWith({"a", "b", "c"});
        QList<FSRef> items = listed(d);
        QCOMPARE(::unlink((d + "/b").constData()), 0);
        const RenameReport report = NumberItems(items, {1, 1, 1});
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures.first().name, "b");
        QVERIFY(report.failures.first().reason.contains("removed or moved away"));
        QCOMPARE(entries(d), (Names{"1 a", "3 c"}));
        QCOMPARE(m_beeps, 0);
    }

    void linkIsRenamedItself()
    {
        const QByteArray d = temporaryFolder();
        makeFolder(d, "target");
        writeFile(d + "/target/inside", "x");
        QCOMPARE(::symlink("target", (d + "/alias").constData()), 0);
        QList<FSRef> items = listed(d);
        QVERIFY(NumberItems(items, {1, 1, 1}).failures.isEmpty());
        QCOMPARE(entries(d), (Names{"1 alias", "2 target"}));
        char buffer[64] = {};
        QCOMPARE(::readlink((d + "/1 alias").constData(), buffer, sizeof buffer - 1), 6);
        QCOMPARE(QByteArray(buffer), "target");
        QCOMPARE(entries(d + "/2 target"), Names{"inside"});
    }

    void companionFollows()
    {
        const QByteArray d = folderWith({"a.jpg", "b"});
        writeFile(d + "/._a.jpg", "metadata");
        makeFolder(d, "._b");   // a folder is an item of its own, not a companion
        QList<FSRef> items = listed(d);
        QVERIFY(NumberItems(items, {1, 1, 1}).failures.isEmpty());
        QCOMPARE(entries(d), (Names{"._1 a.jpg", "._b", "1 a.jpg", "2 b"}));
        QCOMPARE(readFile(d + "/._1 a.jpg"), "metadata");

        // The companion's new name is taken: the item goes back, the pair stays together.
        writeFile(d + "/._a.jpg", "stray");
        items = listed(d);
        const RenameReport report = RemoveNumberPrefixes(items, PrefixRule::NumbersOnly);
        QCOMPARE(report.failures.size(), 1);
        QVERIFY(report.failures.first().reason.contains("._1 a.jpg"));
        QCOMPARE(entries(d), (Names{"._1 a.jpg", "._a.jpg", "._b", "1 a.jpg", "b"}));
        QCOMPARE(readFile(d + "/._a.jpg"), "stray");
    }
};

QTEST_GUILESS_MAIN(TestNumbering)
#include "tst_numbering.moc"
