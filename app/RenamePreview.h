#pragma once
// The sheet shown before a run changes any name: how many items will be renamed, every
// old and new name, the renames that will fail and the links that will dangle. When names
// already start with a number, numbering offers Replace Numbers and Add Numbers; when
// names start with a first word that is not a number, prefix removal offers Remove Numbers
// Only and Remove First Words Too, and numbers of another width than most can be kept
// ("Keep these"). Enter takes the default choice, Escape cancels; "Do not ask again" turns
// the sheet off (the preferences window turns it back on), but a removal with a choice to
// make is always shown. Its layout is the form resources/ui/RenamePreview.ui.

#include "app/RenamePlanModel.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;

namespace Ui {
class RenamePreview;
}

class RenamePreview : public QDialog
{
    Q_OBJECT
public:
    // proposed: the choice the items suggest; its button is the default one.
    RenamePreview(RunKind kind, QList<PlannedRename> plan, const RunChoice& proposed = {}, QWidget* parent = nullptr);
    ~RenamePreview() override;

    RenamePlanModel* model() const { return m_model; }
    QCheckBox* doNotAskAgain() const;
    QLabel* summary() const;
    QLabel* warning() const;
    // What the user chose: the button that accepted, and "Keep these".
    RunChoice choice() const { return m_choice; }

    void accept() override;

private:
    void addChoice(const char* id, const QString& text, bool isDefault, const std::function<void(RunChoice&)>& choose);

    std::unique_ptr<Ui::RenamePreview> m_ui;
    RenamePlanModel* m_model;
    RunChoice m_choice;
    QCheckBox* m_keep = nullptr;
};
