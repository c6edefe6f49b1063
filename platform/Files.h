#pragma once
// The file layer: references to file-system objects, folder enumeration, Finder
// information and renaming that never replaces another item.
//
// A reference (FSRef) is an object's absolute path as bytes plus the identity
// (st_dev, st_ino) it had when the reference was made. References are made with
// lstat-style calls: a final symbolic link is an object of its own and is never followed,
// so a link is listed and renamed as itself and its target is never touched.

#include "platform/FileDescriptor.h"
#include "platform/MacErrors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QStringView>

#include <array>
#include <cstdint>
#include <functional>
#include <sys/types.h>

struct FSRef {
    QByteArray path;    // absolute, no trailing separator (except the root itself)
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;    // file type and permissions when the reference was made
    // The birth time, where the file system records one (ext4, btrfs, xfs, tmpfs):
    // ext4 gives a deleted object's inode number to the next object made, so device and
    // inode alone can name a newcomer. Compared only when both sides know it.
    bool hasBirthTime = false;
    std::int64_t birthSeconds = 0;
    std::uint32_t birthNanoseconds = 0;

    bool isNull() const { return path.isEmpty(); }
    bool isDirectory() const;
    bool isSymbolicLink() const;
    // The last path component, as bytes.
    QByteArrayView nameBytes() const;
    QByteArrayView parentPath() const;

    // The same object: device and inode equal, and the birth times where both know one.
    bool sameObjectAs(const FSRef& other) const
    {
        return device == other.device && inode == other.inode
               && (!hasBirthTime || !other.hasBirthTime
                   || (birthSeconds == other.birthSeconds && birthNanoseconds == other.birthNanoseconds));
    }

    friend bool operator==(const FSRef& a, const FSRef& b) { return a.path == b.path && a.sameObjectAs(b); }
};
// Its parts move by memcpy, so a large list of references grows without copying each one.
Q_DECLARE_TYPEINFO(FSRef, Q_RELOCATABLE_TYPE);

// The identity (and type and mode) of the object at path, relative to the folder handle
// dirfd (AT_FDCWD for the working folder), never following a final link; the reference's
// path is left as it is. 0 on success, else errno.
int ReadObjectIdentity(int dirfd, const char* path, FSRef* identity);

enum class FinalLink {
    NotFollowed,    // a final link is an object of its own
    Followed,       // the identity is the link's target's; the path stays the link's
    Resolved,       // the reference is the target's, at the target's own path
};

// Makes a reference from a POSIX path (relative paths are taken from the working folder).
// The reference's path is canonical: absolute, its folder resolved (no ".", "..", doubled
// or trailing separators, or symbolic links on the way), its last component as given (a
// link is not followed; a last "." or ".." is resolved with the rest). Paths up to
// PATH_MAX bytes are accepted.
// On failure the reference is left untouched; *sysErrno, when given, receives errno.
OSErr FSPathMakeRef(QByteArrayView path, FSRef* ref, FinalLink link = FinalLink::NotFollowed,
                    int* sysErrno = nullptr);

// The referenced object's path. The reference keeps its path, so this never fails for a
// non-null reference; whether the object is still there is FSIsFSRefValid's question.
OSErr FSRefMakePath(const FSRef* ref, QByteArray* path);

// True while the path still names an object of the identity seen when the reference was made.
bool FSIsFSRefValid(const FSRef* ref);

// How much of each child an enumeration finds out. Identity costs an lstat per child;
// a listing that only shows names needs the file type, which the folder read gives.
enum class ItemDetail {
    Identity,       // device, inode and mode: references that FSIsFSRefValid can check
    NameAndType,    // path and file type only (device and inode 0): for showing, not renaming
};

// The folder's direct children, in the order the file system returns them. Children that
// vanish during the enumeration are left out. Only reads: what a rename cut short left
// behind is listed as it stands (see UndoInterruptedRename). *changed is set when the
// folder's modification time moved during the walk. Never uses Qt's directory classes:
// they drop names that are not valid UTF-8.
OSErr FSGetDirectoryItems(const FSRef& folder, QList<FSRef>* items, bool* changed = nullptr,
                          int* sysErrno = nullptr, ItemDetail detail = ItemDetail::Identity);

// The 32-byte Finder information record, as Mac metadata arrives on Linux: the extended
// attribute "user.com.apple.FinderInfo", big-endian. An object without it reads as zeros.
struct FinderInfo {
    std::array<std::uint8_t, 32> bytes{};
    std::uint16_t finderFlags() const { return std::uint16_t(bytes[8] << 8 | bytes[9]); }
    void setFinderFlags(std::uint16_t flags)
    {
        bytes[8] = std::uint8_t(flags >> 8);
        bytes[9] = std::uint8_t(flags);
    }
};
constexpr std::uint16_t kIsInvisible = 0x4000;
constexpr const char kFinderInfoAttribute[] = "user.com.apple.FinderInfo";

