#include "support/CInternetConfig.h"

#include "platform/DesktopApps.h"
#include "platform/Launcher.h"
#include "platform/MacRoman.h"
#include "support/CString256.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QStandardPaths>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <pwd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::uint16_t kMapFixedLength = offsetof(ICMapEntry, extension);

constexpr OSType fourCharCode(const char (&code)[5])
{
    return OSType(std::uint8_t(code[0])) << 24 | OSType(std::uint8_t(code[1])) << 16
        | OSType(std::uint8_t(code[2])) << 8 | OSType(std::uint8_t(code[3]));
}

// The classic file types of well-known formats, for the entries' file type field.
struct ClassicType {
    const char* mimeType;
    OSType fileType;
};
constexpr ClassicType kClassicTypes[] = {
    {"application/pdf", fourCharCode("PDF ")},
    {"application/vnd.adobe.flash.movie", fourCharCode("SWFL")},
    {"application/zip", fourCharCode("ZIP ")},
    {"audio/mpeg", fourCharCode("MPG3")},
    {"audio/x-aiff", fourCharCode("AIFF")},
    {"audio/x-wav", fourCharCode("WAVE")},
    {"image/bmp", fourCharCode("BMPf")},
    {"image/gif", fourCharCode("GIFf")},
    {"image/jpeg", fourCharCode("JPEG")},
    {"image/png", fourCharCode("PNGf")},
    {"image/tiff", fourCharCode("TIFF")},
    {"text/plain", fourCharCode("TEXT")},
    {"video/3gpp", fourCharCode("3gpp")},
    {"video/3gpp2", fourCharCode("3gp2")},
    {"video/mp4", fourCharCode("mpg4")},
    {"video/mpeg", fourCharCode("MPEG")},
    {"video/quicktime", fourCharCode("MooV")},
    {"video/x-msvideo", fourCharCode("VfW ")},
};

// The classic code of a type, whichever of its names the table and the database use:
// databases differ in which name is the canonical one (audio/wav or audio/x-wav).
OSType classicFileType(const QMimeDatabase& database, const QMimeType& type)
{
    for (const ClassicType& known : kClassicTypes) {
        if (database.mimeTypeForName(QLatin1StringView(known.mimeType)) == type)
            return known.fileType;
    }
    return 0;
}

// Text into a length-prefixed field of 255 bytes, as UTF-8 cut at a character boundary.
// Returns the bytes the field takes as stored (length byte included).
int setPascal(Str255& field, const QString& text)
{
    CString256 bytes;
    bytes = text;
    const int length = bytes.length();
    field[0] = std::uint8_t(length);
    std::memcpy(field + 1, bytes.c_str(), size_t(length));
    return 1 + length;
}

ICMapEntry makeEntry(const QString& mimeType, OSType fileType, const QString& suffix,
                     const QString& comment, const QString& applicationName)
{
    ICMapEntry entry{};
    entry.fixedLength = kMapFixedLength;
    entry.fileType = fileType;
    int total = kMapFixedLength;
    total += setPascal(entry.extension, QLatin1Char('.') + suffix);
    total += setPascal(entry.creatorAppName, applicationName);
    total += setPascal(entry.postAppName, QString());
    total += setPascal(entry.MIMEType, mimeType);
    total += setPascal(entry.entryName, comment);
    entry.totalLength = std::int16_t(total);
    return entry;
}

QByteArray pascalBytes(const unsigned char* pascal)
{
    return QByteArray(reinterpret_cast<const char*>(pascal + 1), pascal[0]);
}

// The FSSpec record of an application's .desktop file, which must still be there.
OSErr specForFile(const QByteArray& path, FSSpec* spec)
{
    FSRef ref;
    if (path.isEmpty())
        return fnfErr;
    if (const OSErr status = FSPathMakeRef(path, &ref); status != noErr)
        return status;
    return FSRefMakeFSSpec(ref, spec);
}

QString accountFullName()
{
    const passwd* account = getpwuid(getuid());
    if (!account || !account->pw_gecos)
        return QString(QLatin1StringView(""));
    // The GECOS field is "full name,office,phone,...": the name is its first part.
    const QByteArray gecos(account->pw_gecos);
    return QString::fromUtf8(gecos.left(gecos.indexOf(',') < 0 ? gecos.size() : gecos.indexOf(',')));
}

} // namespace

