// CFile's getters against the bare system calls they wrap, over 10,000 files: the layer
// (reference checks, date conversion, big-endian codes, text decoding) should cost little
// next to the call itself.
//
//   bench_cfile [--files 10000] [--runs 9] [--dir BASE]
//
// Each file has 10 bytes of content, a Finder information record, a 286-byte resource
// fork and a comment. Getter and system call alternate within each run, so a busy machine
// slows both alike. Reported: the median time per file of each side, and their ratio.

#include "support/CFile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
volatile std::uint64_t gSink;

double nanosecondsPerFile(qsizetype files, const std::function<void()>& body)
{
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / double(files);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Case {
    const char* getter;
    const char* call;
    std::function<void(const FSRef&)> ours;
    std::function<void(const FSRef&)> bare;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 10000;
    int runs = 9;
    QString base;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--files"))
            count = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            base = args[i + 1];
    }
    QTemporaryDir dir(base.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_cfile-XXXXXX")
                                     : base + QStringLiteral("/bench_cfile-XXXXXX"));
    if (!dir.isValid() || count < 1 || runs < 1) {
        std::fprintf(stderr, "cannot make a folder for the files\n");
        return 1;
    }

    QList<FSRef> refs;
    refs.reserve(count);
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray info = QByteArray("JPEG8BIM").append(24, '\0');
    const QByteArray fork(286, 'r');
    const QByteArray comment("Ferie al mare, agosto");
    for (int i = 0; i < count; ++i) {
        const QByteArray path = folder + "/photo " + QByteArray::number(i) + ".jpg";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "0123456789", 10) != 10) {
            std::fprintf(stderr, "cannot write %s\n", path.constData());
            return 1;
        }
        ::close(fd);
        ::lsetxattr(path.constData(), kFinderInfoAttribute, info.constData(), size_t(info.size()), 0);
        ::lsetxattr(path.constData(), kResourceForkAttribute, fork.constData(), size_t(fork.size()), 0);
        ::lsetxattr(path.constData(), kCommentAttribute, comment.constData(), size_t(comment.size()), 0);
        FSRef ref;
        FSPathMakeRef(path, &ref);
        refs.append(ref);
    }

    auto statxOf = [](const FSRef& ref, unsigned mask) {
        struct statx sx;
        ::statx(AT_FDCWD, ref.path.constData(), AT_SYMLINK_NOFOLLOW, mask, &sx);
        return sx;
    };
    auto xattrSize = [](const FSRef& ref, const char* name) {
        char buffer[512];
        return ::lgetxattr(ref.path.constData(), name, buffer, sizeof buffer);
    };
    const QList<Case> cases{
        {"FSGetDataForkSize", "statx", [](const FSRef& r) { std::uint64_t s; CFile::FSGetDataForkSize(r, s); gSink = gSink + s; },
         [&](const FSRef& r) { gSink = gSink + statxOf(r, STATX_SIZE).stx_size; }},
        {"FSGetModDate", "statx", [](const FSRef& r) { UTCDateTime d; CFile::FSGetModDate(r, d); gSink = gSink + d.lowSeconds; },
         [&](const FSRef& r) { gSink = gSink + std::uint64_t(statxOf(r, STATX_MTIME).stx_mtime.tv_sec); }},
        {"IsADirectory", "statx", [](const FSRef& r) { gSink = gSink + CFile::IsADirectory(r); },
         [&](const FSRef& r) { gSink = gSink + S_ISDIR(statxOf(r, STATX_TYPE).stx_mode); }},
        {"FSGetType", "lgetxattr", [](const FSRef& r) { OSType t; CFile::FSGetType(r, t); gSink = gSink + t; },
         [&](const FSRef& r) { gSink = gSink + std::uint64_t(xattrSize(r, kFinderInfoAttribute)); }},
        {"FSGetComment", "lgetxattr", [](const FSRef& r) { gSink = gSink + std::uint64_t(CFile::FSGetComment(r).size()); },
         [&](const FSRef& r) { gSink = gSink + std::uint64_t(xattrSize(r, kCommentAttribute)); }},
        {"FSGetSize", "statx + lgetxattr", [](const FSRef& r) { std::uint64_t s; CFile::FSGetSize(r, s); gSink = gSink + s; },
         [&](const FSRef& r) { gSink = gSink + statxOf(r, STATX_SIZE).stx_size + std::uint64_t(::lgetxattr(r.path.constData(), kResourceForkAttribute, nullptr, 0)); }},
    };

    std::printf("%d files, %d runs; median ns per file (lower is better)\n\n", count, runs);
    std::printf("| %-18s | %-18s | %9s | %9s | %5s |\n", "CFile getter", "system call", "getter", "call", "ratio");
    std::printf("|--------------------|--------------------|-----------|-----------|-------|\n");
    for (const Case& c : cases) {
        QList<double> ours, bare;
        for (const FSRef& ref : std::as_const(refs))   // warm the caches for both sides
            c.ours(ref);
        for (int run = 0; run < runs; ++run) {
            ours.append(nanosecondsPerFile(count, [&] { for (const FSRef& ref : std::as_const(refs)) c.ours(ref); }));
            bare.append(nanosecondsPerFile(count, [&] { for (const FSRef& ref : std::as_const(refs)) c.bare(ref); }));
        }
        const double o = median(ours), b = median(bare);
        std::printf("| %-18s | %-18s | %9.0f | %9.0f | %5.2f |\n", c.getter, c.call, o, b, o / b);
    }
    return 0;
}
