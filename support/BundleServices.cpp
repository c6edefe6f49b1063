#include "support/BundleServices.h"

#include "platform/Bundle.h"
#include "platform/Launcher.h"
#include "platform/MacRoman.h"
#include "platform/NameCodec.h"
#include "platform/ProgramSettings.h"
#include "support/CString256.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileOpenEvent>
#include <QImageReader>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <fcntl.h>

namespace {

constexpr const char kResourceForkAttribute[] = "user.com.apple.ResourceFork";

QString preferenceKey(const unsigned char* key)
{
    const QString text = MacRomanPascalToString(key);
    return text.isEmpty() ? QString() : text;
}

// The settings file is text: it gives numbers and booleans back as their text and lists as
// lists of strings in the next run. A value of any other type than text and data is
// therefore stored inside a one-entry map under this key, which the file keeps as a
// serialised value with every type inside it; reading takes it out again. Values written
// before, without the map, read as they are.
constexpr char kTypedValueKey[] = "org.ordinello.typed-value";

QVariant storedForm(const QVariant& value)
{
    const int type = value.typeId();
    if (type == QMetaType::QString || type == QMetaType::QByteArray)
        return value;
    return QVariantMap{{QString::fromLatin1(kTypedValueKey), value}};
}

QVariant valueFromStored(const QVariant& stored)
{
    if (stored.typeId() != QMetaType::QVariantMap)
        return stored;
    const QVariantMap map = stored.toMap();
    const auto typed = map.constFind(QString::fromLatin1(kTypedValueKey));
    return map.size() == 1 && typed != map.cend() ? *typed : stored;
}

// The object now at the reference's path (identity, type and mode), never following a
// final link; fnfErr when the path no longer names the object the reference was made for.
OSErr currentObject(const FSRef* ref, FSRef* current)
{
    if (!ref || ref->isNull())
        return paramErr;
    if (const int error = ReadObjectIdentity(AT_FDCWD, ref->path.constData(), current))
        return OSErrFromErrno(error);
    return current->sameObjectAs(*ref) ? noErr : fnfErr;
}

// The whole value of an extended attribute; an attribute that grows between the size
// query and the read is asked for again.
// errno of a failure goes to *sysErrno.
OSErr readAttribute(const QByteArray& path, const char* name, QByteArray* value, int* sysErrno)
{
    for (;;) {
        const ssize_t size = lgetxattr(path.constData(), name, nullptr, 0);
        if (size < 0) {
            *sysErrno = errno;
            return OSErrFromErrno(*sysErrno);
        }
        value->resize(size);
        const ssize_t read = lgetxattr(path.constData(), name, value->data(), size_t(size));
        if (read >= 0) {
            value->resize(read);
            return noErr;
        }
        if (errno != ERANGE) {
            *sysErrno = errno;
            return OSErrFromErrno(*sysErrno);
        }
    }
}

} // namespace

QString GetOurBundleIdentifier()
{
    return Bundle::identifier();
}

void GetOurBundleIdentifier(CString256& identifier)
{
    identifier = Bundle::identifier();
}

QString GetOurBundleExecutableName()
{
    return Bundle::executableName();
}

void GetOurBundleExecutableName(CString256& name)
{
    name = Bundle::executableName();
}

bool GetBundleFSRef(FSRef* ref)
{
    const QByteArray prefix = Bundle::installationPrefix();
    if (!ref || prefix.isEmpty())
        return false;
    return FSPathMakeRef(prefix, ref, FinalLink::Followed) == noErr;
}

QString GetPathToAppBundle(FSRef* ref)
{
    const QByteArray prefix = Bundle::installationPrefix();
    if (prefix.isEmpty())
        return {};
    if (ref)
        FSPathMakeRef(prefix, ref, FinalLink::Followed);
    return DecodeFileName(prefix);
}

bool MakeFSRefForBundleResource(const char* name, const char* type, FSRef& ref)
{
    if (!name)
        return false;
    QString fileName = MacRomanToString(QByteArrayView(name, qsizetype(std::strlen(name))));
    if (type && *type)
        fileName += u'.' + MacRomanToString(QByteArrayView(type, qsizetype(std::strlen(type))));
    // The data folder holds no subfolders of resources: a separator or a dot-name would
    // reach outside it.
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName == u"." || fileName == u"..")
        return false;
    const QByteArray folder = Bundle::dataFolder();
    if (folder.isEmpty())
        return false;
    return FSPathMakeRef(folder + '/' + EncodeFileName(fileName), &ref, FinalLink::Followed) == noErr;
}

OSStatus GetIconRefForResource(const char* name, OSType /*iconType*/, IconRef& iconRef)
{
    FSRef file;
    bool found = false;
    for (const char* type : {"icns", "svg", "png"}) {
        if (MakeFSRefForBundleResource(name, type, file)) {
            found = true;
            break;
        }
    }
    if (!found)
        return fnfErr;
    // QIcon accepts any file name and fails only when painted: ask a reader first.
    const QString path = QFile::decodeName(file.path);
    if (!QImageReader(path).canRead())
        return invalidIconRefErr;
    iconRef = QIcon(path);
    return noErr;
}

OSStatus WritePreferenceValue(const QVariant& value, const unsigned char* key, bool anyUser)
{
    const QString name = preferenceKey(key);
    if (name.isNull())
        return noErr;
    if (anyUser) {
        QSettings system = ProgramSettings(QSettings::SystemScope);
        if (system.isWritable()) {
            system.setValue(name, storedForm(value));
            system.sync();
            if (system.status() == QSettings::NoError)
                return noErr;
        }
    }
    QSettings user = ProgramSettings();
    user.setValue(name, storedForm(value));
    user.sync();
    return noErr;
}

