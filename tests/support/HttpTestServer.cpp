#include "HttpTestServer.h"

#include <memory>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray chunk(const QByteArray& data)
{
    return data.isEmpty() ? QByteArray() : QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

} // namespace

HttpTestServer::HttpTestServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

HttpTestServer::~HttpTestServer() = default;

bool HttpTestServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QString HttpTestServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

void HttpTestServer::setResponse(const QByteArray& path, const Response& response)
{
    m_responses.insert(path, response);
}

HttpTestServer::Response HttpTestServer::redirect(const QByteArray& location, const QByteArray& body)
{
    Response r;
    r.status = 302;
    r.reason = "Found";
    r.headers.append({"Location", location});
    r.body = body;
    return r;
}

void HttpTestServer::release()
{
    const QList<Held> held = std::exchange(m_held, {});
    for (const Held& h : held) {
        if (!h.socket)
            continue;
        h.socket->write(h.rest);
        h.socket->disconnectFromHost();
    }
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            // A GET has no body: the request is complete at the blank line after its headers.
            const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
            const QByteArray path = words.size() >= 2 ? words.at(1) : QByteArray("/");
            m_requested.append(path);
            answer(socket, path);
        });
    }
}

void HttpTestServer::answer(QTcpSocket* socket, const QByteArray& path)
{
    Response r = m_responses.value(path);
    if (!m_responses.contains(path)) {
        r.status = 404;
        r.reason = "Not Found";
        r.body = "not here";
    }
    if (r.neverAnswer)
        return;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + r.reason + "\r\n";
    for (const auto& [name, value] : r.headers)
        head += name + ": " + value + "\r\n";
    if (r.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (r.sendLength)
        head += "Content-Length: " + QByteArray::number(r.announcedLength >= 0 ? r.announcedLength : r.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";

    if (r.trickleMs > 0) {
        socket->write(head);
        auto* timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = r.body] {
            if (*sent == body.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(body.mid((*sent)++, 1));
        });
        timer->start(r.trickleMs);
        return;
    }
    const qsizetype split = r.holdAfter >= 0 ? std::min<qsizetype>(r.holdAfter, r.body.size()) : r.body.size();
    QByteArray first = r.body.left(split);
    QByteArray rest = r.body.mid(split);
    if (r.chunked) {
        first = chunk(first);
        rest = chunk(rest) + (r.closingChunk ? QByteArray("0\r\n\r\n") : QByteArray());
    }
    if (r.holdAfter >= 0) {
        socket->write(head + first);
        m_held.append({socket, rest});
        return;
    }
    socket->write(head + first + rest);
    socket->disconnectFromHost();
}
