// Grouped numbers and dates in fixed locales, UTF-16 bytes, an icon's bitmap form, and the
// destination folder falling back to the download folder named in user-dirs.dirs.

#include "media/WorkingFolders.h"
#include "TestFolders.h"
#include "platform/AliasRecord.h"
#include "platform/NameCodec.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <ctime>

namespace {

void useLocale(const char* name)
{
    qputenv("LC_ALL", name);
}

QString plainSpaces(QString text)
{
    // ICU puts a narrow no-break space before "AM"/"PM".
    return text.replace(QChar(0x202F), QLatin1Char(' ')).replace(QChar(0x00A0), QLatin1Char(' '));
}

} // namespace

class TestWorkingFolders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestFolders::isolateUserFolders();
    }
    void cleanup() { useLocale("C.UTF-8"); }

    void groupedNumbers_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<bool>("unsignedForm");
        QTest::addColumn<QString>("expected");
        for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8"}) {
            QTest::addRow("%s 1234567", locale) << QByteArray(locale) << 1234567LL << false << "1,234,567";
            QTest::addRow("%s -1234", locale) << QByteArray(locale) << -1234LL << false << "-1,234";
            QTest::addRow("%s 999", locale) << QByteArray(locale) << 999LL << false << "999";
            QTest::addRow("%s 2^63 counted as signed", locale)
                << QByteArray(locale) << qlonglong(LLONG_MIN) << true << "-9,223,372,036,854,775,808";
        }
        QTest::newRow("Swedish minus sign") << QByteArray("sv_SE.UTF-8") << -1234LL << false << QStringLiteral("\u22121,234");
        QTest::newRow("Indian grouping stays in threes") << QByteArray("hi_IN") << 1234567LL << false << "1,234,567";
        QTest::newRow("Spanish groups four digits too") << QByteArray("es_ES") << 1234LL << false << "1,234";
        QTest::newRow("Arabic keeps Latin digits") << QByteArray("ar_EG") << 1234567LL << true << "1,234,567";
    }
    void groupedNumbers()
    {
        QFETCH(QByteArray, locale);
        QFETCH(qlonglong, value);
        QFETCH(bool, unsignedForm);
        QFETCH(QString, expected);
        useLocale(locale.constData());
        if (unsignedForm) {
            const unsigned long long count = static_cast<unsigned long long>(value);
            QCOMPARE(FormatUInt64Number(&count).remove(QChar(0x200F)).remove(QChar(0x061C)), expected);
        } else {
            const long number = long(value);
            QCOMPARE(FormatNumber(&number), expected);
        }
        QVERIFY(FormatNumber(nullptr).isNull());
        QVERIFY(FormatUInt64Number(nullptr).isNull());
    }

    void modificationDates_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en_US") << QByteArray("en_US.UTF-8") << "3/4/21, 5:06 AM";
        QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8") << "04.03.21, 05:06";
    }
    void modificationDates()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, expected);
        useLocale(locale.constData());
        const QByteArray file = TestFolders::temporaryFolder() + "/Caf\xe9.mov";   // not UTF-8
        TestFolders::writeFile(file, "x");
        TestFolders::setModificationTime(file, 1614834360);   // 2021-03-04 05:06 UTC
        const FSRef item = TestFolders::refTo(file);
        QCOMPARE(plainSpaces(GetFileModificationDateAsCFString(&item)), expected);
        QCOMPARE(plainSpaces(GetFileModificationDateAsCFString(DecodeFileName(file))), expected);
        QVERIFY(GetFileModificationDateAsCFString(DecodeFileName(file + "-gone")).isNull());
        QVERIFY(GetFileModificationDateAsCFString(static_cast<const FSRef*>(nullptr)).isNull());
    }

    void currentDateString()
    {
        useLocale("en_US.UTF-8");
        char buffer[200] = "untouched";
        MakeDateString(buffer, 5);   // too small: left as it was
        QCOMPARE(QByteArray(buffer), QByteArray("untouched"));
        MakeDateString(buffer, sizeof buffer);
        const QString text = QString::fromUtf8(buffer);
        QVERIFY2(text.contains(QString::number(QDate::currentDate().year())), buffer);
        QVERIFY2(text.contains(QLocale(QLocale::English).monthName(QDate::currentDate().month())), buffer);
    }

    void utf16Bytes()
    {
        const QByteArray bytes = MakeUTF16Characters(QStringLiteral("A\u00e9\U0001F600"));
        QCOMPARE(bytes.size(), 2 * 5);
        const auto* units = reinterpret_cast<const char16_t*>(bytes.constData());
        QCOMPARE(units[0], char16_t(0xFEFF));   // read in the machine's order
        QCOMPARE(QString::fromUtf16(units + 1, 4), QStringLiteral("A\u00e9\U0001F600"));
        QCOMPARE(MakeUTF16Characters(QString()).size(), 2);
    }

    void bitmapOfIcon()
    {
        QPixmap small(16, 16);
        small.fill(Qt::red);
        QPixmap large(48, 48);
        large.fill(Qt::blue);
        QIcon icon(small);
        icon.addPixmap(large);
        QCOMPARE(BitmapImageRepFromNSImage(icon, QSize(32, 32)).size(), QSize(16, 16));
        const QIcon themed = QIcon::fromTheme(QStringLiteral("no-such-icon-anywhere"), QIcon(QStringLiteral(":/icons/org.ordinello.Ordinello.svg")));
        QCOMPARE(BitmapImageRepFromNSImage(themed, QSize(40, 40)).size(), QSize(40, 40));
    }

    void destinationFolders()
    {
        // Qt's test mode ignores user-dirs.dirs; HOME and XDG_CONFIG_HOME are private already.
        QStandardPaths::setTestModeEnabled(false);
        const QByteArray home = qgetenv("HOME");
        TestFolders::makeFolder(home, "Fetched");
        TestFolders::writeFile(qgetenv("XDG_CONFIG_HOME") + "/user-dirs.dirs",
                               "XDG_DESKTOP_DIR=\"$HOME/Desk\"\nXDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
        FSSpec download;
        QCOMPARE(GetInternetDownloadFolder(download), OSStatus(noErr));
        QCOMPARE(download, (FSSpec{home, "Fetched"}));

        // No preference, then a preference holding text instead of a record: the download folder.
        FSRef folder;
        QVERIFY(!GetOutputDirectory(folder));
        QVERIFY(GetOutputDirectoryPath().isNull());
        QVERIFY(GetDestinationDirectory(folder));
        QCOMPARE(folder.path, home + "/Fetched");
        QSettings(QStringLiteral("Ordinello"), QStringLiteral("Ordinello"))
            .setValue(QString::fromLatin1(kDestinationDirectoryPreferenceKey), QStringLiteral("/tmp"));
        QVERIFY(!GetDirectory(QString::fromLatin1(kDestinationDirectoryPreferenceKey), folder));
        QCOMPARE(GetDestinationDirectoryPath(), DecodeFileName(home + "/Fetched"));

        // Stored alias records name the folders, whatever the download folder.
        TestFolders::makeFolder(home, "Out");
        TestFolders::makeFolder(home, "Dest");
        for (const auto& [key, name] : {std::pair{kOutputDirectoryPreferenceKey, "Out"}, {kDestinationDirectoryPreferenceKey, "Dest"}}) {
            QByteArray record;
            QCOMPARE(NewAlias(TestFolders::refTo(home + '/' + name), &record), OSErr(noErr));
            QSettings(QStringLiteral("Ordinello"), QStringLiteral("Ordinello")).setValue(QString::fromLatin1(key), record);
        }
        QCOMPARE(GetOutputDirectoryPath(), DecodeFileName(home + "/Out"));
        QCOMPARE(GetDestinationDirectoryPath(), DecodeFileName(home + "/Dest"));
        QSettings(QStringLiteral("Ordinello"), QStringLiteral("Ordinello")).remove(QString::fromLatin1(kDestinationDirectoryPreferenceKey));

        // A download folder that is not there yet is no destination.
        TestFolders::writeFile(qgetenv("XDG_CONFIG_HOME") + "/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Later\"\n");
        QVERIFY(!GetDestinationDirectory(folder));
        QVERIFY(GetDestinationDirectoryPath().isNull());
    }
};

int main(int argc, char** argv)
{
    // Dates are shown in the default time zone: fix it before ICU first reads it.
    qputenv("TZ", "UTC");
    tzset();
    QGuiApplication app(argc, argv);
    TestWorkingFolders test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_workingfolders.moc"
