#pragma once
// The application's controller: it owns the chosen folder and the item list, and it is
// the item table's model. Row r of the table is entry r of the list, which is also the
// position in the numbering.

#include "app/RenameJournal.h"
#include "app/RenameTask.h"
#include "platform/Files.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QMainWindow;
class QProgressBar;
class FolderWatcher;
struct RenameReport;
class ItemImages;
class QTimer;
struct PlannedRename;
class TableView;

// The private drag type: dragged rows travel under it, and only drags that carry it are
// accepted by the table.
inline constexpr char MyPrivateTableViewDataType[] = "application/x-ordinello-table-rows";

class OrdinelloController : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { IndexColumn, IconColumn, NameColumn, ColumnCount };
    // "Index", "Icon" and "Name": what each column shows is decided by its identifier.
    static QString columnIdentifier(int column);

    // Shows the folder chooser; fills *chosenPath (bytes) and returns noErr when a folder
    // was chosen. Replaceable so tests can play the user.
    using FolderChooser = std::function<OSErr(QWidget* parent, QByteArray* chosenPath)>;

    explicit OrdinelloController(QObject* parent = nullptr);
    ~OrdinelloController() override;

    // Outlets, set by the main window; not owned.
    TableView* fileTable = nullptr;
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

    const QStringList& directoryItems() const { return m_directoryItems; }
    const QString& folderPath() const { return m_folderPath; }
    const FSRef& folderRef() const { return m_folderFSRef; }
    bool hasFolder() const { return !m_folderFSRef.isNull(); }
    ItemImages* itemImages() const { return m_itemImages; }

    // The cell value by column identifier: the display name, the picture, the 1-based index.
    QVariant objectValue(const QString& identifier, int row) const;

    // Moves the rows (any order, duplicates ignored) so they stand together, in their
    // previous order, before the item now at row r (r == count: at the end), then selects
    // them. Returns false and changes nothing when a row is out of range.
    bool moveRows(QList<int> rows, int r);
    // The model's own move of `count` adjacent rows to before destinationChild, told to the
    // views with beginMoveRows/endMoveRows. Linear in the rows between the two places.
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count, const QModelIndex& destinationParent,
                  int destinationChild) override;
    enum class Move { Up, Down, ToTop, ToBottom };
    void moveSelectedRows(Move move);
    QList<int> selectedRows() const;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

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
    // Shows the planned renames and calls confirmed() when the user agrees. Replaceable so
    // tests can play the user; the default is the preview sheet.
    using RunConfirmer = std::function<void(QWidget* parent, RunKind kind, const QList<PlannedRename>& plan,
                                            std::function<void()> confirmed)>;
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
    // --- numbering: the width rule and the runs' report (see OrdinelloController_Renaming.cpp)
    int automaticNumberLength() const;

private:
    // The references of the listed items, in list order: a run renames an item only while
    // its path still names the object that was listed.
    QList<FSRef> listedReferences() const;
    void finishRun(const RenameReport& report);
    // The identity each listed path had when the folder was read, set by every load.
    QHash<QString, FSRef> m_listedIdentities;

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

private:
    void startSpinner();
    void stopSpinner();
    void reorder(const QList<int>& oldRowForNewRow);
    void selectRows(const QList<int>& rows);
    QStringList pathsForRows(const QList<int>& rows) const;

    QList<FSRef> freshListing(QStringList* paths, int* error = nullptr) const;
    void setListing(QStringList paths, QList<FSRef> refs);

    QStringList m_directoryItems;
    FolderWatcher* m_watcher = nullptr;
    QTimer* m_reloadTimer = nullptr;
    QString m_folderPath;          // null until a folder is chosen, and after a cancelled choice
    FSRef m_folderFSRef;           // null until the first successful choice; never cleared
    FolderChooser m_chooser;
    ItemImages* m_itemImages = nullptr;
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
};

// Moves one element by offset within the array; out-of-range targets leave it alone.
// Returns 0.
template <typename List>
long MoveArrayItem(List& array, long index, long offset)
{
    const long target = index + offset;
    const long n = long(array.size());
    if (target == index || index < 0 || index > n - 1 || target < 0 || target > n - 1)
        return 0;
    array.move(index, target);
    return 0;
}
