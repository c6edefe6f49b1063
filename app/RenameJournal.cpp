#include "app/RenameJournal.h"

#include "platform/LittleEndian.h"
#include "platform/StateFolder.h"
#include "support/LocalizedStrings.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <functional>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// Version 1 of the format, all numbers little-endian:
//   plan:  "ORDJRNL\n" u32 version, u32 kind, i64 start (ms), bytes folder path,
//          identity folder, u32 count, count x (u8 flags, bytes name, bytes new name,
//          identity), u32 CRC-32 of everything before it
//   end:   "ORDJEND\n" u32 flags (1: cancelled), u32 CRC-32 of the 12 bytes before it
//   bytes = u32 length + the bytes; identity = u64 device, u64 inode, u8 has birth time,
//           i64 birth seconds, u32 birth nanoseconds
constexpr char kPlanMagic[] = "ORDJRNL\n";
constexpr char kEndMagic[] = "ORDJEND\n";
constexpr std::uint32_t kVersion = 1;
constexpr int kEndSize = 8 + 4 + 4;
constexpr std::uint8_t kCompanionFlag = 1;
constexpr std::uint32_t kCancelledFlag = 1;
// A plan of a few million items still fits; anything larger is not one of ours.
constexpr qint64 kMaxJournalSize = qint64(1) << 30;

void putBytes(QByteArray& out, QByteArrayView bytes)
{
    AppendLittleEndian<std::uint32_t>(out, std::uint32_t(bytes.size()));
    out.append(bytes);
}

// The same fields written into memory sized for them; each returns the end.
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

constexpr qsizetype kIdentitySize = 8 + 8 + 1 + 8 + 4;

char* storeIdentity(char* out, const FSRef& ref)
{
    out = store<std::uint64_t>(out, std::uint64_t(ref.device));
    out = store<std::uint64_t>(out, std::uint64_t(ref.inode));
    out = store<std::uint8_t>(out, ref.hasBirthTime ? 1 : 0);
    out = store<std::int64_t>(out, ref.birthSeconds);
    return store<std::uint32_t>(out, ref.birthNanoseconds);
}

void putIdentity(QByteArray& out, const FSRef& ref)
{
    AppendLittleEndian<std::uint64_t>(out, std::uint64_t(ref.device));
    AppendLittleEndian<std::uint64_t>(out, std::uint64_t(ref.inode));
    AppendLittleEndian<std::uint8_t>(out, ref.hasBirthTime ? 1 : 0);
    AppendLittleEndian<std::int64_t>(out, ref.birthSeconds);
    AppendLittleEndian<std::uint32_t>(out, ref.birthNanoseconds);
}

std::uint32_t crcOf(QByteArrayView bytes)
{
    uLong crc = ::crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt: feed large plans in pieces.
    for (qsizetype done = 0; done < bytes.size();) {
        const qsizetype piece = std::min<qsizetype>(bytes.size() - done, qsizetype(1) << 30);
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + done), uInt(piece));
        done += piece;
    }
    return std::uint32_t(crc);
}

// Reads fields from a journal, failing (and staying failed) at the first field that
// does not fit in what is left.
class Reader
{
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    template <typename T>
    bool get(T* value)
    {
        if (!m_ok || m_data.size() - m_pos < qsizetype(sizeof(T)))
            return m_ok = false;
        T le;
        std::memcpy(&le, m_data.data() + m_pos, sizeof le);
        *value = qFromLittleEndian(le);
        m_pos += sizeof le;
        return true;
    }

