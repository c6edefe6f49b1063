#pragma once
// Predicates that classify one file-system object, and in-place sorts of a list of
// strings, or of maps by a string key, in the file manager's text order or as dates.
//
// Predicates answer false whenever the object cannot be classified (null or stale
// reference, object gone); IsVisible then answers true. The flags come from
// ItemInfoFlags (platform/ItemInfo.h): a package is a container but never a plain folder,
// an .app package is a package and an application at once.

#include "platform/Files.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

bool ItemIsPlainFile(const FSRef* item);
bool ItemIsPlainFolder(const FSRef* item);       // container and not package
bool ItemIsContainer(const FSRef& item);
bool ItemIsApplication(const FSRef& item);
bool ItemIsABundleByLaunchServices(const FSRef& item);   // package or application
// The name's extension is app, bundle, framework, plugin or kext, case ignored, whatever
// the object is (a plain folder named Tools.PLUGIN counts).
bool ItemIsABundleByExtension(const FSRef& item);
bool ItemIsABundle(const FSRef& item);           // by flags, else by extension
// False only when the Finder flags carry the invisible bit; a leading "." is the
// listing's rule, not this one's.
bool IsVisible(const FSRef& item);

// Sorting. Elements are strings when key is null, else maps whose value under key is a
// string. A null element, a map lacking the key and a value that is not a string compare
// equal to everything. Equal elements keep their order (stable sort), so results are
// repeatable; note that "equal to everything" is not an ordering, so where such elements
// sit among the others depends on the sort algorithm (a stable merge sort here).

// File-manager text order (platform/Collation.h): whole strings, case and width ignored,
// digit runs by value ("file 2" before "file 10"). Negative, 0 or positive.
int MyCompareByKey(const QVariant& a, const QVariant& b, const QString& key);
// One sort key per element, then a stable sort.
void SortArrayOnKey(QVariantList& array, const QString& key = QString());

// Date order: each value parsed whole with ICU's short date and short time format of the
// user's locale (not lenient, except that a blank and the no-break spaces U+00A0 and
// U+202F stand for one another); earlier first. A value that does not parse compares
// equal to everything. The pairwise comparison makes a formatter per call; the sort makes
// one and parses each value once.
int MyNumericallyAsDateCompareByKey(const QVariant& a, const QVariant& b, const QString& key);
void SortArrayNumericallyAsDateOnKey(QVariantList& array, const QString& key = QString());
