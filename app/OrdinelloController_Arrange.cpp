// The arranged order: kept in the state folder while the person works on it (the engine's
// renaming/ArrangedOrder), restored when the folder is listed again, and View ▸ Arrange By.

#include "app/OrdinelloController.h"

#include "app/RenameTask.h"
#include "platform/Collation.h"
#include "platform/SystemLog.h"
#include "renaming/ArrangedOrder.h"
#include "renaming/DateOrder.h"

#include <QFutureWatcher>
#include <QLocale>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <numeric>

namespace {

// The kept orders are written one after another, off the GUI thread (a write is synced to
// disk), in the order they were asked for, by every window of the program.
QThreadPool* orderWriter()
{
    static QThreadPool* pool = [] {
        auto* writer = new QThreadPool;
        writer->setMaxThreadCount(1);
        return writer;
    }();
    return pool;
}

// A person who stops moving rows for this long has their order kept.
constexpr int kKeepAfterMs = 1000;

QList<int> rowsOf(const std::vector<qsizetype>& order)
{
    QList<int> rows;
    rows.reserve(qsizetype(order.size()));
    for (qsizetype i : order)
        rows.append(int(i));
    return rows;
}

} // namespace

void OrdinelloController::arrangedOrderChanged()
{
    if (!hasFolder())
        return;
    m_arrangementChanged = true;
    if (!m_keepArrangementTimer) {
        m_keepArrangementTimer = new QTimer(this);
        m_keepArrangementTimer->setSingleShot(true);
        m_keepArrangementTimer->setInterval(kKeepAfterMs);
        connect(m_keepArrangementTimer, &QTimer::timeout, this, [this] {
            // A run going on lists the folder anew when it ends: what is listed now is gone then.
            if (!isRunning())
                storeArrangement();
        });
    }
    m_keepArrangementTimer->start();
}

void OrdinelloController::storeArrangement()
{
    if (m_keepArrangementTimer)
        m_keepArrangementTimer->stop();
    // An empty list is no one's order (the folder went away, or cannot be read now): what
    // was kept stays.
    if (m_arrangementChanged && hasFolder() && m_directoryItems->rowCount() > 0) {
        const FSRef folder = m_folderFSRef;
        orderWriter()->start([folder, items = m_directoryItems->listedReferencesLater()] {
            QString problem;
            if (!StoreArrangedOrder(folder, items(), &problem))
                NSLog(problem);   // the order on screen stays; only a later restore lacks it
        });
    }
    m_arrangementChanged = false;
}

void OrdinelloController::keepArrangedOrder()
{
    storeArrangement();
    // The next listing or the next start must find the order on disk.
    waitForKeptOrders();
}

void OrdinelloController::waitForKeptOrders()
{
    orderWriter()->waitForDone();
}

void OrdinelloController::leaveFolder()
{
    keepArrangedOrder();
    if (m_arrangeCancel)
        *m_arrangeCancel = true;
}

void OrdinelloController::startOverInFileManagerOrder()
{
    // Choosing the listed folder again starts over from the file manager's order: the
    // order arranged so far is let go, also on disk.
    m_arrangementChanged = false;
    leaveFolder();
    ForgetArrangedOrder(m_folderFSRef);
}

void OrdinelloController::restoreArrangedOrder()
{
    const std::optional<QList<FSRef>> stored = hasFolder() ? StoredArrangedOrder(m_folderFSRef) : std::nullopt;
    if (!stored || m_directoryItems->rowCount() == 0)
        return;
    const std::vector<qsizetype> order = ArrangeLike(*stored, m_directoryItems->listedReferences());
    if (std::is_sorted(order.begin(), order.end())) {
        // The names give that order now (numbered by an earlier version, or renamed so):
        // nothing is left to keep.
        ForgetArrangedOrder(m_folderFSRef);
        return;
    }
    m_directoryItems->reorder(rowsOf(order));
    Q_EMIT statusMessage(tr("Your arranged order was restored"));
}

void OrdinelloController::runArrangementEnded()
{
    // Moves made while the run went on were undone by the listing after it.
    m_arrangementChanged = false;
    if (!m_task->outcome().arrangement.isEmpty() && m_runFolder.sameObjectAs(m_folderFSRef)
        && m_runFolder.path == m_folderFSRef.path)
        arrangedOrderChanged();
}

