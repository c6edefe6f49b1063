#include "update/SoftwareUpdateController.h"

#include "platform/Bundle.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"
#include "platform/SystemLog.h"
#include "support/LocalizedStrings.h"
#include "update/UpdateConnection.h"
#include "update/UpdateDownload.h"
#include "update/VersionFile.h"

#include "ui_SoftwareUpdateWindow.h"

#include <QFutureWatcher>
#include <QMessageBox>
#include <QRegularExpression>
#include <QNetworkAccessManager>
#include <QPushButton>
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

SoftwareUpdateController::SoftwareUpdateController(QWidget* parentWindow, QObject* parent)
    : QObject(parent)
    , m_ui(std::make_unique<Ui::SoftwareUpdateWindow>())
    , m_network(new QNetworkAccessManager(this))
{
    m_window = new QDialog(parentWindow);
    m_windowGuard = m_window;
    m_ui->setupUi(m_window);
    m_checkVersionButton = m_ui->m_checkVersionButton;
    m_currentVersionField = m_ui->m_currentVersionField;
    m_downloadProgressIndicator = m_ui->m_downloadProgressIndicator;
    m_ourVersionField = m_ui->m_ourVersionField;
    m_progressIndicator = m_ui->m_progressIndicator;
    m_softwareDownloadButton = m_ui->m_softwareDownloadButton;
    m_softwareUpdateField = m_ui->m_softwareUpdateField;

    connect(m_checkVersionButton, &QPushButton::clicked, this, &SoftwareUpdateController::checkVersion);
    connect(m_softwareDownloadButton, &QPushButton::clicked, this, &SoftwareUpdateController::clickSoftwareUpdateButton);
}

SoftwareUpdateController::~SoftwareUpdateController()
{
    // A download cut off by quitting must not leave a partial file behind.
    if (m_download)
        m_download->cancel();
    delete m_windowGuard.data();
}

QUrl SoftwareUpdateController::versionFileUrl()
{
    return QUrl(Bundle::siteUrl() + QStringLiteral("/ProductVersions.plist"));
}

QUrl SoftwareUpdateController::diskImageUrl()
{
    return QUrl(Bundle::siteUrl() + QStringLiteral("/Utilities/Ordinello.dmg"));
}

void SoftwareUpdateController::awakeFromNib(bool checkAutomatically)
{
    const QString version = getOurVersionString();
    if (!version.isNull()) {
        m_ourVersionField->setText(version);
        m_ourVersionNumber = getVersionNumber(version);
    }
    if (checkAutomatically) {
        mSoftwarUpdateTimerRef = new QTimer(this);
        mSoftwarUpdateTimerRef->setSingleShot(true);
        mSoftwarUpdateTimerRef->setInterval(kAutomaticCheckDelayMs);
        connect(mSoftwarUpdateTimerRef, &QTimer::timeout, this, &SoftwareUpdateController::checkForSoftwareUpdate);
        mSoftwarUpdateTimerRef->start();
    }
}

void SoftwareUpdateController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
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

void SoftwareUpdateController::doAlert(const QString& message, const QString& informative)
{
    SysBeep();
    QMessageBox alert(m_window->parentWidget());
    alert.setTextFormat(Qt::PlainText);   // the version string comes from the network
    alert.setText(message);
    alert.setInformativeText(informative);
    alert.addButton(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "OK")), QMessageBox::AcceptRole);
    if (m_modalRunner)
        m_modalRunner(alert);
    else
        alert.exec();
}

void SoftwareUpdateController::setStatus(const QString& text)
{
    // The line wraps between words, never inside an address: each address stands on a line
    // of its own that does not wrap (Qt keeps whole blocks unwrapped, not parts of one), so
    // it can be read and copied whole.
    m_status = text;
    static const QRegularExpression address(QStringLiteral("\\b[a-z][a-z0-9+.-]*://\\S+"));
    QString html;
    qsizetype done = 0;
    for (auto it = address.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        html += text.mid(done, match.capturedStart() - done).toHtmlEscaped();
        html += QStringLiteral("<div style=\"white-space:pre\">") + match.captured().toHtmlEscaped()
                + QStringLiteral("</div>");
        done = match.capturedEnd();
    }
    html += text.mid(done).toHtmlEscaped();
    m_softwareUpdateField->setTextFormat(Qt::RichText);
    m_softwareUpdateField->setText(html);
}

