#pragma once
// Reading and changing the name of one file-system object through its reference.
// Names come back lossless (see platform/NameCodec.h): a name that is not valid UTF-8
// keeps its bytes through every read-modify-rename. A name that cannot be read is a
// null QString; callers skip the item.

#include "platform/Files.h"

#include <QString>

QString GetObjectName(const FSRef* ref);        // the full name, extension included
QString FSGetName(const FSRef* ref);
QString FSGetName(const FSRef& ref);

// The name as a file manager shows it: Linux file managers hide no extensions, so this
// is the name made readable (bytes that are not UTF-8 shown as U+FFFD). For showing only,
// never for renaming.
QString GetObjectDisplayName(const FSRef* ref);

// Renames the object to the given full name and updates the reference. Never replaces
// another item. On failure sounds the system alert, leaves the object as it was and
// returns the status; *sysErrno, when given, receives the file system's reason.
// folderFd: see FSRenameUnicode.
OSErr SetObjectName(FSRef* ref, const QString& name, int* sysErrno = nullptr, int folderFd = -1);

// The extension without its dot: the text after the last dot, when that dot is neither
// the name's first nor its last character. Null when there is none.
QString CopyNameExtension(const FSRef* ref);
// The name less its dot and extension (the full name when there is no extension).
QString GetObjectNameNoExtension(const FSRef* ref);

// True when the item would be hidden by the file manager: a leading ".", the Finder
// invisible flag, or a name listed in its folder's ".hidden" file. False on every failure.
bool ItemAtPathIsInvisible(const QString& path);
