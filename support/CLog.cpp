#include "support/CLog.h"

#include "platform/Files.h"
#include "support/CFile.h"
#include "platform/Launcher.h"
#include "platform/StateFolder.h"
#include "support/LocalizedStrings.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

CLog* gLogger = nullptr;

namespace {

constexpr char kLogFileName[] = "Ordinello.log";

OSErr writeAll(int fileDescriptor, const char* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t written = write(fileDescriptor, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return OSErrFromErrno(errno);
        }
        bytes += written;
        count -= size_t(written);
    }
    return noErr;
}

// The framing line "<localized text><date>]\r", at most 255 bytes (cut at a character
// boundary, as CString256 cuts text).
CString256 framingLine(const char* key)
{
    CString256 line;
    line = LocalizedStringNS(key) + LogDateDescription() + QStringLiteral("]\r");
    return line;
}

// The length of at most `limit` leading bytes of text. A cut never splits a UTF-8
// character: when the limit falls inside a valid sequence (which began at most three bytes
// before it), the cut moves to the sequence's start. Text that is not UTF-8 there is cut
// at the limit: walking back over every byte that looks like a continuation would drop a
// whole entry of such bytes.
size_t boundaryCut(const char* text, size_t length, size_t limit)
{
    if (length <= limit)
        return length;
    for (size_t back = 1; back <= 3 && back <= limit; ++back) {
        const size_t start = limit - back;
        const std::uint8_t lead = std::uint8_t(text[start]);
        if ((lead & 0xC0) == 0x80)
            continue;
        const size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const bool split = start + size > limit && start + size <= length;
        return split && QByteArrayView(text + start, qsizetype(size)).isValidUtf8() ? start : limit;
    }
    return limit;
}

} // namespace

QString LogDateDescription()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
        + QLatin1Char(offset < 0 ? '-' : '+')
        + QStringLiteral("%1%2").arg(magnitude / 60, 2, 10, QLatin1Char('0')).arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

OSErr CLog::OpenLogFile(const char* path)
{
    m_file.reset();
    if (!path || !*path)
        return paramErr;
    // O_APPEND puts every write at the end of the file at the moment of writing, also when
    // another process has extended it meanwhile. Only a regular file is a log: a FIFO in its
    // place is refused at once instead of waiting for a reader.
    int error = 0;
    m_file = OpenRegularFile(AT_FDCWD, path, O_WRONLY | O_APPEND | O_CREAT, 0600, &error);
    if (!m_file)
        return OSErrFromErrno(error);
    const CString256 line = framingLine(QT_TRANSLATE_NOOP("LocalizedStrings", "[Logging starting at "));
    return writeAll(m_file.get(), line.c_str(), size_t(line.length()));
}

OSErr CLog::Write_Entry(const CString256& entry)
{
    if (!m_file)
        return noErr;
    return writeAll(m_file.get(), entry.c_str(), size_t(entry.length()));
}

OSErr CLog::CloseLogFile()
{
    if (!m_file)
        return noErr;
    const CString256 line = framingLine(QT_TRANSLATE_NOOP("LocalizedStrings", "[Logging stopping at "));
    writeAll(m_file.get(), line.c_str(), size_t(line.length()));
    const int status = close(m_file.release());
    return status == 0 ? OSErr(noErr) : OSErrFromErrno(errno);
}

void StartLogging()
{
    if (gLogger)
        return;
    QByteArray folder;
    if (FindProgramStateFolder(FolderCreation::Create, &folder) != noErr)
        return;
    // The full path, however long: a path cut to a fixed buffer would name another file.
    const QByteArray path = folder + '/' + kLogFileName;
    auto* logger = new CLog;
    logger->OpenLogFile(path.constData());
    gLogger = logger;
}

void StopLogging()
{
    if (!gLogger)
        return;
    gLogger->CloseLogFile();
    delete gLogger;
    gLogger = nullptr;
}

void LogEntry(const char* text)
{
    if (!gLogger)
        return;
    // The line end always fits: text takes at most 254 bytes of the 255.
    const char* bytes = text ? text : "";
    const size_t length = boundaryCut(bytes, std::strlen(bytes), CString256::kCapacity - 1);
    QByteArray line(bytes, qsizetype(length));
    line.append('\r');
    gLogger->Write_Entry(CString256(line.constData()));
}

OSStatus OpenConsole(QString* message)
{
    QByteArray folder;
    if (const OSErr status = FindProgramStateFolder(FolderCreation::DontCreate, &folder); status != noErr)
        return status;
    FSRef folderRef, log;
    if (const OSErr status = FSPathMakeRef(folder, &folderRef); status != noErr)
        return status;
    if (!CFile::FSObjectExists(folderRef, QString::fromLatin1(kLogFileName), log))
        return fnfErr;
    return LaunchDefaultForPath(log.path, message);
}
