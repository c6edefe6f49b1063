#pragma once
// A run planned without renaming anything: what the preview sheet lists and what a dry run
// prints, made by the same code as the run, so the plan shows what the run does (the
// renames it will refuse included).

#include "renaming/Numbering.h"
#include "renaming/RenameJournal.h"

#include <QList>
#include <QString>

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
