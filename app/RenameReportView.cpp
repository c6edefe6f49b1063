#include "app/RenameReportView.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

RenameReportView::RenameReportView(QStatusBar* statusBar)
    : QToolButton(statusBar)
    , m_statusBar(statusBar)
{
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIcon(QIcon::fromTheme(QStringLiteral("dialog-warning"), style()->standardIcon(QStyle::SP_MessageBoxWarning)));
    setToolTip(tr("Show which items could not be renamed, and why"));
    hide();
    statusBar->addPermanentWidget(this);
    connect(this, &QToolButton::clicked, this, &RenameReportView::showDetails);
}

void RenameReportView::showRun(int handled, const QStringList& failures)
{
    m_failures = failures;
    if (m_details)
        m_detailsText->setPlainText(m_failures.join(u'\n'));
    if (failures.isEmpty()) {
        hide();
        if (m_details)
            m_details->hide();
        m_statusBar->showMessage(handled == 1 ? tr("Done: 1 item") : tr("Done: %1 items").arg(handled), 5000);
        return;
    }
    m_statusBar->clearMessage();
    const qsizetype n = failures.size();
    setText(n == 1 ? tr("1 item could not be renamed") : tr("%1 items could not be renamed").arg(n));
    show();
}

void RenameReportView::showDetails()
{
    // A window of its own rather than a modal alert: the user can keep it open beside
    // the list while putting things right.
    if (!m_details) {
        m_details = new QDialog(window());
        m_details->setWindowTitle(tr("Items Not Renamed"));
        m_details->setModal(false);
        auto* layout = new QVBoxLayout(m_details);
        auto* label = new QLabel(tr("These items could not be renamed:"), m_details);
        m_detailsText = new QPlainTextEdit(m_details);
        m_detailsText->setReadOnly(true);
        m_detailsText->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_details);
        connect(buttons, &QDialogButtonBox::rejected, m_details, &QDialog::hide);
        layout->addWidget(label);
        layout->addWidget(m_detailsText);
        layout->addWidget(buttons);
        m_details->resize(560, 320);
        m_detailsText->setPlainText(m_failures.join(u'\n'));
    }
    m_details->show();
    m_details->raise();
    m_details->activateWindow();
}
