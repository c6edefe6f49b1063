#pragma once
// Undo: reverts the last journaled run in a folder (see RenameJournal), the window's
// Edit ▸ Undo and ordinello-cli undo alike.
//
// Each rename is reverted, last renamed first, only while the object at the new name is
// still the one the run renamed and the old name is free; an existing item is never
// replaced. An item the run never reached (it was interrupted or cancelled, or the rename
// failed) is found under its old name by its identity and left alone. What cannot be
// reverted is reported per item and the rest is reverted. The journal then keeps only
// what was not reverted (a second undo tries it again); when everything was, it is
// removed, so the next undo reverts the run before. A real undo holds the folder's run
// lock throughout.

#include "renaming/Numbering.h"
#include "renaming/RenameJournal.h"

struct UndoResult {
    enum class Status {
        Undone,         // the report says what was reverted and what was not
        NothingToUndo,  // no journaled run in this folder
        Refused,        // the journal is damaged or of another folder: nothing renamed
        Busy,           // another run holds the folder (or its lock cannot be made): nothing renamed
    };
    Status status = Status::NothingToUndo;
    QString problem;        // Refused: why, for people; Undone: set when the journal could
                            // not keep what was not reverted
    JournalRun run;         // the run that was (or, in a dry run, would be) reverted
    RenameReport report;
    // Items the run renamed that were left as they were because someone gave them their
    // old names back since (where the run's end was recorded; else also the items it
    // never reached). Companions not counted.
    int alreadyUnderOldName = 0;
};

// The run an undo would revert now, read and checked. False when there is none (then
// *problem is empty) or when its journal is damaged (*problem says why).
// JournalDetail::Summary: header and end only (for the menu text).
bool LastJournaledRun(const FSRef& folder, JournalRun* run, QString* problem,
                      JournalDetail detail = JournalDetail::Entries);

// Reverts the folder's last run. RenameRun::dryRun decides and reports without renaming;
// renamed/failed/progress are told as in a renaming run.
UndoResult UndoLastRun(const FSRef& folder, const RenameRun& run = {});

// The window's menu text for undoing the run: "Undo Numbering of 1,204 Items".
QString UndoActionText(const JournalRun& run);

// The runs, in any folder, whose journal is the folder's newest and has no end: the
// program stopped in the middle of them. Only folders that still exist where they were.
QList<JournalRun> InterruptedRuns();
