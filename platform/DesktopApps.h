#pragma once
// The desktop's applications as GIO knows them: the .desktop files found through
// XDG_DATA_HOME and XDG_DATA_DIRS (the user's copy of a file shadows the system's), and the
// user's default application for a MIME type or URL scheme from mimeapps.list.
// GLib reads the XDG variables once per process. Safe to call from any thread.

#include "platform/MacErrors.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

struct DesktopApplication {
    QByteArray file;           // the .desktop file's path
    QString id;                // its desktop id, e.g. "org.gnome.eog.desktop"
    QString name;              // the name shown to the user
    std::uint32_t creator = 0; // four-character code of the "X-Ordinello-Creator" key, or 0
};

// The desktop-entry key that gives an application a classic four-character creator code.
inline constexpr char kCreatorCodeKey[] = "X-Ordinello-Creator";

// The default application for a MIME type, or for a URL scheme given as
// "x-scheme-handler/<scheme>".
std::optional<DesktopApplication> DefaultApplicationFor(const QByteArray& contentType);

// The names of the default applications for many types at once, in the same order; an empty
// string where a type has none. Answers are kept and reused while the mimeapps.list files,
// the applications folders, their MIME caches, the MIME databases and the default
// applications' own files are unchanged (checked by their modification times on every call;
// a .desktop file edited in place in a subfolder of an applications folder goes unnoticed
// until one of those changes).
QStringList DefaultApplicationNames(const QByteArrayList& contentTypes);
// The same answer when it can be given from the kept names alone, without asking GIO.
std::optional<QStringList> KeptDefaultApplicationNames(const QByteArrayList& contentTypes);

// The application whose creator key is the code. Of several, the user's own desktop file
// (XDG_DATA_HOME) before the system's (XDG_DATA_DIRS), then the newest file, then the
// earlier data folder and the path: the same answer every time.
std::optional<DesktopApplication> FindApplicationByCreator(std::uint32_t creator);

// Whether a .desktop file of that id is installed.
bool IsApplicationInstalled(const QByteArray& desktopId);

// Starts the application of that desktop id without files. noErr once started; fnfErr when
// it is not installed; ioErr when it cannot start (*message then says why).
OSStatus LaunchApplication(const QByteArray& desktopId, QString* message = nullptr);
