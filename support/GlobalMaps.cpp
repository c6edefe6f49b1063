#include "support/GlobalMaps.h"

// Both definitions live in this one file so that their construction order (and with it
// the reverse order of destruction) is the order written here; across files C++ leaves
// it unspecified.
CMap<CString256, ICMapEntry> gSuffixMap;
CMap<OSType, ICMapEntry> gTypeMap;
