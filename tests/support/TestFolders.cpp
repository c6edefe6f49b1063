#include "TestFolders.h"

#include "renaming/DirectoryItems.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <ftw.h>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace TestFolders {

void touch(const QByteArray& dir, const QByteArray& name)
{
    writeFile(dir + '/' + name, {});
}

void makeFiles(const QByteArray& dir, const QList<QByteArray>& names)
{
    for (const QByteArray& name : names)
        touch(dir, name);
}

void makeFolder(const QByteArray& dir, const QByteArray& name)
{
    const QByteArray full = dir + '/' + name;
    QVERIFY2(::mkdir(full.constData(), 0755) == 0, full.constData());
}

void writeFile(const QByteArray& path, const QByteArray& contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, contents.constData(), size_t(contents.size())), ssize_t(contents.size()));
    ::close(fd);
}

QByteArray readFile(const QByteArray& path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    return file.readAll();
}

QList<QByteArray> entries(const QByteArray& dir)
{
    QList<QByteArray> names;
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

FSRef refTo(const QByteArray& path)
{
    FSRef ref;
    [&] { QVERIFY2(FSPathMakeRef(path, &ref) == noErr, path.constData()); }();
    return ref;
}

QList<FSRef> listed(const QByteArray& dir)
{
    QList<FSRef> items;
    [&] { QVERIFY2(ListDirectoryItemRefs(refTo(dir), &items) == noErr, dir.constData()); }();
    return items;
}

RenameReport journaledRun(const QByteArray& dir, RunKind kind, int stopAt, RunControl how)
{
    QString problem;
    const auto lock = FolderRunLock::acquireForRun(refTo(dir), &problem);
    if (!lock) {
        RenameReport refused;
        refused.journalProblem = problem;
        return refused;
    }
    QList<FSRef> items = listed(dir);
    RenameJournal journal(refTo(dir), kind);
    RenameRun run;
    run.journal = &journal;
    run.progress = [&](qsizetype done, qsizetype) { return done == stopAt ? how : RunControl::Continue; };
    return kind == RunKind::Numbering ? NumberItems(items, NumberingSettings{1, 1, 1}, run) : RemoveNumberPrefixes(items, PrefixRule::AnyFirstWord, run);
}

QByteArray attribute(const QByteArray& path, const char* name)
{
    QByteArray value(65536, '\0');
    const ssize_t n = ::lgetxattr(path.constData(), name, value.data(), size_t(value.size()));
    return n < 0 ? QByteArray() : value.first(n);
}

void setModificationTime(const QByteArray& path, time_t seconds)
{
    const timeval times[2] = {{seconds, 0}, {seconds, 0}};
    QVERIFY2(::utimes(path.constData(), times) == 0, path.constData());
}

std::array<unsigned char, 256> pascal(const QByteArray& bytes)
{
    std::array<unsigned char, 256> result{};
    result[0] = std::uint8_t(std::min<qsizetype>(bytes.size(), 255));
    std::memcpy(result.data() + 1, bytes.constData(), result[0]);
    return result;
}

QByteArray pascalText(const unsigned char* field)
{
    return QByteArray(reinterpret_cast<const char*>(field + 1), field[0]);
}

CliResult runCli(const QStringList& args, const QByteArray& input, const QString& workingFolder)
{
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(qEnvironmentVariable("ORDINELLO_BIN_DIR") + QStringLiteral("/ordinello-cli"), args);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QString libraryFolderOfThisBuild()
{
    const QByteArray bin = qgetenv("ORDINELLO_BIN_DIR");
    const QString base = bin.isEmpty() ? QCoreApplication::applicationDirPath() : QFile::decodeName(bin);
    return QDir::cleanPath(base + QStringLiteral("/../lib/ordinello"));
}

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    ::remove(path);
    return 0;
}

// Folders handed out by path(): QTemporaryDir removes through Qt's file names and leaves
// behind whatever holds a name that is not UTF-8, so what is left goes at exit, by bytes.
QList<QByteArray>& handedOut()
{
    static QList<QByteArray> folders;
    static const bool registered = [] {
        std::atexit([] {
            for (const QByteArray& folder : std::as_const(handedOut()))
                ::nftw(folder.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
        });
        return true;
    }();
    Q_UNUSED(registered);
    return folders;
}

} // namespace

QByteArray path(const QTemporaryDir& dir)
{
    const QByteArray bytes = QFile::encodeName(dir.path());
    if (!handedOut().contains(bytes))
        handedOut().append(bytes);
    return bytes;
}

QByteArray temporaryFolder()
{
    QByteArray name = QFile::encodeName(QDir::tempPath()) + "/ordinello-test-XXXXXX";
    [&] { QVERIFY2(::mkdtemp(name.data()), name.constData()); }();
    handedOut().append(name);
    return name;
}

QByteArray folderWith(const QList<QByteArray>& names)
{
    const QByteArray dir = temporaryFolder();
    makeFiles(dir, names);
    return dir;
}

void isolateUserFolders()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir home;
    const QByteArray base = QFile::encodeName(home.path());
    qputenv("HOME", base);
    qputenv("XDG_CONFIG_HOME", base + "/config");
    qputenv("XDG_CACHE_HOME", base + "/cache");
    qputenv("XDG_DATA_HOME", base + "/data");
    qputenv("XDG_STATE_HOME", base + "/state");
    QDir().mkpath(home.path() + QStringLiteral("/config"));
}

QByteArray installRecorderApplication(const QList<QByteArray>& types)
{
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray record = data + "/recorded-opens";
    QDir().mkpath(QFile::decodeName(data + "/applications"));
    QDir().mkpath(QFile::decodeName(config));
    writeFile(data + "/applications/ordinello-test-recorder.desktop",
              "[Desktop Entry]\nType=Application\nName=Recorder\nExec=/bin/sh -c 'printf \"%%s\\\\n\" \"$1\" >> "
                  + record + "' recorder %u\nMimeType=" + types.join(';') + ";\n");
    QByteArray defaults = "[Default Applications]\n";
    for (const QByteArray& type : types)
        defaults += type + "=ordinello-test-recorder.desktop\n";
    writeFile(config + "/mimeapps.list", defaults);
    return record;
}

QList<QByteArray> recordedOpens(const QByteArray& recordFile)
{
    QList<QByteArray> opens = readFile(recordFile).split('\n');
    opens.removeAll(QByteArray());
    return opens;
}

AsUnprivilegedUser::AsUnprivilegedUser()
    : m_wasRoot(::geteuid() == 0)
{
    if (!m_wasRoot)
        return;
    // The file-system user id is the thread's own; giving it up also drops root's
    // permission overrides until it is taken back.
    constexpr uid_t kNobody = 65534;
    ::setfsuid(kNobody);
    m_dropped = ::setfsuid(uid_t(-1)) == int(kNobody);
}

AsUnprivilegedUser::~AsUnprivilegedUser()
{
    if (m_wasRoot)
        ::setfsuid(0);
}

} // namespace TestFolders
