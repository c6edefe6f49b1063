#include "platform/Files.h"
#include "platform/NameCodec.h"
#include "platform/Parallel.h"

#include <QMutex>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace {

std::atomic<bool> gNoReplaceDisabled{false};
std::atomic<bool> gHardLinksDisabled{false};
QMutex gStepHookLock;
RenameStepHook gStepHook;

// What the fallback leaves on disk between its steps when it is cut short (a crash, a
// kill, a power cut): the object under both names, or a placeholder at the new name:
// - a placeholder file holds kPlaceholderMagic, then the name being renamed, then '\n';
// - a placeholder folder is empty and carries kPlaceholderAttribute with that name.
// Only a run or an undo that holds the folder's run lock takes such leftovers away, and
// only for the renames its journal names (UndoInterruptedRename). Earlier versions marked
// an object with two names with kRenamingAttribute; the mark is taken off where found.
constexpr char kRenamingAttribute[] = "user.org.ordinello.renaming";
constexpr char kPlaceholderAttribute[] = "user.org.ordinello.placeholder";
constexpr char kPlaceholderMagic[] = "\x7FOrdinello rename placeholder\n";
constexpr qsizetype kPlaceholderMagicSize = sizeof kPlaceholderMagic - 1;
std::atomic<unsigned> gDeviceNumberChange{0};
constexpr decltype(statfs::f_type) kFuseSuperMagic = 0x65735546;

bool stepAllowed(RenameStep step, int dirfd, const QByteArray& from, const QByteArray& to)
{
    QMutexLocker lock(&gStepHookLock);
    return !gStepHook || gStepHook(step, dirfd, from, to);
}

void setErrno(int* out, int value)
{
    if (out)
        *out = value;
}

OSErr fail(int* sysErrno, int error)
{
    setErrno(sysErrno, error);
    return OSErrFromErrno(error);
}

// The canonical form of a path: absolute, its folder resolved (realpath: no ".", "..",
// doubled "/" or symbolic links on the way) and its last component as given, so a final
// link stays a link. A last component "." or ".." names a folder, never a link: it is
// resolved with the rest. Empty on failure, with errno set.
QByteArray absolutePath(QByteArrayView path)
{
    QByteArray whole;
    if (!path.startsWith('/')) {
        char buffer[PATH_MAX];
        if (!::getcwd(buffer, sizeof buffer))
            return {};
        whole = buffer;
        whole += '/';
    }
    whole += path;
    while (whole.size() > 1 && whole.endsWith('/'))
        whole.chop(1);
    if (whole == "/")
        return whole;
    const qsizetype slash = whole.lastIndexOf('/');
    const QByteArray name = whole.sliced(slash + 1);
    const bool dotted = name == "." || name == "..";
    char resolved[PATH_MAX];
    if (!::realpath(dotted ? whole.constData() : slash == 0 ? "/" : whole.first(slash).constData(), resolved))
        return {};
    QByteArray result(resolved);
    if (dotted)
        return result;
    if (!result.endsWith('/'))
        result += '/';
    return result + name;
}

void fillIdentity(const struct statx& sx, FSRef* ref)
{
    ref->device = makedev(sx.stx_dev_major, sx.stx_dev_minor) ^ gDeviceNumberChange.load(std::memory_order_relaxed);
    ref->inode = sx.stx_ino;
    ref->mode = sx.stx_mode;
    ref->hasBirthTime = (sx.stx_mask & STATX_BTIME) != 0;
    ref->birthSeconds = ref->hasBirthTime ? sx.stx_btime.tv_sec : 0;
    ref->birthNanoseconds = ref->hasBirthTime ? sx.stx_btime.tv_nsec : 0;
}

constexpr unsigned kIdentityMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_NLINK | STATX_SIZE | STATX_BTIME;

int statxNoFollow(int dirfd, const char* path, struct statx* sx)
{
    return ::statx(dirfd, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kIdentityMask, sx) == 0 ? 0 : errno;
}

// The object at name in the folder, if it is still the one identity describes.
bool stillThere(int dirfd, const QByteArray& name, const FSRef& identity)
{
    struct statx sx;
    if (statxNoFollow(dirfd, name.constData(), &sx) != 0)
        return false;
    FSRef now;
    fillIdentity(sx, &now);
    return now.sameObjectAs(identity);
}

