#include "support/CFile.h"

#include "fsobjects/ObjectNames.h"
#include "platform/NameCodec.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Whether what statx saw is the object the reference was made of: device and inode, and
// the birth time where both know one (ext4 hands a deleted object's inode number on).
bool sameObject(const struct statx& sx, const FSRef& ref)
{
    FSRef seen;
    seen.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    seen.inode = sx.stx_ino;
    seen.hasBirthTime = (sx.stx_mask & STATX_BTIME) != 0;
    seen.birthSeconds = seen.hasBirthTime ? sx.stx_btime.tv_sec : 0;
    seen.birthNanoseconds = seen.hasBirthTime ? sx.stx_btime.tv_nsec : 0;
    return seen.sameObjectAs(ref);
}

// One statx of the object itself (never its link target), and the check that the path
// still names the object the reference was made of; the check costs no further call.
OSErr statItem(const FSRef& ref, unsigned mask, struct statx* sx)
{
    if (ref.isNull())
        return paramErr;
    if (::statx(AT_FDCWD, ref.path.constData(), AT_SYMLINK_NOFOLLOW, mask | STATX_INO | STATX_BTIME, sx) != 0)
        return OSErrFromErrno(errno);
    return sameObject(*sx, ref) ? OSErr(noErr) : OSErr(fnfErr);
}

// The same check on an open handle.
bool handleIsObject(int fd, const FSRef& ref, struct statx* sx)
{
    return ::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, sx) == 0 && sameObject(*sx, ref);
}

bool isDirectory(const struct statx& sx)
{
    return S_ISDIR(sx.stx_mode);
}

OSErr dateFrom(const statx_timestamp& stamp, UTCDateTime* date)
{
    const timespec time{time_t(stamp.tv_sec), long(stamp.tv_nsec)};
    return UTCDateTimeFromTimespec(time, date) ? noErr : paramErr;
}

// The size of an extended attribute; a missing one (or a file system without them) is 0.
OSErr attributeSize(const FSRef& ref, const char* name, std::uint64_t* size)
{
    const ssize_t n = ::lgetxattr(ref.path.constData(), name, nullptr, 0);
    if (n >= 0) {
        *size = std::uint64_t(n);
        return noErr;
    }
    *size = 0;
    return errno == ENODATA || errno == ENOTSUP ? OSErr(noErr) : OSErrFromErrno(errno);
}

// Extended attributes are read and written by path: the path must still name the
// referenced object, or the answer would be another object's (or tag it).
OSErr checkIdentity(const FSRef& ref)
{
    struct statx sx;
    return statItem(ref, 0, &sx);
}

OSErr codeAt(const FSRef& ref, int offset, OSType* code)
{
    *code = 0;
    OSErr status = checkIdentity(ref);
    if (status != noErr)
        return status;
    FinderInfo info;
    status = FSGetFinderInfo(ref, &info);
    if (status != noErr)
        return status;
    const std::uint8_t* b = info.bytes.data() + offset;
    *code = OSType(b[0]) << 24 | OSType(b[1]) << 16 | OSType(b[2]) << 8 | OSType(b[3]);
    return noErr;
}

OSErr setCodeAt(const FSRef& ref, int offset, OSType code)
{
    OSErr status = checkIdentity(ref);
    if (status != noErr)
        return status;
    FinderInfo info;
    status = FSGetFinderInfo(ref, &info);
    if (status != noErr)
        return status;
    std::uint8_t* b = info.bytes.data() + offset;
    b[0] = std::uint8_t(code >> 24);
    b[1] = std::uint8_t(code >> 16);
    b[2] = std::uint8_t(code >> 8);
    b[3] = std::uint8_t(code);
    return FSSetFinderInfo(ref, info);
}

OSErr checkName(const QString& name, QByteArray* bytes)
{
    *bytes = EncodeFileName(name);
    if (bytes->isEmpty() || *bytes == "." || *bytes == ".." || bytes->contains('/') || bytes->contains('\0'))
        return paramErr;
    if (bytes->size() > NAME_MAX)
        return errFSNameTooLong;
    return noErr;
}

