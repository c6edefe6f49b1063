#pragma once
// Sequence numbering and prefix removal: the one implementation behind the window's
// commands and ordinello-cli's rename and strip.
//
// A run walks the items in the order given and renames each in place: numbering puts
// "<number> " in front of the name, prefix removal takes off everything up to and
// including the first blank. Nothing is ever replaced (see FSRenameUnicode), every byte
// of a name beyond the prefix survives, and an item whose rename fails is skipped and
// reported while the run goes on. An AppleDouble companion ("._<name>", as Macs leave
// on shared folders) is renamed with its item.

#include "platform/Files.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// The number as a signed 32-bit decimal, padded with zeros on the left to at least
// `width` characters and never cut; zeros stand before a minus sign (-5 at width 6 is
// "0000-5"). A width of 0 or less pads nothing. Cost is linear in the width.
QString FormatNumber(std::uint32_t number, int width);

// Takes one prefix off the item's name, with its companion; on a refused rename sounds
// the system alert and leaves both as they were. *reason, when given, receives why it
// failed (empty on success, also when the name has no blank).
OSErr RemovePrefixFromFilename(FSRef* item, QString* reason = nullptr);

struct RenameFailure {
    QString name;       // the item's name when listed (lossless)
    QString newName;    // the name it was to get; empty when it was not reached
    int error = 0;      // errno of the refusal
    QString reason;     // for people: "an item with that name already exists", ...
};

struct RenameReport {
    int handled = 0;    // items renamed, or left as they were because nothing was to change
    int renamed = 0;    // items whose name changed (a dry run: would change), companions not counted
    QList<RenameFailure> failures;
    bool cancelled = false;     // stopped early when asked (see RenameRun::progress)
    // Set when the journal could not be written: then nothing was renamed.
    QString journalProblem;

    // "name: reason", one per failure, names made readable.
    QStringList failureLines() const;
};

class RenameJournal;

// What a run does next, asked before each item.
enum class RunControl {
    Continue,
    Cancel,     // stop before this item; the journal records the end
    Abandon,    // tests only: stop as a killed process would, recording nothing more
};

struct RenameRun {
    // Decide and report everything, change nothing: the names a real run would give
    // and the refusals it would meet as far as they can be known beforehand.
    bool dryRun = false;
    // Told of each rename as it is done (or, in a dry run, planned), companions
    // included, with the old and the new name.
    std::function<void(const QString& name, const QString& newName)> renamed;
    // Told of each failure as it happens.
    std::function<void(const RenameFailure& failure)> failed;
    // Asked before each item with the number of items done so far and the total.
    std::function<RunControl(qsizetype done, qsizetype total)> progress;
    // When given (and not a dry run), the whole plan, companions included, is written to
    // it and synced before the first rename, and the end is recorded after the last. A
    // journal that cannot be written stops the run before it renames anything.
    RenameJournal* journal = nullptr;
    // The "._" names the listing found in the items' folder (see ListDirectoryItemRefs),
    // when the items were listed just before: companions are then looked up without
    // reading the folder again. Null: the folder is read when the run needs it.
    const QSet<QByteArray>* listedCompanionNames = nullptr;
};

// What a numbering run reads from the preferences (see NumberingSettingsFromPreferences),
// once per run.
struct NumberingSettings {
    std::int32_t firstNumber = 1;
    std::int32_t step = 1;          // the sum wraps at 32 bits
    int width = 0;                  // widths below 0 count as 0
};

// Numbers the items in list order: item i gets firstNumber + i * step whether or not
// the items before it could be renamed. References are updated to the renamed objects.
// An item is renamed only while its path still names the identity in its reference.
RenameReport NumberItems(QList<FSRef>& items, const NumberingSettings& settings, const RenameRun& run = {});

// Takes one prefix off each item's name, in list order. Items without a blank count as
// handled and are left alone.
RenameReport RemoveNumberPrefixes(QList<FSRef>& items, const RenameRun& run = {});
