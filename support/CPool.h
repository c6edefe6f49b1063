#pragma once
// Per-type storage pools. Every pooled type (CString256 and the container nodes) takes
// its storage from CPool<itself>: slots of the type's size, handed out from blocks of 256
// and never given back to the system. The pool of a type only grows, in whole blocks, up
// to the largest number of objects of that type ever alive at once.
//
// allocate() and release() are constant-time pointer operations; the system allocator is
// called once per 256 slots. When a new block cannot be had, allocate() throws
// std::bad_alloc and the pool is unchanged.
//
// Not thread-safe: the free lists are process-wide and unlocked. Pooled objects are made
// and freed on the main thread only.

#include <cstddef>
#include <new>

template <class T>
class CPool {
public:
    static constexpr int kSlotsPerBlock = 256;

    static void* allocate()
    {
        if (!s_free)
            addBlock();
        Slot* slot = s_free;
        s_free = slot->next;
        --s_freeCount;
        return slot;
    }

    static void release(void* storage) noexcept
    {
        if (!storage)
            return;
        Slot* slot = static_cast<Slot*>(storage);
        slot->next = s_free;
        s_free = slot;
        ++s_freeCount;
    }

    static long blockCount() noexcept { return s_blocks; }
    static long freeCount() noexcept { return s_freeCount; }

private:
    // A free slot holds the free-list link in its own storage; a slot in use is all
    // object. The link therefore costs the object nothing.
    union Slot {
        Slot* next;
        alignas(T) unsigned char storage[sizeof(T)];
    };

    static void addBlock()
    {
        constexpr std::size_t bytes = sizeof(Slot) * kSlotsPerBlock;
        void* raw;
        if constexpr (alignof(Slot) > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
            raw = ::operator new[](bytes, std::align_val_t(alignof(Slot)));
        else
            raw = ::operator new[](bytes);
        // Chain in address order so consecutive allocations sit next to each other.
        Slot* slots = static_cast<Slot*>(raw);
        for (int i = 0; i < kSlotsPerBlock - 1; ++i)
            slots[i].next = &slots[i + 1];
        slots[kSlotsPerBlock - 1].next = s_free;
        s_free = slots;
        s_freeCount += kSlotsPerBlock;
        ++s_blocks;
    }

    inline static Slot* s_free = nullptr;
    inline static long s_blocks = 0;
    inline static long s_freeCount = 0;
};
