#pragma once
// The program's identity (compiled in from the build) and where its parts are found:
// relative to the executable, so the build tree and an installed tree both work.

#include <QByteArray>
#include <QString>

namespace Bundle {

QString identifier();            // reverse-DNS id, also the .desktop file's name
QString executableName();
QString shortVersionString();    // the project version, e.g. "1.0.0"
QString signature();             // four-character creator code

// The maker's site: help page, version file and update image all live under it.
// ORDINELLO_SITE_URL in the environment replaces the built-in address (tests, mirrors).
QString siteUrl();

// The installation prefix, as bytes: the folder above the one holding the executable
// (bin/ when installed, so /usr or /usr/local; the build tree's top in a build, where
// programs, tests and benchmarks each sit one folder down). Empty when the executable's
// path cannot be read.
QByteArray installationPrefix();

// The program's data folder, <prefix>/share/ordinello, as bytes (empty as above).
QByteArray dataFolder();

// The program's own library folder (thumbnail library), or an empty string when none of
// the candidate folders exists.
QString libraryFolder();

} // namespace Bundle
