#include "update/SoftwareUpdateController.h"

#include "BuildConfig.h"
#include "platform/Bundle.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"
#include "platform/SystemLog.h"
#include "support/LocalizedStrings.h"
#include "update/UpdateConnection.h"
#include "update/UpdateDownload.h"
#include "update/VersionFile.h"

#include <QFutureWatcher>
#include <QRegularExpression>
#include <QNetworkAccessManager>
#include <QStandardPaths>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <initializer_list>

namespace {

// The status and log texts are printf-style formats ("%@", "%d", "%f") looked up whole in
// the string table. Each placeholder takes the next argument, already made text; "%%" is a
// percent sign, and any other "%" is kept as it is, so a translation can never make the
// formatting read an argument that is not there.
QString formatted(const QString& format, std::initializer_list<QString> arguments)
{
    QString text;
    text.reserve(format.size() + 32);
    auto next = arguments.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 == format.size()) {
            text += c;
            continue;
        }
        const QChar kind = format[i + 1];
        if (kind == u'%') {
            text += u'%';
            ++i;
        } else if ((kind == u'@' || kind == u'd' || kind == u'f') && next != arguments.end()) {
            text += *next++;
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

SoftwareUpdateController::SoftwareUpdateController(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

SoftwareUpdateController::~SoftwareUpdateController()
{
    // A download cut off by quitting must not leave a partial file behind.
    if (m_download)
        m_download->cancel();
}

QUrl SoftwareUpdateController::versionFileUrl()
{
    return QUrl(Bundle::siteUrl() + QStringLiteral("/ProductVersions.plist"));
}

QString SoftwareUpdateController::packageArchitecture()
{
    return QStringLiteral(ORDINELLO_DEB_ARCHITECTURE);
}

QUrl SoftwareUpdateController::packageUrl(const QString& version)
{
    // A Debian version as it stands in a package's file name: the epoch is left out, and
    // what remains may hold only letters, digits and ".+~-", starting with a digit. Anything
    // else (the text comes from the network) could lead the download elsewhere on the site.
    static const QRegularExpression epoch(QStringLiteral("^[0-9]+:"));
    static const QRegularExpression debianVersion(QStringLiteral("^[0-9][A-Za-z0-9.+~-]{0,63}$"));
    QString upstream = version;
    upstream.remove(epoch);
    if (!debianVersion.match(upstream).hasMatch())
        return {};
    return QUrl(Bundle::siteUrl() + QStringLiteral("/Utilities/ordinello_%1_%2.deb").arg(upstream, packageArchitecture()));
}

void SoftwareUpdateController::awakeFromNib(bool checkAutomatically)
{
    const QString version = getOurVersionString();
    if (!version.isNull()) {
        m_ourVersionString = version;
        m_ourVersionNumber = getVersionNumber(version);
    }
    if (checkAutomatically) {
        mSoftwareUpdateTimerRef = new QTimer(this);
        mSoftwareUpdateTimerRef->setSingleShot(true);
        mSoftwareUpdateTimerRef->setInterval(kAutomaticCheckDelayMs);
        connect(mSoftwareUpdateTimerRef, &QTimer::timeout, this, &SoftwareUpdateController::checkForSoftwareUpdate);
        mSoftwareUpdateTimerRef->start();
    }
}

std::int32_t SoftwareUpdateController::getVersionNumber(const QString& version)
{
    return VersionNumberFromString(version);
}

QString SoftwareUpdateController::getOurVersionString() const
{
    if (m_ourVersionForTesting)
        return m_ourVersionForTesting->value_or(QString());
    return Bundle::shortVersionString();
}

QString SoftwareUpdateController::getCurrentVersionString(const QByteArray& data)
{
    return keepPublishedVersion(ReadVersionFile(data));
}

QString SoftwareUpdateController::keepPublishedVersion(const PublishedVersion& published)
{
    if (published.number)
        m_currentVersionNumber = *published.number;
    if (published.string.isNull())
        return {};
    m_currentVersionSha256 = published.sha256;
    // The package to download is the one of the newer version the last readable file named.
    const bool wasAvailable = isUpdateAvailable();
    m_availablePackageVersion = m_ourVersionNumber < m_currentVersionNumber ? published.string : QString();
    if (wasAvailable != isUpdateAvailable())
        Q_EMIT updateAvailableChanged(isUpdateAvailable());
    // The text comes from the network: it is shown only without invisible characters and cut
    // to a sane length.
    return DisplayableVersionString(published.string);
}

void SoftwareUpdateController::readVersionFile(const QByteArray& data, std::function<void(const QString&)> done)
{
    // A hostile file may take a while to be refused; the window stays responsive meanwhile.
    auto* watcher = new QFutureWatcher<PublishedVersion>(this);
    connect(watcher, &QFutureWatcher<PublishedVersion>::finished, this, [this, watcher, done = std::move(done)] {
        watcher->deleteLater();
        done(keepPublishedVersion(watcher->result()));
    });
    watcher->setFuture(QtConcurrent::run([data] { return ReadVersionFile(data); }));
}

void SoftwareUpdateController::setStatus(const QString& text)
{
    m_status = text;
    Q_EMIT statusChanged(text);
}

void SoftwareUpdateController::setCheckInProgress(bool running)
{
    m_softwareUpdateCheckInProgress = running;
    Q_EMIT checkInProgressChanged(running);
}

void SoftwareUpdateController::setDownloadInProgress(bool running)
{
    m_softwareDownloadInProgress = running;
    Q_EMIT downloadInProgressChanged(running);
}

void SoftwareUpdateController::setDownloadProgress(int percent, bool shown)
{
    m_downloadPercent = percent;
    m_downloadProgressShown = shown;
    Q_EMIT downloadProgressChanged(percent, shown);
}

// The automatic check. It used to fetch synchronously with no time-out, which could freeze
// the window for good on a stalled server; it now fetches asynchronously with the check's
// time-out. It stays silent unless a newer version is published, and changes no status.
void SoftwareUpdateController::checkForSoftwareUpdate()
{
    if (m_automaticConnection)
        return;
    m_automaticConnection = UpdateConnection::start(m_network, versionFileUrl(), checkLimits(), this);
    if (!m_automaticConnection) {
        Q_EMIT automaticCheckEnded();
        return;
    }
    m_automaticData.clear();
    UpdateConnection* connection = m_automaticConnection;
    connect(connection, &UpdateConnection::responseReceived, this, [this] { m_automaticData.clear(); });
    connect(connection, &UpdateConnection::dataReceived, this,
            [this](const QByteArray& data) { m_automaticData.append(data); });
    connect(connection, &UpdateConnection::failed, this, &SoftwareUpdateController::endAutomaticCheck);
    connect(connection, &UpdateConnection::finished, this, [this] {
        const QByteArray data = std::exchange(m_automaticData, {});
        readVersionFile(data, [this](const QString& published) {
            // The window's alert runs a nested event loop: the connection is let go before it.
            if (m_automaticConnection)
                m_automaticConnection->deleteLater();
            m_automaticConnection = nullptr;
            if (!published.isNull() && m_ourVersionNumber < m_currentVersionNumber) {
                const QString message = formatted(
                    LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "An update is available for Ordinello (version %@.) Use Software Update in the "
                                      "Ordinello menu to download it.")),
                    {published});
                Q_EMIT updateFound(message, LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "(You can turn off automatic software update checks in Preferences.)")));
            }
            Q_EMIT automaticCheckEnded();
        });
    });
}

