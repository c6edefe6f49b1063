#pragma once
// The software update as a service: it knows the running version, checks the maker's
// version file (once, 5 seconds after launch, when "CheckForSoftwareUpdates" allows it, and
// whenever asked), and downloads the newer version's Debian package to the Desktop. It
// builds no widget: everything it has to say is a value and a signal, and the window
// (app/SoftwareUpdateWindow) decides what to show. The network and file work is
// UpdateConnection's and UpdateDownload's.
//
// One check on request and one download run at a time: a second request while one runs is
// ignored. The automatic check runs on its own connection. A download starts only once a
// check has found a newer version: the package's name carries that version.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "update/UpdateConnection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QTimer;
class UpdateDownload;
struct PublishedVersion;

class SoftwareUpdateController : public QObject
{
    Q_OBJECT
public:
    // The transfer time-outs: the time allowed with no data moving.
    static constexpr int kCheckTimeoutMs = 10'000;
    static constexpr int kDownloadTimeoutMs = 20'000;
    // A check must end within this time, however slowly the data keeps coming.
    static constexpr int kCheckDeadlineMs = 30'000;
    // A download must bring at least 30 KiB in each 30 seconds (1 KiB/s on average).
    static constexpr int kDownloadRateWindowMs = 30'000;
    static constexpr qint64 kDownloadMinimumBytesPerWindow = 30 * 1024;
    static constexpr int kAutomaticCheckDelayMs = 5'000;
    static constexpr qint64 kMaximumVersionFileBytes = qint64(1) << 20;   // 1 MiB
    static constexpr qint64 kMaximumPackageBytes = qint64(1) << 31;       // 2 GiB

    explicit SoftwareUpdateController(QObject* parent = nullptr);
    ~SoftwareUpdateController() override;   // cancels a running download, removing its partial file

    // Takes the running version and, when checkAutomatically (the user's preference, which
    // the caller reads: this layer knows no settings), arms the automatic check.
    void awakeFromNib(bool checkAutomatically);

    // --- what there is to show
    const QString& statusText() const { return m_status; }            // the status line
    const QString& ourVersionString() const { return m_ourVersionString; }   // null: none
    // The published version as it may be shown, after a readable check on request.
    const QString& currentVersionString() const { return m_currentVersionString; }
    bool isCheckInProgress() const { return m_softwareUpdateCheckInProgress; }
    bool isDownloadInProgress() const { return m_softwareDownloadInProgress; }
    // A newer version than the running one was found by the last readable version file.
    bool isUpdateAvailable() const { return !m_availablePackageVersion.isNull(); }
    // The download's progress bar: shown from the start of a download until it completes.
    int downloadPercent() const { return m_downloadPercent; }
    bool isDownloadProgressShown() const { return m_downloadProgressShown; }
    // The package the last download completed, as a lossless path; null before.
    const QString& downloadedPackage() const { return m_downloadedPackage; }

    // The version file's address, and the package of a published version under the maker's
    // site: "/Utilities/ordinello_<version>_<architecture>.deb". An empty URL when the
    // version cannot stand in a Debian package's name.
    static QUrl versionFileUrl();
    static QUrl packageUrl(const QString& version);
    // The Debian architecture the program was built for (dpkg --print-architecture).
    static QString packageArchitecture();

    static std::int32_t getVersionNumber(const QString& version);   // see VersionNumberFromString
    QString getOurVersionString() const;                            // null when there is none
    // Reads a version file: the published version string as it may be shown (see
    // DisplayableVersionString), or null when the file is unreadable. Updates the published
    // number whenever "CurrentVersion" is usable, and the package's expected digest. Both
    // checks read the file on a worker thread instead, with readVersionFile().
    QString getCurrentVersionString(const QByteArray& data);

    // What the check on request's connection reports.
    void connectionDidReceiveResponse();
    void connectionDidReceiveData(const QByteArray& data);
    void connectionDidFailWithError(const QString& description, const QString& failingUrl);
    void connectionDidFinishLoading();

    // What the download reports.
    void downloadDidCreateDestination(const QString& path);
    void downloadDidReceiveResponse(qint64 expectedContentLength);
    void downloadDidReceiveDataOfLength(qint64 length);
    void downloadDidFinish(const QString& path);
    void downloadDidFailWithError(const QString& description, const QString& failingUrl);

