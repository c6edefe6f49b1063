#include "support/CString256.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cctype>
#include <clocale>
#include <cstring>
#include <memory>
#include <vector>

namespace {

QByteArray text(const CString256& s)
{
    return QByteArray(s.c_str());
}

CString256 filled(int length)
{
    return CString256(QByteArray(length, 'x').constData());
}

} // namespace

class TestCString256 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void capacityBoundaries_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("added"); // one byte is appended as a char
        QTest::addColumn<int>("expected");
        QTest::newRow("assign 300") << -1 << QByteArray(300, 'y') << 255;
        QTest::newRow("text at 253") << 253 << QByteArray("abc") << 255;
        QTest::newRow("text at 255") << 255 << QByteArray("abc") << 255;
        QTest::newRow("byte at 253") << 253 << QByteArray("z") << 254;
        QTest::newRow("byte at 254") << 254 << QByteArray("z") << 254;
    }
    void capacityBoundaries()
    {
        QFETCH(int, length);
        QFETCH(QByteArray, added);
        QFETCH(int, expected);
        CString256 s = filled(std::max(length, 0));
        if (length < 0)
            s = added.constData();
        else if (added.size() == 1)
            s += added[0];
        else
            s += added.constData();
        QCOMPARE(text(s), (QByteArray(std::max(length, 0), 'x') + added).left(expected));
    }

    void nullAndLengthPrefixedSources()
    {
        CString256 s("keep");
        s += static_cast<const char*>(nullptr);
        QCOMPARE(text(s), QByteArray("keep"));
        s = static_cast<const char*>(nullptr);
        QVERIFY(s.isEmpty());
        const unsigned char empty[] = {0};
        const unsigned char embeddedZero[] = {5, 'a', 'b', 0, 'c', 'd'};
        QVERIFY(CString256(empty).isEmpty());
        QCOMPARE(text(CString256(embeddedZero)), QByteArray("ab"));
    }

    void utf8NeverSplit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("added");
        QTest::addColumn<int>("expected");
        QTest::newRow("2-byte fits at 253") << 253 << QStringLiteral("é") << 255;
        QTest::newRow("2-byte at 254") << 254 << QStringLiteral("é") << 254;
        QTest::newRow("3-byte at 253") << 253 << QStringLiteral("€") << 253;
        QTest::newRow("4-byte at 252") << 252 << QStringLiteral("\U0001F600") << 252;
    }
    void utf8NeverSplit()
    {
        QFETCH(int, length);
        QFETCH(QString, added);
        QFETCH(int, expected);
        CString256 s = filled(length);
        s += added;
        QCOMPARE(s.length(), expected);
        CString256 assigned;
        assigned = QString(length, QLatin1Char('x')) + added;
        QCOMPARE(text(assigned), text(s));
    }

    void platformStringsAndHandles()
    {
        CString256 s;
        s = QStringLiteral("Grüße");
        QCOMPARE(s.MakeCFString(), QStringLiteral("Grüße"));
        s = "caf\xE9"; // Latin-1, not UTF-8
        QVERIFY(s.MakeCFString().isNull());
        s = "";
        QVERIFY(!s.MakeCFString().isNull());

        Handle h = NewHandle(300);
        std::memset(*h, 'h', 300);
        s = h;
        QCOMPARE(s.length(), 255);
        SetHandleSize(h, 1); // no terminator follows the one byte
        s = h;
        QCOMPARE(text(s), QByteArray("h"));
        DisposeHandle(h);
    }

    void filterKeepsPrintableAscii()
    {
        char all[256];
        for (int i = 1; i < 256; ++i)
            all[i - 1] = char(i);
        all[255] = 0;
        CString256 s(all);
        s.filter_to_alnum_or_punct();
        QByteArray printable;
        for (int c = 0x21; c <= 0x7E; ++c)
            printable += char(c);
        QCOMPARE(text(s), printable);
    }

    // The window runs under the user's locale, where the C library's case tables fold
    // differently (Turkish: toupper('i') is 0xDD). Folding must stay ASCII.
    void caseFoldingIgnoresProcessLocale()
    {
        QTemporaryDir locales;
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        if (localedef.isEmpty())
            QSKIP("localedef is not installed");
        QProcess::execute(localedef, {QStringLiteral("-i"), QStringLiteral("tr_TR"), QStringLiteral("-f"),
                                      QStringLiteral("ISO-8859-9"), locales.filePath(QStringLiteral("tr_TR.ISO-8859-9"))});
        qputenv("LOCPATH", locales.path().toLocal8Bit());
        const bool turkish = std::setlocale(LC_ALL, "tr_TR.ISO-8859-9") != nullptr;
        qunsetenv("LOCPATH");
        if (!turkish)
            QSKIP("a Turkish single-byte locale could not be made");
        volatile int lowerI = 'i'; // volatile: the compiler folds toupper of a constant
        const bool armed = toupper(lowerI) == 0xDD;
        CString256 s("FILE\xC9");
        s.to_lower();
        const bool lowered = text(s) == "file\xC9";
        const bool compared = STRNCMP("FILE", "file", 4) == 0 && STRNCMP("\xE9", "\xC9", 1) != 0;
        const bool found = STRSTR("MY FILE", "file") != nullptr;
        s = "\xE9t\xE9";
        s.filter_to_alnum_or_punct();
        const bool filtered = text(s) == "t";
        std::setlocale(LC_ALL, "C");
        QVERIFY(armed);
        QVERIFY(lowered && compared && found && filtered);
    }

    void comparisonsAndSearch()
    {
        const CString256 s("Movie.MOV");
        QVERIFY(s.beginsWith("", false) && s.beginsWith_nocase("MOVIE") && !s.beginsWith("MOVIE", false));
        QVERIFY(s.endsWith_nocase(".mov") && !s.endsWith(".mov", false));
        QVERIFY(!CString256("ab").endsWith("xab", true)); // longer than the text

        QCOMPARE(STRNCMP("a", "b", 0), 0);
        QCOMPARE(STRNCMP("abC", "ABc", 3), 0);
        QCOMPARE(STRNCMP("abc", "ABD", 3), 0x63 - 0x44); // unfolded bytes
        QCOMPARE(STRNCMP("abc", "ab", 3), int('c'));
        QCOMPARE(STRNCMP("\xFF", "a", 1), 0xFF - 'a'); // bytes taken as unsigned

        const char hello[] = "Hello World";
        const char aaab[] = "aaab";
        const auto at = [](const char* p) { return static_cast<const void*>(p); };
        QCOMPARE(at(STRSTR(hello, "WORLD")), at(hello + 6));
        QCOMPARE(at(STRSTR(hello, "")), at(hello));
        QCOMPARE(at(STRSTR("", "a")), nullptr);
        QCOMPARE(at(STRSTR(aaab, "AAB")), at(aaab + 1)); // restarts after a partial match
        QCOMPARE(at(STRSTR("abc", "abcd")), nullptr);
    }

    void changeSuffixAndPrint()
    {
        CString256 s("archive.tar.gz");
        s.change_suffix("zip");
        QCOMPARE(text(s), QByteArray("archive.tar.zip"));
        s.change_suffix(nullptr);
        QCOMPARE(text(s), QByteArray("archive.tar."));

        char small[8] = "12345";
        CString256("abc").print(small, sizeof small); // room for "ab" only
        QCOMPARE(QByteArray(small), QByteArray("12345ab"));

        s = filled(255);
        s[255] = 'y'; // may not remove the terminator
        QCOMPARE(s.length(), 255);
    }

    // Strings made with new come from a shared pool: many alive at once, past one block,
    // and a freed one made again, none overwrites another.
    void pooledStringsKeepTheirText()
    {
        std::vector<std::unique_ptr<CString256>> live;
        const auto textOf = [](int i) { return QByteArray(255, char('a' + i % 26)); };
        for (int i = 0; i < 600; ++i)
            live.push_back(std::make_unique<CString256>(textOf(i).constData()));
        live[7] = std::make_unique<CString256>(textOf(7).constData());
        for (int i = 0; i < 600; ++i)
            QCOMPARE(text(*live[i]), textOf(i));
    }
};

QTEST_GUILESS_MAIN(TestCString256)
#include "tst_cstring256.moc"
