#pragma once
// The planned renames of a run, as the preview sheet lists them: made by the same planner
// as a dry run (ordinello-cli --dry-run), so what the sheet shows is what the run does,
// the renames it predicts to fail included.

#include "app/Numbering.h"
#include "app/RenameJournal.h"

#include <QAbstractTableModel>

struct PlannedRename {
    QString name;
    QString newName;
    QString problem;        // why the rename will fail; empty when it will be done
    bool lostWord = false;  // prefix removal takes off a first word that is not a number
};

// Plans the run without renaming anything.
QList<PlannedRename> PlanRun(RunKind kind, QList<FSRef> items, const NumberingSettings& settings = {});

// True when the text before the first blank is a number as numbering writes them
// (digits, and the minus sign of a negative number).
bool HasNumberPrefix(QStringView name);

class RenamePlanModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn, NewNameColumn, NoteColumn, ColumnCount };

    explicit RenamePlanModel(QList<PlannedRename> plan, QObject* parent = nullptr);

    const QList<PlannedRename>& plan() const { return m_plan; }
    int failureCount() const { return m_failures; }
    int lostWordCount() const { return m_lostWords; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<PlannedRename> m_plan;
    int m_failures = 0;
    int m_lostWords = 0;
};
