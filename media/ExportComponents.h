#pragma once
// The catalogue of installed movie exporters, their settings dialogs, and opening a path
// with its application.
//
// On Linux the installed, independently packaged exporters are GStreamer's muxers: every
// element factory of the muxer class whose output is a file format (RTP and other
// stream-only muxers are left out). GStreamer is initialised on first use; every function
// here runs on the main thread.

#include "platform/ICMapEntry.h"   // OSType
#include "platform/MacErrors.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>
#include <optional>

struct _GstElement;
struct _GstElementFactory;

constexpr OSType kMovieExportType = 0x73706974;   // 'spit'
constexpr OSType kMovieImportType = 0x65617420;   // 'eat '

// Handle on an installed element factory: keeps the factory referenced while it exists.
class ExportComponent {
public:
    ExportComponent() = default;
    explicit ExportComponent(_GstElementFactory* factory);   // takes a new reference

    bool isNull() const { return !m_factory; }
    // "plugin/factory" ("isomp4/qtmux"); just "factory" for an element without a plugin.
    QString identifier() const;
    _GstElementFactory* factory() const { return m_factory.get(); }

    friend bool operator==(const ExportComponent& a, const ExportComponent& b)
    {
        return a.m_factory == b.m_factory;
    }

private:
    std::shared_ptr<_GstElementFactory> m_factory;
};

// Handle on an exporter instance (an element); copies share the one instance, which lives
// as long as its last handle.
class ComponentInstance {
public:
    ComponentInstance() = default;
    explicit ComponentInstance(_GstElement* element);   // takes (sinks) the reference

    bool isNull() const { return !m_element; }
    _GstElement* element() const { return m_element.get(); }

private:
    std::shared_ptr<_GstElement> m_element;
};

// One catalogue entry: what a program offering a choice of export formats shows and uses.
struct ExportComponentEntry {
    QString name;              // the factory's long name
    QString extension;         // ".mov"; "" when the format has no usual extension
    ExportComponent component;
    ComponentInstance exporter;
    OSType type = kMovieExportType;
    OSType subtype = 0;        // the classic code where one is known, else the factory name's first four characters
    OSType manufacturer = 0;   // the plugin name's first four characters; 0 without a plugin
};

using ComponentDictionaries = QMap<QString, ExportComponentEntry>;

// The catalogue, keyed by display name ("QuickTime Muxer [MooV,isom]", or "Name [subt]"
// when the manufacturer is empty). Empty (std::nullopt) until InitComponentsDictionaries
// first runs.
extern std::optional<ComponentDictionaries> gComponentDictionaries;

// (Re)builds the catalogue from the registry, factories in name order; the first of two
// factories with the same display name wins. Factories that cannot be instantiated, or
// whose output is not a file format, are left out. Does nothing when GStreamer cannot start.
void InitComponentsDictionaries();

// The four-character code as text ("MooV"); trailing zero bytes dropped, "" for 0.
QString CreateTypeStringWithOSType(OSType code);

// Whether the component has a settings dialog: for the export ('spit') and import
// ('eat ') types, whether the instance has a property the user may change (writable, not
// construct-only, other than "name" and "parent"). False for other types and null instances.
bool QTDX_ComponentHasUI(OSType componentType, const ComponentInstance& instance);

// Runs the exporter's settings dialog, starting from previousSettings when given (they are
// applied to the exporter first). Returns the settings: a GstStructure string, UTF-8, of the
// previous settings updated with the properties the user changed; the exporter holds them
// too once the user accepts. std::nullopt when the user
// cancels (silently), for an entry without an exporter, or on an error, which is written to
// the system log: previous settings that are malformed or name unknown or read-only
// properties are refused that way, before any dialog shows.
std::optional<QByteArray> GetExportSettingsForComponentDictionary(
    const ExportComponentEntry& entry, const std::optional<QByteArray>& previousSettings);

// Applies settings (as returned above) to an exporter. noErr, or paramErr when they are
// malformed, name a property the exporter lacks or cannot take, or hold an unfit value;
// nothing is changed then.
OSStatus ApplyExportSettings(const ComponentInstance& exporter, const QByteArray& settings);

// Opens the file at path (bytes) with the user's default application. noErr when an
// application started; otherwise the launcher's status (fnfErr, kLSApplicationNotFoundErr,
// paramErr, ...), and the reason is written to the system log.
OSStatus LaunchPath(const QByteArray& path);

// True once GStreamer is initialised (it is initialised on the first call).
bool EnsureGStreamer();