OSErr FSGetFinderInfo(const FSRef& item, FinderInfo* info, bool* isDirectory = nullptr);
OSErr FSSetFinderInfo(const FSRef& item, const FinderInfo& info);

// Names listed in the folder's ".hidden" file, one per line, as GNOME and KDE file
// managers honour it. Empty when there is none, or when ".hidden" is not a regular file
// (a FIFO or a device is never waited on); only its first megabyte is read.
QSet<QByteArray> ReadHiddenNames(const FSRef& folder);

// Opens a regular file relative to the folder handle dirfd (AT_FDCWD: the working
// folder) as `flags` asks (O_RDONLY, O_WRONLY or O_RDWR, with O_CREAT, O_EXCL, O_APPEND,
// O_TRUNC as needed). A final symbolic link is never followed and a FIFO, socket or
// device is never waited on: anything but a regular file is refused with ENODEV ("not a
// regular file"), a folder with EISDIR. O_TRUNC applies only once the file is known to be
// regular. The handle is blocking again when returned. *sysErrno receives errno on failure.
FileDescriptor OpenRegularFile(int dirfd, const char* path, int flags, mode_t mode = 0600, int* sysErrno = nullptr);

// Reads from fd until end of file or `limit` bytes, retrying reads a signal interrupted.
// What was read before an error is returned.
QByteArray ReadAtMost(int fd, qsizetype limit);

// Renames the object within its folder to newName (the whole name) and updates the
// reference to name it. An existing item is never replaced: renameat2(RENAME_NOREPLACE)
// where the file system supports it, otherwise a method that reserves the new name first
// and checks, before each step that could lose something, that the objects are still the
// ones it saw (see the .cpp); what another program changed meanwhile is kept and the
// rename fails with ECANCELED. A reference that no longer names its object (gone, or replaced by
// another object) is refused with fnfErr. Names over NAME_MAX bytes are refused, never cut.
// A run over many items of one folder may pass an open handle on that folder (never
// taken over) to save opening it for every item.
OSErr FSRenameUnicode(FSRef* ref, QStringView newName, int* sysErrno = nullptr, int folderFd = -1);
// The same with the new name as the bytes it is to have on disk (no text conversion).
OSErr FSRenameBytes(FSRef* ref, QByteArrayView newName, int* sysErrno = nullptr, int folderFd = -1);

// What a rename of `from` to `to` in the folder dirfd, cut short in the fallback, may have
// left: the object `identity` under both names, or our placeholder at `to` beside it.
// Takes the new name away only after verifying, through both names, that the object
// survives under the old one (or that the new name holds a placeholder for exactly this
// rename), so the object is back under `from` alone. Anything else is left untouched.
// Callers hold the folder's run lock and take the pair from the journal of the run that
// was cut short: neither a mark nor a file's content alone is reason to remove a name.
// True when something was taken away.
bool UndoInterruptedRename(int dirfd, const QByteArray& from, const QByteArray& to, const FSRef& identity);

// The kernel's file handle for the object at path (relative to dirfd), never following a
// final link: with the inode it names the object across mounts and re-attached disks.
// Empty where the file system gives none (many FUSE file systems).
QByteArray ReadFileHandle(int dirfd, const char* path);

// Tests only: pretend the file system refuses RENAME_NOREPLACE, to exercise the fallback.
void SetRenameNoReplaceDisabledForTesting(bool disabled);
// Tests only: pretend the file system refuses hard links, so the fallback reserves the
// new name with a placeholder.
void SetHardLinksDisabledForTesting(bool disabled);

// The two moments between the fallback's steps, where another program may act or the
// process may die.
enum class RenameStep {
    Linked,             // the object has its new name as a second link; the old one is still there
    PlaceholderMade,    // the new name is reserved by an empty placeholder
};
// Tests only: every device number read from now on is XORed with `change`, as when the
// same disk comes back as another block device (a USB disk, a loop device). 0 ends it.
void SetDeviceNumberChangeForTesting(unsigned change);

// Tests only: called at each step of the fallback, in the folder's handle with the old
// and the new name. Answering false plays a process that dies there: the rename stops
// at once and leaves its intermediate state behind. Pass an empty function to remove it.
using RenameStepHook = std::function<bool(RenameStep step, int dirfd, const QByteArray& from, const QByteArray& to)>;
void SetRenameStepHookForTesting(RenameStepHook hook);
