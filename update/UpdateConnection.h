#pragma once
// One HTTP GET for the software update, hardened: a transfer time-out (the time allowed
// without any data moving), redirects followed only within the same site (scheme, host and
// port), a cap on the body's size, no cached or compressed data, and a body that ends
// short of its announced length counted as a failure. An answer that is not the file (an
// error page, a redirect leading nowhere) is a failure too.
//
// Reports the final response, each piece of its body, then exactly one of finished() or
// failed(). The connection never deletes itself; whoever started it deletes it (deleteLater
// is safe from inside any of its signals).

#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class UpdateConnection : public QObject
{
    Q_OBJECT
public:
    struct Response {
        QUrl url;                          // after any redirects
        qint64 expectedContentLength = -1; // -1 when the server sent no length
    };

    // Starts the request at once. Returns nullptr when the address is not an http or https
    // URL: nothing is sent then. The connection is owned by parent.
    static UpdateConnection* start(QNetworkAccessManager* manager, const QUrl& url, int timeoutMs,
                                   qint64 maximumBytes, QObject* parent);
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
    UpdateConnection(QNetworkReply* reply, const QUrl& url, qint64 maximumBytes, int timeoutMs,
                     QObject* parent);
    void onMetaDataChanged();
    void onReadyRead();
    void onRedirected(const QUrl& target);
    void onFinished();
    // Aborts the transfer and reports description as the failure.
    void failWith(const QString& description);

    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    qint64 m_maximumBytes;
    int m_timeoutMs;
    qint64 m_expectedLength = -1;
    qint64 m_received = 0;
    bool m_responseSeen = false;
    bool m_done = false;
    QString m_failure;   // set when this class aborts the transfer, so the reason is ours
};
