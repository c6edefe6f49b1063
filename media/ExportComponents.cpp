#include "media/ExportComponents.h"

#include "media/ExportSettingsDialog.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"
#include "platform/SystemLog.h"

#include <QApplication>
#include <QHash>

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <cstring>
#include <vector>

std::optional<ComponentDictionaries> gComponentDictionaries;

namespace {

constexpr OSType fourCharCode(const char (&text)[5])
{
    return OSType(static_cast<unsigned char>(text[0])) << 24
        | OSType(static_cast<unsigned char>(text[1])) << 16
        | OSType(static_cast<unsigned char>(text[2])) << 8
        | OSType(static_cast<unsigned char>(text[3]));
}

// The first four bytes of text as a code, padded with blanks; 0 for no text.
OSType paddedCode(const char* text)
{
    if (!text || !*text)
        return 0;
    char code[5] = "    ";
    for (int i = 0; i < 4 && text[i]; ++i)
        code[i] = text[i];
    return fourCharCode(code);
}

// The classic subtypes of the exporters that have one, so that stored choices and
// documents naming them keep meaning the same format.
OSType classicSubtype(const char* factoryName)
{
    static const QHash<QByteArray, OSType> known = {
        {"qtmux", fourCharCode("MooV")},   {"mp4mux", fourCharCode("mpg4")},
        {"avimux", fourCharCode("VfW ")},  {"3gppmux", fourCharCode("3gpp")},
        {"aiffmux", fourCharCode("AIFF")}, {"wavenc", fourCharCode("WAVE")},
    };
    return known.value(QByteArray(factoryName), paddedCode(factoryName));
}

bool isStreamOnlyFormat(const char* mediaType)
{
    // Packets for a network transport, not something a file holds.
    for (const char* prefix : {"application/x-rtp", "application/x-srtp", "application/x-rtcp"}) {
        if (std::strncmp(mediaType, prefix, std::strlen(prefix)) == 0)
            return true;
    }
    return false;
}

// The caps of the factory's output when it writes a file format (a new reference), else null.
GstCaps* fileFormatCaps(GstElementFactory* factory)
{
    for (const GList* l = gst_element_factory_get_static_pad_templates(factory); l; l = l->next) {
        auto* padTemplate = static_cast<GstStaticPadTemplate*>(l->data);
        if (padTemplate->direction != GST_PAD_SRC)
            continue;
        GstCaps* caps = gst_static_pad_template_get_caps(padTemplate);
        bool fileFormat = caps && !gst_caps_is_any(caps) && !gst_caps_is_empty(caps);
        for (guint i = 0; fileFormat && i < gst_caps_get_size(caps); ++i)
            fileFormat = !isStreamOnlyFormat(gst_structure_get_name(gst_caps_get_structure(caps, i)));
        if (fileFormat)
            return caps;
        if (caps)
            gst_caps_unref(caps);
    }
    return nullptr;
}

// pbutils aborts on caps that are not fixed, so the extension is asked of a fixated copy.
QString extensionForCaps(const GstCaps* caps)
{
    GstCaps* fixed = gst_caps_fixate(gst_caps_copy(caps));
    QString extension;
    // pbutils names every QuickTime-family variant ".mov"; MP4 and 3GPP files have their own.
    const GstStructure* format = fixed && !gst_caps_is_empty(fixed) ? gst_caps_get_structure(fixed, 0) : nullptr;
    const gchar* variant = format && gst_structure_has_name(format, "video/quicktime")
        ? gst_structure_get_string(format, "variant") : nullptr;
    if (variant && (std::strcmp(variant, "iso") == 0 || std::strcmp(variant, "iso-fragmented") == 0)) {
        extension = QStringLiteral(".mp4");
    } else if (variant && std::strcmp(variant, "3gpp") == 0) {
        extension = QStringLiteral(".3gp");
    } else if (fixed && gst_caps_is_fixed(fixed)) {
        if (gchar* ext = gst_pb_utils_get_file_extension_from_caps(fixed)) {
            if (*ext)
                extension = QLatin1Char('.') + QString::fromUtf8(ext);
            g_free(ext);
        }
    }
    if (fixed)
        gst_caps_unref(fixed);
    return extension;
}

// The extension of the file format the factory writes ("" for a format without a usual
// one), or std::nullopt when it writes none. A factory's output does not change while the
// program runs, so each is asked once: the caps walk is most of a rebuild's own cost.
std::optional<QString> fileFormatExtension(GstElementFactory* factory, const char* factoryName)
{
    static QHash<QByteArray, std::optional<QString>> known;
    const QByteArray name(factoryName);
    if (auto it = known.constFind(name); it != known.cend())
        return *it;
    std::optional<QString> extension;
    if (GstCaps* caps = fileFormatCaps(factory)) {
        extension = extensionForCaps(caps);
        gst_caps_unref(caps);
    }
    known.insert(name, extension);
    return extension;
}

QString displayName(const QString& name, OSType subtype, OSType manufacturer)
{
    const QString manufacturerText = CreateTypeStringWithOSType(manufacturer);
    if (manufacturerText.isEmpty())
        return QStringLiteral("%1 [%2]").arg(name, CreateTypeStringWithOSType(subtype));
    return QStringLiteral("%1 [%2,%3]").arg(name, CreateTypeStringWithOSType(subtype), manufacturerText);
}

bool isUserSettable(const GParamSpec* spec)
{
    return (spec->flags & G_PARAM_WRITABLE) && !(spec->flags & G_PARAM_CONSTRUCT_ONLY)
        && std::strcmp(spec->name, "name") != 0 && std::strcmp(spec->name, "parent") != 0;
}

void logError(int status, const char* call)
{
    NSLog(QStringLiteral("Ordinello error: %1 when calling %2").arg(status).arg(QLatin1String(call)));
}

struct StructureDeleter {
    void operator()(GstStructure* s) const { gst_structure_free(s); }
};
using StructurePtr = std::unique_ptr<GstStructure, StructureDeleter>;

StructurePtr parseSettings(const QByteArray& settings)
{
    if (settings.isEmpty() || settings.contains('\0'))
        return nullptr;
    return StructurePtr(gst_structure_from_string(settings.constData(), nullptr));
}

// The field's value in the property's own type, checked against its range. False when the
// value does not convert or lies outside what the property takes.
bool valueForProperty(const GParamSpec* spec, const GValue* given, GValue* out)
{
    g_value_init(out, spec->value_type);
    bool converted = false;
    if (G_VALUE_TYPE(given) == spec->value_type) {
        g_value_copy(given, out);
        converted = true;
    } else if (G_VALUE_HOLDS_STRING(given) && g_value_get_string(given)) {
        converted = gst_value_deserialize(out, g_value_get_string(given));
    } else if (g_value_type_transformable(G_VALUE_TYPE(given), spec->value_type)) {
        converted = g_value_transform(given, out);
    }
    // g_param_value_validate answers true when it had to change the value to fit.
    if (!converted || g_param_value_validate(const_cast<GParamSpec*>(spec), out)) {
        g_value_unset(out);
        return false;
    }
    return true;
}

} // namespace

