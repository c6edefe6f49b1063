// Undo of the last numbering or prefix removal in the listed folder, and the offer to
// revert a run that was interrupted (the program was killed, the machine lost power).

#include "app/OrdinelloController.h"

#include "renaming/UndoRun.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

QString interruptedMessage(const JournalRun& run)
{
    const QString folder = DisplayFileName(DecodeFileName(run.folderPath));
    const QString count = QLocale().toString(run.itemCount());
    return run.kind == RunKind::PrefixRemoval
               ? QCoreApplication::translate("LocalizedStrings",
                                             "Removing the prefixes of %1 items in “%2” was interrupted. "
                                             "Undo the renames it made?")
                     .arg(count, folder)
               : QCoreApplication::translate("LocalizedStrings",
                                             "Numbering %1 items in “%2” was interrupted. "
                                             "Undo the renames it made?")
                     .arg(count, folder);
}

} // namespace

void OrdinelloController::updateUndoState()
{
    JournalRun run;
    QString problem;
    const bool found = hasFolder() && LastJournaledRun(m_folderFSRef, &run, &problem, JournalDetail::Summary);
    m_undoText = found ? UndoActionText(run) : QCoreApplication::translate("LocalizedStrings", "Undo");
    // A damaged journal keeps the command: choosing it says what is wrong.
    Q_EMIT undoStateChanged(found || !problem.isEmpty(), m_undoText);
    if (found && !run.finished && !m_offeredJournals.contains(run.file)) {
        m_offeredJournals.insert(run.file);
        Q_EMIT interruptedRunFound(run.folderPath, interruptedMessage(run));
    }
}

void OrdinelloController::offerInterruptedRuns()
{
    for (const JournalRun& run : InterruptedRuns()) {
        if (m_offeredJournals.contains(run.file))
            continue;
        m_offeredJournals.insert(run.file);
        Q_EMIT interruptedRunFound(run.folderPath, interruptedMessage(run));
    }
}

void OrdinelloController::undoInterruptedRun(const QByteArray& folderPath)
{
    FSRef folder;
    if (FSPathMakeRef(folderPath, &folder) != noErr)
        return;
    if (!hasFolder() || !folder.sameObjectAs(m_folderFSRef))
        selectDirectoryPath(folderPath);
    undoLastRun();
}
