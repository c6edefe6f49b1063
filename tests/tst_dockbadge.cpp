// Progress badges: wedge angles read back from the pixels, the icon beneath, and the
// launcher-entry signal seen on a private session bus (ctest runs this under dbus-run-session).

#include "media/DockBadge.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVariantMap>
#include <QWindow>

#include <cmath>

namespace {

constexpr int kDisc = 64;    // 0.25 black
constexpr int kWedge = 140;  // 0.4 black over the disc: 0.4 + 0.25 * 0.6

// The alpha at `clock` degrees clockwise from twelve o'clock, 40 pixels from the centre.
int alphaAt(const QImage& image, double clock)
{
    const double radians = clock * M_PI / 180;
    const int x = int(std::lround(63.5 + 40 * std::sin(radians)));
    const int y = int(std::lround(63.5 - 40 * std::cos(radians)));
    return qAlpha(image.pixel(x, y));
}

} // namespace

class LauncherListener : public QObject {
    Q_OBJECT
public:
    QList<QPair<QString, QVariantMap>> updates;
public Q_SLOTS:
    void update(const QString& app, const QVariantMap& properties)
    {
        updates.append({app, properties});
        Q_EMIT received();
    }
Q_SIGNALS:
    void received();
};

class TestDockBadge : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Without the icon the badge is the discs alone, so alpha tells disc from wedge.
        SetApplicationIconSourceForTesting(QStringLiteral(":/no/such/icon.svg"));
    }

    void wedgeAngles_data()
    {
        QTest::addColumn<double>("percentage");   // < 0: use done of total instead
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("angle");
        QTest::addColumn<QList<double>>("inside");
        QTest::addColumn<QList<double>>("outside");
        QTest::newRow("0 %") << 0.0 << 0 << 0 << 0 << QList<double>{} << QList<double>{5, 90, 180, 355};
        QTest::newRow("33.3 % is 119 degrees") << 33.3 << 0 << 0 << 119 << QList<double>{10, 60, 115} << QList<double>{123, 180, 300};
        QTest::newRow("50 %: the right half") << 50.0 << 0 << 0 << 180 << QList<double>{6, 90, 174} << QList<double>{186, 270, 354};
        QTest::newRow("100 %") << 100.0 << 0 << 0 << 360 << QList<double>{10, 90, 180, 270, 350} << QList<double>{};
        QTest::newRow("1 of 3 is 120 degrees") << -1.0 << 1 << 3 << 120 << QList<double>{10, 116} << QList<double>{124, 240};
        QTest::newRow("2 of 3 is 240 degrees") << -1.0 << 2 << 3 << 240 << QList<double>{10, 236} << QList<double>{244, 300};
        QTest::newRow("total 0 draws no wedge") << -1.0 << 1 << 0 << 0 << QList<double>{} << QList<double>{5, 90, 270};
        QTest::newRow("negative total draws no wedge") << -1.0 << 1 << -3 << 0 << QList<double>{} << QList<double>{5, 90, 270};
        QTest::newRow("not a number draws no wedge") << qQNaN() << 0 << 0 << 0 << QList<double>{} << QList<double>{5, 90, 270};
    }
    void wedgeAngles()
    {
        QFETCH(double, percentage);
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(int, angle);
        QFETCH(QList<double>, inside);
        QFETCH(QList<double>, outside);
        if (percentage >= 0 || qIsNaN(percentage))
            DrawAddProgressBadge(float(percentage));
        else
            DrawExportProgressBadge(done, total);
        const QImage tile = CurrentDockTileImage();
        QCOMPARE(tile.size(), QSize(127, 127));
        // The truncated angle exactly: one degree more draws another picture.
        QCOMPARE(tile, DrawProgressBadgeImage(angle));
        if (angle < 360)
            QVERIFY(tile != DrawProgressBadgeImage(angle + 1));
        QCOMPARE(qAlpha(tile.pixel(1, 1)), 0);   // outside the disc: cleared
        for (double clock : inside)
            QVERIFY2(std::abs(alphaAt(tile, clock) - kWedge) <= 3, qPrintable(QString::number(clock)));
        for (double clock : outside)
            QVERIFY2(std::abs(alphaAt(tile, clock) - kDisc) <= 3, qPrintable(QString::number(clock)));
        QCOMPARE(qRed(tile.pixel(63, 63)) + qGreen(tile.pixel(63, 63)) + qBlue(tile.pixel(63, 63)), 0);
    }

    void negativeArcRunsCounterClockwise()
    {
        QImage image(127, 127, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        paintArc(painter, QRectF(0, 0, 127, 127), 0, -90);   // twelve to nine o'clock
        painter.end();
        QCOMPARE(alphaAt(image, 315), 255);
        QCOMPARE(alphaAt(image, 45), 0);
        QCOMPARE(alphaAt(image, 225), 0);
    }

    void iconUnderTheDiscs()
    {
        SetApplicationIconSourceForTesting(QString());
        const QImage icon = ApplicationIconForBadge();
        QVERIFY(!icon.isNull());
        const QImage badge = DrawProgressBadgeImage(0);
        SetApplicationIconSourceForTesting(QStringLiteral(":/no/such/icon.svg"));
        const QImage bare = DrawProgressBadgeImage(0);
        // Wherever the icon has colour, the badge shows it darkened, not the bare disc.
        int iconPixels = 0;
        for (int y = 10; y < 117; y += 7) {
            for (int x = 10; x < 117; x += 7) {
                if (qAlpha(icon.pixel(x, y)) == 255 && qAlpha(bare.pixel(x, y)) > 0) {
                    ++iconPixels;
                    QVERIFY(badge.pixel(x, y) != bare.pixel(x, y));
                }
            }
        }
        QVERIFY(iconPixels > 0);
    }

    void windowIconAndRestore()
    {
        QWindow window;
        window.create();
        DrawAddProgressBadge(50);
        QVERIFY(!window.icon().isNull());
        QCOMPARE(window.icon().pixmap(127, 127).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 CurrentDockTileImage());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("org.ordinello.Ordinello"));
        RestoreApplicationDockTile();
        QVERIFY(CurrentDockTileImage().isNull());
        QCOMPARE(window.icon().cacheKey(), QGuiApplication::windowIcon().cacheKey());
    }

    void launcherEntrySignal()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus: ctest runs this test under dbus-run-session");
        QDBusConnection listenerBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener"));
        QVERIFY(listenerBus.isConnected());
        LauncherListener listener;
        QVERIFY(listenerBus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                    QStringLiteral("Update"), &listener, SLOT(update(QString, QVariantMap))));
        QSignalSpy spy(&listener, &LauncherListener::received);

        DrawExportProgressBadge(1, 4);
        QVERIFY(spy.wait());
        RestoreApplicationDockTile();
        QTRY_COMPARE(listener.updates.size(), 2);

        QCOMPARE(listener.updates[0].first, QStringLiteral("application://org.ordinello.Ordinello.desktop"));
        QCOMPARE(listener.updates[0].second.value(QStringLiteral("progress")).toDouble(), 0.25);
        QCOMPARE(listener.updates[0].second.value(QStringLiteral("progress-visible")).toBool(), true);
        QCOMPARE(listener.updates[1].second.value(QStringLiteral("progress-visible")).toBool(), false);
        QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
    }
};

QTEST_MAIN(TestDockBadge)
#include "tst_dockbadge.moc"
