// The software update against a local HTTP server: the version file, both checks with
// every outcome they report, the download's progress, naming and clean-up, the network
// hardening (time-outs, redirects, size caps, bodies cut short), and the window over it.

#include "HttpTestServer.h"
#include "platform/ProgramSettings.h"
#include "TestFolders.h"
#include "renaming/Preferences.h"
#include "platform/Sound.h"
#include "platform/SystemLog.h"
#include "app/SoftwareUpdateWindow.h"
#include "update/SoftwareUpdateController.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QLocale>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace TestFolders;

Q_DECLARE_METATYPE(HttpTestServer::Response)

namespace {

constexpr char kVersionPath[] = "/ProductVersions.plist";
// The newer version's Debian package, for the architecture dpkg names here.
QByteArray debName(const QByteArray& version = "1.0.5")
{
    QProcess dpkg;
    dpkg.start(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    dpkg.waitForFinished();
    return "ordinello_" + version + '_' + dpkg.readAllStandardOutput().trimmed() + ".deb";
}
const QByteArray kImageName = debName();
const QByteArray kImagePath = "/Utilities/" + kImageName;

QByteArray versionPlist(const QByteArray& currentVersion, const QByteArray& currentVersionString = "<string>1.0.5</string>")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict><key>Other</key><string>x</string><key>Ordinello</key><dict>"
           "<key>CurrentVersion</key>" + currentVersion
         + (currentVersionString.isEmpty() ? QByteArray() : "<key>CurrentVersionString</key>" + currentVersionString)
         + "</dict></dict></plist>\n";
}

// Arrays nested depth deep under the product key, each in the one before: the shape that
// made a recursive reader run out of stack. Offsets and references take four bytes.
QByteArray nestedBinaryPlist(quint32 depth)
{
    QByteArray objects, offsets, trailer;
    QDataStream out(&objects, QIODevice::WriteOnly), table(&offsets, QIODevice::WriteOnly);
    const auto next = [&] { table << quint32(8 + objects.size()); };   // after "bplist00"
    next();
    out << quint8(0xD1) << quint32(1) << quint32(2);   // the root: key 1, value 2
    next();
    out << quint8(0x59);
    out.writeRawData("Ordinello", 9);
    for (quint32 i = 0; i < depth; ++i) {
        next();
        out << quint8(0xA1) << quint32(3 + i);   // an array holding the next object
    }
    next();
    out << quint8(0x10) << quint8(1);   // the integer 1 at the bottom
    QDataStream(&trailer, QIODevice::WriteOnly) << quint32(0) << quint16(0) << quint8(4) << quint8(4)
                                                << quint64(depth + 3) << quint64(0) << quint64(8 + objects.size());
    return "bplist00" + objects + offsets + trailer;
}

QByteArray nestedXmlPlist(int depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Ordinello</key>"
         + QByteArray("<array>").repeated(depth) + "<integer>1</integer>" + QByteArray("</array>").repeated(depth)
         + "</dict></plist>\n";
}

// A file of the hostile corpus that tests/data/make_versionfiles.py writes.
QByteArray corpusFile(const char* name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("data/versionfiles/") + QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char kImageSha256[] = "<key>CurrentVersionSHA256</key><string>";

HttpTestServer::Response ok(const QByteArray& body) { return {.body = body}; }
HttpTestServer::Response notFound() { return {.status = 404, .reason = "Not Found"}; }

} // namespace

class TestSoftwareUpdate : public QObject
{
    Q_OBJECT

    std::unique_ptr<HttpTestServer> m_server;
    std::unique_ptr<SoftwareUpdateController> m_controller;
    std::unique_ptr<SoftwareUpdateWindow> m_window;
    QByteArray m_recorder;
    QStringList m_log;   // the system log's lines
    int m_beeps = 0;
    struct Alert {
        QString text, informative;
        QStringList buttons;
    };
    QList<Alert> m_alerts;
    QString m_desktop;

    SoftwareUpdateController* makeController(std::optional<QString> ourVersion = QStringLiteral("1.0.4"))
    {
        m_window.reset();
        m_controller = std::make_unique<SoftwareUpdateController>();
        m_controller->setOurVersionStringForTesting(ourVersion);
        m_window = std::make_unique<SoftwareUpdateWindow>(m_controller.get());
        m_window->setModalRunnerForTesting([this](QMessageBox& box) {
            QStringList buttons;
            for (QAbstractButton* b : box.buttons())
                buttons.append(b->text());
            m_alerts.append({box.text(), box.informativeText(), buttons});
        });
        m_window->awakeFromNib();
        return m_controller.get();
    }

