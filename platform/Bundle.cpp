#include "platform/Bundle.h"

#include "BuildConfig.h"
#include "platform/ProgramSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <climits>
#include <sys/stat.h>
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

namespace {

bool isWebAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
}

} // namespace

QString siteUrl()
{
    QString url = qEnvironmentVariable("ORDINELLO_SITE_URL");
    if (url.isEmpty()) {
        const QString configured = ProgramSettings(QSettings::SystemScope).value(QLatin1String(kSiteUrlKey)).toString().trimmed();
        url = isWebAddress(configured) ? configured : QStringLiteral(ORDINELLO_SITE_URL);
    }
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

QByteArray manualPage(const QStringList& languages)
{
    const QByteArray data = dataFolder();
    if (data.isEmpty())
        return {};
    const auto page = [&data](const QString& language) -> QByteArray {
        // Only plain language tags name a folder: nothing from the environment leads elsewhere.
        for (const QChar c : language) {
            if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_')
                return {};
        }
        const QByteArray path = data + "/help/" + language.toLatin1() + "/index.html";
        struct stat st;
        return !language.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) ? path : QByteArray();
    };
    for (QString language : languages) {
        language.replace(u'-', u'_');
        // "it_IT" first, then "it".
        for (const QString& candidate : {language, language.section(u'_', 0, 0)}) {
            if (const QByteArray found = page(candidate); !found.isEmpty())
                return found;
        }
    }
    return page(QStringLiteral("en"));
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
