#pragma once
// The program's identity (compiled in from the build) and where its parts are found:
// relative to the executable, so the build tree and an installed tree both work.

#include <QString>

namespace Bundle {

QString identifier();            // reverse-DNS id, also the .desktop file's name
QString executableName();
QString shortVersionString();    // the project version, e.g. "1.0.0"
QString signature();             // four-character creator code

// The maker's site: help page, version file and update image all live under it.
// ORDINELLO_SITE_URL in the environment replaces the built-in address (tests, mirrors).
QString siteUrl();

// The program's own library folder (thumbnail library), or an empty string when none of
// the candidate folders exists.
QString libraryFolder();

} // namespace Bundle
