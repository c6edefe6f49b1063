#include "support/CList.h"
#include "support/StringMatching.h"

#include <QTest>

namespace {

using Matcher = void (*)(void*, void*, float*);

// Index: kind * 2 + nocase. Each matcher runs the member of its name.
const Matcher kTextMatchers[] = {
    matcher_case_exact_256,       matcher_nocase_exact_256,
    matcher_case_partial_256,     matcher_nocase_partial_256,
    matcher_case_approximate_256, matcher_nocase_approximate_256,
};
enum Kind { Exact, Partial, Approximate };

CList<CString256> piecesOf(const QByteArrayList& pieces)
{
    CList<CString256> list;
    for (const QByteArray& p : pieces)
        list.append(CString256(p.constData()));
    return list;
}

} // namespace

class TestStringMatching : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textMatch_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("nocase");
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<float>("score");
        QTest::newRow("exact equal") << int(Exact) << false << QByteArray("abc") << QByteArray("abc") << 1.0f;
        QTest::newRow("exact longer pattern") << int(Exact) << false << QByteArray("abc") << QByteArray("abcd") << 0.0f;
        QTest::newRow("exact both empty") << int(Exact) << true << QByteArray() << QByteArray() << 0.0f;
        QTest::newRow("exact nocase") << int(Exact) << true << QByteArray("ABC") << QByteArray("abc") << 1.0f;
        QTest::newRow("exact high bytes exact") << int(Exact) << true << QByteArray("\xC9") << QByteArray("\xE9") << 0.0f;
        QTest::newRow("partial inside") << int(Partial) << false << QByteArray("hello world") << QByteArray("o w") << 1.0f;
        QTest::newRow("partial empty pattern") << int(Partial) << false << QByteArray("hello") << QByteArray() << 0.0f;
        QTest::newRow("partial nocase") << int(Partial) << true << QByteArray("Hello") << QByteArray("LL") << 1.0f;
        QTest::newRow("partial restart") << int(Partial) << true << QByteArray("aaab") << QByteArray("AAB") << 1.0f;
        QTest::newRow("approx in order") << int(Approximate) << false << QByteArray("abcdef") << QByteArray("ace") << float(6.0 / 9.0);
        QTest::newRow("approx greedy") << int(Approximate) << false << QByteArray("abcdef") << QByteArray("eca") << float(2.0 / 9.0);
        QTest::newRow("approx disjoint") << int(Approximate) << false << QByteArray("abcdef") << QByteArray("xyz") << 0.0f;
        QTest::newRow("approx nocase") << int(Approximate) << true << QByteArray("ABC") << QByteArray("abc") << 1.0f;
        QTest::newRow("approx both empty") << int(Approximate) << false << QByteArray() << QByteArray() << 0.0f;
    }
    void textMatch()
    {
        QFETCH(int, kind);
        QFETCH(bool, nocase);
        QFETCH(QByteArray, subject);
        QFETCH(QByteArray, pattern);
        float result = -1;
        CString256(subject.constData()).match(kTextMatchers[kind * 2 + int(nocase)], pattern.data(), &result);
        QTEST(result, "score");
    }

    void textMatchersCutPatternAt255()
    {
        QByteArray pattern(300, 'p');
        CString256 subject(pattern.constData()); // holds the first 255 bytes
        for (Matcher m : kTextMatchers) {
            float score = -1;
            subject.match(m, pattern.data(), &score);
            QCOMPARE(score, 1.0f);
        }
        float score = -1;
        matcher_case_exact_256(&subject, nullptr, &score); // null pattern: empty
        QCOMPARE(score, 0.0f);
    }

    void wildcard_data()
    {
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<bool>("nocase");
        QTest::addColumn<float>("score");
        const QByteArrayList abcd{"ab", "cd"};
        QTest::newRow("adjacent") << QByteArray("abcd") << abcd << false << 1.0f;
        QTest::newRow("wrong order") << QByteArray("cdab") << abcd << false << 0.0f;
        QTest::newRow("overlap refused") << QByteArray("abc") << QByteArrayList{"ab", "bc"} << false << 0.0f;
        QTest::newRow("same piece twice") << QByteArray("abab") << QByteArrayList{"ab", "ab"} << false << 1.0f;
        QTest::newRow("empty list") << QByteArray("anything") << QByteArrayList{} << false << 1.0f;
        QTest::newRow("empty piece") << QByteArray("ab") << QByteArrayList{"a", "", "b"} << false << 1.0f;
        QTest::newRow("nocase") << QByteArray("xABycDz") << abcd << true << 1.0f;
    }
    void wildcard()
    {
        QFETCH(QByteArray, subject);
        QFETCH(QByteArrayList, pieces);
        QFETCH(bool, nocase);
        CList<CString256> list = piecesOf(pieces);
        float result = -1;
        CString256(subject.constData()).match(nocase ? match_wildcard_nocase_256 : match_wildcard_case_256, &list, &result);
        QTEST(result, "score");
    }
};

QTEST_GUILESS_MAIN(TestStringMatching)
#include "tst_stringmatching.moc"
