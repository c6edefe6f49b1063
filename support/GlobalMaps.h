#pragma once
// The process-wide file-mapping maps, empty until the type and suffix map initialisers
// fill them from the user's mapping table. Main thread only.
//
// gSuffixMap: extension with its leading dot (".mov"), case-sensitive -> whole entry.
// gTypeMap:   four-character file type -> whole entry.
//
// Both are constructed before main, gSuffixMap first, and destroyed at exit in reverse
// order, after every static object constructed later.

#include "platform/ICMapEntry.h"
#include "support/CMap.h"
#include "support/CString256.h"

extern CMap<CString256, ICMapEntry> gSuffixMap;
extern CMap<OSType, ICMapEntry> gTypeMap;
