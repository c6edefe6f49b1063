#include "app/RenameTask.h"

#include "renaming/ArrangedOrder.h"
#include "renaming/DirectoryItems.h"

#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

RenameTask::RenameTask(QObject* parent)
    : QObject(parent)
    , m_poll(new QTimer(this))
{
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, [this] {
        Q_EMIT progressed(m_done.load(std::memory_order_relaxed), m_total.load(std::memory_order_relaxed));
    });
    connect(&m_watcher, &QFutureWatcher<Outcome>::finished, this, [this] {
        m_poll->stop();
        m_outcome = m_watcher.result();
        m_running = false;
        Q_EMIT finished();
    });
}

RenameTask::~RenameTask()
{
    cancel();
    waitForFinished();
}

bool RenameTask::start(Work work, const FSRef& folder)
{
    if (m_running)
        return false;
    m_running = true;
    m_done = 0;
    m_total = 0;
    m_cancel = false;
    m_outcome = Outcome();
    m_watcher.setFuture(QtConcurrent::run([this, work = std::move(work), folder] {
        RenameRun run;
        run.progress = [this](qsizetype done, qsizetype total) {
            m_done.store(done, std::memory_order_relaxed);
            m_total.store(total, std::memory_order_relaxed);
            return m_cancel.load(std::memory_order_relaxed) ? RunControl::Cancel : RunControl::Continue;
        };
        Outcome outcome = work(run);
        // The count asked about last is where a cancelled run stopped.
        if (outcome.report.cancelled) {
            outcome.reached = m_done.load(std::memory_order_relaxed);
            outcome.total = std::max(outcome.total, m_total.load(std::memory_order_relaxed));
        }
        // The renames made the listed paths stale: the folder is read again here too.
        QList<FSRef> refs;
        ListDirectoryItemRefs(folder, &refs, ListOrder::FileManager, nullptr, &outcome.paths, nullptr, &outcome.known);
        outcome.known = QList<FSRef>();
        if (!outcome.arrangement.isEmpty() && refs.size() == outcome.paths.size()) {
            QList<FSRef> arrangedRefs;
            QStringList arrangedPaths;
            arrangedRefs.reserve(refs.size());
            arrangedPaths.reserve(refs.size());
            for (qsizetype i : ArrangeLike(outcome.arrangement, refs)) {
                arrangedRefs.append(std::move(refs[i]));
                arrangedPaths.append(std::move(outcome.paths[i]));
            }
            refs = std::move(arrangedRefs);
            outcome.paths = std::move(arrangedPaths);
        }
        outcome.identities.reserve(refs.size());
        for (qsizetype i = 0; i < refs.size() && i < outcome.paths.size(); ++i)
            outcome.identities.insert(outcome.paths.at(i), std::move(refs[i]));
        return outcome;
    }));
    m_poll->start();
    return true;
}

void RenameTask::cancel()
{
    m_cancel = true;
}

void RenameTask::waitForFinished()
{
    m_watcher.waitForFinished();
}
