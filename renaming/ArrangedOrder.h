#pragma once
// The order a person arranged a folder's items in, kept until the folder is numbered:
// quitting, choosing another folder or a crash do not lose it, and it comes back when the
// folder is listed again.
//
// One small file per folder in <state folder>/arranged/, named by the folder's identity as
// its journals are (FolderStateKey), never by its device. It holds the folder's identity
// and, in the arranged order, each item's name and identity (device, inode, birth time),
// closed by a CRC-32. It is written to a temporary file and renamed over the old one, so a
// crash leaves the old order or the new one, never a mix. Reading trusts nothing: a file
// that is damaged, of another folder, larger than it can be, a link or not a regular file
// (a FIFO is never waited on) reads as no stored order.

#include "platform/Files.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

// At most this many items have their order kept; a larger arrangement is not stored.
inline constexpr qsizetype kMostArrangedItems = qsizetype(1) << 20;

// Keeps the items' order for the folder (their names and identities; the items are the
// folder's, in the order the person arranged them). Only an order that differs from the
// file manager's is worth keeping: for that order, or no items, the stored order is
// removed instead. False with *problem (for people) when it cannot be kept.
bool StoreArrangedOrder(const FSRef& folder, const QList<FSRef>& items, QString* problem = nullptr);

// The folder's stored order: each item's identity, with its path in the folder as it was
// named then. std::nullopt when none is stored or the file cannot be trusted. An order
// stored while the folder's disk had another device number is given the current one.
std::optional<QList<FSRef>> StoredArrangedOrder(const FSRef& folder);

// Removes the folder's stored order (after the folder was numbered, or the person went
// back to the file manager's order). Nothing stored is no error.
void ForgetArrangedOrder(const FSRef& folder);

// Puts a fresh listing into an arranged order, as positions into `fresh` (each once):
// every arranged item finds itself again by identity (also when renamed since), else by
// name; items that are gone are dropped; items that are not in the arrangement stand after
// the item that precedes them in `fresh` (the file manager's order), those before every
// arranged item first. Costs one hash lookup per item.
std::vector<qsizetype> ArrangeLike(const QList<FSRef>& arranged, const QList<FSRef>& fresh);

// Whether the items stand in the file manager's order of their names.
bool InFileManagerOrder(const QList<FSRef>& items);
