// Numbering and prefix removal from the window: the runs themselves are the engine's
// (renaming/FolderRun);
// here the controller feeds them its list and the preferences, shows the plan first when
// the preferences ask for it, runs them off the GUI thread with a journal, reloads, and
// reports.

#include "app/OrdinelloController.h"

#include "renaming/FolderRun.h"
#include "renaming/RenamePlan.h"
#include "renaming/Preferences.h"
#include "app/RenamePreview.h"
#include "app/RenameTask.h"
#include "renaming/UndoRun.h"
#include "platform/FolderWatcher.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QLocale>
#include <QMainWindow>
#include <QTimer>

#include <limits>
#include <optional>

namespace {

void showPreview(QWidget* parent, RunKind kind, const QList<PlannedRename>& plan, const RunChoice& proposed,
                 std::function<void(const RunChoice&)> confirmed)
{
    auto* preview = new RenamePreview(kind, plan, proposed, parent);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(preview, &QDialog::accepted, preview,
                     [preview, confirmed = std::move(confirmed)] { confirmed(preview->choice()); });
    preview->open();
}

} // namespace

void OrdinelloController::renameItems()
{
    // Before any folder was chosen there is nothing to number and nothing to reload.
    if (!hasFolder() || isRunning())
        return;
    // Read once for the run, when the user asks for it: the preview and the run agree.
    const NumberingSettings settings = NumberingSettingsFromPreferences(m_directoryItems->rowCount());
    // The running number would wrap to the other end of the 32-bit range: refused before
    // anything is shown or renamed.
    if (const std::optional<std::int64_t> last = NumberBeyond32Bits(settings, m_directoryItems->rowCount())) {
        const QLocale locale;
        Q_EMIT runRefused(QCoreApplication::translate("LocalizedStrings",
                                                      "Numbering %1 items from %2 in steps of %3 would end at %4, "
                                                      "outside the numbers Ordinello can give (from %5 to %6). "
                                                      "Nothing was renamed: choose another first number or step "
                                                      "in Preferences.")
                              .arg(locale.toString(m_directoryItems->rowCount()), locale.toString(settings.firstNumber),
                                   locale.toString(settings.step), locale.toString(qlonglong(*last)),
                                   locale.toString(std::numeric_limits<std::int32_t>::min()),
                                   locale.toString(std::numeric_limits<std::int32_t>::max())));
        return;
    }
    confirmAndRun(RunKind::Numbering, settings);
}

void OrdinelloController::removeFilenamePrefixes()
{
    if (!hasFolder() || isRunning())
        return;
    confirmAndRun(RunKind::PrefixRemoval, {});
}

void OrdinelloController::confirmAndRun(RunKind kind, const NumberingSettings& preferences)
{
    const QList<FSRef> items = m_directoryItems->listedReferences();
    const FSRef folder = m_folderFSRef;
    // The run as the user chose it (or as the names suggest when nothing is asked).
    auto work = [kind, items, preferences, folder](const RunChoice& choice) -> RenameTask::Work {
        return [kind, items = QList<FSRef>(items), preferences, folder, choice](const RenameRun& run) mutable {
            RenameTask::Outcome outcome;
            // One run at a time per folder, also across processes (ordinello-cli, another window).
            const std::unique_ptr<FolderRun> folderRun = FolderRun::begin(folder, &outcome.refusal);
            if (!folderRun)
                return outcome;
            NumberingSettings settings = preferences;
            settings.replaceNumbers = choice.replaceNumbers;
            if (kind == RunKind::PrefixRemoval)
                items = ItemsForRemoval(std::move(items), choice);
            outcome.report = kind == RunKind::Numbering ? folderRun->number(items, settings, run)
                                                        : folderRun->removePrefixes(items, choice.rule, run);
            outcome.refusal = outcome.report.journalProblem;
            outcome.journaled = !folderRun->journalFile().isEmpty();
            outcome.total = items.size();
            outcome.known = std::move(items);
            outcome.kind = kind;
            outcome.journaledItems = outcome.report.renamed;
            // Numbering stopped part way keeps the arranged order for the next try.
            if (kind == RunKind::Numbering && outcome.report.cancelled)
                outcome.arrangement = outcome.known;
            return outcome;
        };
    };
    const char* progressText = kind == RunKind::Numbering ? QT_TRANSLATE_NOOP("LocalizedStrings", "Numbering %1 of %2")
                                                          : QT_TRANSLATE_NOOP("LocalizedStrings", "Removing prefixes %1 of %2");
    const RunChoice proposed = ProposedChoice(kind, items);
    // A removal that would take off a word that is not a number, or a number that may be a
    // year, is always shown: "Do not ask again" never hides that choice.
    if (!ConfirmRenaming() && (kind == RunKind::Numbering || !RemovalNeedsAChoice(items))) {
        startRun(work(proposed), progressText);
        return;
    }
    // The plan is made off the GUI thread too: on a large folder it reads every name.
    m_planning = true;
    startSpinner();
    Q_EMIT runningChanged(true);
    NumberingSettings planned = preferences;
    planned.replaceNumbers = proposed.replaceNumbers;
    auto* planning = new QFutureWatcher<QList<PlannedRename>>(this);
    connect(planning, &QFutureWatcherBase::finished, this,
            [this, planning, kind, work, proposed, progressText, folder]() mutable {
                const QList<PlannedRename> plan = planning->result();
                planning->deleteLater();
                m_planning = false;
                stopSpinner();
                Q_EMIT runningChanged(false);
                auto confirmed = [this, work, progressText, folder](const RunChoice& choice) {
                    // The folder may have changed, or another run started, while the sheet was open.
                    if (hasFolder() && !isRunning() && folder.sameObjectAs(m_folderFSRef)
                        && folder.path == m_folderFSRef.path)
                        startRun(work(choice), progressText);
                };
                if (m_confirmer)
                    m_confirmer(fileListWindow, kind, plan, proposed, std::move(confirmed));
                else
                    showPreview(fileListWindow, kind, plan, proposed, std::move(confirmed));
            });
    planning->setFuture(QtConcurrent::run([kind, items, planned] { return PlanRun(kind, items, planned); }));
}

