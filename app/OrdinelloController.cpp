#include "app/OrdinelloController.h"

#include "app/DirectoryItems.h"
#include "app/FolderChooser.h"
#include "app/ItemImages.h"
#include "app/NSTableViewExtensions.h"
#include "fsobjects/ObjectNames.h"
#include "platform/Bundle.h"
#include "platform/FolderWatcher.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"
#include "platform/ProgramSettings.h"
#include "platform/ThumbnailService.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QSettings>
#include <QSet>
#include <QTimer>

#include <cerrno>

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
    // Outside changes come in bursts (a copy of fifty photos): one reload after the
    // burst settles.
    m_watcher = new FolderWatcher(this);
    m_reloadTimer = new QTimer(this);
    m_reloadTimer->setSingleShot(true);
    m_reloadTimer->setInterval(300);
    connect(m_watcher, &FolderWatcher::changed, m_reloadTimer, qOverload<>(&QTimer::start));
    connect(m_reloadTimer, &QTimer::timeout, this, &OrdinelloController::reloadDirectoryItems);
    m_itemImages = new ItemImages(this);
    connect(m_itemImages, &ItemImages::imageReady, this, [this](const QString& path) {
        const int row = int(m_directoryItems.indexOf(path));
        if (row >= 0)
            Q_EMIT dataChanged(index(row, IconColumn), index(row, IconColumn), {Qt::DecorationRole});
    });
}

void OrdinelloController::applicationWillFinishLaunching()
{
    ProgramSettings().sync();
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
    const QString address = Bundle::siteUrl() + QStringLiteral("/Utilities/Ordinello.html");
    QString reason;
    if (LaunchDefaultForUri(address.toUtf8(), &reason) != noErr)
        Q_EMIT errorOccurred(tr("The help page %1 could not be opened: %2").arg(address, reason));
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
    int error = 0;
    OSErr made = FSPathMakeRef(path, &ref, FinalLink::Followed, &error);
    if (made == noErr && !ref.isDirectory()) {
        made = errFSNotAFolder;
        error = ENOTDIR;
    }
    if (made != noErr) {
        Q_EMIT errorOccurred(tr("“%1” cannot be listed: %2.").arg(DisplayFileName(DecodeFileName(path)), DescribeErrno(error)));
        m_folderPath = hasFolder() ? DecodeFileName(m_folderFSRef.path) : QString();
        Q_EMIT folderStateChanged(hasFolder());
        return;
    }
    m_folderPath = DecodeFileName(ref.path);
    Q_EMIT folderChanged();

    beginResetModel();
    m_directoryItems.clear();
    endResetModel();
    // Pictures still queued for the previous folder's rows are of no use now.
    if (m_itemImages)
        m_itemImages->cancelPendingRequests();

    if (folderPathTextField)
        folderPathTextField->setText(tr("Current Directory: %1").arg(DisplayFileName(m_folderPath)));
    m_folderFSRef = ref;
    if (m_watcher)
        m_watcher->watch(m_folderFSRef.path);
    loadDirectoryItems();
    if (fileListWindow) {
        fileListWindow->setWindowFilePath(DisplayFileName(m_folderPath));
        const qsizetype slash = m_folderPath.lastIndexOf(u'/');
        const QString last = m_folderPath.mid(slash + 1);
        fileListWindow->setWindowTitle(DisplayFileName(last.isEmpty() ? m_folderPath : last));
    }
    Q_EMIT folderStateChanged(hasFolder());
    updateUndoState();
}

QList<FSRef> OrdinelloController::freshListing(QStringList* paths, int* error) const
{
    QList<FSRef> refs;
    paths->clear();
    if (!m_folderFSRef.isNull())
        ListDirectoryItemRefs(m_folderFSRef, &refs, ListOrder::FileManager, error, paths);
    return refs;
}

void OrdinelloController::setListing(QStringList paths, QList<FSRef> refs)
{
    m_directoryItems = std::move(paths);
    m_listedIdentities.clear();
    m_listedIdentities.reserve(refs.size());
    for (qsizetype i = 0; i < refs.size(); ++i)
        m_listedIdentities.insert(m_directoryItems.at(i), std::move(refs[i]));
}

