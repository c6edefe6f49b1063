// The window's event loop during a numbering run and during its undo: a 5 ms timer ticks
// on the GUI thread while the run goes on in the background; the longest gap between two
// ticks is the longest the window stopped answering input. Also times the run.
//
//   bench_stall [--items 100000] [--dir BASE]

#include "app/MainWindow.h"
#include "app/OrdinelloController.h"
#include "renaming/Preferences.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

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
    QString base = QDir::tempPath();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--items")
            count = args[i + 1].toInt();
        else if (args[i] == u"--dir")
            base = args[i + 1];
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
    const Stall numbering = measure(controller, [&] { controller->renameItems(); });
    const Stall undo = measure(controller, [&] { controller->undoLastRun(); });
    std::printf("%d items  numbering %.0f ms, longest event-loop stall %.1f ms  |  undo %.0f ms, longest stall %.1f ms"
                "  (limit 100 ms: %s)\n",
                count, numbering.runMs, numbering.longestMs, undo.runMs, undo.longestMs,
                std::max(numbering.longestMs, undo.longestMs) <= 100 ? "met" : "MISSED");
    return 0;
}
