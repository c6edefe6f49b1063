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

    RenamePlanModel(RunKind kind, QList<PlannedRename> plan, QObject* parent = nullptr);

    const QList<PlannedRename>& plan() const { return m_plan; }
    int failureCount() const { return m_failures; }
    // Names whose first word is not a number (prefix removal: they stay under numbers only).
    int lostWordCount() const { return m_lostWords; }
    // Names that start with a number prefix (numbering: replacing numbers takes it off).
    int numberedCount() const { return m_numbered; }
    // Names whose number prefix has another width than most (prefix removal).
    int oddWidthCount() const { return m_oddWidths; }
    // Names the plan changes.
    int changedCount() const { return m_changed; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // What the row's note column says: a problem, a link, or what the choices do with it.
    QString note(const PlannedRename& planned) const;

    RunKind m_kind;
    QList<PlannedRename> m_plan;
    int m_failures = 0;
    int m_lostWords = 0;
    int m_numbered = 0;
    int m_oddWidths = 0;
    int m_changed = 0;
};
