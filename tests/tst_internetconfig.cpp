// The Internet preferences connection against a fixture desktop (tests/data/xdg: a small
// MIME database, .desktop files whose program records its arguments, default applications),
// pointed at through the XDG variables set by ctest.

#include "support/CInternetConfig.h"

#include "TestFolders.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace TestFolders;

class TestInternetConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY2(qgetenv("XDG_DATA_DIRS").endsWith("tests/data/xdg/share"), "run through ctest");
        QVERIFY(m_out.isValid());
    }

    void notStartedAnswersMinusOne()
    {
        CInternetConfig config(0x4F52444E);
        QVERIFY(config.available());
        ICMapEntry entry{};
        std::array<unsigned char, 256> value{};
        ICFontRecord font{};
        QByteArray folder;
        const auto key = pascal("RealName");
        QCOMPARE(config.Stop(), 0);
        QCOMPARE(config.DoURL(pascal("ordinello-test://x").data()), -1);
        QCOMPARE(config.MapFilename("a.jpg", &entry), -1);
        QCOMPARE(config.StartMapIteration(), -1);
        QVERIFY(!config.NextMapEntry(&entry));
        QCOMPARE(config.FinishMapIteration(), -1);
        QCOMPARE(config.GetKeysString(key.data(), value.data()), -1);
        QCOMPARE(config.GetFontRecord(key.data(), &font), -1);
        QCOMPARE(config.EditPreferences(key.data()), -1);
        QCOMPARE(config.GetDownloadFolder(&folder), -1);
        QCOMPARE(config.GetHelperFileSpec(pascal("Helper\xA5ordinello-test").data(), nullptr, nullptr), -1);
        // Started, then stopped: the same answers again.
        QCOMPARE(config.Start(), 0);
        QCOMPARE(config.Stop(), 0);
        QCOMPARE(config.StartMapIteration(), -1);
    }

    // Types in name order, each type's patterns in the database's order; a type without
    // patterns (application/octet-stream, the nameless one) gives no entry.
    void mappingTableWalk()
    {
        CInternetConfig config(0);
        QCOMPARE(config.Start(), 0);
        QCOMPARE(config.StartMapIteration(), 0);
        ICMapEntry entry{};
        QByteArrayList walked;
        for (int i = 0; i < 8 && config.NextMapEntry(&entry); ++i)
            walked << pascalText(entry.extension) + ' ' + pascalText(entry.MIMEType) + " (" + pascalText(entry.entryName)
                          + ") " + pascalText(entry.creatorAppName) + ' ' + QByteArray::number(entry.fileType, 16);
        QCOMPARE(walked, (QByteArrayList{".jpg image/jpeg (JPEG image) Test Viewer 4a504547",
                                         ".jpeg image/jpeg (JPEG image) Test Viewer 4a504547",
                                         ".JPG image/x-ordinello-camera (camera image)  0",
                                         ".jpg image/x-ordinello-camera (camera image)  0",
                                         ".txt text/plain (plain text document) Test Editor 54455854",
                                         ".asc text/plain (plain text document) Test Editor 54455854",
                                         ".mov video/quicktime (QuickTime video)  4d6f6f56",
                                         ".qt video/quicktime (QuickTime video)  4d6f6f56"}));
        QVERIFY(!config.NextMapEntry(&entry));
        QVERIFY(!config.NextMapEntry(&entry));
        QCOMPARE(config.FinishMapIteration(), 0);
        QVERIFY(!config.NextMapEntry(&entry));
        QCOMPARE(config.FinishMapIteration(), -1);
        // A walk left open ends with the connection; a new connection starts afresh.
        QCOMPARE(config.StartMapIteration(), 0);
        QVERIFY(config.NextMapEntry(&entry));
        QCOMPARE(config.Stop(), 0);
        QCOMPARE(config.Start(), 0);
        QVERIFY(!config.NextMapEntry(&entry));
    }

    void mapFilename_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("mimeType");
        QTest::addColumn<QByteArray>("extension");
        QTest::newRow("known") << QByteArray("Beach.jpeg") << 0 << QByteArray("image/jpeg") << QByteArray(".jpeg");
        QTest::newRow("case-insensitive pattern") << QByteArray("NOTES.TXT") << 0 << QByteArray("text/plain") << QByteArray(".txt");
        QTest::newRow("not UTF-8") << QByteArray("caf\xE9.mov") << 0 << QByteArray("video/quicktime") << QByteArray(".mov");
        QTest::newRow("unknown extension") << QByteArray("archive.xyz") << -666 << QByteArray() << QByteArray();
        QTest::newRow("no extension") << QByteArray("README") << -666 << QByteArray() << QByteArray();
        // Only the first 255 bytes of a C name count: here the ".txt" lies beyond them.
        QTest::newRow("300 bytes") << QByteArray(296, 'a') + ".txt" << -666 << QByteArray() << QByteArray();
        QTest::newRow("255 bytes") << QByteArray(251, 'a') + ".txt" << 0 << QByteArray("text/plain") << QByteArray(".txt");
    }

    void mapFilename()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, status);
        CInternetConfig config(0);
        config.Start();
        ICMapEntry entry{};
        QCOMPARE(int(config.MapFilename(name.constData(), &entry)), status);
        if (status == 0) {
            QTEST(pascalText(entry.MIMEType), "mimeType");
            QTEST(pascalText(entry.extension), "extension");
        }
        QCOMPARE(config.MapFilename(static_cast<const char*>(nullptr), &entry), paramErr);
    }

    void preferenceKeys_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("font");
        QTest::addColumn<int>("status");
        QTest::newRow("RealName") << QByteArray("RealName") << false << 0;
        QTest::newRow("Email") << QByteArray("Email") << false << 0;
        QTest::newRow("unknown string") << QByteArray("Organization") << false << -666;
        QTest::newRow("TextFont") << QByteArray("TextFont") << true << 0;
        QTest::newRow("ListFont") << QByteArray("ListFont") << true << 0;
        QTest::newRow("unknown font") << QByteArray("Font\xA5") << true << -666;
    }

    void preferenceKeys()
    {
        QFETCH(QByteArray, key);
        QFETCH(bool, font);
        QFETCH(int, status);
        CInternetConfig config(0);
        config.Start();
        const auto keyBytes = pascal(key);
        if (!font) {
            std::array<unsigned char, 256> value;
            value.fill(0xEE);
            QCOMPARE(int(config.GetKeysString(keyBytes.data(), value.data())), status);
            if (key == "Email")
                QCOMPARE(value[0], 0);
            return;
        }
        ICFontRecord record{};
        QCOMPARE(int(config.GetFontRecord(keyBytes.data(), &record)), status);
        if (status == 0) {
            QVERIFY(record.size > 0);
            QVERIFY(record.font[0] > 0);
            QVERIFY(record.face <= 3);
        }
    }

    void changedDefaultApplicationReachesTheTable()
    {
        const auto movieApplication = [] {
            CInternetConfig config(0);
            config.Start();
            ICMapEntry entry{};
            return config.MapFilename("clip.mov", &entry) == noErr ? pascalText(entry.creatorAppName) : QByteArray("?");
        };
        const auto tableApplication = [] {
            const MappingTable table = MappingTable::read();
            ICMapEntry entry{};
            for (std::int32_t i = 0; i < table.count(); ++i) {
                table.entry(i, &entry);
                if (pascalText(entry.extension) == ".mov")
                    return pascalText(entry.creatorAppName);
            }
            return QByteArray("?");
        };
        QCOMPARE(tableApplication(), QByteArray());
        // The user picks an application for the type: the next table shows it.
        const QByteArray list = qgetenv("XDG_CONFIG_HOME") + "/mimeapps.list";
        writeFile(list, "[Default Applications]\nvideo/quicktime=ordinello-test-viewer.desktop\n");
        const auto removeList = qScopeGuard([&] { ::unlink(list.constData()); });
        QTRY_COMPARE_WITH_TIMEOUT(tableApplication(), QByteArray("Test Viewer"), 10000);
        QCOMPARE(movieApplication(), QByteArray("Test Viewer"));
        QCOMPARE(::unlink(list.constData()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(tableApplication(), QByteArray(), 10000);
    }

    void doUrl_data()
    {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<bool>("handled");
        QTest::newRow("handled, bytes kept") << QByteArray("ordinello-test://host/a%20b?q=%C3%A9&r=1#frag") << true;
        QTest::newRow("no handler") << QByteArray("ordinello-nohandler://host/x") << false;
    }

    void doUrl()
    {
        QFETCH(QByteArray, url);
        QFETCH(bool, handled);
        const QByteArray out = QFile::encodeName(m_out.filePath(QString::fromLatin1(QTest::currentDataTag())));
        qputenv("ORDINELLO_RECORDER_OUT", out);
        CInternetConfig config(0);
        config.Start();
        const OSStatus status = config.DoURL(pascal(url).data());
        if (!handled) {
            QVERIFY(status != noErr);
            return;
        }
        QCOMPARE(status, noErr);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(out), url + '\n', 15000);
    }

    void helperApplications()
    {
        CInternetConfig config(0);
        FSSpec spec;
        QVERIFY(config.LocateApplication(0x54425257, &spec)); // 'TBRW', without a connection
        QCOMPARE(spec.parent, qgetenv("ORDINELLO_SOURCE_DIR") + "/tests/data/xdg/share/applications");
        QCOMPARE(spec.name, QByteArray("ordinello-test-browser.desktop"));
        QVERIFY(!config.LocateApplication(0x58585858, &spec)); // 'XXXX'

        config.Start();
        OSType creator = 1;
        QCOMPARE(config.GetHelperFileSpec(pascal("Helper\xA5ordinello-test").data(), &spec, &creator), 0);
        QCOMPARE(spec.name, QByteArray("ordinello-test-browser.desktop"));
        QCOMPARE(creator, 0x54425257u);
        QCOMPARE(config.GetHelperFileSpec(pascal("Helper\xA5image/jpeg").data(), &spec, &creator), 0);
        QCOMPARE(spec.name, QByteArray("ordinello-test-viewer.desktop"));
        QCOMPARE(creator, 0u);
        QCOMPARE(config.GetHelperFileSpec(pascal("Helper\xA5gopher").data(), &spec, &creator), -1);
        QCOMPARE(config.GetHelperFileSpec(pascal("RealName").data(), &spec, &creator), -1);
    }

    // Several desktop files claiming one creator: the user's own before the system's, then
    // the newest.
    void locateApplicationPrefersTheUsersNewestCopy()
    {
        const QByteArray folder = qgetenv("XDG_DATA_HOME") + "/applications";
        QVERIFY(QDir().mkpath(QFile::decodeName(folder)));
        QByteArrayList made;
        const auto cleanUp = qScopeGuard([&made] {
            for (const QByteArray& path : std::as_const(made))
                ::unlink(path.constData());
        });
        const auto install = [&](const QByteArray& id, time_t modified) {
            made.append(folder + '/' + id + ".desktop");
            writeFile(made.last(), "[Desktop Entry]\nType=Application\nName=" + id
                                       + "\nExec=ordinello-test-recorder %u\nX-Ordinello-Creator=TBRW\n");
            setModificationTime(made.last(), modified);
        };
        const auto located = [] {
            FSSpec spec;
            return CInternetConfig(0).LocateApplication(0x54425257, &spec) ? spec.name : QByteArray();
        };
        install("ordinello-user-old", 315532800);   // 1980, older than the system's copy
        QTRY_COMPARE_WITH_TIMEOUT(located(), QByteArray("ordinello-user-old.desktop"), 10000);
        install("ordinello-user-new", 946684800);   // 2000
        QTRY_COMPARE_WITH_TIMEOUT(located(), QByteArray("ordinello-user-new.desktop"), 10000);
    }

    void editPreferencesStartsTheInstalledSettings()
    {
        const QByteArray out = QFile::encodeName(m_out.filePath(QStringLiteral("settings")));
        qputenv("ORDINELLO_RECORDER_OUT", out);
        CInternetConfig config(0);
        config.Start();
        QCOMPARE(config.EditPreferences(pascal("Mapping").data()), noErr);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(out), QByteArray("file-type-settings\n"), 15000);
    }

private:
    QTemporaryDir m_out;
};

QTEST_MAIN(TestInternetConfig)
#include "tst_internetconfig.moc"
