#pragma once
// The window program's start: the command line, read before any window system is needed
// (so --help and --version work anywhere, with no display), then the application object,
// translations, and one main window for each folder named on the command line.

#include <QByteArray>
#include <QList>
#include <QString>

struct LaunchArguments {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QList<QByteArray> folders;   // raw bytes, in the order given
    QByteArray badOption;        // with Action::Error
};

// Reads argv as bytes: a folder that is not valid UTF-8 reaches the file system exactly.
// "--" ends the options. --help/-h and --version win over everything after them; the first
// unknown option is an error. Qt's own options (-platform offscreen, -style=Fusion, …) are
// passed over with their values.
LaunchArguments ParseLaunchArguments(int argc, char** argv);

int OrdinelloMain(int argc, char** argv);
