#include "renaming/RenamePlan.h"

#include "platform/NameCodec.h"

#include <QHash>

#include <algorithm>

QList<PlannedRename> PlanRun(RunKind kind, QList<FSRef> items, const NumberingSettings& settings, PrefixRule rule)
{
    const NumberPrefixSurvey survey = SurveyNumberPrefixes(items);
    QList<PlannedRename> plan;
    plan.reserve(items.size());
    QHash<QString, qsizetype> rowOf;   // an item's name -> its row
    QHash<QString, QString> notes;
    for (const FSRef& item : std::as_const(items)) {
        PlannedRename row;
        row.name = DecodeFileName(item.nameBytes());
        row.newName = row.name;
        row.lostWord = HasFirstWordThatIsNotANumber(item.nameBytes());
        const qsizetype width = NumberPrefixLength(item.nameBytes());
        row.numbered = width > 0;
        row.oddWidth = kind == RunKind::PrefixRemoval && width > 0 && width != survey.commonWidth;
        rowOf.insert(row.name, plan.size());
        plan.append(std::move(row));
    }
    RenameRun run;
    run.dryRun = true;
    run.renamed = [&](const QString& name, const QString& newName) {
        if (const auto it = rowOf.constFind(name); it != rowOf.constEnd())
            plan[*it].newName = newName;
    };
    run.failed = [&](const RenameFailure& failure) {
        if (const auto it = rowOf.constFind(failure.name); it != rowOf.constEnd()) {
            plan[*it].newName = failure.newName;
            plan[*it].problem = failure.reason;
        }
    };
    run.noted = [&](const QString& name, const QString& note) { notes.insert(name, note); };
    if (kind == RunKind::Numbering)
        NumberItems(items, settings, run);
    else
        RemoveNumberPrefixes(items, rule, run);
    for (auto it = notes.cbegin(); it != notes.cend(); ++it) {
        if (const auto row = rowOf.constFind(it.key()); row != rowOf.constEnd())
            plan[*row].note = it.value();
    }
    return plan;
}

bool HasNumberPrefix(QStringView name)
{
    return NumberPrefixLength(EncodeFileName(name.toString())) > 0;
}

RunChoice ProposedChoice(RunKind kind, const QList<FSRef>& items)
{
    RunChoice choice;
    if (kind == RunKind::Numbering)
        choice.replaceNumbers = SurveyNumberPrefixes(items).looksNumbered();
    return choice;
}

QList<FSRef> ItemsForRemoval(QList<FSRef> items, const RunChoice& choice)
{
    if (!choice.keepOddWidths)
        return items;
    const int common = SurveyNumberPrefixes(items).commonWidth;
    items.removeIf([common](const FSRef& item) {
        const qsizetype width = NumberPrefixLength(item.nameBytes());
        return width > 0 && width != common;
    });
    return items;
}

bool RemovalNeedsAChoice(const QList<FSRef>& items)
{
    const NumberPrefixSurvey survey = SurveyNumberPrefixes(items);
    if (!survey.oneWidth)
        return true;
    return std::any_of(items.cbegin(), items.cend(),
                       [](const FSRef& item) { return HasFirstWordThatIsNotANumber(item.nameBytes()); });
}