    std::int32_t ourVersionNumber() const { return m_ourVersionNumber; }
    std::int32_t currentVersionNumber() const { return m_currentVersionNumber; }
    qint64 bytesReceived() const { return m_bytesReceived; }
    // The automatic check's one-shot timer; null when the preference turned the check off.
    QTimer* automaticCheckTimer() const { return mSoftwareUpdateTimerRef; }

    // Tests: the running version to report (std::nullopt: none), instead of the build's.
    void setOurVersionStringForTesting(std::optional<QString> version);
    // Tests: shorter time-outs.
    void setTimeoutsForTesting(int checkMs, int downloadMs);
    // Tests: a shorter deadline for checks and a shorter window for the download's rate.
    void setDeadlinesForTesting(int checkDeadlineMs, int downloadRateWindowMs, qint64 minimumBytesPerWindow);

public Q_SLOTS:
    void checkVersion();                 // the check on request
    void clickSoftwareUpdateButton();    // the download; nothing while no newer version is known
    void checkForSoftwareUpdate();       // the automatic check

Q_SIGNALS:
    void statusChanged(const QString& text);
    void checkInProgressChanged(bool running);
    void currentVersionChanged(const QString& shown);
    void updateAvailableChanged(bool available);
    void downloadInProgressChanged(bool running);
    void downloadProgressChanged(int percent, bool shown);
    // The automatic check found a newer version: the alert's text and informative text, for
    // the window to beep and show.
    void updateFound(const QString& message, const QString& informative);
    // A download completed; the package is at path (lossless), ready to install.
    void downloadCompleted(const QString& path);
    // Each ends whatever the outcome; the values and signals above already tell it.
    void versionCheckEnded();
    void automaticCheckEnded();
    void downloadEnded();

private:
    void setStatus(const QString& text);
    void setCheckInProgress(bool running);
    void setDownloadInProgress(bool running);
    void setDownloadProgress(int percent, bool shown);
    // Reads data on a worker thread, keeps what it says as getCurrentVersionString() does,
    // and hands the shown version string (null: unreadable) to done on this thread.
    void readVersionFile(const QByteArray& data, std::function<void(const QString& published)> done);
    QString keepPublishedVersion(const PublishedVersion& published);
    UpdateConnection::Limits checkLimits() const;
    void endCheck();
    void endAutomaticCheck();
    void endDownload();

    QNetworkAccessManager* m_network;
    QString m_status;
    QString m_ourVersionString;
    QString m_currentVersionString;
    QString m_availablePackageVersion;   // the newer version's string as published; null: none
    int m_downloadPercent = 0;
    bool m_downloadProgressShown = false;
    QString m_downloadedPackage;

    std::int32_t m_ourVersionNumber = 0;
    std::int32_t m_currentVersionNumber = 0;
    QByteArray m_currentVersionSha256;   // of the last readable version file; empty: none named
    bool m_softwareUpdateCheckInProgress = false;
    QPointer<UpdateConnection> m_connection;
    QByteArray m_receivedData;
    bool m_softwareDownloadInProgress = false;
    QPointer<UpdateDownload> m_download;
    // The download's response: all the data callbacks need of it is the announced length.
    std::optional<qint64> m_urlResponse;
    // 64 bits: the 2 GiB cap is one past the 32-bit range.
    qint64 m_bytesReceived = 0;
    // A QTimer carries its own callback, so no separate timer-procedure handle is kept.
    QTimer* mSoftwareUpdateTimerRef = nullptr;

    // The automatic check fetches on a connection of its own, so it never disturbs a check
    // the user started.
    QPointer<UpdateConnection> m_automaticConnection;
    QByteArray m_automaticData;

    std::optional<std::optional<QString>> m_ourVersionForTesting;
    int m_checkTimeoutMs = kCheckTimeoutMs;
    int m_downloadTimeoutMs = kDownloadTimeoutMs;
    int m_checkDeadlineMs = kCheckDeadlineMs;
    int m_downloadRateWindowMs = kDownloadRateWindowMs;
    qint64 m_downloadMinimumBytesPerWindow = kDownloadMinimumBytesPerWindow;
};
