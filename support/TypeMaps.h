#pragma once
// File kinds by classic file type and by name extension: a fixed table of movie file types
// and their extensions, the program's own creator code, and the two process-wide maps
// (gTypeMap, gSuffixMap in GlobalMaps.h) filled from the user's file-name mapping table.
// Main thread only.

#include "platform/Files.h"
#include "platform/ICMapEntry.h"

#include <QString>

// ".mov" for 'MooV', ".avi" for 'VfW ', ".swf" for 'SWFL', ".mp4" for 'mpg4', ".3gp" for
// '3gpp', ".3g2" for '3gp2'; a null QString for any other type.
QString MapTypeToExtension(const OSType& type);

// The extension for the item's classic file type (its Finder information); null when the
// type cannot be read, the reference is stale (its path names another object now), the
// item is a folder, or the type is not in the table above.
QString MapFSRefToExtensionByType(const FSRef& item);

// The program's four-character creator code; 0 when it has none.
OSType GetOurSignature();

// Merge the mapping table into gTypeMap (keyed by file type) and gSuffixMap (keyed by the
// extension with its dot, case-sensitive). A key met again keeps its node and place and takes
// the later entry's value, so the last entry for a key wins. Without a mapping table the
// maps stay as they were.
void InitializeTypeMap();
void InitializeSuffixMap();
