#pragma once
// The maker's version file and version numbers.
//
// The file is a property list, XML or binary. Its root dictionary holds, under the
// product's key "Ordinello", a dictionary with "CurrentVersion" (a number on the scale of
// VersionNumberFromString: version 1.0.4 is 104) and "CurrentVersionString" (the version as
// shown to people), and optionally "CurrentVersionSHA256" (the disk image's SHA-256 digest in
// 64 hexadecimal digits). Other keys are ignored.
//
// The reader refuses, before libplist sees them, lists nested deeper than 64 containers, of
// more than 100,000 objects (or object visits), with references or offsets outside the file,
// and strings that hold a NUL character. It may take a while on a large file: keep it off
// the GUI thread.

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

struct PublishedVersion {
    // Set when "CurrentVersion" is a number whose conversion to 32 bits is exact, also when
    // the rest of the file is unusable.
    std::optional<std::int32_t> number;
    // Non-null only when the whole file is readable: a usable number and a string.
    QString string;
    // The image's 32-byte digest, when the readable file names one.
    QByteArray sha256;
};

// Never fails: anything unreadable gives a result with a null string.
PublishedVersion ReadVersionFile(QByteArrayView data);

// The published version string as it may be shown: control characters, bidirectional
// formatting characters and other invisible format characters are left out (they could make
// the text read as something else), and the text is cut to kMaximumShownVersionLength
// characters, ending in "…" when cut.
constexpr qsizetype kMaximumShownVersionLength = 40;
QString DisplayableVersionString(const QString& version);

// The digits of the text with the dots left out, read as a decimal integer the way atol
// reads: leading white space, an optional sign, digits up to the first other character.
// "1.0.4" is 104, "1.1" is 11, "1.0.4b2" is 104; null, empty or digitless text is 0.
// Values beyond 32 bits saturate.
std::int32_t VersionNumberFromString(const QString& version);
