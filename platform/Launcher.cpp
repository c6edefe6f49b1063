#include "platform/Launcher.h"

#include <QCoreApplication>

#include <gio/gio.h>

QByteArray FileUriFromPathBytes(QByteArrayView path)
{
    return QByteArrayLiteral("file://") + path.toByteArray().toPercentEncoding("/");
}

namespace {

OSStatus statusForError(const GError* error)
{
    OSStatus status = ioErr;
    if (error && error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_NOT_FOUND: status = fnfErr; break;
        case G_IO_ERROR_NOT_SUPPORTED: status = kLSApplicationNotFoundErr; break;
        case G_IO_ERROR_INVALID_ARGUMENT:
        case G_IO_ERROR_INVALID_FILENAME: status = paramErr; break;
        case G_IO_ERROR_PERMISSION_DENIED: status = afpAccessDenied; break;
        default: break;
        }
    }
    return status;
}

} // namespace

OSStatus LaunchDefaultForUri(const QByteArray& encodedUri, QString* message)
{
    if (encodedUri.isEmpty() || encodedUri.contains('\0')) {
        if (message)
            *message = QCoreApplication::translate("LocalizedStrings", "The address is not valid.");
        return paramErr;
    }
    GError* error = nullptr;
    // No launch context: the started application is placed by the window manager.
    if (g_app_info_launch_default_for_uri(encodedUri.constData(), nullptr, &error))
        return noErr;
    const OSStatus status = statusForError(error);
    if (message)
        *message = error ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    return status;
}

OSStatus LaunchDefaultForPath(QByteArrayView path, QString* message)
{
    if (path.isEmpty()) {
        if (message)
            *message = QCoreApplication::translate("LocalizedStrings", "The address is not valid.");
        return paramErr;
    }
    return LaunchDefaultForUri(FileUriFromPathBytes(path), message);
}

OSStatus LaunchFileManagerForFolder(QByteArrayView path, const QByteArray& skippedDesktopId, QString* message)
{
    if (path.isEmpty()) {
        if (message)
            *message = QCoreApplication::translate("LocalizedStrings", "The address is not valid.");
        return paramErr;
    }
    const auto skipped = [&skippedDesktopId](GAppInfo* app) {
        const char* id = g_app_info_get_id(app);
        return id && skippedDesktopId == id;
    };
    // The default first, then every other application registered for folders, in GIO's
    // order of preference (recommended ones, then the fallbacks).
    GAppInfo* chosen = g_app_info_get_default_for_type("inode/directory", FALSE);
    if (chosen && skipped(chosen)) {
        g_object_unref(chosen);
        chosen = nullptr;
    }
    if (!chosen) {
        GList* all = g_app_info_get_all_for_type("inode/directory");
        for (GList* item = all; item && !chosen; item = item->next) {
            auto* app = static_cast<GAppInfo*>(item->data);
            if (!skipped(app))
                chosen = G_APP_INFO(g_object_ref(app));
        }
        g_list_free_full(all, g_object_unref);
    }
    if (!chosen) {
        if (message)
            *message = QCoreApplication::translate("LocalizedStrings", "No file manager is installed.");
        return kLSApplicationNotFoundErr;
    }
    const QByteArray uri = FileUriFromPathBytes(path);
    GList uris{};
    uris.data = const_cast<char*>(uri.constData());
    GError* error = nullptr;
    const bool launched = g_app_info_launch_uris(chosen, &uris, nullptr, &error);
    g_object_unref(chosen);
    if (launched)
        return noErr;
    if (message)
        *message = error ? QString::fromUtf8(error->message) : QString();
    const OSStatus status = statusForError(error);
    if (error)
        g_error_free(error);
    return status;
}
