// Kept arranged orders as the window reads them back when a folder is listed again:
// whatever the bytes on disk, reading gives an order or none, and arranging a listing by
// it places every listed item exactly once.

#include "platform/StateFolder.h"
#include "renaming/ArrangedOrder.h"
#include "renaming/RenameJournal.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

struct Setup {
    FSRef folder;
    QList<FSRef> listed;
    QByteArray orderFile;
};

const Setup& setup()
{
    static const Setup made = [] {
        // One folder for every run of the target, so a seed written by one run (below)
        // names the folder the next run lists.
        const QByteArray top("/dev/shm/fuzz-arranged");
        ::mkdir(top.constData(), 0700);
        ::setenv("XDG_STATE_HOME", (top + "/state").constData(), 1);
        const QByteArray folderPath = top + "/folder";
        ::mkdir(folderPath.constData(), 0700);
        Setup s;
        for (const char* name : {"a", "b", "c", "file9", "file10"})
            ::close(::open((folderPath + '/' + name).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        if (FSPathMakeRef(folderPath, &s.folder) != noErr || FSGetDirectoryItems(s.folder, &s.listed) != noErr)
            std::abort();
        QByteArray state;
        if (!StoreArrangedOrder(s.folder, s.listed) || FindProgramStateFolder(FolderCreation::DontCreate, &state) != noErr)
            std::abort();
        s.orderFile = state + "/arranged/" + FolderStateKey(s.folder);
        if (::access(s.orderFile.constData(), R_OK) != 0)
            std::abort();
        // A valid order to start from: FUZZ_SEED_OUT=file writes it there.
        if (const char* seed = ::getenv("FUZZ_SEED_OUT"))
            QFile::copy(QFile::decodeName(s.orderFile), QFile::decodeName(seed));
        return s;
    }();
    return made;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Setup& s = setup();
    // The checksum is set to match, so the fuzzing reaches the fields behind it.
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.size() >= 4)
        qToLittleEndian<std::uint32_t>(std::uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size() - 4))),
                                       bytes.data() + bytes.size() - 4);
    data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const int fd = ::open(s.orderFile.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != ssize_t(size))
        std::abort();
    ::close(fd);

    const std::optional<QList<FSRef>> stored = StoredArrangedOrder(s.folder);
    if (!stored)
        return 0;
    const std::vector<qsizetype> order = ArrangeLike(*stored, s.listed);
    std::vector<bool> seen(size_t(s.listed.size()), false);
    if (order.size() != seen.size())
        std::abort();
    for (qsizetype i : order) {
        if (i < 0 || i >= s.listed.size() || seen[size_t(i)])
            std::abort();   // every listed item exactly once
        seen[size_t(i)] = true;
    }
    return 0;
}