    // A check that finds version 1.0.5 (newer than 1.0.4), whose package a download fetches.
    void findNewerVersion(const QByteArray& digestEntry = {})
    {
        m_server->setResponse(kVersionPath, ok(versionPlist("<integer>105</integer>", "<string>1.0.5</string>" + digestEntry)));
        checkAndWait();
        QCOMPARE(status(), QStringLiteral("An update is available for Ordinello."));
    }

    QString status() const { return m_controller->statusText(); }

    void checkAndWait()
    {
        QSignalSpy ended(m_controller.get(), &SoftwareUpdateController::versionCheckEnded);
        m_controller->checkVersion();
        QVERIFY(!ended.isEmpty() || ended.wait(5000));
    }

    void downloadAndWait()
    {
        QSignalSpy ended(m_controller.get(), &SoftwareUpdateController::downloadEnded);
        m_controller->clickSoftwareUpdateButton();
        QVERIFY(!ended.isEmpty() || ended.wait(5000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateUserFolders();
        m_recorder = installRecorderApplication({"application/vnd.debian.binary-package"});
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        SetBeepHandlerForTesting([this] { ++m_beeps; });
        SetSystemLogHandlerForTesting([this](const QString& line) { m_log.append(line); });
        m_desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QVERIFY2(m_desktop.startsWith(qEnvironmentVariable("HOME")), "the Desktop must be the test's own");
    }

    void cleanupTestCase()
    {
        SetBeepHandlerForTesting({});
        SetSystemLogHandlerForTesting({});
    }

    void init()
    {
        m_server = std::make_unique<HttpTestServer>();
        QVERIFY(m_server->listen());
        qputenv("ORDINELLO_SITE_URL", m_server->baseUrl().toUtf8());
        ProgramSettings().clear();
        QDir(m_desktop).removeRecursively();
        m_log.clear();
        m_alerts.clear();
        m_beeps = 0;
    }

    void cleanup()
    {
        m_window.reset();
        m_controller.reset();
        m_server.reset();
    }

    void versionNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("1.0.4") << "1.0.4" << 104;
        QTest::newRow("1.1") << "1.1" << 11;
        QTest::newRow("beta suffix") << "1.0.4b2" << 104;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("missing") << QString() << 0;
        QTest::newRow("no digits") << "beta" << 0;
        QTest::newRow("blank and sign") << " -1.2" << -12;
        QTest::newRow("saturates") << "2024.12.31.123" << std::numeric_limits<int>::max();
    }
    void versionNumber()
    {
        QFETCH(QString, text);
        QTEST(SoftwareUpdateController::getVersionNumber(text), "number");
    }

    // The version file's rules: a null string means unreadable; the number is kept
    // whenever "CurrentVersion" itself is usable.
    void versionFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("string");
        QTest::addColumn<int>("number");   // -1: none read, so still 0
        QTest::newRow("xml") << versionPlist("<integer>105</integer>") << "1.0.5" << 105;
        QTest::newRow("whole real") << versionPlist("<real>105.0</real>") << "1.0.5" << 105;
        QTest::newRow("negative") << versionPlist("<integer>-5</integer>") << "1.0.5" << -5;
        QTest::newRow("no property list") << QByteArray("<html>Moved</html>") << QString() << -1;
        QTest::newRow("no product") << versionPlist("<integer>105</integer>").replace("<key>Ordinello", "<key>Other2")
                                    << QString() << -1;
        QTest::newRow("version is text") << versionPlist("<string>105</string>") << QString() << -1;
        QTest::newRow("real 2.5") << versionPlist("<real>2.5</real>") << QString() << -1;
        QTest::newRow("integer 2.5") << versionPlist("<integer>2.5</integer>") << QString() << -1;
        QTest::newRow("beyond 32 bits") << versionPlist("<integer>4294967401</integer>") << QString() << -1;
        QTest::newRow("beyond 64 bits signed") << versionPlist("<integer>18446744073709551611</integer>") << QString() << -1;
        QTest::newRow("boolean") << versionPlist("<true/>") << QString() << -1;
        QTest::newRow("string missing") << versionPlist("<integer>105</integer>", {}) << QString() << 105;
        QTest::newRow("string not text") << versionPlist("<integer>105</integer>", "<integer>1</integer>") << QString() << 105;
        // A NUL in the string made libplist abort the program; the version is refused instead.
        QTest::newRow("UTF-16 string with NUL") << corpusFile("utf16-nul.bplist") << QString() << -1;
        QTest::newRow("ASCII string with NUL") << corpusFile("ascii-nul.bplist") << QString() << -1;
        QTest::newRow("binary") << corpusFile("good.bplist") << "1.0.5" << 105;
        // Shapes that exhaust a recursive reader's stack or time are refused whole.
        QTest::newRow("binary nested 100000") << nestedBinaryPlist(100'000) << QString() << -1;
        QTest::newRow("xml nested 100000") << nestedXmlPlist(100'000) << QString() << -1;
        QTest::newRow("shared 2^60 times") << corpusFile("doubling-60.bplist") << QString() << -1;
        QTest::newRow("one string 1000 times") << corpusFile("shared-string.bplist") << QString() << -1;
        QTest::newRow("cycle") << corpusFile("cycle.bplist") << QString() << -1;
        QTest::newRow("offset outside") << corpusFile("offset-outside.bplist") << QString() << -1;
        QTest::newRow("reference outside") << corpusFile("ref-outside.bplist") << QString() << -1;
        QTest::newRow("top object outside") << corpusFile("top-outside.bplist") << QString() << -1;
        QTest::newRow("truncated") << corpusFile("truncated.bplist") << QString() << -1;
        // The string as it may be shown: invisible and direction-changing characters left
        // out, cut to 40 characters.
        QTest::newRow("bidi override") << versionPlist("<integer>105</integer>", "<string>1.0.5\u202e\u2066 beta\t\u200f</string>")
                                       << "1.0.5 beta" << 105;
        QTest::newRow("very long") << versionPlist("<integer>105</integer>", "<string>" + QByteArray(5007, '7') + "</string>")
                                   << QString(40, u'7') + u'\u2026' << 105;
        QTest::newRow("digest") << versionPlist("<integer>105</integer>", "<string>1.0.5</string>" + QByteArray(kImageSha256)
                                                + QByteArray(64, 'a') + "</string>")
                                << "1.0.5" << 105;
        QTest::newRow("digest not hex") << versionPlist("<integer>105</integer>", "<string>1.0.5</string>" + QByteArray(kImageSha256)
                                                        + QByteArray(64, 'x') + "</string>")
                                        << QString() << 105;
    }
    void versionFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, string);
        QFETCH(int, number);
        SoftwareUpdateController* c = makeController();
        const QString read = c->getCurrentVersionString(file);
        QCOMPARE(read.isNull(), string.isNull());
        QCOMPARE(read, string);
        QCOMPARE(c->currentVersionNumber(), number == -1 ? 0 : number);
    }

