// The type and suffix maps, filled from the fixture desktop's mapping table (tests/data/xdg
// through the XDG variables set by ctest), and the fixed movie type table.

#include "support/GlobalMaps.h"
#include "support/TypeMaps.h"

#include "TestFolders.h"

#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <unistd.h>

using namespace TestFolders;

class TestTypeMaps : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void typeToExtension_data()
    {
        QTest::addColumn<OSType>("type");
        QTest::addColumn<QString>("extension");
        QTest::newRow("MooV") << OSType(0x4D6F6F56) << QStringLiteral(".mov");
        QTest::newRow("VfW with its blank") << OSType(0x56665720) << QStringLiteral(".avi");
        QTest::newRow("VfW with a zero byte") << OSType(0x56665700) << QString();
        QTest::newRow("TEXT") << OSType(0x54455854) << QString();
        QTest::newRow("zero") << OSType(0) << QString();
    }

    void typeToExtension()
    {
        QFETCH(OSType, type);
        QFETCH(QString, extension);
        const QString mapped = MapTypeToExtension(type);
        QCOMPARE(mapped, extension);
        QCOMPARE(mapped.isNull(), extension.isNull());
    }

    void itemToExtensionByFinderType()
    {
        const QByteArray base = temporaryFolder();
        touch(base, "movie");
        touch(base, "plain");
        const FSRef movie = refTo(base + "/movie"), plain = refTo(base + "/plain"), folder = refTo(base);
        FinderInfo info;
        info.bytes = {'M', 'o', 'o', 'V'};
        if (FSSetFinderInfo(movie, info) != noErr)
            QSKIP("this file system keeps no user extended attributes");
        QCOMPARE(MapFSRefToExtensionByType(movie), QStringLiteral(".mov"));
        QVERIFY(MapFSRefToExtensionByType(plain).isNull());
        QVERIFY(MapFSRefToExtensionByType(FSRef{}).isNull());
        // A folder has no file type, whatever its Finder information holds.
        QCOMPARE(FSSetFinderInfo(folder, info), noErr);
        QVERIFY(MapFSRefToExtensionByType(folder).isNull());
        // A stale reference does not answer for what now holds its path.
        QCOMPARE(::unlink(plain.path.constData()), 0);
        QCOMPARE(::rename(movie.path.constData(), plain.path.constData()), 0);
        QVERIFY(MapFSRefToExtensionByType(plain).isNull());
    }

    void suffixMap()
    {
        gSuffixMap.clear();
        for (int pass = 0; pass < 2; ++pass) { // a second fill merges into the first
            InitializeSuffixMap();
            QStringList keys;
            for (auto* node : gSuffixMap.links())
                keys << QString::fromUtf8(node->key.c_str());
            // First appearance decides the place; ".JPG" is a key of its own.
            QCOMPARE(keys, QStringList({".jpg", ".jpeg", ".JPG", ".txt", ".asc", ".mov", ".qt"}));
            // The later of the two ".jpg" entries holds the key.
            QCOMPARE(pascalText(gSuffixMap.lookup(CString256(".jpg"))->value.MIMEType), QByteArray("image/x-ordinello-camera"));
            QCOMPARE(pascalText(gSuffixMap.lookup(CString256(".JPG"))->value.MIMEType), QByteArray("image/x-ordinello-camera"));
            QCOMPARE(pascalText(gSuffixMap.lookup(CString256(".jpeg"))->value.MIMEType), QByteArray("image/jpeg"));
        }
    }

    void typeMap()
    {
        gTypeMap.clear();
        InitializeTypeMap();
        QList<OSType> keys;
        for (auto* node : gTypeMap.links())
            keys << node->key;
        QCOMPARE(keys, QList<OSType>({0x4A504547, 0, 0x54455854, 0x4D6F6F56})); // JPEG, none, TEXT, MooV
        QCOMPARE(pascalText(gTypeMap.lookup(0x4A504547)->value.extension), QByteArray(".jpeg"));
        QCOMPARE(pascalText(gTypeMap.lookup(0)->value.extension), QByteArray(".jpg"));
        QCOMPARE(pascalText(gTypeMap.lookup(0x4D6F6F56)->value.extension), QByteArray(".qt"));
    }
};

QTEST_GUILESS_MAIN(TestTypeMaps)
#include "tst_typemaps.moc"
