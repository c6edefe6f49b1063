#include "app/MainWindow.h"

#include "app/FolderOpenEvents.h"
#include "app/ItemImages.h"
#include "app/NSTableViewExtensions.h"
#include "app/OrdinelloController.h"
#include "renaming/Preferences.h"
#include "app/PreferencesWindow.h"
#include "app/RenameReportView.h"
#include "app/SoftwareUpdateWindow.h"
#include "media/DockBadge.h"
#include "platform/Bundle.h"
#include "platform/NameCodec.h"
#include "platform/ProgramSettings.h"
#include "update/SoftwareUpdateController.h"

#include "ui_MainWindow.h"

#include <algorithm>
#include <QHeaderView>
#include <QMenu>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include <climits>
#include <QSettings>
#include <QStatusBar>

MainWindow::MainWindow(SoftwareUpdateWindow* softwareUpdate, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::MainWindow>())
{
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(Bundle::identifier())));

    m_controller = new OrdinelloController(this);
    m_controller->fileTable = m_ui->fileTable;
    m_controller->folderPathTextField = m_ui->folderPathTextField;
    m_controller->fileListWindow = this;
    m_controller->spinner = m_ui->spinner;
    // The spinner keeps its place while hidden: the folder's label and the table below it
    // do not jump when work starts and ends.
    QSizePolicy keepPlace = m_ui->spinner->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_ui->spinner->setSizePolicy(keepPlace);
    m_controller->awakeFromNib();
    // Folders handed to the running program arrive at the application object.
    new FolderOpenEvents(m_controller, this);

    m_softwareUpdate = softwareUpdate;
    if (!m_softwareUpdate) {
        m_ownUpdateService = std::make_unique<SoftwareUpdateController>();
        m_ownUpdateWindow = std::make_unique<SoftwareUpdateWindow>(m_ownUpdateService.get());
        m_ownUpdateWindow->awakeFromNib();
        m_softwareUpdate = m_ownUpdateWindow.get();
    }

    ItemTableView* table = m_ui->fileTable;
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSectionsClickable(false);
    // The Index column is as wide as its largest number, measured once per listing: fitted
    // to its contents by the header, it would lay out a thousand numbers after every move.
    table->horizontalHeader()->setSectionResizeMode(DirectoryItemsModel::IndexColumn, QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(DirectoryItemsModel::IconColumn, QHeaderView::Fixed);
    setThumbnailSize(ThumbnailSize());

    auto* menu = new QMenu(this);
    menu->addAction(m_ui->actionOpen);
    menu->addAction(m_ui->actionShowInFileManager);
    menu->addSeparator();
    menu->addAction(m_ui->actionMoveUp);
    menu->addAction(m_ui->actionMoveDown);
    menu->addAction(m_ui->actionMoveToTop);
    menu->addAction(m_ui->actionMoveToBottom);
    table->setContextMenu(menu);

    // How many items are listed, at the right of the status bar.
    m_itemCount = new QLabel(statusBar());
    statusBar()->addPermanentWidget(m_itemCount);

    connectActions();
    connectUndo();
    connectArrange();
    updateActions();
    fitIndexColumn();

    // The window comes back where and as large as the user left it.
    restoreGeometry(ProgramSettings()
                        .value(QStringLiteral("MainWindowGeometry")).toByteArray());

    // Each run's account: how it ended in the status bar; the items it could not rename,
    // and why, in a message over the window and behind a status-bar button.
    // The account belongs to one run in one folder: a new folder or a new run clears it.
    auto* renameReport = new RenameReportView(statusBar());
    connect(m_controller, &OrdinelloController::runReported, renameReport, [this, renameReport](const RunAccount& account) {
        renameReport->showRun(DisplayFileName(m_controller->folderPath()), account);
    });
    connect(m_controller, &OrdinelloController::runStarted, renameReport, &RenameReportView::clear);
    connect(m_controller, &OrdinelloController::folderChanged, renameReport, &RenameReportView::clear);

    // What could not be done is said in the window, never only on standard error.
    connect(m_controller, &OrdinelloController::errorOccurred, this, &MainWindow::showError);
}

