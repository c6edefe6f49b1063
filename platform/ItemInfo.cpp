#include "platform/ItemInfo.h"

#include <QFile>
#include <QMimeDatabase>

#include <gio/gdesktopappinfo.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray lowerExtension(QByteArrayView name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot <= 0 ? QByteArray() : name.sliced(dot + 1).toByteArray().toLower();
}

bool isAppDir(const QByteArray& folder)
{
    const QByteArray appRun = folder + "/AppRun";
    struct stat st;
    return ::stat(appRun.constData(), &st) == 0 && S_ISREG(st.st_mode)
        && ::faccessat(AT_FDCWD, appRun.constData(), X_OK, AT_EACCESS) == 0;
}

// The content type of a regular file, from its first bytes; opened without following a
// final link and without blocking, and only when it is still the object stat saw.
QString contentType(const FSRef& item, const struct stat& seen)
{
    const int fd = ::open(item.path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
        ::close(fd);
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return QMimeDatabase().mimeTypeForData(&file).name();
}

bool isExecutableProgram(const FSRef& item, const struct stat& st)
{
    if (::faccessat(AT_FDCWD, item.path.constData(), X_OK, AT_EACCESS) != 0)
        return false;
    const QString type = contentType(item, st);
    for (const char* program : {"application/x-executable", "application/x-pie-executable", "application/x-sharedlib",
                                "application/vnd.appimage", "application/x-iso9660-appimage"}) {
        if (type == QLatin1String(program))
            return true;
    }
    return false;
}

bool isDesktopApplication(const FSRef& item)
{
    if (!item.nameBytes().endsWith(".desktop"))
        return false;
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(item.path.constData());
    if (!info)
        return false;
    g_object_unref(info);
    return true;
}

} // namespace

bool HasPackageExtension(QByteArrayView name)
{
    const QByteArray extension = lowerExtension(name);
    for (const char* package : {"app", "bundle", "framework", "plugin", "kext"}) {
        if (extension == package)
            return true;
    }
    return false;
}

OSStatus ItemInfoFlags(const FSRef& item, std::uint32_t* flags)
{
    if (flags)
        *flags = 0;
    if (item.isNull() || !flags)
        return paramErr;
    struct stat st;
    if (::lstat(item.path.constData(), &st) != 0)
        return OSErrFromErrno(errno);
    // Device and inode, and the birth time where the file system keeps one.
    FSRef current;
    if (ReadObjectIdentity(AT_FDCWD, item.path.constData(), &current) != 0 || !current.sameObjectAs(item))
        return fnfErr;

    if (S_ISDIR(st.st_mode)) {
        std::uint32_t result = kLSItemInfoIsContainer;
        const bool appDir = isAppDir(item.path);
        FinderInfo finderInfo;
        const bool hasBundle = FSGetFinderInfo(item, &finderInfo) == noErr && (finderInfo.finderFlags() & kHasBundle);
        if (HasPackageExtension(item.nameBytes()) || appDir || hasBundle)
            result |= kLSItemInfoIsPackage;
        if (lowerExtension(item.nameBytes()) == "app" || appDir)
            result |= kLSItemInfoIsApplication;
        *flags = result;
        return noErr;
    }

    std::uint32_t result = kLSItemInfoIsPlainFile;
    if (S_ISREG(st.st_mode) && (isExecutableProgram(item, st) || isDesktopApplication(item)))
        result |= kLSItemInfoIsApplication;
    *flags = result;
    return noErr;
}
