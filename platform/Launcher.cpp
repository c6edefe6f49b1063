#include "platform/Launcher.h"

#include <QCoreApplication>

#include <gio/gio.h>

QByteArray FileUriFromPathBytes(QByteArrayView path)
{
    return QByteArrayLiteral("file://") + path.toByteArray().toPercentEncoding("/");
}

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
