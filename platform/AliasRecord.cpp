#include "platform/AliasRecord.h"

#include "platform/LittleEndian.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr char kMagic[4] = {'O', 'r', 'd', 'A'};
constexpr quint16 kVersion = 1;
constexpr quint16 kHasBirthTime = 0x0001;
// magic, version, flags, device, inode, birth s, birth ns, type, fsid[2], handle type and
// length; then the handle bytes, the path length and the path bytes
constexpr qsizetype kFixedSize = 4 + 2 + 2 + 8 + 8 + 8 + 4 + 4 + 4 + 4 + 4 + 4;
constexpr quint32 kMaxHandleSize = MAX_HANDLE_SZ;

struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 birthSeconds = 0;
    quint32 birthNanoseconds = 0;
    bool hasBirthTime = false;
    quint32 type = 0;   // S_IFMT bits
    qint32 fsid[2] = {0, 0};
    // The file system's handle for the object (name_to_handle_at), where it gives one:
    // on ext4, btrfs, xfs and tmpfs it holds the inode's generation number, which changes
    // when an inode number is used again. Birth times alone cannot tell a new object from
    // an old one made within the same clock tick (ext4 stamps them at jiffy granularity).
    qint32 handleType = 0;
    QByteArray handle;
};

// The identity of dirfd/name (or of the path when dirfd is AT_FDCWD), never following a
// final link. The file system id is read through an O_PATH handle: statfs(2) on a path
// would follow a link to its target's file system.
int readIdentity(int dirfd, const char* name, Identity* id)
{
    const int fd = ::openat(dirfd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct statx sx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO | STATX_BTIME, &sx) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    struct statfs sf;
    const bool haveFsid = ::fstatfs(fd, &sf) == 0;
    alignas(struct file_handle) char buffer[sizeof(struct file_handle) + MAX_HANDLE_SZ];
    auto* handle = reinterpret_cast<struct file_handle*>(buffer);
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(fd, "", handle, &mountId, AT_EMPTY_PATH) == 0) {
        id->handleType = handle->handle_type;
        id->handle = QByteArray(reinterpret_cast<const char*>(handle->f_handle), handle->handle_bytes);
    }
    ::close(fd);
    id->device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    id->inode = sx.stx_ino;
    id->type = sx.stx_mode & S_IFMT;
    // File systems without birth times (older NFS, some FUSE) leave the bit out of the
    // answer: identity alone must do for them.
    id->hasBirthTime = (sx.stx_mask & STATX_BTIME) != 0;
    id->birthSeconds = id->hasBirthTime ? sx.stx_btime.tv_sec : 0;
    id->birthNanoseconds = id->hasBirthTime ? sx.stx_btime.tv_nsec : 0;
    if (haveFsid)
        std::memcpy(id->fsid, &sf.f_fsid, sizeof id->fsid);
    return 0;
}

// The device number of a file system can change between boots (removable disks, some
// network and pooled file systems); its f_fsid usually does not. Either one will do.
bool sameObject(const Identity& stored, const Identity& found)
{
    if (stored.inode != found.inode || stored.type != found.type)
        return false;
    if (stored.hasBirthTime
        && (!found.hasBirthTime || stored.birthSeconds != found.birthSeconds
            || stored.birthNanoseconds != found.birthNanoseconds))
        return false;
    if (!stored.handle.isEmpty() && !found.handle.isEmpty()
        && (stored.handleType != found.handleType || stored.handle != found.handle))
        return false;
    if (stored.device == found.device)
        return true;
    const bool fsidKnown = stored.fsid[0] != 0 || stored.fsid[1] != 0;
    return fsidKnown && stored.fsid[0] == found.fsid[0] && stored.fsid[1] == found.fsid[1];
}

template <class T>
T take(const char*& p)
{
    const T value = qFromLittleEndian<T>(p);
    p += sizeof(T);
    return value;
}

QByteArray encode(const Identity& id, const QByteArray& path)
{
    QByteArray out;
    out.reserve(kFixedSize + id.handle.size() + 4 + path.size());
    out.append(kMagic, 4);
    AppendLittleEndian<quint16>(out, kVersion);
    AppendLittleEndian<quint16>(out, id.hasBirthTime ? kHasBirthTime : 0);
    AppendLittleEndian<quint64>(out, id.device);
    AppendLittleEndian<quint64>(out, id.inode);
    AppendLittleEndian<qint64>(out, id.birthSeconds);
    AppendLittleEndian<quint32>(out, id.birthNanoseconds);
    AppendLittleEndian<quint32>(out, id.type);
    AppendLittleEndian<qint32>(out, id.fsid[0]);
    AppendLittleEndian<qint32>(out, id.fsid[1]);
    AppendLittleEndian<qint32>(out, id.handleType);
    AppendLittleEndian<quint32>(out, quint32(id.handle.size()));
    out.append(id.handle);
    AppendLittleEndian<quint32>(out, quint32(path.size()));
    out.append(path);
    return out;
}