    void checkOnRequest_data()
    {
        QTest::addColumn<QString>("ourVersion");   // "none": no version of our own
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<QString>("expectedStatus");   // a prefix of the status line
        QTest::addColumn<QString>("shownVersion");
        const QByteArray path = "/v2.plist";
        QTest::newRow("up to date") << "1.0.4" << ok(versionPlist("<integer>104</integer>", "<string>1.0.4</string>"))
                                    << "Your software is up to date." << "1.0.4";
        QTest::newRow("newer") << "1.0.4" << ok(versionPlist("<integer>105</integer>"))
                               << "An update is available for Ordinello." << "1.0.5";
        QTest::newRow("1.1 is older than 104") << "1.1" << ok(versionPlist("<integer>104</integer>", "<string>1.0.4</string>"))
                                               << "An update is available for Ordinello." << "1.0.4";
        QTest::newRow("no own version") << "none" << ok(versionPlist("<integer>1</integer>"))
                                        << "An update is available for Ordinello." << "1.0.5";
        QTest::newRow("unreadable") << "1.0.4" << ok(versionPlist("<string>x</string>"))
                                    << "The current version information could not be read." << "";
        QTest::newRow("redirect within the site") << "1.0.4" << HttpTestServer::redirect(path, "moved")
                                                  << "An update is available for Ordinello." << "1.0.5";
        QTest::newRow("not found") << "1.0.4" << notFound()
                                   << "Connection failed with error: The server answered 404 Not Found." << "";
        HttpTestServer::Response elsewhere = HttpTestServer::redirect("http://localhost:1" + path);
        QTest::newRow("redirect to another host") << "1.0.4" << elsewhere
                                                  << "Connection failed with error: The server sent the request on to another site, which is not followed. http://localhost:1/v2.plist" << "";
        HttpTestServer::Response cut = ok(versionPlist("<integer>105</integer>"));
        cut.announcedLength = cut.body.size() + 100;
        QTest::newRow("body cut short") << "1.0.4" << cut << "Connection failed with error: The server sent " << "";
        const HttpTestServer::Response huge{.body = QByteArray((1 << 20) + 1, ' '), .chunked = true};
        QTest::newRow("over 1 MiB") << "1.0.4" << huge
                                    << QStringLiteral("Connection failed with error: The file is larger than the %1 bytes accepted.").arg(QLocale().toString(1048576)) << "";
    }
    void checkOnRequest()
    {
        QFETCH(QString, ourVersion);
        QFETCH(HttpTestServer::Response, response);
        QFETCH(QString, expectedStatus);
        QFETCH(QString, shownVersion);
        m_server->setResponse(kVersionPath, response);
        m_server->setResponse("/v2.plist", ok(versionPlist("<integer>105</integer>")));
        SoftwareUpdateController* c = makeController(ourVersion == QStringLiteral("none") ? std::nullopt : std::optional(ourVersion));
        checkAndWait();
        QVERIFY2(status().startsWith(expectedStatus), qPrintable(status()));
        QCOMPARE(m_window->m_currentVersionField->text(), shownVersion);
        QVERIFY(!c->isCheckInProgress());
        QVERIFY(m_window->m_progressIndicator->isHidden());
        QVERIFY(m_window->m_checkVersionButton->isEnabled());
        // Download is offered only once a newer version is known.
        QCOMPARE(m_window->m_softwareDownloadButton->isEnabled(), expectedStatus == u"An update is available for Ordinello.");
        QVERIFY(m_alerts.isEmpty());
        if (expectedStatus.startsWith(QStringLiteral("Connection failed")))
            QVERIFY2(status().endsWith(QStringLiteral(".plist")), qPrintable(status()));   // the failing address
    }

