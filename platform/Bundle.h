#pragma once
// The program's identity (compiled in from the build) and where its parts are found:
// relative to the executable, so the build tree and an installed tree both work.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Bundle {

QString identifier();            // reverse-DNS id, also the .desktop file's name
QString executableName();
QString shortVersionString();    // the project version, e.g. "1.0.0"
QString signature();             // four-character creator code

// The maker's site, where the version file and the update packages live. In order: the
// environment's ORDINELLO_SITE_URL (tests, mirrors); the system-wide setting "SiteURL"
// (ProgramSettings(QSettings::SystemScope), /etc/xdg/Ordinello/Ordinello.conf), which a
// packager or administrator sets; the address built in. An address that is not http or
// https with a host is passed over. No trailing "/".
QString siteUrl();
inline constexpr char kSiteUrlKey[] = "SiteURL";

// The installation prefix, as bytes: the folder above the one holding the executable
// (bin/ when installed, so /usr or /usr/local; the build tree's top in a build, where
// programs, tests and benchmarks each sit one folder down). Empty when the executable's
// path cannot be read.
QByteArray installationPrefix();

// The program's data folder, <prefix>/share/ordinello, as bytes (empty as above).
QByteArray dataFolder();

// The user manual's start page for the first of languages (as QLocale::uiLanguages gives
// them, "it-IT" or "it") that has one, else the English one: <data folder>/help/<language>/
// index.html, as bytes. Empty when not even the English manual is there.
QByteArray manualPage(const QStringList& languages);

// The program's own library folder (thumbnail library), or an empty string when none of
// the candidate folders exists.
QString libraryFolder();

} // namespace Bundle