bool decode(const QByteArray& record, Identity* id, QByteArray* path)
{
    if (record.size() < kFixedSize + 4 || std::memcmp(record.constData(), kMagic, 4) != 0)
        return false;
    const char* p = record.constData() + 4;
    if (take<quint16>(p) != kVersion)
        return false;
    const quint16 flags = take<quint16>(p);
    if (flags & ~kHasBirthTime)
        return false;
    id->hasBirthTime = flags & kHasBirthTime;
    id->device = take<quint64>(p);
    id->inode = take<quint64>(p);
    id->birthSeconds = take<qint64>(p);
    id->birthNanoseconds = take<quint32>(p);
    id->type = take<quint32>(p);
    id->fsid[0] = take<qint32>(p);
    id->fsid[1] = take<qint32>(p);
    id->handleType = take<qint32>(p);
    const quint32 handleLength = take<quint32>(p);
    if (handleLength > kMaxHandleSize || kFixedSize + qsizetype(handleLength) + 4 > record.size())
        return false;
    id->handle = QByteArray(p, handleLength);
    p += handleLength;
    const quint32 length = take<quint32>(p);
    // The lengths must account for every remaining byte: a cut or padded record is foreign.
    const qsizetype pathStart = p - record.constData();
    if (qsizetype(length) != record.size() - pathStart || length == 0 || length >= PATH_MAX)
        return false;
    *path = record.sliced(pathStart);
    return path->startsWith('/') && !path->contains('\0') && id->birthNanoseconds < 1000000000u;
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.first(slash);
}

QByteArray childPath(const QByteArray& dir, const char* name)
{
    QByteArray path = dir;
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

// The top of a mount: the kernel says so, or the parent is on another device.
bool isMountTop(const QByteArray& dir)
{
    if (dir == "/")
        return true;
    struct statx sx;
    if (::statx(AT_FDCWD, dir.constData(), AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &sx) != 0)
        return true;
    if ((sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return true;
    struct statx parent;
    if (::statx(AT_FDCWD, parentOf(dir).constData(), AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &parent) != 0)
        return true;
    return parent.stx_dev_major != sx.stx_dev_major || parent.stx_dev_minor != sx.stx_dev_minor;
}

// Breadth-first search under root for the object, leaving out the subtree at skip (searched
// already) and folders on other devices. Each folder read costs one unit of *budget.
bool searchUnder(const QByteArray& root, const QByteArray& skip, const Identity& wanted, int* budget,
                 QByteArray* found)
{
    struct stat rootStat;
    if (::stat(root.constData(), &rootStat) != 0)
        return false;
    std::deque<QByteArray> queue{root};
    while (!queue.empty() && *budget > 0) {
        const QByteArray dir = std::move(queue.front());
        queue.pop_front();
        --*budget;
        const int dirfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (dir == root ? 0 : O_NOFOLLOW));
        if (dirfd < 0)
            continue;   // unreadable folders are passed over
        DIR* stream = ::fdopendir(dirfd);
        if (!stream) {
            ::close(dirfd);
            continue;
        }
        while (const struct dirent* entry = ::readdir(stream)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            if (entry->d_ino == wanted.inode) {
                Identity candidate;
                if (readIdentity(dirfd, name, &candidate) == 0 && sameObject(wanted, candidate)) {
                    *found = childPath(dir, name);
                    ::closedir(stream);
                    return true;
                }
            }
            if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
                continue;
            struct stat st;
            if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)
                || st.st_dev != rootStat.st_dev)
                continue;
            QByteArray child = childPath(dir, name);
            if (child != skip)
                queue.push_back(std::move(child));
        }
        ::closedir(stream);
    }
    return false;
}

bool search(const Identity& wanted, const QByteArray& storedPath, QByteArray* found)
{
    QByteArray dir = parentOf(storedPath);
    struct stat st;
    while (dir != "/" && (::stat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode)))
        dir = parentOf(dir);
    int budget = kAliasSearchFolderLimit;
    QByteArray searched;
    for (;;) {
        if (searchUnder(dir, searched, wanted, &budget, found))
            return true;
        if (budget <= 0 || isMountTop(dir))
            return false;
        searched = dir;
        dir = parentOf(dir);
    }
}

OSErr makeRecord(const FSRef& target, QByteArray* alias)
{
    if (!alias || target.isNull())
        return paramErr;
    Identity id;
    if (const int error = readIdentity(AT_FDCWD, target.path.constData(), &id))
        return OSErrFromErrno(error);
    FSRef seen;
    seen.device = dev_t(id.device);
    seen.inode = ino_t(id.inode);
    seen.hasBirthTime = id.hasBirthTime;
    seen.birthSeconds = id.birthSeconds;
    seen.birthNanoseconds = id.birthNanoseconds;
    if (!seen.sameObjectAs(target))
        return fnfErr;
    *alias = encode(id, target.path);
    return noErr;
}

} // namespace

OSErr NewAlias(const FSRef& target, QByteArray* alias)
{
    return makeRecord(target, alias);
}

OSErr UpdateAlias(const FSRef& target, QByteArray* alias, bool* wasChanged)
{
    if (!alias)
        return paramErr;
    QByteArray fresh;
    const OSErr status = makeRecord(target, &fresh);
    if (status != noErr)
        return status;
    if (wasChanged)
        *wasChanged = fresh != *alias;
    *alias = std::move(fresh);
    return noErr;
}

OSErr FSResolveAlias(const QByteArray& alias, FSRef* target, bool* wasChanged)
{
    if (!target)
        return paramErr;
    Identity wanted;
    QByteArray path;
    if (!decode(alias, &wanted, &path))
        return paramErr;

    QByteArray foundPath;
    bool moved = false;
    Identity there;
    if (readIdentity(AT_FDCWD, path.constData(), &there) == 0 && sameObject(wanted, there)) {
        foundPath = path;
        moved = there.device != wanted.device;   // same file system under a new number
    } else if (search(wanted, path, &foundPath)) {
        moved = true;
    } else {
        return fnfErr;
    }
    FSRef ref;
    const OSErr status = FSPathMakeRef(foundPath, &ref);
    if (status != noErr)
        return status;
    *target = std::move(ref);
    if (wasChanged)
        *wasChanged = moved;
    return noErr;
}

QByteArray AliasRecordPath(const QByteArray& alias)
{
    Identity id;
    QByteArray path;
    return decode(alias, &id, &path) ? path : QByteArray();
}