ExportComponent::ExportComponent(GstElementFactory* factory)
{
    if (factory)
        m_factory.reset(GST_ELEMENT_FACTORY(gst_object_ref(factory)),
                        [](GstElementFactory* f) { gst_object_unref(f); });
}

QString ExportComponent::identifier() const
{
    if (!m_factory)
        return {};
    auto* feature = GST_PLUGIN_FEATURE(m_factory.get());
    const QString name = QString::fromUtf8(gst_plugin_feature_get_name(feature));
    const gchar* plugin = gst_plugin_feature_get_plugin_name(feature);
    return plugin ? QString::fromUtf8(plugin) + QLatin1Char('/') + name : name;
}

ComponentInstance::ComponentInstance(GstElement* element)
{
    if (element)
        m_element.reset(GST_ELEMENT(gst_object_ref_sink(element)),
                        [](GstElement* e) { gst_object_unref(e); });
}

bool EnsureGStreamer()
{
    static const bool ready = [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            NSLog(QStringLiteral("Ordinello error: the media framework could not start: %1")
                      .arg(error ? QString::fromUtf8(error->message) : QString()));
            if (error)
                g_error_free(error);
            return false;
        }
        gst_pb_utils_init();
        return true;
    }();
    return ready;
}

QString CreateTypeStringWithOSType(OSType code)
{
    if (code == 0)
        return QString();
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((code >> shift) & 0xFF));
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    // Classic codes are Mac Roman; those met here are ASCII, which Latin-1 reads alike.
    return QString::fromLatin1(bytes);
}

