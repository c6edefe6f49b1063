#pragma once
// What kind of object a reference names, as the classic launch service's item flags say
// it: plain file, package, application, container. Linux has no such catalogue; the
// answer comes from lstat (a final symbolic link is never followed) and, for a few
// candidates, from the content.
//
// - container: a folder.
// - plain file: anything else, links, FIFOs, sockets and devices included. Only regular
//   files are ever opened.
// - package: a folder whose extension is app, bundle, framework, plugin or kext (any
//   case), an AppDir (a folder holding an executable regular file "AppRun"; a link there is
//   followed, as AppImage tools make it one), or a folder whose Finder flags carry the
//   has-bundle bit 0x2000.
// - application: an .app package or an AppDir; an executable regular file whose content
//   type (by content, not name) is exactly application/x-executable, x-pie-executable,
//   x-sharedlib, vnd.appimage or x-iso9660-appimage (scripts are not applications); a
//   .desktop file that GIO accepts as an application.

#include "platform/Files.h"

#include <cstdint>

enum : std::uint32_t {
    kLSItemInfoIsPlainFile = 0x1,
    kLSItemInfoIsPackage = 0x2,
    kLSItemInfoIsApplication = 0x4,
    kLSItemInfoIsContainer = 0x8,
};

constexpr std::uint16_t kHasBundle = 0x2000;   // Finder flag

// True when the name's extension is app, bundle, framework, plugin or kext, case ignored.
bool HasPackageExtension(QByteArrayView name);

// The flags of the referenced object into *flags (0 on failure). fnfErr for a stale
// reference (the path gone or naming another object), paramErr for a null one, the
// lstat status otherwise.
OSStatus ItemInfoFlags(const FSRef& item, std::uint32_t* flags);