MappingTable MappingTable::read()
{
    QMimeDatabase database;
    const QList<QMimeType> all = database.allMimeTypes();
    MappingTable table;
    table.m_types.reserve(all.size());
    for (const QMimeType& type : all)
        table.m_types.append(Type{type, type.name(), {}, {}, 0});
    std::sort(table.m_types.begin(), table.m_types.end(),
              [](const Type& a, const Type& b) { return a.name < b.name; });

    // The default applications come from GIO and the suffixes from each type's definition
    // file: two independent reads of about the same cost the first time, so they then run
    // side by side. Later the kept answers make both quick, and a thread would only cost.
    QByteArrayList names;
    names.reserve(table.m_types.size());
    for (const Type& type : std::as_const(table.m_types))
        names.append(type.name.toUtf8());
    QStringList applicationNames;
    std::thread worker;
    if (std::optional<QStringList> kept = KeptDefaultApplicationNames(names)) {
        applicationNames = std::move(*kept);
    } else {
        try {
            worker = std::thread([&] { applicationNames = DefaultApplicationNames(names); });
        } catch (const std::system_error&) {
            applicationNames = DefaultApplicationNames(names);
        }
    }
    for (Type& type : table.m_types)
        type.suffixes = type.type.suffixes();
    if (worker.joinable())
        worker.join();

    const auto typeNamed = [&table](const QString& name) {
        const auto found = std::lower_bound(table.m_types.begin(), table.m_types.end(), name,
                                            [](const Type& type, const QString& key) { return type.name < key; });
        return found != table.m_types.end() && found->name == name ? &*found : nullptr;
    };
    for (const ClassicType& known : kClassicTypes) {
        const QString name = QString::fromLatin1(known.mimeType);
        Type* type = typeNamed(name);
        // Databases differ in which name of a type is the canonical one (audio/wav or
        // audio/x-wav): a name not listed may be an alias.
        if (!type) {
            if (const QMimeType canonical = database.mimeTypeForName(name); canonical.isValid())
                type = typeNamed(canonical.name());
        }
        if (type)
            type->fileType = known.fileType;
    }

    for (std::int32_t i = 0; i < std::int32_t(table.m_types.size()); ++i) {
        Type& type = table.m_types[i];
        type.application = applicationNames.value(i);
        for (std::int32_t suffix = 0; suffix < std::int32_t(type.suffixes.size()); ++suffix)
            table.m_rows.append(Row{i, suffix});
    }
    return table;
}

void MappingTable::entry(std::int32_t index, ICMapEntry* entry) const
{
    const Row& row = m_rows.at(index);
    const Type& type = m_types.at(row.type);
    *entry = makeEntry(type.name, type.fileType, type.suffixes.at(row.suffix),
                       type.type.comment(), type.application);
}

CInternetConfig::CInternetConfig(OSType signature) : m_signature(signature)
{
    m_available = !QMimeDatabase().allMimeTypes().isEmpty();
}

CInternetConfig::~CInternetConfig()
{
    Stop();
}

OSStatus CInternetConfig::Start(FSSpec*)
{
    m_instance = std::make_unique<QMimeDatabase>();
    m_started = true;
    return noErr;
}

OSStatus CInternetConfig::Stop()
{
    if (!m_started)
        return noErr;
    // An iteration left open ends with the connection: its table belongs to it.
    m_started = false;
    m_iterating = false;
    m_map = MappingTable();
    m_entryCount = 0;
    m_instance.reset();
    return noErr;
}

OSStatus CInternetConfig::DoURL(const Str255 url)
{
    if (!m_started)
        return -1;
    if (!url)
        return paramErr;
    return LaunchDefaultForUri(pascalBytes(url));
}

