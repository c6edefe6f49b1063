#include "platform/ThumbnailService.h"
#include "platform/Bundle.h"

#include "BuildConfig.h"

#include <QFile>

#include <dlfcn.h>

void* gOpenLookFrameworkBundleRef = nullptr;
QLThumbnailImageCreateFn gQLThumbnailImageCreatePtr = nullptr;
const QString* gkQLThumbnailOptionIconModeKeyPtr = nullptr;

OSStatus LoadFrameworkBundle(const QString& frameworkName, void** bundle)
{
    if (!bundle)
        return paramErr;
    *bundle = nullptr;
    const QString folder = Bundle::libraryFolder();
    if (folder.isEmpty())
        return fnfErr;
    const QString path = folder + u'/' + frameworkName;
    // RTLD_LOCAL: the library's symbols are reached through dlsym only.
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return coreFoundationUnknownErr;
    *bundle = handle;
    return noErr;
}

void LoadThumbnailService()
{
    const OSStatus status = LoadFrameworkBundle(QStringLiteral(ORDINELLO_THUMBNAIL_LIBRARY), &gOpenLookFrameworkBundleRef);
    if (status != noErr || !gOpenLookFrameworkBundleRef) {
        gOpenLookFrameworkBundleRef = nullptr;
        return;
    }
    gQLThumbnailImageCreatePtr = reinterpret_cast<QLThumbnailImageCreateFn>(
        ::dlsym(gOpenLookFrameworkBundleRef, kThumbnailCreateSymbol));
    gkQLThumbnailOptionIconModeKeyPtr = static_cast<const QString*>(
        ::dlsym(gOpenLookFrameworkBundleRef, kThumbnailIconModeKeySymbol));
}

bool ThumbnailServiceAvailable()
{
    return gOpenLookFrameworkBundleRef && gQLThumbnailImageCreatePtr && gkQLThumbnailOptionIconModeKeyPtr;
}
