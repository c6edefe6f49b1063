#pragma once
// Names on Linux are bytes; in memory they are QStrings. The codec between the two is
// lossless: valid UTF-8 decodes normally, each byte of an invalid sequence becomes the
// code point U+DC80 + byte and goes back to the same byte. So a name read, changed and
// written back keeps every byte the user did not ask to change.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(QStringView text);

// The text to show a person: the escaped bytes are shown as U+FFFD.
QString DisplayFileName(QStringView text);

// True when the text holds escaped bytes, i.e. its bytes are not valid UTF-8.
bool HasEscapedBytes(QStringView text);

// A file: URL for a lossless path, its bytes percent-encoded exactly, so a name that is
// not UTF-8 still reaches the file manager or the default application intact.
#include <QUrl>
QUrl FileUrlFromPath(QStringView path);
