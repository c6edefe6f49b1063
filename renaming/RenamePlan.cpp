#include "renaming/RenamePlan.h"

QList<PlannedRename> PlanRun(RunKind kind, QList<FSRef> items, const NumberingSettings& settings)
{
    QList<PlannedRename> plan;
    plan.reserve(items.size());
    RenameRun run;
    run.dryRun = true;
    run.renamed = [&](const QString& name, const QString& newName) {
        PlannedRename planned{name, newName, {}, false};
        planned.lostWord = kind == RunKind::PrefixRemoval && !HasNumberPrefix(name);
        plan.append(std::move(planned));
    };
    run.failed = [&](const RenameFailure& failure) {
        PlannedRename planned{failure.name, failure.newName, failure.reason, false};
        planned.lostWord = kind == RunKind::PrefixRemoval && !failure.newName.isEmpty() && !HasNumberPrefix(failure.name);
        plan.append(std::move(planned));
    };
    if (kind == RunKind::Numbering)
        NumberItems(items, settings, run);
    else
        RemoveNumberPrefixes(items, run);
    return plan;
}

bool HasNumberPrefix(QStringView name)
{
    const qsizetype blank = name.indexOf(u' ');
    if (blank <= 0)
        return false;
    bool digit = false;
    for (const QChar c : name.first(blank)) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c != u'-')
            return false;
    }
    return digit;
}
