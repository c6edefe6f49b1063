#pragma once
// The application's controller: it owns the chosen folder and the item list (the item
// table's model, app/DirectoryItemsModel), and drives the window: its title, the folder's
// label, the table's selection and the spinner.

#include "app/DirectoryItemsModel.h"
#include "renaming/RenameJournal.h"
#include "app/RenameTask.h"
#include "app/RunAccount.h"
#include "platform/Files.h"
#include "platform/FolderWatcher.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QMainWindow;
class QWidget;
class QProgressBar;
struct RenameReport;
class ItemImages;
class QTimer;
struct PlannedRename;
struct RunChoice;
class ItemTableView;

class OrdinelloController : public QObject
{
    Q_OBJECT
public:
    // Shows the folder chooser; fills *chosenPath (bytes) and returns noErr when a folder
    // was chosen. Replaceable so tests can play the user.
    using FolderChooser = std::function<OSErr(QWidget* parent, QByteArray* chosenPath)>;

    explicit OrdinelloController(QObject* parent = nullptr);
    ~OrdinelloController() override;

    // Outlets, set by the main window; not owned.
    ItemTableView* fileTable = nullptr;
    QLabel* folderPathTextField = nullptr;
    QMainWindow* fileListWindow = nullptr;
    QProgressBar* spinner = nullptr;

    void awakeFromNib();
    void applicationWillFinishLaunching();
    void setFolderChooser(FolderChooser chooser);

    // Chooses a folder as if picked in the chooser (command line, "Open With").
    // A path that names no folder is refused with errorOccurred; the folder listed
    // before, if any, stays.
    void selectDirectoryPath(const QByteArray& path);
    // Reads the folder afresh in the file manager's order.
    void loadDirectoryItems();
    // Reads the folder afresh but keeps the user's arranged order: items still there
    // (also when renamed outside the program) keep their places, new items stand where
    // the file manager's order puts them among their neighbours. The folder being
    // watched, this runs shortly after every outside change.
    void reloadDirectoryItems();
    QString HandleChooseDirectory();

    // The item list, row by row; the table's model.
    DirectoryItemsModel* model() const { return m_directoryItems; }
    const QStringList& directoryItems() const { return m_directoryItems->paths(); }
    const QString& folderPath() const { return m_folderPath; }
    const FSRef& folderRef() const { return m_folderFSRef; }
    bool hasFolder() const { return !m_folderFSRef.isNull(); }
    ItemImages* itemImages() const { return m_directoryItems->itemImages(); }

    // Keyboard and menu moves of the selected rows; they stay selected.
    enum class Move { Up, Down, ToTop, ToBottom };
    void moveSelectedRows(Move move);
    // The selected rows, ascending; and the same as spans of adjacent rows (first, last).
    QList<int> selectedRows() const;
    QList<QPair<int, int>> selectedRowSpans() const;

public Q_SLOTS:
    void openHelpURL();
    void selectDirectory();
    void renameItems();
    void removeFilenamePrefixes();
    void openSelectedItems();
    void showSelectedItemsInFileManager();
    // Reverts the last numbering or prefix removal in the listed folder (see app/UndoRun).
    void undoLastRun();
    // Stops the run going on after its current item.
    void cancelRun();

public:
    // --- runs (see OrdinelloController_Renaming.cpp)
    // Shows the planned renames and calls confirmed() with the user's choice when they agree (the
    // proposed choice is the default one). Replaceable so
    // tests can play the user; the default is the preview sheet.
    using RunConfirmer = std::function<void(QWidget* parent, RunKind kind, const QList<PlannedRename>& plan,
                                            const RunChoice& proposed, std::function<void(const RunChoice&)> confirmed)>;
    void setRunConfirmer(RunConfirmer confirmer);
    // A run (or an undo) is going on; another cannot start until it ends.
    bool isRunning() const;

