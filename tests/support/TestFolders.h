#pragma once
// Helpers for tests that work on real folders: names are bytes, so these take and give
// QByteArray and never go through Qt's file-name decoding.

#include "platform/Files.h"
#include "renaming/Numbering.h"
#include "renaming/RenameJournal.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <ctime>

namespace TestFolders {

// Creates an empty file inside dir.
void touch(const QByteArray& dir, const QByteArray& name);
void makeFiles(const QByteArray& dir, const QList<QByteArray>& names);   // empty files
void makeFolder(const QByteArray& dir, const QByteArray& name);
void writeFile(const QByteArray& path, const QByteArray& contents);
QByteArray readFile(const QByteArray& path);
// The folder's entries as bytes, sorted bytewise ("." and ".." left out).
QList<QByteArray> entries(const QByteArray& dir);
// The temporary folder's path as bytes. It and what it holds are removed at exit, by bytes
// (QTemporaryDir leaves names that are not UTF-8 behind).
QByteArray path(const QTemporaryDir& dir);
// A new empty temporary folder of its own, for one test, removed at exit as above.
QByteArray temporaryFolder();
QByteArray folderWith(const QList<QByteArray>& names);   // ...holding these empty files

// The reference to an existing item (its final link not followed); a failure fails the
// calling test.
FSRef refTo(const QByteArray& path);
// The folder's items as the window lists them, as references made when listed.
QList<FSRef> listed(const QByteArray& dir);
// Numbers the folder's items 1, 2, 3... (or takes their prefixes off) under the folder's run
// lock with a journal, as the window does; before item stopAt (-1: never) it stops as `how`
// says: a killed process (Abandon) or a cancel. A lock refused gives journalProblem.
RenameReport journaledRun(const QByteArray& dir, RunKind kind, int stopAt = -1, RunControl how = RunControl::Abandon);

// The item's extended attribute (the link's own, not followed); null when it has none.
QByteArray attribute(const QByteArray& path, const char* name);
void setModificationTime(const QByteArray& path, time_t seconds);

// Length-prefixed (Pascal) strings as the classic calls take and give them.
std::array<unsigned char, 256> pascal(const QByteArray& bytes);
QByteArray pascalText(const unsigned char* field);

// ordinello-cli of this build, run as a script runs it, with the arguments and standard
// input given. status is -1 when it did not start, crashed or ran past 20 seconds.
struct CliResult {
    int status = -1;
    QByteArray out;
    QByteArray err;
};
CliResult runCli(const QStringList& args, const QByteArray& input = {}, const QString& workingFolder = {});

// Where this build tree keeps the program's private libraries (the thumbnail service).
QString libraryFolderOfThisBuild();

// Points the XDG folders and QSettings at a private temporary home for this process.
void isolateUserFolders();

// After isolateUserFolders(), before anything asks GIO for applications (GLib reads the
// XDG variables once): installs a desktop application that writes each address it is
// asked to open, one per line, to the returned file, and makes it the default for the
// given MIME types and URL scheme handlers ("x-scheme-handler/http").
QByteArray installRecorderApplication(const QList<QByteArray>& types);
// What the recorder was asked to open so far, one address per entry.
QList<QByteArray> recordedOpens(const QByteArray& recordFile);

// While it lives, the calling thread's file accesses are checked as the user "nobody"
// when the process runs as root, so a folder without permissions is unreadable to it as it
// is to anyone else (the folders on the way must be open to others). Other threads keep
// their rights. dropped() is false only when root could not give its rights up.
class AsUnprivilegedUser
{
public:
    AsUnprivilegedUser();
    ~AsUnprivilegedUser();
    AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
    AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;
    bool dropped() const { return m_dropped; }

private:
    bool m_wasRoot = false;
    bool m_dropped = true;
};

} // namespace TestFolders
