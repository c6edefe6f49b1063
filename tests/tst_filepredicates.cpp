// Classifying file-system objects, and sorting lists of strings or maps in the file
// manager's text order and as dates.

#include "TestFolders.h"
#include "fsobjects/FilePredicates.h"
#include "platform/Files.h"

#include <QTest>

#include <unicode/udat.h>
#include <unicode/uloc.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;

enum Kind : int {
    PlainFile = 1, PlainFolder = 2, Container = 4, Application = 8,
    BundleByFlags = 16, BundleByExtension = 32, Bundle = 64, Visible = 128,
};

class TestFilePredicates : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QByteArray at(const QByteArray& name) const { return path(m_dir) + '/' + name; }

    static int kinds(const FSRef& ref)
    {
        return (ItemIsPlainFile(&ref) ? PlainFile : 0) | (ItemIsPlainFolder(&ref) ? PlainFolder : 0)
            | (ItemIsContainer(ref) ? Container : 0) | (ItemIsApplication(ref) ? Application : 0)
            | (ItemIsABundleByLaunchServices(ref) ? BundleByFlags : 0)
            | (ItemIsABundleByExtension(ref) ? BundleByExtension : 0) | (ItemIsABundle(ref) ? Bundle : 0)
            | (IsVisible(ref) ? Visible : 0);
    }

    static QVariantList strings(const QStringList& list)
    {
        QVariantList result;
        for (const QString& s : list)
            result.append(s);
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_dir.setAutoRemove(false);   // TestFolders removes it at exit, by bytes
        const QByteArray elf = readFile("/bin/true");
        QVERIFY(elf.startsWith("\x7F" "ELF"));
        writeFile(at("program"), elf);
        ::chmod(at("program").constData(), 0755);
        writeFile(at("program without x"), elf);
        writeFile(at("script.sh"), "#!/bin/sh\necho hi\n");
        ::chmod(at("script.sh").constData(), 0755);
        writeFile(at("notes.txt"), "text\n");
        makeFolder(path(m_dir), "Folder");
        makeFolder(path(m_dir), "Driver.KEXT");
        makeFolder(path(m_dir), "Editor.app");
        makeFolder(path(m_dir), "Tool.AppDir");
        writeFile(at("Tool.AppDir/AppRun"), elf);
        ::chmod(at("Tool.AppDir/AppRun").constData(), 0755);
        makeFolder(path(m_dir), "AppRun not executable");
        writeFile(at("AppRun not executable/AppRun"), elf);
        QCOMPARE(::symlink(at("Folder").constData(), at("link to folder").constData()), 0);
        QCOMPARE(::mkfifo(at("fifo").constData(), 0644), 0);
        writeFile(at("viewer.desktop"), "[Desktop Entry]\nType=Application\nName=Viewer\nExec=/bin/true %f\n");
        writeFile(at("link.desktop"), "[Desktop Entry]\nType=Link\nName=Site\nURL=http://example.org/\n");
    }

    void classification_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("expected");
        QTest::newRow("folder") << QByteArray("Folder") << (PlainFolder | Container | Visible);
        QTest::newRow(".KEXT folder") << QByteArray("Driver.KEXT")
                                      << (Container | BundleByFlags | BundleByExtension | Bundle | Visible);
        QTest::newRow(".app folder") << QByteArray("Editor.app")
                                     << (Container | Application | BundleByFlags | BundleByExtension | Bundle | Visible);
        QTest::newRow("AppDir") << QByteArray("Tool.AppDir") << (Container | Application | BundleByFlags | Bundle | Visible);
        QTest::newRow("AppRun without x") << QByteArray("AppRun not executable") << (PlainFolder | Container | Visible);
        QTest::newRow("ELF, executable") << QByteArray("program") << (PlainFile | Application | BundleByFlags | Bundle | Visible);
        QTest::newRow("ELF, not executable") << QByteArray("program without x") << (PlainFile | Visible);
        QTest::newRow("shell script") << QByteArray("script.sh") << (PlainFile | Visible);
        QTest::newRow("text") << QByteArray("notes.txt") << (PlainFile | Visible);
        QTest::newRow("link to folder") << QByteArray("link to folder") << (PlainFile | Visible);
        QTest::newRow("fifo") << QByteArray("fifo") << (PlainFile | Visible);
        QTest::newRow("application entry") << QByteArray("viewer.desktop")
                                           << (PlainFile | Application | BundleByFlags | Bundle | Visible);
        QTest::newRow("link entry") << QByteArray("link.desktop") << (PlainFile | Visible);
    }

    // Links and FIFOs are never followed or opened: a FIFO opened for reading would block.
    void classification()
    {
        QFETCH(QByteArray, name);
        QTEST(kinds(refTo(at(name))), "expected");
    }

    void finderFlags()
    {
        makeFolder(path(m_dir), "Flagged");
        const FSRef ref = refTo(at("Flagged"));
        FinderInfo info;
        info.setFinderFlags(kIsInvisible | 0x2000);   // has-bundle
        if (FSSetFinderInfo(ref, info) != noErr)
            QSKIP("this file system keeps no user extended attributes");
        QCOMPARE(kinds(ref), Container | BundleByFlags | Bundle);
    }

    // Gone, or replaced by another object under the same name: nothing is claimed.
    void staleReferences()
    {
        for (const char* name : {"gone.app", "replaced.app"}) {
            makeFolder(path(m_dir), name);
            const FSRef ref = refTo(at(name));
            // The newcomer is made first, so it cannot reuse the folder's inode.
            writeFile(at("newcomer"), {});
            QCOMPARE(::rmdir(at(name).constData()), 0);
            if (QByteArray(name) == "replaced.app")
                QCOMPARE(::rename(at("newcomer").constData(), at(name).constData()), 0);
            QCOMPARE(kinds(ref), int(Visible));
        }
        QCOMPARE(kinds(FSRef()), int(Visible));
    }

    void textOrder_data()
    {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("numbers by value, case ignored")
            << QStringList{"file 10", "File 2", "file 1"} << QStringList{"file 1", "File 2", "file 10"};
        QTest::newRow("equal names keep their order")
            << QStringList{"b", "ABC", "abc", "Abc", "a"} << QStringList{"a", "ABC", "abc", "Abc", "b"};
        QTest::newRow("width ignored, order kept")
            << QStringList{QString::fromUtf8("\uFF46\uFF49\uFF4C\uFF45"), "file", "a"}
            << QStringList{"a", QString::fromUtf8("\uFF46\uFF49\uFF4C\uFF45"), "file"};
        // Strings that agree on their first 1024 units still sort by what follows.
        const QString head(1100, u'x');
        QTest::newRow("past 1024 units") << QStringList{head + "2", head + "1"} << QStringList{head + "1", head + "2"};
    }

    void textOrder()
    {
        QFETCH(QStringList, input);
        QFETCH(QStringList, sorted);
        QVariantList list = strings(input);
        SortArrayOnKey(list);
        QCOMPARE(list, strings(sorted));
        // The same values in maps, under a key.
        QVariantList maps;
        for (const QString& s : input)
            maps.append(QVariantMap{{"name", s}});
        SortArrayOnKey(maps, QStringLiteral("name"));
        for (qsizetype i = 0; i < maps.size(); ++i)
            QCOMPARE(maps[i].toMap().value("name").toString(), sorted[i]);
        QVERIFY(MyCompareByKey(input.value(0), input.value(0).toUpper(), {}) == 0);
    }

    void missingValuesCompareEqual_data()
    {
        QTest::addColumn<QVariant>("a");
        QTest::addColumn<QVariant>("b");
        QTest::newRow("both lack the key") << QVariant(QVariantMap{{"other", "a"}}) << QVariant(QVariantMap{});
        QTest::newRow("one lacks the key") << QVariant(QVariantMap{{"name", "a"}}) << QVariant(QVariantMap{{"x", "b"}});
        QTest::newRow("not a string") << QVariant(QVariantMap{{"name", 3}}) << QVariant(QVariantMap{{"name", "b"}});
        QTest::newRow("not a map") << QVariant(QStringLiteral("a")) << QVariant(QVariantMap{{"name", "b"}});
        QTest::newRow("null") << QVariant() << QVariant(QVariantMap{{"name", "b"}});
    }

    void missingValuesCompareEqual()
    {
        QFETCH(QVariant, a);
        QFETCH(QVariant, b);
        QCOMPARE(MyCompareByKey(a, b, QStringLiteral("name")), 0);
        QCOMPARE(MyCompareByKey(b, a, QStringLiteral("name")), 0);
        QVariantList list{b, a, QVariantMap{{"name", "c"}}, QVariantMap{{"name", "a"}}};
        const QVariantList before = list;
        SortArrayOnKey(list, QStringLiteral("name"));
        QCOMPARE(list.size(), before.size());   // nothing lost or duplicated
        for (const QVariant& v : before)
            QVERIFY(list.contains(v));
    }

    // Dates as the user's locale writes them with short date and short time.
    void dateOrder()
    {
        UErrorCode localeStatus = U_ZERO_ERROR;
        uloc_setDefault("en_US", &localeStatus);
        UErrorCode status = U_ZERO_ERROR;
        UDateFormat* format = udat_open(UDAT_SHORT, UDAT_SHORT, nullptr, nullptr, 0, nullptr, 0, &status);
        QVERIFY(U_SUCCESS(status));
        auto text = [format](double minutes) {
            UChar buffer[128];
            UErrorCode s = U_ZERO_ERROR;
            const int32_t n = udat_format(format, 1.2e12 + minutes * 60000.0, buffer, 128, nullptr, &s);
            return QString(reinterpret_cast<const QChar*>(buffer), n);
        };
        // Minutes chosen so that text order differs from date order (days, months, hours).
        const QStringList dates{text(60 * 24 * 40), text(5), text(60 * 13), text(60 * 24 * 400), text(0)};
        udat_close(format);
        QVariantList list = strings(dates);
        SortArrayNumericallyAsDateOnKey(list);
        QCOMPARE(list, strings({dates[4], dates[1], dates[2], dates[0], dates[3]}));
        QVERIFY(MyNumericallyAsDateCompareByKey(dates[1], dates[0], {}) < 0);
        QVERIFY(MyNumericallyAsDateCompareByKey(dates[0], dates[1], {}) > 0);
        // Unparsable text, or a date with something after it, compares equal to anything.
        QCOMPARE(MyNumericallyAsDateCompareByKey(QStringLiteral("yesterday"), dates[0], {}), 0);
        QCOMPARE(MyNumericallyAsDateCompareByKey(dates[0] + " x", dates[1], {}), 0);
        QVariantList maps{QVariantMap{{"d", dates[3]}}, QVariantMap{{"d", dates[4]}}};
        SortArrayNumericallyAsDateOnKey(maps, QStringLiteral("d"));
        QCOMPARE(maps[0].toMap().value("d").toString(), dates[4]);

        // Typed by hand: an ordinary blank before AM/PM, where ICU writes a narrow no-break
        // space; both no-break spaces and the blank are read alike.
        QVariantList typed = strings({QStringLiteral("1/12/08, 9:20 PM"), QStringLiteral("1/12/08, 9:05\u202FAM"),
                                     QStringLiteral("1/3/08, 11:00\u00A0PM")});
        SortArrayNumericallyAsDateOnKey(typed);
        QCOMPARE(typed, strings({QStringLiteral("1/3/08, 11:00\u00A0PM"), QStringLiteral("1/12/08, 9:05\u202FAM"),
                                 QStringLiteral("1/12/08, 9:20 PM")}));
        QVERIFY(MyNumericallyAsDateCompareByKey(QStringLiteral("1/12/08, 9:20 PM"), QStringLiteral("1/12/08, 9:21 PM"), {}) < 0);
    }
};

QTEST_GUILESS_MAIN(TestFilePredicates)
#include "tst_filepredicates.moc"
