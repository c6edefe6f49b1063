#pragma once
// ordinello-cli: the command-line front end. Scripts drive it, so its commands, options,
// output and exit codes are a public interface.
//
// Exit status: 0 every item handled, 1 some items failed (each named on standard error),
// 2 usage or folder errors.

#include "platform/Files.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>

int RunCommandLine(int argc, char** argv);

namespace Cli {

enum ExitCode { Success = 0, SomeFailed = 1, UsageError = 2 };

// Writes "ordinello-cli: <message>" and a newline to standard error.
void printError(const QString& message);
// Writes bytes exactly as given.
void writeBytes(std::FILE* stream, QByteArrayView bytes);
// The folder argument made readable for messages.
QString displayArgument(const QByteArray& argument);

// Resolves the FOLDER argument (a link to a folder is followed). On failure prints a
// message naming the folder and the reason and returns false.
bool resolveFolder(const QByteArray& argument, FSRef* folder);
// The message for a folder that cannot be listed.
void printUnreadableFolder(const QByteArray& argument, int error);

// Resolves the FOLDER argument and lists it as the window does. On failure prints a
// message naming the folder and the reason and returns false.
bool listFolder(const QByteArray& argument, FSRef* folder, QStringList* paths);

int listCommand(const QList<QByteArray>& args);
int renameCommand(const QList<QByteArray>& args);
int stripCommand(const QList<QByteArray>& args);
int undoCommand(const QList<QByteArray>& args);

} // namespace Cli
