#include "platform/Files.h"
#include "platform/NameCodec.h"
#include "platform/Parallel.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

std::atomic<bool> gNoReplaceDisabled{false};

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

QByteArray absolutePath(QByteArrayView path)
{
    QByteArray result;
    if (!path.startsWith('/')) {
        char buffer[PATH_MAX];
        if (!::getcwd(buffer, sizeof buffer))
            return {};
        result = buffer;
        if (!result.endsWith('/'))
            result += '/';
    }
    result += path;
    while (result.size() > 1 && result.endsWith('/'))
        result.chop(1);
    return result;
}

// A handle on the folder that holds the reference's object, and the object's name in it.
struct ParentHandle {
    int fd = -1;
    QByteArray name;
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

bool validName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/')
           && !name.contains('\0');
}

// Fallback for file systems that refuse RENAME_NOREPLACE (NFS, many FUSE file systems).
// For a non-folder, a hard link under the new name fails if the name is taken; the old
// name is then removed. Where hard links are not possible, and for folders, the new
// name is reserved by creating an empty placeholder (O_EXCL / mkdir, both refuse a taken
// name) and the object is renamed over our own placeholder. Never a plain rename(2) onto
// a name we have not reserved.
int renameWithoutNoReplace(int dirfd, const QByteArray& from, const QByteArray& to, bool isDirectory)
{
    if (!isDirectory) {
        if (::linkat(dirfd, from.constData(), dirfd, to.constData(), 0) == 0) {
            if (::unlinkat(dirfd, from.constData(), 0) == 0)
                return 0;
            const int error = errno;
            ::unlinkat(dirfd, to.constData(), 0);
            return error;
        }
        const int error = errno;
        if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != ENOSYS)
            return error;
        const int fd = ::openat(dirfd, to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return errno;
        ::close(fd);
        if (::renameat(dirfd, from.constData(), dirfd, to.constData()) == 0)
            return 0;
        const int renameError = errno;
        ::unlinkat(dirfd, to.constData(), 0);
        return renameError;
    }
    if (::mkdirat(dirfd, to.constData(), 0700) != 0)
        return errno;
    if (::renameat(dirfd, from.constData(), dirfd, to.constData()) == 0)
        return 0;
    const int error = errno;
    ::unlinkat(dirfd, to.constData(), AT_REMOVEDIR);
    return error;
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

QByteArrayView FSRef::nameBytes() const
{
    const qsizetype slash = path.lastIndexOf('/');
    return QByteArrayView(path).sliced(slash + 1);
}

QByteArrayView FSRef::parentPath() const
{
    const qsizetype slash = path.lastIndexOf('/');
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
    if (absolute.size() >= PATH_MAX)
        return fail(sysErrno, ENAMETOOLONG);
    struct stat st;
    const int rc = link == FinalLink::Followed ? ::stat(absolute.constData(), &st)
                                               : ::lstat(absolute.constData(), &st);
    if (rc != 0)
        return fail(sysErrno, errno);
    ref->path = std::move(absolute);
    ref->device = st.st_dev;
    ref->inode = st.st_ino;
    ref->mode = st.st_mode;
    return noErr;
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
    struct stat st;
    if (::lstat(ref->path.constData(), &st) != 0)
        return false;
    return st.st_dev == ref->device && st.st_ino == ref->inode;
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
        child.path.reserve(prefix.size() + length);
        child.path.append(prefix).append(name, length);
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
            struct stat st;
            if (::fstatat(dirfd, child.path.constData() + nameStart, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                child = FSRef();   // vanished since readdir saw it: dropped below
                continue;
            }
            child.mode = st.st_mode;
            if (detail == ItemDetail::Identity) {
                child.device = st.st_dev;
                child.inode = st.st_ino;
            }
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

QSet<QByteArray> ReadHiddenNames(const FSRef& folder)
{
    QSet<QByteArray> names;
    const QByteArray path = folder.path + "/.hidden";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return names;
    // The file lists names a person chose to hide; a megabyte is far beyond any real one.
    QByteArray data(1 << 20, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < data.size()) {
        const ssize_t n = ::read(fd, data.data() + total, size_t(data.size() - total));
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    data.truncate(total);
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
    const QByteArray to = EncodeFileName(newName);
    if (!validName(to))
        return fail(sysErrno, EINVAL);
    if (to.size() > NAME_MAX)
        return fail(sysErrno, ENAMETOOLONG);

    ParentHandle parent;
    if (folderFd >= 0) {
        parent.name = ref->nameBytes().toByteArray();
    } else if (const int error = openParent(*ref, &parent)) {
        return fail(sysErrno, error);
    }
    const int dirfd = folderFd >= 0 ? folderFd : parent.fd;
    const QByteArray& from = parent.name;

    // The object must still be the one the reference was made of: never rename an item
    // that took its place since.
    struct stat st;
    if (::fstatat(dirfd, from.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(sysErrno, errno);
    if (st.st_dev != ref->device || st.st_ino != ref->inode)
        return fail(sysErrno, ENOENT);
    if (from == to)
        return noErr;

    int error = 0;
    if (!gNoReplaceDisabled.load(std::memory_order_relaxed)
        && ::renameat2(dirfd, from.constData(), dirfd, to.constData(), RENAME_NOREPLACE) == 0) {
        error = 0;
    } else {
        error = gNoReplaceDisabled.load(std::memory_order_relaxed) ? EINVAL : errno;
        if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
            error = renameWithoutNoReplace(dirfd, from, to, S_ISDIR(st.st_mode));
    }
    if (error != 0)
        return fail(sysErrno, error);

    QByteArray dir = ref->parentPath().toByteArray();
    if (!dir.endsWith('/'))
        dir += '/';
    ref->path = dir + to;
    setErrno(sysErrno, 0);
    return noErr;
}

void SetRenameNoReplaceDisabledForTesting(bool disabled)
{
    gNoReplaceDisabled.store(disabled, std::memory_order_relaxed);
}
