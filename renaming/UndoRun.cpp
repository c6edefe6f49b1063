#include "renaming/UndoRun.h"

#include "platform/NameCodec.h"
#include "platform/StateFolder.h"
#include "support/LocalizedStrings.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

QString reasonFor(int error)
{
    return DescribeErrno(error);
}

} // namespace

bool LastJournaledRun(const FSRef& folder, JournalRun* run, QString* problem, JournalDetail detail)
{
    if (problem)
        problem->clear();
    const QList<QByteArray> files = JournalFiles(folder);
    if (files.isEmpty())
        return false;
    if (!ReadJournal(files.first(), run, problem, detail))
        return false;
    if (!JournalIsOfFolder(run, folder)) {
        if (problem)
            *problem = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The undo journal “%1” belongs to another folder."))
                           .arg(QString::fromLocal8Bit(files.first()));
        return false;
    }
    return true;
}

UndoResult UndoLastRun(const FSRef& folder, const RenameRun& run)
{
    UndoResult result;
    // A real undo holds the folder's run lock, and first puts back under its old name an
    // item whose rename was cut short (see FolderRunLock::acquireForRun). A dry run only
    // reads.
    std::unique_ptr<FolderRunLock> lock;
    if (!run.dryRun) {
        lock = FolderRunLock::acquireForRun(folder, &result.problem);
        if (!lock) {
            result.status = UndoResult::Status::Busy;
            return result;
        }
    }
    if (!LastJournaledRun(folder, &result.run, &result.problem)) {
        result.status = result.problem.isEmpty() ? UndoResult::Status::NothingToUndo : UndoResult::Status::Refused;
        return result;
    }
    result.status = UndoResult::Status::Undone;
    RenameReport& report = result.report;
    const int dirfd = ::open(folder.path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0) {
        result.status = UndoResult::Status::Refused;
        result.problem = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The folder “%1” cannot be opened: %2"))
                             .arg(DisplayFileName(DecodeFileName(folder.path)), DescribeErrno(errno));
        return result;
    }
    QByteArray prefix = folder.path;
    if (!prefix.endsWith('/'))
        prefix += '/';
    // An undo marks the journal while it reverts and takes the mark off when it stops. A
    // mark found means an undo before this one was killed, perhaps half way through
    // renaming an item without the no-replace rename: such an item may stand under both
    // names, and the second name is its own to take off, not someone else's.
    const QByteArray undoing = result.run.file + ".undoing";
    const bool undoCutShort = !run.dryRun && ::access(undoing.constData(), F_OK) == 0;
    if (!run.dryRun)
        OpenRegularFile(AT_FDCWD, undoing.constData(), O_WRONLY | O_CREAT, 0600);
    const auto unmark = qScopeGuard([&] {
        if (!run.dryRun)
            ::unlink(undoing.constData());
    });

    // Dry run: the names the reverts so far would have freed (false) and taken (true).
    QHash<QByteArray, bool> planned;
    auto exists = [&](const QByteArray& name) {
        const auto it = planned.constFind(name);
        if (it != planned.constEnd())
            return *it;
        FSRef ignored;
        return ReadObjectIdentity(dirfd, name.constData(), &ignored) != ENOENT;
    };
    auto fail = [&](const JournalEntry& entry, int error, const QString& reason) {
        RenameFailure failure{DecodeFileName(entry.newName), DecodeFileName(entry.name), error, reason};
        if (run.failed)
            run.failed(failure);
        report.failures.append(std::move(failure));
    };

    // Reverts one entry: true when it was reverted or never renamed, false after
    // reporting why it cannot be.
    auto holds = [&](const QByteArray& name, const JournalEntry& entry, FSRef* found) {
        return planned.value(name, true) && ReadObjectIdentity(dirfd, name.constData(), found) == 0
               && found->sameObjectAs(entry.identity);
    };
    auto revert = [&](const JournalEntry& entry) {
        FSRef atNew, atOld;
        const bool renamedByRun = holds(entry.newName, entry, &atNew);
        const bool underOldName = holds(entry.name, entry, &atOld);
        if (renamedByRun && underOldName) {
            // Under both names. A run that ended (and no undo cut short) left no rename half
            // done: the second name is someone else's doing, and both stay. A run or undo cut
            // short may have: it goes back under its old name alone (a dry run only says so).
            if ((result.run.finished && !undoCutShort) || run.dryRun) {
                result.alreadyUnderOldName += entry.companion ? 0 : 1;
                return true;
            }
            if (UndoInterruptedRename(dirfd, entry.name, entry.newName, entry.identity))
                return true;
            fail(entry, EEXIST, LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "the item has both names and one of them cannot be removed")));
            return false;
        }
        if (!renamedByRun) {
            // Never reached by the run (or already reverted): the object is still under its
            // old name. Anything else was changed after the run.
            if (underOldName) {
                result.alreadyUnderOldName += entry.companion ? 0 : 1;
                return true;
            }
            if (exists(entry.newName))
                fail(entry, EEXIST, LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "another item took its place since the renaming")));
            else
                fail(entry, ENOENT, LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "the item was removed or moved away since the renaming")));
            return false;
        }
        const QString name = DecodeFileName(entry.name);
        const QString newName = DecodeFileName(entry.newName);
        if (run.dryRun) {
            if (exists(entry.name)) {
                fail(entry, EEXIST, reasonFor(EEXIST));
                return false;
            }
            planned.insert(entry.newName, false);
            planned.insert(entry.name, true);
        } else {
            FSRef ref = atNew;
            ref.path = prefix + entry.newName;
            int error = 0;
            if (FSRenameUnicode(&ref, name, &error, dirfd) != noErr) {
                fail(entry, error, reasonFor(error));
                return false;
            }
        }
        if (!entry.companion)
            ++report.handled;
        if (run.renamed)
            run.renamed(newName, name);
        return true;
    };

    // Last renamed first, each item before its AppleDouble companion; a companion stays
    // with an item that cannot be reverted, so the two keep matching names.
    const JournalEntries& entries = result.run.entries;
    const qsizetype total = entries.size();
    qsizetype done = 0;
    std::vector<bool> kept(size_t(total), false);   // not reverted: stays in the journal
    for (qsizetype end = total; end > 0;) {
        qsizetype first = end - 1;
        while (first > 0 && entries.isCompanion(first))
            --first;
        bool itemReverted = true;
        for (qsizetype i = first; i < end; ++i, ++done) {
            if (run.progress) {
                const RunControl control = run.progress(done, total);
                if (control == RunControl::Abandon) {
                    ::close(dirfd);
                    return result;
                }
                if (control == RunControl::Cancel) {
                    report.cancelled = true;
                    break;
                }
            }
            bool reverted = false;
            if (i == first)
                reverted = itemReverted = revert(entries.at(i));
            else if (itemReverted)
                reverted = revert(entries.at(i));
            kept[size_t(i)] = !reverted;
        }
        if (report.cancelled)
            break;
        end = first;
    }
    ::close(dirfd);
    // Items the run never renamed (it stopped before them or failed on them) stand under
    // their old names too; only the rest were given them back since, which is worth saying.
    if (result.run.renamed >= 0)
        result.alreadyUnderOldName = std::max(0, result.alreadyUnderOldName - (result.run.items - result.run.renamed));
    // Reverted as far as it can be. What could not be reverted stays in the journal, so a
    // second undo (once the cause is mended) tries it again; with nothing left the
    // journal goes and the next undo reverts the run before. A cancelled undo keeps the
    // journal whole, and a second undo finishes the job.
    if (!run.dryRun && !report.cancelled) {
        QList<JournalEntry> left;
        for (qsizetype i = 0; i < total; ++i) {
            if (kept[size_t(i)])
                left.append(entries.at(i));
        }
        QString problem;
        if (!RenameJournal::rewrite(result.run, left, &problem))
            result.problem = problem;
    }
    return result;
}