// The automatic check. It used to fetch synchronously with no time-out, which could freeze
// the window for good on a stalled server; it now fetches asynchronously with the check's
// time-out. It stays silent unless a newer version is published, and leaves the window alone.
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
            // The alert runs a nested event loop: the connection is let go before it.
            if (m_automaticConnection)
                m_automaticConnection->deleteLater();
            m_automaticConnection = nullptr;
            if (!published.isNull() && m_ourVersionNumber < m_currentVersionNumber) {
                const QString message = formatted(
                    LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "An update is available for Ordinello (version %@.) Use Software Update in the "
                                      "Ordinello menu to download it.")),
                    {published});
                doAlert(message, LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "(You can turn off automatic software update checks in Preferences.)")));
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
    m_softwareUpdateCheckInProgress = true;
    setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Checking for a software update...")));
    m_connection = UpdateConnection::start(m_network, versionFileUrl(), checkLimits(), this);
    if (!m_connection) {
        setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Ordinello could not check for a software update at this time.")));
        m_softwareUpdateCheckInProgress = false;
        Q_EMIT versionCheckEnded();
        return;
    }
    UpdateConnection* connection = m_connection;
    connect(connection, &UpdateConnection::responseReceived, this, &SoftwareUpdateController::connectionDidReceiveResponse);
    connect(connection, &UpdateConnection::dataReceived, this, &SoftwareUpdateController::connectionDidReceiveData);
    connect(connection, &UpdateConnection::failed, this, &SoftwareUpdateController::connectionDidFailWithError);
    connect(connection, &UpdateConnection::finished, this, &SoftwareUpdateController::connectionDidFinishLoading);
    m_receivedData.clear();
    m_progressIndicator->setHidden(false);
    m_checkVersionButton->setEnabled(false);
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
    m_softwareUpdateCheckInProgress = false;
    setStatus(formatted(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Connection failed with error: %@ %@")), {description, failingUrl}));
    endCheck();
}

void SoftwareUpdateController::connectionDidFinishLoading()
{
    setStatus(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Loaded the version information...")));
    // The check counts as running until the file is read: its button stays disabled.
    readVersionFile(std::exchange(m_receivedData, {}), [this](const QString& published) {
        m_softwareUpdateCheckInProgress = false;
        if (!published.isNull()) {
            setStatus(m_ourVersionNumber < m_currentVersionNumber
                          ? LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "An update is available for Ordinello."))
                          : LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "Your software is up to date.")));
            m_currentVersionField->setText(published);
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
    m_progressIndicator->setHidden(true);
    m_checkVersionButton->setEnabled(true);
    Q_EMIT versionCheckEnded();
}

void SoftwareUpdateController::clickSoftwareUpdateButton()
{
    if (m_softwareDownloadInProgress)
        return;
    m_softwareDownloadInProgress = true;
    m_urlResponse.reset();
    m_downloadProgressIndicator->setValue(0);
    m_downloadProgressIndicator->setHidden(false);

    // The Desktop of xdg-user-dirs ("XDG_DESKTOP_DIR"), as the user's file manager knows it.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QString why;
    UpdateConnection::Limits limits;
    limits.transferTimeoutMs = m_downloadTimeoutMs;
    limits.rateWindowMs = m_downloadRateWindowMs;
    limits.minimumBytesPerWindow = m_downloadMinimumBytesPerWindow;
    limits.maximumBytes = kMaximumImageBytes;
    // When the last version file read named the image's digest, the image must match it.
    m_download = UpdateDownload::start(m_network, diskImageUrl(), desktop, limits, m_currentVersionSha256, this, &why);
    if (!m_download) {
        SysBeep();
        const QString& failure = LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "The download could not start."));
        NSLog(failure);
        NSLog(why);
        // The beep alone would leave the user guessing; the status line says it too.
        setStatus(failure + u' ' + why);
        m_softwareDownloadInProgress = false;
        Q_EMIT downloadEnded();
        return;
    }
    UpdateDownload* download = m_download;
    connect(download, &UpdateDownload::didCreateDestination, this, &SoftwareUpdateController::downloadDidCreateDestination);
    connect(download, &UpdateDownload::didReceiveResponse, this, &SoftwareUpdateController::downloadDidReceiveResponse);
    connect(download, &UpdateDownload::didReceiveDataOfLength, this, &SoftwareUpdateController::downloadDidReceiveDataOfLength);
    connect(download, &UpdateDownload::didFinish, this, &SoftwareUpdateController::downloadDidFinish);
    connect(download, &UpdateDownload::didFailWithError, this, &SoftwareUpdateController::downloadDidFailWithError);
    m_softwareDownloadButton->setEnabled(false);
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
    m_downloadProgressIndicator->setValue(int(percent));
}

void SoftwareUpdateController::downloadDidFinish()
{
    m_urlResponse.reset();
    const QString& done = LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "The download has completed."));
    NSLog(done);
    setStatus(done);
    m_downloadProgressIndicator->setValue(0);
    m_downloadProgressIndicator->setHidden(true);
    endDownload();
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
    m_softwareDownloadInProgress = false;
    m_softwareDownloadButton->setEnabled(true);
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

void SoftwareUpdateController::setModalRunnerForTesting(std::function<void(QMessageBox& alert)> runner)
{
    m_modalRunner = std::move(runner);
}