void OrdinelloController::setRunConfirmer(RunConfirmer confirmer)
{
    m_confirmer = std::move(confirmer);
}

void OrdinelloController::undoLastRun()
{
    if (!hasFolder() || isRunning())
        return;
    const FSRef folder = m_folderFSRef;
    startRun(
        [folder](const RenameRun& run) {
            const UndoResult result = UndoLastRun(folder, run);
            RenameTask::Outcome outcome;
            outcome.undone = true;
            // The run's items stand under their old names again (those that could not be
            // put back are looked at afresh: a name is found once, by its identity).
            QByteArray prefix = folder.path;
            if (!prefix.endsWith('/'))
                prefix += '/';
            for (const JournalEntry& entry : result.run.entries) {
                if (entry.companion)
                    continue;
                FSRef item = entry.identity;
                item.path = prefix + entry.name;
                outcome.known.append(std::move(item));
            }
            // The journal has the items in the order the run numbered them: the folder is
            // listed in that order again, not in the file manager's.
            outcome.arrangement = outcome.known;
            outcome.report = result.report;
            outcome.total = result.run.itemCount();
            outcome.alreadyUnderOldName = result.alreadyUnderOldName;
            if (result.status == UndoResult::Status::Refused || result.status == UndoResult::Status::Busy)
                outcome.refusal = result.problem;
            return outcome;
        },
        QT_TRANSLATE_NOOP("LocalizedStrings", "Undoing %1 of %2"));
}

bool OrdinelloController::isRunning() const
{
    return m_planning || m_arranging || (m_task && m_task->isRunning());
}

void OrdinelloController::cancelRun()
{
    if (m_task)
        m_task->cancel();
    if (m_arrangeCancel)
        *m_arrangeCancel = true;
}

void OrdinelloController::startRun(std::function<RenameTask::Outcome(const RenameRun&)> work, const char* progressText)
{
    if (!m_task) {
        m_task = new RenameTask(this);
        connect(m_task, &RenameTask::progressed, this, [this](qsizetype done, qsizetype total) {
            const QLocale locale;
            Q_EMIT runProgress(done, total,
                               QCoreApplication::translate("LocalizedStrings", m_progressText)
                                   .arg(locale.toString(qlonglong(done)), locale.toString(qlonglong(total))));
        });
        connect(m_task, &RenameTask::finished, this, &OrdinelloController::runEnded);
        connect(m_task, &RenameTask::finished, this, &OrdinelloController::runArrangementEnded);
    }
    // The order being numbered is the one kept until the run forgets it: the run waits
    // for it to be on disk before it changes anything (the window does not).
    storeArrangement();
    m_progressText = progressText;
    m_runFolder = m_folderFSRef;
    // The run's own renames would wake the window for every item; the run lists the
    // folder itself when it ends.
    if (m_watcher)
        m_watcher->setPaused(true);
    Q_EMIT runStarted();
    startSpinner();
    m_task->start(
        [work = std::move(work)](const RenameRun& run) {
            waitForKeptOrders();
            return work(run);
        },
        m_folderFSRef);
    Q_EMIT runningChanged(true);
}

void OrdinelloController::runEnded()
{
    const RenameTask::Outcome& outcome = m_task->outcome();   // implicitly shared: no copies
    // The list read after the run replaces the stale one, unless another folder was
    // chosen meanwhile.
    if (m_runFolder.sameObjectAs(m_folderFSRef) && m_runFolder.path == m_folderFSRef.path) {
        // This listing covers whatever changed while the run went on.
        if (m_reloadTimer)
            m_reloadTimer->stop();
        // The lookup table was made on the worker: only pointers are swapped here.
        m_directoryItems->setListing(outcome.paths, outcome.identities);
    }
    stopSpinner();
    Q_EMIT runningChanged(false);
    if (!outcome.refusal.isEmpty())
        Q_EMIT runRefused(outcome.refusal);
    else
        finishRun(outcome);
    if (outcome.journaled) {
        // The run just written is the one to undo: its text needs no reading of the journal.
        JournalRun written;
        written.kind = outcome.kind;
        written.items = written.renamed = outcome.journaledItems;
        m_undoText = UndoActionText(written);
        Q_EMIT undoStateChanged(true, m_undoText);
    } else {
        updateUndoState();
    }
    // Last: the run is reported before the window follows its folder elsewhere (or says
    // that it is gone), which the watcher tells on resuming.
    if (m_watcher)
        m_watcher->setPaused(false);
}

void OrdinelloController::finishRun(const RenameTask::Outcome& outcome)
{
    const RenameReport& report = outcome.report;
    RunAccount account;
    account.undo = outcome.undone;
    account.total = outcome.total;
    account.handled = report.handled;
    account.cancelled = report.cancelled;
    account.reached = outcome.reached;
    account.alreadyUnderOldName = outcome.alreadyUnderOldName;
    for (const RenameFailure& failure : report.failures) {
        account.names.append(failure.name);
        account.reasons.append(failure.reason);
    }
    Q_EMIT runFinished(report.handled, account.names, account.reasons);
    Q_EMIT runReported(account);
}

int OrdinelloController::automaticNumberLength() const
{
    // The width follows the number of items, not the largest number to be printed.
    return AutomaticNumberLength() ? AutomaticNumberWidth(m_directoryItems->rowCount()) : 0;
}
