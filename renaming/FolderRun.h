#pragma once
// How the window and ordinello-cli work on a folder, one way for both: check the folder,
// read the numbering settings once, then run numbering or prefix removal journaled under
// the folder's run lock (progress and cancel through RenameRun), or undo (UndoRun.h).
// Dry runs and previews need no lock: they call NumberItems / RemoveNumberPrefixes with
// RenameRun::dryRun, or PlanRun.

#include "renaming/DirectoryItems.h"
#include "renaming/Numbering.h"
#include "renaming/RenameJournal.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// The folder a person named (a link to a folder is followed), made into a reference.
// noErr, or why not: it is missing, not a folder, ... (*sysErrno says which errno).
OSErr CheckFolder(QByteArrayView path, FSRef* folder, int* sysErrno = nullptr);

// The width the automatic number length gives `count` items: the count's number of
// digits, whatever the numbers printed.
int AutomaticNumberWidth(qsizetype count);
// The numbering settings the preferences hold now, for a run over `count` items: read once.
NumberingSettings NumberingSettingsFromPreferences(qsizetype count);

// The last number a numbering of `count` items would give (first + (count - 1) * step)
// when it lies outside the signed 32-bit range, where the running number wraps to the
// other end; nothing when every number fits. The numbers only grow or only shrink, so
// the last one is the one to check. Both front ends refuse such a run before it starts.
std::optional<std::int64_t> NumberBeyond32Bits(const NumberingSettings& settings, qsizetype count);

// A real run on one folder. It holds the folder's run lock from begin() until it is
// destroyed: no other run (another window, ordinello-cli) changes the folder between the
// listing and the last rename, and what an interrupted run left half done is put right
// first. One run (number or removePrefixes) per FolderRun.
class FolderRun
{
public:
    // Null with *problem when another run holds the folder (it waits briefly first) or the
    // lock cannot be made.
    static std::unique_ptr<FolderRun> begin(const FSRef& folder, QString* problem);
    ~FolderRun();

    // The folder's items as the window lists them, read under the lock (see
    // ListDirectoryItemRefs).
    OSErr list(QList<FSRef>* items, ListOrder order = ListOrder::FileManager, int* sysErrno = nullptr,
               QSet<QByteArray>* companionNames = nullptr) const;

    // Numbering and prefix removal, journaled: the whole plan is on disk before the first
    // rename. A journal that cannot be written renames nothing (report.journalProblem).
    // Numbering that renamed items and ran to its end forgets the folder's arranged order
    // (see ArrangedOrder.h): the names keep it from then on.
    RenameReport number(QList<FSRef>& items, const NumberingSettings& settings, RenameRun run = {});
    RenameReport removePrefixes(QList<FSRef>& items, PrefixRule rule, RenameRun run = {});

    // The journal the run wrote; empty when it renamed nothing (no undo to offer).
    const QByteArray& journalFile() const { return m_journalFile; }

private:
    FolderRun(const FSRef& folder, std::unique_ptr<FolderRunLock> lock);
    FSRef m_folder;
    std::unique_ptr<FolderRunLock> m_lock;
    QByteArray m_journalFile;
};
