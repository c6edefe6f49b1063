#pragma once
// The journal of renaming runs: before a run changes the first name, its whole plan is on
// disk, so the run can be reverted later, also after the process was killed half way.
//
// One file per run in <state folder>/journal/<folder key>/, named by a sequence number
// that grows with each run in that folder (never by the clock, which can step back). The
// key is made of what survives re-attaching the disk: the folder's inode and birth time
// (or its file handle), not the device number. A file holds the folder's path, identity
// and file handle and, per rename, the old and the new name as bytes, the object's
// identity (device, inode, birth time) and whether it is an AppleDouble companion; a
// CRC-32 closes the plan. The plan is written to an unnamed (or temporary) file, synced
// and then given its real name. The end of the run is one small record appended after the
// last rename, with the number of items renamed. Progress is not recorded: whether an
// item was renamed is read from the folder itself (the object with the recorded identity
// stands at the new name).
//
// Every field is checked on reading; a file that fails a check is refused as a whole.
// Files are read as a stream: whatever size the writer wrote, the reader reads.
//
// One run at a time changes a folder: runs and undos hold the folder's run lock
// (FolderRunLock) from before they list until their journal is closed.

#include "platform/FileDescriptor.h"
#include "platform/Files.h"
#include "platform/StateFolder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

enum class RunKind : std::uint32_t { Numbering = 1, PrefixRemoval = 2 };

struct JournalEntry {
    QByteArray name;        // before the run
    QByteArray newName;     // what the run gives it
    FSRef identity;         // device, inode and birth time; the path is not kept
    bool companion = false; // the AppleDouble file of the entry before it
};

// A run's entries, kept compactly: the names in one block of bytes, the identities beside
// them, so a journal of a million renames costs about what its file does. Entries are
// made on request.
class JournalEntries
{
public:
    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    void reserve(qsizetype count) { m_entries.reserve(size_t(count)); }
    void append(const JournalEntry& entry);
    JournalEntry at(qsizetype i) const;
    QByteArrayView name(qsizetype i) const;
    QByteArrayView newName(qsizetype i) const;
    bool isCompanion(qsizetype i) const { return m_entries[size_t(i)].companion; }
    // Every identity on device `from` is on device `to` (a disk attached again).
    void moveToDevice(dev_t from, dev_t to);

    class const_iterator
    {
    public:
        const_iterator(const JournalEntries* entries, qsizetype i) : m_entries(entries), m_i(i) {}
        JournalEntry operator*() const { return m_entries->at(m_i); }
        const_iterator& operator++()
        {
            ++m_i;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return m_i != other.m_i; }

    private:
        const JournalEntries* m_entries;
        qsizetype m_i;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    struct Entry {
        qsizetype nameAt = 0;       // in m_names; the new name follows the name
        std::uint16_t nameSize = 0;
        std::uint16_t newNameSize = 0;
        bool companion = false;
        bool hasBirthTime = false;
        std::uint32_t birthNanoseconds = 0;
        dev_t device = 0;
        ino_t inode = 0;
        std::int64_t birthSeconds = 0;
    };
    std::vector<Entry> m_entries;
    QByteArray m_names;
};

// A run's journal as read back.
struct JournalRun {
    QByteArray file;
    RunKind kind = RunKind::Numbering;
    std::int64_t startedMs = 0;     // milliseconds since the epoch, for people only
    std::uint64_t sequence = 0;     // orders the runs of a folder
    QByteArray folderPath;
    FSRef folder;                   // identity only
    QByteArray folderHandle;        // empty where the file system gives none
    JournalEntries entries;         // in the order the run renames them
    bool finished = false;          // the end was recorded: the run was not interrupted
    bool cancelled = false;         // ended early at the user's request
    int renamed = -1;               // finished runs: the items it renamed; -1 unknown

