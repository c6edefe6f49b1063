// The five preference readers and the preferences window that writes them.

#include "TestFolders.h"
#include "platform/ProgramSettings.h"
#include "renaming/Preferences.h"
#include "app/PreferencesWindow.h"

#include "Named.h"

#include <QCheckBox>
#include <QSpinBox>

#include <QApplication>
#include <QSettings>
#include <QTest>

#include <climits>

class TestPreferences : public QObject
{
    Q_OBJECT

    static QSettings settings() { return ProgramSettings(); }

private Q_SLOTS:
    void initTestCase() { TestFolders::isolateUserFolders(); }
    void init() { settings().clear(); }

    void readers_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QVariantList>("read");   // check, length, initial, increment, automatic
        QTest::newRow("nothing stored: the defaults") << QVariantMap{} << QVariantList{true, 6, 1, 1, true};
        QTest::newRow("false and 0 are values")
            << QVariantMap{{"CheckForSoftwareUpdates", false}, {"NumberLength", 0}, {"InitialNumber", 0},
                           {"IncrementBy", 0}, {"AutomaticNumberLength", false}}
            << QVariantList{false, 0, 0, 0, false};
        QTest::newRow("negative and extreme")
            << QVariantMap{{"InitialNumber", INT_MIN}, {"IncrementBy", -3}} << QVariantList{true, 6, INT_MIN, -3, true};
        QTest::newRow("text as written by hand")
            << QVariantMap{{"NumberLength", "4"}, {"AutomaticNumberLength", "false"}}
            << QVariantList{true, 4, 1, 1, false};
    }

    void readers()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QVariantList, read);
        QSettings s = settings();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            s.setValue(it.key(), it.value());
        s.sync();
        QCOMPARE(CheckForSoftwareUpdates(), read[0].toBool());
        QCOMPARE(NumberLength(), read[1].toInt());
        QCOMPARE(InitialNumber(), read[2].toInt());
        QCOMPARE(IncrementBy(), read[3].toInt());
        QCOMPARE(AutomaticNumberLength(), read[4].toBool());
    }

    // Opening stores nothing; the fixed width is usable only without the automatic width.
    void windowShowsWithoutStoring()
    {
        QWidget parent;
        PreferencesWindow* window = ShowPreferencesWindow(&parent);
        QCOMPARE(ShowPreferencesWindow(&parent), window);
        QVERIFY(!window->isModal());
        QCOMPARE(named<QSpinBox>(window, "initialNumber")->value(), 1);
        QCOMPARE(named<QSpinBox>(window, "numberLength")->value(), 6);
        QVERIFY(named<QCheckBox>(window, "automaticNumberLength")->isChecked());
        QVERIFY(named<QCheckBox>(window, "checkForSoftwareUpdates")->isChecked());
        QVERIFY(!named<QSpinBox>(window, "numberLength")->isEnabled());
        QVERIFY(settings().allKeys().isEmpty());

        named<QCheckBox>(window, "automaticNumberLength")->click();
        QVERIFY(named<QSpinBox>(window, "numberLength")->isEnabled());
        QCOMPARE(settings().allKeys(), QStringList{"AutomaticNumberLength"});
        QCOMPARE(AutomaticNumberLength(), false);
    }

    void windowStoresEdits_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("entered");
        QTest::addColumn<int>("stored");
        QTest::newRow("smallest first number") << QByteArray("initialNumber") << "InitialNumber" << INT_MIN << INT_MIN;
        QTest::newRow("largest step") << QByteArray("incrementBy") << "IncrementBy" << INT_MAX << INT_MAX;
        QTest::newRow("negative step") << QByteArray("incrementBy") << "IncrementBy" << -2 << -2;
        QTest::newRow("width") << QByteArray("numberLength") << "NumberLength" << 4 << 4;
    }

    void windowStoresEdits()
    {
        QFETCH(QByteArray, control);
        QFETCH(QString, key);
        QFETCH(int, entered);
        QFETCH(int, stored);
        settings().setValue("NumberLength", 3);   // away from either limit
        PreferencesWindow window;
        auto* box = window.findChild<QSpinBox*>(QString::fromLatin1(control));
        QVERIFY(box);
        box->setValue(entered);
        QCOMPARE(settings().value(key).toInt(), stored);
    }

    // Another program (the command line) changed a setting: the window shows it anew.
    void windowReloadsWhenShownAgain()
    {
        QWidget parent;
        PreferencesWindow* window = ShowPreferencesWindow(&parent);
        SetInitialNumber(42);
        ShowPreferencesWindow(&parent);
        QCOMPARE(named<QSpinBox>(window, "initialNumber")->value(), 42);
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
