#pragma once
// The thumbnail service: a shared library of the project, loaded at run time from the
// program's library folder and reached through two exported symbols. The program runs
// without it (items then show their file icons).

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include "platform/MacErrors.h"

extern "C" {
// Makes a picture of the file's content no larger than maxSize, or returns null. The
// options map may hold the icon-mode key (a bool): draw the picture as a document icon.
// The caller owns the returned image and deletes it. Safe to call from worker threads.
using QLThumbnailImageCreateFn = QImage* (*)(const QUrl* file, QSizeF maxSize, const QVariantMap* options);
}

inline constexpr char kThumbnailCreateSymbol[] = "QLThumbnailImageCreate";
inline constexpr char kThumbnailIconModeKeySymbol[] = "kQLThumbnailOptionIconModeKey";

// The process-wide handles, written once at start-up (before the table asks for a cell)
// and only read afterwards.
extern void* gOpenLookFrameworkBundleRef;                          // dlopen handle, or null
extern QLThumbnailImageCreateFn gQLThumbnailImageCreatePtr;        // or null
extern const QString* gkQLThumbnailOptionIconModeKeyPtr;           // or null

// Loads the named library from the program's library folder. 0 with the handle, or an
// error (fnfErr when there is no library folder, coreFoundationUnknownErr when the
// library cannot be loaded) with the handle null.
OSStatus LoadFrameworkBundle(const QString& frameworkName, void** bundle);

// Loads the thumbnail service into the handles above; silent when it is missing.
void LoadThumbnailService();

// True when the library is loaded and both symbols were found.
bool ThumbnailServiceAvailable();
