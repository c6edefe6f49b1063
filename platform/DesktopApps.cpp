#include "platform/DesktopApps.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstring>

namespace {

std::uint32_t creatorCode(GDesktopAppInfo* info)
{
    gchar* value = g_desktop_app_info_get_string(info, kCreatorCodeKey);
    std::uint32_t code = 0;
    // Exactly four bytes, as a classic code is written: "ABCD" or "VfW " (trailing blank kept).
    if (value && std::strlen(value) == 4) {
        for (int i = 0; i < 4; ++i)
            code = code << 8 | std::uint8_t(value[i]);
    }
    g_free(value);
    return code;
}

std::optional<DesktopApplication> describe(GAppInfo* app)
{
    if (!app || !G_IS_DESKTOP_APP_INFO(app))
        return std::nullopt;
    GDesktopAppInfo* info = G_DESKTOP_APP_INFO(app);
    DesktopApplication result;
    if (const char* file = g_desktop_app_info_get_filename(info))
        result.file = file;
    if (const char* id = g_app_info_get_id(app))
        result.id = QString::fromUtf8(id);
    if (const char* name = g_app_info_get_name(app))
        result.name = QString::fromUtf8(name);
    result.creator = creatorCode(info);
    return result;
}

} // namespace

std::optional<DesktopApplication> DefaultApplicationFor(const QByteArray& contentType)
{
    if (contentType.isEmpty() || contentType.contains('\0'))
        return std::nullopt;
    GAppInfo* app = g_app_info_get_default_for_type(contentType.constData(), FALSE);
    std::optional<DesktopApplication> result = describe(app);
    if (app)
        g_object_unref(app);
    return result;
}

QStringList DefaultApplicationNames(const QByteArrayList& contentTypes)
{
    QStringList names;
    names.reserve(contentTypes.size());
    for (const QByteArray& type : contentTypes) {
        GAppInfo* app = type.isEmpty() ? nullptr : g_app_info_get_default_for_type(type.constData(), FALSE);
        names.append(app ? QString::fromUtf8(g_app_info_get_name(app)) : QString());
        if (app)
            g_object_unref(app);
    }
    return names;
}

std::optional<DesktopApplication> FindApplicationByCreator(std::uint32_t creator)
{
    if (creator == 0)
        return std::nullopt;
    // GIO lists each desktop id once, from the first data folder that holds it (the user's
    // before the system's): the copy the desktop itself would start.
    GList* all = g_app_info_get_all();
    std::optional<DesktopApplication> found;
    for (GList* item = all; item && !found; item = item->next) {
        auto* app = static_cast<GAppInfo*>(item->data);
        if (G_IS_DESKTOP_APP_INFO(app) && creatorCode(G_DESKTOP_APP_INFO(app)) == creator)
            found = describe(app);
    }
    g_list_free_full(all, g_object_unref);
    return found;
}

bool IsApplicationInstalled(const QByteArray& desktopId)
{
    if (desktopId.isEmpty() || desktopId.contains('\0'))
        return false;
    GDesktopAppInfo* info = g_desktop_app_info_new(desktopId.constData());
    if (info)
        g_object_unref(info);
    return info != nullptr;
}

OSStatus LaunchApplication(const QByteArray& desktopId, QString* message)
{
    if (desktopId.isEmpty() || desktopId.contains('\0'))
        return paramErr;
    GDesktopAppInfo* info = g_desktop_app_info_new(desktopId.constData());
    if (!info)
        return fnfErr;
    GError* error = nullptr;
    const bool started = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    g_object_unref(info);
    if (started)
        return noErr;
    if (message)
        *message = error ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    return ioErr;
}
