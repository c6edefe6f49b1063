#include "app/RenameReportView.h"

#include "platform/NameCodec.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
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

void RenameReportView::showRun(const QString& folder, int handled, const QStringList& names,
                               const QStringList& reasons)
{
    m_folder = folder;
    m_names = names;
    m_reasons = reasons;
    fillDetails();
    if (names.isEmpty()) {
        hide();
        if (m_details)
            m_details->hide();
        m_statusBar->showMessage(handled == 1 ? tr("Done: 1 item") : tr("Done: %1 items").arg(QLocale().toString(handled)),
                                 5000);
        return;
    }
    m_statusBar->clearMessage();
    const qsizetype n = names.size();
    setText(n == 1 ? tr("1 item could not be renamed")
                   : tr("%1 items could not be renamed").arg(QLocale().toString(qint64(n))));
    show();
}

void RenameReportView::clear()
{
    m_folder.clear();
    m_names.clear();
    m_reasons.clear();
    hide();
    if (m_details) {
        m_details->hide();
        fillDetails();
    }
}

void RenameReportView::fillDetails()
{
    if (!m_details)
        return;
    m_details->setWindowTitle(tr("Items Not Renamed in “%1”").arg(m_folder.mid(m_folder.lastIndexOf(u'/') + 1)));
    m_detailsLabel->setText(tr("These items in %1 could not be renamed:").arg(m_folder));
    m_detailsList->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_names.size());
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        const QString name = DisplayFileName(m_names[i]);
        auto* row = new QTreeWidgetItem({name, m_reasons.value(i)});
        row->setToolTip(0, name);
        row->setToolTip(1, m_reasons.value(i));
        rows.append(row);
    }
    m_detailsList->addTopLevelItems(rows);
}

void RenameReportView::showDetails()
{
    // A window of its own rather than a modal alert: the user can keep it open beside
    // the list while putting things right.
    if (!m_details) {
        m_details = new QDialog(window());
        m_details->setModal(false);
        auto* layout = new QVBoxLayout(m_details);
        m_detailsLabel = new QLabel(m_details);
        m_detailsLabel->setWordWrap(true);
        m_detailsList = new QTreeWidget(m_details);
        m_detailsList->setRootIsDecorated(false);
        m_detailsList->setHeaderLabels({tr("Item"), tr("Why")});
        m_detailsList->setTextElideMode(Qt::ElideMiddle);
        // The reason is what the user needs: it always gets its share of the width, and
        // a long name is shortened in the middle instead of pushing it out of view.
        m_detailsList->header()->setStretchLastSection(false);
        m_detailsList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        m_detailsList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_details);
        connect(buttons, &QDialogButtonBox::rejected, m_details, &QDialog::hide);
        layout->addWidget(m_detailsLabel);
        layout->addWidget(m_detailsList);
        layout->addWidget(buttons);
        m_details->resize(640, 320);
        fillDetails();
    }
    m_details->show();
    m_details->raise();
    m_details->activateWindow();
}
