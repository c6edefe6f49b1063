#pragma once
// The planned renames of a run, as the preview sheet lists them: made by the same planner
// as a dry run (ordinello-cli --dry-run), so what the sheet shows is what the run does,
// the renames it predicts to fail included.

#include "renaming/RenamePlan.h"

#include <QAbstractTableModel>

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
