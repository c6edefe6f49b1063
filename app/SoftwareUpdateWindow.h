#pragma once
// The software-update window over the update service (update/SoftwareUpdateController):
// the running and the published version, the status line, the check's and the download's
// progress, and the Check Now, Download Update and Install… buttons. It also shows the
// automatic check's alert. One window serves every main window of the program.

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "update/SoftwareUpdateController.h"

class QDialog;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QWidget;
namespace Ui {
class SoftwareUpdateWindow;
}

class SoftwareUpdateWindow : public QObject
{
    Q_OBJECT
public:
    // The window is made at once (hidden). The service is not owned and must outlive it.
    explicit SoftwareUpdateWindow(SoftwareUpdateController* service, QObject* parent = nullptr);
    ~SoftwareUpdateWindow() override;

    // Outlets, made from SoftwareUpdateWindow.ui and owned by m_window.
    QPushButton* m_checkVersionButton = nullptr;
    QLabel* m_currentVersionField = nullptr;
    QProgressBar* m_downloadProgressIndicator = nullptr;   // percent, 0 to 100
    QLabel* m_ourVersionField = nullptr;
    QProgressBar* m_progressIndicator = nullptr;
    QPushButton* m_softwareDownloadButton = nullptr;       // enabled once a newer version is found
    QPushButton* m_installButton = nullptr;                // shown once a package has arrived
    QLabel* m_softwareUpdateField = nullptr;               // the status line
    QDialog* m_window = nullptr;

    SoftwareUpdateController* service() const { return m_service; }

    // Arms the service (the automatic check when the user's preference allows it) and
    // shows what it knows.
    void awakeFromNib();

    // Beeps and shows one modal alert with a single "OK" button, over the active window.
    void doAlert(const QString& message, const QString& informative);

    // Tests: runs the alert instead of QMessageBox::exec(), which would block.
    void setModalRunnerForTesting(std::function<void(QMessageBox& alert)> runner);

public Q_SLOTS:
    void showWindow();
    // Opens the downloaded package with the desktop's package installer (the default
    // application for Debian packages); says so, naming the file, when none can.
    void installUpdate();

private:
    void showStatus(const QString& text);
    void updateButtons();

    SoftwareUpdateController* m_service;
    std::unique_ptr<Ui::SoftwareUpdateWindow> m_ui;
    QPointer<QDialog> m_windowGuard;
    std::function<void(QMessageBox&)> m_modalRunner;
};
