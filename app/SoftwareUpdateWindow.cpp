#include "app/SoftwareUpdateWindow.h"

#include "renaming/Preferences.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"
#include "support/LocalizedStrings.h"

#include "ui_SoftwareUpdateWindow.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

SoftwareUpdateWindow::SoftwareUpdateWindow(SoftwareUpdateController* service, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_ui(std::make_unique<Ui::SoftwareUpdateWindow>())
{
    m_window = new QDialog;
    m_windowGuard = m_window;
    m_ui->setupUi(m_window);
    m_checkVersionButton = m_ui->m_checkVersionButton;
    m_currentVersionField = m_ui->m_currentVersionField;
    m_downloadProgressIndicator = m_ui->m_downloadProgressIndicator;
    m_ourVersionField = m_ui->m_ourVersionField;
    m_progressIndicator = m_ui->m_progressIndicator;
    m_softwareDownloadButton = m_ui->m_softwareDownloadButton;
    m_installButton = m_ui->m_installButton;
    m_softwareUpdateField = m_ui->m_softwareUpdateField;

    connect(m_checkVersionButton, &QPushButton::clicked, service, &SoftwareUpdateController::checkVersion);
    connect(m_softwareDownloadButton, &QPushButton::clicked, service, &SoftwareUpdateController::clickSoftwareUpdateButton);
    connect(m_installButton, &QPushButton::clicked, this, &SoftwareUpdateWindow::installUpdate);

    connect(service, &SoftwareUpdateController::statusChanged, this, &SoftwareUpdateWindow::showStatus);
    connect(service, &SoftwareUpdateController::currentVersionChanged, m_currentVersionField, &QLabel::setText);
    connect(service, &SoftwareUpdateController::checkInProgressChanged, this, [this](bool running) {
        m_progressIndicator->setHidden(!running);
        updateButtons();
    });
    connect(service, &SoftwareUpdateController::updateAvailableChanged, this, &SoftwareUpdateWindow::updateButtons);
    connect(service, &SoftwareUpdateController::downloadInProgressChanged, this, &SoftwareUpdateWindow::updateButtons);
    connect(service, &SoftwareUpdateController::downloadProgressChanged, this, [this](int percent, bool shown) {
        m_downloadProgressIndicator->setValue(percent);
        m_downloadProgressIndicator->setHidden(!shown);
    });
    connect(service, &SoftwareUpdateController::downloadCompleted, this, &SoftwareUpdateWindow::updateButtons);
    connect(service, &SoftwareUpdateController::updateFound, this, &SoftwareUpdateWindow::doAlert);
    updateButtons();
}

SoftwareUpdateWindow::~SoftwareUpdateWindow()
{
    delete m_windowGuard.data();
}

void SoftwareUpdateWindow::awakeFromNib()
{
    m_service->awakeFromNib(CheckForSoftwareUpdates());
    m_ourVersionField->setText(m_service->ourVersionString());
    updateButtons();
}

void SoftwareUpdateWindow::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SoftwareUpdateWindow::updateButtons()
{
    m_checkVersionButton->setEnabled(!m_service->isCheckInProgress());
    // Download is offered only for a newer version, whose package name is known.
    m_softwareDownloadButton->setEnabled(m_service->isUpdateAvailable() && !m_service->isDownloadInProgress());
    m_installButton->setVisible(!m_service->downloadedPackage().isNull() && !m_service->isDownloadInProgress());
}

void SoftwareUpdateWindow::showStatus(const QString& text)
{
    // The line wraps between words, never inside an address: each address stands on a line
    // of its own that does not wrap (Qt keeps whole blocks unwrapped, not parts of one), so
    // it can be read and copied whole.
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

void SoftwareUpdateWindow::doAlert(const QString& message, const QString& informative)
{
    SysBeep();
    QWidget* over = m_window->isVisible() ? m_window : QApplication::activeWindow();
    QMessageBox alert(over);
    alert.setTextFormat(Qt::PlainText);   // the version string comes from the network
    alert.setText(message);
    alert.setInformativeText(informative);
    alert.addButton(LocalizedStringNS(QT_TRANSLATE_NOOP("LocalizedStrings", "OK")), QMessageBox::AcceptRole);
    if (m_modalRunner)
        m_modalRunner(alert);
    else
        alert.exec();
}

void SoftwareUpdateWindow::installUpdate()
{
    const QString package = m_service->downloadedPackage();
    if (package.isNull())
        return;
    QString reason;
    if (LaunchDefaultForPath(EncodeFileName(package), &reason) == noErr)
        return;
    // The command to type instead, with the path quoted for the shell.
    QString quoted = DisplayFileName(package);
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    // Window-modal and opened without a nested event loop, like the main window's messages.
    auto* box = new QMessageBox(QMessageBox::Warning, m_window->windowTitle(),
                                tr("No package installer could open “%1”: %2\n\nInstall it with a package "
                                   "manager, or in a terminal with:\nsudo apt install '%3'")
                                    .arg(DisplayFileName(package), reason, quoted),
                                QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("installFailedBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void SoftwareUpdateWindow::setModalRunnerForTesting(std::function<void(QMessageBox& alert)> runner)
{
    m_modalRunner = std::move(runner);
}
