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

// A framing line: "[Logging starting at 2024-01-05 12:00:00 +0100]" and its carriage return.
QString framing(const char* what)
{
    return QStringLiteral("\\[Logging %1 at \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\\]\r")
        .arg(QLatin1String(what));
}

int mode(const QByteArray& path)
{
    struct stat info;
    return stat(path.constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
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

    // Each run is framed by a starting and a stopping line; a second run appends.
    void framedRunsAppend()
    {
        StartLogging();
        QVERIFY(gLogger);
        QCOMPARE(mode(m_folder), 0700);
        QCOMPARE(mode(m_log), 0600);
        LogEntry("abc");
        StopLogging();
        QVERIFY(!gLogger);
        StartLogging();
        LogEntry("second");
        StopLogging();
        const QString run = framing("starting") + "%1\r" + framing("stopping");
        const QByteArray log = TestFolders::readFile(m_log);
        QVERIFY2(QRegularExpression('^' + run.arg("abc") + run.arg("second") + '$').match(QString::fromUtf8(log)).hasMatch(),
                 log.constData());
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
