#include "renaming/RenameJournal.h"

#include "platform/LittleEndian.h"
#include "platform/StateFolder.h"
#include "support/LocalizedStrings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMutex>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// The format, all numbers little-endian:
//   plan:  "ORDJRNL\n" u32 version, u32 kind, i64 start (ms), [v2: u64 sequence],
//          bytes folder path, identity folder, [v2: bytes folder handle], u32 count,
//          [v2: u32 items], count x (u8 flags, bytes name, bytes new name, identity),
//          u32 CRC-32 of everything before it
//   end:   "ORDJEND\n" u32 flags (1: cancelled), [v2: u32 items renamed],
//          u32 CRC-32 of the bytes before it in the record
//   bytes = u32 length + the bytes; identity = u64 device, u64 inode, u8 has birth time,
//           i64 birth seconds, u32 birth nanoseconds
// Version 1 (no sequence, handle or counts of items) is still read.
constexpr char kPlanMagic[] = "ORDJRNL\n";
constexpr char kEndMagic[] = "ORDJEND\n";
constexpr std::uint32_t kVersion = 2;
constexpr int endSize(std::uint32_t version) { return version >= 2 ? 8 + 4 + 4 + 4 : 8 + 4 + 4; }
constexpr std::uint8_t kCompanionFlag = 1;
constexpr std::uint32_t kCancelledFlag = 1;
constexpr std::uint32_t kMaxHandleSize = 128;
constexpr qsizetype kIdentitySize = 8 + 8 + 1 + 8 + 4;
// An entry takes at least: flags, two names of one byte with their lengths, an identity.
constexpr qsizetype kMinEntrySize = 1 + 2 * (4 + 1) + kIdentitySize;
// An entry: flags, two names of at most NAME_MAX bytes with their lengths, an identity.
constexpr qsizetype kMaxEntrySize = 1 + 2 * (4 + NAME_MAX) + kIdentitySize;
// The plan goes out, and is read back, in pieces of this size.
constexpr qsizetype kChunk = qsizetype(64) << 10;

QMutex gClockLock;
std::function<std::int64_t()> gClock;

std::int64_t now()
{
    QMutexLocker lock(&gClockLock);
    return gClock ? gClock() : QDateTime::currentMSecsSinceEpoch();
}

template <typename T>
char* store(char* out, T value)
{
    const T le = qToLittleEndian(value);
    std::memcpy(out, &le, sizeof le);
    return out + sizeof le;
}

char* storeBytes(char* out, QByteArrayView bytes)
{
    out = store<std::uint32_t>(out, std::uint32_t(bytes.size()));
    std::memcpy(out, bytes.data(), size_t(bytes.size()));
    return out + bytes.size();
}

char* storeIdentity(char* out, const FSRef& ref)
{
    out = store<std::uint64_t>(out, std::uint64_t(ref.device));
    out = store<std::uint64_t>(out, std::uint64_t(ref.inode));
    out = store<std::uint8_t>(out, ref.hasBirthTime ? 1 : 0);
    out = store<std::int64_t>(out, ref.birthSeconds);
    return store<std::uint32_t>(out, ref.birthNanoseconds);
}

void putBytes(QByteArray& out, QByteArrayView bytes)
{
    AppendLittleEndian<std::uint32_t>(out, std::uint32_t(bytes.size()));
    out.append(bytes);
}

void putIdentity(QByteArray& out, const FSRef& ref)
{
    const qsizetype at = out.size();
    out.resize(at + kIdentitySize);
    storeIdentity(out.data() + at, ref);
}

std::uint32_t crcAppend(std::uint32_t crc, QByteArrayView bytes)
{
    // zlib takes lengths as uInt: feed large pieces in parts.
    uLong value = crc;
    for (qsizetype done = 0; done < bytes.size();) {
        const qsizetype piece = std::min<qsizetype>(bytes.size() - done, qsizetype(1) << 30);
        value = ::crc32(value, reinterpret_cast<const Bytef*>(bytes.data() + done), uInt(piece));
        done += piece;
    }
    return std::uint32_t(value);
}

