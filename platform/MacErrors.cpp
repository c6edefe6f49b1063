#include "platform/MacErrors.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

OSErr OSErrFromErrno(int error)
{
    switch (error) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case EEXIST:
    case ENOTEMPTY: return dupFNErr;
    case ENAMETOOLONG: return errFSNameTooLong;
    case EACCES:
    case EPERM: return afpAccessDenied;
    case EROFS: return vLckdErr;
    case EBUSY:
    case ETXTBSY: return fBsyErr;
    case ENOSPC: return dskFulErr;
    case EDQUOT: return errFSQuotaExceeded;
    case EXDEV: return diffVolErr;
    case ENOTDIR: return errFSNotAFolder;
    case EISDIR:
    case ENODEV: return notAFileErr;
    case EINVAL:
    case EFAULT:
    case ELOOP: return paramErr;
    case ENOMEM: return memFullErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case ENOSYS:
    case EOPNOTSUPP: return unimpErr;
    default: return ioErr;
    }
}

QString DescribeErrno(int error)
{
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
        return QCoreApplication::translate("LocalizedStrings", "an item with that name already exists");
    case ENAMETOOLONG:
        return QCoreApplication::translate("LocalizedStrings", "name too long");
    case ENOENT:
        return QCoreApplication::translate("LocalizedStrings", "no such file or folder");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("LocalizedStrings", "permission denied");
    case ENOTDIR:
        return QCoreApplication::translate("LocalizedStrings", "not a folder");
    case EROFS:
        return QCoreApplication::translate("LocalizedStrings", "read-only file system");
    case ENODEV:
        // What OpenRegularFile answers for a FIFO, a socket, a device or a link.
        return QCoreApplication::translate("LocalizedStrings", "not a regular file");
    case ECANCELED:
        // The no-replace fallback found the item or its new name changed by another
        // program between two of its steps, and left both alone.
        return QCoreApplication::translate("LocalizedStrings", "another program changed the item while it was being renamed");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}
