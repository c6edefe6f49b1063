#include "platform/thumbnails/Thumbnailers.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMimeType>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <dirent.h>
#include <unistd.h>

namespace Thumbnails {

namespace {

// Thumbnailers for large videos or documents can take a while; one that hangs must not
// hold a worker for ever.
constexpr int kStartTimeoutMs = 5000;
constexpr int kRunTimeoutMs = 20000;

// Key-file string escapes: \s \n \t \r \\.
QString unescapeValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out.append(value[i]);
            continue;
        }
        switch (value[++i].unicode()) {
        case 's': out.append(u' '); break;
        case 'n': out.append(u'\n'); break;
        case 't': out.append(u'\t'); break;
        case 'r': out.append(u'\r'); break;
        case '\\': out.append(u'\\'); break;
        default: out.append(u'\\'); out.append(value[i]); break;
        }
    }
    return out;
}

// Exec quoting of desktop entries: blanks separate arguments; inside
// double quotes a backslash escapes " ` $ and \. Empty on unbalanced quotes.
QStringList splitExec(QStringView exec)
{
    QStringList args;
    QString current;
    bool inQuotes = false;
    bool started = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size() && QStringView(u"\"`$\\").contains(exec[i + 1]))
                current.append(exec[++i]);
            else if (c == u'"')
                inQuotes = false;
            else
                current.append(c);
        } else if (c == u' ' || c == u'\t') {
            if (started) {
                args.append(current);
                current.clear();
                started = false;
            }
        } else if (c == u'"') {
            inQuotes = true;
            started = true;
        } else {
            current.append(c);
            started = true;
        }
    }
    if (inQuotes)
        return {};
    if (started)
        args.append(current);
    return args;
}

bool isInstalled(const QString& program)
{
    if (program.startsWith(u'/'))
        return ::access(QFile::encodeName(program).constData(), X_OK) == 0;
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QList<QByteArray> dataFolders()
{
    QList<QByteArray> folders;
    QByteArray home = qgetenv("XDG_DATA_HOME");
    if (!home.startsWith('/')) {
        const QByteArray userHome = qgetenv("HOME");
        home = userHome.startsWith('/') ? userHome + "/.local/share" : QByteArray();
    }
    if (!home.isEmpty())
        folders.append(home);
    QByteArray dirs = qgetenv("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = "/usr/local/share:/usr/share";
    for (const QByteArray& dir : dirs.split(':')) {
        if (dir.startsWith('/'))
            folders.append(dir);
    }
    return folders;
}

QList<Thumbnailer> readRegistry()
{
    QList<Thumbnailer> found;
    QSet<QByteArray> seenNames;
    for (const QByteArray& base : dataFolders()) {
        const QByteArray folder = base + "/thumbnailers";
        DIR* dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        QList<QByteArray> names;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name.endsWith(".thumbnailer") && !name.startsWith('.'))
                names.append(name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        for (const QByteArray& name : std::as_const(names)) {
            if (seenNames.contains(name))
                continue;
            seenNames.insert(name);
            QFile file(QFile::decodeName(folder + '/' + name));
            if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
                continue;
            Thumbnailer thumbnailer;
            if (parseThumbnailer(file.readAll(), &thumbnailer)) {
                thumbnailer.file = file.fileName();
                found.append(thumbnailer);
            }
        }
    }
    return found;
}

QString expandFieldCodes(const QString& arg, const QString& input, const QString& uri, const QString& output, int pixels)
{
    QString out;
    for (qsizetype i = 0; i < arg.size(); ++i) {
        if (arg[i] != u'%' || i + 1 == arg.size()) {
            out.append(arg[i]);
            continue;
        }
        switch (arg[++i].unicode()) {
        case 's': out.append(QString::number(pixels)); break;
        case 'u': out.append(uri); break;
        case 'i': out.append(input); break;
        case 'o': out.append(output); break;
        case '%': out.append(u'%'); break;
        default: break;   // codes thumbnailers do not use expand to nothing
        }
    }
    return out;
}

} // namespace

bool parseThumbnailer(const QByteArray& text, Thumbnailer* out)
{
    bool inEntry = false;
    QString exec;
    QString tryExec;
    QStringList mimeTypes;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inEntry = line == u"[Thumbnailer Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inEntry || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescapeValue(QStringView(line).mid(equals + 1).trimmed());
        if (key == u"Exec")
            exec = value;
        else if (key == u"TryExec")
            tryExec = value;
        else if (key == u"MimeType")
            mimeTypes = value.split(u';', Qt::SkipEmptyParts);
    }
    const QStringList command = splitExec(exec);
    if (command.isEmpty() || mimeTypes.isEmpty())
        return false;
    if ((!tryExec.isEmpty() && !isInstalled(tryExec)) || !isInstalled(command.first()))
        return false;
    out->command = command;
    out->mimeTypes = mimeTypes;
    return true;
}

const QList<Thumbnailer>& registeredThumbnailers()
{
    static const QList<Thumbnailer> registry = readRegistry();
    return registry;
}

const Thumbnailer* thumbnailerFor(const QMimeType& type)
{
    if (!type.isValid())
        return nullptr;
    const QList<Thumbnailer>& all = registeredThumbnailers();
    // A thumbnailer made for the very type beats one for a type it inherits from
    // (a C source is also plain text).
    for (const Thumbnailer& t : all) {
        if (t.mimeTypes.contains(type.name()))
            return &t;
    }
    for (const Thumbnailer& t : all) {
        for (const QString& name : t.mimeTypes) {
            if (type.inherits(name))
                return &t;
        }
    }
    return nullptr;
}

QImage runThumbnailer(const Thumbnailer& thumbnailer, const QByteArray& path, const QByteArray& uri, int pixels)
{
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/ordinello-thumbnailer-XXXXXX"));
    if (!work.isValid())
        return {};
    // Arguments reach the program as UTF-8; a path whose bytes are not UTF-8 would arrive
    // altered, so the thumbnailer is given a link to it under a plain name instead.
    QString input = QString::fromUtf8(path);
    if (input.toUtf8() != path) {
        QByteArray link = QFile::encodeName(work.path()) + "/input";
        const qsizetype dot = path.lastIndexOf('.');
        const QByteArray suffix = dot > path.lastIndexOf('/') ? path.mid(dot) : QByteArray();
        if (!suffix.isEmpty() && QString::fromUtf8(suffix).toUtf8() == suffix)
            link += suffix;
        if (::symlink(path.constData(), link.constData()) != 0)
            return {};
        input = QFile::decodeName(link);
    }
    const QString output = work.filePath(QStringLiteral("thumbnail.png"));
    const QString uriText = QString::fromLatin1(uri);

    QStringList args;
    for (const QString& arg : thumbnailer.command)
        args.append(expandFieldCodes(arg, input, uriText, output, pixels));

    QProcess process;
    process.setProgram(args.takeFirst());
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(kStartTimeoutMs))
        return {};
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished(kStartTimeoutMs);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};

    QImageReader reader(output);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (!picture.isNull() && (picture.width() > pixels || picture.height() > pixels))
        picture = picture.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return picture;
}

} // namespace Thumbnails