QString UndoActionText(const JournalRun& run)
{
    const int count = run.undoableCount();
    const QString number = QLocale().toString(count);
    if (run.kind == RunKind::PrefixRemoval) {
        return count == 1 ? QCoreApplication::translate("LocalizedStrings", "Undo Prefix Removal of 1 Item")
                          : QCoreApplication::translate("LocalizedStrings", "Undo Prefix Removal of %1 Items").arg(number);
    }
    return count == 1 ? QCoreApplication::translate("LocalizedStrings", "Undo Numbering of 1 Item")
                      : QCoreApplication::translate("LocalizedStrings", "Undo Numbering of %1 Items").arg(number);
}

QList<JournalRun> InterruptedRuns()
{
    QList<JournalRun> runs;
    const QByteArray root = JournalRoot(FolderCreation::DontCreate);
    DIR* dir = ::opendir(root.constData());
    if (!dir)
        return runs;
    QList<QByteArray> folders;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            folders.append(root + '/' + entry->d_name);
    }
    ::closedir(dir);
    for (const QByteArray& journalFolder : std::as_const(folders)) {
        // The newest journal's header names the folder; the folder must still be there
        // with the same identity.
        JournalRun run;
        FSRef probe;
        const QList<QByteArray> files = JournalFilesIn(journalFolder);
        if (files.isEmpty() || !ReadJournal(files.first(), &run, nullptr, JournalDetail::Summary) || run.finished)
            continue;
        if (FSPathMakeRef(run.folderPath, &probe) != noErr || !JournalIsOfFolder(&run, probe))
            continue;
        runs.append(std::move(run));
    }
    return runs;
}