    bool getBytes(QByteArray* bytes, std::uint32_t maxLength)
    {
        std::uint32_t length = 0;
        if (!get(&length) || length > maxLength || m_data.size() - m_pos < qsizetype(length))
            return m_ok = false;
        *bytes = m_data.sliced(m_pos, length).toByteArray();
        m_pos += length;
        return true;
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

    bool ok() const { return m_ok; }
    qsizetype position() const { return m_pos; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

bool validName(const QByteArray& name)
{
    return !name.isEmpty() && name.size() <= NAME_MAX && name != "." && name != ".." && !name.contains('/')
           && !name.contains('\0');
}

// The plan goes out in pieces of this size.
constexpr qsizetype kWriteChunk = qsizetype(64) << 10;
// An entry: flags, two names of at most NAME_MAX bytes with their lengths, an identity.
constexpr qsizetype kMaxEntrySize = 1 + 2 * (4 + NAME_MAX) + kIdentitySize;

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
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

void prune(const FSRef& folder)
{
    const QList<QByteArray> files = JournalFiles(folder);
    for (qsizetype i = kJournalsKeptPerFolder; i < files.size(); ++i)
        ::unlink(files[i].constData());
}

} // namespace

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
    // The identity names the folder, so a folder that was moved or renamed keeps its
    // journals, and a new folder that gets an old folder's inode does not inherit them.
    QByteArray key = hex(std::uint64_t(folder.device)) + '-' + hex(std::uint64_t(folder.inode));
    if (folder.hasBirthTime)
        key += '-' + hex(std::uint64_t(folder.birthSeconds)) + '.' + hex(folder.birthNanoseconds);
    return JournalRoot(FolderCreation::DontCreate) + '/' + key;
}

QList<QByteArray> JournalFiles(const FSRef& folder)
{
    return JournalFilesIn(JournalFolderFor(folder));
}

QList<QByteArray> JournalFilesIn(const QByteArray& dirPath)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(dirPath.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (isJournalName(entry->d_name))
                names.append(QByteArray(entry->d_name));
        }
        ::closedir(dir);
    }
    // Fixed-width start times: the names sort by time.
    std::sort(names.begin(), names.end(), std::greater<>());
    for (QByteArray& name : names)
        name = dirPath + '/' + name;
    return names;
}

RenameJournal::RenameJournal(const FSRef& folder, RunKind kind)
    : m_folder(folder)
    , m_kind(kind)
{
    // The header waits in the buffer for the first entry: a run that renames nothing
    // writes no file. The count is filled in at commit.
    m_buffer.reserve(kWriteChunk + 2 * kMaxEntrySize);
    m_buffer.append(kPlanMagic, 8);
    AppendLittleEndian<std::uint32_t>(m_buffer, kVersion);
    AppendLittleEndian<std::uint32_t>(m_buffer, std::uint32_t(m_kind));
    AppendLittleEndian<std::int64_t>(m_buffer, QDateTime::currentMSecsSinceEpoch());
    putBytes(m_buffer, m_folder.path);
    putIdentity(m_buffer, m_folder);
    m_countOffset = m_buffer.size();
    m_headerCrc = crcOf(m_buffer);
    AppendLittleEndian<std::uint32_t>(m_buffer, 0);
}

RenameJournal::~RenameJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
    // A plan that was never completed is of no use to anyone.
    if (m_file.isEmpty() && !m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

bool RenameJournal::open()
{
    int stateError = 0;
    JournalRoot(FolderCreation::Create, &stateError);
    if (stateError != 0) {
        m_error = stateError;
        return false;
    }
    const QByteArray dir = JournalFolderFor(m_folder);
    if (const int error = makeFolders(dir)) {
        m_error = error;
        return false;
    }
    const QByteArray temporary = dir + "/.writing-" + QByteArray::number(::getpid()) + '-'
                                 + QByteArray::number(QDateTime::currentMSecsSinceEpoch());
    m_fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_error = errno;
        return false;
    }
    m_temporary = temporary;
    // The header goes out alone: the entries' CRC is kept apart from it.
    if (!writeAll(m_fd, m_buffer)) {
        m_error = errno;
        return false;
    }
    m_buffer.truncate(0);
    return true;
}

bool RenameJournal::flush()
{
    if (!writeAll(m_fd, m_buffer)) {
        m_error = errno;
        return false;
    }
    m_entriesCrc = std::uint32_t(::crc32(m_entriesCrc, reinterpret_cast<const Bytef*>(m_buffer.constData()),
                                         uInt(m_buffer.size())));
    m_entriesSize += m_buffer.size();
    m_buffer.truncate(0);   // keeps the capacity
    return true;
}

void RenameJournal::add(QByteArrayView name, QByteArrayView newName, const FSRef& identity, bool companion)
{
    ++m_count;
    m_items += companion ? 0 : 1;
    if (m_error != 0 || (m_fd < 0 && !open()))
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
    if (m_buffer.size() >= kWriteChunk)
        flush();
}

