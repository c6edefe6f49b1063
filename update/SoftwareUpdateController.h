#pragma once
// The software-update window and everything it does: it shows the running version, checks
// the maker's version file (once, 5 seconds after launch, when "CheckForSoftwareUpdates"
// allows it, and whenever the user asks), and downloads the new disk image to the Desktop.
// The network and file work is UpdateConnection's and UpdateDownload's; this class decides
// what the window, the alert and the system log say.
//
// One check on request and one download run at a time: while one runs its button is
// disabled and a second request is ignored. The automatic check runs on its own connection.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "update/UpdateConnection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QLabel;
class QMessageBox;
class QNetworkAccessManager;
class QProgressBar;
class QPushButton;
class QTimer;
class UpdateDownload;
struct PublishedVersion;
namespace Ui {
class SoftwareUpdateWindow;
}

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
    static constexpr qint64 kMaximumImageBytes = qint64(1) << 31;         // 2 GiB

    // The window is made at once (hidden), as a child window of parentWindow when given.
    explicit SoftwareUpdateController(QWidget* parentWindow, QObject* parent = nullptr);
    ~SoftwareUpdateController() override;   // cancels a running download, removing its partial file

    // Outlets, made from SoftwareUpdateWindow.ui and owned by m_window.
    QPushButton* m_checkVersionButton = nullptr;
    QLabel* m_currentVersionField = nullptr;
    QProgressBar* m_downloadProgressIndicator = nullptr;   // percent, 0 to 100
    QLabel* m_ourVersionField = nullptr;
    QProgressBar* m_progressIndicator = nullptr;
    QPushButton* m_softwareDownloadButton = nullptr;
    QLabel* m_softwareUpdateField = nullptr;               // the status line
    QDialog* m_window = nullptr;

    // Shows the running version and, when checkAutomatically (the user's preference, which
    // the window reads: this layer knows no settings), arms the automatic check.
    void awakeFromNib(bool checkAutomatically);

    // The status line's text as set (the line shows it with each address kept whole).
    const QString& statusText() const { return m_status; }

    // The version file's address and the disk image's, under the maker's site.
    static QUrl versionFileUrl();
    static QUrl diskImageUrl();

    static std::int32_t getVersionNumber(const QString& version);   // see VersionNumberFromString
    QString getOurVersionString() const;                            // null when there is none
    // Reads a version file: the published version string as it may be shown (see
    // DisplayableVersionString), or null when the file is unreadable. Updates the published
    // number whenever "CurrentVersion" is usable, and the image's expected digest. Both
    // checks read the file on a worker thread instead, with readVersionFile().
    QString getCurrentVersionString(const QByteArray& data);

    // Beeps and shows one modal alert with a single "OK" button.
    void doAlert(const QString& message, const QString& informative);

    // What the check on request's connection reports.
    void connectionDidReceiveResponse();
    void connectionDidReceiveData(const QByteArray& data);
    void connectionDidFailWithError(const QString& description, const QString& failingUrl);
    void connectionDidFinishLoading();

    // What the download reports.
    void downloadDidCreateDestination(const QString& path);
    void downloadDidReceiveResponse(qint64 expectedContentLength);
    void downloadDidReceiveDataOfLength(qint64 length);
    void downloadDidFinish();
    void downloadDidFailWithError(const QString& description, const QString& failingUrl);

    std::int32_t ourVersionNumber() const { return m_ourVersionNumber; }
    std::int32_t currentVersionNumber() const { return m_currentVersionNumber; }
    bool isCheckInProgress() const { return m_softwareUpdateCheckInProgress; }
    bool isDownloadInProgress() const { return m_softwareDownloadInProgress; }
    qint64 bytesReceived() const { return m_bytesReceived; }
    // The automatic check's one-shot timer; null when the preference turned the check off.
    QTimer* automaticCheckTimer() const { return mSoftwarUpdateTimerRef; }

    // Tests: the running version to report (std::nullopt: none), instead of the build's.
    void setOurVersionStringForTesting(std::optional<QString> version);
    // Tests: shorter time-outs.
    void setTimeoutsForTesting(int checkMs, int downloadMs);
    // Tests: a shorter deadline for checks and a shorter window for the download's rate.
    void setDeadlinesForTesting(int checkDeadlineMs, int downloadRateWindowMs, qint64 minimumBytesPerWindow);
    // Tests: runs the alert instead of QMessageBox::exec(), which would block.
    void setModalRunnerForTesting(std::function<void(QMessageBox& alert)> runner);

public Q_SLOTS:
    void showWindow();
    void checkVersion();                 // the check button
    void clickSoftwareUpdateButton();    // the download button
    void checkForSoftwareUpdate();       // the automatic check

Q_SIGNALS:
    // Each ends whatever the outcome; the window already shows it.
    void versionCheckEnded();
    void automaticCheckEnded();
    void downloadEnded();

private:
    void setStatus(const QString& text);
    QString m_status;
    // Reads data on a worker thread, keeps what it says as getCurrentVersionString() does,
    // and hands the shown version string (null: unreadable) to done on this thread.
    void readVersionFile(const QByteArray& data, std::function<void(const QString& published)> done);
    QString keepPublishedVersion(const PublishedVersion& published);
    UpdateConnection::Limits checkLimits() const;
    void endCheck();
    void endAutomaticCheck();
    void endDownload();

    std::unique_ptr<Ui::SoftwareUpdateWindow> m_ui;
    QPointer<QDialog> m_windowGuard;   // the parent window may have deleted it first
    QNetworkAccessManager* m_network;

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
    QTimer* mSoftwarUpdateTimerRef = nullptr;

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
    std::function<void(QMessageBox&)> m_modalRunner;
};
