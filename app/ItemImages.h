#pragma once
// Pictures for the item table's Icon column: a thumbnail of the item's content from the
// thumbnail service, or its file icon from the icon theme.
//
// Thumbnails are made on worker threads and kept, scaled to the size the table draws
// them at, in a memory cache bounded in bytes. The table never waits for one.

#include <QCache>
#include <QIcon>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

#include <memory>

class QThreadPool;

class ItemImages : public QObject
{
    Q_OBJECT
public:
    explicit ItemImages(QObject* parent = nullptr);
    // Drops the queued requests without waiting for the ones being made: their workers
    // throw the pictures away and end on their own, their pool going when they have.
    ~ItemImages() override;

    // The picture to show now for the item at path (lossless path text). Never waits for
    // a thumbnail: it answers with what it has and, when a thumbnail is still to be made,
    // makes it elsewhere and announces it with imageReady(path). The size is the largest
    // the caller wants, in logical pixels; thumbnails are kept no larger than the display
    // size either. Without the service, and for items it cannot picture, the file icon
    // (scalable to the request). Null for an empty path.
    QIcon imageWithPreviewOfFileAtPath(const QString& path, QSize size, bool asIcon);

    // The item's file icon from the icon theme (folder, link, or by content type).
    static QIcon fileIcon(const QString& path);

    // The size, in logical pixels, at which the view draws the pictures (48 x 48 unless
    // set). Thumbnails are kept at this size times the screen's device pixel ratio.
    void setDisplaySize(QSize size);
    QSize displaySize() const { return m_displaySize; }

    // Forgets the requests not yet started (the rows they were for have gone, for
    // instance after another folder was chosen). Requests being made still finish.
    void cancelPendingRequests();
    // True while any thumbnail is queued or being made.
    bool hasPendingWork() const { return !m_pending.isEmpty(); }

    // At most this many requests wait; beyond it the oldest, for rows long scrolled away,
    // are dropped and asked again if their rows come back into view.
    static constexpr int kMaxQueuedRequests = 64;

Q_SIGNALS:
    void imageReady(const QString& path);

private:
    struct Key {
        QString path;
        qint64 modified = 0;     // nanoseconds
        qint64 size = 0;
        quint64 inode = 0;
        int pixels = 0;          // longest side kept, in device pixels
        bool asIcon = false;
        friend bool operator==(const Key&, const Key&) = default;
    };
    friend size_t qHash(const Key& key, size_t seed);
    struct Request;
    struct Shared;

    void enqueue(Request request);
    void startWorkers();
    void deliver(const Key& key, const QImage& picture);
    static void work(const std::shared_ptr<Shared>& shared);

    QSize m_displaySize{48, 48};
    QCache<Key, QIcon> m_cache;          // cost: kilobytes of pixels
    QSet<Key> m_pending;                 // queued or being made
    std::shared_ptr<Shared> m_shared;
    QThreadPool* m_pool = nullptr;
};
