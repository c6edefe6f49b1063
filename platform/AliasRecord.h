#pragma once
// Alias records: bytes that find a file or folder again after it was moved or renamed
// within its file system. A record holds the object's path, its identity (st_dev,
// st_ino), its statx birth time and its file system id (statfs f_fsid).
//
// Resolving tries the stored path first and accepts what is there only when identity,
// birth time and handle all match: ext4 hands a deleted folder's inode number to the next
// folder made, so a folder deleted and made again at the same path is a different folder.
// Otherwise the object is searched for, breadth first, from the nearest surviving
// ancestor of the stored path, then from that folder's ancestors, up to the top of its
// mount; at most kAliasSearchFolderLimit folders are read. Symbolic links are never
// followed and other mounts are never entered.
//
// The record is an opaque byte string to callers: store it as it is (preferences, files)
// and hand it back. Layout (little-endian): "OrdA", version (u16), flags (u16), st_dev (u64),
// st_ino (u64), birth seconds (i64), birth nanoseconds (u32), file type bits (u32),
// f_fsid (2 × i32), handle type (i32), handle length (u32, at most 128), handle bytes,
// path length (u32), path bytes. A record that is truncated, of another
// version or of any other shape resolves to paramErr; nothing is read past its end.

#include "platform/Files.h"

#include <QByteArray>

constexpr int kAliasSearchFolderLimit = 2000;

// Makes a new record for the object the reference names (never following a final link).
// fnfErr when the object is gone or no longer the one the reference was made of.
OSErr NewAlias(const FSRef& target, QByteArray* alias);

// Replaces *alias with a record for target. *wasChanged (when given) tells whether the
// bytes differ from the record that was there, so the caller knows to store them again.
OSErr UpdateAlias(const FSRef& target, QByteArray* alias, bool* wasChanged = nullptr);

// Finds the object the record names. On success *target names it and *wasChanged (when
// given) tells whether it was found elsewhere than at the stored path: the caller should
// then store UpdateAlias's new record. fnfErr when the object cannot be found;
// paramErr for a malformed record. *target is untouched on failure.
OSErr FSResolveAlias(const QByteArray& alias, FSRef* target, bool* wasChanged = nullptr);

// The path stored in a well-formed record (for messages: "folder ... was not found").
// Empty for a malformed record.
QByteArray AliasRecordPath(const QByteArray& alias);
