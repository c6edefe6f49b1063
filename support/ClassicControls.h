#pragma once
// Classic dialog helpers over Qt widgets: finding a control by its identifier, reading and
// writing the text of edit-text (QLineEdit) and static-text (QLabel) controls, a key
// filter on an edit field, and choosing several files at once.
//
// A control's identifier is the pair of dynamic properties "controlSignature" (a
// four-character code, as text such as "EdTx" or as a number) and "controlNumber" on the
// widget. Edit and static texts hold one value: every text call below reads and writes
// either kind. Every function answers paramErr (-50) for a null control; a control of
// another kind (a push button asked for its text) answers errDataNotSupported.
// "Text" data is UTF-8, the system encoding. A redraw flag of true repaints the control at
// once after a successful set; false (or a failure) paints nothing now.

#include "platform/FSSpecRecord.h"
#include "platform/ICMapEntry.h"   // OSType, Str255
#include "platform/MacErrors.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

enum : OSStatus {
    errDataNotSupported = -30581,   // the control keeps no data of that kind
};

using ControlRef = QWidget*;

// What a key filter answers for one key press.
enum ControlKeyFilterResult : std::int16_t {
    kControlKeyFilterBlockKey = 0,
    kControlKeyFilterPassKey = 1,
};

// Classic modifier bits handed to key filters.
enum : std::uint16_t {
    cmdKey = 0x0100,      // Control on Linux keyboards, as Qt maps the command key
    shiftKey = 0x0200,
    optionKey = 0x0800,   // Alt
    controlKey = 0x1000,  // Meta
};

// Key code (the native scan code), character code (the first UTF-16 unit of the typed
// text, 0 for none) and modifiers in; the filter may change them, but only its answer counts.
using ControlKeyFilterProcPtr = ControlKeyFilterResult (*)(ControlRef control, std::int16_t* keyCode,
                                                           std::int16_t* charCode, std::uint16_t* modifiers);

// The widget among window's descendants (window itself included) with that identifier;
// null when there is none or window is null.
ControlRef GrabCRef(QWidget* window, OSType signature, long number);

// The text of an edit-text or static-text control; a null QString for a null control or
// another kind.
QString GetEditTextAsCFString(ControlRef control);
OSStatus SetEditTextAsCFString(ControlRef control, const QString& text, bool redraw);
OSStatus SetStaticTextAsCFString(ControlRef control, const QString& text, bool redraw);

// Sets the text from a length-prefixed string's bytes (UTF-8). A null string is paramErr.
OSStatus SetEditTextText(ControlRef control, const unsigned char* text, bool redraw);
OSStatus SetStaticTextText(ControlRef control, const unsigned char* text, bool redraw);
// The same from a QString: a text needing more than 255 bytes of UTF-8 gives noErr and
// changes nothing, as the classic call did.
OSStatus SetEditTextText(ControlRef control, const QString& text, bool redraw);

// Reads the control's text as UTF-8 bytes into text, cut at 255 bytes at a character boundary,
// and sets its length byte. paramErr for a null control or null string.
OSStatus GetEditTextText(ControlRef control, unsigned char* text);

// Calls filter for every key pressed in the edit field; a blocked key never reaches it.
// A second call replaces the first filter. paramErr for a null control or null filter.
OSStatus SetEditTextKeyFilter(ControlRef control, ControlKeyFilterProcPtr filter);

// Lets the user choose one or more existing files with Qt's own file dialog (not the
// desktop's), showing message (UTF-8; cut at 255 bytes) above the files and starting in
// defaultLocation's folder when given. The chosen files in the order of the selection;
// std::nullopt when the user cancels. Qt's own dialog does not list names that are not
// valid UTF-8, so such files cannot be chosen here.
std::optional<QList<FSSpec>> ChooseFiles(const FSSpec* defaultLocation, const char* message);
