#include "app/UndoRun.h"

#include "platform/NameCodec.h"
#include "platform/StateFolder.h"
#include "support/LocalizedStrings.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString reasonFor(int error)
{
    return DescribeErrno(error);
}

} // namespace

bool LastJournaledRun(const FSRef& folder, JournalRun* run, QString* problem, bool withEntries)
{
    if (problem)
        problem->clear();
    const QList<QByteArray> files = JournalFiles(folder);
    if (files.isEmpty())
        return false;
    if (!ReadJournal(files.first(), run, problem, withEntries))
        return false;
    if (!run->folder.sameObjectAs(folder)) {
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
    if (!LastJournaledRun(folder, &result.run, &result.problem)) {
        result.status = result.problem.isEmpty() ? UndoResult::Status::NothingToUndo : UndoResult::Status::Refused;
        return result;
    }
    result.status = UndoResult::Status::Undone;
    RenameReport& report = result.report;

    // A listing finishes or takes away what a rename of this program left half done when
    // it was cut short, so every object stands under exactly one of its names.
    if (!run.dryRun) {
        QList<FSRef> ignored;
        FSGetDirectoryItems(folder, &ignored);
    }
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
    auto revert = [&](const JournalEntry& entry) {
        FSRef atNew;
        const bool renamedByRun = (planned.value(entry.newName, true)
                                   && ReadObjectIdentity(dirfd, entry.newName.constData(), &atNew) == 0
                                   && atNew.sameObjectAs(entry.identity));
        if (!renamedByRun) {
            // Never reached by the run (or already reverted): the object is still under its
            // old name. Anything else was changed after the run.
            FSRef atOld;
            if (ReadObjectIdentity(dirfd, entry.name.constData(), &atOld) == 0 && atOld.sameObjectAs(entry.identity))
                return true;
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
    const QList<JournalEntry>& entries = result.run.entries;
    const qsizetype total = entries.size();
    qsizetype done = 0;
    for (qsizetype end = total; end > 0;) {
        qsizetype first = end - 1;
        while (first > 0 && entries.at(first).companion)
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
            if (i == first)
                itemReverted = revert(entries.at(i));
            else if (itemReverted)
                revert(entries.at(i));
        }
        if (report.cancelled)
            break;
        end = first;
    }
    ::close(dirfd);
    // Reverted as far as it can be: the next undo goes on with the run before. A cancelled
    // undo keeps the journal, and a second undo finishes the job.
    if (!run.dryRun && !report.cancelled)
        ::unlink(result.run.file.constData());
    return result;
}

QString UndoActionText(const JournalRun& run)
{
    const int count = run.itemCount();
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
        if (files.isEmpty() || !ReadJournal(files.first(), &run, nullptr, false) || run.finished)
            continue;
        if (FSPathMakeRef(run.folderPath, &probe) != noErr || !probe.sameObjectAs(run.folder)
            || JournalFolderFor(probe) != journalFolder)
            continue;
        runs.append(std::move(run));
    }
    return runs;
}
