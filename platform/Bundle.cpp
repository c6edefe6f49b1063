#include "platform/Bundle.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace Bundle {

QString identifier()
{
    return QStringLiteral(ORDINELLO_APP_ID);
}

QString executableName()
{
    return QStringLiteral("ordinello");
}

QString shortVersionString()
{
    return QStringLiteral(ORDINELLO_VERSION_STRING);
}

QString signature()
{
    return QStringLiteral("Ordi");
}

QString siteUrl()
{
    const QString overridden = qEnvironmentVariable("ORDINELLO_SITE_URL");
    QString url = overridden.isEmpty() ? QStringLiteral(ORDINELLO_SITE_URL) : overridden;
    while (url.endsWith(u'/'))
        url.chop(1);
    return url;
}

QByteArray installationPrefix()
{
    // The executable's path as bytes: a prefix that is not UTF-8 must survive.
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || size_t(n) >= sizeof buffer)
        return {};
    QByteArray path(buffer, n);
    for (int up = 0; up < 2; ++up) {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            return {};
        path.truncate(slash);
    }
    return path.isEmpty() ? QByteArray("/") : path;
}

QByteArray dataFolder()
{
    const QByteArray prefix = installationPrefix();
    if (prefix.isEmpty())
        return {};
    return (prefix == "/" ? QByteArray() : prefix) + '/' + ORDINELLO_DATA_SUBDIR;
}

QString libraryFolder()
{
    // ORDINELLO_LIBRARY_DIR lets tests point at a folder of their choosing.
    const QString overridden = qEnvironmentVariable("ORDINELLO_LIBRARY_DIR");
    if (!overridden.isEmpty())
        return overridden;
    QString binDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                   : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    for (const char* sub : {ORDINELLO_BUILD_LIBRARY_SUBDIR, ORDINELLO_LIBRARY_SUBDIR}) {
        const QString candidate = QDir::cleanPath(binDir + u'/' + QLatin1String(sub));
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

} // namespace Bundle
