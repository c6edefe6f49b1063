// The arranged order kept in the state folder: what comes back, what is never trusted,
// how a fresh listing takes the order, when numbering forgets it; and the date order.

#include "TestFolders.h"
#include "renaming/ArrangedOrder.h"
#include "renaming/DateOrder.h"
#include "renaming/FolderRun.h"
#include "renaming/RenameJournal.h"

#include <QTest>

#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestArrangedOrder : public QObject
{
    Q_OBJECT

    static QList<FSRef> listed(const FSRef& folder) { return TestFolders::listed(folder.path); }

    static Names namesOf(const QList<FSRef>& items)
    {
        Names names;
        for (const FSRef& item : items)
            names.append(item.nameBytes().toByteArray());
        return names;
    }

    static QList<FSRef> inOrder(const QList<FSRef>& items, const Names& names)
    {
        QList<FSRef> ordered;
        for (const QByteArray& name : names) {
            for (const FSRef& item : items) {
                if (item.nameBytes() == name)
                    ordered.append(item);
            }
        }
        return ordered;
    }

    static QByteArray storedFile(const FSRef& folder)
    {
        return qgetenv("XDG_STATE_HOME") + "/Ordinello/arranged/" + FolderStateKey(folder);
    }

    // A folder with a, b, c and d, and the order d a c b stored for it.
    static FSRef arrangedFolder(QList<FSRef>* items = nullptr)
    {
        const FSRef folder = refTo(folderWith({"a", "b", "c", "d"}));
        const QList<FSRef> arranged = inOrder(listed(folder), {"d", "a", "c", "b"});
        [&] { QVERIFY(StoreArrangedOrder(folder, arranged)); }();
        if (items)
            *items = arranged;
        return folder;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("LC_ALL", "C.UTF-8");
        isolateUserFolders();
    }

    // What is kept comes back, with identities; the file manager's own order is not kept.
    void keptOrderComesBack()
    {
        QList<FSRef> arranged;
        const FSRef folder = arrangedFolder(&arranged);
        const std::optional<QList<FSRef>> stored = StoredArrangedOrder(folder);
        QVERIFY(stored);
        QCOMPARE(namesOf(*stored), (Names{"d", "a", "c", "b"}));
        QVERIFY(stored->at(0).sameObjectAs(arranged.at(0)));
        QCOMPARE(stored->at(0).path, folder.path + "/d");
        struct stat st;
        QCOMPARE(::stat(storedFile(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 077, 0u);   // the user's own

        QVERIFY(StoreArrangedOrder(folder, listed(folder)));   // the file manager's order
        QVERIFY(!StoredArrangedOrder(folder));
        QCOMPARE(::access(storedFile(folder).constData(), F_OK), -1);
    }

    // Whatever lies at the order's place, nothing but our own intact file is taken.
    void untrustedFilesAreNoOrder_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("cut short") << QByteArray("truncate");
        QTest::newRow("a byte changed") << QByteArray("flip");
        QTest::newRow("empty") << QByteArray("empty");
        QTest::newRow("another folder's") << QByteArray("foreign");
        QTest::newRow("a FIFO") << QByteArray("fifo");
        QTest::newRow("a link to a good order") << QByteArray("link");
        QTest::newRow("a folder") << QByteArray("folder");
    }

    void untrustedFilesAreNoOrder()
    {
        QFETCH(QByteArray, damage);
        const FSRef folder = arrangedFolder();
        const QByteArray file = storedFile(folder);
        const QByteArray bytes = readFile(file);
        const FSRef other = arrangedFolder();
        QCOMPARE(::unlink(file.constData()), 0);
        if (damage == "truncate")
            writeFile(file, bytes.chopped(9));
        else if (damage == "flip")
            writeFile(file, QByteArray(bytes).replace(40, 1, "\x7f"));
        else if (damage == "empty")
            writeFile(file, {});
        else if (damage == "foreign")
            writeFile(file, readFile(storedFile(other)));
        else if (damage == "fifo")
            QCOMPARE(::mkfifo(file.constData(), 0600), 0);
        else if (damage == "link")
            QCOMPARE(::symlink(storedFile(other).constData(), file.constData()), 0);
        else
            QCOMPARE(::mkdir(file.constData(), 0700), 0);
        // A FIFO must not hold the reader up: it would wait for a writer for ever.
        QFuture<bool> read = QtConcurrent::run([folder] { return StoredArrangedOrder(folder).has_value(); });
        QTRY_VERIFY_WITH_TIMEOUT(read.isFinished(), 5000);
        QVERIFY(!read.result());
        QVERIFY(StoredArrangedOrder(other));
        // A new order replaces whatever was there, the FIFO and the link too (not their target).
        if (damage != "folder") {
            QVERIFY(StoreArrangedOrder(folder, inOrder(listed(folder), {"b", "a", "c", "d"})));
            QCOMPARE(namesOf(*StoredArrangedOrder(folder)), (Names{"b", "a", "c", "d"}));
            QCOMPARE(namesOf(*StoredArrangedOrder(other)), (Names{"d", "a", "c", "b"}));
        }
    }

    // A fresh listing in the file manager's order takes the arranged order: items renamed
    // since are found by identity, items saved anew by name, gone ones are dropped, new
    // ones follow their neighbour in the file manager's order.
    void freshListingTakesTheOrder_data()
    {
        // "old>new" renames, "+new" creates, "-old" removes, "=old" saves anew (another file),
        // "~" keeps the order again as it was while the disk had another device number (a USB
        // disk attached again)
        QTest::addColumn<QByteArrayList>("changes");
        QTest::addColumn<QByteArrayList>("order");
        QTest::newRow("unchanged") << QByteArrayList{} << QByteArrayList{"d", "a", "c", "b"};
        QTest::newRow("renamed") << QByteArrayList{"a>z", "d>a"} << QByteArrayList{"a", "z", "c", "b"};
        QTest::newRow("saved anew") << QByteArrayList{"=c"} << QByteArrayList{"d", "a", "c", "b"};
        QTest::newRow("gone and new") << QByteArrayList{"-c", "+0", "+bb", "+e"}
                                      << QByteArrayList{"0", "d", "e", "a", "b", "bb"};
        QTest::newRow("another device number") << QByteArrayList{"~", "a>0"} << QByteArrayList{"d", "0", "c", "b"};
    }

    void freshListingTakesTheOrder()
    {
        QFETCH(QByteArrayList, changes);
        QFETCH(QByteArrayList, order);
        QList<FSRef> kept;
        const FSRef folder = arrangedFolder(&kept);
        const QByteArray d = folder.path;
        for (const QByteArray& change : changes) {
            const QByteArray name = d + '/' + change.mid(1);
            const qsizetype arrow = change.indexOf('>');
            if (change == "~") {
                FSRef then = folder;
                then.device ^= 0x5a;
                for (FSRef& item : kept)
                    item.device ^= 0x5a;
                QVERIFY(StoreArrangedOrder(then, kept));
            } else if (arrow > 0) {
                const QByteArray from = d + '/' + change.left(arrow);
                QCOMPARE(::rename(from.constData(), (d + '/' + change.mid(arrow + 1)).constData()), 0);
            } else if (change.startsWith('+')) {
                touch(d, change.mid(1));
            } else if (change.startsWith('-')) {
                QCOMPARE(::unlink(name.constData()), 0);
            } else {
                writeFile(name + ".new", "new");
                QCOMPARE(::rename((name + ".new").constData(), name.constData()), 0);
            }
        }
        const QList<FSRef> fresh = listed(folder);
        QList<FSRef> arranged;
        for (qsizetype i : ArrangeLike(*StoredArrangedOrder(folder), fresh))
            arranged.append(fresh[i]);
        QCOMPARE(namesOf(arranged), Names(order));
    }

    // Numbering that renamed items forgets the order: the names keep it now. A run that
    // renamed nothing, or was cancelled, keeps it for the next try.
    void numberingForgetsTheOrder_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("nothingRenamed");
        QTest::addColumn<bool>("kept");
        QTest::newRow("numbered") << false << false << false;
        QTest::newRow("cancelled") << true << false << true;
        QTest::newRow("nothing renamed") << false << true << true;
    }

    void numberingForgetsTheOrder()
    {
        QFETCH(bool, cancel);
        QFETCH(bool, nothingRenamed);
        QFETCH(bool, kept);
        QList<FSRef> items;
        const FSRef folder = arrangedFolder(&items);
        if (nothingRenamed)
            makeFiles(folder.path, {"1 d", "2 a", "3 c", "4 b"});   // every new name is taken
        QString problem;
        const std::unique_ptr<FolderRun> run = FolderRun::begin(folder, &problem);
        QVERIFY2(run, qPrintable(problem));
        RenameRun control;
        control.progress = [cancel](qsizetype done, qsizetype) {
            return cancel && done == 2 ? RunControl::Cancel : RunControl::Continue;
        };
        const RenameReport report = run->number(items, {}, control);
        QCOMPARE(report.renamed, nothingRenamed ? 0 : cancel ? 2 : 4);
        QCOMPARE(StoredArrangedOrder(folder).has_value(), kept);
    }

    // Earliest first; equal dates keep the order given; items without a date go last.
    void dateOrder()
    {
        const QByteArray d = temporaryFolder();
        const Names names{"a", "b", "c", "d", "e"};
        const time_t times[] = {300, 100, 300, 0, 200};
        for (qsizetype i = 0; i < names.size(); ++i) {
            touch(d, names[i]);
            setModificationTime(d + '/' + names[i], 1600000000 + times[i]);
        }
        QList<FSRef> items = listed(refTo(d));
        QCOMPARE(::unlink((d + "/d").constData()), 0);   // gone before its date is read
        QVERIFY(SortByDate(items, ItemDate::Modified));
        QCOMPARE(namesOf(items), (Names{"b", "e", "a", "c", "d"}));
    }
};

QTEST_GUILESS_MAIN(TestArrangedOrder)
#include "tst_arrangedorder.moc"
