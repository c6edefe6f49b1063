#pragma once
// The folder listing of ListDirectoryItems with each item's reference kept: renaming
// compares an item against the identity it had when it was listed, so an object that
// took its place since is never renamed in its stead.

#include "platform/Files.h"

#include <QList>

enum class ListOrder { FileManager, Enumeration };

// The same items as ListDirectoryItems (hidden ones left out), as references made when
// the folder was enumerated. ListOrder::Enumeration skips the sort for callers that
// bring their own order. On failure the list is empty and the status and *sysErrno say
// why; an empty folder is success with an empty list.
OSErr ListDirectoryItemRefs(const FSRef& folder, QList<FSRef>* items, ListOrder order = ListOrder::FileManager,
                            int* sysErrno = nullptr);
