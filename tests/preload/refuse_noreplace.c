/* Loaded with LD_PRELOAD, makes this machine's file systems behave like NFS, sshfs and most
 * FUSE mounts for the programs under test: renameat2() refuses every flag (RENAME_NOREPLACE
 * included) with EINVAL, and unnamed temporary files (O_TMPFILE) are not supported. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, unsigned int flags)
{
    if (flags != 0) {
        errno = EINVAL;
        return -1;
    }
    return renameat(olddirfd, oldpath, newdirfd, newpath);
}

typedef int (*openat_fn)(int, const char*, int, ...);

static int refuseTmpfile(int flags)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return 1;
    }
    return 0;
}

#define FORWARD_OPENAT(name)                                                                  \
    int name(int dirfd, const char* path, int flags, ...)                                     \
    {                                                                                         \
        static openat_fn next;                                                                \
        va_list args;                                                                         \
        mode_t mode;                                                                          \
        if (refuseTmpfile(flags))                                                             \
            return -1;                                                                        \
        if (!next)                                                                            \
            next = (openat_fn)dlsym(RTLD_NEXT, #name);                                        \
        va_start(args, flags);                                                                \
        mode = va_arg(args, mode_t);                                                          \
        va_end(args);                                                                         \
        return next(dirfd, path, flags, mode);                                                \
    }

#define FORWARD_OPEN(name, at)                                                                \
    int name(const char* path, int flags, ...)                                                \
    {                                                                                         \
        va_list args;                                                                         \
        mode_t mode;                                                                          \
        va_start(args, flags);                                                                \
        mode = va_arg(args, mode_t);                                                          \
        va_end(args);                                                                         \
        return at(AT_FDCWD, path, flags, mode);                                               \
    }

FORWARD_OPENAT(openat)
FORWARD_OPENAT(openat64)
FORWARD_OPEN(open, openat)
FORWARD_OPEN(open64, openat64)