void SoftwareUpdateController::endAutomaticCheck()
{
    if (m_automaticConnection)
        m_automaticConnection->deleteLater();
    m_automaticConnection = nullptr;
    m_automaticData.clear();
    Q_EMIT automaticCheckEnded();
}

void SoftwareUpdateController::checkVersion()
{
    if (m_softwareUpdateCheckInProgress)
        return;
    setCheckInProgress(true);
    setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Checking for a software update...")));
    m_connection = UpdateConnection::start(m_network, versionFileUrl(), checkLimits(), this);
    if (!m_connection) {
        setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Ordinello could not check for a software update at this time.")));
        setCheckInProgress(false);
        Q_EMIT versionCheckEnded();
        return;
    }
    UpdateConnection* connection = m_connection;
    connect(connection, &UpdateConnection::responseReceived, this, &SoftwareUpdateController::connectionDidReceiveResponse);
    connect(connection, &UpdateConnection::dataReceived, this, &SoftwareUpdateController::connectionDidReceiveData);
    connect(connection, &UpdateConnection::failed, this, &SoftwareUpdateController::connectionDidFailWithError);
    connect(connection, &UpdateConnection::finished, this, &SoftwareUpdateController::connectionDidFinishLoading);
    m_receivedData.clear();
}

void SoftwareUpdateController::connectionDidReceiveResponse()
{
    // Each response starts the body afresh.
    m_receivedData.clear();
}

