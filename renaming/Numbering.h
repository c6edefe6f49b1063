#pragma once
// Sequence numbering and prefix removal: the one implementation behind the window's
// commands and ordinello-cli's rename and strip.
//
// A run walks the items in the order given and renames each in place: numbering puts
// "<number> " in front of the name (or in place of the number prefix it has), prefix
// removal takes off the number prefix (or whatever stands before the first blank).
// Nothing is ever replaced (see FSRenameUnicode), every byte of a name beyond the prefix
// survives, and an item whose rename fails is skipped and reported while the run goes on.
// An AppleDouble companion ("._<name>", as Macs leave on shared folders) is renamed with
// its item. A number prefix is what numbering writes: one or more ASCII digits (with a
// minus sign after any leading zeros, for a negative number: "0000-5") and one blank.

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

// The length of the number prefix the name starts with, without its blank; 0 when it has
// none.
qsizetype NumberPrefixLength(QByteArrayView name);
// True when the name has a blank and what stands before the first one is not a number
// prefix: removing any first word would take a word off it.
bool HasFirstWordThatIsNotANumber(QByteArrayView name);

// The number prefixes among a folder's names, for choosing what a run should do by default.
struct NumberPrefixSurvey {
    int names = 0;          // names looked at
    int numbered = 0;       // names that start with a number prefix
    int commonWidth = 0;    // the width most of those prefixes have (the shortest of a tie)
    bool oneWidth = true;   // every prefix has that width
    // A set numbered before (maybe with a few items added since): at least half of the
    // names carry a number prefix, all of one width. Replacing the numbers is then what
    // the user most likely means.
    bool looksNumbered() const { return numbered > 0 && 2 * numbered >= names && oneWidth; }
};
NumberPrefixSurvey SurveyNumberPrefixes(const QList<FSRef>& items);

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
    // Told of what is worth saying about an item beyond its rename: a name prefix removal
    // of numbers only leaves as it is ("left unchanged: first word is not a number"), a
    // symbolic link whose target the run renames ("points at an item being renamed").
    std::function<void(const QString& name, const QString& note)> noted;
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
// once per run, and how it treats names that already start with a number.
struct NumberingSettings {
    std::int32_t firstNumber = 1;
    std::int32_t step = 1;          // the sum wraps at 32 bits
    int width = 0;                  // widths below 0 count as 0
    // A name's number prefix is replaced by the new number ("0005 Beach.jpg" as item 2 at
    // width 2 becomes "02 Beach.jpg"); otherwise the number goes in front of it, so
    // numbering twice stacks prefixes ("1 1 a.txt").
    bool replaceNumbers = false;
};

// Which prefix a removal takes off.
enum class PrefixRule {
    NumbersOnly,    // a number prefix; other names stay (and are noted when a first word stays)
    AnyFirstWord,   // whatever stands before the first blank, as the classic command did
};

// Numbers the items in list order: item i gets firstNumber + i * step whether or not
// the items before it could be renamed. References are updated to the renamed objects.
// An item is renamed only while its path still names the identity in its reference.
RenameReport NumberItems(QList<FSRef>& items, const NumberingSettings& settings, const RenameRun& run = {});

// Takes one prefix off each item's name, in list order. Items without a prefix the rule
// takes count as handled and are left alone.
RenameReport RemoveNumberPrefixes(QList<FSRef>& items, PrefixRule rule, const RenameRun& run = {});
