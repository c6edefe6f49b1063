#pragma once
// Downloads one file into a folder without harming anything already there. The data goes to
// a hidden temporary file in that folder and takes its final name only once complete and
// flushed to disk. The name is the one the address suggests or, when a file of that name
// exists, a free one made by adding a number before the extension ("ordinello_1.1_amd64-1.deb",
// "ordinello_1.1_amd64-2.deb", …); the final rename refuses to replace, so a name taken meanwhile
// moves on to the next number. A failed or cancelled download removes its temporary file,
// and each download first removes temporary files that earlier downloads left behind when
// the program was killed (only regular files of its own naming and owner that no running
// download holds locked). An empty body, a body that does not end as announced, one whose
// SHA-256 differs from the expected digest, and one without a length when no digest is
// expected (nothing then tells a whole file from one cut short) are failures.
//
// Signals follow a download's life: didReceiveResponse, didCreateDestination once the name
// is decided, didReceiveDataOfLength for each piece, then exactly one of didFinish or
// didFailWithError. didCreateDestination comes again, before didFinish, if the final name
// differs from the one announced. The network side is UpdateConnection's.

#include "update/UpdateConnection.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

class UpdateDownload : public QObject
{
    Q_OBJECT
public:
    // Starts at once. Returns nullptr, with the reason in *why, when the address is not an
    // http or https URL or the folder (made when missing) cannot hold the temporary file.
    // expectedSha256: the 32-byte digest the file must have; empty when none is known.
    static UpdateDownload* start(QNetworkAccessManager* manager, const QUrl& url, const QString& folder,
                                 const UpdateConnection::Limits& limits, const QByteArray& expectedSha256,
                                 QObject* parent, QString* why = nullptr);
    // A download still running is cancelled.
    ~UpdateDownload() override;

    // Stops the transfer and removes the temporary file; no signal follows.
    void cancel();

    // The file's path (lossless text), once decided: where it will appear, or where it is.
    QString destinationPath() const;

Q_SIGNALS:
    void didReceiveResponse(qint64 expectedContentLength);
    void didCreateDestination(const QString& path);
    void didReceiveDataOfLength(qint64 length);
    void didFinish(const QString& path);
    void didFailWithError(const QString& description, const QString& failingUrl);

private:
    UpdateDownload(const QByteArray& folder, int folderFd, int fileFd, const QByteArray& temporaryName,
                   QObject* parent);
    void onResponse(const UpdateConnection::Response& response);
    void onData(const QByteArray& data);
    void onFinished();
    void fail(const QString& description, const QString& failingUrl);
    void removeTemporaryFile();
    QByteArray candidateName(int number) const;
    bool nameIsFree(const QByteArray& name) const;

    QPointer<UpdateConnection> m_connection;
    QUrl m_requestUrl;
    QByteArray m_folder;          // path bytes
    int m_folderFd = -1;
    int m_fileFd = -1;
    QByteArray m_temporaryName;   // empty once renamed or removed
    QString m_suggestedName;
    int m_nameNumber = -1;        // the candidate decided on: 0 is the suggested name itself
    QByteArray m_finalName;
    QByteArray m_expectedSha256;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    qint64 m_written = 0;
    qint64 m_expectedLength = -1;
    bool m_done = false;
};
