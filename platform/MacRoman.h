#pragma once
// Text in the classic Mac Roman encoding, as keys and names from the classic platform
// arrive: length-prefixed strings (Str255: a length byte, then up to 255 bytes) or plain
// bytes. Decoded with ICU's "macintosh" converter, which maps all 256 byte values.

#include <QByteArrayView>
#include <QString>

// The text of a length-prefixed Mac Roman string. A null pointer, or a converter ICU
// cannot open, gives a null QString; an empty string gives an empty (not null) QString.
// Never reads past the length byte's count.
QString MacRomanPascalToString(const unsigned char* pascal);

// The text of Mac Roman bytes; null QString only when the converter cannot be opened.
QString MacRomanToString(QByteArrayView bytes);
