#pragma once
// CFile: operations on single file-system objects named by references (FSRef): names and
// paths, kind tests, Finder type and creator, sizes, comments, dates, creating files and
// folders (or finding the ones that exist), reading and writing a whole data fork, and
// turning a descriptor into a reference. Static members only; never instantiated.
//
// Common rules:
// - A final symbolic link is never followed: a link is an object of its own.
// - Statuses are the classic codes (platform/MacErrors.h); 0 is success, fnfErr (-43)
//   means no such object. Every member that reads or changes the object (kinds, sizes,
//   dates, type, creator, comment, content) also answers fnfErr (or null, false) when the
//   path now names another object than the reference's, and leaves that object alone.
// - Names and paths are lossless QStrings (platform/NameCodec.h): bytes that are not
//   UTF-8 survive a read and a rename.
// - Finder type and creator are the first eight bytes of "user.com.apple.FinderInfo"
//   (big-endian); the resource fork is "user.com.apple.ResourceFork"; the comment is
//   "user.xdg.comment" in UTF-8, the attribute Linux file managers show. There is no
//   Finder to ask or to tell about changes: file managers notice changes themselves.
// - Dates: creation = birth time (statx btime), content modification = mtime, attribute
//   modification (the "access" members) = ctime. Linux can set neither the birth time nor
//   ctime: the setters set mtime alone, and the creation and "access" setters change
//   nothing (the access time, atime, is no date of these members and is never touched).
// - Contents are read and written only in regular files: a FIFO, device or socket at the
//   path is refused at once (notAFileErr, or null), never waited on.

#include "platform/AEDesc.h"
#include "platform/Files.h"
#include "platform/FSSpecRecord.h"
#include "platform/ICMapEntry.h"
#include "platform/MemoryManager.h"
#include "platform/UTCDateTime.h"

#include <QString>

#include <cstdint>

constexpr const char kResourceForkAttribute[] = "user.com.apple.ResourceFork";
constexpr const char kCommentAttribute[] = "user.xdg.comment";

class CFile final {
public:
    CFile() = delete;

    // 'fsrf' data is copied as it is; any other descriptor is coerced to 'fsrf', and
    // failing that to 'fss ' (see platform/AEDesc.h). The failure of the last step is
    // returned; *ref is untouched on failure.
    static OSErr GetFSRefFromAEDesc(FSRef* ref, const AEDesc* desc);

    // The POSIX path as a length-prefixed string. A path over 254 bytes is refused with
    // errFSNameTooLong (and an empty string), never cut.
    static OSErr FSGetPascalPath(const FSRef& ref, Str255 path);
    // The full name; null when the object is gone.
    static QString FSGetObjectName(const FSRef& ref);
    // Renames within the folder, never replacing another item; the reference follows.
    static OSErr FSSetObjectName(FSRef& ref, const QString& name);

    // A symbolic link whose target is a folder.
    static bool FileIsAliasedDirectory(const FSRef* ref);
    // Both answer false when the object cannot be examined (gone or replaced).
    static bool IsADirectory(const FSRef& ref);
    static bool IsAFile(const FSRef& ref);

    // Getters set their out value to 0 on failure and return the status.
    static OSErr FSGetType(const FSRef& ref, OSType& type);
    // The data fork is the content (st_size); a folder has none and answers 0.
    static OSErr FSGetDataForkSize(const FSRef& ref, std::uint64_t& size);
    // Data fork plus resource fork.
    static OSErr FSGetSize(const FSRef& ref, std::uint64_t& size);
    static OSErr FSGetCreator(const FSRef& ref, OSType& creator);
    // The low 32 bits of the modification date's seconds since 1904.
    static OSErr FSGetModDateAsUInt32(const FSRef& ref, std::uint32_t& seconds);

    // Replace one code in the Finder information, creating the 32-byte record when absent
    // and keeping its other bytes.
    static OSErr FSSetType(const FSRef& ref, OSType type);
    static OSErr FSSetCreator(const FSRef& ref, OSType creator);

