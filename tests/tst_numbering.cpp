// Sequence numbering and prefix removal: the number text, the prefix rule, the runs on
// real folders (nothing replaced, bytes kept, failures reported, companions following),
// the controller's commands with the preferences, and the status bar's report.

#include "TestFolders.h"
#include "platform/ProgramSettings.h"
#include "renaming/DirectoryItems.h"
#include "app/MainWindow.h"
#include "renaming/Numbering.h"
#include "app/OrdinelloController.h"
#include "renaming/Preferences.h"
#include "app/RenameReportView.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"

#include "Named.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestNumbering : public QObject
{
    Q_OBJECT

    int m_beeps = 0;

    static QList<FSRef> listed(const QByteArray& dir)
    {
        FSRef folder;
        QList<FSRef> items;
        if (FSPathMakeRef(dir, &folder) != noErr || ListDirectoryItemRefs(folder, &items) != noErr)
            qWarning("cannot list %s", dir.constData());
        return items;
    }

    static NumberingSettings numbering(std::int32_t first, std::int32_t step, int width)
    {
        return NumberingSettings{first, step, width};
    }

    // QTemporaryDir cannot remove names that are not UTF-8: take them away by bytes.
    static void removeEntries(const QByteArray& dir)
    {
        for (const QByteArray& name : entries(dir))
            ::unlink((dir + '/' + name).constData());
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
        ProgramSettings().clear();
        SetConfirmRenaming(false);
    }

    void formatNumber_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << qint64(7) << 6 << "000007";
        QTest::newRow("wider than the field") << qint64(1234567) << 6 << "1234567";
        QTest::newRow("zeros before the minus") << qint64(-5) << 6 << "0000-5";
        QTest::newRow("width 0") << qint64(7) << 0 << "7";
        QTest::newRow("negative width pads nothing") << qint64(7) << -3 << "7";
        QTest::newRow("wrapped to the smallest int") << qint64(0x80000000u) << 0 << "-2147483648";
    }

    void formatNumber()
    {
        QFETCH(qint64, number);
        QFETCH(int, width);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(std::uint32_t(number), width), text);
    }

    // Prefix removal takes off whatever stands before the first blank, once.
    void prefixRemoval_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("stripped");
        QTest::newRow("number") << QByteArray("000001 Beach.jpg") << QByteArray("Beach.jpg");
        QTest::newRow("no blank") << QByteArray("Beach.jpg") << QByteArray("Beach.jpg");
        QTest::newRow("any text before the blank") << QByteArray("My Photo.jpg") << QByteArray("Photo.jpg");
        QTest::newRow("one prefix only") << QByteArray("1 1 a.txt") << QByteArray("1 a.txt");
        QTest::newRow("leading blank") << QByteArray(" lead.txt") << QByteArray("lead.txt");
        QTest::newRow("tab is no blank") << QByteArray("1\ta.txt") << QByteArray("1\ta.txt");
        QTest::newRow("no-break space is no blank") << QByteArray("1\xC2\xA0" "a.txt") << QByteArray("1\xC2\xA0" "a.txt");
    }

    void prefixRemoval()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, stripped);
        QTemporaryDir dir;
        touch(path(dir), name);
        QList<FSRef> items = listed(path(dir));
        QVERIFY(RemoveNumberPrefixes(items).failures.isEmpty());
        QCOMPARE(entries(path(dir)), Names{stripped});
    }

    void numbersInListOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("prefixes");
        QTest::newRow("defaults") << 3 << 1 << 1 << 1 << QStringList{"1", "2", "3"};
        QTest::newRow("fixed width 6") << 2 << 1 << 1 << 6 << QStringList{"000001", "000002"};
        QTest::newRow("width of the count, not of the numbers")
            << 12 << 95 << 1 << 2
            << QStringList{"95", "96", "97", "98", "99", "100", "101", "102", "103", "104", "105", "106"};
        QTest::newRow("negative step") << 3 << 10 << -2 << 1 << QStringList{"10", "8", "6"};
        QTest::newRow("step 0") << 3 << 4 << 0 << 1 << QStringList{"4", "4", "4"};
        QTest::newRow("wraps at 32 bits") << 2 << INT_MAX << 1 << 1 << QStringList{"2147483647", "-2147483648"};
    }

    void numbersInListOrder()
    {
        QFETCH(int, count);
        QFETCH(int, first);
        QFETCH(int, step);
        QFETCH(int, width);
        QFETCH(QStringList, prefixes);
        QTemporaryDir dir;
        Names expected;
        for (int i = 0; i < count; ++i) {
            const QByteArray name = "item" + QByteArray::number(i) + ".txt";
            touch(path(dir), name);
            expected.append(prefixes[i].toUtf8() + ' ' + name);
        }
        QList<FSRef> items = listed(path(dir));
        const RenameReport report = NumberItems(items, numbering(first, step, width));
        QCOMPARE(report.handled, count);
        QVERIFY(report.failures.isEmpty());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(entries(path(dir)), expected);
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
        QTemporaryDir dir;
        const QByteArray d = path(dir);
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
        const RenameReport report = NumberItems(items, numbering(1, 1, 1));
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
        QTemporaryDir dir;
        touch(path(dir), name);
        QList<FSRef> items = listed(path(dir));
        QVERIFY(NumberItems(items, numbering(7, 1, 4)).failures.isEmpty());
        QCOMPARE(entries(path(dir)), Names{"0007 " + name});
        FSRef item = listed(path(dir)).first();
        QCOMPARE(RemovePrefixFromFilename(&item), noErr);
        QCOMPARE(item.nameBytes(), name);
        QCOMPARE(entries(path(dir)), Names{name});
        removeEntries(path(dir));
    }

    void tooLongIsNeverCut()
    {
        QTemporaryDir dir;
        const QByteArray longName = "a" + QByteArray(NAME_MAX - 2, 'x') + "\xe9";   // 255 bytes, not UTF-8
        touch(path(dir), longName);
        touch(path(dir), "b");
        QList<FSRef> items = listed(path(dir));
        const RenameReport report = NumberItems(items, numbering(1, 1, 1));
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures.first().error, ENAMETOOLONG);
        QCOMPARE(report.failures.first().reason, "name too long");
        QCOMPARE(entries(path(dir)), (Names{"2 b", longName}));
        removeEntries(path(dir));
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
        QTemporaryDir dir;
        const QByteArray d = path(dir);
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
        const RenameReport report = NumberItems(items, numbering(1, 1, 1));
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures.first().name, "b");
        QVERIFY(report.failures.first().reason.contains(replaced ? "took its place" : "removed or moved away"));
        QCOMPARE(entries(d), replaced ? (Names{"1 a", "3 c", "b"}) : (Names{"1 a", "3 c"}));
        QCOMPARE(m_beeps, 0);
    }

    void linkIsRenamedItself()
    {
        QTemporaryDir dir;
        const QByteArray d = path(dir);
        makeFolder(d, "target");
        writeFile(d + "/target/inside", "x");
        QCOMPARE(::symlink("target", (d + "/alias").constData()), 0);
        const ino_t targetInode = inode(d + "/target");
        QList<FSRef> items = listed(d);
        QVERIFY(NumberItems(items, numbering(1, 1, 1)).failures.isEmpty());
        QCOMPARE(entries(d), (Names{"1 alias", "2 target"}));
        char buffer[64] = {};
        QCOMPARE(::readlink((d + "/1 alias").constData(), buffer, sizeof buffer - 1), 6);
        QCOMPARE(QByteArray(buffer), "target");
        QCOMPARE(inode(d + "/2 target"), targetInode);
        QCOMPARE(entries(d + "/2 target"), Names{"inside"});
    }

    void companionFollows()
    {
        QTemporaryDir dir;
        const QByteArray d = path(dir);
        touch(d, "a.jpg");
        writeFile(d + "/._a.jpg", "metadata");
        makeFolder(d, "._b");   // a folder is an item of its own, not a companion
        touch(d, "b");
        QList<FSRef> items = listed(d);
        QVERIFY(NumberItems(items, numbering(1, 1, 1)).failures.isEmpty());
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

    // A dry run renames nothing, meets the names earlier items would free or take, and
    // predicts the refusals.
    void dryRun()
    {
        QStringList planned;
        RenameRun run;
        run.dryRun = true;
        run.renamed = [&](const QString& from, const QString& to) { planned.append(from + " > " + to); };

        QTemporaryDir dir;
        touch(path(dir), "2 b");
        touch(path(dir), "b");
        QList<FSRef> items = listed(path(dir));
        RenameReport report = NumberItems(items, numbering(1, 1, 1), run);
        QVERIFY(report.failures.isEmpty());   // "2 b" is freed before b needs it
        QCOMPARE(planned, (QStringList{"2 b > 1 2 b", "b > 2 b"}));
        QCOMPARE(entries(path(dir)), (Names{"2 b", "b"}));

        QTemporaryDir other;
        touch(path(other), "1 x");
        touch(path(other), "2 x");
        items = listed(path(other));
        report = RemoveNumberPrefixes(items, run);
        QCOMPARE(report.failures.size(), 1);   // "x" would already be taken by "1 x"
        QCOMPARE(report.failures.first().name, "2 x");
        QCOMPARE(report.failures.first().error, EEXIST);
        QCOMPARE(entries(path(other)), (Names{"1 x", "2 x"}));
    }

    // The window's commands: the width rule over the preferences, an item replaced after
    // the listing, the reload, the report signal.
    void controllerRuns()
    {
        QTemporaryDir dir;
        const QByteArray d = path(dir);
        for (int i = 10; i < 22; ++i)
            touch(d, "f" + QByteArray::number(i));
        OrdinelloController controller;
        QSignalSpy finished(&controller, &OrdinelloController::runFinished);
        controller.renameItems();   // no folder yet: nothing happens
        QCOMPARE(finished.size(), 0);
        controller.selectDirectoryPath(d);
        QCOMPARE(controller.automaticNumberLength(), 2);

        writeFile(d + "/new", "newcomer");
        QCOMPARE(::rename((d + "/new").constData(), (d + "/f11").constData()), 0);
        controller.renameItems();
        QVERIFY(finished.wait());
        QVERIFY(entries(d).contains("f11"));
        QCOMPARE(controller.directoryItems().first(), DecodeFileName(d + "/01 f10"));
        QCOMPARE(controller.directoryItems().at(1), DecodeFileName(d + "/03 f12"));   // 02 was skipped
        QCOMPARE(finished.first().at(0).toInt(), 11);
        QCOMPARE(finished.first().at(1).toStringList(), QStringList{"f11"});
        QVERIFY(finished.first().at(2).toStringList().first().contains("took its place"));

        // Fixed width with "NumberLength" never stored: 6 digits.
        SetAutomaticNumberLength(false);
        QCOMPARE(controller.automaticNumberLength(), 0);
        controller.removeFilenamePrefixes();
        QVERIFY(finished.wait());
        controller.renameItems();
        QVERIFY(finished.wait());
        QCOMPARE(controller.directoryItems().first(), DecodeFileName(d + "/000001 f10"));
    }

    // The window: the commands wait for a folder; a run with failures says so in the
    // status bar, and a click lists which items and why, without a modal alert.
    void windowReportsFailures()
    {
        MainWindow window;
        QVERIFY(!named(&window, "actionRenameItems")->isEnabled());
        QTemporaryDir dir;
        const QByteArray longName = QByteArray(NAME_MAX - 1, 'x');   // "1 " makes it 256 bytes
        touch(path(dir), longName);
        touch(path(dir), "y");
        window.controller()->selectDirectoryPath(path(dir));
        QVERIFY(named(&window, "actionRenameItems")->isEnabled());

        QSignalSpy finished(window.controller(), &OrdinelloController::runFinished);
        named(&window, "actionRenameItems")->trigger();
        QVERIFY(finished.wait());
        auto* report = window.statusBar()->findChild<RenameReportView*>();
        QVERIFY(report && !report->isHidden());
        QCOMPARE(report->text(), "1 item could not be renamed");
        report->click();
        QVERIFY(report->detailsWindow()->isVisible() && !report->detailsWindow()->isModal());
        const QTreeWidget* list = report->detailsWindow()->findChild<QTreeWidget*>();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(0), QString::fromLatin1(longName));
        QCOMPARE(list->topLevelItem(0)->text(1), "name too long");
        QVERIFY(report->detailsWindow()->windowTitle().contains(dir.path().section(u'/', -1)));

        // The account belongs to its folder: choosing another folder clears it.
        named(&window, "actionRenameItems")->trigger();
        QVERIFY(finished.wait());
        QVERIFY(!report->isHidden());
        QTemporaryDir other;
        window.controller()->selectDirectoryPath(path(other));
        QVERIFY(report->isHidden() && !report->detailsWindow()->isVisible());
        QCOMPARE(report->detailsWindow()->findChild<QTreeWidget*>()->topLevelItemCount(), 0);
        window.controller()->selectDirectoryPath(path(dir));

        named(&window, "actionRemovePrefixes")->trigger();   // "2 2 y" to "2 y"; the long one has no blank
        QVERIFY(finished.wait());
        QVERIFY(report->isHidden());
        QCOMPARE(entries(path(dir)), (Names{"2 y", longName}));
    }

    // A run with failures, some or all, reports them in a message over the window (modal
    // to it alone) listing the items and why, besides the status bar's button.
    void failedRunsAreReportedOverTheWindow_data()
    {
        QTest::addColumn<Names>("items");
        QTest::addColumn<QString>("headline");
        const QByteArray tooLong(NAME_MAX - 1, 'x');   // "1 " makes it 256 bytes
        QTest::newRow("some failed") << Names{tooLong, "y"} << "1 of 2 items could not be renamed.";
        QTest::newRow("all failed") << Names{tooLong, QByteArray(NAME_MAX - 1, 'z')} << "No item could be renamed.";
    }

    void failedRunsAreReportedOverTheWindow()
    {
        QFETCH(Names, items);
        QFETCH(QString, headline);
        QTemporaryDir dir;
        for (const QByteArray& name : items)
            touch(path(dir), name);
        MainWindow window;
        window.controller()->selectDirectoryPath(path(dir));
        QSignalSpy finished(window.controller(), &OrdinelloController::runFinished);
        named(&window, "actionRenameItems")->trigger();
        QVERIFY(finished.wait());
        auto* message = window.findChild<QDialog*>(QStringLiteral("renameReportMessage"));
        QVERIFY(message && message->isVisible());
        QCOMPARE(message->windowModality(), Qt::WindowModal);
        QVERIFY2(named<QLabel>(message, "headline")->text().contains(headline),
                 qPrintable(named<QLabel>(message, "headline")->text()));
        const QTreeWidget* list = message->findChild<QTreeWidget*>();
        QCOMPARE(list->topLevelItemCount(), finished.first().at(1).toStringList().size());
        QCOMPARE(list->topLevelItem(0)->text(1), "name too long");
        QVERIFY(!window.statusBar()->findChild<RenameReportView*>()->isHidden());
        // The next folder's account replaces this one.
        QTemporaryDir other;
        window.controller()->selectDirectoryPath(path(other));
        QTRY_VERIFY(!window.findChild<QDialog*>(QStringLiteral("renameReportMessage")));
    }

    // Escape stops a run as the Cancel button does; the status bar says how far it went
    // and Undo names the items it renamed.
    void escapeCancelsARun()
    {
        QTemporaryDir dir;
        const int count = 20000;
        for (int i = 0; i < count; ++i)
            ::close(::open((path(dir) + "/f" + QByteArray::number(i)).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        MainWindow window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.controller()->selectDirectoryPath(path(dir));
        QSignalSpy finished(window.controller(), &OrdinelloController::runFinished);
        // Pressed while the run is under way, by the progress it reports.
        bool pressed = false;
        bool tooQuick = false;
        connect(window.controller(), &OrdinelloController::runProgress, &window, [&](qsizetype done, qsizetype total) {
            if (done == 0 || std::exchange(pressed, true))
                return;
            tooQuick = done > total / 2;
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        named(&window, "actionRenameItems")->trigger();
        QVERIFY(finished.wait(60000));
        if (tooQuick)
            QSKIP("this machine numbers 20,000 items before the progress is first shown");
        QVERIFY(pressed);
        qsizetype renamed = 0;
        for (const QByteArray& name : entries(path(dir)))
            renamed += name.contains(' ') ? 1 : 0;
        QVERIFY2(renamed > 0 && renamed < count, QByteArray::number(renamed).constData());
        const QLocale locale;
        QCOMPARE(window.statusBar()->findChild<RenameReportView*>()->account(),
                 QStringLiteral("Cancelled after %1 of %2 items").arg(locale.toString(renamed), locale.toString(count)));
        QCOMPARE(window.findChild<QAction*>(QStringLiteral("actionUndo"))->text(),
                 QStringLiteral("Undo Numbering of %1 Items").arg(locale.toString(renamed)));
        QVERIFY(!named(&window, "actionCancelRun")->isEnabled());   // Escape is the table's again
    }

    // Numbers that would leave the 32-bit range are refused before anything is shown or
    // renamed, naming the number the run would end at.
    void numbersBeyond32BitsAreRefused()
    {
        QTemporaryDir dir;
        touch(path(dir), "a");
        touch(path(dir), "b");
        SetInitialNumber(2147483647);
        OrdinelloController controller;
        controller.selectDirectoryPath(path(dir));
        QSignalSpy refused(&controller, &OrdinelloController::runRefused);
        controller.renameItems();
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.first().at(0).toString().contains(QLocale().toString(2147483648LL)),
                 qPrintable(refused.first().at(0).toString()));
        QVERIFY(!controller.isRunning());
        QCOMPARE(entries(path(dir)), (Names{"a", "b"}));
    }
};

QTEST_MAIN(TestNumbering)
#include "tst_numbering.moc"
