#pragma once
// Folder paths as lists of folder names (directories lists, outermost first), the folders
// and files such a list names, and three routines on single items: listing a folder's
// files, changing a name's extension and giving an item without one an extension.
//
// Entries are lossless QStrings (platform/NameCodec.h) held by value. The volume of an
// item is the mounted file system that holds it: its root is the mount point and its name
// the mount point's last component ("/" for the root file system). Names are limited to
// Linux's NAME_MAX of 255 bytes: a longer result is cut at the last whole character that
// fits. Renames go through FSRenameUnicode and never replace an existing item.
//
// The list functions walk lists with range-for, not with the list's cursor.

#include "platform/Files.h"
#include "support/CList.h"

#include <QString>

// Appends the path's non-empty components ("/a//b/" gives a, b); the list is not emptied.
void ParsePath(const QString& path, CList<QString>& list);

// Empties the list, then fills it with the names from the item's volume down to the item
// when it is a folder, or to its folder otherwise. A folder at the top of a mount gives
// its one entry. On a failure to examine a folder on the way up, the list holds the names
// gathered so far, innermost first, and that status is returned.
OSErr MakeDirectoriesList(const FSRef& item, CList<QString>& list);

// Removes the first min(count, size) entries; a count of 0 or less removes nothing.
void TrimDirectoriesList(CList<QString>& list, long count);

// True when each entry of prefix equals, ignoring case, the list's entry at the same
// place; an empty prefix always matches, a prefix longer than the list never does.
bool DirectoriesListBeginsWithDirectoriesList(const CList<QString>& list, const CList<QString>& prefix);

// Releases every entry's text, leaving the entries in place (as null strings): the list is
// emptied by the next MakeDirectoriesList or by CList::clear.
void DisposeDirectoriesList(CList<QString>& list);

// Finds or creates the chain of folders the list names, starting inside parent; the
// innermost goes to folder. An empty list answers 0 and leaves folder untouched. The first
// failure stops the walk (folder then names the deepest one reached); nothing is undone.
OSErr MakeDirectory(const FSRef& parent, const CList<QString>& list, FSRef& folder);

// Finds or creates the file of that name in the folder the list names inside parent (in
// parent itself for an empty list) and sets its type and creator to 0.
OSErr MakeFile(const FSRef& parent, const CList<QString>& list, const QString& name, FSRef& file);

// Appends a reference to each direct item of the folder that is not a folder, in the
// file system's order (names that are not UTF-8 included). The list is not emptied.
OSErr GetDirectoryFilesList(const FSRef& folder, CList<FSRef>& files);

// When the name's extension equals oldSuffix ignoring case, replaces it with newSuffix;
// a name without an extension gets "." and newSuffix. The item is renamed (the reference
// follows); a taken name or any other failure leaves it as it was, silently.
void ChangeFilesSuffix(FSRef& item, const QString& oldSuffix, const QString& newSuffix);

// Gives an item without an extension one: the extension is appended as given (pass the
// dot). Returns the new path, or null when the item has an extension already, the name is
// taken or the rename fails. The path form accepts paths up to PATH_MAX.
QString SetFilesExtension(FSRef& item, const QString& extension);
QString SetFilesExtension(const QString& path, const QString& extension);

// The name cut to NAME_MAX bytes at the last whole character that fits.
QString CutNameToNameMax(const QString& name);
