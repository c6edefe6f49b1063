// A second window does not open exactly on top of the first: places are handed out
// lowest first, come free when a window goes (also when its program died), and a cascaded
// window stays on the screen.

#include "app/WindowPlacement.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

class TestWindowPlacement : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void placesAreTakenLowestFirstAndComeFree()
    {
        auto first = std::make_unique<WindowPlace>();
        const WindowPlace second;
        QCOMPARE(first->number(), 0);
        QCOMPARE(second.number(), 1);
        first.reset();
        QCOMPARE(WindowPlace().number(), 0);

        // A program that ended without giving its place up does not keep it.
        const pid_t child = ::fork();
        if (child == 0) {
            const WindowPlace held;
            ::_exit(held.number() == 0 ? 0 : 1);   // no destructor: the lock file stays
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(WindowPlace().number(), 0);
    }

    void cascadedWindowsStayOnScreen_data()
    {
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("number");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("first stays") << QPoint(100, 80) << QSize(800, 600) << 0 << QPoint(100, 80);
        QTest::newRow("second lower right") << QPoint(100, 80) << QSize(800, 600) << 1 << QPoint(130, 110);
        QTest::newRow("third further") << QPoint(100, 80) << QSize(800, 600) << 2 << QPoint(160, 140);
        QTest::newRow("at the corner: upper left") << QPoint(1100, 580) << QSize(800, 600) << 1 << QPoint(1070, 550);
        QTest::newRow("larger than the screen") << QPoint(0, 0) << QSize(2500, 1500) << 1 << QPoint(0, 0);
    }
    void cascadedWindowsStayOnScreen()
    {
        QFETCH(QPoint, origin);
        QFETCH(QSize, size);
        QFETCH(int, number);
        QTEST(WindowPlace::cascaded(origin, size, QRect(0, 0, 1920, 1200), number, 30), "expected");
    }
};

QTEST_GUILESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
