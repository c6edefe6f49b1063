#pragma once
// The one place that builds the program's settings, for the window, the command line and
// the library's preference functions alike.
//
// User scope: organisation and application "Ordinello" (~/.config/Ordinello/Ordinello.conf,
// or under $XDG_CONFIG_HOME), reading through to the system file for keys the user never
// set, as Qt does. System scope (preferences for every user of the machine): the file
// Ordinello/Ordinello.conf in the first absolute folder of $XDG_CONFIG_DIRS, /etc/xdg when
// none is set; the variable is read on every call.
//
// QSettings cannot be copied; the result is built in place (guaranteed copy elision), so
// `QSettings s = ProgramSettings();` and `ProgramSettings().value(...)` both work.

#include <QSettings>

QSettings ProgramSettings(QSettings::Scope scope = QSettings::UserScope);

// The system scope's file name, as ProgramSettings(QSettings::SystemScope) uses it.
QString SystemSettingsFileName();
