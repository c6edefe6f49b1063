#include "update/UpdateConnection.h"

#include "support/LocalizedStrings.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// What the reply may hold unread: Qt stops reading from the socket when it is full, so a
// server streaming without end cannot fill the memory while the receiver is busy.
constexpr qint64 kReadBufferBytes = 256 * 1024;

bool isFetchable(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == u"http" || scheme == u"https");
}

int defaultPort(const QUrl& url)
{
    return url.port(url.scheme().compare(u"https", Qt::CaseInsensitive) == 0 ? 443 : 80);
}

// A redirect may only move within the site the request went to: a mirror that sends the
// update elsewhere, or a tampered answer, must not make us fetch from a host we never chose.
bool sameSite(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
        && a.host().compare(b.host(), Qt::CaseInsensitive) == 0
        && defaultPort(a) == defaultPort(b);
}

QUrl normalized(const QUrl& url)
{
    return url.adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment);
}

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

} // namespace

UpdateConnection* UpdateConnection::start(QNetworkAccessManager* manager, const QUrl& url, const Limits& limits,
                                          QObject* parent)
{
    if (!manager || !isFetchable(url))
        return nullptr;
    return new UpdateConnection(manager, url, limits, parent);
}

UpdateConnection::UpdateConnection(QNetworkAccessManager* manager, const QUrl& url, const Limits& limits,
                                   QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_url(url)
    , m_limits(limits)
{
    if (m_limits.deadlineMs > 0) {
        m_deadline = new QTimer(this);
        m_deadline->setSingleShot(true);
        connect(m_deadline, &QTimer::timeout, this, [this] {
            failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server did not send the file within %1 seconds."))
                         .arg(seconds(m_limits.deadlineMs)));
        });
        m_deadline->start(m_limits.deadlineMs);
    }
    if (m_limits.rateWindowMs > 0 && m_limits.minimumBytesPerWindow > 0) {
        m_rateTimer = new QTimer(this);
        connect(m_rateTimer, &QTimer::timeout, this, &UpdateConnection::onRateWindow);
        m_rateTimer->start(m_limits.rateWindowMs);
    }
    m_visited.insert(normalized(url));
    send(url);
}

UpdateConnection::~UpdateConnection()
{
    cancel();
}

void UpdateConnection::send(const QUrl& url)
{
    QNetworkRequest request(url);
    // Redirects are followed here, one request per hop, so that each hop's length and body
    // stand on their own and a loop is seen as one.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_limits.transferTimeoutMs);
    // Always the published file itself, never a copy from a cache on the way.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    // Qt decompresses a compressed body silently, and then the announced length (of the
    // compressed bytes) no longer measures the body: progress and the check for a body cut
    // short both need the bytes as sent.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = m_manager->get(request);
    reply->setReadBufferSize(kReadBufferBytes);
    m_reply = reply;
    m_expectedLength = -1;
    m_received = 0;
    m_chunked = false;
    m_errorPage = false;
    connect(reply, &QNetworkReply::metaDataChanged, this, &UpdateConnection::onMetaDataChanged);
    connect(reply, &QNetworkReply::readyRead, this, &UpdateConnection::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &UpdateConnection::onFinished);
}

// Lets go of the current reply; its abort and deletion wait for the event loop, since Qt,
// aborted from inside its own signals, goes on and reports a second error.
void UpdateConnection::dropReply()
{
    QNetworkReply* reply = m_reply.data();
    m_reply = nullptr;
    if (!reply)
        return;
    reply->disconnect(this);
    QTimer::singleShot(0, reply, [reply] {
        reply->abort();
        reply->deleteLater();
    });
}

