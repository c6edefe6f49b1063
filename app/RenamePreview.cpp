#include "app/RenamePreview.h"

#include "renaming/Preferences.h"

#include "ui_RenamePreview.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

RenamePreview::RenamePreview(RunKind kind, QList<PlannedRename> plan, const RunChoice& proposed, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::RenamePreview>())
    , m_model(new RenamePlanModel(kind, std::move(plan), this))
    , m_choice(proposed)
{
    setObjectName(QStringLiteral("renamePreview"));
    m_ui->setupUi(this);
    // The texts are the string table's, shared with the rest of the runs' messages.
    m_ui->doNotAskAgain->setText(QCoreApplication::translate("LocalizedStrings", "Do not ask again"));
    const bool numbering = kind == RunKind::Numbering;
    setWindowTitle(numbering ? QCoreApplication::translate("LocalizedStrings", "Number Items") : QCoreApplication::translate("LocalizedStrings", "Remove Number Prefixes"));
    const QLocale locale;
    const int count = m_model->changedCount();
    m_ui->summary->setText(count == 1 ? QCoreApplication::translate("LocalizedStrings", "1 name will be changed.")
                                      : QCoreApplication::translate("LocalizedStrings", "%1 names will be changed.").arg(locale.toString(count)));

    auto counted = [&](int n, const char* one, const char* many) {
        return n == 1 ? QCoreApplication::translate("LocalizedStrings", one)
                      : QCoreApplication::translate("LocalizedStrings", many).arg(locale.toString(n));
    };
    QStringList warnings;
    if (m_model->failureCount() > 0)
        warnings << counted(m_model->failureCount(), QT_TRANSLATE_NOOP("LocalizedStrings", "1 rename will fail."),
                            QT_TRANSLATE_NOOP("LocalizedStrings", "%1 renames will fail."));
    if (numbering && m_model->numberedCount() > 0)
        warnings << counted(m_model->numberedCount(), QT_TRANSLATE_NOOP("LocalizedStrings", "1 name already starts with a number."),
                            QT_TRANSLATE_NOOP("LocalizedStrings", "%1 names already start with a number."));
    if (!numbering && m_model->lostWordCount() > 0)
        warnings << counted(m_model->lostWordCount(),
                            QT_TRANSLATE_NOOP("LocalizedStrings", "1 name starts with a word that is not a number."),
                            QT_TRANSLATE_NOOP("LocalizedStrings", "%1 names start with a word that is not a number."));
    if (!numbering && m_model->oddWidthCount() > 0)
        warnings << counted(m_model->oddWidthCount(),
                            QT_TRANSLATE_NOOP("LocalizedStrings", "1 name starts with a number of another width than most, such as a year."),
                            QT_TRANSLATE_NOOP("LocalizedStrings", "%1 names start with a number of another width than most, such as a year."));
    m_ui->warning->setText(warnings.join(u' '));
    m_ui->warning->setVisible(!warnings.isEmpty());

    QTableView* list = m_ui->list;
    list->setModel(m_model);
    // Fixed row heights and column widths: a hundred thousand rows open at once.
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    list->setColumnWidth(RenamePlanModel::NameColumn, 200);
    list->setColumnWidth(RenamePlanModel::NewNameColumn, 200);

    // Where the run needs a choice, its buttons take OK's place: the button box would show
    // a hidden OK again when it lays out the buttons added beside it.
    const bool choosing = numbering ? m_model->numberedCount() > 0 : m_model->lostWordCount() > 0;
    if (choosing)
        m_ui->buttonBox->setStandardButtons(QDialogButtonBox::Cancel);
    if (numbering && m_model->numberedCount() > 0) {
        addChoice("replaceNumbers", QCoreApplication::translate("LocalizedStrings", "Replace Numbers"), proposed.replaceNumbers,
                  [](RunChoice& choice) { choice.replaceNumbers = true; });
        addChoice("addNumbers", QCoreApplication::translate("LocalizedStrings", "Add Numbers"), !proposed.replaceNumbers,
                  [](RunChoice& choice) { choice.replaceNumbers = false; });
    } else if (!numbering && m_model->lostWordCount() > 0) {
        addChoice("removeNumbersOnly", QCoreApplication::translate("LocalizedStrings", "Remove Numbers Only"), true,
                  [](RunChoice& choice) { choice.rule = PrefixRule::NumbersOnly; });
        addChoice("removeFirstWordsToo", QCoreApplication::translate("LocalizedStrings", "Remove First Words Too"), false,
                  [](RunChoice& choice) { choice.rule = PrefixRule::AnyFirstWord; });
    } else {
        QPushButton* ok = m_ui->buttonBox->button(QDialogButtonBox::Ok);
        ok->setText(numbering ? QCoreApplication::translate("LocalizedStrings", "Number Items") : QCoreApplication::translate("LocalizedStrings", "Remove Prefixes"));
        ok->setDefault(true);
        ok->setEnabled(count > 0);
    }
    if (!numbering && m_model->oddWidthCount() > 0) {
        m_keep = new QCheckBox(QCoreApplication::translate("LocalizedStrings", "Keep these"), this);
        m_keep->setObjectName(QStringLiteral("keepOddWidths"));
        m_keep->setChecked(proposed.keepOddWidths);
        m_ui->mainLayout->insertWidget(m_ui->mainLayout->indexOf(m_ui->list) + 1, m_keep);
    }
}

void RenamePreview::addChoice(const char* id, const QString& text, bool isDefault,
                              const std::function<void(RunChoice&)>& choose)
{
    // Connected before the button box's own handling, which accepts the sheet: the choice
    // is made when the sheet says it is accepted.
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(id));
    connect(button, &QPushButton::clicked, this, [this, choose] { choose(m_choice); });
    m_ui->buttonBox->addButton(button, QDialogButtonBox::AcceptRole);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    if (isDefault)
        button->setFocus();
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
    if (m_keep)
        m_choice.keepOddWidths = m_keep->isChecked();
    if (m_ui->doNotAskAgain->isChecked())
        SetConfirmRenaming(false);
    QDialog::accept();
}