    // Redirects within the site are followed, however the hops are timed, up to five; a
    // loop is reported as one.
    void redirects_data()
    {
        QTest::addColumn<QList<QByteArray>>("hops");   // each path sends on to the next
        QTest::addColumn<QString>("expectedStatus");
        const QString loop = QStringLiteral("Connection failed with error: The server sent the request round in a loop.");
        QTest::newRow("two hops") << QList<QByteArray>{kVersionPath, "/a.plist", "/v2.plist"}
                                  << "An update is available for Ordinello.";
        QTest::newRow("five hops") << QList<QByteArray>{kVersionPath, "/a", "/b", "/c", "/d", "/v2.plist"}
                                   << "An update is available for Ordinello.";
        QTest::newRow("six hops") << QList<QByteArray>{kVersionPath, "/a", "/b", "/c", "/d", "/e", "/v2.plist"}
                                  << "Connection failed with error: The server sent the request on more than 5 times.";
        QTest::newRow("loop") << QList<QByteArray>{kVersionPath, "/a", kVersionPath} << loop;
        QTest::newRow("to itself") << QList<QByteArray>{kVersionPath, kVersionPath} << loop;
    }
    void redirects()
    {
        QFETCH(QList<QByteArray>, hops);
        QFETCH(QString, expectedStatus);
        for (qsizetype i = 0; i + 1 < hops.size(); ++i) {
            // With a body, as servers send them: a hop's body must never count for the file's.
            HttpTestServer::Response hop = HttpTestServer::redirect(hops[i + 1], QByteArray(300, 'r'));
            m_server->setResponse(hops[i], hop);
        }
        if (hops.last() == "/v2.plist")
            m_server->setResponse("/v2.plist", ok(versionPlist("<integer>105</integer>")));
        makeController();
        for (int run = 0; run < 10; ++run) {
            checkAndWait();
            QVERIFY2(status().startsWith(expectedStatus), qPrintable(status()));
        }
    }

