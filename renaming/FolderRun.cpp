#include "renaming/FolderRun.h"

#include "renaming/ArrangedOrder.h"
#include "renaming/Preferences.h"

#include <algorithm>
#include <cerrno>
#include <climits>

OSErr CheckFolder(QByteArrayView path, FSRef* folder, int* sysErrno)
{
    FSRef ref;
    // The folder the person chose or named: a link to it is followed, and the reference
    // is of the folder itself, at its own path. A reference's path is never followed (see
    // FSIsFSRefValid): the link's path with the folder's identity would name no folder.
    if (const OSErr made = FSPathMakeRef(path, &ref, FinalLink::Resolved, sysErrno); made != noErr)
        return made;
    if (!ref.isDirectory()) {
        if (sysErrno)
            *sysErrno = ENOTDIR;
        return errFSNotAFolder;
    }
    *folder = std::move(ref);
    return noErr;
}

int AutomaticNumberWidth(qsizetype count)
{
    int digits = 1;
    for (qsizetype rest = count < 0 ? -count : count; rest >= 10; rest /= 10)
        ++digits;
    return count < 0 ? digits + 1 : digits;
}

std::optional<std::int64_t> NumberBeyond32Bits(const NumberingSettings& settings, qsizetype count)
{
    if (count <= 1)
        return std::nullopt;
    // 128 bits: a count and a step that are both large still multiply exactly.
    const __int128 last = __int128(settings.firstNumber) + __int128(count - 1) * settings.step;
    if (last >= INT32_MIN && last <= INT32_MAX)
        return std::nullopt;
    return std::int64_t(std::clamp<__int128>(last, INT64_MIN, INT64_MAX));
}

NumberingSettings NumberingSettingsFromPreferences(qsizetype count)
{
    NumberingSettings settings;
    settings.firstNumber = InitialNumber();
    settings.step = IncrementBy();
    settings.width = AutomaticNumberLength() ? AutomaticNumberWidth(count) : int(NumberLength());
    return settings;
}

std::unique_ptr<FolderRun> FolderRun::begin(const FSRef& folder, QString* problem)
{
    std::unique_ptr<FolderRunLock> lock = FolderRunLock::acquireForRun(folder, problem);
    if (!lock)
        return nullptr;
    return std::unique_ptr<FolderRun>(new FolderRun(folder, std::move(lock)));
}

FolderRun::FolderRun(const FSRef& folder, std::unique_ptr<FolderRunLock> lock)
    : m_folder(folder)
    , m_lock(std::move(lock))
{
}

FolderRun::~FolderRun() = default;

OSErr FolderRun::list(QList<FSRef>* items, ListOrder order, int* sysErrno, QSet<QByteArray>* companionNames) const
{
    return ListDirectoryItemRefs(m_folder, items, order, sysErrno, nullptr, companionNames);
}

RenameReport FolderRun::number(QList<FSRef>& items, const NumberingSettings& settings, RenameRun run)
{
    RenameJournal journal(m_folder, RunKind::Numbering);
    run.dryRun = false;
    run.journal = &journal;
    RenameReport report = NumberItems(items, settings, run);
    m_journalFile = journal.file();
    // The names hold the order now. A run that renamed nothing, or was stopped part way,
    // leaves the arranged order kept for the next try.
    if (report.renamed > 0 && !report.cancelled)
        ForgetArrangedOrder(m_folder);
    return report;
}

RenameReport FolderRun::removePrefixes(QList<FSRef>& items, PrefixRule rule, RenameRun run)
{
    RenameJournal journal(m_folder, RunKind::PrefixRemoval);
    run.dryRun = false;
    run.journal = &journal;
    RenameReport report = RemoveNumberPrefixes(items, rule, run);
    m_journalFile = journal.file();
    return report;
}