QByteArray childPath(const FSRef& folder, const QByteArray& name)
{
    QByteArray path = folder.path;
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

// A handle on the folder the reference names; the folder must still be the referenced one
// (a reference made of a link to a folder opens the folder the link now points to).
int openFolder(const FSRef& folder, OSErr* status)
{
    if (folder.isNull()) {
        *status = paramErr;
        return -1;
    }
    const int fd = ::open(folder.path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *status = OSErrFromErrno(errno);
        return -1;
    }
    struct statx sx;
    if (!folder.isSymbolicLink() && !handleIsObject(fd, folder, &sx)) {
        ::close(fd);
        *status = fnfErr;
        return -1;
    }
    *status = noErr;
    return fd;
}

OSErr lookUp(int dirfd, const FSRef& folder, const QByteArray& name, FSRef* item)
{
    QByteArray path = childPath(folder, name);
    if (path.size() >= PATH_MAX)
        return errFSNameTooLong;
    FSRef found;
    if (const int error = ReadObjectIdentity(dirfd, name.constData(), &found))
        return OSErrFromErrno(error);
    found.path = std::move(path);
    *item = std::move(found);
    return noErr;
}

enum class Kind { File, Folder };

// Finds the object of that name in the folder or makes it. Making refuses a taken name
// (O_EXCL, mkdirat): when another process made the name meanwhile, its object is found.
OSErr findOrCreate(const FSRef& folder, const QString& name, Kind kind, FSRef* item)
{
    QByteArray bytes;
    OSErr status = checkName(name, &bytes);
    if (status != noErr)
        return status;
    const int dirfd = openFolder(folder, &status);
    if (dirfd < 0)
        return status;
    status = lookUp(dirfd, folder, bytes, item);
    if (status == fnfErr) {
        int rc;
        if (kind == Kind::File) {
            rc = ::openat(dirfd, bytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (rc >= 0)
                rc = ::close(rc);
        } else {
            rc = ::mkdirat(dirfd, bytes.constData(), 0777);
        }
        status = rc == 0 || errno == EEXIST ? lookUp(dirfd, folder, bytes, item) : OSErrFromErrno(errno);
    }
    ::close(dirfd);
    return status;
}

void setTypeAndCreator(const FSRef& file, OSType type, OSType creator)
{
    CFile::FSSetType(file, type);
    CFile::FSSetCreator(file, creator);
}

// Sets the content modification time alone: the access time is no date of the classic
// record, and neither the birth time nor the attribute-change time can be set on Linux.
void setModificationTime(const FSRef& ref, const UTCDateTime& modified)
{
    if (checkIdentity(ref) != noErr)
        return;
    const timespec times[2] = {{0, UTIME_OMIT}, TimespecFromUTCDateTime(modified)};   // access, modification
    ::utimensat(AT_FDCWD, ref.path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

OSErr CFile::GetFSRefFromAEDesc(FSRef* ref, const AEDesc* desc)
{
    if (!ref || !desc)
        return paramErr;
    if (desc->descriptorType == typeFSRef) {
        if (UnflattenFSRef(desc->dataHandle, ref))
            return noErr;
    } else {
        AEDesc coerced;
        if (AECoerceDesc(*desc, typeFSRef, &coerced) == noErr && UnflattenFSRef(coerced.dataHandle, ref))
            return noErr;
    }
    // The older form: a folder and a name.
    FSSpec spec;
    if (desc->descriptorType == typeFSS) {
        if (!UnflattenFSSpec(desc->dataHandle, &spec))
            return errAECoercionFail;
    } else {
        AEDesc coerced;
        const OSErr status = AECoerceDesc(*desc, typeFSS, &coerced);
        if (status != noErr)
            return status;
        if (!UnflattenFSSpec(coerced.dataHandle, &spec))
            return errAECoercionFail;
    }
    return FSpMakeFSRef(spec, ref);
}

OSErr CFile::FSGetPascalPath(const FSRef& ref, Str255 path)
{
    path[0] = 0;
    if (ref.isNull())
        return paramErr;
    if (!FSIsFSRefValid(&ref))
        return fnfErr;
    if (ref.path.size() > 254)
        return errFSNameTooLong;
    path[0] = static_cast<unsigned char>(ref.path.size());
    std::memcpy(path + 1, ref.path.constData(), size_t(ref.path.size()));
    return noErr;
}

QString CFile::FSGetObjectName(const FSRef& ref)
{
    return FSGetName(ref);
}

OSErr CFile::FSSetObjectName(FSRef& ref, const QString& name)
{
    return FSRenameUnicode(&ref, name);
}

bool CFile::FileIsAliasedDirectory(const FSRef* ref)
{
    if (!ref || ref->isNull())
        return false;
    struct stat st;
    return ::lstat(ref->path.constData(), &st) == 0 && S_ISLNK(st.st_mode)
           && ::stat(ref->path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CFile::IsADirectory(const FSRef& ref)
{
    struct statx sx;
    return statItem(ref, STATX_TYPE, &sx) == noErr && isDirectory(sx);
}

bool CFile::IsAFile(const FSRef& ref)
{
    struct statx sx;
    return statItem(ref, STATX_TYPE, &sx) == noErr && !isDirectory(sx);
}

OSErr CFile::FSGetType(const FSRef& ref, OSType& type)
{
    return codeAt(ref, 0, &type);
}

OSErr CFile::FSGetDataForkSize(const FSRef& ref, std::uint64_t& size)
{
    size = 0;
    struct statx sx;
    const OSErr status = statItem(ref, STATX_TYPE | STATX_SIZE, &sx);
    if (status == noErr && !isDirectory(sx))
        size = sx.stx_size;
    return status;
}

OSErr CFile::FSGetSize(const FSRef& ref, std::uint64_t& size)
{
    std::uint64_t data = 0;
    std::uint64_t resource = 0;
    OSErr status = FSGetDataForkSize(ref, data);
    if (status == noErr)
        status = attributeSize(ref, kResourceForkAttribute, &resource);
    size = status == noErr ? data + resource : 0;
    return status;
}

OSErr CFile::FSGetCreator(const FSRef& ref, OSType& creator)
{
    return codeAt(ref, 4, &creator);
}

OSErr CFile::FSGetModDateAsUInt32(const FSRef& ref, std::uint32_t& seconds)
{
    UTCDateTime date;
    const OSErr status = FSGetModDate(ref, date);
    seconds = status == noErr ? date.lowSeconds : 0;
    return status;
}

OSErr CFile::FSSetType(const FSRef& ref, OSType type)
{
    return setCodeAt(ref, 0, type);
}

OSErr CFile::FSSetCreator(const FSRef& ref, OSType creator)
{
    return setCodeAt(ref, 4, creator);
}

OSErr CFile::FSSetComment(const FSRef& ref, const QString& comment)
{
    if (const OSErr status = checkIdentity(ref); status != noErr)
        return status;
    const QByteArray text = comment.toUtf8();
    int rc;
    if (text.isEmpty()) {
        rc = ::lremovexattr(ref.path.constData(), kCommentAttribute);
        if (rc != 0 && errno == ENODATA)
            rc = 0;
    } else {
        rc = ::lsetxattr(ref.path.constData(), kCommentAttribute, text.constData(), size_t(text.size()), 0);
    }
    return rc == 0 ? OSErr(noErr) : OSErrFromErrno(errno);
}

QString CFile::FSGetComment(const FSRef& ref)
{
    if (checkIdentity(ref) != noErr)
        return {};
    char buffer[512];
    ssize_t n = ::lgetxattr(ref.path.constData(), kCommentAttribute, buffer, sizeof buffer);
    if (n >= 0)
        return n == 0 ? QStringLiteral("") : QString::fromUtf8(buffer, n);
    if (errno == ENODATA || errno == ENOTSUP)
        return QStringLiteral("");
    if (errno != ERANGE)
        return {};
    // Longer than the buffer: ask for the size, and again if it grew in between.
    for (int attempt = 0; attempt < 3; ++attempt) {
        n = ::lgetxattr(ref.path.constData(), kCommentAttribute, nullptr, 0);
        if (n < 0)
            return {};
        QByteArray text(n, Qt::Uninitialized);
        n = ::lgetxattr(ref.path.constData(), kCommentAttribute, text.data(), size_t(text.size()));
        if (n >= 0)
            return QString::fromUtf8(text.constData(), n);
        if (errno != ERANGE)
            return {};
    }
    return {};
}

OSErr CFile::FSCreateFile(const QString& path, FSRef& file)
{
    const QByteArray bytes = EncodeFileName(path);
    FSRef existing;
    OSErr status = FSPathMakeRef(bytes, &existing);
    if (status != fnfErr) {
        if (status == noErr)
            file = std::move(existing);
        return status;
    }
    const qsizetype slash = bytes.lastIndexOf('/');
    if (slash < 0)
        return fnfErr;
    FSRef parent;
    status = FSPathMakeRef(slash == 0 ? QByteArray("/") : bytes.first(slash), &parent, FinalLink::Followed);
    if (status != noErr)
        return status;
    return findOrCreate(parent, DecodeFileName(QByteArrayView(bytes).sliced(slash + 1)), Kind::File, &file);
}

OSErr CFile::FSCreateFile(const QString& path, OSType type, OSType creator, FSRef& file)
{
    const OSErr status = FSCreateFile(path, file);
    if (status == noErr)
        setTypeAndCreator(file, type, creator);
    return status;
}

bool CFile::FSObjectExists(const FSRef& folder, const QString& name, FSRef& item)
{
    // Answers true only for an object that was found: a folder that cannot be read or a
    // malformed name is no proof that anything exists.
    QByteArray bytes;
    OSErr status = checkName(name, &bytes);
    if (status != noErr)
        return false;
    const int dirfd = openFolder(folder, &status);
    if (dirfd < 0)
        return false;
    status = lookUp(dirfd, folder, bytes, &item);
    ::close(dirfd);
    return status == noErr;
}

OSErr CFile::FSCreateFile(const FSRef& folder, const QString& name, FSRef& file)
{
    return findOrCreate(folder, name, Kind::File, &file);
}

OSErr CFile::FSCreateFile(const FSRef& folder, const QString& name, OSType type, OSType creator, FSRef& file)
{
    const OSErr status = FSCreateFile(folder, name, file);
    if (status == noErr)
        setTypeAndCreator(file, type, creator);
    return status;
}

OSErr CFile::FSCreateDirectory(const FSRef& folder, const QString& name, FSRef& directory)
{
    return findOrCreate(folder, name, Kind::Folder, &directory);
}

bool CFile::FSObjectExists(const FSRef& item, FSRef& parent)
{
    struct statx sx;
    if (statItem(item, 0, &sx) != noErr)
        return false;
    FSRef folder;
    if (FSPathMakeRef(item.parentPath(), &folder, FinalLink::Followed) == noErr)
        parent = std::move(folder);
    return true;
}

OSErr CFile::FSMakeFSSpec(const FSRef* ref, FSSpec* spec)
{
    if (!ref || !spec || ref->isNull())
        return paramErr;
    if (!FSIsFSRefValid(ref))
        return fnfErr;
    return FSRefMakeFSSpec(*ref, spec);
}

Ptr CFile::ReadFile(const FSRef& file)
{
    if (file.isNull())
        return nullptr;
    const FileDescriptor fd = OpenRegularFile(AT_FDCWD, file.path.constData(), O_RDONLY);
    struct statx sx;
    if (!fd || !handleIsObject(fd.get(), file, &sx) || sx.stx_size > std::uint64_t(LONG_MAX))
        return nullptr;
    const Size size = Size(sx.stx_size);
    Ptr block = NewPtr(size);
    Size total = 0;
    while (block && total < size) {
        const ssize_t n = ::read(fd.get(), block + total, size_t(size - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            DisposePtr(block);
            block = nullptr;
        } else if (n == 0) {
            break;   // the file shrank since it was examined: hand back what it holds now
        } else {
            total += n;
        }
    }
    if (block && total < size) {
        Ptr exact = NewPtr(total);
        if (exact)
            std::memcpy(exact, block, size_t(total));
        DisposePtr(block);
        block = exact;
    }
    return block;
}

Ptr CFile::ReadFile(const QString& path, long* length)
{
    if (length)
        *length = 0;
    FSRef ref;
    if (FSPathMakeRef(EncodeFileName(path), &ref) != noErr)
        return nullptr;
    Ptr block = ReadFile(ref);
    if (block && length)
        *length = GetPtrSize(block);
    return block;
}

Ptr CFile::ReadFile(const FSSpec& file)
{
    FSRef ref;
    return FSpMakeFSRef(file, &ref) == noErr ? ReadFile(ref) : nullptr;
}

OSErr CFile::WriteFile(const FSRef& file, const void* data, unsigned long length)
{
    if (file.isNull() || (!data && length > 0))
        return paramErr;
    int error = 0;
    FileDescriptor fd = OpenRegularFile(AT_FDCWD, file.path.constData(), O_WRONLY, 0, &error);
    if (!fd)
        return OSErrFromErrno(error);
    struct statx sx;
    if (!handleIsObject(fd.get(), file, &sx))
        return fnfErr;
    const char* bytes = static_cast<const char*>(data);
    unsigned long written = 0;
    OSErr status = noErr;
    while (written < length) {
        const ssize_t n = ::pwrite(fd.get(), bytes + written, length - written, off_t(written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            status = n < 0 ? OSErrFromErrno(errno) : OSErr(ioErr);
            break;
        }
        written += (unsigned long)n;
    }
    // Network file systems report some write failures only when the file is closed.
    if (::close(fd.release()) != 0 && status == noErr)
        status = OSErrFromErrno(errno);
    return status;
}

OSErr CFile::WriteFile(const char* path, const void* data, unsigned long length)
{
    if (!path)
        return paramErr;
    FSRef file;
    const OSErr status = FSCreateFile(DecodeFileName(path), file);
    return status == noErr ? WriteFile(file, data, length) : status;
}

OSErr CFile::FSSetAccessDate(const FSRef&, const UTCDateTime*)
{
    return noErr;
}

OSErr CFile::FSSetAccessDate(const FSSpec& spec, const UTCDateTime* date)
{
    FSRef ref;
    const OSErr status = FSpMakeFSRef(spec, &ref);
    return status != noErr ? status : FSSetAccessDate(ref, date);
}

// Only the dates are set. Rewriting the first byte of the content, as a way to make a file
// manager notice the change, would set the modification time to now and undo the date just
// set; Linux file managers notice changes by themselves.
OSErr CFile::FSSetModCreateAccessDate(const FSRef& ref, const UTCDateTime* date)
{
    if (date)
        setModificationTime(ref, *date);
    return noErr;
}

OSErr CFile::FSSetModCreateDate(const FSRef& ref, const UTCDateTime* modDate, const UTCDateTime*)
{
    if (modDate)
        setModificationTime(ref, *modDate);
    return noErr;
}

OSErr CFile::FSGetModDate(const FSRef& ref, UTCDateTime& date)
{
    struct statx sx;
    const OSErr status = statItem(ref, STATX_MTIME, &sx);
    return status != noErr ? status : dateFrom(sx.stx_mtime, &date);
}

OSErr CFile::FSGetCreateDate(const FSRef& ref, UTCDateTime& date)
{
    struct statx sx;
    const OSErr status = statItem(ref, STATX_BTIME, &sx);
    if (status != noErr)
        return status;
    if (!(sx.stx_mask & STATX_BTIME))
        return unimpErr;
    return dateFrom(sx.stx_btime, &date);
}

OSErr CFile::FSGetAccessDate(const FSRef& ref, UTCDateTime& date)
{
    struct statx sx;
    const OSErr status = statItem(ref, STATX_CTIME, &sx);
    return status != noErr ? status : dateFrom(sx.stx_ctime, &date);
}

OSErr CFile::FSSetCreateDate(const FSRef&, const UTCDateTime*)
{
    return noErr;
}

OSErr CFile::FSSetCreateDate(const FSSpec& spec, const UTCDateTime* date)
{
    FSRef ref;
    const OSErr status = FSpMakeFSRef(spec, &ref);
    return status != noErr ? status : FSSetCreateDate(ref, date);
}

OSErr CFile::FSSetModDate(const FSRef& ref, const UTCDateTime* date)
{
    if (date)
        setModificationTime(ref, *date);
    return noErr;
}

OSErr CFile::FSSetModDate(const FSSpec& spec, const UTCDateTime* date)
{
    FSRef ref;
    const OSErr status = FSpMakeFSRef(spec, &ref);
    return status != noErr ? status : FSSetModDate(ref, date);
}
