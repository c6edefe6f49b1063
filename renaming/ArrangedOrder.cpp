#include "renaming/ArrangedOrder.h"

#include "platform/Collation.h"
#include "platform/LittleEndian.h"
#include "platform/StateFolder.h"
#include "renaming/RenameJournal.h"
#include "support/LocalizedStrings.h"

#include <QHash>
#include <QMutex>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// The format, all numbers little-endian:
//   "ORDARNG\n" u32 version, identity folder, u32 count,
//   count x (u8 name length, the name, identity), u32 CRC-32 of everything before it
//   identity = u64 device, u64 inode, u8 has birth time, i64 birth seconds, u32 birth nanoseconds
constexpr char kMagic[] = "ORDARNG\n";
constexpr std::uint32_t kVersion = 1;
constexpr qsizetype kIdentitySize = 8 + 8 + 1 + 8 + 4;
constexpr qsizetype kHeaderSize = 8 + 4 + kIdentitySize + 4;
constexpr qsizetype kMaxEntrySize = 1 + NAME_MAX + kIdentitySize;
// Larger than any order of kMostArrangedItems items with names of common length; an
// arrangement that needs more is not kept, and a file that is larger is not read.
constexpr qsizetype kMaxFileSize = qsizetype(64) << 20;

// Stores and removals of one process happen one at a time: a removal after a numbering run
// never lands before a store that was asked for earlier.
QMutex gStoreLock;
std::atomic<unsigned> gTemporaryCount{0};

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
    const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
    return std::uint32_t(::crc32(::crc32(0L, Z_NULL, 0), data, uInt(bytes.size())));
}

// Reads the fields of a stored order in sequence; fails at the first field that does not fit.
class Fields
{
public:
    explicit Fields(QByteArrayView bytes) : m_bytes(bytes) {}

    template <typename T>
    T get()
    {
        T le{};
        if (m_at + qsizetype(sizeof le) > m_bytes.size()) {
            m_ok = false;
            return T{};
        }
        std::memcpy(&le, m_bytes.data() + m_at, sizeof le);
        m_at += sizeof le;
        return qFromLittleEndian(le);
    }

    QByteArrayView take(qsizetype size)
    {
        if (size < 0 || m_at + size > m_bytes.size()) {
            m_ok = false;
            return {};
        }
        const QByteArrayView part = m_bytes.sliced(m_at, size);
        m_at += size;
        return part;
    }

    FSRef identity()
    {
        FSRef ref;
        ref.device = dev_t(get<std::uint64_t>());
        ref.inode = ino_t(get<std::uint64_t>());
        const std::uint8_t hasBirth = get<std::uint8_t>();
        ref.birthSeconds = get<std::int64_t>();
        ref.birthNanoseconds = get<std::uint32_t>();
        if (hasBirth > 1 || ref.birthNanoseconds >= 1000000000u)
            m_ok = false;
        ref.hasBirthTime = hasBirth == 1;
        return ref;
    }

