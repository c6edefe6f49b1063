#include "platform/StateFolder.h"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray homeFolder()
{
    QByteArray home = qgetenv("HOME");
    if (!home.startsWith('/')) {
        // No usable HOME (stripped environments, some services): the password database.
        if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    }
    return home;
}

QByteArray stateFolderPath()
{
    QByteArray base = qgetenv("XDG_STATE_HOME");
    if (!base.startsWith('/'))
        base = homeFolder() + "/.local/state";
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    return base + "/Ordinello";
}

} // namespace

OSErr FindProgramStateFolder(FolderCreation creation, QByteArray* path, int* sysErrno)
{
    if (!path)
        return paramErr;
    const QByteArray folder = stateFolderPath();
    if (!folder.startsWith('/')) {
        if (sysErrno)
            *sysErrno = ENOENT;
        return fnfErr;
    }
    struct stat info;
    if (stat(folder.constData(), &info) != 0) {
        const int error = errno;
        if (error != ENOENT || creation == FolderCreation::DontCreate) {
            if (sysErrno)
                *sysErrno = error;
            return OSErrFromErrno(error);
        }
        // Every missing level is made private: the base folder is the user's alone too.
        for (qsizetype slash = folder.indexOf('/', 1); ; slash = folder.indexOf('/', slash + 1)) {
            const QByteArray level = slash < 0 ? folder : folder.left(slash);
            if (mkdir(level.constData(), 0700) != 0 && errno != EEXIST) {
                const int mkdirError = errno;
                if (sysErrno)
                    *sysErrno = mkdirError;
                return OSErrFromErrno(mkdirError);
            }
            if (slash < 0)
                break;
        }
        if (stat(folder.constData(), &info) != 0) {
            const int statError = errno;
            if (sysErrno)
                *sysErrno = statError;
            return OSErrFromErrno(statError);
        }
    }
    if (!S_ISDIR(info.st_mode)) {
        if (sysErrno)
            *sysErrno = ENOTDIR;
        return errFSNotAFolder;
    }
    *path = folder;
    return noErr;
}