void SoftwareUpdateController::connectionDidReceiveData(const QByteArray& data)
{
    m_receivedData.append(data);
}

void SoftwareUpdateController::connectionDidFailWithError(const QString& description, const QString& failingUrl)
{
    setStatus(formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Connection failed with error: %@ %@")), {description, failingUrl}));
    endCheck();
}

void SoftwareUpdateController::connectionDidFinishLoading()
{
    setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Loaded the version information...")));
    // The check counts as running until the file is read.
    readVersionFile(std::exchange(m_receivedData, {}), [this](const QString& published) {
        if (!published.isNull()) {
            setStatus(m_ourVersionNumber < m_currentVersionNumber
                          ? LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "An update is available for Ordinello."))
                          : LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Your software is up to date.")));
            m_currentVersionString = published;
            Q_EMIT currentVersionChanged(published);
        } else {
            setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "The current version information could not be read.")));
        }
        endCheck();
    });
}

void SoftwareUpdateController::endCheck()
{
    if (m_connection)
        m_connection->deleteLater();
    m_connection = nullptr;
    m_receivedData.clear();
    if (m_softwareUpdateCheckInProgress)
        setCheckInProgress(false);
    Q_EMIT versionCheckEnded();
}

void SoftwareUpdateController::clickSoftwareUpdateButton()
{
    if (m_softwareDownloadInProgress || !isUpdateAvailable())
        return;
    setDownloadInProgress(true);
    m_urlResponse.reset();
    setDownloadProgress(0, true);

    // The Desktop of xdg-user-dirs ("XDG_DESKTOP_DIR"), as the user's file manager knows it.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QString why;
    UpdateConnection::Limits limits;
    limits.transferTimeoutMs = m_downloadTimeoutMs;
    limits.rateWindowMs = m_downloadRateWindowMs;
    limits.minimumBytesPerWindow = m_downloadMinimumBytesPerWindow;
    limits.maximumBytes = kMaximumPackageBytes;
    const QUrl package = packageUrl(m_availablePackageVersion);
    if (package.isEmpty()) {
        why = formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "The published version “%@” cannot name a package.")),
                        {DisplayableVersionString(m_availablePackageVersion)});
    } else {
        // When the last version file read named the package's digest, the package must match it.
        m_download = UpdateDownload::start(m_network, package, desktop, limits, m_currentVersionSha256, this, &why);
    }
    if (!m_download) {
        SysBeep();
        const QString& failure = LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "The download could not start."));
        NSLog(failure);
        NSLog(why);
        // The beep alone would leave the user guessing; the status line says it too.
        setStatus(failure + u' ' + why);
        setDownloadInProgress(false);
        Q_EMIT downloadEnded();
        return;
    }
    UpdateDownload* download = m_download;
    connect(download, &UpdateDownload::didCreateDestination, this, &SoftwareUpdateController::downloadDidCreateDestination);
    connect(download, &UpdateDownload::didReceiveResponse, this, &SoftwareUpdateController::downloadDidReceiveResponse);
    connect(download, &UpdateDownload::didReceiveDataOfLength, this, &SoftwareUpdateController::downloadDidReceiveDataOfLength);
    connect(download, &UpdateDownload::didFinish, this, &SoftwareUpdateController::downloadDidFinish);
    connect(download, &UpdateDownload::didFailWithError, this, &SoftwareUpdateController::downloadDidFailWithError);
}