    // A check shows its progress and is not started twice; a server that stops answering,
    // or keeps the data trickling in, ends it in time.
    void checkShowsProgressAndEndsInTime_data()
    {
        QTest::addColumn<bool>("trickle");   // else the server stops after ten bytes
        QTest::addColumn<QString>("reason");
        QTest::newRow("stalled") << false << "The server did not answer within 0.5 seconds.";
        QTest::newRow("trickling") << true << "The server did not send the file within 0.4 seconds.";
    }
    void checkShowsProgressAndEndsInTime()
    {
        QFETCH(bool, trickle);
        QFETCH(QString, reason);
        HttpTestServer::Response slow = ok(versionPlist("<integer>105</integer>"));
        if (trickle)
            slow.trickleMs = 20;
        else
            slow.holdAfter = 10;
        m_server->setResponse(kVersionPath, slow);
        SoftwareUpdateController* c = makeController();
        c->setTimeoutsForTesting(500, 500);
        if (trickle)
            c->setDeadlinesForTesting(400, 400, 1);
        QSignalSpy ended(c, &SoftwareUpdateController::versionCheckEnded);
        c->checkVersion();
        QCOMPARE(status(), QStringLiteral("Checking for a software update..."));
        QVERIFY(c->isCheckInProgress());
        QVERIFY(!m_window->m_progressIndicator->isHidden());
        c->checkVersion();   // ignored while one runs
        QVERIFY(ended.wait(5000));
        QCOMPARE(m_server->requestedPaths().size(), 1);
        QVERIFY2(status().startsWith("Connection failed with error: " + reason + " http://"), qPrintable(status()));
        QVERIFY(m_window->m_progressIndicator->isHidden());
        QVERIFY(m_window->m_checkVersionButton->isEnabled());
    }

    void connectionCannotBeMade()
    {
        SoftwareUpdateController* c = makeController();
        findNewerVersion();
        qputenv("ORDINELLO_SITE_URL", "ftp://example.invalid");
        checkAndWait();
        QCOMPARE(status(), QStringLiteral("Ordinello could not check for a software update at this time."));
        QVERIFY(!c->isCheckInProgress());

        downloadAndWait();
        QCOMPARE(m_beeps, 1);
        QVERIFY(m_log.contains(QStringLiteral("The download could not start.")));
        QVERIFY(!m_window->m_downloadProgressIndicator->isHidden());
        QCOMPARE(m_window->m_downloadProgressIndicator->value(), 0);
        QVERIFY(!c->isDownloadInProgress());
    }

    void automaticCheck_data()
    {
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<bool>("alerted");
        QTest::newRow("newer") << ok(versionPlist("<integer>105</integer>")) << true;
        QTest::newRow("up to date") << ok(versionPlist("<integer>104</integer>")) << false;
        QTest::newRow("unreadable") << ok(versionPlist("<string>105</string>")) << false;
        QTest::newRow("stalled") << HttpTestServer::Response{.neverAnswer = true} << false;
    }
    void automaticCheck()
    {
        QFETCH(HttpTestServer::Response, response);
        QFETCH(bool, alerted);
        m_server->setResponse(kVersionPath, response);
        SoftwareUpdateController* c = makeController();
        c->setTimeoutsForTesting(500, 500);
        QTimer* timer = c->automaticCheckTimer();
        QVERIFY(timer && timer->isActive() && timer->isSingleShot());
        QSignalSpy ended(c, &SoftwareUpdateController::automaticCheckEnded);
        timer->start(0);   // fire now rather than in five seconds
        QVERIFY(ended.wait(5000));
        QCOMPARE(m_alerts.size(), alerted ? 1 : 0);
        QCOMPARE(m_beeps, alerted ? 1 : 0);
        if (alerted) {
            QCOMPARE(m_alerts[0].text, QStringLiteral("An update is available for Ordinello (version 1.0.5.) Use Software Update in "
                                                      "the Ordinello menu to download it."));
            QCOMPARE(m_alerts[0].informative, QStringLiteral("(You can turn off automatic software update checks in Preferences.)"));
            QCOMPARE(m_alerts[0].buttons, QStringList{QStringLiteral("OK")});
        }
        QCOMPARE(status(), QString());   // the window is left alone
        QCOMPARE(m_window->m_currentVersionField->text(), QString());
        // The newer version found is there to download.
        QCOMPARE(m_window->m_softwareDownloadButton->isEnabled(), alerted);
    }

    void automaticCheckTurnedOff()
    {
        ProgramSettings().setValue(PreferenceKeys::CheckForSoftwareUpdates, false);
        m_server->setResponse(kVersionPath, ok(versionPlist("<integer>105</integer>")));
        SoftwareUpdateController* c = makeController();
        QVERIFY(!c->automaticCheckTimer());
        checkAndWait();   // the check on request still works
        QCOMPARE(status(), QStringLiteral("An update is available for Ordinello."));
    }

