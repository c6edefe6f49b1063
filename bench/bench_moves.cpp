// Moving 19,999 of 20,000 rows in the window's table (the model with its view and
// selection, the window shown) against the same permutation applied to a plain QList of
// the same paths. Also the model alone, without a view, and the window's table until its
// event loop is idle again (the visible rows drawn anew).
//
//   bench_moves [--items 20000] [--runs 5]

#include "app/DirectoryItemsModel.h"
#include "app/MainWindow.h"
#include "app/OrdinelloController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 20000;
    int runs = 5;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--items")
            count = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }
    QTemporaryDir work;
    const QByteArray root = QFile::encodeName(work.path());
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_STATE_HOME", root + "/state");
    const QByteArray folder = root + "/items";
    ::mkdir(folder.constData(), 0755);
    for (int i = 0; i < count; ++i)
        ::close(::open((folder + "/item " + QByteArray::number(i)).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));

    MainWindow window;
    window.resize(800, 600);
    window.show();
    OrdinelloController* controller = window.controller();
    controller->selectDirectoryPath(folder);
    DirectoryItemsModel alone;
    alone.setListing(controller->directoryItems(), controller->model()->listedReferences());
    QCoreApplication::processEvents();

    struct Case {
        const char* what;
        QList<int> rows;
        int before;
    };
    QList<int> adjacent(count - 1), apart;
    std::iota(adjacent.begin(), adjacent.end(), 1);
    for (int i = 0; i < count; ++i) {
        if (i != count / 2)
            apart.append(i);
    }
    const Case cases[] = {{"adjacent rows 1.. to the top", adjacent, 0},
                          {"all but the middle row, to the end", apart, count}};
    for (const Case& c : cases) {
        QList<double> model, plain, bare, drawn;
        for (int run = 0; run < runs; ++run) {
            QStringList list = controller->directoryItems();
            QElapsedTimer clock;
            clock.start();
            // The same result on a plain list: the rows gathered before row `before`.
            QList<bool> moved(count, false);
            for (int row : c.rows)
                moved[row] = true;
            QStringList result;
            result.reserve(count);
            QStringList gathered;
            gathered.reserve(c.rows.size());
            for (int i = 0; i < count; ++i)
                (moved[i] ? gathered : result).append(list.at(i));
            const int before = int(std::count_if(c.rows.begin(), c.rows.end(), [&](int r) { return r < c.before; }));
            result = result.mid(0, c.before - before) + gathered + result.mid(c.before - before);
            plain.append(clock.nsecsElapsed() / 1e6);
            list = {};   // the model's list is its own again, as in the program

            clock.restart();
            alone.moveRows(c.rows, c.before);
            bare.append(clock.nsecsElapsed() / 1e6);

            clock.restart();
            controller->model()->moveRows(c.rows, c.before);
            model.append(clock.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
            drawn.append(clock.nsecsElapsed() / 1e6);
            if (controller->directoryItems() != result || alone.paths() != result) {
                std::fprintf(stderr, "the model's order differs from the plain list's\n");
                return 2;
            }
        }
        std::printf("%d rows, %s\n  window's table %7.2f ms  QList %6.2f ms  ratio %5.2f (limit 2)\n"
                    "  model alone    %7.2f ms  ratio %5.2f;  window's table until drawn %7.2f ms\n",
                    count, c.what, median(model), median(plain), median(model) / median(plain), median(bare),
                    median(bare) / median(plain), median(drawn));
    }
    return 0;
}