bool RenameJournal::commit(QString* problem)
{
    // A run that renames nothing leaves nothing to undo.
    if (m_count == 0)
        return true;
    auto failed = [&](int error) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
        m_temporary.clear();
        if (problem)
            *problem = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The undo journal cannot be written to “%1”: %2"))
                           .arg(QString::fromLocal8Bit(JournalFolderFor(m_folder)), DescribeErrno(error));
        return false;
    };
    if (m_error == 0 && !m_buffer.isEmpty())
        flush();
    if (m_error != 0)
        return failed(m_error);

    // The CRC runs over the header, the count and the entries, in file order.
    QByteArray count;
    AppendLittleEndian<std::uint32_t>(count, m_count);
    std::uint32_t crc = std::uint32_t(::crc32_combine(m_headerCrc, crcOf(count), z_off_t(count.size())));
    crc = std::uint32_t(::crc32_combine(crc, m_entriesCrc, z_off_t(m_entriesSize)));
    QByteArray end;
    AppendLittleEndian<std::uint32_t>(end, crc);
    if (!writeAll(m_fd, end) || !writeAll(m_fd, count, m_countOffset) || ::fdatasync(m_fd) != 0)
        return failed(errno);

    // The real name last, never replacing another run's journal: a second run in the same
    // millisecond takes the next one.
    const QByteArray dir = JournalFolderFor(m_folder);
    for (qint64 stamp = QDateTime::currentMSecsSinceEpoch();; ++stamp) {
        const QByteArray name = dir + '/' + QByteArray::number(stamp).rightJustified(16, '0') + '-'
                                + QByteArray::number(::getpid()) + ".journal";
        if (::renameat2(AT_FDCWD, m_temporary.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0) {
            m_file = name;
            break;
        }
        if (errno != EEXIST)
            return failed(errno);
    }
    m_temporary.clear();
    syncFolder(dir);
    prune(m_folder);
    return true;
}

void RenameJournal::finish(bool cancelled)
{
    if (m_fd < 0)
        return;
    QByteArray end(kEndMagic, 8);
    AppendLittleEndian<std::uint32_t>(end, cancelled ? kCancelledFlag : 0);
    AppendLittleEndian<std::uint32_t>(end, crcOf(end));
    ::lseek(m_fd, 0, SEEK_END);
    // Not synced: a lost end record only makes the run look interrupted, which undo
    // handles the same way.
    writeAll(m_fd, end);
    ::close(m_fd);
    m_fd = -1;
}

bool ReadJournal(const QByteArray& file, JournalRun* run, QString* problem, bool withEntries)
{
    auto refuse = [&](const QString& why) {
        if (problem)
            *problem = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The undo journal “%1” cannot be used: %2"))
                           .arg(QString::fromLocal8Bit(file), why);
        return false;
    };
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refuse(DescribeErrno(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxJournalSize) {
        ::close(fd);
        return refuse(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it is not a journal of this program")));
    }
    const QByteArray data = ReadAtMost(fd, qsizetype(st.st_size));
    ::close(fd);

    const QString damaged = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it is damaged or incomplete"));
    if (data.size() < 12 || std::memcmp(data.constData(), kPlanMagic, 8) != 0)
        return refuse(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it is not a journal of this program")));
    Reader in(data);
    char magic[8];
    for (char& c : magic)
        in.get(&c);
    std::uint32_t version = 0, kind = 0, count = 0;
    in.get(&version);
    if (version != kVersion)
        return refuse(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "it was written by another version of the program")));
    JournalRun result;
    result.file = file;
    in.get(&kind);
    in.get(&result.startedMs);
    in.getBytes(&result.folderPath, PATH_MAX);
    in.getIdentity(&result.folder);
    in.get(&count);
    if (!in.ok() || (kind != std::uint32_t(RunKind::Numbering) && kind != std::uint32_t(RunKind::PrefixRemoval)))
        return refuse(damaged);
    result.kind = RunKind(kind);
    // Each entry takes at least 39 bytes: a count that cannot fit is damage, not a reason
    // to reserve memory.
    if (count > std::uint64_t(data.size()) / 39)
        return refuse(damaged);
    if (withEntries)
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
        if (withEntries)
            result.entries.append(std::move(entry));
    }
    const qsizetype planEnd = in.position();
    std::uint32_t crc = 0;
    if (!in.get(&crc) || crc != crcOf(QByteArrayView(data).first(planEnd)))
        return refuse(damaged);

    // What follows the plan: nothing (the run was interrupted), a torn end record (it
    // was interrupted while ending), or one whole end record.
    const QByteArrayView rest = QByteArrayView(data).sliced(in.position());
    if (rest.size() > kEndSize)
        return refuse(damaged);
    if (rest.size() == kEndSize) {
        Reader end(rest);
        char endMagic[8];
        for (char& c : endMagic)
            end.get(&c);
        std::uint32_t flags = 0, endCrc = 0;
        end.get(&flags);
        end.get(&endCrc);
        if (std::memcmp(endMagic, kEndMagic, 8) != 0 || endCrc != crcOf(rest.first(12)) || (flags & ~kCancelledFlag))
            return refuse(damaged);
        result.finished = true;
        result.cancelled = flags & kCancelledFlag;
    }
    *run = std::move(result);
    return true;
}
