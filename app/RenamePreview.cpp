#include "app/RenamePreview.h"

#include "app/Preferences.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

RenamePreview::RenamePreview(RunKind kind, QList<PlannedRename> plan, QWidget* parent)
    : QDialog(parent)
    , m_model(new RenamePlanModel(std::move(plan), this))
    , m_summary(new QLabel(this))
    , m_warning(new QLabel(this))
    , m_list(new QTableView(this))
    , m_doNotAskAgain(new QCheckBox(QCoreApplication::translate("LocalizedStrings", "Do not ask again"), this))
{
    setObjectName(QStringLiteral("renamePreview"));
    setWindowModality(Qt::WindowModal);
    const bool numbering = kind == RunKind::Numbering;
    setWindowTitle(numbering ? QCoreApplication::translate("LocalizedStrings", "Number Items") : QCoreApplication::translate("LocalizedStrings", "Remove Number Prefixes"));
    const QLocale locale;
    const int count = m_model->rowCount() - m_model->failureCount();
    m_summary->setText(count == 1 ? QCoreApplication::translate("LocalizedStrings", "1 name will be changed.")
                                  : QCoreApplication::translate("LocalizedStrings", "%1 names will be changed.").arg(locale.toString(count)));

    QStringList warnings;
    if (m_model->failureCount() == 1)
        warnings << QCoreApplication::translate("LocalizedStrings", "1 rename will fail.");
    else if (m_model->failureCount() > 1)
        warnings << QCoreApplication::translate("LocalizedStrings", "%1 renames will fail.").arg(locale.toString(m_model->failureCount()));
    if (m_model->lostWordCount() == 1)
        warnings << QCoreApplication::translate("LocalizedStrings", "1 name loses a first word that is not a number.");
    else if (m_model->lostWordCount() > 1)
        warnings << QCoreApplication::translate("LocalizedStrings", "%1 names lose a first word that is not a number.").arg(locale.toString(m_model->lostWordCount()));
    m_warning->setText(warnings.join(u' '));
    m_warning->setVisible(!warnings.isEmpty());
    m_warning->setStyleSheet(QStringLiteral("font-weight: bold"));

    m_list->setModel(m_model);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    // Fixed row heights and column widths: a hundred thousand rows open at once.
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setColumnWidth(RenamePlanModel::NameColumn, 220);
    m_list->setColumnWidth(RenamePlanModel::NewNameColumn, 220);
    m_list->setWordWrap(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(numbering ? QCoreApplication::translate("LocalizedStrings", "Number Items") : QCoreApplication::translate("LocalizedStrings", "Remove Prefixes"));
    ok->setDefault(true);
    ok->setEnabled(count > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_warning);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_doNotAskAgain);
    layout->addWidget(buttons);
    resize(640, 420);
}

void RenamePreview::accept()
{
    if (m_doNotAskAgain->isChecked())
        SetConfirmRenaming(false);
    QDialog::accept();
}
