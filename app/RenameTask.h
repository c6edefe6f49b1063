#pragma once
// A renaming run (numbering, prefix removal or undo) and the reload after it, off the GUI
// thread. The window keeps answering; progress is polled ten times a second; cancel stops
// the run before its next item (the journal then records a cancelled end), and the folder
// is listed again in either case.

#include "renaming/Numbering.h"
#include "renaming/RenameJournal.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>

class QTimer;

class RenameTask : public QObject
{
    Q_OBJECT
public:
    struct Outcome {
        RenameReport report;
        QString refusal;            // the run was refused whole (nothing renamed): why
        bool undone = false;        // an undo ran (or was refused)
        // A journaled run: what it wrote, so the undo command's text needs no reading.
        bool journaled = false;
        RunKind kind = RunKind::Numbering;
        int journaledItems = 0;
        // The items the run renamed or put back, as they are now: the listing after the
        // run does not read them again (see ListDirectoryItemRefs).
        QList<FSRef> known;
        // When not empty, the order the folder's items are listed in after the run (an
        // undo: the order the undone run numbered them in); items not in it take their
        // file-manager places (see ArrangeLike).
        QList<FSRef> arrangement;
        // How far the run went: the items it was given and, when cancelled, how many of
        // them it had reached.
        qsizetype total = 0;
        qsizetype reached = 0;
        int alreadyUnderOldName = 0;    // an undo: items it left alone (see UndoResult)
        QStringList paths;          // the folder listed again after the run
        QHash<QString, FSRef> identities;   // path -> its reference, made on the worker
    };
    // The run itself, on the worker thread, given the progress and cancel plumbing.
    using Work = std::function<Outcome(const RenameRun& run)>;

    explicit RenameTask(QObject* parent = nullptr);
    ~RenameTask() override;

    // Starts the work and then lists the folder; false while another run is going.
    bool start(Work work, const FSRef& folder);
    void cancel();
    bool isRunning() const { return m_running; }
    // Blocks until the run has ended (for quitting while a run is going).
    void waitForFinished();

    const Outcome& outcome() const { return m_outcome; }

Q_SIGNALS:
    void progressed(qsizetype done, qsizetype total);
    void finished();

private:
    QFutureWatcher<Outcome> m_watcher;
    QTimer* m_poll = nullptr;
    std::atomic<qsizetype> m_done{0};
    std::atomic<qsizetype> m_total{0};
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    Outcome m_outcome;
};