// Extended attributes have no *at() calls: reach the name through the folder handle.
QByteArray procPath(int dirfd, const QByteArray& name)
{
    return "/proc/self/fd/" + QByteArray::number(dirfd) + '/' + name;
}

// A handle on the folder that holds the reference's object, and the object's name in it.
struct ParentHandle {
    int fd = -1;
    QByteArray name;
    // Owns its descriptor: moved, never copied (a copy would close it twice).
    ParentHandle() = default;
    ParentHandle(const ParentHandle&) = delete;
    ParentHandle& operator=(const ParentHandle&) = delete;
    ParentHandle(ParentHandle&& other) noexcept
        : fd(std::exchange(other.fd, -1))
        , name(std::move(other.name))
    {
    }
    ParentHandle& operator=(ParentHandle&& other) noexcept
    {
        if (this != &other) {
            if (fd >= 0)
                ::close(fd);
            fd = std::exchange(other.fd, -1);
            name = std::move(other.name);
        }
        return *this;
    }
    ~ParentHandle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

int openParent(const FSRef& ref, ParentHandle* parent)
{
    const QByteArray dir = ref.parentPath().toByteArray();
    parent->name = ref.nameBytes().toByteArray();
    parent->fd = ::open(dir.isEmpty() ? "/" : dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return parent->fd >= 0 ? 0 : errno;
}

bool validName(QByteArrayView name)
{
    return !name.isEmpty() && name != "." && name != ".."
           && !std::memchr(name.data(), '/', size_t(name.size())) && !std::memchr(name.data(), '\0', size_t(name.size()));
}

// The kernel's file handle of the object at name, not following a final link: on file
// systems that give one, it tells an object from a newcomer that got its inode number.
// Empty where the file system gives none.
QByteArray fileHandle(int dirfd, const char* name)
{
    struct {
        struct file_handle header;
        unsigned char bytes[MAX_HANDLE_SZ];
    } handle;
    handle.header.handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(dirfd, name, &handle.header, &mountId, 0) != 0)
        return {};
    return QByteArray(reinterpret_cast<const char*>(&handle.header.handle_type), sizeof handle.header.handle_type)
           + QByteArray(reinterpret_cast<const char*>(handle.header.f_handle), int(handle.header.handle_bytes));
}

// Both names of the folder hold, right now, the object `identity` describes: device,
// inode and birth time, and the file handles where the file system gives them. This is
// the proof a step needs before it takes one of the two names away. Link counts are
// never consulted: FUSE file systems cache them.
bool bothNamesHold(int dirfd, const QByteArray& a, const QByteArray& b, const FSRef& identity)
{
    if (a == b || !stillThere(dirfd, a, identity) || !stillThere(dirfd, b, identity))
        return false;
    // FUSE hands out a handle per name it looked up, not per object: two names of one
    // file carry different handles there, so only the inode speaks for them.
    struct statfs fs;
    if (::fstatfs(dirfd, &fs) == 0 && fs.f_type == kFuseSuperMagic)
        return true;
    const QByteArray handleA = fileHandle(dirfd, a.constData());
    return handleA.isEmpty() || handleA == fileHandle(dirfd, b.constData());
}

// The placeholder file that reserves a new name for `from`: exactly the magic line, the
// name and a newline. A file a person made to look like one is never taken for it unless
// a journal names the rename too (see UndoInterruptedRename).
bool isPlaceholderFile(int dirfd, const QByteArray& name, const QByteArray& from)
{
    const FileDescriptor fd = OpenRegularFile(dirfd, name.constData(), O_RDONLY);
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_size != kPlaceholderMagicSize + from.size() + 1)
        return false;
    return ReadAtMost(fd.get(), qsizetype(st.st_size) + 1) == kPlaceholderMagic + from + '\n';
}

bool isPlaceholderFolder(int dirfd, const QByteArray& name, const QByteArray& from)
{
    char value[NAME_MAX + 1];
    const ssize_t n = ::lgetxattr(procPath(dirfd, name).constData(), kPlaceholderAttribute, value, sizeof value);
    return n == from.size() && QByteArrayView(value, n) == from;
}

