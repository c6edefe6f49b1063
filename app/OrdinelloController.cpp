#include "app/OrdinelloController.h"

#include "renaming/FolderRun.h"
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

#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QProgressBar>
#include <QSettings>
#include <QSet>
#include <QTimer>

#include <cerrno>

OrdinelloController::OrdinelloController(QObject* parent)
    : QObject(parent)
    , m_directoryItems(new DirectoryItemsModel(this))
    , m_chooser([this](QWidget* window, QByteArray* path) {
        return ChooseFolder(window, "Choose directory", path, m_folderFSRef.path);
    })
{
    // Dragged rows are the person's order: it is kept.
    connect(m_directoryItems, &DirectoryItemsModel::rowsGathered, this, &OrdinelloController::arrangedOrderChanged);
}

OrdinelloController::~OrdinelloController()
{
    leaveFolder();
}

void OrdinelloController::awakeFromNib()
{
    if (fileTable)
        fileTable->setModel(m_directoryItems);
    // Dragged rows stand selected where they were dropped. The selection is let go before
    // they move: it is replaced anyway, and a selection model keeps every selected row's
    // place through a move, which on thousands of rows costs more than the move.
    connect(m_directoryItems, &DirectoryItemsModel::rowsAboutToBeGathered, this, &OrdinelloController::clearSelection);
    connect(m_directoryItems, &DirectoryItemsModel::rowsGathered, this, [this](int first, int count) {
        if (QItemSelectionModel* selection = fileTable ? fileTable->selectionModel() : nullptr) {
            selection->select(QItemSelection(m_directoryItems->index(first, 0),
                                             m_directoryItems->index(first + count - 1, DirectoryItemsModel::ColumnCount - 1)),
                              QItemSelectionModel::ClearAndSelect);
            selection->setCurrentIndex(m_directoryItems->index(first, DirectoryItemsModel::NameColumn),
                                       QItemSelectionModel::NoUpdate);
        }
    });
    LoadThumbnailService();
    // Outside changes come in bursts (a copy of fifty photos): one reload after the
    // burst settles.
    m_watcher = new FolderWatcher(this);
    m_reloadTimer = new QTimer(this);
    m_reloadTimer->setSingleShot(true);
    m_reloadTimer->setInterval(300);
    connect(m_watcher, &FolderWatcher::changed, m_reloadTimer, qOverload<>(&QTimer::start));
    connect(m_reloadTimer, &QTimer::timeout, this, &OrdinelloController::reloadDirectoryItems);
    followFolderMoves();
    m_directoryItems->setItemImages(new ItemImages(m_directoryItems));
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
    // The manual ships with the program, in the user's language where there is one: it
    // opens without a network, in the desktop's browser or help viewer.
    const QByteArray page = Bundle::manualPage(QLocale().uiLanguages());
    if (page.isEmpty()) {
        Q_EMIT errorOccurred(tr("The manual is not installed: %1 has no help folder.")
                                 .arg(DisplayFileName(DecodeFileName(Bundle::dataFolder()))));
        return;
    }
    QString reason;
    if (LaunchDefaultForPath(page, &reason) != noErr)
        Q_EMIT errorOccurred(tr("No application could open the manual “%1”: %2\n\nOpen it in a web browser.")
                                 .arg(DisplayFileName(DecodeFileName(page)), reason));
}

QString OrdinelloController::HandleChooseDirectory()
{
    QByteArray chosen;
    if (!m_chooser || m_chooser(fileListWindow, &chosen) != noErr || chosen.isEmpty())
        return {};
    return DecodeFileName(chosen);   // lossless: names that are not UTF-8 come back whole
}

void OrdinelloController::selectDirectory()
{
    // A cancelled choice changes nothing: the folder listed before, if any, stays chosen.
    const QString chosen = HandleChooseDirectory();
    if (chosen.isNull()) {
        Q_EMIT folderStateChanged(hasFolder());
        return;
    }
    FSRef again;
    if (hasFolder() && CheckFolder(EncodeFileName(chosen), &again) == noErr && again.sameObjectAs(m_folderFSRef))
        startOverInFileManagerOrder();
    selectDirectoryPath(EncodeFileName(chosen));
}

void OrdinelloController::selectDirectoryPath(const QByteArray& path)
{
    FSRef ref;
    int error = 0;
    if (CheckFolder(path, &ref, &error) != noErr) {
        Q_EMIT errorOccurred(tr("“%1” cannot be listed: %2.").arg(DisplayFileName(DecodeFileName(path)), DescribeErrno(error)));
        Q_EMIT folderStateChanged(hasFolder());
        return;
    }
    leaveFolder();
    Q_EMIT folderChanged();

    m_directoryItems->setListing({}, QList<FSRef>());
    // Pictures still queued for the previous folder's rows are of no use now.
    if (ItemImages* images = m_directoryItems->itemImages())
        images->cancelPendingRequests();

    // The reference and its text change together: they always name the same folder.
    m_folderFSRef = std::move(ref);
    m_folderPath = DecodeFileName(m_folderFSRef.path);
    if (m_watcher)
        m_watcher->watch(m_folderFSRef.path);
    showFolderName();
    loadDirectoryItems();
    restoreArrangedOrder();
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
    m_directoryItems->setListing(std::move(paths), std::move(refs));
    stopSpinner();
}

void OrdinelloController::reloadDirectoryItems()
{
    // A run's own renames: the run lists the folder when it ends.
    if (!hasFolder() || isRunning())
        return;
    if (!FSIsFSRefValid(&m_folderFSRef)) {
        // The folder itself, or one above it, was moved or deleted: the watcher finds out
        // where it went, and the window follows it (see OrdinelloController_Folder.cpp).
        if (!m_watcher || !m_watcher->relocate())
            m_directoryItems->setListing({}, QList<FSRef>());
        return;
    }
    QStringList freshPaths;
    const QList<FSRef> freshRefs = freshListing(&freshPaths);
    // Selected items stay selected, by identity, under their new names too.
    const auto key = [](const FSRef& ref) { return qMakePair(quint64(ref.device), quint64(ref.inode)); };
    QSet<QPair<quint64, quint64>> selectedIdentities;
    for (int row : selectedRows()) {
        if (const FSRef ref = m_directoryItems->identity(row); !ref.isNull())
            selectedIdentities.insert(key(ref));
    }
    if (!m_directoryItems->mergeListing(freshPaths, freshRefs))
        return;
    QList<int> reselect;
    for (int row = 0; row < m_directoryItems->rowCount(); ++row) {
        const FSRef ref = m_directoryItems->identity(row);
        if (!ref.isNull() && selectedIdentities.contains(key(ref)))
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
