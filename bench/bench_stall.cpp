// The window's event loop during a numbering run and during its undo: a 5 ms timer ticks
// on the GUI thread while the run goes on in the background; the longest gap between two
// ticks is the longest the window stopped answering input. Also times the runs against
// ordinello-cli rename and undo on the same folder, in turn, round after round, and gives
// the medians and their ratios (the window's time includes listing the folder again).
//
//   bench_stall [--items 100000] [--dir BASE] [--rounds 3] [--cli BUILD/bin/ordinello-cli]

#include "app/MainWindow.h"
#include "app/OrdinelloController.h"
#include "renaming/Preferences.h"

#include <QApplication>
#include <QProcess>
#include <QDir>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Stall {
    double longestMs = 0;
    double runMs = 0;
};

template <typename Start>
Stall measure(OrdinelloController* controller, Start start)
{
    QEventLoop loop;
    QObject::connect(controller, &OrdinelloController::runFinished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    Stall stall;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        stall.longestMs = std::max(stall.longestMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    clock.start();
    sinceTick.start();
    tick.start();
    start();
    loop.exec();
    stall.runMs = clock.nsecsElapsed() / 1e6;
    // The handler of the signal (reload, report, undo text) ran on the GUI thread before
    // the wait returned: the next tick shows how long it took.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 60)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return stall;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 100000;
    int rounds = 3;
    QString base = QDir::tempPath();
    QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/ordinello-cli");
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--items")
            count = args[i + 1].toInt();
        else if (args[i] == u"--dir")
            base = args[i + 1];
        else if (args[i] == u"--rounds")
            rounds = args[i + 1].toInt();
        else if (args[i] == u"--cli")
            cli = args[i + 1];
    }
    QTemporaryDir work(base + QStringLiteral("/bench_stall-XXXXXX"));
    const QByteArray root = QFile::encodeName(work.path());
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_STATE_HOME", root + "/state");
    QStandardPaths::setTestModeEnabled(true);
    SetConfirmRenaming(false);
    const QByteArray folder = root + "/items";
    ::mkdir(folder.constData(), 0755);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = folder + "/holiday photo " + QByteArray::number(i) + ".jpg";
        ::close(::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }

    MainWindow window;
    window.show();
    OrdinelloController* controller = window.controller();
    controller->selectDirectoryPath(folder);
    QList<double> windowNumbering, windowUndo, cliNumbering, cliUndo;
    double longest = 0;
    auto cliRun = [&](const char* command) {
        QElapsedTimer clock;
        clock.start();
        QProcess::execute(cli, {QString::fromLatin1(command), QFile::decodeName(folder)});
        return clock.nsecsElapsed() / 1e6;
    };
    for (int round = 0; round < rounds; ++round) {
        const Stall numbering = measure(controller, [&] { controller->renameItems(); });
        const Stall undo = measure(controller, [&] { controller->undoLastRun(); });
        windowNumbering << numbering.runMs;
        windowUndo << undo.runMs;
        longest = std::max({longest, numbering.longestMs, undo.longestMs});
        if (!cli.isEmpty()) {
            cliNumbering << cliRun("rename");
            cliUndo << cliRun("undo");
        }
    }
    auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values.isEmpty() ? 0.0 : values[values.size() / 2];
    };
    std::printf("%d items, %d rounds  window: numbering %.0f ms, undo %.0f ms; longest event-loop stall %.1f ms"
                " (limit 100 ms: %s)\n",
                count, rounds, median(windowNumbering), median(windowUndo), longest, longest <= 100 ? "met" : "MISSED");
    if (!cli.isEmpty())
        std::printf("  ordinello-cli: rename %.0f ms, undo %.0f ms;  window / cli: numbering %.2f, undo %.2f\n",
                    median(cliNumbering), median(cliUndo), median(windowNumbering) / median(cliNumbering),
                    median(windowUndo) / median(cliUndo));
    return 0;
}