// Fallback for file systems that refuse RENAME_NOREPLACE (NFS, sshfs, many FUSE file
// systems). The new name is always reserved first by something that fails when the name
// is taken, and every step that could remove or replace something first checks that the
// objects are still the ones seen (another program may save a new version of the item,
// or put a file at the new name, between two of our steps):
// - a non-folder gets a hard link under the new name, then loses its old name, but only
//   while both names are verified to hold the same object;
// - where hard links are refused, and for folders, an empty placeholder (O_EXCL file or
//   mkdir) takes the new name and the object is renamed over it, but only while the
//   placeholder is still ours.
// The small window between a check and the step it guards cannot be closed without the
// kernel's flag; what is found changed is left alone and the rename fails with ECANCELED.
int renameWithPlaceholder(int dirfd, const QByteArray& from, const QByteArray& to, const FSRef& source)
{
    const bool folder = S_ISDIR(source.mode);
    FSRef placeholder;
    if (folder) {
        if (::mkdirat(dirfd, to.constData(), 0700) != 0)
            return errno;
        // Best effort: a file system without extended attributes keeps an unmarked folder,
        // which is then never taken for ours.
        ::lsetxattr(procPath(dirfd, to).constData(), kPlaceholderAttribute, from.constData(), size_t(from.size()), 0);
        struct statx sx;
        if (statxNoFollow(dirfd, to.constData(), &sx) != 0)
            return errno;
        fillIdentity(sx, &placeholder);
    } else {
        const FileDescriptor fd = OpenRegularFile(dirfd, to.constData(), O_WRONLY | O_CREAT | O_EXCL);
        if (!fd)
            return errno == ENODEV ? EEXIST : errno;
        const QByteArray content = kPlaceholderMagic + from + '\n';
        const bool written = ::write(fd.get(), content.constData(), size_t(content.size())) == content.size();
        struct statx sx;
        const int statError = ::statx(fd.get(), "", AT_EMPTY_PATH, kIdentityMask, &sx) == 0 ? 0 : errno;
        if (!written || statError) {
            ::unlinkat(dirfd, to.constData(), 0);
            return statError ? statError : EIO;
        }
        fillIdentity(sx, &placeholder);
    }
    if (!stepAllowed(RenameStep::PlaceholderMade, dirfd, from, to))
        return EINTR;

    auto removePlaceholder = [&] {
        if (stillThere(dirfd, to, placeholder))
            ::unlinkat(dirfd, to.constData(), folder ? AT_REMOVEDIR : 0);
    };
    if (!stillThere(dirfd, to, placeholder))
        return EEXIST;   // someone else's object now holds the name: it stays
    if (!stillThere(dirfd, from, source)) {
        removePlaceholder();
        return ECANCELED;
    }
    if (::renameat(dirfd, from.constData(), dirfd, to.constData()) != 0) {
        const int error = errno;
        removePlaceholder();
        return error;
    }
    return 0;
}

int renameWithoutNoReplace(int dirfd, const QByteArray& from, const QByteArray& to, const FSRef& source)
{
    if (S_ISDIR(source.mode) || gHardLinksDisabled.load(std::memory_order_relaxed))
        return renameWithPlaceholder(dirfd, from, to, source);

    if (::linkat(dirfd, from.constData(), dirfd, to.constData(), 0) != 0) {
        const int error = errno;
        if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != ENOSYS)
            return error;
        return renameWithPlaceholder(dirfd, from, to, source);
    }
    if (!stepAllowed(RenameStep::Linked, dirfd, from, to))
        return EINTR;

    // The old name goes only while both names are seen to hold our object.
    if (bothNamesHold(dirfd, from, to, source)) {
        if (::unlinkat(dirfd, from.constData(), 0) == 0)
            return 0;
        const int error = errno;
        // Both names were just seen to hold the object: the new one may go again.
        if (bothNamesHold(dirfd, from, to, source))
            ::unlinkat(dirfd, to.constData(), 0);
        return error;
    }
    // Something changed between the two steps. The old name gone (another process moved
    // or removed it) leaves our object under its new name alone: that name stays, and the
    // item is renamed. Anything else (a new version saved under the old name, another
    // object put at the new one) is left as found, with both objects kept: nothing proves
    // the object at the new name survives under another name.
    if (stillThere(dirfd, to, source)) {
        FSRef atOld;
        if (ReadObjectIdentity(dirfd, from.constData(), &atOld) == ENOENT)
            return 0;
    }
    return ECANCELED;
}

} // namespace

