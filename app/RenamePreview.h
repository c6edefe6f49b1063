#pragma once
// The sheet shown before a run changes any name: how many items will be renamed, every
// old and new name, the renames that will fail and, for prefix removal, the names that
// lose a first word that is not a number. Enter confirms, Escape cancels; "Do not ask
// again" turns the sheet off (the preferences window turns it back on). Its layout is
// the form resources/ui/RenamePreview.ui.

#include "app/RenamePlanModel.h"

#include <QDialog>

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
    RenamePreview(RunKind kind, QList<PlannedRename> plan, QWidget* parent = nullptr);
    ~RenamePreview() override;

    RenamePlanModel* model() const { return m_model; }
    QCheckBox* doNotAskAgain() const;
    QLabel* summary() const;
    QLabel* warning() const;

    void accept() override;

private:
    std::unique_ptr<Ui::RenamePreview> m_ui;
    RenamePlanModel* m_model;
};