    bool ok() const { return m_ok; }
    qsizetype at() const { return m_at; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// <state folder>/arranged; *error is 0 when it is there (made with Create), else why not.
QByteArray arrangedFolder(FolderCreation creation, int* error)
{
    QByteArray state;
    *error = 0;
    if (FindProgramStateFolder(creation, &state, error) != noErr) {
        *error = *error ? *error : ENOENT;
        return state + "/arranged";
    }
    const QByteArray dir = state + "/arranged";
    if (creation == FolderCreation::Create && ::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) {
        *error = errno;
        return dir;
    }
    // The files are opened by name below it: it must be our folder, not a link to elsewhere.
    struct stat st;
    if (::lstat(dir.constData(), &st) != 0)
        *error = errno;
    else if (!S_ISDIR(st.st_mode))
        *error = ENOTDIR;
    return dir;
}

QByteArray encode(const FSRef& folder, const QList<FSRef>& items)
{
    QByteArray out(kMagic, 8);
    out.reserve(kHeaderSize + items.size() * (kIdentitySize + 1 + 24) + 4);
    AppendLittleEndian<std::uint32_t>(out, kVersion);
    putIdentity(out, folder);
    AppendLittleEndian<std::uint32_t>(out, std::uint32_t(items.size()));
    for (const FSRef& item : items) {
        const QByteArrayView name = item.nameBytes();
        if (name.isEmpty() || name.size() > NAME_MAX || out.size() > kMaxFileSize)
            return {};
        AppendLittleEndian<std::uint8_t>(out, std::uint8_t(name.size()));
        out.append(name);
        putIdentity(out, item);
    }
    AppendLittleEndian<std::uint32_t>(out, crcOf(out));
    return out.size() <= kMaxFileSize ? out : QByteArray();
}

int writeAll(int fd, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

QString storeProblem(const QByteArray& dir, int error)
{
    return LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The arranged order cannot be kept in “%1”: %2"))
        .arg(QString::fromLocal8Bit(dir), DescribeErrno(error));
}

void forgetLocked(const FSRef& folder)
{
    int error = 0;
    const QByteArray dir = arrangedFolder(FolderCreation::DontCreate, &error);
    if (error == 0)
        ::unlink((dir + '/' + FolderStateKey(folder)).constData());
}

} // namespace

bool InFileManagerOrder(const QList<FSRef>& items)
{
    const FSRef* refs = items.constData();
    const std::vector<qsizetype> order =
        FinderOrder::sortedOrderOfNames(items.size(), [refs](qsizetype i) { return refs[i].nameBytes(); });
    for (qsizetype i = 0; i < qsizetype(order.size()); ++i) {
        if (order[size_t(i)] != i)
            return false;
    }
    return true;
}

bool StoreArrangedOrder(const FSRef& folder, const QList<FSRef>& items, QString* problem)
{
    if (items.isEmpty() || InFileManagerOrder(items)) {
        ForgetArrangedOrder(folder);
        return true;
    }
    const QByteArray bytes = items.size() <= kMostArrangedItems ? encode(folder, items) : QByteArray();
    const QMutexLocker lock(&gStoreLock);
    int error = 0;
    const QByteArray dir = arrangedFolder(FolderCreation::Create, &error);
    if (bytes.isEmpty() || error != 0) {
        // An order that cannot be kept must not let an older one come back in its place.
        forgetLocked(folder);
        if (problem)
            *problem = storeProblem(dir, bytes.isEmpty() ? EFBIG : error);
        return false;
    }
    const QByteArray key = FolderStateKey(folder);
    const QByteArray temporary = dir + "/." + key + '-' + QByteArray::number(::getpid()) + '-'
                                 + QByteArray::number(gTemporaryCount.fetch_add(1));
    FileDescriptor fd = OpenRegularFile(AT_FDCWD, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600, &error);
    if (fd) {
        error = writeAll(fd.get(), bytes);
        // Durable before it takes the old file's name: after a crash the name holds one
        // whole order.
        if (error == 0 && ::fdatasync(fd.get()) != 0)
            error = errno;
        fd.reset();
        if (error == 0 && ::rename(temporary.constData(), (dir + '/' + key).constData()) != 0)
            error = errno;
        if (error != 0)
            ::unlink(temporary.constData());
    }
    if (error != 0) {
        forgetLocked(folder);
        if (problem)
            *problem = storeProblem(dir, error);
        return false;
    }
    return true;
}

std::optional<QList<FSRef>> StoredArrangedOrder(const FSRef& folder)
{
    int error = 0;
    const QByteArray dir = arrangedFolder(FolderCreation::DontCreate, &error);
    if (error != 0)
        return std::nullopt;
    const FileDescriptor fd = OpenRegularFile(AT_FDCWD, (dir + '/' + FolderStateKey(folder)).constData(), O_RDONLY);
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_size < kHeaderSize + 4 || st.st_size > kMaxFileSize)
        return std::nullopt;
    const QByteArray bytes = ReadAtMost(fd.get(), qsizetype(st.st_size) + 1);
    if (bytes.size() != st.st_size || QByteArrayView(bytes).first(8) != QByteArrayView(kMagic, 8))
        return std::nullopt;
    const QByteArrayView body = QByteArrayView(bytes).chopped(4);
    if (qFromLittleEndian<std::uint32_t>(bytes.constData() + body.size()) != crcOf(body))
        return std::nullopt;

    Fields fields(body);
    fields.take(8);
    if (fields.get<std::uint32_t>() != kVersion)
        return std::nullopt;
    const FSRef storedFolder = fields.identity();
    const std::uint32_t count = fields.get<std::uint32_t>();
    // Another folder's order (a key that came back to a newcomer) is not this one's.
    if (!fields.ok() || count > kMostArrangedItems || storedFolder.inode != folder.inode
        || (storedFolder.hasBirthTime && folder.hasBirthTime
            && (storedFolder.birthSeconds != folder.birthSeconds
                || storedFolder.birthNanoseconds != folder.birthNanoseconds))
        || body.size() - fields.at() < qsizetype(count) * (1 + 1 + kIdentitySize)
        || body.size() - fields.at() > qsizetype(count) * kMaxEntrySize)
        return std::nullopt;

    QList<FSRef> items;
    items.reserve(count);
    const QByteArray prefix = folder.path.endsWith('/') ? folder.path : folder.path + '/';
    for (std::uint32_t i = 0; i < count && fields.ok(); ++i) {
        const QByteArrayView name = fields.take(fields.get<std::uint8_t>());
        FSRef item = fields.identity();
        if (name.isEmpty() || name.contains('/') || name.contains('\0') || name == "." || name == "..")
            return std::nullopt;
        // The disk came back as another device: its items did too.
        if (item.device == storedFolder.device)
            item.device = folder.device;
        item.path = prefix + name.toByteArray();
        items.append(std::move(item));
    }
    if (!fields.ok() || fields.at() != body.size())
        return std::nullopt;
    return items;
}

void ForgetArrangedOrder(const FSRef& folder)
{
    const QMutexLocker lock(&gStoreLock);
    forgetLocked(folder);
}

std::vector<qsizetype> ArrangeLike(const QList<FSRef>& arranged, const QList<FSRef>& fresh)
{
    QMultiHash<quint64, qsizetype> freshByInode;
    QHash<QByteArrayView, qsizetype> freshByName;
    freshByInode.reserve(fresh.size());
    freshByName.reserve(fresh.size());
    for (qsizetype i = 0; i < fresh.size(); ++i) {
        freshByInode.insert(quint64(fresh[i].inode), i);
        freshByName.insert(fresh[i].nameBytes(), i);
    }
    std::vector<bool> taken(size_t(fresh.size()), false);
    std::vector<qsizetype> found(size_t(arranged.size()), -1);
    // Identities first, so an item renamed since is found under its new name even where a
    // newcomer took its old one; then names, for items saved anew by their programs.
    for (qsizetype a = 0; a < arranged.size(); ++a) {
        const FSRef& item = arranged[a];
        if (item.inode == 0 && item.device == 0)
            continue;   // identity unknown
        const quint64 inode = quint64(item.inode);
        for (auto it = freshByInode.constFind(inode); it != freshByInode.constEnd() && it.key() == inode; ++it) {
            if (!taken[size_t(*it)] && fresh[*it].sameObjectAs(item)) {
                taken[size_t(*it)] = true;
                found[size_t(a)] = *it;
                break;
            }
        }
    }
    for (qsizetype a = 0; a < arranged.size(); ++a) {
        if (found[size_t(a)] >= 0)
            continue;
        const auto it = freshByName.constFind(arranged[a].nameBytes());
        if (it != freshByName.constEnd() && !taken[size_t(*it)]) {
            taken[size_t(*it)] = true;
            found[size_t(a)] = *it;
        }
    }

    // New items follow the arranged item that precedes them in the fresh order (those
    // before every arranged item go first), in that order among themselves.
    std::vector<qsizetype> newAfterTop;
    QHash<qsizetype, std::vector<qsizetype>> newAfter;
    qsizetype anchor = -1;
    for (qsizetype i = 0; i < fresh.size(); ++i) {
        if (taken[size_t(i)])
            anchor = i;
        else
            (anchor < 0 ? newAfterTop : newAfter[anchor]).push_back(i);
    }
    std::vector<qsizetype> order = std::move(newAfterTop);
    order.reserve(size_t(fresh.size()));
    for (qsizetype i : found) {
        if (i < 0)
            continue;
        order.push_back(i);
        if (const auto it = newAfter.constFind(i); it != newAfter.constEnd())
            order.insert(order.end(), it->begin(), it->end());
    }
    return order;
}
