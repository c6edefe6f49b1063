#include "app/RenamePlanModel.h"

#include "platform/NameCodec.h"

#include <QBrush>
#include <QCoreApplication>
#include <QPalette>

RenamePlanModel::RenamePlanModel(RunKind kind, QList<PlannedRename> plan, QObject* parent)
    : QAbstractTableModel(parent)
    , m_kind(kind)
    , m_plan(std::move(plan))
{
    for (const PlannedRename& planned : std::as_const(m_plan)) {
        m_failures += planned.problem.isEmpty() ? 0 : 1;
        m_changed += planned.problem.isEmpty() && planned.newName != planned.name ? 1 : 0;
        m_lostWords += kind == RunKind::PrefixRemoval && planned.lostWord ? 1 : 0;
        m_numbered += kind == RunKind::Numbering && planned.numbered ? 1 : 0;
        m_oddWidths += planned.oddWidth ? 1 : 0;
    }
}

int RenamePlanModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_plan.size());
}

int RenamePlanModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString RenamePlanModel::note(const PlannedRename& planned) const
{
    if (!planned.problem.isEmpty())
        return planned.problem;
    if (!planned.note.isEmpty())
        return planned.note;
    if (planned.oddWidth)
        return QCoreApplication::translate("LocalizedStrings", "a number of another width than most");
    if (m_kind == RunKind::PrefixRemoval && planned.lostWord)
        return QCoreApplication::translate("LocalizedStrings", "first word is not a number");
    if (m_kind == RunKind::Numbering && planned.numbered)
        return QCoreApplication::translate("LocalizedStrings", "already starts with a number");
    return {};
}

QVariant RenamePlanModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PlannedRename& planned = m_plan.at(index.row());
    // Tool tips show what a narrow column cuts off.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case NameColumn: return DisplayFileName(planned.name);
        case NewNameColumn: return DisplayFileName(planned.newName);
        case NoteColumn: return note(planned);
        }
    }
    if (role == Qt::ForegroundRole && !note(planned).isEmpty())
        return QBrush(planned.problem.isEmpty() ? QColor(0xa0, 0x60, 0x00) : QColor(0xc0, 0x10, 0x10));
    return {};
}

QVariant RenamePlanModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn: return QCoreApplication::translate("LocalizedStrings", "Current Name");
    case NewNameColumn: return QCoreApplication::translate("LocalizedStrings", "New Name");
    case NoteColumn: return QCoreApplication::translate("LocalizedStrings", "Note");
    }
    return {};
}
