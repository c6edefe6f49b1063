#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests that would otherwise need the network.
// Each path answers with a scripted response; a response can leave out its length, stop
// partway until release(), announce more bytes than it sends (a body cut short), come in
// chunks (with or without the closing chunk), trickle one byte at a time, or never answer
// at all. Every connection is closed after its response.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <utility>

class QTcpServer;
class QTcpSocket;

class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray reason = "OK";
        QList<std::pair<QByteArray, QByteArray>> headers = {};   // sent after the status line
        QByteArray body = {};
        bool sendLength = true;          // a Content-Length header for the body
        qint64 announcedLength = -1;     // announce this length instead; more than the body = cut short
        qint64 holdAfter = -1;           // send this many body bytes, then wait for release()
        bool neverAnswer = false;        // read the request and stay silent
        bool chunked = false;            // chunked transfer encoding (no Content-Length then)
        bool closingChunk = true;        // with chunked: end with the closing chunk
        int trickleMs = 0;               // send the body one byte at a time at this interval
    };

    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;

    // Listens on 127.0.0.1 on a free port; false when that fails.
    bool listen();
    QString baseUrl() const;                       // "http://127.0.0.1:<port>"

    void setResponse(const QByteArray& path, const Response& response);
    static Response redirect(const QByteArray& location, const QByteArray& body = {});

    // Sends the rest of every held response and closes those connections.
    void release();
    QList<QByteArray> requestedPaths() const { return m_requested; }

private:
    struct Held {
        QPointer<QTcpSocket> socket;
        QByteArray rest;
    };
    void onNewConnection();
    void answer(QTcpSocket* socket, const QByteArray& path);

    QTcpServer* m_server;
    QHash<QByteArray, Response> m_responses;
    QList<QByteArray> m_requested;
    QList<Held> m_held;
};