void InitComponentsDictionaries()
{
    gComponentDictionaries.emplace();
    if (!EnsureGStreamer())
        return;
    GList* factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_MUXER, GST_RANK_NONE);
    // The registry's own order depends on the order plugins were loaded; by name the
    // catalogue (and which of two same-named entries wins) is the same on every run.
    factories = g_list_sort(factories, [](gconstpointer a, gconstpointer b) {
        return std::strcmp(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(a)),
                           gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(b)));
    });
    for (GList* l = factories; l; l = l->next) {
        auto* factory = GST_ELEMENT_FACTORY(l->data);
        const char* factoryName = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
        const std::optional<QString> extension = fileFormatExtension(factory, factoryName);
        if (!extension)
            continue;
        ExportComponentEntry entry;
        const gchar* longName = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        entry.name = QString::fromUtf8(longName ? longName : factoryName);
        entry.subtype = classicSubtype(factoryName);
        entry.manufacturer = paddedCode(gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(factory)));
        const QString key = displayName(entry.name, entry.subtype, entry.manufacturer);
        if (gComponentDictionaries->contains(key))
            continue;
        entry.exporter = ComponentInstance(gst_element_factory_create(factory, nullptr));
        if (entry.exporter.isNull())
            continue;
        entry.extension = *extension;
        entry.component = ExportComponent(factory);
        gComponentDictionaries->insert(key, std::move(entry));
    }
    gst_plugin_feature_list_free(factories);
}

bool QTDX_ComponentHasUI(OSType componentType, const ComponentInstance& instance)
{
    if ((componentType != kMovieExportType && componentType != kMovieImportType) || instance.isNull())
        return false;
    guint count = 0;
    GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(instance.element()), &count);
    bool settable = false;
    for (guint i = 0; i < count && !settable; ++i)
        settable = isUserSettable(specs[i]);
    g_free(specs);
    return settable;
}

OSStatus ApplyExportSettings(const ComponentInstance& exporter, const QByteArray& settings)
{
    if (exporter.isNull())
        return paramErr;
    const StructurePtr structure = parseSettings(settings);
    if (!structure)
        return paramErr;
    GObject* object = G_OBJECT(exporter.element());
    // Every field is checked before any is set: settings are taken whole or not at all.
    const int count = gst_structure_n_fields(structure.get());
    std::vector<std::pair<const GParamSpec*, GValue>> values;
    values.reserve(std::size_t(count));
    bool valid = true;
    for (int i = 0; i < count && valid; ++i) {
        const gchar* field = gst_structure_nth_field_name(structure.get(), guint(i));
        const GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(object), field);
        GValue value = G_VALUE_INIT;
        valid = spec && isUserSettable(spec)
            && valueForProperty(spec, gst_structure_get_value(structure.get(), field), &value);
        if (valid)
            values.emplace_back(spec, value);
    }
    for (auto& [spec, value] : values) {
        if (valid)
            g_object_set_property(object, spec->name, &value);
        g_value_unset(&value);
    }
    return valid ? noErr : paramErr;
}

std::optional<QByteArray> GetExportSettingsForComponentDictionary(
    const ExportComponentEntry& entry, const std::optional<QByteArray>& previousSettings)
{
    if (entry.exporter.isNull())
        return std::nullopt;
    GstElement* element = entry.exporter.element();
    if (previousSettings) {
        if (const OSStatus status = ApplyExportSettings(entry.exporter, *previousSettings); status != noErr) {
            logError(status, "MovieExportDoUserDialog");
            return std::nullopt;
        }
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        logError(paramErr, "MovieExportDoUserDialog");
        return std::nullopt;
    }
    ExportSettingsDialog dialog(element, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    // The result keeps the earlier settings the user did not change this time.
    const StructurePtr touched = parseSettings(dialog.touchedSettings());
    StructurePtr result = previousSettings ? parseSettings(*previousSettings) : nullptr;
    if (!result && touched)
        result.reset(gst_structure_copy(touched.get()));
    if (!touched || !result) {
        logError(paramErr, "MovieExportGetSettingsAsAtomContainer");
        return std::nullopt;
    }
    for (int i = 0; i < gst_structure_n_fields(touched.get()); ++i) {
        const gchar* field = gst_structure_nth_field_name(touched.get(), guint(i));
        gst_structure_set_value(result.get(), field, gst_structure_get_value(touched.get(), field));
    }
    gchar* text = gst_structure_to_string(result.get());
    QByteArray settings(text);
    g_free(text);
    // The exporter takes the accepted choice too: the next dialog shows it, and an export
    // made with the entry's exporter uses it.
    if (const OSStatus status = ApplyExportSettings(entry.exporter, settings); status != noErr) {
        logError(status, "MovieExportGetSettingsAsAtomContainer");
        return std::nullopt;
    }
    return settings;
}

OSStatus LaunchPath(const QByteArray& path)
{
    QString reason;
    const OSStatus status = LaunchDefaultForPath(path, &reason);
    if (status != noErr)
        NSLog(QStringLiteral("Ordinello error: %1 when opening %2: %3")
                  .arg(status)
                  .arg(DisplayFileName(DecodeFileName(path)), reason));
    return status;
}
