#include "app/RenameReportView.h"

#include "app/ElidedLabel.h"
#include "platform/NameCodec.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

RenameReportView::RenameReportView(QStatusBar* statusBar)
    : QToolButton(statusBar)
    , m_account(new ElidedLabel(statusBar))
    , m_accountTimeout(new QTimer(this))
{
    // A widget of the status bar rather than its passing message: the hints of menus and
    // toolbar buttons cover it for a moment and then give it back. Shortened to fit, so a
    // long account never widens the window.
    m_account->setObjectName(QStringLiteral("runAccount"));
    statusBar->addWidget(m_account, 1);
    m_accountTimeout->setSingleShot(true);
    m_accountTimeout->setInterval(5000);
    connect(m_accountTimeout, &QTimer::timeout, m_account, &QLabel::clear);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIcon(QIcon::fromTheme(QStringLiteral("dialog-warning"), style()->standardIcon(QStyle::SP_MessageBoxWarning)));
    setToolTip(tr("Show which items could not be renamed, and why"));
    hide();
    statusBar->addPermanentWidget(this);
    connect(this, &QToolButton::clicked, this, &RenameReportView::showDetails);
}

QString RenameReportView::statusText(const RunAccount& account) const
{
    const QLocale locale;
    QString text = account.cancelled
                       ? tr("Cancelled after %1 of %2 items")
                             .arg(locale.toString(qint64(account.reached)), locale.toString(qint64(account.total)))
                   : account.handled == 1 ? tr("Done: 1 item")
                                          : tr("Done: %1 items").arg(locale.toString(account.handled));
    // An undo says what it did not have to do, so a count short of the run's is explained.
    if (const int left = account.alreadyUnderOldName; account.undo && left > 0) {
        text = tr("%1; %2").arg(text, left == 1 ? tr("1 item already had its old name")
                                                : tr("%1 items already had their old names")
                                                      .arg(locale.toString(left)));
    }
    return text;
}

void RenameReportView::showRun(const QString& folder, const RunAccount& account)
{
    m_folder = folder;
    m_undo = account.undo;
    m_names = account.names;
    m_reasons = account.reasons;
    fillDetails(m_details, m_detailsLabel, m_detailsList);
    // A plain success is said briefly; an account with more to it stays until the next.
    const bool plain = account.names.isEmpty() && !account.cancelled && !(account.undo && account.alreadyUnderOldName > 0);
    m_account->setText(statusText(account));
    if (plain)
        m_accountTimeout->start();
    else
        m_accountTimeout->stop();
    if (account.names.isEmpty()) {
        hide();
        if (m_details)
            m_details->hide();
        return;
    }
    const QString n = QLocale().toString(qint64(account.names.size()));
    if (account.undo)
        setText(account.names.size() == 1 ? tr("1 item could not be put back") : tr("%1 items could not be put back").arg(n));
    else
        setText(account.names.size() == 1 ? tr("1 item could not be renamed") : tr("%1 items could not be renamed").arg(n));
    show();
    openReportMessage(account);
}

QString RenameReportView::account() const
{
    return m_account->text();
}

void RenameReportView::clear()
{
    m_folder.clear();
    m_names.clear();
    m_reasons.clear();
    hide();
    m_account->clear();
    m_accountTimeout->stop();
    if (m_message)
        m_message->close();
    if (m_details) {
        m_details->hide();
        fillDetails(m_details, m_detailsLabel, m_detailsList);
    }
}

void RenameReportView::fillDetails(QDialog* window, QLabel* label, QTreeWidget* list) const
{
    if (!window)
        return;
    const QString folderName = m_folder.mid(m_folder.lastIndexOf(u'/') + 1);
    window->setWindowTitle(m_undo ? tr("Items Not Put Back in “%1”").arg(folderName)
                                  : tr("Items Not Renamed in “%1”").arg(folderName));
    label->setText(m_undo ? tr("These items in %1 could not be given their old names back:").arg(m_folder)
                          : tr("These items in %1 could not be renamed:").arg(m_folder));
    list->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_names.size());
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        const QString name = DisplayFileName(m_names[i]);
        auto* row = new QTreeWidgetItem({name, m_reasons.value(i)});
        row->setToolTip(0, name);
        row->setToolTip(1, m_reasons.value(i));
        rows.append(row);
    }
    list->addTopLevelItems(rows);
}

QDialog* RenameReportView::makeDetailsWindow(QLabel** label, QTreeWidget** list)
{
    auto* window = new QDialog(this->window());
    auto* layout = new QVBoxLayout(window);
    *label = new QLabel(window);
    (*label)->setWordWrap(true);
    *list = new QTreeWidget(window);
    (*list)->setRootIsDecorated(false);
    (*list)->setHeaderLabels({tr("Item"), tr("Why")});
    (*list)->setTextElideMode(Qt::ElideMiddle);
    // The reason is what the user needs: it always gets its share of the width, and
    // a long name is shortened in the middle instead of pushing it out of view.
    (*list)->header()->setStretchLastSection(false);
    (*list)->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    (*list)->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
    layout->addWidget(*label);
    layout->addWidget(*list);
    layout->addWidget(buttons);
    window->resize(640, 320);
    return window;
}

void RenameReportView::showDetails()
{
    // A window of its own rather than a modal alert: the user can keep it open beside
    // the list while putting things right.
    if (!m_details) {
        m_details = makeDetailsWindow(&m_detailsLabel, &m_detailsList);
        m_details->setModal(false);
        fillDetails(m_details, m_detailsLabel, m_detailsList);
    }
    m_details->show();
    m_details->raise();
    m_details->activateWindow();
}

void RenameReportView::openReportMessage(const RunAccount& account)
{
    // When the run ends, the failures are not left to be found in the status bar: a
    // message over the window says how many and lists them, as the details window does.
    if (m_message)
        m_message->close();
    QLabel* label = nullptr;
    QTreeWidget* list = nullptr;
    QDialog* message = makeDetailsWindow(&label, &list);
    message->setObjectName(QStringLiteral("renameReportMessage"));
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->setWindowModality(Qt::WindowModal);
    fillDetails(message, label, list);

    const qsizetype failed = account.names.size();
    const bool none = account.handled == 0 && account.alreadyUnderOldName == 0 && !account.cancelled;
    const QString total = QLocale().toString(qint64(std::max(account.total, failed)));
    const QString count = QLocale().toString(qint64(failed));
    QString headline = account.undo ? (none ? tr("No item could be put back.")
                                            : tr("%1 of %2 items could not be put back.").arg(count, total))
                                    : (none ? tr("No item could be renamed.")
                                            : tr("%1 of %2 items could not be renamed.").arg(count, total));
    auto* headlineLabel = new QLabel(QStringLiteral("<b>%1</b>").arg(headline.toHtmlEscaped()), message);
    headlineLabel->setObjectName(QStringLiteral("headline"));
    headlineLabel->setWordWrap(true);
    if (account.undo) {
        headlineLabel->setText(headlineLabel->text() + QStringLiteral("<p>%1</p>").arg(
            tr("They stay in the undo journal: choose Undo again once the cause is put right.").toHtmlEscaped()));
    }
    auto* icon = new QLabel(message);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, message);
    icon->setPixmap(this->icon().pixmap(size, size));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(headlineLabel, 1);
    static_cast<QVBoxLayout*>(message->layout())->insertLayout(0, top);
    m_message = message;
    message->open();
}
