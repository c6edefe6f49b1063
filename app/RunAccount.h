#pragma once
// What one numbering, prefix removal or undo did, as the window tells it: how far it
// went, what it changed, and which items it could not change and why.

#include <QMetaType>
#include <QStringList>

struct RunAccount {
    bool undo = false;
    qsizetype total = 0;        // items the run was given (an undo: the journal's)
    int handled = 0;            // items renamed, or already as they were to be
    bool cancelled = false;     // stopped early at the user's request...
    qsizetype reached = 0;      // ...after this many of the total
    int alreadyUnderOldName = 0;    // an undo: items left alone, already under their old names
    // The items that could not be renamed (lossless names), and why, side by side.
    QStringList names;
    QStringList reasons;
};
Q_DECLARE_METATYPE(RunAccount)
