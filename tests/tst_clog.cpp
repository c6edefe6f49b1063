// The diagnostic log in the program's state folder: framing lines, entries, appending across
// runs, and the folder rules. XDG_STATE_HOME and HOME point at temporary folders per case.

#include "support/CLog.h"

#include "TestFolders.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QRegularExpression kStartLine(QStringLiteral(
    "^\\[Logging starting at \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\\]\r$"));
const QRegularExpression kStopLine(QStringLiteral(
    "^\\[Logging stopping at \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\\]\r$"));

int mode(const QByteArray& path)
{
    struct stat info;
    return stat(path.constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// The log's lines, each with its carriage return.
QList<QByteArray> lines(const QByteArray& contents)
{
    QList<QByteArray> result;
    qsizetype start = 0;
    for (qsizetype end; (end = contents.indexOf('\r', start)) >= 0; start = end + 1)
        result.append(contents.mid(start, end + 1 - start));
    if (start < contents.size())
        result.append(contents.mid(start));
    return result;
}

} // namespace

class TestCLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_base = TestFolders::temporaryFolder();
        qputenv("HOME", m_base + "/home");
        qputenv("XDG_STATE_HOME", m_base + "/state");
        m_folder = m_base + "/state/Ordinello";
        m_log = m_folder + "/Ordinello.log";
    }

    void cleanup() { StopLogging(); }

    void nothingHappensBeforeStarting()
    {
        LogEntry("abc");
        StopLogging();
        QVERIFY(!gLogger);
        // Showing the log never creates the folder.
        QCOMPARE(OpenConsole(), fnfErr);
        QVERIFY(!QFile::exists(QFile::decodeName(m_folder)));
    }

    void framedRunsAppend()
    {
        StartLogging();
        QVERIFY(gLogger);
        QCOMPARE(mode(m_folder), 0700);
        QCOMPARE(mode(m_log), 0600);
        const QByteArray started = TestFolders::readFile(m_log);
        QVERIFY2(kStartLine.match(QString::fromUtf8(started)).hasMatch(), started.constData());
        LogEntry("abc");
        QCOMPARE(TestFolders::readFile(m_log), started + "abc\r");
        StopLogging();
        QVERIFY(!gLogger);
        const QByteArray firstRun = TestFolders::readFile(m_log);

        StartLogging();
        LogEntry("second");
        StopLogging();
        const QByteArray both = TestFolders::readFile(m_log);
        QVERIFY(both.startsWith(firstRun));
        const QList<QByteArray> all = lines(both);
        QCOMPARE(all.size(), 6);
        for (int i : {0, 3})
            QVERIFY(kStartLine.match(QString::fromUtf8(all[i])).hasMatch());
        for (int i : {2, 5})
            QVERIFY(kStopLine.match(QString::fromUtf8(all[i])).hasMatch());
        QCOMPARE(all[4], QByteArray("second\r"));
    }

    void entriesWrittenAtTheEndAfterOtherWriters()
    {
        StartLogging();
        QFile other(QFile::decodeName(m_log));
        QVERIFY(other.open(QIODevice::Append));
        other.write("other\r");
        other.close();
        LogEntry("mine");
        QVERIFY(TestFolders::readFile(m_log).endsWith("other\rmine\r"));
    }

    void longEntries_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("254 bytes fit") << QByteArray(254, 'a') << QByteArray(254, 'a') + '\r';
        QTest::newRow("300 bytes cut, line end kept") << QByteArray(300, 'b') << QByteArray(254, 'b') + '\r';
        QTest::newRow("cut before a split character")
            << QByteArray(253, 'c') + "\xC3\xA9" << QByteArray(253, 'c') + '\r';
        QTest::newRow("empty") << QByteArray() << QByteArray("\r");
        QTest::newRow("cut before a split four-byte character")
            << QByteArray(252, 'c') + "\xF0\x9F\x8C\x8A" << QByteArray(252, 'c') + '\r';
        QTest::newRow("not UTF-8: cut at the limit") << QByteArray(300, '\xB0') << QByteArray(254, '\xB0') + '\r';
    }

    void longEntries()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QByteArray, written);
        StartLogging();
        const qsizetype before = TestFolders::readFile(m_log).size();
        LogEntry(entry.constData());
        QCOMPARE(TestFolders::readFile(m_log).mid(before), written);
    }

    // A FIFO in the log's place is refused at once, never waited on (the alarm ends a hang).
    void fifoIsNotALog()
    {
        QCOMPARE(::mkdir((m_base + "/state").constData(), 0700), 0);
        QCOMPARE(::mkdir(m_folder.constData(), 0700), 0);
        QCOMPARE(::mkfifo(m_log.constData(), 0600), 0);
        ::alarm(10);
        StartLogging();
        LogEntry("lost");
        ::alarm(0);
        QVERIFY(gLogger && !gLogger->isOpen());
    }

    void stateFolder_data()
    {
        QTest::addColumn<QByteArray>("stateHome");
        QTest::addColumn<QByteArray>("folder"); // below the temporary base
        QTest::newRow("XDG_STATE_HOME") << QByteArray("<base>/state") << QByteArray("/state/Ordinello");
        QTest::newRow("relative is ignored") << QByteArray("state") << QByteArray("/home/.local/state/Ordinello");
        QTest::newRow("unset") << QByteArray() << QByteArray("/home/.local/state/Ordinello");
    }

    void stateFolder()
    {
        QFETCH(QByteArray, stateHome);
        QFETCH(QByteArray, folder);
        qputenv("XDG_STATE_HOME", QByteArray(stateHome).replace("<base>", m_base));
        StartLogging();
        QVERIFY(gLogger && gLogger->isOpen());
        QCOMPARE(mode(m_base + folder), 0700);
        QVERIFY(QFile::exists(QFile::decodeName(m_base + folder + "/Ordinello.log")));
    }

    void openConsoleShowsTheLog()
    {
        StartLogging();
        StopLogging();
        const QByteArray out = m_base + "/opened";
        qputenv("ORDINELLO_RECORDER_OUT", out);
        QCOMPARE(OpenConsole(), noErr);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFile::decodeName(out)), 15000);
        QVERIFY(TestFolders::readFile(out).contains("Ordinello.log"));
    }

private:
    QByteArray m_base, m_folder, m_log;
};

QTEST_GUILESS_MAIN(TestCLog)
#include "tst_clog.moc"