    void downloadProgress_data()
    {
        QTest::addColumn<QByteArray>("path");   // where the image finally comes from
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<int>("bar");
        const HttpTestServer::Response quarter{.body = QByteArray(1000, 'q'), .holdAfter = 250};
        QTest::newRow("250 of 1000") << QByteArray(kImagePath) << quarter << "Percent complete : 25.000000" << 25;
        const HttpTestServer::Response thirds{.body = "abc", .holdAfter = 2};
        QTest::newRow("2 of 3") << QByteArray(kImagePath) << thirds << "Percent complete : 66.666669" << 66;
        const HttpTestServer::Response unknown{.body = QByteArray(6000, 'u'), .holdAfter = 4096, .chunked = true};
        QTest::newRow("no length") << QByteArray(kImagePath) << unknown << "Bytes received : 4096" << 0;
        QTest::newRow("after a redirect") << QByteArray("/pool/" + kImageName) << quarter
                                          << "Percent complete : 25.000000" << 25;
    }
    void downloadProgress()
    {
        QFETCH(QByteArray, path);
        QFETCH(HttpTestServer::Response, response);
        QFETCH(QString, progress);
        QFETCH(int, bar);
        if (path != kImagePath)
            m_server->setResponse(kImagePath, HttpTestServer::redirect(path, "xxxxx"));
        m_server->setResponse(path, response);
        // The version file names the image's digest, which lets a body without a length count.
        const QByteArray digest = QCryptographicHash::hash(response.body, QCryptographicHash::Sha256).toHex();
        SoftwareUpdateController* c = makeController();
        findNewerVersion(kImageSha256 + digest + "</string>");
        QSignalSpy ended(c, &SoftwareUpdateController::downloadEnded);
        c->clickSoftwareUpdateButton();
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains(progress), 5000);
        QCOMPARE(status(), progress);
        QCOMPARE(m_window->m_downloadProgressIndicator->value(), bar);
        QVERIFY(!m_window->m_downloadProgressIndicator->isHidden());
        const QString name = QString::fromLatin1(path.mid(path.lastIndexOf('/') + 1));
        QVERIFY(m_log.contains(QStringLiteral("Final file destination: ") + m_desktop + u'/' + name));
        QCOMPARE(entries(QFile::encodeName(m_desktop)).size(), 1);   // only the hidden partial file
        QVERIFY(!entries(QFile::encodeName(m_desktop)).contains(QFile::encodeName(name)));
        QVERIFY(m_window->m_installButton->isHidden());

        m_server->release();
        QVERIFY(ended.wait(5000));
        QCOMPARE(status(), QStringLiteral("The download has completed."));
        QVERIFY(m_log.contains(QStringLiteral("The download has completed.")));
        QVERIFY(m_window->m_downloadProgressIndicator->isHidden());
        QCOMPARE(m_window->m_downloadProgressIndicator->value(), 0);
        QCOMPARE(entries(QFile::encodeName(m_desktop)), QList<QByteArray>{QFile::encodeName(name)});
        QCOMPARE(readFile(QFile::encodeName(m_desktop + u'/' + name)), response.body);

        // Install… hands the package to the desktop's installer (here the recorder).
        QVERIFY(!m_window->m_installButton->isHidden());
        m_window->m_installButton->click();
        QTRY_COMPARE(recordedOpens(m_recorder).value(recordedOpens(m_recorder).size() - 1),
                     QFile::encodeName(m_desktop + u'/' + name));
        QVERIFY(!m_window->m_window->findChild<QMessageBox*>());
    }