void OrdinelloController::loadDirectoryItems()
{
    startSpinner();
    if (m_reloadTimer)
        m_reloadTimer->stop();   // this reading is at least as fresh
    QStringList paths;
    int error = 0;
    QList<FSRef> refs = freshListing(&paths, &error);
    if (error != 0)
        Q_EMIT errorOccurred(tr("The items of “%1” cannot be listed: %2.").arg(DisplayFileName(m_folderPath), DescribeErrno(error)));
    beginResetModel();
    setListing(std::move(paths), std::move(refs));
    endResetModel();
    stopSpinner();
}

void OrdinelloController::reloadDirectoryItems()
{
    // A run's own renames: the run lists the folder when it ends.
    if (!hasFolder() || isRunning())
        return;
    if (!FSIsFSRefValid(&m_folderFSRef)) {
        // The folder itself was moved or deleted: what is listed is gone with it.
        beginResetModel();
        setListing({}, {});
        endResetModel();
        return;
    }
    QStringList freshPaths;
    QList<FSRef> freshRefs = freshListing(&freshPaths);

    // Each listed row finds its item again by identity (renamed outside: same object,
    // new name), else by path.
    const auto key = [](const FSRef& ref) { return qMakePair(quint64(ref.device), quint64(ref.inode)); };
    QHash<QPair<quint64, quint64>, qsizetype> freshByIdentity;
    QHash<QString, qsizetype> freshByPath;
    freshByIdentity.reserve(freshRefs.size());
    freshByPath.reserve(freshPaths.size());
    for (qsizetype i = 0; i < freshRefs.size(); ++i) {
        freshByIdentity.insert(key(freshRefs[i]), i);
        freshByPath.insert(freshPaths[i], i);
    }
    QList<bool> kept(freshRefs.size(), false);
    QList<qsizetype> order;   // fresh indexes in the new row order
    order.reserve(freshRefs.size());
    for (const QString& path : std::as_const(m_directoryItems)) {
        qsizetype found = -1;
        const FSRef listed = m_listedIdentities.value(path);
        if (!listed.isNull()) {
            const auto it = freshByIdentity.constFind(key(listed));
            if (it != freshByIdentity.constEnd() && freshRefs[*it].sameObjectAs(listed))
                found = *it;
        }
        if (found < 0)
            found = freshByPath.value(path, -1);
        if (found >= 0 && !kept[found]) {
            kept[found] = true;
            order.append(found);
        }
    }
    // New items follow the kept item that precedes them in the file manager's order
    // (those before every kept item go first), in that order among themselves.
    QHash<qsizetype, QList<qsizetype>> newAfter;   // kept fresh index (-1: the top) -> new ones
    qsizetype anchor = -1;
    for (qsizetype i = 0; i < freshRefs.size(); ++i) {
        if (kept[i])
            anchor = i;
        else
            newAfter[anchor].append(i);
    }
    QList<qsizetype> rows = newAfter.value(-1);
    rows.reserve(freshRefs.size());
    for (qsizetype i : std::as_const(order)) {
        rows.append(i);
        rows.append(newAfter.value(i));
    }

    QStringList selected = pathsForRows(selectedRows());
    QStringList paths;
    QList<FSRef> refs;
    paths.reserve(rows.size());
    refs.reserve(rows.size());
    for (qsizetype i : std::as_const(rows)) {
        paths.append(freshPaths[i]);
        refs.append(freshRefs[i]);
    }
    if (paths == m_directoryItems)
        return;   // nothing a row shows has changed
    // Selected items stay selected, by identity, under their new names too.
    QSet<QPair<quint64, quint64>> selectedIdentities;
    for (const QString& path : std::as_const(selected))
        selectedIdentities.insert(key(m_listedIdentities.value(path)));
    beginResetModel();
    setListing(std::move(paths), std::move(refs));
    endResetModel();
    QList<int> reselect;
    for (int row = 0; row < m_directoryItems.size(); ++row) {
        if (selectedIdentities.contains(key(m_listedIdentities.value(m_directoryItems.at(row)))))
            reselect.append(row);
    }
    selectRows(reselect);
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
        // The name the item was listed with: a row never goes blank because the item was
        // renamed or removed outside since (the folder is re-read soon after).
        return DisplayFileName(QStringView(path).sliced(path.lastIndexOf(u'/') + 1));
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
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == NameColumn)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);   // as the names stand
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case IndexColumn: return tr("#");
    case IconColumn: return tr("Preview");
    case NameColumn: return tr("Name");
    default: return {};
    }
}
