#pragma once
// The older file record (FSSpec): the folder that holds an object and the object's name,
// both as bytes. Unlike a reference (FSRef) it may name an object that does not exist yet.

#include "platform/Files.h"

#include <QByteArray>

struct FSSpec {
    QByteArray parent;   // absolute folder path
    QByteArray name;     // one component; empty only for the root folder itself

    friend bool operator==(const FSSpec&, const FSSpec&) = default;
};

// The reference to the object the record names, never following a final link:
// fnfErr when there is none, paramErr for a malformed record.
OSErr FSpMakeFSRef(const FSSpec& spec, FSRef* ref);

// The record of the referenced object (its folder's path and its name).
OSErr FSRefMakeFSSpec(const FSRef& ref, FSSpec* spec);
