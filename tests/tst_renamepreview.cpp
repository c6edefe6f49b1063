// The sheet before a run: it lists what the run then does (failures included), warns of
// first words that are not numbers, confirms with Enter and cancels with Escape, and
// "Do not ask again" is stored and undone from the preferences window.

#include "TestFolders.h"
#include "renaming/DirectoryItems.h"
#include "app/MainWindow.h"
#include "app/OrdinelloController.h"
#include "renaming/Preferences.h"
#include "app/PreferencesWindow.h"
#include "app/RenamePlanModel.h"
#include "app/RenamePreview.h"

#include "Named.h"

#include <QCheckBox>

#include <QCheckBox>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestRenamePreview : public QObject
{
    Q_OBJECT

    static QList<FSRef> listed(const QByteArray& dir)
    {
        FSRef folder;
        QList<FSRef> items;
        FSPathMakeRef(dir, &folder);
        ListDirectoryItemRefs(folder, &items);
        return items;
    }

private Q_SLOTS:
    void initTestCase() { isolateUserFolders(); }
    void init() { QSettings(QStringLiteral("Ordinello"), QStringLiteral("Ordinello")).clear(); }

    // The plan, then the run: the same pairs, the same refusals.
    void planEqualsRun_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Names>("names");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("lostWords");
        // ".hidden" keeps "1 b" out of the list, so numbering "b" meets it.
        QTest::newRow("numbering, a name taken")
            << int(RunKind::Numbering) << Names{"b", "1 b", "c", "._c", ".hidden"} << 1 << 0;
        QTest::newRow("numbering, too long") << int(RunKind::Numbering) << Names{QByteArray(254, 'x'), "y"} << 1 << 0;
        QTest::newRow("prefix removal")
            << int(RunKind::PrefixRemoval) << Names{"01 a", "My Photo.jpg", "0000-5 n", "x", "1 x", "2 y"} << 1 << 1;
    }

    void planEqualsRun()
    {
        QFETCH(int, kind);
        QFETCH(Names, names);
        QFETCH(int, failures);
        QFETCH(int, lostWords);
        QTemporaryDir dir;
        for (const QByteArray& name : names)
            touch(path(dir), name);
        if (names.contains(".hidden"))
            writeFile(path(dir) + "/.hidden", "1 b\n");
        const NumberingSettings settings{1, 1, 1};
        const QList<PlannedRename> plan = PlanRun(RunKind(kind), listed(path(dir)), settings);
        RenamePlanModel model(plan);
        QCOMPARE(model.failureCount(), failures);
        QCOMPARE(model.lostWordCount(), lostWords);

        QList<PlannedRename> done;
        RenameRun run;
        run.renamed = [&](const QString& a, const QString& b) { done.append({a, b, {}, false}); };
        run.failed = [&](const RenameFailure& f) { done.append({f.name, f.newName, f.reason, false}); };
        QList<FSRef> items = listed(path(dir));
        if (RunKind(kind) == RunKind::Numbering)
            NumberItems(items, settings, run);
        else
            RemoveNumberPrefixes(items, run);
        QCOMPARE(done.size(), plan.size());
        for (qsizetype i = 0; i < plan.size(); ++i) {
            QCOMPARE(done[i].name, plan[i].name);
            QCOMPARE(done[i].newName, plan[i].newName);
            QCOMPARE(done[i].problem, plan[i].problem);
        }
    }

    // The window: the sheet shows the count and the warning; Escape renames nothing;
    // Enter with "Do not ask again" renames and stores the choice; the preferences window
    // turns the sheet back on.
    void windowSheet()
    {
        QTemporaryDir dir;
        const QByteArray d = path(dir);
        for (const char* name : {"1 a", "My b", "c"})
            touch(d, name);
        MainWindow window;
        window.show();
        OrdinelloController* controller = window.controller();
        controller->selectDirectoryPath(d);
        QSignalSpy finished(controller, &OrdinelloController::runFinished);

        controller->removeFilenamePrefixes();
        QTRY_VERIFY(window.findChild<RenamePreview*>());
        auto* sheet = window.findChild<RenamePreview*>();
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->summary()->text(), "2 names will be changed.");
        QCOMPARE(sheet->warning()->text(), "1 name loses a first word that is not a number.");
        QCOMPARE(sheet->model()->rowCount(), 2);
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!window.findChild<RenamePreview*>());
        QCOMPARE(finished.size(), 0);
        QCOMPARE(entries(d), (Names{"1 a", "My b", "c"}));

        controller->renameItems();
        QTRY_VERIFY(window.findChild<RenamePreview*>());
        sheet = window.findChild<RenamePreview*>();
        QCOMPARE(sheet->summary()->text(), "3 names will be changed.");
        QVERIFY(sheet->warning()->isHidden());
        sheet->doNotAskAgain()->setChecked(true);
        QTest::keyClick(sheet, Qt::Key_Return);
        QVERIFY(finished.wait());
        QCOMPARE(entries(d), (Names{"1 1 a", "2 c", "3 My b"}));
        QVERIFY(!ConfirmRenaming());
        QTRY_VERIFY(!window.findChild<RenamePreview*>());

        controller->removeFilenamePrefixes();   // no sheet now
        QVERIFY(!window.findChild<RenamePreview*>());
        QVERIFY(finished.wait());

        PreferencesWindow* preferences = ShowPreferencesWindow(&window);
        QVERIFY(!named<QCheckBox>(preferences, "confirmRenaming")->isChecked());
        named<QCheckBox>(preferences, "confirmRenaming")->setChecked(true);
        QVERIFY(ConfirmRenaming());
    }

    void numberPrefixes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("number");
        QTest::newRow("digits") << "0007 Beach.jpg" << true;
        QTest::newRow("negative") << "0000-5 a" << true;
        QTest::newRow("word") << "My Photo.jpg" << false;
        QTest::newRow("leading blank") << " lead.txt" << false;
        QTest::newRow("minus only") << "- a" << false;
        QTest::newRow("no blank") << "123" << false;
    }

    void numberPrefixes()
    {
        QFETCH(QString, name);
        QFETCH(bool, number);
        QCOMPARE(HasNumberPrefix(name), number);
    }
};

QTEST_MAIN(TestRenamePreview)
#include "tst_renamepreview.moc"
