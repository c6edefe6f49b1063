// The listed folder moved or gone while the window shows it. The watcher (platform/
// FolderWatcher) holds the folder and finds where it went: the window follows a folder
// renamed or moved, with its title, label and represented file, and keeps the arranged
// order (the items are found again by identity); a folder deleted, put in the trash or
// out of reach is said, and the window is left without a folder.

#include "app/OrdinelloController.h"

#include "app/ItemImages.h"
#include "platform/NameCodec.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

void OrdinelloController::followFolderMoves()
{
    if (folderPathTextField)
        m_labelWithoutFolder = folderPathTextField->text();
    if (fileListWindow)
        m_titleWithoutFolder = fileListWindow->windowTitle();
    connect(m_watcher, &FolderWatcher::moved, this, &OrdinelloController::folderMoved);
    connect(m_watcher, &FolderWatcher::removed, this, &OrdinelloController::folderRemoved);
    // A folder above the listed one renamed tells the listed one nothing: it is looked for
    // when the user comes back to the program (and on reloading).
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && hasFolder() && !isRunning() && !FSIsFSRefValid(&m_folderFSRef))
            m_watcher->relocate();
    });
}

void OrdinelloController::folderMoved(const QByteArray& newPath)
{
    FSRef moved;
    if (FSPathMakeRef(newPath, &moved) != noErr || !moved.sameObjectAs(m_folderFSRef)) {
        folderRemoved(FolderWatcher::Loss::OutOfReach);
        return;
    }
    m_folderFSRef = std::move(moved);
    m_folderPath = DecodeFileName(m_folderFSRef.path);
    showFolderName();
    // The items are found again by identity under the new path: the arranged order, and
    // the selection, stay.
    reloadDirectoryItems();
}

void OrdinelloController::folderRemoved(FolderWatcher::Loss loss)
{
    if (!hasFolder())
        return;
    const QString folder = DisplayFileName(m_folderPath);
    const QString message = loss == FolderWatcher::Loss::Deleted ? tr("The folder “%1” was deleted.").arg(folder)
                          : loss == FolderWatcher::Loss::Trashed ? tr("The folder “%1” was moved to the trash.").arg(folder)
                                                                 : tr("The folder “%1” can no longer be found.").arg(folder);
    m_watcher->watch({});
    m_reloadTimer->stop();
    Q_EMIT folderChanged();
    // No folder first: what the window shows for the empty list is what it shows at start.
    m_folderFSRef = FSRef();
    m_folderPath = QString();
    m_directoryItems->setListing({}, QList<FSRef>());
    if (ItemImages* images = m_directoryItems->itemImages())
        images->cancelPendingRequests();
    showFolderName();
    Q_EMIT folderStateChanged(false);
    updateUndoState();
    Q_EMIT errorOccurred(message);
}

void OrdinelloController::showFolderName()
{
    if (folderPathTextField) {
        folderPathTextField->setText(hasFolder() ? tr("Current Directory: %1").arg(DisplayFileName(m_folderPath))
                                                 : m_labelWithoutFolder);
    }
    if (!fileListWindow)
        return;
    if (!hasFolder()) {
        fileListWindow->setWindowFilePath(QString());
        fileListWindow->setWindowTitle(m_titleWithoutFolder);
        return;
    }
    fileListWindow->setWindowFilePath(DisplayFileName(m_folderPath));
    const qsizetype slash = m_folderPath.lastIndexOf(u'/');
    const QString last = m_folderPath.mid(slash + 1);
    fileListWindow->setWindowTitle(DisplayFileName(last.isEmpty() ? m_folderPath : last));
}
