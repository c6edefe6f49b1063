#include "app/OrdinelloController.h"

#include "app/DirectoryItems.h"
#include "app/FolderChooser.h"
#include "app/ItemImages.h"
#include "app/NSTableViewExtensions.h"
#include "fsobjects/ObjectNames.h"
#include "platform/Bundle.h"
#include "platform/NameCodec.h"
#include "platform/ThumbnailService.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QSettings>
#include <QUrl>

OrdinelloController::OrdinelloController(QObject* parent)
    : QAbstractTableModel(parent)
    , m_chooser([](QWidget* window, QByteArray* path) { return ChooseFolder(window, "Choose directory", path); })
{
}

OrdinelloController::~OrdinelloController() = default;

QString OrdinelloController::columnIdentifier(int column)
{
    switch (column) {
    case IndexColumn: return QStringLiteral("Index");
    case IconColumn: return QStringLiteral("Icon");
    case NameColumn: return QStringLiteral("Name");
    default: return {};
    }
}

void OrdinelloController::awakeFromNib()
{
    m_directoryItems.reserve(50);
    m_folderPath = QString();
    if (fileTable)
        fileTable->setModel(this);
    LoadThumbnailService();
    m_itemImages = new ItemImages(this);
    connect(m_itemImages, &ItemImages::imageReady, this, [this](const QString& path) {
        const int row = int(m_directoryItems.indexOf(path));
        if (row >= 0)
            Q_EMIT dataChanged(index(row, IconColumn), index(row, IconColumn), {Qt::DecorationRole});
    });
}

void OrdinelloController::applicationWillFinishLaunching()
{
    QSettings(QStringLiteral("Ordinello"), QStringLiteral("Ordinello")).sync();
    if (fileListWindow) {
        fileListWindow->show();
        fileListWindow->raise();
        fileListWindow->activateWindow();
    }
}

void OrdinelloController::setFolderChooser(FolderChooser chooser)
{
    m_chooser = std::move(chooser);
}

void OrdinelloController::openHelpURL()
{
    QDesktopServices::openUrl(QUrl(Bundle::siteUrl() + QStringLiteral("/Utilities/Ordinello.html")));
}

QString OrdinelloController::HandleChooseDirectory()
{
    QByteArray chosen;
    if (!m_chooser || m_chooser(fileListWindow, &chosen) != noErr || chosen.isEmpty())
        return {};
    // The folder must exist as chosen; a link to a folder is followed here, since the
    // user chose what it points to.
    FSRef ref;
    if (FSPathMakeRef(chosen, &ref, FinalLink::Followed) != noErr)
        return {};
    return DecodeFileName(ref.path);
}

void OrdinelloController::selectDirectory()
{
    m_folderPath = HandleChooseDirectory();
    if (m_folderPath.isNull()) {
        Q_EMIT folderStateChanged(hasFolder());
        return;
    }
    selectDirectoryPath(EncodeFileName(m_folderPath));
}

void OrdinelloController::selectDirectoryPath(const QByteArray& path)
{
    FSRef ref;
    const OSErr made = FSPathMakeRef(path, &ref, FinalLink::Followed);
    m_folderPath = made == noErr ? DecodeFileName(ref.path) : DecodeFileName(path);

    beginResetModel();
    m_directoryItems.clear();
    endResetModel();
    // Pictures still queued for the previous folder's rows are of no use now.
    if (m_itemImages)
        m_itemImages->cancelPendingRequests();

    if (folderPathTextField)
        folderPathTextField->setText(QStringLiteral("Current Directory: %1").arg(DisplayFileName(m_folderPath)));
    if (made == noErr) {
        m_folderFSRef = ref;
        loadDirectoryItems();
    }
    if (fileListWindow) {
        fileListWindow->setWindowFilePath(DisplayFileName(m_folderPath));
        const qsizetype slash = m_folderPath.lastIndexOf(u'/');
        const QString last = m_folderPath.mid(slash + 1);
        fileListWindow->setWindowTitle(DisplayFileName(last.isEmpty() ? m_folderPath : last));
    }
    Q_EMIT folderStateChanged(hasFolder());
}

void OrdinelloController::loadDirectoryItems()
{
    startSpinner();
    beginResetModel();
    m_directoryItems.clear();
    m_listedIdentities.clear();
    QList<FSRef> refs;
    if (!m_folderFSRef.isNull())
        ListDirectoryItemRefs(m_folderFSRef, &refs, ListOrder::FileManager, nullptr, &m_directoryItems);
    m_listedIdentities.reserve(refs.size());
    for (qsizetype i = 0; i < refs.size(); ++i)
        m_listedIdentities.insert(m_directoryItems.at(i), std::move(refs[i]));
    endResetModel();
    stopSpinner();
}

void OrdinelloController::startSpinner()
{
    if (spinner)
        spinner->show();
}

void OrdinelloController::stopSpinner()
{
    if (spinner)
        spinner->hide();
}

QVariant OrdinelloController::objectValue(const QString& identifier, int row) const
{
    if (row < 0 || row >= m_directoryItems.size())
        return {};
    const QString& path = m_directoryItems.at(row);
    if (identifier == u"Name") {
        FSRef ref;
        if (FSPathMakeRef(EncodeFileName(path), &ref) != noErr)
            return {};
        const QString name = GetObjectDisplayName(&ref);
        return name.isNull() ? QVariant() : QVariant(name);
    }
    if (identifier == u"Icon")
        return m_itemImages ? m_itemImages->imageWithPreviewOfFileAtPath(path, QSize(512, 512), true) : QVariant();
    if (identifier == u"Index")
        return row + 1;
    return {};
}

int OrdinelloController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_directoryItems.size());
}

int OrdinelloController::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OrdinelloController::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    switch (index.column()) {
    case IndexColumn:
        if (role == Qt::DisplayRole)
            return objectValue(QStringLiteral("Index"), row);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case IconColumn:
        if (role == Qt::DecorationRole)
            return objectValue(QStringLiteral("Icon"), row);
        break;
    case NameColumn:
        if (role == Qt::DisplayRole)
            return objectValue(QStringLiteral("Name"), row);
        if (role == Qt::ToolTipRole)
            return DisplayFileName(m_directoryItems.at(row));
        break;
    }
    return {};
}

QVariant OrdinelloController::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case IndexColumn: return tr("#");
    case IconColumn: return tr("Preview");
    case NameColumn: return tr("Name");
    default: return {};
    }
}
