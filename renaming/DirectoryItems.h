#pragma once
// Listing a chosen folder: its direct children that the file manager would show, as
// absolute paths (lossless text), in the file manager's order. The window and the command
// line both list through ListDirectoryItems.

#include "platform/Files.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>

// The folder's children as references, in enumeration order; std::nullopt when the folder
// cannot be enumerated (*sysErrno says why) or has no children (*sysErrno is 0).
std::optional<QList<FSRef>> GetDirectoryItemsList(const FSRef& folder, long* count, int* sysErrno = nullptr,
                                                  ItemDetail detail = ItemDetail::Identity);

// Hidden from the file manager's view: a name that begins with "."; a non-folder whose
// Finder information carries the invisible flag; a name listed in the folder's ".hidden"
// file (pass the folder's set when listing many items, else it is read here). An item
// that no longer exists counts as invisible.
bool IsInvisible(const FSRef& item, const QSet<QByteArray>* hiddenNames = nullptr);

// The file manager's order (see platform/Collation.h); ties broken by the names' bytes.
void SortCFMutableArrayOfCFStringsLikeTheFinder(QStringList& array);
int CompareLikeTheFinder(const QString& a, const QString& b, void* context = nullptr);

// Enumerates, filters and sorts. On failure the list is empty and the status and
// *sysErrno say why; an empty folder is success with an empty list.
OSErr ListDirectoryItems(const FSRef& folder, QStringList* paths, int* sysErrno = nullptr);

enum class ListOrder { FileManager, Enumeration };

// The same items in the same order as ListDirectoryItems, as references made when the
// folder was enumerated: renaming compares an item against the identity it had when it
// was listed, so an object that took its place since is never renamed in its stead.
// ListOrder::Enumeration skips the sort for callers that bring their own order. With
// paths, also gives the items' paths as text, in the same order. With companionNames,
// also gives the names in the folder that begin with "._" (AppleDouble files: hidden,
// but renamed with their items; see RenameRun::listedCompanionNames). With known, the
// references a run just renamed (or put back): those items were listed before and their
// identity is known, so they are not read again, only looked for by name.
OSErr ListDirectoryItemRefs(const FSRef& folder, QList<FSRef>* items, ListOrder order = ListOrder::FileManager,
                            int* sysErrno = nullptr, QStringList* paths = nullptr,
                            QSet<QByteArray>* companionNames = nullptr, const QList<FSRef>* known = nullptr);
