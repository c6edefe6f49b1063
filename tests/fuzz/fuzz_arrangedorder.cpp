// Kept arranged orders as the window reads them back: whatever the bytes on disk, reading
// gives an order or none, and arranging the listing by it places every item exactly once.
// The target keeps its folder in /dev/shm/fuzz-arranged; FUZZ_SEED_OUT=file copies a valid
// order there. The checksum is set to match, so the fuzzing reaches the fields behind it.

#include "platform/StateFolder.h"
#include "renaming/ArrangedOrder.h"
#include "renaming/RenameJournal.h"

#include <QFile>
#include <QtEndian>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FSRef folder;
    static QList<FSRef> listed;
    static const QByteArray orderFile = [] {
        const QByteArray top("/dev/shm/fuzz-arranged");
        ::setenv("XDG_STATE_HOME", (top + "/state").constData(), 1);
        ::mkdir(top.constData(), 0700);
        ::mkdir((top + "/folder").constData(), 0700);
        for (const char* name : {"a", "b", "c", "file9", "file10"})
            ::close(::open((top + "/folder/" + name).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        QByteArray state;
        if (FSPathMakeRef(top + "/folder", &folder) != noErr || FSGetDirectoryItems(folder, &listed) != noErr
            || !StoreArrangedOrder(folder, listed) || FindProgramStateFolder(FolderCreation::DontCreate, &state) != noErr)
            std::abort();
        const QByteArray file = state + "/arranged/" + FolderStateKey(folder);
        if (const char* seed = ::getenv("FUZZ_SEED_OUT"); seed && !QFile::copy(QFile::decodeName(file), QFile::decodeName(seed)))
            std::abort();
        return file;
    }();

    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.size() >= 4)
        qToLittleEndian(std::uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size() - 4))),
                        bytes.data() + bytes.size() - 4);
    const int fd = ::open(orderFile.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != ssize_t(bytes.size()))
        std::abort();
    ::close(fd);

    if (const std::optional<QList<FSRef>> stored = StoredArrangedOrder(folder)) {
        std::vector<bool> seen(size_t(listed.size()), false);
        const std::vector<qsizetype> order = ArrangeLike(*stored, listed);
        for (qsizetype i : order) {
            if (i < 0 || i >= listed.size() || seen[size_t(i)])
                std::abort();   // every listed item exactly once
            seen[size_t(i)] = true;
        }
        if (order.size() != seen.size())
            std::abort();
    }
    return 0;
}