std::uint32_t crcOf(QByteArrayView bytes)
{
    return crcAppend(std::uint32_t(::crc32(0L, Z_NULL, 0)), bytes);
}

// Reads a journal from its file as a stream, a piece at a time, keeping the CRC of what
// it has read. Fails (and stays failed) at the first field the file cannot give.
class Reader
{
public:
    explicit Reader(int fd) : m_fd(fd) { m_crc = crcOf({}); }

    template <typename T>
    bool get(T* value)
    {
        char bytes[sizeof(T)];
        if (!take(bytes, sizeof bytes))
            return false;
        T le;
        std::memcpy(&le, bytes, sizeof le);
        *value = qFromLittleEndian(le);
        return true;
    }

    bool getBytes(QByteArray* bytes, std::uint32_t maxLength)
    {
        std::uint32_t length = 0;
        if (!get(&length) || length > maxLength)
            return m_ok = false;
        bytes->resize(length);
        return take(bytes->data(), length);
    }

    bool getIdentity(FSRef* ref)
    {
        std::uint64_t device = 0, inode = 0;
        std::uint8_t hasBirth = 0;
        get(&device);
        get(&inode);
        get(&hasBirth);
        get(&ref->birthSeconds);
        get(&ref->birthNanoseconds);
        if (hasBirth > 1)
            m_ok = false;
        ref->device = dev_t(device);
        ref->inode = ino_t(inode);
        ref->hasBirthTime = hasBirth == 1;
        return m_ok;
    }

