#pragma once
// CInternetConfig: one connection to the user's Internet preferences, where the classic
// platform had its Internet Config service. On Linux the same preferences live in the
// freedesktop stores: the file-name mapping table comes from the shared MIME database
// (through QMimeDatabase), helper applications from the user's default applications (GIO,
// mimeapps.list), fonts from the desktop's system fonts.
//
// Every member but the constructor, Stop, NextMapEntry and LocateApplication answers -1 and
// does nothing while no connection is started. Keys are length-prefixed Mac Roman text; URLs
// and file names are length-prefixed bytes (UTF-8 names). Main thread only.

#include "platform/FSSpecRecord.h"
#include "platform/ICMapEntry.h"
#include "platform/MacErrors.h"

#include <QByteArray>
#include <QList>
#include <QMimeType>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QMimeDatabase;

// Status codes of the classic service.
enum : OSStatus {
    icPrefNotFoundErr = -666,   // no such preference; no mapping for a name
    icTruncatedErr = -670,
    icConfigNotFoundErr = -674, // no preferences editor installed
};

// A font preference: size in points, style bits (bold 1, italic 2), family name
// (length-prefixed UTF-8, cut at a character boundary). 260 bytes, as the service stores it.
#pragma pack(push, 2)
struct ICFontRecord {
    std::int16_t size;
    std::uint8_t face;
    std::uint8_t pad;
    Str255 font;
};
#pragma pack(pop)
static_assert(sizeof(ICFontRecord) == 260);

// The file-name mapping table: one entry per (MIME type, suffix), types in name order and
// each type's suffixes in the database's order, so the same database gives the same table.
// It holds what each type contributes (suffixes, default application, classic file type)
// and makes the 1302-byte records only when asked: entries are read one at a time.
class MappingTable {
public:
    // Reads the shared MIME database and the default applications afresh.
    static MappingTable read();

    std::int32_t count() const { return std::int32_t(m_rows.size()); }
    // Entry index (0-based) into *entry: extension with its dot, MIME type, entry name (the
    // type's comment), creator application name, classic file type or 0; creator 0.
    // Texts are UTF-8 cut at a character boundary to their 255-byte fields.
    void entry(std::int32_t index, ICMapEntry* entry) const;

private:
    struct Type {
        QMimeType type;
        QString name;
        QStringList suffixes;
        QString application;
        OSType fileType = 0;
    };
    struct Row {
        std::int32_t type;
        std::int32_t suffix;
    };
    QList<Type> m_types;
    QList<Row> m_rows;
};

class CInternetConfig {
public:
    // available(): whether the shared MIME database knows at least one type.
    explicit CInternetConfig(OSType signature);
    virtual ~CInternetConfig();
    CInternetConfig(const CInternetConfig&) = delete;
    CInternetConfig& operator=(const CInternetConfig&) = delete;

    bool available() const { return m_available; }
    bool started() const { return m_started; }
    OSType signature() const { return m_signature; }

    OSStatus Start(FSSpec* unused = nullptr);
    OSStatus Stop(); // 0 when not started; also ends an iteration left open

    // Opens the URL's bytes with the user's handler for its scheme: noErr once started,
    // otherwise the failure (kLSApplicationNotFoundErr when nothing handles it).
    OSStatus DoURL(const Str255 url);

    // The mapping entry for a file name by its extension; icPrefNotFoundErr when the name
    // maps to no type. The C-text form uses the name's first 255 bytes.
    OSStatus MapFilename(const Str255 name, ICMapEntry* entry);
    OSStatus MapFilename(const char* name, ICMapEntry* entry);

    // Walk of the whole mapping table: StartMapIteration, NextMapEntry until false,
    // FinishMapIteration. The table holds one entry per (MIME type, suffix), types in name
    // order and each type's suffixes in the database's order.
    OSStatus StartMapIteration();
    bool NextMapEntry(ICMapEntry* entry); // false at the end, when not iterating or not started
    OSStatus FinishMapIteration();

    // "RealName" (the account's full name) and "Email" (empty) as length-prefixed UTF-8; the
    // fonts "TextFont" (the general font), "ScreenFont", "ListFont" and "PrinterFont" (the
    // fixed-pitch font). Any other key is icPrefNotFoundErr. Fonts need a GUI application.
    OSStatus GetKeysString(const Str255 key, Str255 value);
    OSStatus GetFontRecord(const Str255 key, ICFontRecord* font);

    // Starts the desktop's own file-type settings; icConfigNotFoundErr when none is installed.
    OSStatus EditPreferences(const Str255 key);

    // The user's download folder (xdg-user-dirs), as a path.
    OSStatus GetDownloadFolder(QByteArray* path);

    // The .desktop file of the application with that creator code (its "X-Ordinello-Creator"
    // key); of several, the user's own, then the newest. Needs no connection.
    bool LocateApplication(OSType creator, FSSpec* spec);
    // The default application for a helper key "Helper•<scheme>" or "Helper•<MIME type>"
    // (the bullet is Mac Roman 0xA5): its .desktop file and creator code (0 when it has none).
    // 0 on success; -1 when not started, the key is no helper key, or nothing handles it.
    OSStatus GetHelperFileSpec(const Str255 key, FSSpec* spec, OSType* creator);

private:
    std::unique_ptr<QMimeDatabase> m_instance; // the connection while started
    bool m_available = false;
    bool m_started = false;
    MappingTable m_map; // the mapping table while iterating
    bool m_iterating = false;
    std::int32_t m_entryCount = 0;
    std::int32_t m_nextIndex = 1;
    OSType m_signature = 0;
};
