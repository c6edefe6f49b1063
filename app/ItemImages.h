#pragma once
// Pictures for the item table's Icon column: a thumbnail of the item's content from the
// thumbnail service, or its file icon from the icon theme.

#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>

class ItemImages : public QObject
{
    Q_OBJECT
public:
    explicit ItemImages(QObject* parent = nullptr);
    ~ItemImages() override;

    // The picture to show now for the item at path (lossless path text). Never waits for
    // a thumbnail: it answers with what it has and, when a thumbnail is still to be made,
    // makes it elsewhere and announces it with imageReady(path). Null for an empty path.
    QIcon imageWithPreviewOfFileAtPath(const QString& path, QSize size, bool asIcon);

    // The item's file icon from the icon theme (folder, link, or by content type).
    static QIcon fileIcon(const QString& path);

Q_SIGNALS:
    void imageReady(const QString& path);
};