bool FSRef::isDirectory() const
{
    return S_ISDIR(mode);
}

bool FSRef::isSymbolicLink() const
{
    return S_ISLNK(mode);
}

namespace {

// The last separator of the path, or -1.
qsizetype lastSeparator(const QByteArray& path)
{
    const void* slash = ::memrchr(path.constData(), '/', size_t(path.size()));
    return slash ? static_cast<const char*>(slash) - path.constData() : -1;
}

} // namespace

QByteArrayView FSRef::nameBytes() const
{
    return QByteArrayView(path).sliced(lastSeparator(path) + 1);
}

QByteArrayView FSRef::parentPath() const
{
    const qsizetype slash = lastSeparator(path);
    if (slash <= 0)
        return slash == 0 ? QByteArrayView("/") : QByteArrayView();
    return QByteArrayView(path).first(slash);
}

OSErr FSPathMakeRef(QByteArrayView path, FSRef* ref, FinalLink link, int* sysErrno)
{
    if (!ref || path.isEmpty())
        return fail(sysErrno, EINVAL);
    if (path.contains('\0'))
        return fail(sysErrno, EINVAL);
    QByteArray absolute = absolutePath(path);
    if (absolute.isEmpty())
        return fail(sysErrno, errno ? errno : ENOENT);
    if (link == FinalLink::Resolved) {
        char resolved[PATH_MAX];
        if (!::realpath(absolute.constData(), resolved))
            return fail(sysErrno, errno);
        absolute = resolved;
        link = FinalLink::NotFollowed;
    }
    if (absolute.size() >= PATH_MAX)
        return fail(sysErrno, ENAMETOOLONG);
    struct statx sx;
    const int flags = link == FinalLink::Followed ? AT_NO_AUTOMOUNT : AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
    if (::statx(AT_FDCWD, absolute.constData(), flags, kIdentityMask, &sx) != 0)
        return fail(sysErrno, errno);
    ref->path = std::move(absolute);
    fillIdentity(sx, ref);
    return noErr;
}

int ReadObjectIdentity(int dirfd, const char* path, FSRef* identity)
{
    struct statx sx;
    if (!identity || !path)
        return EINVAL;
    if (const int error = statxNoFollow(dirfd, path, &sx))
        return error;
    fillIdentity(sx, identity);
    return 0;
}

OSErr FSRefMakePath(const FSRef* ref, QByteArray* path)
{
    if (!ref || !path || ref->isNull())
        return paramErr;
    *path = ref->path;
    return noErr;
}

bool FSIsFSRefValid(const FSRef* ref)
{
    if (!ref || ref->isNull())
        return false;
    return stillThere(AT_FDCWD, ref->path, *ref);
}

OSErr FSGetDirectoryItems(const FSRef& folder, QList<FSRef>* items, bool* changed, int* sysErrno,
                          ItemDetail detail)
{
    if (!items || folder.isNull())
        return fail(sysErrno, EINVAL);
    items->clear();
    if (changed)
        *changed = false;

    const int dirfd = ::open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        return fail(sysErrno, errno);
    struct stat before;
    if (::fstat(dirfd, &before) != 0) {
        const int error = errno;
        ::close(dirfd);
        return fail(sysErrno, error);
    }
    // The reference may have been made of a link to the folder; what must match is the
    // folder actually opened, so compare with what the path resolves to now.
    if (!folder.isSymbolicLink() && (before.st_dev != folder.device || before.st_ino != folder.inode)) {
        ::close(dirfd);
        return fail(sysErrno, ENOENT);
    }
    DIR* dir = ::fdopendir(dirfd);
    if (!dir) {
        const int error = errno;
        ::close(dirfd);
        return fail(sysErrno, error);
    }

    QByteArray prefix = folder.path;
    if (!prefix.endsWith('/'))
        prefix += '/';
    // Paths first (one pass of getdents), then each child's identity. The lstat calls
    // dominate on large folders and are independent, so they run in parallel.
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        FSRef child;
        const qsizetype length = qsizetype(std::strlen(name));
        child.path = QByteArray(prefix.size() + length, Qt::Uninitialized);
        char* bytes = child.path.data();
        std::memcpy(bytes, prefix.constData(), size_t(prefix.size()));
        std::memcpy(bytes + prefix.size(), name, size_t(length));
        child.mode = DTTOIF(entry->d_type);   // DT_UNKNOWN gives 0: asked below
        items->append(std::move(child));
        errno = 0;
    }
    const int readError = errno;
    if (readError != 0) {
        items->clear();
        ::closedir(dir);
        return fail(sysErrno, readError);
    }

    // Raw pointers: the threads must not touch the list's shared-data bookkeeping.
    FSRef* children = items->data();
    const qsizetype nameStart = prefix.size();
    ParallelFor(items->size(), [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            FSRef& child = children[i];
            if (detail == ItemDetail::NameAndType && child.mode != 0)
                continue;
            struct statx sx;
            if (statxNoFollow(dirfd, child.path.constData() + nameStart, &sx) != 0) {
                child = FSRef();   // vanished since readdir saw it: dropped below
                continue;
            }
            if (detail == ItemDetail::NameAndType)
                child.mode = sx.stx_mode;
            else
                fillIdentity(sx, &child);
        }
    });
    items->removeIf([](const FSRef& ref) { return ref.isNull(); });

    struct stat after;
    if (changed && ::fstat(dirfd, &after) == 0)
        *changed = after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
    ::closedir(dir);
    return noErr;
}

