#include "update/UpdateDownload.h"

#include "platform/Files.h"
#include "platform/NameCodec.h"
#include "support/LocalizedStrings.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room kept in NAME_MAX for the number a taken name receives.
constexpr qsizetype kNumberRoom = 12;
constexpr int kMaximumNameNumber = 9999;

// A name the server's address suggests, if it is one we are willing to put on the user's
// Desktop: no separators or control characters, not hidden, not "." or "..", short enough
// to take a number.
QString acceptableName(const QUrl& url)
{
    const QString name = url.fileName(QUrl::FullyDecoded);
    if (name.isEmpty() || name.startsWith(u'.'))
        return {};
    for (const QChar c : name) {
        if (c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return {};
    }
    if (EncodeFileName(name).size() > NAME_MAX - kNumberRoom)
        return {};
    return name;
}

constexpr char kTemporaryPrefix[] = ".ordinello-download-";
constexpr char kTemporarySuffix[] = ".part";

// ".ordinello-download-<hexadecimal digits>.part", as start() names its files.
bool isTemporaryName(const QByteArray& name)
{
    const qsizetype prefix = qsizetype(sizeof kTemporaryPrefix) - 1;
    const qsizetype suffix = qsizetype(sizeof kTemporarySuffix) - 1;
    if (name.size() <= prefix + suffix || !name.startsWith(kTemporaryPrefix) || !name.endsWith(kTemporarySuffix))
        return false;
    const QByteArray digits = name.mid(prefix, name.size() - prefix - suffix);
    return digits.size() <= 16
        && std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// A download killed before it could clean up leaves its hidden temporary file behind, up to
// the size cap. Removed here: regular files of the program's own naming, owned by this
// user, that no running download holds (each holds its own file locked).
void removeStaleTemporaryFiles(int folderFd)
{
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryName(name))
            continue;
        const int fd = ::openat(folderFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Still the same file under that name: then it is removed while locked.
            struct stat named;
            if (::fstatat(folderFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
                && named.st_dev == st.st_dev && named.st_ino == st.st_ino)
                ::unlinkat(folderFd, name.constData(), 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// what: a text marked for translation where it is written.
QString describe(const char* what, int error)
{
    return LocalizedString(what).arg(DescribeErrno(error));
}

} // namespace

UpdateDownload* UpdateDownload::start(QNetworkAccessManager* manager, const QUrl& url, const QString& folder,
                                      const UpdateConnection::Limits& limits, const QByteArray& expectedSha256,
                                      QObject* parent, QString* why)
{
    auto refuse = [why](const QString& reason) -> UpdateDownload* {
        if (why)
            *why = reason;
        return nullptr;
    };
    if (folder.isEmpty())
        return refuse(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "There is no folder to download to.")));
    // The Desktop may not exist yet on a fresh account; a download there should make it,
    // as the file manager would.
    QDir().mkpath(folder);
    const QByteArray folderBytes = QFile::encodeName(folder);
    const int folderFd = ::open(folderBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return refuse(describe(QT_TRANSLATE_NOOP("LocalizedStrings", "The download folder cannot be opened: %1"), errno));
    removeStaleTemporaryFiles(folderFd);

    // A hidden name of our own with O_EXCL: never an existing file, never shown on the
    // Desktop while incomplete. The mode is 0666 less the umask, as any new file gets.
    QByteArray temporaryName;
    int fileFd = -1;
    for (int attempt = 0; attempt < 100 && fileFd < 0; ++attempt) {
        temporaryName = kTemporaryPrefix + QByteArray::number(QRandomGenerator::global()->generate(), 16)
            + kTemporarySuffix;
        fileFd = ::openat(folderFd, temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fileFd < 0 && errno != EEXIST)
            break;
    }
    // Held for the download's life: the mark that the file is in use.
    if (fileFd >= 0)
        ::flock(fileFd, LOCK_EX | LOCK_NB);
    if (fileFd < 0) {
        const int error = errno;
        ::close(folderFd);
        return refuse(describe(QT_TRANSLATE_NOOP("LocalizedStrings", "The download file cannot be created: %1"), error));
    }

    auto* download = new UpdateDownload(folderBytes, folderFd, fileFd, temporaryName, parent);
    download->m_requestUrl = url;
    download->m_expectedSha256 = expectedSha256;
    download->m_connection = UpdateConnection::start(manager, url, limits, download);
    if (!download->m_connection) {
        delete download;   // removes the temporary file
        return refuse(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The address %1 cannot be downloaded.")).arg(url.toDisplayString()));
    }
    connect(download->m_connection, &UpdateConnection::responseReceived, download, &UpdateDownload::onResponse);
    connect(download->m_connection, &UpdateConnection::dataReceived, download, &UpdateDownload::onData);
    connect(download->m_connection, &UpdateConnection::finished, download, &UpdateDownload::onFinished);
    connect(download->m_connection, &UpdateConnection::failed, download, &UpdateDownload::fail);
    return download;
}

UpdateDownload::UpdateDownload(const QByteArray& folder, int folderFd, int fileFd, const QByteArray& temporaryName,
                               QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_folderFd(folderFd)
    , m_fileFd(fileFd)
    , m_temporaryName(temporaryName)
{
}

UpdateDownload::~UpdateDownload()
{
    cancel();
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

void UpdateDownload::cancel()
{
    m_done = true;
    if (m_connection) {
        m_connection->disconnect(this);
        m_connection->cancel();
    }
    removeTemporaryFile();
}

QString UpdateDownload::destinationPath() const
{
    if (m_finalName.isEmpty())
        return {};
    return DecodeFileName(m_folder + '/' + m_finalName);
}

void UpdateDownload::removeTemporaryFile()
{
    if (m_fileFd >= 0) {
        ::close(m_fileFd);
        m_fileFd = -1;
    }
    if (!m_temporaryName.isEmpty()) {
        ::unlinkat(m_folderFd, m_temporaryName.constData(), 0);
        m_temporaryName.clear();
    }
}

QByteArray UpdateDownload::candidateName(int number) const
{
    const QByteArray name = EncodeFileName(m_suggestedName);
    if (number == 0)
        return name;
    // "ordinello_1.1_amd64.deb" → "ordinello_1.1_amd64-1.deb"; a name without an extension gets "-1" at the end.
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype cut = dot > 0 ? dot : name.size();
    return name.left(cut) + '-' + QByteArray::number(number) + name.mid(cut);
}

bool UpdateDownload::nameIsFree(const QByteArray& name) const
{
    struct stat st;
    return ::fstatat(m_folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

void UpdateDownload::onResponse(const UpdateConnection::Response& response)
{
    if (m_done)
        return;
    m_expectedLength = response.expectedContentLength;
    Q_EMIT didReceiveResponse(response.expectedContentLength);
    if (m_done || m_nameNumber >= 0)
        return;

    // The server's Content-Disposition is not asked: the name comes from the address alone,
    // so a server cannot choose what lands on the user's Desktop.
    m_suggestedName = acceptableName(response.url);
    if (m_suggestedName.isEmpty())
        m_suggestedName = acceptableName(m_requestUrl);
    if (m_suggestedName.isEmpty())
        m_suggestedName = QStringLiteral("download");
    for (int number = 0; number <= kMaximumNameNumber; ++number) {
        if (nameIsFree(candidateName(number))) {
            m_nameNumber = number;
            break;
        }
    }
    if (m_nameNumber < 0) {
        fail(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "There is no free name for %1 in the download folder.")).arg(m_suggestedName),
             response.url.toDisplayString());
        return;
    }
    m_finalName = candidateName(m_nameNumber);
    Q_EMIT didCreateDestination(destinationPath());
}

void UpdateDownload::onData(const QByteArray& data)
{
    if (m_done)
        return;
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fileFd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            fail(describe(QT_TRANSLATE_NOOP("LocalizedStrings", "The downloaded data cannot be written: %1"), error), m_requestUrl.toDisplayString());
            return;
        }
        p += n;
        left -= n;
    }
    m_hash.addData(data);
    m_written += data.size();
    Q_EMIT didReceiveDataOfLength(data.size());
}

void UpdateDownload::onFinished()
{
    if (m_done)
        return;
    const QString failingUrl = m_requestUrl.toDisplayString();
    if (m_nameNumber < 0) {
        fail(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent no file.")), failingUrl);
        return;
    }
    if (m_written == 0) {
        fail(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent an empty file.")), failingUrl);
        return;
    }
    // Qt reports a chunked body whose closing chunk never came as complete: without a length
    // only the published digest can tell a whole image from one cut short.
    if (m_expectedLength < 0 && m_expectedSha256.isEmpty()) {
        fail(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The server sent no length and no checksum is published, so the file cannot be "
                             "known to be whole.")),
             failingUrl);
        return;
    }
    if (!m_expectedSha256.isEmpty() && m_hash.result() != m_expectedSha256) {
        fail(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "The downloaded file does not match the published SHA-256 checksum.")), failingUrl);
        return;
    }
    // The name must never stand for a file whose data is still only in memory.
    if (::fdatasync(m_fileFd) != 0 || ::close(std::exchange(m_fileFd, -1)) != 0) {
        fail(describe(QT_TRANSLATE_NOOP("LocalizedStrings", "The downloaded data cannot be written: %1"), errno), failingUrl);
        return;
    }

    FSRef temporary;
    int error = 0;
    if (FSPathMakeRef(m_folder + '/' + m_temporaryName, &temporary, FinalLink::NotFollowed, &error) != noErr) {
        fail(describe(QT_TRANSLATE_NOOP("LocalizedStrings", "The downloaded file cannot be renamed: %1"), error), failingUrl);
        return;
    }
    const QByteArray announced = m_finalName;
    for (int number = m_nameNumber;; ++number) {
        if (number > kMaximumNameNumber) {
            fail(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "There is no free name for %1 in the download folder.")).arg(m_suggestedName),
                 failingUrl);
            return;
        }
        const QByteArray name = candidateName(number);
        if (FSRenameUnicode(&temporary, DecodeFileName(name), &error) == noErr) {
            m_finalName = name;
            break;
        }
        if (error != EEXIST) {
            fail(describe(QT_TRANSLATE_NOOP("LocalizedStrings", "The downloaded file cannot be renamed: %1"), error), failingUrl);
            return;
        }
    }
    m_temporaryName.clear();
    m_done = true;
    if (m_finalName != announced)
        Q_EMIT didCreateDestination(destinationPath());
    Q_EMIT didFinish(destinationPath());
}

void UpdateDownload::fail(const QString& description, const QString& failingUrl)
{
    if (m_done)
        return;
    m_done = true;
    if (m_connection) {
        m_connection->disconnect(this);
        m_connection->cancel();
    }
    removeTemporaryFile();
    Q_EMIT didFailWithError(description, failingUrl);
}
