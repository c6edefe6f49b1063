#pragma once
// The journal of renaming runs: before a run changes the first name, its whole plan is on
// disk, so the run can be reverted later, also after the process was killed half way.
//
// One file per run in <state folder>/journal/<folder identity>/, named by the run's start
// time so the names sort oldest first. A file holds the folder's path and identity and,
// per rename, the old and the new name as bytes, the object's identity (device, inode,
// birth time) and whether it is an AppleDouble companion; a CRC-32 closes the plan. The
// plan is written under a temporary name, synced and then given its real name. The end
// of the run is one small record appended after the last rename. Progress is not
// recorded: whether an item was renamed is read from the folder itself (the object with
// the recorded identity stands at the new name).
//
// Every field is checked on reading; a file that fails a check is refused as a whole.

#include "platform/Files.h"
#include "platform/StateFolder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

enum class RunKind : std::uint32_t { Numbering = 1, PrefixRemoval = 2 };

struct JournalEntry {
    QByteArray name;        // before the run
    QByteArray newName;     // what the run gives it
    FSRef identity;         // device, inode and birth time; the path is not kept
    bool companion = false; // the AppleDouble file of the entry before it
};

// A run's journal as read back.
struct JournalRun {
    QByteArray file;
    RunKind kind = RunKind::Numbering;
    std::int64_t startedMs = 0;     // milliseconds since the epoch
    QByteArray folderPath;
    FSRef folder;                   // identity only
    QList<JournalEntry> entries;    // in the order the run renames them
    bool finished = false;          // the end was recorded: the run was not interrupted
    bool cancelled = false;         // ended early at the user's request

    // The listed items the run was to rename (companions not counted).
    int itemCount() const { return items; }
    int items = 0;
};

// Writes one run's journal. The plan goes to the file as it is made, through a small
// buffer, so a plan of many items is never held in memory.
class RenameJournal
{
public:
    RenameJournal(const FSRef& folder, RunKind kind);
    ~RenameJournal();
    RenameJournal(const RenameJournal&) = delete;
    RenameJournal& operator=(const RenameJournal&) = delete;

    // Adds one planned rename to the plan.
    void add(QByteArrayView name, QByteArrayView newName, const FSRef& identity, bool companion);
    // Completes the plan and makes it durable under the journal's real name, then keeps
    // the 20 newest journals of the folder. False with *problem when it cannot: the run
    // must then rename nothing.
    bool commit(QString* problem);
    // Records the end of the run (cancelled: stopped early at the user's request).
    void finish(bool cancelled);

    const QByteArray& file() const { return m_file; }
    // The listed items in the plan (companions not counted).
    int itemCount() const { return m_items; }

private:
    bool open();
    bool flush();

    FSRef m_folder;
    RunKind m_kind;
    QByteArray m_buffer;            // the part of the plan not yet written
    std::uint32_t m_headerCrc = 0;  // CRC-32 of the header up to the count
    std::uint32_t m_entriesCrc = 0; // CRC-32 of the entries written so far
    qint64 m_entriesSize = 0;
    qsizetype m_countOffset = 0;
    std::uint32_t m_count = 0;
    int m_items = 0;
    QByteArray m_temporary;         // the plan's file until it is complete
    int m_error = 0;                // errno of the first failure to write the plan
    QByteArray m_file;
    int m_fd = -1;
};

// <state folder>/journal; with FolderCreation::Create the state folder is made when
// missing (*sysErrno, when given, says why it could not be).
QByteArray JournalRoot(FolderCreation creation, int* sysErrno = nullptr);
// The folder where the journals of this folder are kept (by its identity).
QByteArray JournalFolderFor(const FSRef& folder);
// The folder's journal files, newest first.
QList<QByteArray> JournalFiles(const FSRef& folder);
// The journal files in one journal folder, newest first.
QList<QByteArray> JournalFilesIn(const QByteArray& journalFolder);
// Reads and checks one journal; false with *problem (for people) when it is damaged,
// truncated or of an unknown version.
// withEntries false: every check is made, but the entries are only counted, not kept.
bool ReadJournal(const QByteArray& file, JournalRun* run, QString* problem, bool withEntries = true);
// How many journals are kept per folder.
inline constexpr int kJournalsKeptPerFolder = 20;
