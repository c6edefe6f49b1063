#pragma once
// One HTTP GET for the software update, hardened: a transfer time-out (the time allowed
// without any data moving), an overall deadline, a minimum rate, redirects followed only
// within the same site (scheme, host and port) and at most kMaximumRedirects times, a cap on
// the body's size that is checked before data is copied (the reply's own buffer is bounded
// too), no cached or compressed data. A body counts only when it ends as announced: at its
// Content-Length, or at the closing chunk of a chunked body; a connection closed before
// that is a failure. An answer that is not the file (an error page, a redirect leading
// nowhere or round in a loop) is a failure too.
//
// Reports the final response, each piece of its body, then exactly one of finished() or
// failed(). The connection never deletes itself; whoever started it deletes it (deleteLater
// is safe from inside any of its signals).

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

class UpdateConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaximumRedirects = 5;

    struct Limits {
        int transferTimeoutMs = 10'000;    // no data moving for this long: failure
        int deadlineMs = 0;                // the whole transfer, redirects included; 0: none
        int rateWindowMs = 0;              // with minimumBytesPerWindow: each window of this
        qint64 minimumBytesPerWindow = 0;  // length must bring at least that many bytes
        qint64 maximumBytes = qint64(1) << 20;
    };

    struct Response {
        QUrl url;                          // after any redirects
        qint64 expectedContentLength = -1; // -1 when the server sent no length
    };

    // Starts the request at once. Returns nullptr when the address is not an http or https
    // URL: nothing is sent then. The connection is owned by parent.
    static UpdateConnection* start(QNetworkAccessManager* manager, const QUrl& url, const Limits& limits,
                                   QObject* parent);
    ~UpdateConnection() override;

    // Stops the transfer; no signal follows.
    void cancel();
    QUrl url() const { return m_url; }

Q_SIGNALS:
    void responseReceived(const UpdateConnection::Response& response);
    void dataReceived(const QByteArray& data);
    void finished();
    void failed(const QString& description, const QString& failingUrl);

private:
    UpdateConnection(QNetworkAccessManager* manager, const QUrl& url, const Limits& limits, QObject* parent);
    void send(const QUrl& url);
    void dropReply();
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void onRateWindow();
    // Aborts the transfer and reports description as the failure.
    void failWith(const QString& description);
    void report(const QString& description, const QString& failingUrl);

    QPointer<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    Limits m_limits;
    QTimer* m_deadline = nullptr;
    QTimer* m_rateTimer = nullptr;
    QSet<QUrl> m_visited;
    int m_redirects = 0;
    qint64 m_expectedLength = -1;
    qint64 m_received = 0;
    qint64 m_receivedInWindow = 0;
    bool m_chunked = false;
    bool m_errorPage = false;
    bool m_done = false;
    QString m_failure;   // set when this class aborts the transfer, so the reason is ours
};
