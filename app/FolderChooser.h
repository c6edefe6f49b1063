#pragma once
// The folder chooser: titled "Choose", its message and button looked up in the string
// table, with the English literal where the lookup yields nothing.

#include "platform/MacErrors.h"

#include <QByteArray>

class QWidget;

// Shows the chooser modally. noErr with *result set (the folder's path as bytes) when a
// folder was chosen; userCanceledErr when the user cancelled. The prompt is never shown:
// it only decides whether the message is set. The chooser opens beside the folder shown
// (in its parent, with it selected), or in the home folder when none is.
OSErr ChooseFolder(QWidget* parent, const char* prompt, QByteArray* result, const QByteArray& shownFolder = {});

inline constexpr OSErr userCanceledErr = -128;