    // An empty comment removes the attribute. Links cannot carry user attributes on
    // Linux: setting a link's comment fails with afpAccessDenied.
    static OSErr FSSetComment(const FSRef& ref, const QString& comment);
    // Empty when the object has no comment; null when it cannot be read.
    static QString FSGetComment(const FSRef& ref);

    // Creating returns an existing object of that name with status 0, whatever its kind
    // (its type and creator are then set too by the forms that take them). New objects
    // are made with O_CREAT|O_EXCL or mkdirat, so a race never replaces anything.
    // Path form: the parent folder must exist; a path without "/" gives fnfErr.
    static OSErr FSCreateFile(const QString& path, FSRef& file);
    static OSErr FSCreateFile(const QString& path, OSType type, OSType creator, FSRef& file);
    // True when the folder holds an object of that name, which then goes to item.
    static bool FSObjectExists(const FSRef& folder, const QString& name, FSRef& item);
    static OSErr FSCreateFile(const FSRef& folder, const QString& name, FSRef& file);
    static OSErr FSCreateFile(const FSRef& folder, const QString& name, OSType type, OSType creator, FSRef& file);
    static OSErr FSCreateDirectory(const FSRef& folder, const QString& name, FSRef& directory);
    // True when the object is still there; its folder goes to parent.
    static bool FSObjectExists(const FSRef& item, FSRef& parent);
    static OSErr FSMakeFSSpec(const FSRef* ref, FSSpec* spec);

    // The whole content of a regular file as a Memory Manager block of exactly its bytes
    // (GetPtrSize gives the length; an empty file gives an empty, non-null block); the
    // caller frees it with DisposePtr. Null when the file cannot be opened for reading
    // or read. Opened read-only: a file the user may only read is read all the same.
    static Ptr ReadFile(const FSRef& file);
    // As above for the file at the path; *length (when given) receives the block's length,
    // or 0 on failure.
    static Ptr ReadFile(const QString& path, long* length = nullptr);
    // As above for the file the record names (its folder and name); null when there is none.
    static Ptr ReadFile(const FSSpec& file);
    // Writes from the start, retrying short writes; never shortens the file: bytes past
    // the written length stay. paramErr for null data with a non-zero length.
    static OSErr WriteFile(const FSRef& file, const void* data, unsigned long length);
    // Creates the file (or finds it) at the path first. paramErr for a null path.
    static OSErr WriteFile(const char* path, const void* data, unsigned long length);

    // Date setters answer 0 whatever happens (a null date, a vanished object, a refusal);
    // the FSSpec forms answer the failure to find the object. Neither the creation date
    // nor the attribute-change ("access") date can be set on Linux: the setters of those
    // change nothing, and the forms that take them with another date set only that one.
    static OSErr FSSetAccessDate(const FSRef& ref, const UTCDateTime* date);
    static OSErr FSSetAccessDate(const FSSpec& spec, const UTCDateTime* date);
    // The modification date alone; nothing written to the content.
    static OSErr FSSetModCreateAccessDate(const FSRef& ref, const UTCDateTime* date);
    static OSErr FSSetModCreateDate(const FSRef& ref, const UTCDateTime* modDate, const UTCDateTime* createDate);
    // Date getters answer paramErr for a date the classic form cannot hold (before 1904).
    static OSErr FSGetModDate(const FSRef& ref, UTCDateTime& date);
    // unimpErr on file systems that keep no birth time.
    static OSErr FSGetCreateDate(const FSRef& ref, UTCDateTime& date);
    // The attribute modification date (ctime).
    static OSErr FSGetAccessDate(const FSRef& ref, UTCDateTime& date);
    static OSErr FSSetCreateDate(const FSRef& ref, const UTCDateTime* date);
    static OSErr FSSetCreateDate(const FSSpec& spec, const UTCDateTime* date);
    static OSErr FSSetModDate(const FSRef& ref, const UTCDateTime* date);
    static OSErr FSSetModDate(const FSSpec& spec, const UTCDateTime* date);
};