    // The package is the published version's Debian package for this architecture, and a
    // version that cannot stand in a package's name is never put into an address.
    void packageName_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QByteArray>("name");   // empty: refused
        QTest::newRow("plain") << "1.0.5" << debName("1.0.5");
        QTest::newRow("Debian revision and tilde") << "1.1~rc1-2" << debName("1.1~rc1-2");
        QTest::newRow("epoch left out") << "2:1.1" << debName("1.1");
        QTest::newRow("path") << "1.0/../../etc" << QByteArray();
        QTest::newRow("query") << "1.0?x=1" << QByteArray();
        QTest::newRow("blank") << "1.0 beta" << QByteArray();
        QTest::newRow("not a digit first") << "v1.0" << QByteArray();
    }
    void packageName()
    {
        QFETCH(QString, version);
        QFETCH(QByteArray, name);
        const QUrl url = SoftwareUpdateController::packageUrl(version);
        QCOMPARE(url.isEmpty(), name.isEmpty());
        if (!name.isEmpty())
            QCOMPARE(url.toEncoded(), m_server->baseUrl().toUtf8() + "/Utilities/" + name);
    }

    // A packager or administrator points the program at another site with the system-wide
    // setting; an address that is no web address is passed over.
    void siteFromSystemSettings_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("versionFile");   // empty: the built-in site's
        QTest::newRow("mirror") << "https://mirror.example/ordinello/" << "https://mirror.example/ordinello/ProductVersions.plist";
        QTest::newRow("not a web address") << "ftp://mirror.example" << "";
        QTest::newRow("no host") << "http://" << "";
    }
    void siteFromSystemSettings()
    {
        QFETCH(QString, setting);
        QFETCH(QString, versionFile);
        QTemporaryDir system;
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system.path()));
        qunsetenv("ORDINELLO_SITE_URL");
        const QUrl builtIn = SoftwareUpdateController::versionFileUrl();
        ProgramSettings(QSettings::SystemScope).setValue(QStringLiteral("SiteURL"), setting);
        const QUrl configured = SoftwareUpdateController::versionFileUrl();
        qunsetenv("XDG_CONFIG_DIRS");
        QCOMPARE(configured.toString(), versionFile.isEmpty() ? builtIn.toString() : versionFile);
        QVERIFY(builtIn.host() != u"mirror.example");
    }

    // A taken name is never replaced: the download takes the next free one, also when the
    // name it announced is taken while it runs.
    void downloadNeverReplaces()
    {
        QDir().mkpath(m_desktop);
        const QByteArray desktop = QFile::encodeName(m_desktop);
        const QByteArray base = kImageName.chopped(4);   // without ".deb"
        writeFile(desktop + '/' + kImageName, "mine");
        HttpTestServer::Response image = ok("new image");
        image.holdAfter = 3;
        m_server->setResponse(kImagePath, image);
        SoftwareUpdateController* c = makeController();
        findNewerVersion();
        QSignalSpy ended(c, &SoftwareUpdateController::downloadEnded);
        c->clickSoftwareUpdateButton();
        const QString destination = QStringLiteral("Final file destination: ") + m_desktop + u'/';
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains(destination + QLatin1String(base + "-1.deb")), 5000);
        writeFile(desktop + '/' + base + "-1.deb", "theirs");
        m_server->release();
        QVERIFY(ended.wait(5000));
        QVERIFY(m_log.contains(destination + QLatin1String(base + "-2.deb")));
        QCOMPARE(readFile(desktop + '/' + kImageName), "mine");
        QCOMPARE(readFile(desktop + '/' + base + "-1.deb"), "theirs");
        QCOMPARE(readFile(desktop + '/' + base + "-2.deb"), "new image");
        QCOMPARE(entries(desktop).size(), 3);
    }

    // Only a whole download is kept. One cut short, stalled, too slow or too large, or
    // different from the SHA-256 digest the version file names, says so and leaves nothing
    // on the Desktop; an image sent without a length is kept only when a digest is named.
    // (What the connection refuses before any data, the check's tests show: both go
    // through UpdateConnection.)
    void download_data()
    {
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<QByteArray>("digest");   // hex, empty: none published
        QTest::addColumn<QString>("error");       // the start of the reason, empty: kept
        const HttpTestServer::Response image = ok("the new image");
        HttpTestServer::Response unlengthed = image;
        unlengthed.chunked = true;
        const QByteArray right = QCryptographicHash::hash(image.body, QCryptographicHash::Sha256).toHex();
        const QString differs = QStringLiteral("The downloaded file does not match the published SHA-256 checksum.");
        QTest::newRow("matches") << image << right << QString();
        QTest::newRow("matches, upper case") << image << right.toUpper() << QString();
        QTest::newRow("differs") << image << QCryptographicHash::hash("another", QCryptographicHash::Sha256).toHex() << differs;
        QTest::newRow("none published") << image << QByteArray() << QString();
        QTest::newRow("no length, matches") << unlengthed << right << QString();
        QTest::newRow("no length, differs") << unlengthed << right.left(63) + '0' << differs;
        QTest::newRow("no length, none published") << unlengthed << QByteArray()
            << "The server sent no length and no checksum is published, so the file cannot be known to be whole.";
        const HttpTestServer::Response cut{.body = QByteArray(500, 'c'), .announcedLength = 1000};
        QTest::newRow("body cut short") << cut << QByteArray() << QStringLiteral("The server sent %1 of the %2 bytes it announced.").arg(QLocale().toString(500), QLocale().toString(1000));
        const HttpTestServer::Response stalled{.body = QByteArray(1000, 's'), .holdAfter = 100};
        QTest::newRow("stalled") << stalled << QByteArray() << "The server did not answer within 0.5 seconds.";
        const HttpTestServer::Response huge{.body = "small", .announcedLength = qint64(3) << 30};
        QTest::newRow("over 2 GiB") << huge << QByteArray() << QStringLiteral("The file is larger than the %1 bytes accepted.").arg(QLocale().toString(qint64(2147483648)));
        // Only a length or the closing chunk tells a whole body from one cut short.
        const HttpTestServer::Response closed{.body = QByteArray(500, 'c'), .sendLength = false};
        const QString unmarked = QStringLiteral("The server closed the connection before the end of the file was marked.");
        QTest::newRow("no length, closed") << closed << QByteArray() << unmarked;
        // Qt reports this either as a closed connection or as a whole body; refused both ways.
        QTest::newRow("chunks without the closing one")
            << HttpTestServer::Response{.body = QByteArray(500, 'c'), .chunked = true, .closingChunk = false} << QByteArray()
            << "The server ";
        QTest::newRow("empty") << ok({}) << QByteArray() << "The server sent an empty file.";
        const HttpTestServer::Response empty{.body = {}, .chunked = true};
        QTest::newRow("empty in chunks") << empty << QByteArray() << "The server sent an empty file.";
        // A server that keeps the connection alive with a byte now and then.
        const HttpTestServer::Response trickle{.body = QByteArray(1000, 't'), .trickleMs = 20};
        QTest::newRow("too slow") << trickle << QByteArray() << "The server sent fewer than 100 bytes in 0.4 seconds.";
    }
    void download()
    {
        QFETCH(HttpTestServer::Response, response);
        QFETCH(QByteArray, digest);
        QFETCH(QString, error);
        m_server->setResponse(kImagePath, response);
        SoftwareUpdateController* c = makeController();
        findNewerVersion(digest.isEmpty() ? QByteArray() : kImageSha256 + digest + "</string>");
        c->setTimeoutsForTesting(500, 500);
        c->setDeadlinesForTesting(400, 400, 100);
        downloadAndWait();
        QCOMPARE(entries(QFile::encodeName(m_desktop)), error.isEmpty() ? QList<QByteArray>{kImageName} : QList<QByteArray>{});
        if (error.isEmpty()) {
            QCOMPARE(status(), QStringLiteral("The download has completed."));
            return;
        }
        const QString expected = QStringLiteral("Download failed! Error - ") + error;
        QVERIFY2(status().startsWith(expected) && status().endsWith(QLatin1String(kImagePath)), qPrintable(status()));
        QVERIFY(std::any_of(m_log.begin(), m_log.end(), [&](const QString& l) { return l.startsWith(expected); }));
        QVERIFY(!c->isDownloadInProgress());
        QVERIFY(m_window->m_softwareDownloadButton->isEnabled());
    }

    // A download killed before it could clean up leaves its hidden partial file; the next
    // download removes such files, and only those.
    void downloadRemovesStalePartialFiles()
    {
        QDir().mkpath(m_desktop);
        const QByteArray desktop = QFile::encodeName(m_desktop);
        const QList<QByteArray> stale{".ordinello-download-1f2e3d4c.part", ".ordinello-download-0.part"};
        const QList<QByteArray> others{".ordinello-download-notes.part", ".ordinello-download-1f.part.txt",
                                       "ordinello-download-1f.part", ".other-download-1f.part"};
        for (const QByteArray& name : stale + others)
            writeFile(desktop + '/' + name, "left over");
        QVERIFY(QDir().mkpath(m_desktop + QStringLiteral("/.ordinello-download-abc.part")));   // not a file
        m_server->setResponse(kImagePath, ok("image"));
        makeController();
        findNewerVersion();
        downloadAndWait();
        QCOMPARE(status(), QStringLiteral("The download has completed."));
        QList<QByteArray> expected = others;
        expected << ".ordinello-download-abc.part" << kImageName;
        QList<QByteArray> found = entries(desktop);
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
    }

    void quittingCancelsDownload()
    {
        m_server->setResponse(kImagePath, HttpTestServer::Response{.body = QByteArray(1000, 'i'), .holdAfter = 500});
        makeController();
        findNewerVersion();
        m_window.reset();
        m_controller->clickSoftwareUpdateButton();
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains(QStringLiteral("Percent complete : 50.000000")), 5000);
        m_controller.reset();
        QCOMPARE(entries(QFile::encodeName(m_desktop)), QList<QByteArray>{});
    }
};

QTEST_MAIN(TestSoftwareUpdate)
#include "tst_softwareupdate.moc"
