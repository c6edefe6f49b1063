#include "app/RenamePlanModel.h"

#include "platform/NameCodec.h"

#include <QBrush>
#include <QCoreApplication>
#include <QPalette>

RenamePlanModel::RenamePlanModel(QList<PlannedRename> plan, QObject* parent)
    : QAbstractTableModel(parent)
    , m_plan(std::move(plan))
{
    for (const PlannedRename& planned : std::as_const(m_plan)) {
        m_failures += planned.problem.isEmpty() ? 0 : 1;
        m_lostWords += planned.lostWord ? 1 : 0;
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
        case NoteColumn:
            if (!planned.problem.isEmpty())
                return planned.problem;
            if (planned.lostWord)
                return QCoreApplication::translate("LocalizedStrings", "the removed first word is not a number");
            return {};
        }
    }
    if (role == Qt::ForegroundRole && (!planned.problem.isEmpty() || planned.lostWord))
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
