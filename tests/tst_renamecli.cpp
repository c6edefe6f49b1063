// ordinello-cli, run as a script runs it: rename, strip and undo with their options,
// preferences, wanted order, output lines, failures and exit status; list's output.

#include "TestFolders.h"
#include "renaming/RenameJournal.h"

#include <QDataStream>
#include <QSettings>
#include <QTest>

#include <climits>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

namespace {

// The smallest JPEG a photo reader accepts: start, one Exif segment whose Exif IFD holds
// the given tags (0x9003 DateTimeOriginal, 0x9004 DateTimeDigitized) as ASCII, end.
QByteArray jpegTaken(const QList<QPair<quint16, QByteArray>>& dates)
{
    QByteArray tiff;
    QDataStream out(&tiff, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 texts = 26 + 2 + 12 * quint32(dates.size()) + 4;   // after the Exif IFD
    out << quint16(0x4949) << quint16(42) << quint32(8)                 // IFD0 at 8: where the Exif IFD is
        << quint16(1) << quint16(0x8769) << quint16(4) << quint32(1) << quint32(26) << quint32(0)
        << quint16(dates.size());
    for (qsizetype i = 0; i < dates.size(); ++i)
        out << dates[i].first << quint16(2) << quint32(20) << quint32(texts + 20 * quint32(i));
    out << quint32(0);
    for (const auto& date : dates)
        out.writeRawData(date.second.constData(), 20);   // 19 characters and their NUL
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(app1.size()) + 2;
    return QByteArray("\xff\xd8\xff\xe1", 4) + char(length >> 8) + char(length & 0xff) + app1 + QByteArray("\xff\xd9", 2);
}

} // namespace

class TestRenameCli : public QObject
{
    Q_OBJECT

    QByteArray m_configFile;

    // The settings file the program reads (it runs without Qt's test mode).
    void store(const QVariantMap& values)
    {
        QSettings settings(QString::fromUtf8(m_configFile), QSettings::IniFormat);
        settings.clear();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateUserFolders();
        m_configFile = qgetenv("XDG_CONFIG_HOME") + "/Ordinello/Ordinello.conf";
    }

    void init() { store({}); }

    void numbering_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<Names>("renamed");
        QTest::newRow("defaults") << QVariantMap{} << QStringList{} << Names{"1 a", "2 b", "3 c"};
        QTest::newRow("preferences")
            << QVariantMap{{"InitialNumber", 5}, {"AutomaticNumberLength", false}, {"NumberLength", 3}}
            << QStringList{} << Names{"005 a", "006 b", "007 c"};
        QTest::newRow("options override them")
            << QVariantMap{{"InitialNumber", 5}, {"IncrementBy", 7}}
            << QStringList{"--first", "10", "--step", "-2", "--width", "2"} << Names{"06 c", "08 b", "10 a"};
        QTest::newRow("= forms, automatic width")
            << QVariantMap{{"AutomaticNumberLength", false}} << QStringList{"--first=-1", "--step=-1", "--auto-width"}
            << Names{"-1 a", "-2 b", "-3 c"};
        QTest::newRow("automatic width: the count's digits, not the numbers'")
            << QVariantMap{{"InitialNumber", 98}} << QStringList{} << Names{"100 c", "98 a", "99 b"};
        QTest::newRow("width 0, smallest number")
            << QVariantMap{} << QStringList{"--width", "0", "--first", "-2147483648"}
            << Names{"-2147483646 c", "-2147483647 b", "-2147483648 a"};
    }

