#include "update/UpdateConnection.h"

#include "support/LocalizedStrings.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

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

} // namespace

UpdateConnection* UpdateConnection::start(QNetworkAccessManager* manager, const QUrl& url, int timeoutMs,
                                          qint64 maximumBytes, QObject* parent)
{
    if (!manager || !isFetchable(url))
        return nullptr;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setTransferTimeout(timeoutMs);
    // Always the published file itself, never a copy from a cache on the way.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    // Qt decompresses a compressed body silently, and then the announced length (of the
    // compressed bytes) no longer measures the body: progress and the check for a body cut
    // short both need the bytes as sent.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = manager->get(request);
    return new UpdateConnection(reply, url, maximumBytes, timeoutMs, parent);
}

UpdateConnection::UpdateConnection(QNetworkReply* reply, const QUrl& url, qint64 maximumBytes, int timeoutMs,
                                   QObject* parent)
    : QObject(parent)
    , m_reply(reply)
    , m_url(url)
    , m_maximumBytes(maximumBytes)
    , m_timeoutMs(timeoutMs)
{
    connect(reply, &QNetworkReply::metaDataChanged, this, &UpdateConnection::onMetaDataChanged);
    connect(reply, &QNetworkReply::readyRead, this, &UpdateConnection::onReadyRead);
    connect(reply, &QNetworkReply::redirected, this, &UpdateConnection::onRedirected);
    connect(reply, &QNetworkReply::finished, this, &UpdateConnection::onFinished);
}

UpdateConnection::~UpdateConnection()
{
    cancel();
}

void UpdateConnection::cancel()
{
    m_done = true;
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
    // A redirect's own headers are not the answer: redirected() follows, or refuses, it.
    if (status >= 300 && status < 400 && m_reply->hasRawHeader("Location"))
        return;
    if (status >= 300) {
        // An error page (or a redirect that leads nowhere) must never pass for the file.
        // Not aborted: Qt finishes such a status on its own. The body is read and dropped,
        // up to the cap.
        const QString reason = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        m_failure = LocalizedString("The server answered %1.")
                        .arg(QStringLiteral("%1 %2").arg(status).arg(reason).trimmed());
        m_received = 0;
        return;
    }
    m_url = m_reply->url();
    m_received = 0;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_expectedLength = length.isValid() ? length.toLongLong() : -1;
    if (m_expectedLength > m_maximumBytes) {
        failWith(LocalizedString("The file is larger than the %1 bytes accepted.").arg(m_maximumBytes));
        return;
    }
    Q_EMIT responseReceived({m_url, m_expectedLength});
}

void UpdateConnection::onReadyRead()
{
    if (m_done || !m_reply)
        return;
    const QByteArray data = m_reply->readAll();
    if (data.isEmpty())
        return;
    m_received += data.size();
    // A server that sends no length, or more than it announced, is stopped at the cap.
    if (m_received > m_maximumBytes) {
        failWith(LocalizedString("The file is larger than the %1 bytes accepted.").arg(m_maximumBytes));
        return;
    }
    if (m_failure.isEmpty())
        Q_EMIT dataReceived(data);   // otherwise an error page, or data after a refusal
}

void UpdateConnection::onRedirected(const QUrl& target)
{
    if (m_done || !m_reply)
        return;
    if (!sameSite(m_url, target)) {
        failWith(LocalizedString("The server sent the request on to another site, which is not followed."));
        return;
    }
    m_url = target;
    Q_EMIT m_reply->redirectAllowed();
}

void UpdateConnection::failWith(const QString& description)
{
    if (m_done || !m_reply)
        return;
    if (m_failure.isEmpty())
        m_failure = description;
    // From here on nothing more is passed on. The abort waits for the event loop: Qt, aborted
    // from inside its own signals, goes on and reports a second error. abort() emits
    // finished(), which reports the failure.
    QMetaObject::invokeMethod(this, [this] {
        if (m_reply)
            m_reply->abort();
    }, Qt::QueuedConnection);
}

void UpdateConnection::onFinished()
{
    QNetworkReply* reply = m_reply.data();
    if (m_done || !reply)
        return;
    m_done = true;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    // The address as shown to people: without a password, should the site address carry one.
    const QString failingUrl = reply->url().toDisplayString();

    if (!m_failure.isEmpty()) {
        Q_EMIT failed(m_failure, failingUrl);
    } else if (m_expectedLength >= 0 && m_received < m_expectedLength
               && (reply->error() == QNetworkReply::NoError || reply->error() == QNetworkReply::RemoteHostClosedError)) {
        // Qt's own words for this are "Connection closed"; say what went wrong instead.
        Q_EMIT failed(LocalizedString("The server sent %1 of the %2 bytes it announced.")
                          .arg(m_received).arg(m_expectedLength),
                      failingUrl);
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Only the transfer time-out cancels a reply that this class did not abort itself.
        Q_EMIT failed(LocalizedString("The server did not answer within %1 seconds.").arg(m_timeoutMs / 1000.0),
                      failingUrl);
    } else if (reply->error() != QNetworkReply::NoError) {
        Q_EMIT failed(reply->errorString(), failingUrl);
    } else {
        Q_EMIT finished();
    }
}
