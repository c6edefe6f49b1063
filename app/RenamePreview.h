#pragma once
// The sheet shown before a run changes any name: how many items will be renamed, every
// old and new name, the renames that will fail and, for prefix removal, the names that
// lose a first word that is not a number. Enter confirms, Escape cancels; "Do not ask
// again" turns the sheet off (the preferences window turns it back on).

#include "app/RenamePlanModel.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QTableView;

class RenamePreview : public QDialog
{
    Q_OBJECT
public:
    RenamePreview(RunKind kind, QList<PlannedRename> plan, QWidget* parent = nullptr);

    RenamePlanModel* model() const { return m_model; }
    QCheckBox* doNotAskAgain() const { return m_doNotAskAgain; }
    QLabel* summary() const { return m_summary; }
    QLabel* warning() const { return m_warning; }

    void accept() override;

private:
    RenamePlanModel* m_model;
    QLabel* m_summary;
    QLabel* m_warning;
    QTableView* m_list;
    QCheckBox* m_doNotAskAgain;
};
