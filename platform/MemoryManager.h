#pragma once
// The classic Memory Manager's pointer and handle calls, over malloc/free. Each block
// keeps its size, so GetPtrSize and GetHandleSize answer as they always did. Blocks are
// never moved behind the caller's back, so HLock and HUnlock have nothing to do.
//
// Ownership: a block made by NewPtr belongs to the caller until DisposePtr; a handle made
// by NewHandle until DisposeHandle. Every call accepts null and then does nothing (the
// size readers answer 0).

#include "platform/MacErrors.h"

using Ptr = char*;
using Handle = char**;
using Size = long;

// A block of byteCount bytes (0 is allowed); null when byteCount is negative or memory
// is exhausted. NewPtr leaves the bytes undefined, NewPtrClear zeroes them.
Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);
Size GetPtrSize(Ptr p);

// A handle to a relocatable block: *h is the data. Null on a negative size or exhausted
// memory.
Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);

// Grows or shrinks the block, keeping the first min(old, new) bytes; *h may change.
// paramErr for a null handle or a negative size, memFullErr when memory is exhausted
// (the block is then unchanged).
OSErr SetHandleSize(Handle h, Size newSize);

inline void HLock(Handle) {}
inline void HUnlock(Handle) {}