OSStatus CInternetConfig::MapFilename(const Str255 name, ICMapEntry* entry)
{
    if (!m_started)
        return -1;
    if (!name || !entry)
        return paramErr;
    const QString fileName = QString::fromUtf8(pascalBytes(name));
    const QMimeType type = m_instance->mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return icPrefNotFoundErr;
    // The suffix the name was matched by: the longest of the type's that ends the name.
    QString matched;
    for (const QString& suffix : type.suffixes()) {
        if (suffix.size() > matched.size()
            && fileName.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
            matched = suffix;
    }
    if (matched.isEmpty())
        matched = type.preferredSuffix();
    const std::optional<DesktopApplication> application = DefaultApplicationFor(type.name().toUtf8());
    *entry = makeEntry(type.name(), classicFileType(*m_instance, type), matched, type.comment(),
                       application ? application->name : QString());
    return noErr;
}

OSStatus CInternetConfig::MapFilename(const char* name, ICMapEntry* entry)
{
    if (!m_started)
        return -1;
    if (!name)
        return paramErr;
    Str255 pascal;
    const size_t length = std::min<size_t>(std::strlen(name), 255);
    pascal[0] = std::uint8_t(length);
    std::memcpy(pascal + 1, name, length);
    return MapFilename(pascal, entry);
}

OSStatus CInternetConfig::StartMapIteration()
{
    m_nextIndex = 1;
    if (!m_started)
        return -1;
    m_map = MappingTable::read();
    m_entryCount = m_map.count();
    m_iterating = true;
    return noErr;
}

bool CInternetConfig::NextMapEntry(ICMapEntry* entry)
{
    if (!m_started || !m_iterating || m_nextIndex > m_entryCount)
        return false;
    if (entry)
        m_map.entry(m_nextIndex - 1, entry);
    ++m_nextIndex;
    return true;
}

OSStatus CInternetConfig::FinishMapIteration()
{
    if (!m_started || !m_iterating)
        return -1;
    m_iterating = false;
    m_map = MappingTable();
    m_entryCount = 0;
    return noErr;
}

OSStatus CInternetConfig::GetKeysString(const Str255 key, Str255 value)
{
    if (!m_started)
        return -1;
    if (!key || !value)
        return paramErr;
    const QString name = MacRomanPascalToString(key);
    Str255& out = *reinterpret_cast<Str255*>(value);
    if (name == QLatin1StringView("RealName")) {
        setPascal(out, accountFullName());
        return noErr;
    }
    if (name == QLatin1StringView("Email")) {
        out[0] = 0;
        return noErr;
    }
    return icPrefNotFoundErr;
}

OSStatus CInternetConfig::GetFontRecord(const Str255 key, ICFontRecord* font)
{
    if (!m_started)
        return -1;
    if (!key || !font)
        return paramErr;
    const QString name = MacRomanPascalToString(key);
    QFontDatabase::SystemFont which;
    if (name == QLatin1StringView("TextFont"))
        which = QFontDatabase::GeneralFont;
    else if (name == QLatin1StringView("ScreenFont") || name == QLatin1StringView("ListFont")
             || name == QLatin1StringView("PrinterFont"))
        which = QFontDatabase::FixedFont;
    else
        return icPrefNotFoundErr;
    // The desktop's fonts come from the platform theme, which only a GUI application has.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return icPrefNotFoundErr;
    const QFont systemFont = QFontDatabase::systemFont(which);
    ICFontRecord record{};
    const int points = systemFont.pointSize() > 0 ? systemFont.pointSize() : systemFont.pixelSize() * 72 / 96;
    record.size = std::int16_t(std::clamp(points, 0, 32767));
    record.face = std::uint8_t((systemFont.bold() ? 1 : 0) | (systemFont.italic() ? 2 : 0));
    setPascal(record.font, systemFont.family());
    *font = record;
    return noErr;
}

OSStatus CInternetConfig::EditPreferences(const Str255)
{
    if (!m_started)
        return -1;
    struct Editor {
        QLatin1StringView desktop;
        QByteArray desktopId;
    };
    const Editor editors[] = {
        {QLatin1StringView("KDE"), "kcm_filetypes.desktop"},
        {QLatin1StringView("GNOME"), "gnome-default-apps-panel.desktop"},
        {QLatin1StringView("XFCE"), "xfce4-mime-settings.desktop"},
    };
    // The current desktop's own editor first (XDG_CURRENT_DESKTOP lists the desktop's names,
    // most specific first), then any other that is installed.
    QList<QByteArray> candidates;
    const QStringList current = QString::fromUtf8(qgetenv("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& desktop : current) {
        for (const Editor& editor : editors) {
            if (desktop.compare(editor.desktop, Qt::CaseInsensitive) == 0 && !candidates.contains(editor.desktopId))
                candidates.append(editor.desktopId);
        }
    }
    for (const Editor& editor : editors) {
        if (!candidates.contains(editor.desktopId))
            candidates.append(editor.desktopId);
    }
    for (const QByteArray& desktopId : candidates) {
        if (IsApplicationInstalled(desktopId))
            return LaunchApplication(desktopId);
    }
    return icConfigNotFoundErr;
}

OSStatus CInternetConfig::GetDownloadFolder(QByteArray* path)
{
    if (!m_started)
        return -1;
    if (!path)
        return paramErr;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        return icPrefNotFoundErr;
    *path = QFile::encodeName(folder);
    return noErr;
}

bool CInternetConfig::LocateApplication(OSType creator, FSSpec* spec)
{
    // The classic service picked the newest of several copies on different volumes; here
    // the user's own desktop file comes first, then the newest (see DesktopApps.h).
    const std::optional<DesktopApplication> application = FindApplicationByCreator(creator);
    FSSpec found;
    if (!application || specForFile(application->file, &found) != noErr)
        return false;
    if (spec)
        *spec = found;
    return true;
}

OSStatus CInternetConfig::GetHelperFileSpec(const Str255 key, FSSpec* spec, OSType* creator)
{
    if (!m_started || !key)
        return -1;
    const QString name = MacRomanPascalToString(key);
    const QString prefix = QStringLiteral("Helper\u2022");
    if (!name.startsWith(prefix) || name.size() == prefix.size())
        return -1;
    const QString subject = name.mid(prefix.size());
    // "Helper•http" names a URL scheme; a name with a slash is a MIME type.
    const QByteArray contentType = subject.contains(QLatin1Char('/'))
        ? subject.toUtf8()
        : QByteArrayLiteral("x-scheme-handler/") + subject.toLower().toUtf8();
    const std::optional<DesktopApplication> application = DefaultApplicationFor(contentType);
    FSSpec found;
    if (!application || specForFile(application->file, &found) != noErr)
        return -1;
    if (spec)
        *spec = found;
    if (creator)
        *creator = application->creator;
    return noErr;
}
