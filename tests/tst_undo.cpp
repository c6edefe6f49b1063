// The renaming journal and undo: runs stopped at any point are reverted to the exact old
// names, changed items are refused one by one, damaged journals are refused whole, and older
// runs follow. (tst_controller: the window's Undo command.)

#include "TestFolders.h"
#include "renaming/UndoRun.h"

#include <QDateTime>
#include <QTest>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestUndo : public QObject
{
    Q_OBJECT

    // A folder with a name that is not UTF-8, a link, a companion and ordinary items.
    static Names populate(const QByteArray& dir, bool numbered)
    {
        const QByteArray p = numbered ? "07 " : "";
        const Names names{p + "a.txt", p + "b\xff\xfe.jpg", p + "c link", p + "d.txt", p + "e.txt", "._" + p + "a.txt"};
        for (const QByteArray& name : names) {
            if (name.endsWith("link"))
                [[maybe_unused]] const int made = ::symlink("/", (dir + '/' + name).constData());
            else
                touch(dir, name);
        }
        return entries(dir);
    }

private Q_SLOTS:
    void initTestCase() { isolateUserFolders(); }

    // Killed (or cancelled) before any item, in the middle, at the end: undo gives back
    // exactly the old names, bytes included, and nothing else.
    void interruptedRunsAreReverted_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<int>("how");
        for (const int kind : {int(RunKind::Numbering), int(RunKind::PrefixRemoval)}) {
            const char* k = kind == int(RunKind::Numbering) ? "numbering" : "prefix removal";
            for (const int stopAt : {0, 1, 3, -1}) {
                QTest::addRow("%s killed before item %d", k, stopAt) << kind << stopAt << int(RunControl::Abandon);
            }
            QTest::addRow("%s cancelled", k) << kind << 2 << int(RunControl::Cancel);
        }
    }

    void interruptedRunsAreReverted()
    {
        QFETCH(int, kind);
        QFETCH(int, stopAt);
        QFETCH(int, how);
        const QByteArray dir = temporaryFolder();
        const Names before = populate(dir, RunKind(kind) == RunKind::PrefixRemoval);
        const RenameReport report = journaledRun(dir, RunKind(kind), stopAt, RunControl(how));
        QVERIFY(report.journalProblem.isEmpty());
        QCOMPARE(report.cancelled, RunControl(how) == RunControl::Cancel);
        if (stopAt != 0)
            QVERIFY(entries(dir) != before);

        JournalRun run;
        QString problem;
        QVERIFY2(LastJournaledRun(refTo(dir), &run, &problem), qPrintable(problem));
        QCOMPARE(run.finished, stopAt < 0 || RunControl(how) == RunControl::Cancel);
        QCOMPARE(run.itemCount(), 5);

        const UndoResult undo = UndoLastRun(refTo(dir));
        QCOMPARE(undo.status, UndoResult::Status::Undone);
        QVERIFY2(undo.report.failures.isEmpty(), qPrintable(undo.report.failureLines().join('\n')));
        QCOMPARE(entries(dir), before);
        QVERIFY(JournalFiles(refTo(dir)).isEmpty());
    }

    // Changed after the run: another object at the new name, or the old name taken. Those
    // are refused, each with its reason; the others are reverted; nothing is replaced.
    void changedItemsAreRefusedOneByOne()
    {
        const QByteArray dir = folderWith({"a", "b", "c"});
        QVERIFY(journaledRun(dir, RunKind::Numbering, -1).failures.isEmpty());
        QCOMPARE(entries(dir), (Names{"1 a", "2 b", "3 c"}));
        // "1 a" replaced by another object; "b" made anew while it was "2 b".
        QCOMPARE(::unlink((dir + "/1 a").constData()), 0);
        writeFile(dir + "/1 a", "other");
        writeFile(dir + "/b", "newcomer");

        QStringList lines;
        RenameRun run;
        run.renamed = [&](const QString& from, const QString& to) { lines << from + " -> " + to; };
        const UndoResult undo = UndoLastRun(refTo(dir), run);
        QCOMPARE(undo.report.failures.size(), 2);
        QCOMPARE(undo.report.failures[0].name, QStringLiteral("2 b"));
        QCOMPARE(undo.report.failures[0].error, EEXIST);
        QCOMPARE(undo.report.failures[1].name, QStringLiteral("1 a"));
        QCOMPARE(lines, QStringList{"3 c -> c"});
        QCOMPARE(entries(dir), (Names{"1 a", "2 b", "b", "c"}));
        QCOMPARE(readFile(dir + "/1 a"), QByteArray("other"));
        QCOMPARE(readFile(dir + "/b"), QByteArray("newcomer"));

        // The journal keeps what was not reverted: once the newcomer is moved aside, a
        // second undo reverts "2 b"; "1 a" was replaced and is refused again.
        JournalRun left;
        QString problem;
        QVERIFY2(LastJournaledRun(refTo(dir), &left, &problem), qPrintable(problem));
        QCOMPARE(left.itemCount(), 2);
        QCOMPARE(::rename((dir + "/b").constData(), (dir + "/newcomer").constData()), 0);
        const UndoResult again = UndoLastRun(refTo(dir));
        QCOMPARE(again.report.failures.size(), 1);
        QCOMPARE(again.report.failures[0].name, QStringLiteral("1 a"));
        QCOMPARE(entries(dir), (Names{"1 a", "b", "c", "newcomer"}));
        QVERIFY(LastJournaledRun(refTo(dir), &left, &problem));
        QCOMPARE(left.itemCount(), 1);
    }

    // Killed in the middle of a rename on a file system without RENAME_NOREPLACE: the
    // item has two names (files and links alike) or a placeholder stands at its new
    // name. Undo puts every item back under its old name alone, reports nothing, and
    // leaves no mark; so does the next run, which starts by putting it back.
    void cutShortFallbackRenamesAreUndone_data()
    {
        QTest::addColumn<bool>("hardLinks");
        QTest::addColumn<int>("cutAt");     // the item whose rename is cut short
        QTest::addColumn<Names>("nextRun"); // empty: undo; else the names after the next run
        QTest::addColumn<bool>("undoCut");  // the run ends, and its undo is cut short
        QTest::newRow("file under two names, undo") << true << 0 << Names{} << false;
        QTest::newRow("link under two names, undo") << true << 2 << Names{} << false;
        QTest::newRow("file beside a placeholder, undo") << false << 1 << Names{} << false;
        QTest::newRow("link under two names, next run")
            << true << 2 << Names{"1 1 a.txt", "2 2 b.txt", "3 c link", "4 d.txt"} << false;
        QTest::newRow("file beside a placeholder, next run")
            << false << 0 << Names{"1 a.txt", "2 b.txt", "3 c link", "4 d.txt"} << false;
        QTest::newRow("file under two names, undo cut short") << true << 1 << Names{} << true;
    }

    void cutShortFallbackRenamesAreUndone()
    {
        QFETCH(bool, hardLinks);
        QFETCH(int, cutAt);
        QFETCH(Names, nextRun);
        QFETCH(bool, undoCut);
        const QByteArray dir = folderWith({"a.txt", "d.txt"});
        writeFile(dir + "/b.txt", "b");
        QCOMPARE(::symlink("a.txt", (dir + "/c link").constData()), 0);
        const Names before = entries(dir);
        SetRenameNoReplaceDisabledForTesting(true);
        SetHardLinksDisabledForTesting(!hardLinks);
        int renames = 0;
        const auto cut = [&](RenameStep, int, const QByteArray&, const QByteArray&) { return renames++ != cutAt; };
        if (undoCut) {
            QVERIFY(journaledRun(dir, RunKind::Numbering, -1).failures.isEmpty());
            SetRenameStepHookForTesting(cut);
            if (const pid_t child = ::fork(); child == 0) {
                RenameRun dying;   // killed right after the cut
                dying.progress = [&](qsizetype done, qsizetype) {
                    if (done > cutAt)
                        ::_exit(0);
                    return RunControl::Continue;
                };
                UndoLastRun(refTo(dir), dying);
                ::_exit(1);
            } else {
                QCOMPARE(::waitpid(child, nullptr, 0), child);
            }
        } else {
            SetRenameStepHookForTesting(cut);
            journaledRun(dir, RunKind::Numbering, cutAt + 1);   // dies right after the cut
        }
        SetRenameStepHookForTesting({});
        SetHardLinksDisabledForTesting(false);
        QCOMPARE(entries(dir).size(), before.size() + 1);   // one name too many

        if (nextRun.isEmpty()) {
            const UndoResult undo = UndoLastRun(refTo(dir));
            QVERIFY2(undo.report.failures.isEmpty(), qPrintable(undo.report.failureLines().join('\n')));
            QCOMPARE(entries(dir), before);
        } else {
            QVERIFY(journaledRun(dir, RunKind::Numbering, -1).failures.isEmpty());
            QCOMPARE(entries(dir), nextRun);
        }
        SetRenameNoReplaceDisabledForTesting(false);
        for (const QByteArray& name : entries(dir)) {
            QVERIFY(attribute(dir + '/' + name, "user.org.ordinello.renaming").isNull());
            if (name.endsWith("b.txt"))
                QCOMPARE(readFile(dir + '/' + name), QByteArray("b"));
        }
    }

    // The journal follows the folder, not the disk's device number (a USB disk attached
    // again, a reboot) and not the clock (which may step back): undo still finds the runs
    // and reverts the last one made.
    void runsSurviveANewDeviceNumberAndAClockStep()
    {
        const QByteArray dir = folderWith({"a"});
        const qint64 t = QDateTime::currentMSecsSinceEpoch();
        SetJournalClockForTesting([t] { return t; });
        journaledRun(dir, RunKind::Numbering, -1);
        SetJournalClockForTesting([t] { return t - 3600 * 1000; });
        journaledRun(dir, RunKind::Numbering, -1);
        SetJournalClockForTesting({});
        QCOMPARE(entries(dir), Names{"1 1 a"});

        SetDeviceNumberChangeForTesting(0x5a5);
        const UndoResult undo = UndoLastRun(refTo(dir));
        const Names afterOne = entries(dir);
        const UndoResult older = UndoLastRun(refTo(dir));
        SetDeviceNumberChangeForTesting(0);
        QCOMPARE(undo.status, UndoResult::Status::Undone);
        QCOMPARE(afterOne, Names{"1 a"});
        QCOMPARE(older.status, UndoResult::Status::Undone);
        QCOMPARE(entries(dir), Names{"a"});
    }

    // The journal folder is the program's, but others can write there: a temporary plan a
    // killed run left is removed by the next run, a FIFO named like a journal is not
    // waited on, and a link planted at a temporary name is never written through.
    void journalFolderLeftoversAndTraps()
    {
        const QByteArray dir = folderWith({"a"});
        QString problem;
        std::unique_ptr<FolderRunLock>(FolderRunLock::acquire(refTo(dir), &problem)).reset();
        const QByteArray journals = JournalFolderFor(refTo(dir));
        writeFile(journals + "/.writing-1-2", QByteArray(1000, 'x'));
        QCOMPARE(::mkfifo((journals + "/9999999999999999-1.journal").constData(), 0600), 0);
        const QByteArray victim = temporaryFolder() + "/victim";
        writeFile(victim, "keep");
        const qint64 t = 1234567;
        SetJournalClockForTesting([t] { return t; });
        const QByteArray planted = journals + "/.writing-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(t);
        QCOMPARE(::symlink(victim.constData(), planted.constData()), 0);

        QVERIFY(journaledRun(dir, RunKind::Numbering, -1).journalProblem.isEmpty());
        SetJournalClockForTesting({});
        QCOMPARE(readFile(victim), QByteArray("keep"));
        QVERIFY(!entries(journals).contains(".writing-1-2"));
        QCOMPARE(UndoLastRun(refTo(dir)).status, UndoResult::Status::Undone);
        QCOMPARE(entries(dir), Names{"a"});
    }

    // A name too long to take its number fails alone and touches nothing, as does an item
    // whose AppleDouble file's new name would be too long; the run's journal stays usable
    // and undo reverts the rest.
    void namesTooLongToNumberFailAlone()
    {
        const QByteArray companioned(NAME_MAX - 3, 'c'), longest(NAME_MAX - 1, 'n');
        const QByteArray dir = folderWith({"a", companioned, "._" + companioned, longest});
        const Names before = entries(dir);
        const RenameReport report = journaledRun(dir, RunKind::Numbering, -1);
        QCOMPARE(report.failures.size(), 2);
        for (const RenameFailure& failure : report.failures)
            QCOMPARE(failure.error, ENAMETOOLONG);
        QCOMPARE(entries(dir), (Names{"._" + companioned, "1 a", companioned, longest}));

        const UndoResult undo = UndoLastRun(refTo(dir));
        QCOMPARE(undo.status, UndoResult::Status::Undone);
        QCOMPARE(entries(dir), before);
    }

    // A dry run of undo reports what the undo then does.
    void dryRunMatchesUndo()
    {
        const QByteArray dir = temporaryFolder();
        populate(dir, false);
        journaledRun(dir, RunKind::Numbering, -1);
        touch(dir, "d.txt");   // taken again: refused in both
        auto record = [&](bool dryRun) {
            QStringList lines;
            RenameRun run;
            run.dryRun = dryRun;
            run.renamed = [&](const QString& from, const QString& to) { lines << from + " -> " + to; };
            run.failed = [&](const RenameFailure& f) { lines << "failed " + f.name; };
            UndoLastRun(refTo(dir), run);
            return lines;
        };
        const Names before = entries(dir);
        const QStringList planned = record(true);
        QCOMPARE(entries(dir), before);
        QCOMPARE(record(false), planned);
        QCOMPARE(planned.size(), 6);   // five reverts (one a companion) and one refusal
        QVERIFY(planned.contains(QStringLiteral("failed 4 d.txt")));
    }

    // Each undo reverts the run before the last; only the newest 20 are kept.
    void olderRunsFollowAndAreKeptToTwenty()
    {
        const QByteArray dir = folderWith({"a"});
        for (int i = 0; i < 22; ++i)
            journaledRun(dir, RunKind::Numbering, -1);
        QCOMPARE(UndoLastRun(refTo(dir)).status, UndoResult::Status::Undone);
        QCOMPARE(UndoLastRun(refTo(dir)).status, UndoResult::Status::Undone);
        QCOMPARE(entries(dir), Names{QByteArray("1 ").repeated(20) + "a"});
        for (int i = 0; i < 18; ++i)
            UndoLastRun(refTo(dir));
        QCOMPARE(entries(dir), Names{"1 1 a"});
        QCOMPARE(UndoLastRun(refTo(dir)).status, UndoResult::Status::NothingToUndo);
    }

    // A journal that fails any check is refused whole and nothing is renamed.
    void damagedJournalsAreRefused_data()
    {
        QTest::addColumn<int>("flip");  // byte to change (< 0: from the end), or
        QTest::addColumn<int>("cut");   // bytes to cut off the end
        QTest::newRow("magic") << 0 << 0;
        QTest::newRow("version") << 8 << 0;
        QTest::newRow("a name") << 90 << 0;
        QTest::newRow("end record") << -5 << 0;
        QTest::newRow("truncated plan") << 0 << 30;
    }

    void damagedJournalsAreRefused()
    {
        QFETCH(int, flip);
        QFETCH(int, cut);
        const QByteArray dir = folderWith({"a", "b"});
        journaledRun(dir, RunKind::Numbering, -1);
        const QByteArray file = JournalFiles(refTo(dir)).value(0);
        QByteArray data = readFile(file);
        if (cut)
            data.chop(cut);
        else
            data[flip < 0 ? data.size() + flip : flip] ^= 0x55;
        writeFile(file, data);

        const Names before = entries(dir);
        const UndoResult undo = UndoLastRun(refTo(dir));
        QCOMPARE(undo.status, UndoResult::Status::Refused);
        QVERIFY(undo.problem.contains(QString::fromLocal8Bit(file)));
        QCOMPARE(entries(dir), before);
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
