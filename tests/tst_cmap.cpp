#include "support/CMap.h"
#include "platform/ICMapEntry.h"

#include <QTest>
#include <QThread>

#include <memory>
#include <stdexcept>

namespace {

struct Value {
    static inline int live = 0;
    static inline bool failNextCopy = false;
    int n = 0;
    Value() { ++live; }
    explicit Value(int v) : n(v) { ++live; }
    Value(const Value& other) : n(other.n)
    {
        if (std::exchange(failNextCopy, false))
            throw std::runtime_error("copy refused");
        ++live;
    }
    ~Value() { --live; }
};

constexpr OSType kMooV = 0x4D6F6F56;
constexpr OSType kTEXT = 0x54455854;

ICMapEntry entry(OSType type)
{
    ICMapEntry e{};
    e.fileType = type;
    return e;
}

} // namespace

class TestCMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void presentKeyKeepsItsValue()
    {
        CMap<CString256, ICMapEntry> map;
        const CString256 mov(".mov");
        auto* node = map.insert(mov, entry(kMooV));
        QCOMPARE(map.insert(mov, entry(kTEXT)), node);
        QCOMPARE(node->value.fileType, kMooV);
        QCOMPARE(map.count(), 1);
        QVERIFY(map.insert(CString256(".MOV")) != node); // keys are case-sensitive
        QCOMPARE(map.count(), 2);
        QCOMPARE(map.lookup(CString256(".Mov")), nullptr);
    }

    // links() gives the entries in insertion order; keys compare as unsigned.
    void insertionOrderAndLookups()
    {
        CMap<OSType, ICMapEntry> map;
        const OSType keys[] = {50, 20, 80, 10, 30, 0xFFFFFFFF, 0};
        for (OSType k : keys)
            map.insert(k, entry(k));
        int i = 0;
        for (const auto* link : map.links())
            QCOMPARE(link->key, keys[i++]);
        for (OSType k : keys)
            QCOMPARE(map.lookup(k)->value.fileType, k);
        QCOMPARE(map.lookup(40), nullptr);
    }

    // Keys in ascending order make an unbalanced tree as deep as the map is large. Built on
    // a small stack, so a recursive insertion or lookup would overflow it.
    void ascendingKeysOnSmallStack()
    {
        constexpr OSType kCount = 4000;
        bool found = true;
        QThread* worker = QThread::create([&] {
            CMap<OSType, ICMapEntry> map;
            for (OSType k = 1; k <= kCount; ++k)
                map.insert(k, entry(k));
            for (OSType k = 1; k <= kCount; ++k)
                found = found && map.lookup(k) && map.lookup(k)->value.fileType == k;
            found = found && !map.lookup(kCount + 1);
        });
        worker->setStackSize(64 * 1024);
        worker->start();
        QVERIFY(worker->wait(30000));
        delete worker;
        QVERIFY(found);
    }

    // Clearing, a copy that throws during insertion, and the map's end leave no value behind:
    // as many values live as with a new empty map.
    void clearFreesAndResets()
    {
        auto map = std::make_unique<CMap<int, Value>>();
        const int empty = Value::live;
        for (int k = 0; k < 300; ++k)
            map->insert(k, Value(k));
        map->clear();
        QCOMPARE(Value::live, empty);
        QVERIFY(map->isEmpty() && map->links().isEmpty());
        map->insert(7, Value(7));
        QCOMPARE(map->lookup(7)->value.n, 7);
        Value::failNextCopy = true;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, map->insert(8, Value(8)));
        QCOMPARE(map->count(), 1);
        QCOMPARE(map->lookup(8), nullptr);
        QCOMPARE(Value::live, empty + 1);
        map = std::make_unique<CMap<int, Value>>();
        QCOMPARE(Value::live, empty);
    }
};

QTEST_GUILESS_MAIN(TestCMap)
#include "tst_cmap.moc"
