#include "platform/MemoryManager.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The size lives in a header in front of the caller's bytes; the header is as large as
// the strictest alignment so the caller's block stays suitably aligned for any type.
union PtrHeader {
    Size size;
    std::max_align_t alignment;
};

// A handle is the address of its master pointer; the master pointer is the first member
// of this record, so the record is found again from the handle.
struct MasterPointer {
    char* data;
    Size size;
};

MasterPointer* master(Handle h)
{
    return reinterpret_cast<MasterPointer*>(h);
}

Ptr allocatePtr(Size byteCount, bool clear)
{
    if (byteCount < 0)
        return nullptr;
    const std::size_t total = sizeof(PtrHeader) + std::size_t(byteCount);
    void* block = clear ? std::calloc(1, total) : std::malloc(total);
    if (!block)
        return nullptr;
    auto* header = static_cast<PtrHeader*>(block);
    header->size = byteCount;
    return reinterpret_cast<Ptr>(header + 1);
}

Handle allocateHandle(Size byteCount, bool clear)
{
    if (byteCount < 0)
        return nullptr;
    auto* record = static_cast<MasterPointer*>(std::malloc(sizeof(MasterPointer)));
    if (!record)
        return nullptr;
    // malloc(0) may answer null; a handle of size 0 still owns a real (empty) block.
    const std::size_t bytes = byteCount > 0 ? std::size_t(byteCount) : 1;
    record->data = static_cast<char*>(clear ? std::calloc(1, bytes) : std::malloc(bytes));
    if (!record->data) {
        std::free(record);
        return nullptr;
    }
    record->size = byteCount;
    return &record->data;
}

} // namespace

Ptr NewPtr(Size byteCount)
{
    return allocatePtr(byteCount, false);
}

Ptr NewPtrClear(Size byteCount)
{
    return allocatePtr(byteCount, true);
}

void DisposePtr(Ptr p)
{
    if (p)
        std::free(reinterpret_cast<PtrHeader*>(p) - 1);
}

Size GetPtrSize(Ptr p)
{
    return p ? (reinterpret_cast<PtrHeader*>(p) - 1)->size : 0;
}

Handle NewHandle(Size byteCount)
{
    return allocateHandle(byteCount, false);
}

Handle NewHandleClear(Size byteCount)
{
    return allocateHandle(byteCount, true);
}

void DisposeHandle(Handle h)
{
    if (!h)
        return;
    std::free(master(h)->data);
    std::free(master(h));
}

Size GetHandleSize(Handle h)
{
    return h ? master(h)->size : 0;
}

OSErr SetHandleSize(Handle h, Size newSize)
{
    if (!h || newSize < 0)
        return paramErr;
    const std::size_t bytes = newSize > 0 ? std::size_t(newSize) : 1;
    char* data = static_cast<char*>(std::realloc(master(h)->data, bytes));
    if (!data)
        return memFullErr;
    master(h)->data = data;
    master(h)->size = newSize;
    return noErr;
}
