// The type and suffix maps, filled from the fixture desktop's mapping table (tests/data/xdg
// through the XDG variables set by ctest), and the fixed movie type table.

#include "platform/Bundle.h"
#include "support/GlobalMaps.h"
#include "support/TypeMaps.h"

#include "TestFolders.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray text(const unsigned char* field)
{
    return QByteArray(reinterpret_cast<const char*>(field + 1), field[0]);
}

} // namespace

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
        QTest::newRow("SWFL") << OSType(0x5357464C) << QStringLiteral(".swf");
        QTest::newRow("mpg4") << OSType(0x6D706734) << QStringLiteral(".mp4");
        QTest::newRow("3gpp") << OSType(0x33677070) << QStringLiteral(".3gp");
        QTest::newRow("3gp2") << OSType(0x33677032) << QStringLiteral(".3g2");
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
        QTemporaryDir dir;
        const QByteArray base = TestFolders::path(dir);
        TestFolders::touch(base, "movie");
        TestFolders::touch(base, "plain");
        FSRef movie, plain, folder;
        QCOMPARE(FSPathMakeRef(base + "/movie", &movie), noErr);
        QCOMPARE(FSPathMakeRef(base + "/plain", &plain), noErr);
        QCOMPARE(FSPathMakeRef(base, &folder), noErr);
        FinderInfo info;
        info.bytes = {'M', 'o', 'o', 'V'};
        if (FSSetFinderInfo(movie, info) != noErr)
            QSKIP("this file system keeps no user extended attributes");
        QCOMPARE(MapFSRefToExtensionByType(movie), QStringLiteral(".mov"));
        QVERIFY(MapFSRefToExtensionByType(plain).isNull());
        QVERIFY(MapFSRefToExtensionByType(folder).isNull());
        QVERIFY(MapFSRefToExtensionByType(FSRef{}).isNull());
    }

    void signatureIsTheProgramsCode()
    {
        const QByteArray code = Bundle::signature().toLatin1();
        QCOMPARE(code.size(), 4);
        const OSType expected = OSType(std::uint8_t(code[0])) << 24 | OSType(std::uint8_t(code[1])) << 16
            | OSType(std::uint8_t(code[2])) << 8 | OSType(std::uint8_t(code[3]));
        QCOMPARE(GetOurSignature(), expected);
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
            QCOMPARE(text(gSuffixMap.lookup(CString256(".jpg"))->value.MIMEType), QByteArray("image/x-ordinello-camera"));
            QCOMPARE(text(gSuffixMap.lookup(CString256(".JPG"))->value.MIMEType), QByteArray("image/x-ordinello-camera"));
            QCOMPARE(text(gSuffixMap.lookup(CString256(".jpeg"))->value.MIMEType), QByteArray("image/jpeg"));
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
        QCOMPARE(text(gTypeMap.lookup(0x4A504547)->value.extension), QByteArray(".jpeg"));
        QCOMPARE(text(gTypeMap.lookup(0)->value.extension), QByteArray(".jpg"));
        QCOMPARE(text(gTypeMap.lookup(0x4D6F6F56)->value.extension), QByteArray(".qt"));
    }
};

QTEST_GUILESS_MAIN(TestTypeMaps)
#include "tst_typemaps.moc"