void OrdinelloController::arrangeBy(Arrangement arrangement)
{
    const int n = m_directoryItems->rowCount();
    if (!hasFolder() || isRunning() || n == 0)
        return;
    std::vector<qsizetype> order;
    switch (arrangement) {
    case Arrangement::FileManagerOrder: {
        // The listing's own sort, over the names as they were listed.
        const QList<FSRef> items = m_directoryItems->listedReferences();
        const FSRef* refs = items.constData();
        order = FinderOrder::sortedOrderOfNames(n, [refs](qsizetype i) { return refs[i].nameBytes(); });
        break;
    }
    case Arrangement::ReverseOrder:
        order.resize(size_t(n));
        std::iota(order.rbegin(), order.rend(), qsizetype(0));
        break;
    case Arrangement::DateModified:
    case Arrangement::DateTaken:
        arrangeByDate(arrangement);
        return;
    }
    m_directoryItems->reorder(rowsOf(order));
    arrangedOrderChanged();
}

void OrdinelloController::arrangeByDate(Arrangement arrangement)
{
    const QList<FSRef> items = m_directoryItems->listedReferences();
    const QStringList listed = m_directoryItems->paths();
    const FSRef folder = m_folderFSRef;
    const ItemDate which = arrangement == Arrangement::DateTaken ? ItemDate::Taken : ItemDate::Modified;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::atomic<qsizetype>>(0);
    m_arrangeCancel = cancel;
    m_arranging = true;
    startSpinner();
    Q_EMIT runningChanged(true);

    // Progress as a run shows it, ten times a second.
    auto* poll = new QTimer(this);
    poll->setInterval(100);
    connect(poll, &QTimer::timeout, this, [this, done, total = items.size()] {
        const QLocale locale;
        const qsizetype read = done->load(std::memory_order_relaxed);
        Q_EMIT runProgress(read, total, tr("Reading dates %1 of %2")
                                            .arg(locale.toString(qlonglong(read)), locale.toString(qlonglong(total))));
    });
    poll->start();

    auto* reading = new QFutureWatcher<std::vector<qsizetype>>(this);
    connect(reading, &QFutureWatcherBase::finished, this, [this, reading, poll, cancel, listed, folder] {
        const std::vector<qsizetype> order = reading->result();
        reading->deleteLater();
        poll->deleteLater();
        m_arranging = false;
        if (m_arrangeCancel == cancel)
            m_arrangeCancel.reset();
        stopSpinner();
        Q_EMIT runningChanged(false);
        updateUndoState();   // the command was set aside while the dates were read
        if (cancel->load() || order.empty() || !folder.sameObjectAs(m_folderFSRef) || folder.path != m_folderFSRef.path)
            return;
        if (m_directoryItems->paths() == listed) {
            m_directoryItems->reorder(rowsOf(order));
        } else {
            // The folder changed meanwhile: the rows stand by their items' places in the
            // date order, rows that came since after them.
            QHash<QString, qsizetype> place;
            place.reserve(listed.size());
            for (qsizetype i = 0; i < qsizetype(order.size()); ++i)
                place.insert(listed.at(order[size_t(i)]), i);
            const QStringList& paths = m_directoryItems->paths();
            QList<int> rows(paths.size());
            std::iota(rows.begin(), rows.end(), 0);
            std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                return place.value(paths.at(a), listed.size()) < place.value(paths.at(b), listed.size());
            });
            m_directoryItems->reorder(rows);
        }
        arrangedOrderChanged();
    });
    reading->setFuture(QtConcurrent::run([items, which, cancel, done] {
        // Equal dates stand in the file manager's order, whatever the order was before.
        const FSRef* refs = items.constData();
        const std::vector<qsizetype> byName =
            FinderOrder::sortedOrderOfNames(items.size(), [refs](qsizetype i) { return refs[i].nameBytes(); });
        QList<FSRef> sorted;
        sorted.reserve(items.size());
        for (qsizetype i : byName)
            sorted.append(items[i]);
        PhotoDateReading dates;
        dates.cancel = cancel.get();
        dates.progress = [done](qsizetype read, qsizetype) { done->store(read, std::memory_order_relaxed); };
        const QList<PhotoDate> read = ReadItemDates(sorted, which, dates);
        if (cancel->load())
            return std::vector<qsizetype>();
        std::vector<qsizetype> order = DateOrder(read);
        for (qsizetype& i : order)
            i = byName[size_t(i)];
        return order;
    }));
}
