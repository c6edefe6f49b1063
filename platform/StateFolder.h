#pragma once
// The program's own folder for state that outlives a run (the diagnostic log, journals):
// $XDG_STATE_HOME/Ordinello, or ~/.local/state/Ordinello when XDG_STATE_HOME is unset,
// empty or relative (the XDG base directory rules ignore relative paths). Where the classic
// platform had the user's Logs folder.

#include "platform/MacErrors.h"

#include <QByteArray>

enum class FolderCreation { DontCreate, Create };

// The folder's absolute path as bytes, without a trailing separator. With Create, the folder
// and any missing parents are made with mode 0700; without it a missing folder is fnfErr.
// A path that exists but is no folder is errFSNotAFolder. *sysErrno receives errno on failure.
OSErr FindProgramStateFolder(FolderCreation creation, QByteArray* path, int* sysErrno = nullptr);
