// Rename journals as undo reads them back: whatever the bytes on disk, reading gives a
// whole run or a refusal with a reason, never a crash or a run read half.

#include "renaming/RenameJournal.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QByteArray file = [] {
        char name[] = "/dev/shm/fuzz-journal-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0)
            std::abort();
        ::close(fd);
        return QByteArray(name);
    }();
    const int fd = ::open(file.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != ssize_t(size))
        std::abort();
    ::close(fd);

    JournalRun run;
    QString problem;
    if (!ReadJournal(file, &run, &problem) && problem.isEmpty())
        std::abort();   // a refusal always says why
    return 0;
}