void MainWindow::showError(const QString& message)
{
    // Window-modal and opened without a nested event loop: the window stays as it was
    // behind it, and tests can look at it.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

MainWindow::~MainWindow() = default;

SoftwareUpdateController* MainWindow::softwareUpdateController() const
{
    return m_softwareUpdate->service();
}

void MainWindow::setThumbnailSize(int size)
{
    ItemTableView* table = m_ui->fileTable;
    table->setIconSize(QSize(size, size));
    table->verticalHeader()->setDefaultSectionSize(size + 8);
    // Wide enough for the pictures and for the column's title in every language.
    table->horizontalHeader()->resizeSection(
        DirectoryItemsModel::IconColumn,
        std::max(size + 16, table->horizontalHeader()->sectionSizeHint(DirectoryItemsModel::IconColumn)));
    // Thumbnails are made anew at the new size as the rows are drawn.
    if (ItemImages* images = m_controller->itemImages())
        images->setDisplaySize(QSize(size, size));
    table->viewport()->update();
    m_ui->actionZoomIn->setEnabled(size < kThumbnailSizes.back());
    m_ui->actionZoomOut->setEnabled(size > kThumbnailSizes.front());
    m_ui->actionNormalSize->setEnabled(size != kNormalThumbnailSize);
}

ItemTableView* MainWindow::fileTable() const
{
    return m_ui->fileTable;
}

void MainWindow::connectActions()
{
    OrdinelloController* c = m_controller;
    connect(m_ui->actionChooseFolder, &QAction::triggered, c, &OrdinelloController::selectDirectory);
    connect(m_ui->actionRenameItems, &QAction::triggered, c, &OrdinelloController::renameItems);
    connect(m_ui->actionRemovePrefixes, &QAction::triggered, c, &OrdinelloController::removeFilenamePrefixes);
    connect(m_ui->actionHelp, &QAction::triggered, c, &OrdinelloController::openHelpURL);
    connect(m_ui->actionOpen, &QAction::triggered, c, &OrdinelloController::openSelectedItems);
    connect(m_ui->actionShowInFileManager, &QAction::triggered, c, &OrdinelloController::showSelectedItemsInFileManager);
    connect(m_ui->actionMoveUp, &QAction::triggered, c, [c] { c->moveSelectedRows(OrdinelloController::Move::Up); });
    connect(m_ui->actionMoveDown, &QAction::triggered, c, [c] { c->moveSelectedRows(OrdinelloController::Move::Down); });
    connect(m_ui->actionMoveToTop, &QAction::triggered, c, [c] { c->moveSelectedRows(OrdinelloController::Move::ToTop); });
    connect(m_ui->actionMoveToBottom, &QAction::triggered, c, [c] { c->moveSelectedRows(OrdinelloController::Move::ToBottom); });
    connect(m_ui->actionPreferences, &QAction::triggered, this, [this] { ShowPreferencesWindow(this); });
    connect(m_ui->actionSoftwareUpdate, &QAction::triggered, m_softwareUpdate, &SoftwareUpdateWindow::showWindow);
    // Zoom In takes Ctrl++ and Ctrl+= (the same key without Shift on most layouts).
    m_ui->actionZoomIn->setShortcuts(QKeySequence::ZoomIn);
    m_ui->actionZoomOut->setShortcuts(QKeySequence::ZoomOut);
    const auto zoom = [this](int steps) {
        const int size = steps == 0 ? kNormalThumbnailSize : SteppedThumbnailSize(m_ui->fileTable->iconSize().width(), steps);
        SetThumbnailSize(size);
        setThumbnailSize(size);
    };
    connect(m_ui->actionZoomIn, &QAction::triggered, this, [zoom] { zoom(1); });
    connect(m_ui->actionZoomOut, &QAction::triggered, this, [zoom] { zoom(-1); });
    connect(m_ui->actionNormalSize, &QAction::triggered, this, [zoom] { zoom(0); });
    connect(m_ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    connect(m_ui->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->actionReload, &QAction::triggered, c, &OrdinelloController::reloadDirectoryItems);

    connect(c, &OrdinelloController::folderStateChanged, this, &MainWindow::updateActions);
    connect(c->model(), &QAbstractItemModel::modelReset, this, &MainWindow::updateActions);
    connect(c->model(), &QAbstractItemModel::modelReset, this, &MainWindow::updateItemCount);
    connect(c->model(), &QAbstractItemModel::modelReset, this, &MainWindow::fitIndexColumn);
    // Moves offered follow where the selected rows stand.
    connect(c->model(), &QAbstractItemModel::layoutChanged, this, &MainWindow::updateActions);
    connect(c->model(), &QAbstractItemModel::rowsMoved, this, &MainWindow::updateActions);
    connect(m_ui->fileTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::updateActions);
    connect(m_ui->fileTable, &QAbstractItemView::doubleClicked, c, &OrdinelloController::openSelectedItems);
}

void MainWindow::updateActions()
{
    const bool listed = m_controller->hasFolder() && !m_controller->isRunning();
    const int count = m_controller->model()->rowCount();
    const bool items = listed && count > 0;
    m_ui->actionRenameItems->setEnabled(items);
    m_ui->actionRemovePrefixes->setEnabled(items);
    m_ui->actionReload->setEnabled(listed);
    for (QAction* arrange : m_ui->menuArrangeBy->actions())
        arrange->setEnabled(items);
    const QList<QPair<int, int>> spans = m_controller->selectedRowSpans();
    const bool selected = !spans.isEmpty();
    m_ui->actionOpen->setEnabled(selected);
    m_ui->actionShowInFileManager->setEnabled(selected);
    // A move is offered only when it would move something: not for a block at the top
    // (up) or at the bottom (down).
    const bool blockAtTop = selected && spans.size() == 1 && spans.first().first == 0;
    const bool blockAtBottom = selected && spans.size() == 1 && spans.first().second == count - 1;
    m_ui->actionMoveUp->setEnabled(selected && !blockAtTop);
    m_ui->actionMoveToTop->setEnabled(selected && !blockAtTop);
    m_ui->actionMoveDown->setEnabled(selected && !blockAtBottom);
    m_ui->actionMoveToBottom->setEnabled(selected && !blockAtBottom);
}

void MainWindow::fitIndexColumn()
{
    ItemTableView* table = m_ui->fileTable;
    QAbstractItemModel* model = m_controller->model();
    const int rows = model->rowCount();
    int width = table->horizontalHeader()->sectionSizeHint(DirectoryItemsModel::IndexColumn);
    // The last row has the most digits.
    if (rows > 0)
        width = std::max(width, table->sizeHintForIndex(model->index(rows - 1, DirectoryItemsModel::IndexColumn)).width());
    table->horizontalHeader()->resizeSection(DirectoryItemsModel::IndexColumn, width);
}

void MainWindow::updateItemCount()
{
    const int count = m_controller->model()->rowCount();
    if (!m_controller->hasFolder())
        m_itemCount->clear();
    else
        m_itemCount->setText(count == 1 ? tr("1 item") : tr("%1 items").arg(QLocale().toString(count)));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_controller->keepArrangedOrder();
    ProgramSettings()
        .setValue(QStringLiteral("MainWindowGeometry"), saveGeometry());
    QMainWindow::closeEvent(event);
}

void MainWindow::applicationWillFinishLaunching()
{
    m_controller->applicationWillFinishLaunching();
    m_controller->offerInterruptedRuns();
}

void MainWindow::connectUndo()
{
    // Edit ▸ Undo, first in the menu; its text names the run it reverts.
    auto* undo = new QAction(QCoreApplication::translate("LocalizedStrings", "Undo"), this);
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setEnabled(false);
    QAction* first = m_ui->menuEdit->actions().value(0);
    m_ui->menuEdit->insertAction(first, undo);
    m_ui->menuEdit->insertSeparator(first);
    connect(undo, &QAction::triggered, m_controller, &OrdinelloController::undoLastRun);

    // While a run goes on: how far it is, and Cancel, at the left of the status bar.
    auto* progress = new QProgressBar(statusBar());
    progress->setObjectName(QStringLiteral("runProgress"));
    progress->setTextVisible(true);
    progress->setMinimumWidth(260);
    auto* cancel = new QPushButton(QCoreApplication::translate("LocalizedStrings", "Cancel"), statusBar());
    cancel->setObjectName(QStringLiteral("cancelRun"));
    statusBar()->addWidget(progress);
    statusBar()->addWidget(cancel);
    progress->hide();
    cancel->hide();
    connect(cancel, &QPushButton::clicked, m_controller, &OrdinelloController::cancelRun);
    // Escape cancels as the button does, at once, and only while a run goes: otherwise
    // the key is the table's and the dialogs' own.
    auto* cancelKey = new QAction(this);
    cancelKey->setObjectName(QStringLiteral("actionCancelRun"));
    cancelKey->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelKey->setEnabled(false);
    addAction(cancelKey);
    connect(cancelKey, &QAction::triggered, m_controller, &OrdinelloController::cancelRun);
    connect(m_controller, &OrdinelloController::runningChanged, cancelKey, &QAction::setEnabled);
    cancel->setToolTip(QCoreApplication::translate("LocalizedStrings", "Stop the run after the current item (Esc)"));
    connect(m_controller, &OrdinelloController::runProgress, progress,
            [progress](qsizetype done, qsizetype total, const QString& text) {
                progress->setRange(0, int(std::min<qsizetype>(total, INT_MAX)));
                progress->setValue(int(std::min<qsizetype>(done, INT_MAX)));
                progress->setFormat(text);
                // The same progress on the window icon and the dock's launcher entry.
                DrawItemsProgressBadge(long(done), long(total));
            });
    connect(m_controller, &OrdinelloController::runningChanged, this, [this, progress, cancel, undo](bool running) {
        progress->setVisible(running);
        cancel->setVisible(running);
        progress->setRange(0, 0);
        progress->setFormat(QString());
        if (running)
            undo->setEnabled(false);
        else
            RestoreApplicationDockTile();
        updateActions();
    });
    connect(m_controller, &OrdinelloController::undoStateChanged, undo, [undo](bool available, const QString& text) {
        undo->setEnabled(available);
        undo->setText(text);
    });
    connect(m_controller, &OrdinelloController::runRefused, this, &MainWindow::showError);
    connect(m_controller, &OrdinelloController::interruptedRunFound, this,
            [this](const QByteArray& folderPath, const QString& message) {
                auto* box = new QMessageBox(QMessageBox::Question, windowTitle(), message, QMessageBox::NoButton, this);
                box->setObjectName(QStringLiteral("interruptedRunBox"));
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->setWindowModality(Qt::WindowModal);
                QPushButton* undoButton =
                    box->addButton(QCoreApplication::translate("LocalizedStrings", "Undo"), QMessageBox::AcceptRole);
                box->addButton(QCoreApplication::translate("LocalizedStrings", "Keep the Names"), QMessageBox::RejectRole);
                box->setDefaultButton(undoButton);
                connect(box, &QMessageBox::buttonClicked, this, [this, undoButton, folderPath](QAbstractButton* button) {
                    if (button == undoButton)
                        m_controller->undoInterruptedRun(folderPath);
                });
                box->open();
            });
}

void MainWindow::connectArrange()
{
    // View ▸ Arrange By: orders to start from; the rows can be dragged as before after it.
    using A = OrdinelloController::Arrangement;
    const QList<QPair<QAction*, A>> arrangements = {{m_ui->actionFileManagerOrder, A::FileManagerOrder},
                                                    {m_ui->actionArrangeByDateModified, A::DateModified},
                                                    {m_ui->actionArrangeByDateTaken, A::DateTaken},
                                                    {m_ui->actionReverseOrder, A::ReverseOrder}};
    for (const auto& [action, arrangement] : arrangements)
        connect(action, &QAction::triggered, m_controller, [this, a = arrangement] { m_controller->arrangeBy(a); });
    // The line gives way to a run's progress and goes with its folder.
    connect(m_controller, &OrdinelloController::statusMessage, this, [this](const QString& text) {
        statusBar()->showMessage(text, 15000);
    });
    connect(m_controller, &OrdinelloController::runningChanged, statusBar(), &QStatusBar::clearMessage);
    connect(m_controller, &OrdinelloController::folderChanged, statusBar(), &QStatusBar::clearMessage);
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, tr("About Ordinello"),
                       tr("<h3>Ordinello %1</h3><p>Put a folder's items in the order you choose, then "
                          "number them so every name-sorted view keeps that order.</p>")
                           .arg(Bundle::shortVersionString()));
}
