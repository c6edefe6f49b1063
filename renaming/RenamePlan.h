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
    QString newName;        // equal to name when the item stays as it is
    QString problem;        // why the rename will fail; empty when it will be done
    QString note;           // worth saying beyond the rename (a link that will dangle, ...)
    // The name starts with a first word that is not a number: removing any first word
    // would take it off (prefix removal), and it stays under numbers only.
    bool lostWord = false;
    // The name starts with a number prefix: replacing numbers would take it off
    // (numbering); for prefix removal, its width differs from most (a year such as
    // "2019 Holiday.jpg" among "01"–"40"), so it may not be a number this program wrote.
    bool numbered = false;
    bool oddWidth = false;
};

// What a run does with names that already carry a number prefix or a first word: the
// user's choice in the preview, or the default the items suggest.
struct RunChoice {
    bool replaceNumbers = false;                    // numbering: replace numbers, else add
    PrefixRule rule = PrefixRule::NumbersOnly;      // prefix removal
    // Prefix removal: a number prefix whose width differs from most (a year such as
    // "2019 Holiday.jpg" in a set numbered "01"–"40") stays.
    bool keepOddWidths = true;
};
// The default for these items: replace numbers when the names look numbered by this
// program (NumberPrefixSurvey::looksNumbered), add them otherwise; remove numbers only.
RunChoice ProposedChoice(RunKind kind, const QList<FSRef>& items);
// The items a prefix removal works on under the choice: without those whose number
// prefix has another width than most, when they are kept.
QList<FSRef> ItemsForRemoval(QList<FSRef> items, const RunChoice& choice);
// Whether a prefix removal of these items must be shown before it runs, whatever the
// preferences say: some names start with a first word that is not a number, or with a
// number of another width than most.
bool RemovalNeedsAChoice(const QList<FSRef>& items);

// Plans the run without renaming anything: one row per item, in list order.
QList<PlannedRename> PlanRun(RunKind kind, QList<FSRef> items, const NumberingSettings& settings = {},
                             PrefixRule rule = PrefixRule::NumbersOnly);

// True when the name starts with a number prefix as numbering writes them (see
// NumberPrefixLength).
bool HasNumberPrefix(QStringView name);