    // The listed items the run was to rename (companions not counted).
    int itemCount() const { return items; }
    int items = 0;
    // The items to name in the undo command: those renamed where known, else the plan's.
    int undoableCount() const { return renamed >= 0 ? renamed : items; }
};

// Holds a folder's run lock: an exclusive flock on a lock file beside the folder's
// journals, so two runs (two windows, the window and ordinello-cli) never change one
// folder at once. Released when destroyed.
class FolderRunLock
{
public:
    // Takes the lock, waiting up to `wait` for another run to end. Null with *problem
    // ("another run is changing this folder", or why the lock file cannot be made).
    static std::unique_ptr<FolderRunLock> acquire(const FSRef& folder, QString* problem,
                                                  std::chrono::milliseconds wait = std::chrono::seconds(2));
    // Like acquire, then puts right what the folder's last run left when it was cut short
    // in the middle of a rename (see UndoInterruptedRename): every run and undo starts so.
    static std::unique_ptr<FolderRunLock> acquireForRun(const FSRef& folder, QString* problem,
                                                        std::chrono::milliseconds wait = std::chrono::seconds(2));

private:
    FolderRunLock() = default;
    FileDescriptor m_fd;
};

// Writes one run's journal. The plan goes to the file as it is made, through a small
// buffer, so a plan of many items is never held in memory. The caller holds the folder's
// run lock.
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
    // Records the end of the run (cancelled: stopped early at the user's request) and how
    // many items it renamed. A run that renamed nothing leaves no journal: there is
    // nothing to undo.
    void finish(bool cancelled, int renamed);

    const QByteArray& file() const { return m_file; }
    // The listed items in the plan (companions not counted).
    int itemCount() const { return m_items; }

    // Replaces the run's journal by one holding only `entries` (what an undo could not
    // revert), ended and with that count; with no entries the journal is removed.
    static bool rewrite(const JournalRun& run, const QList<JournalEntry>& entries, QString* problem);

private:
    bool open();
    bool flush();

    FSRef m_folder;
    QByteArray m_folderHandle;
    RunKind m_kind;
    QByteArray m_buffer;            // the part of the plan not yet written
    std::uint32_t m_headerCrc = 0;  // CRC-32 of the header up to the counts
    std::uint32_t m_entriesCrc = 0; // CRC-32 of the entries written so far
    qint64 m_entriesSize = 0;
    qsizetype m_countOffset = 0;
    std::uint32_t m_count = 0;
    std::uint32_t m_items = 0;
    std::uint64_t m_sequence = 0;
    QByteArray m_dir;               // the folder's journal folder
    QByteArray m_temporary;         // the plan's named temporary file, where one is used
    int m_error = 0;                // errno of the first failure to write the plan
    QByteArray m_file;
    FileDescriptor m_fd;
};

// <state folder>/journal; with FolderCreation::Create the state folder is made when
// missing (*sysErrno, when given, says why it could not be).
QByteArray JournalRoot(FolderCreation creation, int* sysErrno = nullptr);
// The folder where the journals of this folder are kept (by its identity).
QByteArray JournalFolderFor(const FSRef& folder);
// The name the program's state about a folder is kept under (its journals, its arranged
// order): made of what survives re-attaching its disk, the inode with the birth time or
// the file handle, not the device number.
QByteArray FolderStateKey(const FSRef& folder);
// The folder's journal files, newest first.
QList<QByteArray> JournalFiles(const FSRef& folder);
// The journal files in one journal folder, newest first. Only regular files count.
QList<QByteArray> JournalFilesIn(const QByteArray& journalFolder);

enum class JournalDetail {
    Entries,    // every field checked, the entries kept
    Summary,    // the header and the end only: kind, folder, counts, finished (cheap)
};
// Reads and checks one journal; false with *problem (for people) when it is damaged,
// truncated or of an unknown version.
bool ReadJournal(const QByteArray& file, JournalRun* run, QString* problem,
                 JournalDetail detail = JournalDetail::Entries);
// Whether the journal belongs to the folder: the same inode, and the same birth time and
// file handle where both sides know them. The device number may differ (the disk was
// attached again as another device); then the journal's entries are given the folder's
// device. With nothing but the inode to go by, the path must match too.
bool JournalIsOfFolder(JournalRun* run, const FSRef& folder);
// How many journals are kept per folder.
inline constexpr int kJournalsKeptPerFolder = 20;

// Tests only: the clock the journal reads its start times from (milliseconds since the
// epoch). Pass an empty function to use the system's clock again.
void SetJournalClockForTesting(std::function<std::int64_t()> clock);