    void numbering()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QStringList, options);
        QFETCH(Names, renamed);
        store(stored);
        const QByteArray d = folderWith({"a", "b", "c"});
        const CliResult result = runCli(QStringList{"rename"} + options + QStringList{QString::fromUtf8(d)});
        QCOMPARE(result.err, "");
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "");
        QCOMPARE(entries(d), renamed);
    }

    // Names are quoted as GNU mv -v quotes them.
    void verboseAndDryRunLines_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("quoted");
        QTest::newRow("plain") << QByteArray("a b.txt") << QByteArray("'a b.txt'");
        QTest::newRow("single quote") << QByteArray("it's") << QByteArray("\"it's\"");
        QTest::newRow("quote and dollar") << QByteArray("it's$x") << QByteArray("'it'\\''s$x'");
        QTest::newRow("not UTF-8") << QByteArray("caf\xe9") << QByteArray("'caf'$'\\351'");
        QTest::newRow("newline") << QByteArray("new\nline") << QByteArray("'new'$'\\n''line'");
        QTest::newRow("starts unprintable") << QByteArray("\x7f" "x") << QByteArray("''$'\\177''x'");
    }

    void verboseAndDryRunLines()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, quoted);
        const QByteArray d = folderWith({"1 " + name});
        const QString folder = QString::fromUtf8(d);
        const QByteArray from = quoted.startsWith('"') ? "\"1 " + quoted.mid(1) : "'1 " + quoted.mid(1);

        CliResult result = runCli({"strip", "--dry-run", folder});
        QCOMPARE(result.out, "would rename " + from + " -> " + quoted + '\n');
        QCOMPARE(entries(d), Names{"1 " + name});
        result = runCli({"strip", "-v", folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "renamed " + from + " -> " + quoted + '\n');
        QCOMPARE(entries(d), Names{name});
    }

    void order_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArrayList>("errors");
        QTest::newRow("lines on standard input") << QStringList{"--order", "-"} << QByteArray("c\na\nb\n") << 0
                                                 << QByteArrayList{};
        QTest::newRow("NUL-separated") << QStringList{"--order=-", "-0"} << QByteArray("c\0a\0b", 5) << 0
                                       << QByteArrayList{};
        QTest::newRow("missing, unknown, repeated")
            << QStringList{"--order", "-"} << QByteArray("c\nx\nc\n") << 2
            << QByteArrayList{"'x': not a listed item", "'c': named more than once", "'a': missing", "'b': missing"};
        QTest::newRow("endless order input") << QStringList{"--order", "/dev/zero"} << QByteArray() << 2
                                             << QByteArrayList{"too long for a list of this folder's items"};
        QTest::newRow("endless NUL-separated input") << QStringList{"--order", "/dev/zero", "-0"} << QByteArray() << 2
                                                     << QByteArrayList{"too long for a list"};
        QTest::newRow("unreadable order file") << QStringList{"--order", "/nonexistent/order"} << QByteArray() << 2
                                               << QByteArrayList{"no such file or folder"};
        // Names the folder lacks in the list's order, items the list leaves out in the window's.
        QTest::newRow("problems told in order")
            << QStringList{"--order", "-"} << QByteArray("zeta\nc\nalpha\n") << 2
            << QByteArrayList{"'zeta': not a listed item of the folder\nordinello-cli: --order: 'alpha'",
                              "'a': missing\nordinello-cli: --order: 'b': missing\n"};
        // Every number must fit in 32 bits: a run whose last number would wrap is refused
        // whole, dry run or not, naming the number it would end at.
        QTest::newRow("past the largest number")
            << QStringList{"--first", "2147483646"} << QByteArray() << 2
            << QByteArrayList{"rename: 3 items numbered from 2147483646 in steps of 1 would end at 2147483648,"};
        QTest::newRow("past the smallest number, dry run")
            << QStringList{"--dry-run", "--first", "-2147483647", "--step", "-1"} << QByteArray() << 2
            << QByteArrayList{" would end at -2147483649,"};
    }

    void order()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QByteArrayList, errors);
        const QByteArray d = folderWith({"a", "b", "c"});
        const CliResult result = runCli(QStringList{"rename"} + options + QStringList{QString::fromUtf8(d)}, input);
        QCOMPARE(result.status, status);
        for (const QByteArray& error : errors)
            QVERIFY2(result.err.contains(error), result.err.constData());
        QCOMPARE(entries(d), status == 0 ? (Names{"1 c", "2 a", "3 b"}) : (Names{"a", "b", "c"}));
    }

    // --order-by: photos by when they were taken (Exif, else the modification time), other
    // items by their modification time, earliest first; equal dates keep the file manager's
    // order; --reverse turns the result round.
    void orderBy_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<Names>("renamed");
        QTest::newRow("taken") << QStringList{"--order-by", "taken"}
                               << Names{"1 d.jpg", "2 b.jpg", "3 a.jpg", "4 e.txt", "5 c.jpg"};
        QTest::newRow("taken, reversed") << QStringList{"--order-by=taken", "--reverse"}
                                         << Names{"1 c.jpg", "2 e.txt", "3 a.jpg", "4 b.jpg", "5 d.jpg"};
        QTest::newRow("modified") << QStringList{"--order-by", "modified"}
                                  << Names{"1 b.jpg", "2 e.txt", "3 a.jpg", "4 c.jpg", "5 d.jpg"};
        QTest::newRow("name, reversed") << QStringList{"--order-by", "name", "--reverse"}
                                        << Names{"1 e.txt", "2 d.jpg", "3 c.jpg", "4 b.jpg", "5 a.jpg"};
    }

    void orderBy()
    {
        QFETCH(QStringList, options);
        QFETCH(Names, renamed);
        const QByteArray d = temporaryFolder();
        // a: taken in 2019; b: no Exif date, modified 2018; c: a JPEG with no Exif at all,
        // modified 2021; d: only digitized, in 2017; e: no photo, modified 2019 like a.
        writeFile(d + "/a.jpg", jpegTaken({{0x9003, "2019:05:01 12:00:00"}, {0x9004, "2016:01:01 00:00:00"}}));
        writeFile(d + "/b.jpg", jpegTaken({}));
        writeFile(d + "/c.jpg", QByteArray("\xff\xd8\xff\xd9", 4));
        writeFile(d + "/d.jpg", jpegTaken({{0x9004, "2017:03:01 08:00:00"}}));
        touch(d, "e.txt");
        const time_t may2019 = QDateTime(QDate(2019, 5, 1), QTime(12, 0)).toSecsSinceEpoch();
        setModificationTime(d + "/a.jpg", may2019 + 400 * 86400);
        setModificationTime(d + "/b.jpg", may2019 - 300 * 86400);
        setModificationTime(d + "/c.jpg", may2019 + 700 * 86400);
        setModificationTime(d + "/d.jpg", may2019 + 800 * 86400);
        setModificationTime(d + "/e.txt", may2019);
        const CliResult dry = runCli(QStringList{"rename", "--dry-run"} + options + QStringList{QString::fromUtf8(d)});
        QCOMPARE(dry.status, 0);
        QCOMPARE(dry.out.count("would rename"), 5);
        QVERIFY2(dry.out.startsWith("would rename '" + renamed.first().mid(2) + "' -> '" + renamed.first() + "'"),
                 dry.out.constData());
        const CliResult result = runCli(QStringList{"rename"} + options + QStringList{QString::fromUtf8(d)});
        QCOMPARE(result.status, 0);
        QCOMPARE(entries(d), renamed);
    }

    // "b" comes first and wants "1 b", which the run itself frees: both are renamed. A name
    // held by an item outside the run (hidden by .hidden) is never taken: that item alone
    // fails, named with its reason, status 1.
    void failedItemsAreNamed()
    {
        const QByteArray d = folderWith({"b", "1 b", "c"});
        CliResult result = runCli({"rename", "--order", "-", QString::fromUtf8(d)}, "b\n1 b\nc\n");
        QCOMPARE(result.err, "");
        QCOMPARE(result.status, 0);
        QCOMPARE(entries(d), (Names{"1 b", "2 1 b", "3 c"}));

        const QByteArray h = folderWith({"a", "x", "2 x"});
        writeFile(h + "/.hidden", "2 x\n");
        result = runCli({"rename", QString::fromUtf8(h)});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err, "ordinello-cli: 'x': an item with that name already exists\n");
        QCOMPARE(entries(h), (Names{".hidden", "1 a", "2 x", "x"}));
    }

    // strip takes off number prefixes only and names, on standard error, each name whose
    // first word is not a number and each link that will point at nothing; status 0.
    // --any-first-word takes off any first word.
    void stripNumbersOnly()
    {
        const QByteArray d = folderWith({"01 a", "Trip to Rome.jpg"});
        QCOMPARE(::symlink("01 a", (d + "/latest").constData()), 0);
        CliResult result = runCli({"strip", QString::fromUtf8(d)});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.err, "ordinello-cli: 'Trip to Rome.jpg': left unchanged: first word is not a number\n"
                             "ordinello-cli: 'latest': points at an item being renamed\n");
        QCOMPARE(entries(d), (Names{"Trip to Rome.jpg", "a", "latest"}));
        result = runCli({"strip", "--any-first-word", QString::fromUtf8(d)});
        QCOMPARE(result.status, 0);
        QCOMPARE(entries(d), (Names{"a", "latest", "to Rome.jpg"}));
    }

    // undo reverts rename, then strip's run before it, with rename's lines and statuses;
    // with nothing left to undo it says so (status 2).
    void undo()
    {
        const QByteArray d = folderWith({"1 a", "b"});
        const QString folder = QString::fromUtf8(d);
        QCOMPARE(runCli({"strip", folder}).status, 0);
        QCOMPARE(runCli({"rename", folder}).status, 0);
        QCOMPARE(entries(d), (Names{"1 a", "2 b"}));

        CliResult result = runCli({"undo", "--dry-run", folder});
        QCOMPARE(result.out, "would rename '2 b' -> 'b'\nwould rename '1 a' -> 'a'\n");
        QCOMPARE(entries(d), (Names{"1 a", "2 b"}));
        result = runCli({"undo", "-v", folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "renamed '2 b' -> 'b'\nrenamed '1 a' -> 'a'\n");
        QCOMPARE(result.err, "");   // no progress line: standard error is not a terminal

        touch(d, "1 a");            // strip's undo meets a taken name: named, status 1
        result = runCli({"undo", folder});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.startsWith("ordinello-cli: 'a': "), result.err.constData());
        // What was not reverted stays to undo: with the name free again, it is.
        ::rename((d + "/1 a").constData(), (d + "/kept").constData());
        result = runCli({"undo", folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(entries(d), (Names{"1 a", "b", "kept"}));
        result = runCli({"undo", folder});
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, "ordinello-cli: " + d + ": no renaming to undo\n");

        // A run that renamed nothing leaves nothing to undo.
        const QByteArray t = folderWith({QByteArray(NAME_MAX - 1, 'x')});
        QCOMPARE(runCli({"rename", QString::fromUtf8(t)}).status, 1);
        QCOMPARE(runCli({"undo", QString::fromUtf8(t)}).status, 2);
    }

    // Listing and dry runs only read. A folder full of what looks like a rename cut short
    // (a file with a placeholder's content, an object under two names carrying an old
    // mark, an empty folder marked as a placeholder) comes out of them byte for byte as it
    // went in, contents and marks included.
    void listingsAndDryRunsChangeNothing()
    {
        const QByteArray d = temporaryFolder();
        writeFile(d + "/1 notes.txt", "\x7FOrdinello rename placeholder\nnotes.txt\n");
        writeFile(d + "/notes.txt", "\x7FOrdinello rename placeholder\nx\n");
        writeFile(d + "/photo.jpg", "jpeg");
        QCOMPARE(::link((d + "/photo.jpg").constData(), (d + "/1 photo.jpg").constData()), 0);
        ::setxattr((d + "/photo.jpg").constData(), "user.org.ordinello.renaming", "1 photo.jpg", 11, 0);
        makeFolder(d, "1 Chapter");
        ::setxattr((d + "/1 Chapter").constData(), "user.org.ordinello.placeholder", "Chapter", 7, 0);
        makeFolder(d, "Chapter");
        QCOMPARE(::symlink("photo.jpg", (d + "/link").constData()), 0);
        QCOMPARE(::link((d + "/link").constData(), (d + "/1 link").constData()), 0);
        auto snapshot = [&] {
            QList<QByteArray> state;
            for (const QByteArray& name : entries(d))
                state << name + '=' + readFile(d + '/' + name) + '|' + attribute(d + '/' + name, "user.org.ordinello.renaming")
                             + attribute(d + '/' + name, "user.org.ordinello.placeholder");
            return state;
        };
        touch(d, "2 extra.txt");
        const QList<QByteArray> before = snapshot();
        const QString folder = QString::fromUtf8(d);
        for (const char* command : {"list", "rename --dry-run", "strip --dry-run"}) {
            runCli(QString::fromLatin1(command).split(u' ') + QStringList{folder});
            QVERIFY2(snapshot() == before, command);
        }
        // A real run and its undo (which read the journal) leave the look-alikes too.
        QCOMPARE(runCli({"strip", folder}).status, 1);   // only "2 extra.txt" can lose its prefix
        const QList<QByteArray> stripped = snapshot();
        QVERIFY(stripped.contains("extra.txt=|"));
        runCli({"undo", "--dry-run", folder});
        QCOMPARE(snapshot(), stripped);
        QCOMPARE(runCli({"undo", folder}).status, 0);
        QCOMPARE(snapshot(), before);
    }

    // One run at a time changes a folder: while another holds it, a run waits briefly,
    // then refuses (status 2) and renames nothing.
    void secondRunIsRefused()
    {
        if (qEnvironmentVariableIsSet("LD_PRELOAD"))
            QSKIP("the run lock does not depend on how names are changed: checked without the preload");
        const QByteArray d = folderWith({"a", "b"});
        QString problem;
        const std::unique_ptr<FolderRunLock> lock = FolderRunLock::acquire(refTo(d), &problem);
        QVERIFY2(lock, qPrintable(problem));
        for (const char* command : {"rename", "undo"}) {
            const CliResult result = runCli({command, QString::fromUtf8(d)});
            QCOMPARE(result.status, 2);
            QCOMPARE(result.err, "ordinello-cli: " + d + ": another run is changing this folder\n");
        }
        QCOMPARE(runCli({"rename", "--dry-run", QString::fromUtf8(d)}).status, 0);
        QCOMPARE(entries(d), (Names{"a", "b"}));
    }

    // list prints the names as bytes in the window's order, one a line or NUL-ended; after
    // "--" an operand that looks like an option is a folder's name. A ".hidden" that is a
    // FIFO is not a list of names: it is never waited on, and hides nothing.
    void list()
    {
        const QByteArray d = folderWith({"file10", "file9", "bad\xFF", ".dot"});
        QCOMPARE(::mkfifo((d + "/.hidden").constData(), 0600), 0);
        QCOMPARE(runCli({"list", QString::fromLocal8Bit(d)}).out, "bad\xFF\nfile9\nfile10\n");
        QCOMPARE(runCli({"list", "-0", QString::fromLocal8Bit(d)}).out, QByteArray("bad\xFF\0file9\0file10\0", 18));
        makeFolder(d, "--help");
        touch(d + "/--help", "inside");
        const CliResult result = runCli({"list", "--", "--help"}, {}, QString::fromLocal8Bit(d));
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "inside\n");
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no folder") << QStringList{"rename"} << "expected one FOLDER";
        QTest::newRow("list, no folder") << QStringList{"list"} << "expected one FOLDER";
        QTest::newRow("unknown option") << QStringList{"rename", "--fast", "DIR"} << "unknown option --fast";
        QTest::newRow("unknown command") << QStringList{"sort", "DIR"} << "unknown command sort";
        QTest::newRow("not a number") << QStringList{"rename", "--first", "1e3", "DIR"} << "1e3";
        QTest::newRow("beyond 32 bits") << QStringList{"rename", "--step", "2147483648", "DIR"} << "2147483648";
        QTest::newRow("both widths") << QStringList{"rename", "--width", "3", "--auto-width", "DIR"} << "--auto-width";
        QTest::newRow("numbering option to strip") << QStringList{"strip", "--first", "2", "DIR"} << "--first";
        QTest::newRow("folder missing") << QStringList{"strip", "DIR/none"} << "DIR/none: no such file or folder";
        QTest::newRow("list, a file") << QStringList{"list", "DIR/a"} << "DIR/a: not a folder";
        QTest::newRow("undo, numbering option") << QStringList{"undo", "--step", "2", "DIR"} << "--step";
        QTest::newRow("undo, two folders") << QStringList{"undo", "DIR", "DIR"} << "expected one FOLDER";
        QTest::newRow("unknown order key") << QStringList{"rename", "--order-by", "size", "DIR"} << "size";
        QTest::newRow("order file and key") << QStringList{"rename", "--order=-", "--order-by", "taken", "DIR"} << "--order";
        QTest::newRow("order file reversed") << QStringList{"rename", "--reverse", "--order", "-", "DIR"} << "--reverse";
        QTest::newRow("order key to strip") << QStringList{"strip", "--order-by", "name", "DIR"} << "--order-by";
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QByteArray d = folderWith({"a"});
        args.replaceInStrings(QStringLiteral("DIR"), QString::fromUtf8(d));
        const CliResult result = runCli(args);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.out, "");
        QVERIFY2(result.err.startsWith("ordinello-cli: ")
                     && result.err.contains(message.replace(QStringLiteral("DIR"), QString::fromUtf8(d)).toUtf8()),
                 result.err.constData());
        QCOMPARE(entries(d), Names{"a"});
    }
};

QTEST_GUILESS_MAIN(TestRenameCli)
#include "tst_renamecli.moc"
