#include "app/RenamePreview.h"

#include "renaming/Preferences.h"

#include "ui_RenamePreview.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

RenamePreview::RenamePreview(RunKind kind, QList<PlannedRename> plan, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::RenamePreview>())
    , m_model(new RenamePlanModel(std::move(plan), this))
{
    setObjectName(QStringLiteral("renamePreview"));
    m_ui->setupUi(this);
    // The texts are the string table's, shared with the rest of the runs' messages.
    m_ui->doNotAskAgain->setText(QCoreApplication::translate("LocalizedStrings", "Do not ask again"));
    const bool numbering = kind == RunKind::Numbering;
    setWindowTitle(numbering ? QCoreApplication::translate("LocalizedStrings", "Number Items") : QCoreApplication::translate("LocalizedStrings", "Remove Number Prefixes"));
    const QLocale locale;
    const int count = m_model->rowCount() - m_model->failureCount();
    m_ui->summary->setText(count == 1 ? QCoreApplication::translate("LocalizedStrings", "1 name will be changed.")
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
    m_ui->warning->setText(warnings.join(u' '));
    m_ui->warning->setVisible(!warnings.isEmpty());

    QTableView* list = m_ui->list;
    list->setModel(m_model);
    // Fixed row heights and column widths: a hundred thousand rows open at once.
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    list->setColumnWidth(RenamePlanModel::NameColumn, 220);
    list->setColumnWidth(RenamePlanModel::NewNameColumn, 220);

    QPushButton* ok = m_ui->buttonBox->button(QDialogButtonBox::Ok);
    ok->setText(numbering ? QCoreApplication::translate("LocalizedStrings", "Number Items") : QCoreApplication::translate("LocalizedStrings", "Remove Prefixes"));
    ok->setDefault(true);
    ok->setEnabled(count > 0);
}

RenamePreview::~RenamePreview() = default;

QCheckBox* RenamePreview::doNotAskAgain() const
{
    return m_ui->doNotAskAgain;
}

QLabel* RenamePreview::summary() const
{
    return m_ui->summary;
}

QLabel* RenamePreview::warning() const
{
    return m_ui->warning;
}

void RenamePreview::accept()
{
    if (m_ui->doNotAskAgain->isChecked())
        SetConfirmRenaming(false);
    QDialog::accept();
}