QVariant ReadPreferenceValue(const unsigned char* key, bool anyUser)
{
    const QString name = preferenceKey(key);
    if (name.isNull())
        return {};
    if (anyUser) {
        const QVariant value = ProgramSettings(QSettings::SystemScope).value(name);
        if (value.isValid())
            return valueFromStored(value);
    }
    QSettings user = ProgramSettings();
    user.setFallbacksEnabled(false);
    return valueFromStored(user.value(name));
}

Ptr GetUnicodeString(QStringView text, unsigned long* length)
{
    const Size bytes = Size(text.size()) * Size(sizeof(char16_t));
    Ptr block = NewPtr(bytes);
    if (!block)
        return nullptr;
    if (bytes > 0)
        std::memcpy(block, text.utf16(), size_t(bytes));
    if (length)
        *length = static_cast<unsigned long>(text.size());
    return block;
}

long SystemVersionFromRelease(QByteArrayView release)
{
    // "6.1.0-18-amd64": up to three dot-separated numbers, the rest ignored.
    long parts[3] = {0, 0, 0};
    QByteArray majorDigits;
    qsizetype i = 0;
    for (int part = 0; part < 3; ++part) {
        const qsizetype start = i;
        long value = 0;
        while (i < release.size() && release[i] >= '0' && release[i] <= '9') {
            if (part == 0)
                majorDigits += release[i];
            value = std::min(value * 10 + (release[i] - '0'), 1000000L);
            ++i;
        }
        if (i == start)
            break;
        parts[part] = value;
        if (i >= release.size() || release[i] != '.')
            break;
        ++i;
    }
    // Four decimal digits of major version are plenty and keep the value in 32 bits.
    if (majorDigits.isEmpty() || majorDigits.size() > 4)
        return 0;
    const long major = std::strtol(majorDigits.constData(), nullptr, 16);
    return major << 8 | std::min(parts[1], 15L) << 4 | std::min(parts[2], 15L);
}

long SystemVersion()
{
    struct utsname name;
    if (uname(&name) != 0)
        return 0;
    return SystemVersionFromRelease(QByteArrayView(name.release, qsizetype(std::strlen(name.release))));
}

bool IsJaguar(long systemVersion)
{
    return systemVersion > 0x101F && systemVersion <= 0x102F;
}

OSStatus LaunchFSRef(const FSRef& item)
{
    if (item.isNull())
        return paramErr;
    if (!FSIsFSRefValid(&item))
        return fnfErr;
    return LaunchDefaultForPath(item.path);
}

OSStatus OpenAlias(const FSRef& aliasFile)
{
    FSRef current;
    if (const OSErr err = currentObject(&aliasFile, &current))
        return err;
    if (!S_ISLNK(current.mode))
        return paramErr;
    char resolved[PATH_MAX];
    if (!realpath(aliasFile.path.constData(), resolved))
        return OSErrFromErrno(errno);
    FSRef target;
    if (const OSErr err = FSPathMakeRef(QByteArrayView(resolved, qsizetype(std::strlen(resolved))), &target))
        return err;
    return LaunchFSRef(target);
}

OSStatus SendOpenDocAppleEventToSelf(long count, const FSSpec* specs)
{
    if (count < 1 || !specs)
        return paramErr;
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return procNotFound;
    // Gathered first: when the last item fails nothing is sent, as with one event holding
    // every item.
    QList<QUrl> urls;
    OSStatus status = noErr;
    for (long i = 0; i < count; ++i) {
        FSRef item;
        status = FSpMakeFSRef(specs[i], &item);
        if (status == noErr)
            urls.append(QUrl::fromEncoded(FileUriFromPathBytes(item.path)));
    }
    if (status != noErr)
        return status;
    for (const QUrl& url : std::as_const(urls))
        QCoreApplication::postEvent(application, new QFileOpenEvent(url));
    return noErr;
}

OSStatus MakeFileAccessibleToAll(const FSRef* item)
{
    FSRef current;
    if (const OSErr err = currentObject(item, &current))
        return err;
    if (S_ISLNK(current.mode))
        return unimpErr;
    // AT_SYMLINK_NOFOLLOW: should a link take the item's place after the check, it is
    // refused rather than followed.
    if (fchmodat(AT_FDCWD, item->path.constData(), (current.mode & 07777) | 0666, AT_SYMLINK_NOFOLLOW) != 0)
        return OSErrFromErrno(errno);
    return noErr;
}

OSErr FSCopyResourceFork(const FSRef* source, const FSRef* destination)
{
    FSRef current;
    if (const OSErr err = currentObject(source, &current))
        return err;
    if (const OSErr err = currentObject(destination, &current))
        return err;
    QByteArray fork;
    int sysErrno = 0;
    if (const OSErr err = readAttribute(source->path, kResourceForkAttribute, &fork, &sysErrno))
        return sysErrno == ENODATA ? OSErr(noErr) : err;   // no fork to copy is not a failure
    if (fork.isEmpty())
        return noErr;
    // One call writes the whole fork, replacing any the destination had.
    if (lsetxattr(destination->path.constData(), kResourceForkAttribute, fork.constData(), size_t(fork.size()), 0) != 0)
        return OSErrFromErrno(errno);
    return noErr;
}