void UpdateConnection::cancel()
{
    m_done = true;
    if (m_deadline)
        m_deadline->stop();
    if (m_rateTimer)
        m_rateTimer->stop();
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void UpdateConnection::onMetaDataChanged()
{
    if (m_done || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400 && m_reply->hasRawHeader("Location")) {
        const QUrl target = m_url.resolved(QUrl::fromEncoded(m_reply->rawHeader("Location")));
        if (!isFetchable(target) || !sameSite(m_url, target)) {
            m_url = target;
            failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent the request on to another site, which is not followed.")));
        } else if (m_visited.contains(normalized(target))) {
            m_url = target;
            failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent the request round in a loop.")));
        } else if (++m_redirects > kMaximumRedirects) {
            m_url = target;
            failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent the request on more than %1 times.")).arg(kMaximumRedirects));
        } else {
            dropReply();
            m_url = target;
            m_visited.insert(normalized(target));
            send(target);
        }
        return;
    }
    if (status >= 300) {
        // An error page (or a redirect that leads nowhere) must never pass for the file.
        const QString reason = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server answered %1."))
                     .arg(QStringLiteral("%1 %2").arg(status).arg(reason).trimmed()));
        return;
    }
    m_url = m_reply->url();
    m_received = 0;
    // HTTP/2 marks the end of every body itself; HTTP/1.1 does so by a length or chunks.
    m_chunked = m_reply->rawHeader("Transfer-Encoding").toLower().contains("chunked")
        || m_reply->attribute(QNetworkRequest::Http2WasUsedAttribute).toBool();
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_expectedLength = length.isValid() ? length.toLongLong() : -1;
    if (m_expectedLength > m_limits.maximumBytes) {
        failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The file is larger than the %1 bytes accepted.")).arg(QLocale().toString(m_limits.maximumBytes)));
        return;
    }
    Q_EMIT responseReceived({m_url, m_expectedLength});
}

void UpdateConnection::onReadyRead()
{
    while (!m_done && m_reply) {
        // Counted before anything is copied: a server that sends no length, or more than it
        // announced, is stopped at the cap.
        const qint64 available = m_reply->bytesAvailable();
        if (available <= 0)
            return;
        if (available > m_limits.maximumBytes - m_received) {
            failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The file is larger than the %1 bytes accepted.")).arg(QLocale().toString(m_limits.maximumBytes)));
            return;
        }
        const QByteArray data = m_reply->read(available);
        if (data.isEmpty())
            return;
        m_received += data.size();
        m_receivedInWindow += data.size();
        Q_EMIT dataReceived(data);
    }
}

void UpdateConnection::onRateWindow()
{
    if (m_done)
        return;
    if (m_receivedInWindow < m_limits.minimumBytesPerWindow) {
        failWith(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent fewer than %1 bytes in %2 seconds."))
                     .arg(QLocale().toString(m_limits.minimumBytesPerWindow))
                     .arg(seconds(m_limits.rateWindowMs)));
        return;
    }
    m_receivedInWindow = 0;
}

void UpdateConnection::failWith(const QString& description)
{
    if (m_done)
        return;
    dropReply();
    report(description, m_url.toDisplayString());
}

void UpdateConnection::report(const QString& description, const QString& failingUrl)
{
    m_done = true;
    if (m_deadline)
        m_deadline->stop();
    if (m_rateTimer)
        m_rateTimer->stop();
    Q_EMIT failed(description, failingUrl);
}

void UpdateConnection::onFinished()
{
    QNetworkReply* reply = m_reply.data();
    if (m_done || !reply)
        return;
    onReadyRead();   // whatever is still buffered
    if (m_done)
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    // The address as shown to people: without a password, should the site address carry one.
    const QString failingUrl = reply->url().toDisplayString();
    const QNetworkReply::NetworkError error = reply->error();
    const bool closed = error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError;
    const bool whole = m_expectedLength >= 0 ? m_received == m_expectedLength : m_chunked;

    if (m_expectedLength >= 0 && m_received < m_expectedLength && closed) {
        // Qt's own words for this are "Connection closed"; say what went wrong instead.
        report(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent %1 of the %2 bytes it announced.")).arg(QLocale().toString(m_received), QLocale().toString(m_expectedLength)),
               failingUrl);
    } else if ((!whole && closed) || (whole && error == QNetworkReply::RemoteHostClosedError && m_chunked)) {
        // Without a length or chunks, a closed connection is all that marks the end, and a
        // body cut short looks the same.
        report(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server closed the connection before the end of the file was marked.")), failingUrl);
    } else if (error == QNetworkReply::OperationCanceledError) {
        // Only the transfer time-out cancels a reply that this class did not abort itself.
        report(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server did not answer within %1 seconds.")).arg(seconds(m_limits.transferTimeoutMs)),
               failingUrl);
    } else if (error != QNetworkReply::NoError && !(whole && closed)) {
        report(reply->errorString(), failingUrl);
    } else {
        m_done = true;
        if (m_deadline)
            m_deadline->stop();
        if (m_rateTimer)
            m_rateTimer->stop();
        Q_EMIT finished();
    }
}
