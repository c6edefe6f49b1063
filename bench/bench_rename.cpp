// Times `ordinello-cli rename` and `ordinello-cli strip` on folders of many items against
// the least any renamer must do: a plain loop of renameat2 calls over the same names.
//
//   bench_rename [--items 10000,100000] [--runs 5] [--cli PATH] [--dir BASE]
//
// Each run makes a fresh folder of N empty files and flushes it to disk (syncfs) before
// the clock starts, so neither side pays for the other's writeback. Loop and program
// alternate within a run, so a busy machine slows both alike. The program's time is the
// whole process: start-up, listing in the file manager's order, numbering, renaming.
// Reported: the fastest and the median wall-clock time of each, their ratios, and how
// much of the program's time `ordinello-cli list` alone takes on the same folder (start-up,
// listing and sorting; it reads no identities, which renaming must).

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Pair {
    QByteArray from;
    QByteArray to;
};

// The names the program would give with the default preferences (automatic width, first
// number 1, step 1); the loop's order does not matter, only that it does the same work.
QList<Pair> renamePairs(int count)
{
    const int width = int(QByteArray::number(count).size());
    QList<Pair> pairs;
    pairs.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "holiday photo " + QByteArray::number(i) + ".jpg";
        pairs.append({name, QByteArray::number(i + 1).rightJustified(width, '0') + ' ' + name});
    }
    return pairs;
}

QList<Pair> stripPairs(int count)
{
    QList<Pair> pairs = renamePairs(count);
    for (Pair& pair : pairs)
        std::swap(pair.from, pair.to);
    return pairs;
}

void die(const char* what)
{
    std::perror(what);
    std::exit(2);
}

// A fresh folder holding the `from` names, flushed to disk.
QByteArray makeFolder(const QByteArray& base, const QList<Pair>& pairs)
{
    const QByteArray folder = base + "/items";
    if (::mkdir(folder.constData(), 0755) != 0)
        die("mkdir");
    const int dirfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const Pair& pair : pairs) {
        const int fd = ::openat(dirfd, pair.from.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            die("create");
        ::close(fd);
    }
    ::syncfs(dirfd);
    ::close(dirfd);
    return folder;
}

void removeFolder(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        die("opendir");
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::syncfs(::dirfd(dir));
    ::closedir(dir);
    if (::rmdir(folder.constData()) != 0)
        die("rmdir");
}

double timeLoop(const QByteArray& folder, const QList<Pair>& pairs)
{
    const int dirfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto start = Clock::now();
    for (const Pair& pair : pairs) {
        if (::renameat2(dirfd, pair.from.constData(), dirfd, pair.to.constData(), RENAME_NOREPLACE) != 0)
            die("renameat2");
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(dirfd);
    return seconds;
}

double timeProgram(const QByteArray& cli, const char* command, const QByteArray& folder)
{
    const char* argv[] = {cli.constData(), command, folder.constData(), nullptr};
    // Output (the listing's names) is thrown away, as a script's redirect would.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        die("posix_spawn");
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed (status %d)\n", cli.constData(), command, status);
        std::exit(2);
    }
    return seconds;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char* what, int count, const QList<double>& loop, const QList<double>& program, double target,
            const QList<double>& listing)
{
    const double fastestLoop = *std::min_element(loop.begin(), loop.end());
    const double fastestProgram = *std::min_element(program.begin(), program.end());
    const double ratio = fastestProgram / fastestLoop;
    std::printf("%-6s %7d items  loop %8.1f ms (median %8.1f)  ordinello-cli %8.1f ms (median %8.1f)  "
                "ratio %.3f (median %.3f)  target %.2f  %s\n",
                what, count, fastestLoop * 1e3, median(loop) * 1e3, fastestProgram * 1e3, median(program) * 1e3,
                ratio, median(program) / median(loop), target, ratio <= target ? "met" : "MISSED");
    // Where the difference goes: start-up plus listing alone, as `ordinello-cli list`.
    const double fastestListing = *std::min_element(listing.begin(), listing.end());
    std::printf("%-6s %7d items  of which listing (ordinello-cli list) %8.1f ms, the rest %8.1f ms = %.2f x loop\n",
                "", count, fastestListing * 1e3, (fastestProgram - fastestListing) * 1e3,
                (fastestProgram - fastestListing) / fastestLoop);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> counts{10000, 100000};
    int runs = 5;
    QByteArray cli =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/ordinello-cli"));
    QString base = QDir::tempPath();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--items") {
            counts.clear();
            for (const QString& n : args[i + 1].split(u','))
                counts.append(n.toInt());
        } else if (args[i] == u"--runs") {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == u"--cli") {
            cli = QFile::encodeName(args[i + 1]);
        } else if (args[i] == u"--dir") {
            base = args[i + 1];
        }
    }
    if (!QFileInfo(QFile::decodeName(cli)).isExecutable()) {
        std::fprintf(stderr, "no ordinello-cli at %s (use --cli)\n", cli.constData());
        return 2;
    }

    // The program reads its preferences from a private, empty settings folder: the
    // defaults, whatever the person running the benchmark has chosen.
    QTemporaryDir work(base + QStringLiteral("/bench_rename-XXXXXX"));
    const QByteArray root = QFile::encodeName(work.path());
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("LC_ALL", "C.UTF-8");

    for (const int count : std::as_const(counts)) {
        const QList<Pair> renames = renamePairs(count);
        const QList<Pair> strips = stripPairs(count);
        QList<double> renameLoop, renameProgram, stripLoop, stripProgram, renameListing, stripListing;
        for (int run = 0; run < runs; ++run) {
            QByteArray folder = makeFolder(root, renames);
            renameLoop.append(timeLoop(folder, renames));
            removeFolder(folder);
            folder = makeFolder(root, renames);
            renameListing.append(timeProgram(cli, "list", folder));
            renameProgram.append(timeProgram(cli, "rename", folder));
            removeFolder(folder);

            folder = makeFolder(root, strips);
            stripLoop.append(timeLoop(folder, strips));
            removeFolder(folder);
            folder = makeFolder(root, strips);
            stripListing.append(timeProgram(cli, "list", folder));
            stripProgram.append(timeProgram(cli, "strip", folder));
            removeFolder(folder);
        }
        report("rename", count, renameLoop, renameProgram, count >= 100000 ? 1.2 : 1.15, renameListing);
        report("strip", count, stripLoop, stripProgram, 1.2, stripListing);
    }
    return 0;
}
