#pragma once
// External thumbnailers as desktops register them: *.thumbnailer key files in the
// "thumbnailers" folder of $XDG_DATA_HOME and of each $XDG_DATA_DIRS entry (Debian's
// /usr/share/thumbnailers), each naming a command and the content types it pictures.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QMimeType;

namespace Thumbnails {

struct Thumbnailer {
    QString file;             // where it was registered
    QStringList command;      // Exec split into arguments, field codes still in place
    QStringList mimeTypes;
};

// Parses one key file's text; false when it has no usable [Thumbnailer Entry] (no Exec,
// no MimeType, or a TryExec program that is not installed).
bool parseThumbnailer(const QByteArray& text, Thumbnailer* out);

// The registered thumbnailers, read once per process; a file name in an earlier folder
// hides the same name in later ones.
const QList<Thumbnailer>& registeredThumbnailers();

// The first thumbnailer for the type or for a type it inherits from; null when none.
const Thumbnailer* thumbnailerFor(const QMimeType& type);

// Runs the thumbnailer on the file (absolute path bytes, URI) for a picture of `pixels` on
// its longer side. The program gets its arguments directly (no shell) and is stopped after
// a time-out. Null when it fails, times out or leaves no readable picture.
QImage runThumbnailer(const Thumbnailer& thumbnailer, const QByteArray& path, const QByteArray& uri, int pixels);

} // namespace Thumbnails
