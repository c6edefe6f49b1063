#pragma once
// Opening files and addresses with the user's default application, as the desktop does.
// Through GIO: unlike QDesktopServices::openUrl, which answers "started" even when nothing
// opens, it reports a real failure (no application for the type, no such file).

#include "platform/MacErrors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Status codes of the classic launch service, for the failures callers tell apart.
enum : OSStatus {
    kLSApplicationNotFoundErr = -10814,   // no application handles this type or scheme
    kLSLaunchInProgressErr = -10818,
};

// A file: URI for a path given as bytes: every byte outside the unreserved set is
// percent-encoded, so a name that is not UTF-8 reaches the application unchanged.
QByteArray FileUriFromPathBytes(QByteArrayView path);

// Opens an encoded URI (a file: URI or any scheme) with the user's default handler.
// noErr when an application was started; otherwise fnfErr for a missing file,
// kLSApplicationNotFoundErr when nothing handles it, paramErr for a malformed URI, ioErr
// for anything else. *message, when given, receives the system's reason for the user.
OSStatus LaunchDefaultForUri(const QByteArray& encodedUri, QString* message = nullptr);

// The same for a local path given as bytes.
OSStatus LaunchDefaultForPath(QByteArrayView path, QString* message = nullptr);

// Opens a folder (path as bytes) in a file manager: the default application for folders
// (inode/directory), or, when that is the desktop entry skippedDesktopId (the program
// itself, which offers to open folders too), the next application that opens folders.
// kLSApplicationNotFoundErr, with *message saying so, when no other application is there.
OSStatus LaunchFileManagerForFolder(QByteArrayView path, const QByteArray& skippedDesktopId,
                                    QString* message = nullptr);