    // --- undo (see OrdinelloController_Undo.cpp)
    // The undo command's text for the listed folder's last run ("Undo Numbering of 12 Items").
    const QString& undoText() const { return m_undoText; }
    // Reads the listed folder's last journaled run and tells undoStateChanged; offers a run
    // that was interrupted (interruptedRunFound), once per session.
    void updateUndoState();
    // At start: offers every run, in any folder, that was interrupted.
    void offerInterruptedRuns();
    // The user accepted the offer: lists that folder when it is not listed, then undoes.
    void undoInterruptedRun(const QByteArray& folderPath);

public:
    // --- the arranged order (see OrdinelloController_Arrange.cpp)
    // The person's order of a folder is kept until the folder is numbered (see
    // renaming/ArrangedOrder) and comes back when the folder is listed again.
    enum class Arrangement { FileManagerOrder, DateModified, DateTaken, ReverseOrder };
    // Puts the rows in that order (Reverse: the current order reversed; dates: earliest
    // first, equal dates in the file manager's order). Dates are read off the GUI thread,
    // told like a run (runningChanged, runProgress) and stopped by cancelRun.
    void arrangeBy(Arrangement arrangement);
    // Keeps the order now when a change is waiting to be kept (the window closes, another
    // folder is chosen), and returns once it is on disk.
    void keepArrangedOrder();

public:
    // --- numbering: the width rule and the runs' report (see OrdinelloController_Renaming.cpp)
    int automaticNumberLength() const;

private:
    void finishRun(const RenameTask::Outcome& outcome);

Q_SIGNALS:
    // A folder was chosen (or the choice ended without one): actions that need a listed
    // folder follow hasFolder().
    void folderStateChanged(bool hasFolder);
    // The chosen folder changed (another folder, or the same one chosen again).
    void folderChanged();
    // A renaming or prefix-removal run is about to start.
    void runStarted();
    // A renaming or prefix-removal run ended; names (lossless) and reasons of the items
    // it could not rename, side by side.
    void runFinished(int handled, const QStringList& names, const QStringList& reasons);
    // The same run's whole account: how far it went, what it left and why.
    void runReported(const RunAccount& account);
    // Something the user asked for could not be done (a folder that cannot be listed, an
    // item no application opens): the message says what and why, for the window to show.
    void errorOccurred(const QString& message);
    // A run or an undo was refused as a whole and renamed nothing (journal not writable
    // or damaged); the message says why.
    void runRefused(const QString& message);
    // A run started (true) or ended (false); while it goes, runProgress tells how far it is.
    void runningChanged(bool running);
    void runProgress(qsizetype done, qsizetype total, const QString& text);
    // Whether the listed folder has a run to undo, and the command's text.
    void undoStateChanged(bool available, const QString& text);
    // A run in the folder was interrupted; the message asks whether to undo it.
    void interruptedRunFound(const QByteArray& folderPath, const QString& message);
    // A line for the status bar, such as "Your arranged order was restored".
    void statusMessage(const QString& text);

private:
    void startSpinner();
    void stopSpinner();
    void clearSelection();
    void selectRows(const QList<int>& rows);
    QStringList pathsForRows(const QList<int>& rows) const;

    QList<FSRef> freshListing(QStringList* paths, int* error = nullptr) const;

    DirectoryItemsModel* m_directoryItems;
    FolderWatcher* m_watcher = nullptr;
    QTimer* m_reloadTimer = nullptr;
    // The chosen folder, as a reference and as (lossless) text; both change together, on
    // each successful choice, and are null until the first one.
    QString m_folderPath;
    FSRef m_folderFSRef;
    FolderChooser m_chooser;
    void confirmAndRun(RunKind kind, const NumberingSettings& settings);
    void startRun(std::function<RenameTask::Outcome(const RenameRun&)> work, const char* progressText);
    void runEnded();
    RunConfirmer m_confirmer;
    RenameTask* m_task = nullptr;
    bool m_planning = false;        // the plan for the preview is being made
    const char* m_progressText = "";
    FSRef m_runFolder;
    QString m_undoText;
    QSet<QByteArray> m_offeredJournals;     // interrupted runs already offered this session

    // The arranged order: changes are kept after a pause, and before the folder is left.
    void arrangedOrderChanged();
    void storeArrangement();
    // Returns once every order asked to be kept is on disk; callable from any thread.
    static void waitForKeptOrders();
    void leaveFolder();
    void startOverInFileManagerOrder();
    void restoreArrangedOrder();
    void runArrangementEnded();
    void arrangeByDate(Arrangement arrangement);
    QTimer* m_keepArrangementTimer = nullptr;
    bool m_arrangementChanged = false;
    bool m_arranging = false;               // dates are being read for Arrange By
    std::shared_ptr<std::atomic<bool>> m_arrangeCancel;
    // --- the listed folder moved or gone (see OrdinelloController_Folder.cpp)
    void followFolderMoves();
    void folderMoved(const QByteArray& newPath);
    void folderRemoved(FolderWatcher::Loss loss);
    // The label, title and represented file for the chosen folder, or for none.
    void showFolderName();
    QString m_labelWithoutFolder;
    QString m_titleWithoutFolder;
};
