#include "app/ItemImages.h"

#include "platform/NameCodec.h"

#include <QFileIconProvider>
#include <QMimeDatabase>

#include <sys/stat.h>

ItemImages::ItemImages(QObject* parent)
    : QObject(parent)
{
}

ItemImages::~ItemImages() = default;

QIcon ItemImages::imageWithPreviewOfFileAtPath(const QString& path, QSize /*size*/, bool /*asIcon*/)
{
    if (path.isEmpty())
        return {};
    return fileIcon(path);
}

QIcon ItemImages::fileIcon(const QString& path)
{
    const QByteArray bytes = EncodeFileName(path);
    struct stat st;
    if (::lstat(bytes.constData(), &st) != 0)
        return QIcon::fromTheme(QStringLiteral("unknown"));
    if (S_ISLNK(st.st_mode))
        return QIcon::fromTheme(QStringLiteral("inode-symlink"), QIcon::fromTheme(QStringLiteral("emblem-symbolic-link")));
    if (S_ISDIR(st.st_mode))
        return QIcon::fromTheme(QStringLiteral("folder"), QFileIconProvider().icon(QFileIconProvider::Folder));
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(DisplayFileName(path), QMimeDatabase::MatchExtension);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return icon.isNull() ? QFileIconProvider().icon(QFileIconProvider::File) : icon;
}
