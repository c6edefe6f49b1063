#include "support/CString256.h"
#include "support/NumericText.h"

#include <QTest>

#include <unicode/timezone.h>

#include <chrono>
#include <climits>
#include <cstring>

namespace {

constexpr std::uint32_t kJan5th2024Noon = 2082844800u + 1704456000u; // GMT, since 1904

void useTimeZone(const char* id)
{
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(id));
}

} // namespace

class TestNumericText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decimal_data()
    {
        QTest::addColumn<int>("type"); // 16, 32: signed; 0: unsigned 32; -64: unsigned 64
        QTest::addColumn<int>("size"); // caller's buffer; 0: a new buffer
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("zero") << 0 << 0 << qint64(0) << QByteArray("0");
        QTest::newRow("uint32 max") << 0 << 0 << qint64(UINT32_MAX) << QByteArray("4294967295");
        QTest::newRow("int32 min") << 32 << 0 << qint64(INT32_MIN) << QByteArray("-2147483648");
        QTest::newRow("int16 min") << 16 << 0 << qint64(-32768) << QByteArray("-32768");
        QTest::newRow("int32 min, 31") << 32 << 31 << qint64(INT32_MIN) << QByteArray("-2147483648");
        QTest::newRow("uint64 max, 31") << -64 << 31 << qint64(-1) << QByteArray("18446744073709551615");
        QTest::newRow("2^31 has no sign") << -64 << 31 << qint64(2147483648LL) << QByteArray("2147483648");
        QTest::newRow("last digits kept") << 32 << 4 << qint64(12345) << QByteArray("345");
        QTest::newRow("sign keeps its room") << 32 << 4 << qint64(-12345) << QByteArray("-45");
        QTest::newRow("no room for a digit") << 32 << 2 << qint64(-5) << QByteArray("");
    }
    void decimal()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(qint64, value);
        QFETCH(QByteArray, expected);
        if (size == 0) {
            const auto text = type == 0 ? itoa(std::uint32_t(value))
                            : type == 16 ? itoa(std::int16_t(value)) : itoa(std::int32_t(value));
            QCOMPARE(QByteArray(text.get()), expected);
            return;
        }
        char buffer[40];
        std::memset(buffer, '#', sizeof buffer);
        if (type == 32)
            itoa(buffer, short(size), std::int32_t(value));
        else
            itoa(buffer, short(size), static_cast<unsigned long long>(value));
        QCOMPARE(QByteArray(buffer), expected);
        QCOMPARE(buffer[size], '#'); // nothing written past the buffer
        if (size == 31) { // the string's numeric assignments use the same conversions
            CString256 s;
            if (type == 32)
                s = std::int32_t(value);
            else
                s = static_cast<unsigned long long>(value);
            QCOMPARE(QByteArray(s.c_str()), expected);
        }
    }

    void reverseAndCodes()
    {
        QByteArray odd("abc"), even("abcd"), one("a");
        reverse(odd.data());
        reverse(even.data());
        reverse(one.data());
        reverse(nullptr);
        QCOMPARE(odd + even + one, QByteArray("cbadcbaa"));

        std::uint32_t code = 0;
        StrToFourCharCode("MooVie", code);
        QCOMPARE(code, 0x4D6F6F56u);
        StrToFourCharCode("VfW ", code);
        QCOMPARE(code, 0x56665720u);
        const char zeroInside[] = {'A', 0, 'B', 'C'}; // exactly four bytes, a zero among them
        StrToFourCharCode(zeroInside, code);
        QCOMPARE(code, 0x41004243u);
        StrToFourCharCode(std::string_view("\xFF\x80"), code); // known length: the rest is zero
        QCOMPARE(code, 0xFF800000u);
    }

    void currentDateTimeAddsZoneOffset()
    {
        using namespace std::chrono;
        useTimeZone("Etc/GMT-3"); // three hours east of Greenwich, no daylight saving
        const auto before = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
        std::uint32_t mac = 0;
        GetCurrentMacLongDateTime(mac);
        const qint64 drift = qint64(mac) - (before + 2082844800LL + 3 * 3600);
        QVERIFY2(drift >= 0 && drift <= 2, qPrintable(QString::number(drift)));
    }

    void dateWithoutTime_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("style");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("German medium") << QByteArray("de_DE.UTF-8") << QByteArray("UTC") << 2 << QByteArray("05.01.2024");
        QTest::newRow("US short") << QByteArray("en_US.UTF-8") << QByteArray("UTC") << 1 << QByteArray("1/5/24");
        QTest::newRow("zone moves the day") << QByteArray("de_DE") << QByteArray("Pacific/Kiritimati") << 2 << QByteArray("06.01.2024");
    }
    void dateWithoutTime()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QByteArray, zone);
        QFETCH(int, style);
        QFETCH(QByteArray, expected);
        qputenv("LC_ALL", locale);
        useTimeZone(zone.constData());
        char out[64] = "untouched";
        const bool made = MakeDateStringNoTime(CFDateFormatterStyle(style), kJan5th2024Noon, out, sizeof out);
        char small[8] = "keep"; // "January 5, 2024" does not fit: nothing is written
        const bool cut = MakeDateStringNoTime(kCFDateFormatterLongStyle, kJan5th2024Noon, small, sizeof small);
        qunsetenv("LC_ALL");
        QVERIFY(made);
        QCOMPARE(QByteArray(out), expected);
        QVERIFY(!cut);
        QCOMPARE(QByteArray(small), QByteArray("keep"));
    }

    void elapsedTime_data()
    {
        QTest::addColumn<quint32>("seconds");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("0 replaces") << 0u << QByteArray("took ") << QByteArray("0 secs");
        QTest::newRow("1") << 1u << QByteArray() << QByteArray("1 sec ");
        QTest::newRow("61 appends") << 61u << QByteArray("took ") << QByteArray("took 1 min 1 sec ");
        QTest::newRow("3600") << 3600u << QByteArray() << QByteArray("1 hr ");
        QTest::newRow("7322") << 7322u << QByteArray() << QByteArray("2 hrs 2 mins 2 secs ");
        QTest::newRow("uint32 max") << 4294967295u << QByteArray() << QByteArray("1193046 hrs 28 mins 15 secs ");
    }
    void elapsedTime()
    {
        QFETCH(quint32, seconds);
        QFETCH(QByteArray, start);
        CString256 message(start.constData());
        ElapsedTimeMessage(seconds, message);
        QTEST(QByteArray(message.c_str()), "expected");
    }
};

QTEST_GUILESS_MAIN(TestNumericText)
#include "tst_numerictext.moc"