OSErr FSGetFinderInfo(const FSRef& item, FinderInfo* info, bool* isDirectory)
{
    if (!info || item.isNull())
        return paramErr;
    info->bytes.fill(0);
    if (isDirectory) {
        struct stat st;
        if (::lstat(item.path.constData(), &st) != 0)
            return OSErrFromErrno(errno);
        *isDirectory = S_ISDIR(st.st_mode);
    }
    const ssize_t n = ::lgetxattr(item.path.constData(), kFinderInfoAttribute, info->bytes.data(), info->bytes.size());
    if (n >= 0)
        return noErr;
    // A missing attribute (or a file system without them) is the all-zero record.
    if (errno == ENODATA || errno == ENOTSUP || errno == ERANGE) {
        info->bytes.fill(0);
        return noErr;
    }
    return OSErrFromErrno(errno);
}

OSErr FSSetFinderInfo(const FSRef& item, const FinderInfo& info)
{
    if (item.isNull())
        return paramErr;
    if (::lsetxattr(item.path.constData(), kFinderInfoAttribute, info.bytes.data(), info.bytes.size(), 0) != 0)
        return OSErrFromErrno(errno);
    return noErr;
}

QByteArray ReadAtMost(int fd, qsizetype limit)
{
    QByteArray data(limit, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < data.size()) {
        const ssize_t n = ::read(fd, data.data() + total, size_t(data.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    data.truncate(total);
    return data;
}

FileDescriptor OpenRegularFile(int dirfd, const char* path, int flags, mode_t mode, int* sysErrno)
{
    const bool truncate = flags & O_TRUNC;
    FileDescriptor fd(::openat(dirfd, path, (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
    if (!fd) {
        int error = errno;
        // ELOOP: the name is a symbolic link (O_NOFOLLOW); ENXIO: a FIFO without a reader
        // or a socket, opened for writing.
        if (error == ELOOP || error == ENXIO)
            error = ENODEV;
        setErrno(sysErrno, error);
        return fd;
    }
    struct stat st;
    int error = 0;
    if (::fstat(fd.get(), &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    else if (::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0
             || (truncate && ::ftruncate(fd.get(), 0) != 0))
        error = errno;
    if (error) {
        setErrno(sysErrno, error);
        return FileDescriptor();
    }
    return fd;
}

QSet<QByteArray> ReadHiddenNames(const FSRef& folder)
{
    QSet<QByteArray> names;
    const QByteArray path = folder.path + "/.hidden";
    const FileDescriptor fd = OpenRegularFile(AT_FDCWD, path.constData(), O_RDONLY);
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return names;
    // The file lists names a person chose to hide; a megabyte is far beyond any real one.
    const QByteArray data = ReadAtMost(fd.get(), qsizetype(std::min<off_t>(st.st_size + 1, 1 << 20)));
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.insert(line);
    }
    return names;
}

OSErr FSRenameUnicode(FSRef* ref, QStringView newName, int* sysErrno, int folderFd)
{
    if (!ref || ref->isNull())
        return fail(sysErrno, EINVAL);
    return FSRenameBytes(ref, EncodeFileName(newName), sysErrno, folderFd);
}

OSErr FSRenameBytes(FSRef* ref, QByteArrayView to, int* sysErrno, int folderFd)
{
    if (!ref || ref->isNull())
        return fail(sysErrno, EINVAL);
    if (!validName(to))
        return fail(sysErrno, EINVAL);
    if (to.size() > NAME_MAX)
        return fail(sysErrno, ENAMETOOLONG);
    // The system calls need the names NUL-terminated: the old one is the tail of the
    // reference's path, the new one is copied (it is at most NAME_MAX bytes).
    char toName[NAME_MAX + 1];
    std::memcpy(toName, to.data(), size_t(to.size()));
    toName[to.size()] = '\0';

    ParentHandle parent;
    if (folderFd < 0) {
        if (const int error = openParent(*ref, &parent))
            return fail(sysErrno, error);
    }
    const int dirfd = folderFd >= 0 ? folderFd : parent.fd;
    const qsizetype nameStart = lastSeparator(ref->path) + 1;
    const char* from = ref->path.constData() + nameStart;

    // The object must still be the one the reference was made of: never rename an item
    // that took its place since.
    FSRef current;
    if (const int error = ReadObjectIdentity(dirfd, from, &current))
        return fail(sysErrno, error);
    if (!current.sameObjectAs(*ref))
        return fail(sysErrno, ENOENT);
    if (ref->nameBytes() == to)
        return noErr;

    int error = 0;
    if (!gNoReplaceDisabled.load(std::memory_order_relaxed)
        && ::renameat2(dirfd, from, dirfd, toName, RENAME_NOREPLACE) == 0) {
        error = 0;
    } else {
        error = gNoReplaceDisabled.load(std::memory_order_relaxed) ? EINVAL : errno;
        if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
            error = renameWithoutNoReplace(dirfd, QByteArray(from), to.toByteArray(), current);
    }
    if (error != 0)
        return fail(sysErrno, error);

    // The new name in place of the old one, in the reference's own buffer.
    ref->path.resize(nameStart + to.size());
    std::memcpy(ref->path.data() + nameStart, toName, size_t(to.size()));
    setErrno(sysErrno, 0);
    return noErr;
}

void SetRenameNoReplaceDisabledForTesting(bool disabled)
{
    gNoReplaceDisabled.store(disabled, std::memory_order_relaxed);
}

void SetHardLinksDisabledForTesting(bool disabled)
{
    gHardLinksDisabled.store(disabled, std::memory_order_relaxed);
}

void SetRenameStepHookForTesting(RenameStepHook hook)
{
    QMutexLocker lock(&gStepHookLock);
    gStepHook = std::move(hook);
}

void SetDeviceNumberChangeForTesting(unsigned change)
{
    gDeviceNumberChange.store(change, std::memory_order_relaxed);
}

QByteArray ReadFileHandle(int dirfd, const char* path)
{
    return fileHandle(dirfd, path);
}

bool UndoInterruptedRename(int dirfd, const QByteArray& from, const QByteArray& to, const FSRef& identity)
{
    if (!validName(from) || !validName(to) || from == to)
        return false;
    if (!stillThere(dirfd, from, identity))
        return false;   // not (or no longer) under its old name: nothing of ours to take away
    // A mark an earlier version put on an object with two names.
    ::lremovexattr(procPath(dirfd, from).constData(), kRenamingAttribute);
    if (bothNamesHold(dirfd, from, to, identity))
        return ::unlinkat(dirfd, to.constData(), 0) == 0;
    struct statx sx;
    if (statxNoFollow(dirfd, to.constData(), &sx) != 0)
        return false;
    if (S_ISDIR(sx.stx_mode)) {
        // rmdir takes away only an empty folder.
        return isPlaceholderFolder(dirfd, to, from) && ::unlinkat(dirfd, to.constData(), AT_REMOVEDIR) == 0;
    }
    return S_ISREG(sx.stx_mode) && isPlaceholderFile(dirfd, to, from) && ::unlinkat(dirfd, to.constData(), 0) == 0;
}
