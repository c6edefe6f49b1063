#include "support/CList.h"
#include "support/CString256.h"

#include <QTest>

#include <cstring>
#include <memory>

namespace {

QByteArrayList texts(const CList<CString256>& list)
{
    QByteArrayList out;
    for (const CString256& s : list)
        out << QByteArray(s.c_str());
    return out;
}

CList<CString256> listOf(const QByteArrayList& values)
{
    CList<CString256> list;
    for (const QByteArray& v : values)
        list.append(CString256(v.constData()));
    return list;
}

} // namespace

class TestCList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void removeKeepsHeadAndTail()
    {
        CList<int> list;
        QVERIFY(list.remove(&list.append(1)));
        QVERIFY(!list.head() && !list.tail() && list.count() == 0);
        list.append(1);
        list.append(2);
        QVERIFY(list.remove(&list.append(3)));
        list.append(4); // lands after the new tail, not after the freed node
        QVERIFY(list.remove(&list.head()->value));
        QCOMPARE(list.head()->value, 2);
        QCOMPARE(list.tail()->value, 4);
        QCOMPARE(list.count(), 2);
        CList<int> other;
        QVERIFY(!list.remove(&other.append(2)));
        QCOMPARE(list.count(), 2);
    }

    void reverse_data()
    {
        QTest::addColumn<int>("size");
        for (int n : {0, 1, 3, 300})
            QTest::addRow("%d", n) << n;
    }
    void reverse()
    {
        QFETCH(int, size);
        CList<int> list;
        for (int i = 0; i < size; ++i)
            list.append(i);
        list.reverse();
        int expected = size;
        for (int v : list)
            QCOMPARE(v, --expected);
        QCOMPARE(expected, 0);
        list.append(-1); // the tail moved too
        QCOMPARE(list.tail()->value, -1);
        QCOMPARE(list.head()->value, size ? size - 1 : -1);
    }

    void valuesAreCopiedAndDestroyed()
    {
        const auto value = std::make_shared<int>(1);
        CList<std::shared_ptr<int>> list;
        list.append(value);
        CList<std::shared_ptr<int>> copy(list);
        QCOMPARE(value.use_count(), 3);
        list.clear();
        QVERIFY(copy.remove(&copy.head()->value));
        QCOMPARE(value.use_count(), 1);
    }

    void stackPopsLastFirst()
    {
        CStack<int> stack;
        for (int i = 0; i < 300; ++i)
            stack.push(i);
        int top = -1;
        QVERIFY(stack.pop(&top) && top == 299 && stack.top() == 298);
    }

    void parseIntoList_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("separators");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::newRow("empty pieces dropped") << QByteArray("a,,b,") << QByteArray(",") << QByteArrayList{"a", "b"};
        QTest::newRow("empty text") << QByteArray("") << QByteArray(",") << QByteArrayList{};
        QTest::newRow("leading, mixed") << QByteArray(" a\tbc  d") << QByteArray(" \t") << QByteArrayList{"a", "bc", "d"};
        QTest::newRow("no separators") << QByteArray("a b") << QByteArray("") << QByteArrayList{"a b"};
    }
    void parseIntoList()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, separators);
        QFETCH(QByteArrayList, pieces);
        char outer[] = "one two"; // a strtok scan in progress must survive the split
        std::strtok(outer, " ");
        CList<CString256> list = listOf({"stale"});
        CString256(text.constData()).parse_into_list(separators.constData(), list);
        QCOMPARE(std::strtok(nullptr, " "), "two");
        QCOMPARE(texts(list), pieces);
        QCOMPARE(list.count(), long(pieces.size()));
    }

    void parseIntoListFromItsOwnElement()
    {
        // The text is read before the list gives its nodes back to the pool.
        CList<CString256> list = listOf({"x", "p,q,r"});
        list.tail()->value.parse_into_list(",", list);
        QCOMPARE(texts(list), (QByteArrayList{"p", "q", "r"}));
    }

    void flattenList_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("three") << QByteArrayList{"a", "b", "c"} << QByteArray("a,b,c");
        QTest::newRow("empty list") << QByteArrayList{} << QByteArray("");
        QTest::newRow("cut at capacity") << QByteArrayList{QByteArray(200, 'a'), QByteArray(200, 'b')}
                                         << QByteArray(200, 'a') + ',' + QByteArray(54, 'b');
    }
    void flattenList()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, expected);
        CList<CString256> list = listOf(pieces);
        CString256 s("previous");
        s.flatten_list(',', list);
        QCOMPARE(QByteArray(s.c_str()), expected);
    }
};

QTEST_GUILESS_MAIN(TestCList)
#include "tst_clist.moc"
