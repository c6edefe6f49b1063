#include "platform/MemoryManager.h"

#include <QTest>

#include <cstdint>
#include <cstring>

class TestMemoryManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pointersKeepSizeAndAlignment()
    {
        for (long size : {0L, 13L}) {
            Ptr p = NewPtrClear(size);
            QCOMPARE(GetPtrSize(p), size);
            QCOMPARE(reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t), 0u);
            DisposePtr(p);
        }
        QCOMPARE(NewPtr(-1), nullptr);
        QCOMPARE(NewHandle(-1), nullptr);
    }

    void handlesResizeKeepingContent()
    {
        Handle h = NewHandle(4);
        std::memcpy(*h, "abcd", 4);
        QCOMPARE(SetHandleSize(h, 1 << 16), noErr);
        QCOMPARE(GetHandleSize(h), 1L << 16);
        QCOMPARE(QByteArray(*h, 4), QByteArray("abcd"));
        QCOMPARE(SetHandleSize(h, -1), paramErr);
        QCOMPARE(SetHandleSize(nullptr, 4), paramErr);
        QCOMPARE(GetHandleSize(h), 1L << 16);
        DisposeHandle(h);
    }
};

QTEST_GUILESS_MAIN(TestMemoryManager)
#include "tst_memorymanager.moc"
