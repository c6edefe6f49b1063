#include "platform/ProgramSettings.h"

#include <QDir>
#include <QFile>

namespace {

const QString kName = QStringLiteral("Ordinello");

} // namespace

QString SystemSettingsFileName()
{
    // Qt 6.4 places the system scope in its configured folder and ignores XDG_CONFIG_DIRS;
    // the freedesktop rule is the first listed folder, relative entries ignored.
    QString folder = QStringLiteral("/etc/xdg");
    const QStringList dirs = QFile::decodeName(qgetenv("XDG_CONFIG_DIRS")).split(u':', Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        if (QDir::isAbsolutePath(dir)) {
            folder = dir;
            break;
        }
    }
    return QDir::cleanPath(folder) + u'/' + kName + u'/' + kName + QStringLiteral(".conf");
}

QSettings ProgramSettings(QSettings::Scope scope)
{
    if (scope == QSettings::SystemScope)
        return QSettings(SystemSettingsFileName(), QSettings::IniFormat);
    return QSettings(QSettings::UserScope, kName, kName);
}