void SoftwareUpdateController::downloadDidCreateDestination(const QString& path)
{
    NSLog(formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Final file destination: %@")), {DisplayFileName(path)}));
}

void SoftwareUpdateController::downloadDidReceiveResponse(qint64 expectedContentLength)
{
    m_bytesReceived = 0;
    m_urlResponse = expectedContentLength;
}

void SoftwareUpdateController::downloadDidReceiveDataOfLength(qint64 length)
{
    const qint64 expected = m_urlResponse.value_or(-1);
    m_bytesReceived += length;
    // An announced length of 0 cannot be followed by data; it is read as "unknown" rather
    // than divided by.
    if (expected <= 0) {
        const QString text = formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Bytes received : %d")), {QString::number(m_bytesReceived)});
        NSLog(text);
        setStatus(text);
        return;
    }
    // The quotient is taken in single precision, as the progress always was: 2 of 3 bytes
    // reads 66.666669, not 66.666667.
    const float quotient = float(m_bytesReceived) / float(expected);
    const double percent = double(quotient) * 100.0;
    const QString text = formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Percent complete : %f")), {QString::number(percent, 'f', 6)});
    NSLog(text);
    setStatus(text);
    setDownloadProgress(int(percent), true);
}

void SoftwareUpdateController::downloadDidFinish(const QString& path)
{
    m_urlResponse.reset();
    const QString& done = LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "The download has completed."));
    NSLog(done);
    setStatus(done);
    setDownloadProgress(0, false);
    m_downloadedPackage = path;
    endDownload();
    Q_EMIT downloadCompleted(path);
}

void SoftwareUpdateController::downloadDidFailWithError(const QString& description, const QString& failingUrl)
{
    m_urlResponse.reset();
    const QString text = formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Download failed! Error - %@ %@")), {description, failingUrl});
    NSLog(text);
    // Only in the log, the failure would leave the last progress text standing as if the
    // download were still running.
    setStatus(text);
    endDownload();
}

void SoftwareUpdateController::endDownload()
{
    if (m_download)
        m_download->deleteLater();
    m_download = nullptr;
    setDownloadInProgress(false);
    Q_EMIT downloadEnded();
}

void SoftwareUpdateController::setOurVersionStringForTesting(std::optional<QString> version)
{
    m_ourVersionForTesting.emplace(std::move(version));
}

void SoftwareUpdateController::setTimeoutsForTesting(int checkMs, int downloadMs)
{
    m_checkTimeoutMs = checkMs;
    m_downloadTimeoutMs = downloadMs;
}

void SoftwareUpdateController::setDeadlinesForTesting(int checkDeadlineMs, int downloadRateWindowMs,
                                                      qint64 minimumBytesPerWindow)
{
    m_checkDeadlineMs = checkDeadlineMs;
    m_downloadRateWindowMs = downloadRateWindowMs;
    m_downloadMinimumBytesPerWindow = minimumBytesPerWindow;
}

UpdateConnection::Limits SoftwareUpdateController::checkLimits() const
{
    UpdateConnection::Limits limits;
    limits.transferTimeoutMs = m_checkTimeoutMs;
    limits.deadlineMs = m_checkDeadlineMs;
    limits.maximumBytes = kMaximumVersionFileBytes;
    return limits;
}
