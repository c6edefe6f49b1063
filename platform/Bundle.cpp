#include "platform/Bundle.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
