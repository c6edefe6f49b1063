#pragma once
// Who the program is, where it lives, its small settings, and handing files to the system:
// identity and installation prefix, resource files, preference values for the user or for
// every user, the running system's version, opening items with their default application,
// Open Documents sent to the program itself, opening permissions, copying a resource fork.
// Stateless; nothing here shows a message.

#include "platform/FSSpecRecord.h"
#include "platform/Files.h"
#include "platform/ICMapEntry.h"   // OSType, Str255
#include "platform/MacErrors.h"
#include "platform/MemoryManager.h"

#include <QByteArrayView>
#include <QIcon>
#include <QString>
#include <QVariant>

class CString256;

using IconRef = QIcon;

// Identity compiled in from the build: "org.ordinello.Ordinello" and "ordinello". The
// out forms assign it to the string (cut at 255 bytes).
QString GetOurBundleIdentifier();
void GetOurBundleIdentifier(CString256& identifier);
QString GetOurBundleExecutableName();
void GetOurBundleExecutableName(CString256& name);

// The installation prefix (the folder above the executable's bin/; see Bundle.h) as a
// reference: false, *ref untouched, when it cannot be had.
bool GetBundleFSRef(FSRef* ref);
// The same as a path (lossless for names that are not UTF-8, see NameCodec.h); a null
// QString when it cannot be had. ref may be null; when given it is filled on success.
QString GetPathToAppBundle(FSRef* ref = nullptr);

// The file NAME.TYPE (NAME alone for a null or empty type) in the program's data folder,
// <prefix>/share/ordinello, no subfolders. name is Mac Roman text. A final symbolic link is
// followed: callers want the file itself. False for a missing file, a name holding a
// separator, "." or "..".
bool MakeFSRefForBundleResource(const char* name, const char* type, FSRef& ref);

// Loads the icon resource NAME.icns into iconRef. Qt on Debian reads no .icns without the
// image-formats plugins, so NAME.svg and then NAME.png are taken when there is no .icns;
// the program's own icon ships as SVG. iconType is accepted for the classic signature and
// not used: a QIcon holds every size. fnfErr (no icon made) for a missing resource,
// invalidIconRefErr for a file Qt cannot read.
enum : OSStatus { invalidIconRefErr = -2580 };
OSStatus GetIconRefForResource(const char* name, OSType iconType, IconRef& iconRef);

// Preference values by key. key is a length-prefixed Mac Roman string ("Helper•http").
// The user's domain is the program's settings (ProgramSettings()); the any-user domain is
// the system scope. A write with anyUser stores and synchronises there; when that fails
// (file or folder not writable, sync error) it stores in the user's domain instead. The
// answer is always noErr, as callers expect; a key that cannot be decoded (null or empty)
// writes nothing.
// Values are property-list values: strings, numbers, QByteArray, QDateTime, lists, maps,
// booleans. Each comes back with the type it was written with, also in later runs:
// values other than text and data are kept in the settings file as serialised values
// (read them through ReadPreferenceValue, not straight from QSettings).
OSStatus WritePreferenceValue(const QVariant& value, const unsigned char* key, bool anyUser);
// With anyUser, the any-user domain first; then the user's own domain (without reading
// through to the system file). An invalid QVariant when the key is in neither.
QVariant ReadPreferenceValue(const unsigned char* key, bool anyUser);

// A new NewPtr block holding the text's UTF-16 units, not terminated; the count of units
// goes to *length when given. The caller frees it with DisposePtr. Null when memory is
// exhausted.
Ptr GetUnicodeString(QStringView text, unsigned long* length);

// The running kernel's release (uname) in the classic hexadecimal-digit form: the major
// number's decimal digits as hexadecimal digits, then one digit each for minor and patch,
// each capped at 15 (0xF): 6.1.0 gives 0x610, 10.4.8 gives 0x1048, 6.17.2 gives 0x6F2.
// 0 when the release cannot be read or does not start with a number.
long SystemVersion();
long SystemVersionFromRelease(QByteArrayView release);
// True for 0x1020 to 0x102F inclusive.
bool IsJaguar(long systemVersion = SystemVersion());

// Opens the item with the user's default application (GIO, see Launcher.h); the status
// of that request. paramErr for a null reference, fnfErr when the reference is stale (its
// path no longer names the same object: opening would reach another one).
OSStatus LaunchFSRef(const FSRef& item);
// An alias file on Linux is a symbolic link: resolves it (through every link on the way)
// and opens the target. The status: paramErr for a null reference or an item that is not
// a symbolic link, fnfErr for a stale reference or a dangling link, else LaunchFSRef's.
OSStatus OpenAlias(const FSRef& aliasFile);

// Open Documents sent to the program itself: one QFileOpenEvent per item, in order,
// posted to the application object, each carrying a file: URL of the item's exact bytes.
// paramErr for a count below 1 or a null array. An item that does not exist (fnfErr), or
// whose FSSpec record is malformed (paramErr: a name that is not one path component), is
// left out and the others go on; when the last item is one of those, nothing is posted and its
// status is returned. procNotFound when there is no application object.
enum : OSStatus { procNotFound = -600 };
OSStatus SendOpenDocAppleEventToSelf(long count, const FSSpec* specs);

// Adds read and write for owner, group and others (mode | 0666; other bits stay). On a
// symbolic link nothing changes and the answer is unimpErr: Linux cannot change a link's
// mode, and following it would change another object. paramErr for null, fnfErr for a
// stale reference, else the status of the read or of the change.
OSStatus MakeFileAccessibleToAll(const FSRef* item);

// Copies the source's resource fork (the extended attribute "user.com.apple.ResourceFork",
// any size) to the destination, replacing the destination's fork when it has one; final
// symbolic links are never followed. A source without a fork (or with an empty one)
// changes nothing and answers noErr. The status for callers who want it: paramErr for
// null, fnfErr for a stale reference, else that of the read or the write.
OSErr FSCopyResourceFork(const FSRef* source, const FSRef* destination);
