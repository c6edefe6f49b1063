// ordinello-cli rename and strip, run as a script runs them: options, preferences, the
// wanted order, output lines, failures and exit status.

#include "TestFolders.h"
#include "renaming/RenameJournal.h"

#include <QProcess>
#include <QSettings>
#include <QTest>

#include <climits>
#include <sys/xattr.h>
#include <unistd.h>

using namespace TestFolders;
using Names = QList<QByteArray>;

class TestRenameCli : public QObject
{
    Q_OBJECT

    struct Result {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };

    QByteArray m_configFile;

    static Result run(const QStringList& args, const QByteArray& input = {})
    {
        QProcess process;
        process.start(qEnvironmentVariable("ORDINELLO_BIN_DIR") + QStringLiteral("/ordinello-cli"), args);
        if (!process.waitForStarted())
            return {};
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    static QByteArray folderWith(const QTemporaryDir& dir, const Names& names)
    {
        for (const QByteArray& name : names)
            touch(path(dir), name);
        return path(dir);
    }

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
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"a", "b", "c"});
        const Result result = run(QStringList{"rename"} + options + QStringList{QString::fromUtf8(d)});
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
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"1 " + name});
        const QString folder = QString::fromUtf8(d);
        const QByteArray from = quoted.startsWith('"') ? "\"1 " + quoted.mid(1) : "'1 " + quoted.mid(1);

        Result result = run({"strip", "--dry-run", folder});
        QCOMPARE(result.out, "would rename " + from + " -> " + quoted + '\n');
        QCOMPARE(entries(d), Names{"1 " + name});
        result = run({"strip", "-v", folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "renamed " + from + " -> " + quoted + '\n');
        QCOMPARE(entries(d), Names{name});
        ::unlink((d + '/' + name).constData());   // QTemporaryDir cannot remove non-UTF-8 names
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
    }

    void order()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QByteArrayList, errors);
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"a", "b", "c"});
        const Result result = run(QStringList{"rename"} + options + QStringList{QString::fromUtf8(d)}, input);
        QCOMPARE(result.status, status);
        for (const QByteArray& error : errors)
            QVERIFY2(result.err.contains(error), result.err.constData());
        QCOMPARE(entries(d), status == 0 ? (Names{"1 c", "2 a", "3 b"}) : (Names{"a", "b", "c"}));
    }

    // Names the folder lacks are told in the order the file gives them; the folder's items
    // the file leaves out in the order the window lists them, whatever order the folder
    // keeps them in on disk.
    void orderProblemsAreToldInOrder()
    {
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"file10", "h", "B", "file9", "a", "g", "c", "e", "d", "f"});
        const Result result = run({"rename", "--order", "-", QString::fromUtf8(d)},
                                  "zeta\nc\nalpha\nd\ne\nf\ng\nh\nmid\n");
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, "ordinello-cli: --order: 'zeta': not a listed item of the folder\n"
                             "ordinello-cli: --order: 'alpha': not a listed item of the folder\n"
                             "ordinello-cli: --order: 'mid': not a listed item of the folder\n"
                             "ordinello-cli: --order: 'a': missing\n"
                             "ordinello-cli: --order: 'B': missing\n"
                             "ordinello-cli: --order: 'file9': missing\n"
                             "ordinello-cli: --order: 'file10': missing\n");
    }

    // Every number must fit in 32 bits: a run whose last number would leave the range
    // (and wrap to the other end) is refused whole, dry run or not, naming the numbers.
    void numbersBeyond32BitsAreRefused_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("last");
        QTest::newRow("past the largest") << QStringList{"--first", "2147483647"} << 2 << QByteArray("2147483648");
        QTest::newRow("past the smallest, dry run")
            << QStringList{"--dry-run", "--first", "-2147483648", "--step", "-1"} << 2 << QByteArray("-2147483649");
        QTest::newRow("a large step") << QStringList{"--step", "2147483647"} << 2 << QByteArray("2147483648");
        QTest::newRow("ends on the largest") << QStringList{"--first", "2147483646"} << 0 << QByteArray();
    }

    void numbersBeyond32BitsAreRefused()
    {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QByteArray, last);
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"a", "b"});
        const Result result = run(QStringList{"rename"} + options + QStringList{QString::fromUtf8(d)});
        QCOMPARE(result.status, status);
        if (status == 0) {
            QCOMPARE(entries(d), (Names{"2147483646 a", "2147483647 b"}));
            return;
        }
        QVERIFY2(result.err.startsWith("ordinello-cli: rename: ") && result.err.contains(" " + last + ","),
                 result.err.constData());
        QCOMPARE(entries(d), (Names{"a", "b"}));
    }

    // "b" comes first and wants "1 b", which is taken: named with its reason, status 1,
    // the rest renamed.
    void failedItemsAreNamed()
    {
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"b", "1 b", "c"});
        const Result result = run({"rename", "--order", "-", QString::fromUtf8(d)}, "b\n1 b\nc\n");
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err, "ordinello-cli: 'b': an item with that name already exists\n");
        QCOMPARE(entries(d), (Names{"2 1 b", "3 c", "b"}));
    }

    // undo reverts rename, then strip's run before it, with rename's lines and statuses;
    // with nothing left to undo it says so (status 2).
    void undo()
    {
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"1 a", "b"});
        const QString folder = QString::fromUtf8(d);
        QCOMPARE(run({"strip", folder}).status, 0);
        QCOMPARE(run({"rename", folder}).status, 0);
        QCOMPARE(entries(d), (Names{"1 a", "2 b"}));

        Result result = run({"undo", "--dry-run", folder});
        QCOMPARE(result.out, "would rename '2 b' -> 'b'\nwould rename '1 a' -> 'a'\n");
        QCOMPARE(entries(d), (Names{"1 a", "2 b"}));
        result = run({"undo", "-v", folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "renamed '2 b' -> 'b'\nrenamed '1 a' -> 'a'\n");
        QCOMPARE(result.err, "");   // no progress line: standard error is not a terminal

        touch(d, "1 a");            // strip's undo meets a taken name: named, status 1
        result = run({"undo", folder});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.startsWith("ordinello-cli: 'a': "), result.err.constData());
        // What was not reverted stays to undo: with the name free again, it is.
        ::rename((d + "/1 a").constData(), (d + "/kept").constData());
        result = run({"undo", folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(entries(d), (Names{"1 a", "b", "kept"}));
        result = run({"undo", folder});
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, "ordinello-cli: " + d + ": no renaming to undo\n");

        // A run that renamed nothing leaves nothing to undo.
        QTemporaryDir tooLong;
        const QByteArray t = folderWith(tooLong, {QByteArray(NAME_MAX - 1, 'x')});
        QCOMPARE(run({"rename", QString::fromUtf8(t)}).status, 1);
        QCOMPARE(run({"undo", QString::fromUtf8(t)}).status, 2);
    }

    // Listing and dry runs only read. A folder full of what looks like a rename cut short
    // (a file with a placeholder's content, an object under two names carrying an old
    // mark, an empty folder marked as a placeholder) comes out of them byte for byte as it
    // went in, contents and marks included.
    void listingsAndDryRunsChangeNothing()
    {
        QTemporaryDir dir;
        const QByteArray d = path(dir);
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
            run(QString::fromLatin1(command).split(u' ') + QStringList{folder});
            QVERIFY2(snapshot() == before, command);
        }
        // A real run and its undo (which read the journal) leave the look-alikes too.
        QCOMPARE(run({"strip", folder}).status, 1);   // only "2 extra.txt" can lose its prefix
        const QList<QByteArray> stripped = snapshot();
        QVERIFY(stripped.contains("extra.txt=|"));
        run({"undo", "--dry-run", folder});
        QCOMPARE(snapshot(), stripped);
        QCOMPARE(run({"undo", folder}).status, 0);
        QCOMPARE(snapshot(), before);
    }

    // One run at a time changes a folder: while another holds it, a run waits briefly,
    // then refuses (status 2) and renames nothing.
    void secondRunIsRefused()
    {
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"a", "b"});
        FSRef folder;
        QCOMPARE(FSPathMakeRef(d, &folder), noErr);
        QString problem;
        const std::unique_ptr<FolderRunLock> lock = FolderRunLock::acquire(folder, &problem);
        QVERIFY2(lock, qPrintable(problem));
        for (const char* command : {"rename", "undo"}) {
            const Result result = run({command, QString::fromUtf8(d)});
            QCOMPARE(result.status, 2);
            QCOMPARE(result.err, "ordinello-cli: " + d + ": another run is changing this folder\n");
        }
        QCOMPARE(run({"rename", "--dry-run", QString::fromUtf8(d)}).status, 0);
        QCOMPARE(entries(d), (Names{"a", "b"}));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no folder") << QStringList{"rename"};
        QTest::newRow("unknown option") << QStringList{"rename", "--fast", "FOLDER"};
        QTest::newRow("not a number") << QStringList{"rename", "--first", "1e3", "FOLDER"};
        QTest::newRow("beyond 32 bits") << QStringList{"rename", "--step", "2147483648", "FOLDER"};
        QTest::newRow("both widths") << QStringList{"rename", "--width", "3", "--auto-width", "FOLDER"};
        QTest::newRow("numbering option to strip") << QStringList{"strip", "--first", "2", "FOLDER"};
        QTest::newRow("folder missing") << QStringList{"strip", "FOLDER/none"};
        QTest::newRow("undo, numbering option") << QStringList{"undo", "--step", "2", "FOLDER"};
        QTest::newRow("undo, two folders") << QStringList{"undo", "FOLDER", "FOLDER"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const QByteArray d = folderWith(dir, {"a"});
        args.replaceInStrings(QStringLiteral("FOLDER"), dir.path());
        const Result result = run(args);
        QCOMPARE(result.status, 2);
        QVERIFY(result.err.startsWith("ordinello-cli: "));
        QCOMPARE(entries(d), Names{"a"});
    }
};

QTEST_GUILESS_MAIN(TestRenameCli)
#include "tst_renamecli.moc"
