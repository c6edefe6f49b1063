#pragma once
// The optional diagnostic log: "Ordinello.log" in the program's state folder
// ($XDG_STATE_HOME/Ordinello, see platform/StateFolder.h). Each logging run adds a start
// line and a stop line carrying the local date and time; entries come between them, one
// line each. Lines end with a carriage return (0x0D), not a line feed. The file is appended
// to, never truncated. Main thread only.

#include "platform/FileDescriptor.h"
#include "platform/MacErrors.h"
#include "support/CString256.h"

#include <QString>

class CLog {
public:
    CLog() = default;
    ~CLog() = default; // closes a file still open, without a stop line
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Opens (creating it with mode 0600 when missing) the log at a POSIX path in append mode
    // and writes the start line. noErr, or the classic code of what failed (notAFileErr for
    // anything but a regular file: a FIFO is never waited on); after a failed open the log
    // writes nothing.
    OSErr OpenLogFile(const char* path);
    // Writes the entry's bytes unchanged at the end of the file, even when another writer
    // has extended it. noErr without writing when no file is open.
    OSErr Write_Entry(const CString256& entry);
    // Writes the stop line and closes the file. noErr when no file is open.
    OSErr CloseLogFile();

    bool isOpen() const { return m_file.isValid(); }

private:
    FileDescriptor m_file;
};

// The logger in use; null while logging is off.
extern CLog* gLogger;

// Turns logging on: creates the state folder when missing (mode 0700) and opens the log.
// Does nothing while logging is already on.
void StartLogging();
// Writes the stop line, closes the log and turns logging off.
void StopLogging();
// Writes text and a carriage return as one line; nothing while logging is off. A line is at
// most 255 bytes: longer text is cut to 254, before a UTF-8 character the cut would split
// (text that is not UTF-8 is cut at 254), keeping room for the line end.
void LogEntry(const char* text);

// Opens the log with the user's default application for it. Never creates anything:
// fnfErr when the folder or the log is missing. Otherwise the launch's status, and the
// system's reason in *message when it fails.
OSStatus OpenConsole(QString* message = nullptr);

// The date and time as the log writes it, in the local time zone: "2001-03-24 10:45:32 +0600".
QString LogDateDescription();