    // The CRC of everything read so far.
    std::uint32_t crc()
    {
        settleCrc();
        return m_crc;
    }
    // Whatever is left, up to limit bytes; more than that fails.
    bool rest(QByteArray* out, qsizetype limit)
    {
        out->clear();
        for (;;) {
            out->append(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
            m_crcFrom = m_pos = m_buffer.size();
            if (out->size() > limit)
                return m_ok = false;
            if (!fill())
                return m_ok && out->size() <= limit;
        }
    }
    bool ok() const { return m_ok; }

private:
    bool take(char* out, qsizetype size)
    {
        while (m_ok && size > 0) {
            if (m_pos == m_buffer.size() && !fill())
                return m_ok = false;
            const qsizetype n = std::min(size, m_buffer.size() - m_pos);
            std::memcpy(out, m_buffer.constData() + m_pos, size_t(n));
            m_pos += n;
            out += n;
            size -= n;
        }
        return m_ok;
    }

    void settleCrc()
    {
        m_crc = crcAppend(m_crc, QByteArrayView(m_buffer).sliced(m_crcFrom, m_pos - m_crcFrom));
        m_crcFrom = m_pos;
    }

    // The next piece of the file; false at its end or on an error.
    bool fill()
    {
        settleCrc();
        m_buffer = ReadAtMost(m_fd, kChunk);
        m_pos = m_crcFrom = 0;
        return !m_buffer.isEmpty();
    }

    int m_fd;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_crcFrom = 0;
    std::uint32_t m_crc = 0;
    bool m_ok = true;
};

bool validName(const QByteArray& name)
{
    return !name.isEmpty() && name.size() <= NAME_MAX && name != "." && name != ".." && !name.contains('/')
           && !name.contains('\0');
}

// Writes all the bytes at the file's position, or at `offset` when it is not negative.
bool writeAll(int fd, QByteArrayView bytes, qint64 offset = -1)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const size_t left = size_t(bytes.size() - done);
        const ssize_t n = offset < 0 ? ::write(fd, bytes.data() + done, left)
                                     : ::pwrite(fd, bytes.data() + done, left, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Makes the folder and its parents, as mkdir -p does, private to the user.
int makeFolders(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (slash < 0)
            return 0;
    }
}

void syncFolder(const QByteArray& path)
{
    const FileDescriptor fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

QByteArray hex(std::uint64_t value)
{
    return QByteArray::number(qulonglong(value), 16);
}

bool isJournalName(const char* name)
{
    const qsizetype length = qsizetype(std::strlen(name));
    return name[0] != '.' && length > 8 && std::strcmp(name + length - 8, ".journal") == 0;
}

// The sequence number a journal's name starts with.
std::uint64_t sequenceOf(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    const qsizetype dash = file.indexOf('-', slash + 1);
    return file.mid(slash + 1, dash - slash - 1).toULongLong();
}

// Names sort by sequence: the numbers are written with a fixed width.
QByteArray journalName(std::uint64_t sequence)
{
    return QByteArray::number(qulonglong(sequence)).rightJustified(16, '0') + '-' + QByteArray::number(::getpid())
           + ".journal";
}

// The folder's journal folder as earlier versions named it, by device and inode: found
// again when the device did not change, and then moved to the new name.
QByteArray legacyKey(const FSRef& folder)
{
    QByteArray key = hex(std::uint64_t(folder.device)) + '-' + hex(std::uint64_t(folder.inode));
    if (folder.hasBirthTime)
        key += '-' + hex(std::uint64_t(folder.birthSeconds)) + '.' + hex(folder.birthNanoseconds);
    return key;
}

QByteArray folderHandleOf(const FSRef& folder)
{
    return ReadFileHandle(AT_FDCWD, folder.path.constData());
}

} // namespace

QByteArray FolderStateKey(const FSRef& folder)
{
    // The inode with what tells it from a newcomer that got the same number: the birth
    // time, else the file handle, else (nothing survives re-attaching) the device.
    QByteArray key = 'i' + hex(std::uint64_t(folder.inode));
    if (folder.hasBirthTime)
        return key + '-' + hex(std::uint64_t(folder.birthSeconds)) + '.' + hex(folder.birthNanoseconds);
    const QByteArray handle = folderHandleOf(folder);
    if (!handle.isEmpty())
        return key + "-h" + QCryptographicHash::hash(handle, QCryptographicHash::Sha1).toHex().left(16);
    return key + "-d" + hex(std::uint64_t(folder.device));
}

namespace {

// Moves an earlier version's journal folder of this folder to its new name, once.
void adoptLegacyFolder(const FSRef& folder, const QByteArray& dir)
{
    const QByteArray legacy = JournalRoot(FolderCreation::DontCreate) + '/' + legacyKey(folder);
    struct stat st;
    if (::lstat(legacy.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ::lstat(dir.constData(), &st) != 0)
        ::rename(legacy.constData(), dir.constData());
}

void prune(const QByteArray& dir)
{
    const QList<QByteArray> files = JournalFilesIn(dir);
    for (qsizetype i = kJournalsKeptPerFolder; i < files.size(); ++i)
        ::unlink(files[i].constData());
}

// Temporary plans a killed run left behind (only where unnamed files are not supported).
// Called under the folder's run lock: no other run of this folder is writing one.
void removeLeftoverPlans(const QByteArray& dir)
{
    DIR* handle = ::opendir(dir.constData());
    if (!handle)
        return;
    while (const dirent* entry = ::readdir(handle)) {
        if (std::strncmp(entry->d_name, ".writing-", 9) == 0)
            ::unlinkat(::dirfd(handle), entry->d_name, 0);
    }
    ::closedir(handle);
}

QString journalProblem(const QByteArray& dir, int error)
{
    return LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The undo journal cannot be written to “%1”: %2"))
        .arg(QString::fromLocal8Bit(dir), DescribeErrno(error));
}

QByteArray planHeader(RunKind kind, std::uint64_t sequence, std::int64_t startedMs, const FSRef& folder,
                      const QByteArray& handle, qsizetype* countOffset)
{
    QByteArray header(kPlanMagic, 8);
    AppendLittleEndian<std::uint32_t>(header, kVersion);
    AppendLittleEndian<std::uint32_t>(header, std::uint32_t(kind));
    AppendLittleEndian<std::int64_t>(header, startedMs);
    AppendLittleEndian<std::uint64_t>(header, sequence);
    putBytes(header, folder.path);
    putIdentity(header, folder);
    putBytes(header, handle);
    *countOffset = header.size();
    return header;
}

QByteArray endRecord(bool cancelled, int renamed)
{
    QByteArray end(kEndMagic, 8);
    AppendLittleEndian<std::uint32_t>(end, cancelled ? kCancelledFlag : 0);
    AppendLittleEndian<std::uint32_t>(end, std::uint32_t(std::max(renamed, 0)));
    AppendLittleEndian<std::uint32_t>(end, crcOf(end));
    return end;
}

// Creates the file that will hold a plan in the journal folder: unnamed (O_TMPFILE) where
// the file system allows, so a killed run leaves nothing; else under a temporary name,
// made exclusively and never through a link someone planted there.
FileDescriptor createPlanFile(const QByteArray& dir, QByteArray* temporary, int* error)
{
    temporary->clear();
    FileDescriptor fd(::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (fd)
        return fd;
    const QByteArray name = dir + "/.writing-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(now());
    fd = OpenRegularFile(AT_FDCWD, name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600, error);
    if (fd)
        *temporary = name;
    return fd;
}

// Gives the finished plan its real name, never replacing a file: a link to the unnamed
// file, or the temporary name renamed without replacing. On file systems without
// RENAME_NOREPLACE (NFS, FUSE) a hard link does the same; without hard links either, the
// name is checked free first (the folder's run lock keeps other runs of this folder out).
int namePlanFile(int fd, const QByteArray& temporary, const QByteArray& name)
{
    if (temporary.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (::link(temporary.constData(), name.constData()) == 0) {
        ::unlink(temporary.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK)
        return errno;
    struct stat st;
    if (::lstat(name.constData(), &st) == 0)
        return EEXIST;
    return ::rename(temporary.constData(), name.constData()) == 0 ? 0 : errno;
}

// Plans are synced and named; the folder's next sequence number follows its newest.
std::uint64_t nextSequence(const QByteArray& dir)
{
    const QList<QByteArray> files = JournalFilesIn(dir);
    return files.isEmpty() ? 1 : sequenceOf(files.first()) + 1;
}

} // namespace

void JournalEntries::append(const JournalEntry& entry)
{
    Entry compact;
    compact.nameAt = m_names.size();
    compact.nameSize = std::uint16_t(entry.name.size());
    compact.newNameSize = std::uint16_t(entry.newName.size());
    compact.companion = entry.companion;
    compact.hasBirthTime = entry.identity.hasBirthTime;
    compact.birthNanoseconds = entry.identity.birthNanoseconds;
    compact.device = entry.identity.device;
    compact.inode = entry.identity.inode;
    compact.birthSeconds = entry.identity.birthSeconds;
    m_names.append(entry.name).append(entry.newName);
    m_entries.push_back(compact);
}

QByteArrayView JournalEntries::name(qsizetype i) const
{
    const Entry& entry = m_entries[size_t(i)];
    return QByteArrayView(m_names).sliced(entry.nameAt, entry.nameSize);
}

QByteArrayView JournalEntries::newName(qsizetype i) const
{
    const Entry& entry = m_entries[size_t(i)];
    return QByteArrayView(m_names).sliced(entry.nameAt + entry.nameSize, entry.newNameSize);
}

JournalEntry JournalEntries::at(qsizetype i) const
{
    const Entry& compact = m_entries[size_t(i)];
    JournalEntry entry;
    entry.name = name(i).toByteArray();
    entry.newName = newName(i).toByteArray();
    entry.companion = compact.companion;
    entry.identity.device = compact.device;
    entry.identity.inode = compact.inode;
    entry.identity.hasBirthTime = compact.hasBirthTime;
    entry.identity.birthSeconds = compact.birthSeconds;
    entry.identity.birthNanoseconds = compact.birthNanoseconds;
    return entry;
}

void JournalEntries::moveToDevice(dev_t from, dev_t to)
{
    for (Entry& entry : m_entries) {
        if (entry.device == from)
            entry.device = to;
    }
}

void SetJournalClockForTesting(std::function<std::int64_t()> clock)
{
    QMutexLocker lock(&gClockLock);
    gClock = std::move(clock);
}

QByteArray JournalRoot(FolderCreation creation, int* sysErrno)
{
    QByteArray base;
    if (FindProgramStateFolder(creation, &base, sysErrno) != noErr) {
        // No state folder yet: a path where nothing is, so nothing is found there.
        base = qgetenv("XDG_STATE_HOME").startsWith('/') ? qgetenv("XDG_STATE_HOME") + "/Ordinello"
                                                          : qgetenv("HOME") + "/.local/state/Ordinello";
    }
    return base + "/journal";
}

QByteArray JournalFolderFor(const FSRef& folder)
{
    return JournalRoot(FolderCreation::DontCreate) + '/' + FolderStateKey(folder);
}

QList<QByteArray> JournalFiles(const FSRef& folder)
{
    QList<QByteArray> files = JournalFilesIn(JournalFolderFor(folder));
    if (files.isEmpty())   // journals of an earlier version, not yet moved
        files = JournalFilesIn(JournalRoot(FolderCreation::DontCreate) + '/' + legacyKey(folder));
    return files;
}

QList<QByteArray> JournalFilesIn(const QByteArray& dirPath)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(dirPath.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (!isJournalName(entry->d_name))
                continue;
            // A FIFO or a link carrying a journal's name is not one of ours.
            struct stat st;
            if (entry->d_type != DT_REG
                && (entry->d_type != DT_UNKNOWN || ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0
                    || !S_ISREG(st.st_mode)))
                continue;
            names.append(QByteArray(entry->d_name));
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    for (QByteArray& name : names)
        name = dirPath + '/' + name;
    return names;
}

std::unique_ptr<FolderRunLock> FolderRunLock::acquire(const FSRef& folder, QString* problem,
                                                      std::chrono::milliseconds wait)
{
    int error = 0;
    JournalRoot(FolderCreation::Create, &error);
    const QByteArray dir = JournalFolderFor(folder);
    if (error == 0) {
        adoptLegacyFolder(folder, dir);
        error = makeFolders(dir);
    }
    std::unique_ptr<FolderRunLock> lock(new FolderRunLock);
    if (error == 0)
        lock->m_fd = OpenRegularFile(AT_FDCWD, (dir + "/lock").constData(), O_RDWR | O_CREAT, 0600, &error);
    if (!lock->m_fd) {
        if (problem)
            *problem = journalProblem(dir, error);
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(lock->m_fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            // No locks on this file system (some FUSE mounts): runs of this user on this
            // machine are not kept apart there, and go on as before.
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
                break;
            if (problem)
                *problem = journalProblem(dir, errno);
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            if (problem)
                *problem = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "another run is changing this folder"));
            return nullptr;
        }
        QThread::msleep(50);
    }
    removeLeftoverPlans(dir);
    return lock;
}

std::unique_ptr<FolderRunLock> FolderRunLock::acquireForRun(const FSRef& folder, QString* problem,
                                                            std::chrono::milliseconds wait)
{
    std::unique_ptr<FolderRunLock> lock = acquire(folder, problem, wait);
    if (!lock)
        return lock;
    // Only a run cut short can have left a rename half done, and only its last rename.
    const QList<QByteArray> files = JournalFiles(folder);
    JournalRun run;
    if (files.isEmpty() || !ReadJournal(files.first(), &run, nullptr, JournalDetail::Summary) || run.finished
        || !ReadJournal(files.first(), &run, nullptr) || !JournalIsOfFolder(&run, folder))
        return lock;
    const FileDescriptor dirfd(::open(folder.path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dirfd)
        return lock;
    for (const JournalEntry& entry : run.entries)
        UndoInterruptedRename(dirfd.get(), entry.name, entry.newName, entry.identity);
    return lock;
}

RenameJournal::RenameJournal(const FSRef& folder, RunKind kind)
    : m_folder(folder)
    , m_kind(kind)
{
    m_buffer.reserve(kChunk + 2 * kMaxEntrySize);
}

RenameJournal::~RenameJournal()
{
    m_fd.reset();
    // A plan that was never completed is of no use to anyone.
    if (m_file.isEmpty() && !m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

bool RenameJournal::open()
{
    // A run that renames nothing writes no file: the file is made with the first entry.
    int stateError = 0;
    JournalRoot(FolderCreation::Create, &stateError);
    m_dir = JournalFolderFor(m_folder);
    if (stateError != 0 || (m_error = makeFolders(m_dir)) != 0) {
        m_error = m_error ? m_error : stateError;
        return false;
    }
    m_sequence = nextSequence(m_dir);
    m_folderHandle = folderHandleOf(m_folder);
    m_fd = createPlanFile(m_dir, &m_temporary, &m_error);
    if (!m_fd)
        return false;
    // The header goes out alone: the entries' CRC is kept apart from it. The counts
    // are filled in at commit.
    const QByteArray header = planHeader(m_kind, m_sequence, now(), m_folder, m_folderHandle, &m_countOffset);
    m_headerCrc = crcOf(header);
    QByteArray counts;
    AppendLittleEndian<std::uint32_t>(counts, 0);
    AppendLittleEndian<std::uint32_t>(counts, 0);
    if (!writeAll(m_fd.get(), header) || !writeAll(m_fd.get(), counts)) {
        m_error = errno;
        return false;
    }
    m_entriesCrc = crcOf({});
    return true;
}

bool RenameJournal::flush()
{
    if (!writeAll(m_fd.get(), m_buffer)) {
        m_error = errno;
        return false;
    }
    m_entriesCrc = crcAppend(m_entriesCrc, m_buffer);
    m_entriesSize += m_buffer.size();
    m_buffer.truncate(0);   // keeps the capacity
    return true;
}

void RenameJournal::add(QByteArrayView name, QByteArrayView newName, const FSRef& identity, bool companion)
{
    ++m_count;
    m_items += companion ? 0 : 1;
    if (m_error != 0 || (!m_fd && !open()))
        return;   // commit reports it
    // Written field by field straight into the buffer: this runs once per item.
    const qsizetype size = 1 + 4 + name.size() + 4 + newName.size() + kIdentitySize;
    const qsizetype used = m_buffer.size();
    m_buffer.resize(used + size);
    char* out = m_buffer.data() + used;
    out = store<std::uint8_t>(out, companion ? kCompanionFlag : 0);
    out = storeBytes(out, name);
    out = storeBytes(out, newName);
    storeIdentity(out, identity);
    if (m_buffer.size() >= kChunk)
        flush();
}

bool RenameJournal::commit(QString* problem)
{
    // A run that renames nothing leaves nothing to undo.
    if (m_count == 0)
        return true;
    auto failed = [&](int error) {
        m_fd.reset();
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
        m_temporary.clear();
        if (problem)
            *problem = journalProblem(m_dir.isEmpty() ? JournalFolderFor(m_folder) : m_dir, error);
        return false;
    };
    if (m_error == 0 && !m_buffer.isEmpty())
        flush();
    if (m_error != 0)
        return failed(m_error);

    // The CRC runs over the header, the counts and the entries, in file order.
    QByteArray counts;
    AppendLittleEndian<std::uint32_t>(counts, m_count);
    AppendLittleEndian<std::uint32_t>(counts, m_items);
    std::uint32_t crc = std::uint32_t(::crc32_combine(m_headerCrc, crcOf(counts), z_off_t(counts.size())));
    crc = std::uint32_t(::crc32_combine(crc, m_entriesCrc, z_off_t(m_entriesSize)));
    QByteArray end;
    AppendLittleEndian<std::uint32_t>(end, crc);
    if (!writeAll(m_fd.get(), end) || !writeAll(m_fd.get(), counts, m_countOffset) || ::fdatasync(m_fd.get()) != 0)
        return failed(errno);

    const QByteArray name = m_dir + '/' + journalName(m_sequence);
    if (const int error = namePlanFile(m_fd.get(), m_temporary, name))
        return failed(error);
    m_file = name;
    m_temporary.clear();
    syncFolder(m_dir);
    prune(m_dir);
    return true;
}

void RenameJournal::finish(bool cancelled, int renamed)
{
    if (!m_fd)
        return;
    if (renamed == 0 && !m_file.isEmpty()) {
        // Nothing changed: there is nothing to undo, and no command should offer to.
        ::unlink(m_file.constData());
        m_file.clear();
        m_fd.reset();
        return;
    }
    ::lseek(m_fd.get(), 0, SEEK_END);
    // Not synced: a lost end record only makes the run look interrupted, which undo
    // handles the same way.
    writeAll(m_fd.get(), endRecord(cancelled, renamed));
    m_fd.reset();
}

bool RenameJournal::rewrite(const JournalRun& run, const QList<JournalEntry>& entries, QString* problem)
{
    if (entries.isEmpty())
        return ::unlink(run.file.constData()) == 0 || errno == ENOENT;
    const qsizetype slash = run.file.lastIndexOf('/');
    const QByteArray dir = run.file.left(slash);
    qsizetype countOffset = 0;
    QByteArray data = planHeader(run.kind, run.sequence, run.startedMs, run.folder, run.folderHandle, &countOffset);
    std::uint32_t items = 0;
    for (const JournalEntry& entry : entries)
        items += entry.companion ? 0 : 1;
    AppendLittleEndian<std::uint32_t>(data, std::uint32_t(entries.size()));
    AppendLittleEndian<std::uint32_t>(data, items);
    for (const JournalEntry& entry : entries) {
        AppendLittleEndian<std::uint8_t>(data, entry.companion ? kCompanionFlag : 0);
        putBytes(data, entry.name);
        putBytes(data, entry.newName);
        putIdentity(data, entry.identity);
    }
    AppendLittleEndian<std::uint32_t>(data, crcOf(data));
    data += endRecord(run.cancelled, int(items));

    // Our own file, under the folder's run lock: written beside it and renamed over it.
    const QByteArray temporary = dir + "/.writing-" + QByteArray::number(::getpid()) + "-rewrite";
    int error = 0;
    FileDescriptor fd = OpenRegularFile(AT_FDCWD, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600, &error);
    if (fd && (!writeAll(fd.get(), data) || ::fdatasync(fd.get()) != 0))
        error = errno;
    fd.reset();
    if (error == 0 && ::rename(temporary.constData(), run.file.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        if (problem)
            *problem = journalProblem(dir, error);
        return false;
    }
    syncFolder(dir);
    return true;
}

bool ReadJournal(const QByteArray& file, JournalRun* run, QString* problem, JournalDetail detail)
{
    auto refuse = [&](const QString& why) {
        if (problem)
            *problem = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The undo journal “%1” cannot be used: %2"))
                           .arg(QString::fromLocal8Bit(file), why);
        return false;
    };
    const QString foreign = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it is not a journal of this program"));
    const QString damaged = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it is damaged or incomplete"));
    int error = 0;
    const FileDescriptor fd = OpenRegularFile(AT_FDCWD, file.constData(), O_RDONLY, 0, &error);
    struct stat st;
    if (!fd)
        return refuse(error == ENODEV || error == EISDIR ? foreign : DescribeErrno(error));
    if (::fstat(fd.get(), &st) != 0)
        return refuse(DescribeErrno(errno));

    Reader in(fd.get());
    char magic[8] = {};
    for (char& c : magic)
        in.get(&c);
    std::uint32_t version = 0, kind = 0, count = 0, items = 0;
    if (!in.ok() || std::memcmp(magic, kPlanMagic, 8) != 0 || !in.get(&version))
        return refuse(foreign);
    if (version != 1 && version != kVersion)
        return refuse(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it was written by another version of the program")));
    JournalRun result;
    result.file = file;
    in.get(&kind);
    in.get(&result.startedMs);
    if (version >= 2)
        in.get(&result.sequence);
    else
        result.sequence = sequenceOf(file);
    in.getBytes(&result.folderPath, PATH_MAX);
    in.getIdentity(&result.folder);
    if (version >= 2)
        in.getBytes(&result.folderHandle, kMaxHandleSize);
    in.get(&count);
    if (version >= 2)
        in.get(&items);
    if (!in.ok() || (kind != std::uint32_t(RunKind::Numbering) && kind != std::uint32_t(RunKind::PrefixRemoval))
        || items > count || count > std::uint64_t(st.st_size) / kMinEntrySize)
        return refuse(damaged);
    result.kind = RunKind(kind);
    result.folder.path = result.folderPath;

    auto readEnd = [&](QByteArrayView rest) {
        // What follows the plan: nothing (the run was interrupted), a torn end record (it
        // was interrupted while ending), or one whole end record.
        const int size = endSize(version);
        if (rest.size() > size)
            return false;
        if (rest.size() < size)
            return true;
        std::uint32_t flags = qFromLittleEndian<std::uint32_t>(rest.data() + 8);
        std::uint32_t crc = qFromLittleEndian<std::uint32_t>(rest.data() + size - 4);
        if (std::memcmp(rest.data(), kEndMagic, 8) != 0 || crc != crcOf(rest.first(size - 4))
            || (flags & ~kCancelledFlag))
            return false;
        result.finished = true;
        result.cancelled = flags & kCancelledFlag;
        if (version >= 2)
            result.renamed = int(std::min<std::uint32_t>(qFromLittleEndian<std::uint32_t>(rest.data() + 12), items));
        return true;
    };

    if (detail == JournalDetail::Summary && version >= 2) {
        // The end is the file's last bytes, if it is there: a whole end record at the
        // end is taken as the end (the plan itself is checked when undo reads it).
        const int size = endSize(version);
        result.items = int(items);
        char tail[32];
        if (st.st_size >= size
            && ::pread(fd.get(), tail, size_t(size), off_t(st.st_size - size)) == size
            && std::memcmp(tail, kEndMagic, 8) == 0)
            readEnd(QByteArrayView(tail, size));
        *run = std::move(result);
        return true;
    }

    if (detail == JournalDetail::Entries)
        result.entries.reserve(count);
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        JournalEntry entry;
        std::uint8_t flags = 0;
        in.get(&flags);
        in.getBytes(&entry.name, NAME_MAX);
        in.getBytes(&entry.newName, NAME_MAX);
        in.getIdentity(&entry.identity);
        if (!in.ok() || (flags & ~kCompanionFlag) != 0 || !validName(entry.name) || !validName(entry.newName)
            || ((flags & kCompanionFlag) && i == 0))
            return refuse(damaged);
        entry.companion = flags & kCompanionFlag;
        result.items += entry.companion ? 0 : 1;
        if (detail == JournalDetail::Entries)
            result.entries.append(std::move(entry));
    }
    const std::uint32_t expected = in.crc();
    std::uint32_t crc = 0;
    if (!in.get(&crc) || crc != expected || (version >= 2 && std::uint32_t(result.items) != items))
        return refuse(damaged);
    QByteArray rest;
    if (!in.rest(&rest, endSize(version)) || !readEnd(rest))
        return refuse(damaged);
    *run = std::move(result);
    return true;
}

bool JournalIsOfFolder(JournalRun* run, const FSRef& folder)
{
    const FSRef& journaled = run->folder;
    if (journaled.inode != folder.inode)
        return false;
    bool confirmed = journaled.device == folder.device;
    if (journaled.hasBirthTime && folder.hasBirthTime) {
        if (journaled.birthSeconds != folder.birthSeconds || journaled.birthNanoseconds != folder.birthNanoseconds)
            return false;
        confirmed = true;
    }
    if (!run->folderHandle.isEmpty()) {
        const QByteArray handle = folderHandleOf(folder);
        if (!handle.isEmpty()) {
            if (handle != run->folderHandle)
                return false;
            confirmed = true;
        }
    }
    if (!confirmed && run->folderPath != folder.path)
        return false;
    if (journaled.device != folder.device) {
        // Attached again as another device: the entries' objects moved with the folder.
        run->entries.moveToDevice(journaled.device, folder.device);
        run->folder.device = folder.device;
    }
    return true;
}
