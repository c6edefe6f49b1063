// The main window and its controller: choosing a folder (the chooser played by the test),
// the table model, drag reordering, keyboard moves, the context click, the commands with
// their preview sheet, status-bar report and undo, and where a new window opens.

#include "TestFolders.h"
#include "app/FolderChooser.h"
#include "app/Launch.h"
#include "renaming/Preferences.h"
#include "renaming/RenamePlan.h"
#include "app/MainWindow.h"
#include "app/NSTableViewExtensions.h"
#include "app/OrdinelloController.h"
#include "app/PreferencesWindow.h"
#include "app/RenamePreview.h"
#include "app/RenameReportView.h"
#include "app/WindowPlacement.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"
#include "platform/ProgramSettings.h"
#include "renaming/UndoRun.h"
#include "support/BundleServices.h"
#include "support/LocalizedStrings.h"

#include "Named.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QTimer>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <climits>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestFolders;

// Stands in for the desktop's file manager on the test's private session bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        Q_UNUSED(startupId);
        shown.append(uris);
    }
};

class TestController : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> m_window;
    OrdinelloController* m_controller = nullptr;
    DirectoryItemsModel* m_model = nullptr;
    QByteArray m_dir;   // a new empty folder for each test
    QByteArray m_recorder;
    QByteArray m_ourselvesOpened;   // what the program's own desktop entry was asked to open
    std::unique_ptr<QSignalSpy> m_finished;   // the controller's runFinished

    QAction* action(const char* name) const { return named(m_window.get(), name); }

    // Gives the command and waits for the run it starts to end.
    bool run(const char* command)
    {
        action(command)->trigger();
        return m_finished->wait();
    }

    // Plays the user in the folder chooser: picks the given folder, or cancels when empty.
    void chooseNext(const QByteArray& folder)
    {
        m_controller->setFolderChooser([folder](QWidget*, QByteArray* chosen) -> OSErr {
            if (folder.isEmpty())
                return -128;
            *chosen = folder;
            return noErr;
        });
    }

    QStringList names() const
    {
        QStringList result;
        for (const QString& p : m_controller->directoryItems())
            result.append(p.mid(p.lastIndexOf(u'/') + 1));
        return result;
    }

    void listFiveItems()
    {
        makeFiles(m_dir, {"A", "B", "C", "D", "E"});
        chooseNext(m_dir);
        m_controller->selectDirectory();
        QCOMPARE(names(), (QStringList{"A", "B", "C", "D", "E"}));
    }

    bool drop(const QList<int>& rows, int r)
    {
        QModelIndexList indexes;
        for (int row : rows)
            indexes.append(m_model->index(row, DirectoryItemsModel::NameColumn));
        std::unique_ptr<QMimeData> data(m_model->mimeData(indexes));
        return m_model->dropMimeData(data.get(), Qt::MoveAction, r, 0, {});
    }

    // The program quits (closing its window) and starts again.
    void restart()
    {
        m_window->close();
        m_window = std::make_unique<MainWindow>();
        m_controller = m_window->controller();
        m_model = m_controller->model();
        m_finished = std::make_unique<QSignalSpy>(m_controller, &OrdinelloController::runFinished);
        // The planned names are confirmed at once.
        m_controller->setRunConfirmer(
            [](QWidget*, RunKind, const QList<PlannedRename>&, const RunChoice& proposed,
               std::function<void(const RunChoice&)> confirmed) { confirmed(proposed); });
    }

    void select(const QList<int>& rows)
    {
        QItemSelectionModel* selection = m_window->fileTable()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(m_model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("LC_ALL", "C.UTF-8");
        qputenv("ORDINELLO_LIBRARY_DIR", "/nonexistent");   // no thumbnail library: file icons
        qputenv("ORDINELLO_SITE_URL", "http://127.0.0.1:1");  // the automatic update check goes nowhere
        isolateUserFolders();
        qputenv("XDG_RUNTIME_DIR", temporaryFolder());   // window places of this test's own
        m_recorder = installRecorderApplication({"text/html", "inode/directory"});
        // The program's own desktop entry opens folders too, and is the default for them here,
        // as on a machine without a file manager: Show in File Manager must pass it over.
        const QByteArray data = qgetenv("XDG_DATA_HOME");
        m_ourselvesOpened = data + "/ourselves-opened";
        writeFile(data + "/applications/org.ordinello.Ordinello.desktop",
                  "[Desktop Entry]\nType=Application\nName=Ordinello\nExec=/bin/sh -c 'printf \"%%s\\\\n\" \"$1\" >> "
                      + m_ourselvesOpened + "' ordinello %f\nMimeType=inode/directory;\n");
        writeFile(qgetenv("XDG_CONFIG_HOME") + "/mimeapps.list",
                  "[Default Applications]\ntext/html=ordinello-test-recorder.desktop\n"
                  "inode/directory=org.ordinello.Ordinello.desktop\n"
                  "[Added Associations]\ninode/directory=ordinello-test-recorder.desktop;\n");
        // An icon theme of the test's own with one type's icon in it: no desktop sets one here.
        static QTemporaryDir icons;
        const QByteArray theme = path(icons) + "/ordinello-test";
        QVERIFY(QDir().mkpath(QFile::decodeName(theme + "/16x16/mimetypes")));
        writeFile(theme + "/index.theme", "[Icon Theme]\nName=Test\nDirectories=16x16/mimetypes\n\n"
                                          "[16x16/mimetypes]\nSize=16\nType=Fixed\n");
        QImage square(16, 16, QImage::Format_ARGB32);
        square.fill(Qt::red);
        QVERIFY(square.save(QFile::decodeName(theme + "/16x16/mimetypes/text-plain.png")));
        QIcon::setThemeSearchPaths({icons.path()});
        QIcon::setThemeName(QStringLiteral("ordinello-test"));
    }

    void init()
    {
        ProgramSettings().clear();
        SetConfirmRenaming(false);
        m_dir = temporaryFolder();
        m_window = std::make_unique<MainWindow>();
        m_controller = m_window->controller();
        m_model = m_controller->model();
        m_finished = std::make_unique<QSignalSpy>(m_controller, &OrdinelloController::runFinished);
        new QAbstractItemModelTester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest, m_model);
        m_window->applicationWillFinishLaunching();
    }

    void cleanup()
    {
        m_finished.reset();
        m_window.reset();
    }

    void choosingAFolderListsIt()
    {
        const QByteArray dir = m_dir + "/Trip";
        makeFolder(m_dir, "Trip");
        makeFiles(dir, {"file10", "file9", "a.txt", ".hidden", "B.txt"});
        chooseNext(dir);
        m_controller->selectDirectory();

        QCOMPARE(names(), (QStringList{"a.txt", "B.txt", "file9", "file10"}));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Trip"));
        QCOMPARE(named<QLabel>(m_window.get(), "folderPathTextField")->text(), "Current Directory: " + QString::fromLocal8Bit(dir));
        QCOMPARE(m_window->windowFilePath(), QString::fromLocal8Bit(dir));
        QVERIFY(action("actionRenameItems")->isEnabled());
        QVERIFY(!named<QWidget>(m_window.get(), "spinner")->isVisible());

        // The table shows index, picture and name.
        QCOMPARE(m_model->data(m_model->index(3, DirectoryItemsModel::IndexColumn)), QVariant(4));
        QCOMPARE(m_model->data(m_model->index(3, DirectoryItemsModel::NameColumn)), QVariant("file10"));
        // Without the thumbnail library, the theme's icon for the item's type, else a file icon.
        const auto icon = [this](int row) {
            return m_model->data(m_model->index(row, DirectoryItemsModel::IconColumn), Qt::DecorationRole)
                .value<QIcon>();
        };
        QCOMPARE(icon(0).name(), QStringLiteral("text-plain"));
        QVERIFY(!icon(3).isNull());
        QVERIFY(icon(3).name() != QStringLiteral("text-plain"));
        // The Index column is wide enough for the largest number.
        const ItemTableView* table = m_window->fileTable();
        QVERIFY(table->columnWidth(DirectoryItemsModel::IndexColumn)
                >= table->sizeHintForIndex(m_model->index(3, DirectoryItemsModel::IndexColumn)).width());
        QVERIFY(!(m_model->flags(m_model->index(0, 0)) & Qt::ItemIsEditable));
    }

    // Choosing the folder again lists it afresh from disk; cancelling the chooser keeps the
    // folder listed before, as reference and as text alike.
    void choosingAgainReloadsAndCancellingKeeps()
    {
        listFiveItems();
        QVERIFY(drop({4}, 0));
        QCOMPARE(names().first(), QStringLiteral("E"));
        touch(m_dir, "F");
        chooseNext(m_dir);
        m_controller->selectDirectory();
        QCOMPARE(names(), (QStringList{"A", "B", "C", "D", "E", "F"}));
        chooseNext({});
        m_controller->selectDirectory();
        QCOMPARE(m_controller->folderPath(), DecodeFileName(m_controller->folderRef().path));
        QCOMPARE(m_model->rowCount(), 6);
        QVERIFY(m_controller->hasFolder());
        QCOMPARE(m_window->windowTitle(), QFileInfo(QString::fromLocal8Bit(m_dir)).fileName());
    }

    void emptyAndUnlistableFolders()
    {
        chooseNext(m_dir);
        m_controller->selectDirectory();
        QCOMPARE(m_model->rowCount(), 0);
        QVERIFY(m_controller->hasFolder());
        QVERIFY(!action("actionRenameItems")->isEnabled());   // nothing to number
        QVERIFY(action("actionReload")->isEnabled());

        // A folder whose items cannot be listed still names the choice in the window.
        const QByteArray locked = m_dir + "/locked";
        makeFolder(m_dir, "locked");
        touch(locked, "x");
        ::chmod(m_dir.constData(), 0755);
        ::chmod(locked.constData(), 0);
        chooseNext(locked);
        {
            const AsUnprivilegedUser unprivileged; // root would list the folder anyway
            QVERIFY(unprivileged.dropped());
            m_controller->selectDirectory();
        }
        ::chmod(locked.constData(), 0755);
        QCOMPARE(m_model->rowCount(), 0);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("locked"));
        QVERIFY(named<QLabel>(m_window.get(), "folderPathTextField")->text().endsWith(u"/locked"));
    }

    // Folders handed to the running program arrive at the application object and are listed
    // in the window; of several, the last stays. Names need not be UTF-8: the bytes are kept,
    // what is shown is made readable.
    void foldersSentToTheProgramAreListed()
    {
        const QByteArray odd = "Vacanze \xE9t\xE9";   // Latin-1 bytes
        for (const QByteArray& name : {QByteArray("First"), QByteArray("Second"), odd})
            makeFolder(m_dir, name);
        touch(m_dir + '/' + odd, "photo\xFF.jpg");
        const FSSpec specs[] = {{m_dir, "First"}, {m_dir, "Second"}, {m_dir, odd}};
        QCOMPARE(SendOpenDocAppleEventToSelf(3, specs), OSStatus(noErr));
        QTRY_COMPARE(EncodeFileName(m_controller->folderPath()), m_dir + '/' + odd);
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(EncodeFileName(m_controller->directoryItems().first()), m_dir + '/' + odd + "/photo\xFF.jpg");
        QCOMPARE(m_window->windowTitle(), QString::fromUtf8("Vacanze \xEF\xBF\xBDt\xEF\xBF\xBD"));
        QCOMPARE(m_model->data(m_model->index(0, DirectoryItemsModel::NameColumn)).toString(),
                 QString::fromUtf8("photo\xEF\xBF\xBD.jpg"));
    }

    void drops_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("one row down") << QList<int>{1} << 4 << "ACDBE" << QList<int>{3};
        QTest::newRow("one row to the top") << QList<int>{3} << 0 << "DABCE" << QList<int>{0};
        QTest::newRow("two rows to the end") << QList<int>{1, 2} << 5 << "ADEBC" << QList<int>{3, 4};
        QTest::newRow("two rows up") << QList<int>{3, 4} << 1 << "ADEBC" << QList<int>{1, 2};
        QTest::newRow("onto its own gap") << QList<int>{2} << 2 << "ABCDE" << QList<int>{2};
        QTest::newRow("just below itself") << QList<int>{2} << 3 << "ABCDE" << QList<int>{2};
        QTest::newRow("run next to itself") << QList<int>{1, 2} << 3 << "ABCDE" << QList<int>{1, 2};
        QTest::newRow("apart, to the end") << QList<int>{0, 2} << 5 << "BDEAC" << QList<int>{3, 4};
        QTest::newRow("apart, to the top") << QList<int>{1, 3} << 0 << "BDACE" << QList<int>{0, 1};
        QTest::newRow("apart, into their midst") << QList<int>{0, 2, 4} << 2 << "BACED" << QList<int>{1, 2, 3};
        QTest::newRow("apart, given unsorted") << QList<int>{4, 0} << 3 << "BCAED" << QList<int>{2, 3};
    }

    void drops()
    {
        QFETCH(QList<int>, rows);
        QFETCH(int, before);
        QFETCH(QString, order);
        QFETCH(QList<int>, selected);
        listFiveItems();
        QSignalSpy moved(m_model, &QAbstractItemModel::rowsMoved);
        QVERIFY(drop(rows, before));
        QCOMPARE(names().join(QString()), order);
        // Adjacent rows that change place are told to the views as a move of rows.
        std::sort(rows.begin(), rows.end());
        const bool adjacent = rows.last() - rows.first() == rows.size() - 1;
        QCOMPARE(moved.size(), adjacent && order != u"ABCDE" ? 1 : 0);
        QCOMPARE(m_controller->selectedRows(), selected);
        QCOMPARE(m_model->data(m_model->index(0, DirectoryItemsModel::IndexColumn)), QVariant(1));
    }

    void refusedDrops()
    {
        listFiveItems();
        std::unique_ptr<QMimeData> data(m_model->mimeData({m_model->index(1, 0)}));
        // Onto a row rather than between rows.
        QVERIFY(!m_model->canDropMimeData(data.get(), Qt::MoveAction, -1, -1, m_model->index(3, 0)));
        // Without the private type.
        QMimeData text;
        text.setText(QStringLiteral("B"));
        QVERIFY(!m_model->dropMimeData(&text, Qt::MoveAction, 0, 0, {}));
        // Rows from another window's list.
        DirectoryItemsModel other;
        std::unique_ptr<QMimeData> foreign(other.mimeData({}));
        QVERIFY(!m_model->dropMimeData(foreign.get(), Qt::MoveAction, 0, 0, {}));
        QVERIFY(!m_model->moveRows({7}, 0));
        QCOMPARE(names().join(QString()), QStringLiteral("ABCDE"));
    }

    // The Move commands of the Edit menu and the context menu, offered only where they move
    // something; the rows stay selected.
    void keyboardMoves_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("up");     // Move Up and Move to Top offered
        QTest::addColumn<bool>("down");   // Move Down and Move to Bottom offered
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("up") << QList<int>{1, 3} << true << true << QByteArray("actionMoveUp") << "BADCE" << QList<int>{0, 2};
        QTest::newRow("down") << QList<int>{1, 2} << true << true << QByteArray("actionMoveDown") << "ADBCE" << QList<int>{2, 3};
        QTest::newRow("to top") << QList<int>{2, 4} << true << true << QByteArray("actionMoveToTop") << "CEABD" << QList<int>{0, 1};
        QTest::newRow("first and third to bottom")
            << QList<int>{0, 2} << true << true << QByteArray("actionMoveToBottom") << "BDEAC" << QList<int>{3, 4};
        QTest::newRow("block at the top") << QList<int>{0, 1} << false << true << QByteArray("actionMoveDown") << "CABDE" << QList<int>{1, 2};
        QTest::newRow("first row") << QList<int>{0} << false << true << QByteArray("actionMoveToBottom") << "BCDEA" << QList<int>{4};
        QTest::newRow("last row") << QList<int>{4} << true << false << QByteArray("actionMoveToTop") << "EABCD" << QList<int>{0};
        QTest::newRow("everything") << QList<int>{0, 1, 2, 3, 4} << false << false << QByteArray() << "ABCDE" << QList<int>{0, 1, 2, 3, 4};
    }

    void keyboardMoves()
    {
        QFETCH(QList<int>, rows);
        QFETCH(bool, up);
        QFETCH(bool, down);
        QFETCH(QByteArray, command);
        listFiveItems();
        select(rows);
        QCOMPARE(action("actionMoveUp")->isEnabled(), up);
        QCOMPARE(action("actionMoveToTop")->isEnabled(), up);
        QCOMPARE(action("actionMoveDown")->isEnabled(), down);
        QCOMPARE(action("actionMoveToBottom")->isEnabled(), down);
        if (!command.isEmpty())
            action(command.constData())->trigger();
        QTEST(names().join(QString()), "order");
        QTEST(m_controller->selectedRows(), "selected");
    }

    void chooserTextsComeFromTheStringTable()
    {
        SetLocalizedLookupForTesting([](const QString& key) -> std::optional<QString> {
            return QStringLiteral("<%1>").arg(key);
        });
        QString title;
        QString accept;
        QString message;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            accept = dialog->labelText(QFileDialog::Accept);
            message = dialog->labelText(QFileDialog::FileName);
            dialog->reject();
        });
        QByteArray chosen;
        QCOMPARE(ChooseFolder(m_window.get(), "Choose directory", &chosen), userCanceledErr);
        SetLocalizedLookupForTesting({});
        QVERIFY(chosen.isEmpty());
        QCOMPARE(title, QStringLiteral("<Choose>"));
        QCOMPARE(accept, QStringLiteral("<Choose>"));
        QCOMPARE(message, QStringLiteral("<Choose folder>"));
    }

    // Help, Open and Show in File Manager go through the desktop's default applications,
    // and say so in the window when nothing could be opened.
    void openingGoesToTheDefaultApplication()
    {
        // Help opens the manual that ships with the program (here the build tree's copy),
        // without the network.
        QTRY_VERIFY(action("actionHelp")->isEnabled());
        action("actionHelp")->trigger();
        QTRY_COMPARE(recordedOpens(m_recorder).size(), 1);
        const QByteArray manual = recordedOpens(m_recorder).value(0);
        QVERIFY2(manual.endsWith("/share/ordinello/help/en/index.html"), manual.constData());
        QVERIFY(readFile(manual).contains("<h2 id=\"undo\">"));
        QVERIFY(!m_window->findChild<QMessageBox*>());

        // Nothing handles arbitrary bytes here: the user is told, with the reason.
        writeFile(m_dir + "/blob.unknown-to-anyone", QByteArray("\x01\x02\x03\xFF", 4));
        m_controller->selectDirectoryPath(m_dir);
        select({0});
        action("actionOpen")->trigger();
        auto* box = m_window->findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains("“blob.unknown-to-anyone” could not be opened"), qPrintable(box->text()));
    }

    // View ▸ Zoom steps through the picture sizes, stops at either end, and the size is
    // remembered for the next window.
    void zoom_data()
    {
        QTest::addColumn<QString>("steps");   // i: Zoom In, o: Zoom Out, n: Normal Size
        QTest::addColumn<int>("size");
        QTest::newRow("in") << "i" << 64;
        QTest::newRow("in past the largest") << "iiiiii" << 128;
        QTest::newRow("out past the smallest") << "ooo" << 32;
        QTest::newRow("back to normal") << "iin" << 48;
        QTest::newRow("out and in") << "oi" << 48;
    }
    void zoom()
    {
        QFETCH(QString, steps);
        QFETCH(int, size);
        SetThumbnailSize(kNormalThumbnailSize);
        m_window = std::make_unique<MainWindow>();
        for (const QChar step : steps)
            action(step == u'i' ? "actionZoomIn" : step == u'o' ? "actionZoomOut" : "actionNormalSize")->trigger();
        QCOMPARE(m_window->fileTable()->iconSize(), QSize(size, size));
        QVERIFY(m_window->fileTable()->verticalHeader()->defaultSectionSize() > size);
        QCOMPARE(action("actionZoomIn")->isEnabled(), size < 128);
        QCOMPARE(action("actionZoomOut")->isEnabled(), size > 32);
        MainWindow next;
        QCOMPARE(next.fileTable()->iconSize(), QSize(size, size));
        SetThumbnailSize(kNormalThumbnailSize);
    }

    // The command line: a window for each folder, Qt's own options passed over.
    void launchArguments_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QByteArrayList>("folders");
        using A = LaunchArguments::Action;
        QTest::newRow("two folders") << QByteArrayList{"A", "B"} << int(A::Run) << QByteArrayList{"A", "B"};
        QTest::newRow("Qt's options") << QByteArrayList{"-platform", "offscreen", "A", "--style=Fusion", "-reverse", "B"}
                                      << int(A::Run) << QByteArrayList{"A", "B"};
        QTest::newRow("after --") << QByteArrayList{"--", "--help", "-x"} << int(A::Run) << QByteArrayList{"--help", "-x"};
        QTest::newRow("help wins") << QByteArrayList{"--bogus", "A", "-h"} << int(A::Help) << QByteArrayList{};
        QTest::newRow("unknown option") << QByteArrayList{"A", "--bogus"} << int(A::Error) << QByteArrayList{"A"};
    }
    void launchArguments()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(int, action);
        QFETCH(QByteArrayList, folders);
        arguments.prepend("ordinello");
        QList<char*> argv;
        for (QByteArray& argument : arguments)
            argv.append(argument.data());
        const LaunchArguments parsed = ParseLaunchArguments(int(argv.size()), argv.data());
        QCOMPARE(int(parsed.action), action);
        if (parsed.action == LaunchArguments::Action::Run || parsed.action == LaunchArguments::Action::Error)
            QCOMPARE(parsed.folders, folders);
    }

    // Show in File Manager asks the desktop's file manager to select the items; where none
    // answers, the folder opens in another application that opens folders, never in this
    // program (which would only list it again in a second window).
    void showInFileManager()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            QSKIP("no session bus (ctest runs this test under dbus-run-session)");
        listFiveItems();
        select({1, 3});
        FakeFileManager manager;
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        action("actionShowInFileManager")->trigger();
        QTRY_COMPARE(manager.shown.size(), 1);
        QCOMPARE(manager.shown.at(0), (QStringList{QString::fromLatin1(FileUriFromPathBytes(m_dir + "/B")),
                                                   QString::fromLatin1(FileUriFromPathBytes(m_dir + "/D"))}));
        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));

        const qsizetype opened = recordedOpens(m_recorder).size();
        action("actionShowInFileManager")->trigger();
        QTRY_COMPARE(recordedOpens(m_recorder).size(), opened + 1);
        QCOMPARE(recordedOpens(m_recorder).last(), m_dir);
        QCOMPARE(recordedOpens(m_ourselvesOpened), QList<QByteArray>{});
        QVERIFY(!m_window->findChild<QMessageBox*>());
    }

    // The arranged order outlives the program: it comes back when the folder is listed
    // again (items added since at their file-manager places, items gone dropped), until
    // File Manager Order lets it go or the folder is numbered.
    void arrangedOrderIsKept()
    {
        listFiveItems();
        QVERIFY(drop({4}, 0));   // E A B C D
        restart();
        const QByteArray d = m_dir;
        touch(d, "F");
        QCOMPARE(::unlink((d + "/B").constData()), 0);
        chooseNext(d);
        m_controller->selectDirectory();
        QCOMPARE(names(), (QStringList{"E", "F", "A", "C", "D"}));   // F follows E, as in the file manager
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Your arranged order was restored"));

        action("actionFileManagerOrder")->trigger();
        QCOMPARE(names(), (QStringList{"A", "C", "D", "E", "F"}));
        restart();
        m_controller->selectDirectoryPath(d);
        QCOMPARE(names(), (QStringList{"A", "C", "D", "E", "F"}));
        QVERIFY(m_window->statusBar()->currentMessage().isEmpty());

        QVERIFY(drop({0}, 5));   // C D E F A, kept before the run starts
        QVERIFY(run("actionRenameItems"));
        QCOMPARE(names(), (QStringList{"1 C", "2 D", "3 E", "4 F", "5 A"}));
        restart();
        m_controller->selectDirectoryPath(d);
        QCOMPARE(names(), (QStringList{"1 C", "2 D", "3 E", "4 F", "5 A"}));
        QVERIFY(m_window->statusBar()->currentMessage().isEmpty());
    }

    // Undo gives the items their names back in the order the run numbered them in, not in
    // the file manager's order, and keeps that order as the person's.
    void undoListsTheRunsOrder()
    {
        restart();
        listFiveItems();
        QVERIFY(drop({3, 4}, 1));   // A D E B C
        QVERIFY(run("actionRenameItems"));
        QVERIFY(run("actionUndo"));
        QCOMPARE(names(), (QStringList{"A", "D", "E", "B", "C"}));
        restart();
        m_controller->selectDirectoryPath(m_dir);
        QCOMPARE(names(), (QStringList{"A", "D", "E", "B", "C"}));
    }

    // View ▸ Arrange By: dates read off the GUI thread (told like a run), earliest first,
    // equal dates in the file manager's order; Reverse turns the current order round.
    void arrangeBy_data()
    {
        QTest::addColumn<QByteArrayList>("actions");
        QTest::addColumn<QString>("order");
        QTest::newRow("date modified") << QByteArrayList{"actionArrangeByDateModified"} << "DBAEC";
        QTest::newRow("date taken, no photos") << QByteArrayList{"actionArrangeByDateTaken"} << "DBAEC";
        QTest::newRow("reversed, then by date")   // A and E tie: in the file manager's order
            << QByteArrayList{"actionReverseOrder", "actionArrangeByDateModified"} << "DBAEC";
        QTest::newRow("reverse") << QByteArrayList{"actionReverseOrder"} << "EDCBA";
        QTest::newRow("modified, reversed")
            << QByteArrayList{"actionArrangeByDateModified", "actionReverseOrder"} << "CEABD";
        QTest::newRow("back to the file manager's")
            << QByteArrayList{"actionReverseOrder", "actionFileManagerOrder"} << "ABCDE";
    }

    void arrangeBy()
    {
        QFETCH(QByteArrayList, actions);
        QFETCH(QString, order);
        const time_t minutes[] = {20, 10, 30, 0, 20};
        listFiveItems();
        for (int i = 0; i < 5; ++i)
            setModificationTime(m_dir + '/' + char('A' + i), 1600000000 + 60 * minutes[i]);
        QSignalSpy running(m_controller, &OrdinelloController::runningChanged);
        for (const QByteArray& command : actions) {
            QVERIFY(action(command.constData())->isEnabled());
            action(command.constData())->trigger();
            QTRY_VERIFY(!m_controller->isRunning());
        }
        QCOMPARE(names().join(QString()), order);
        const auto dated = std::count_if(actions.begin(), actions.end(),
                                         [](const QByteArray& command) { return command.startsWith("actionArrangeByDate"); });
        QCOMPARE(running.size(), int(dated) * 2);   // started and ended
    }

    // Outside changes reach the list on their own: the arranged order stays, an item
    // renamed outside keeps its place under its new name, a new item stands where the
    // file manager's order puts it. A row never goes blank meanwhile.
    void outsideChangesAreFollowed()
    {
        listFiveItems();
        QVERIFY(drop({4}, 0));   // E A B C D
        select({2});
        QCOMPARE(::rename((m_dir + "/B").constData(), (m_dir + "/B2").constData()), 0);
        touch(m_dir, "C1");
        QCOMPARE(m_model->data(m_model->index(2, DirectoryItemsModel::NameColumn)).toString(), "B");
        QTRY_COMPARE(names(), (QStringList{"E", "A", "B2", "C", "C1", "D"}));
        QCOMPARE(m_controller->selectedRows(), QList<int>{2});
        QCOMPARE(::unlink((m_dir + "/A").constData()), 0);
        action("actionReload")->trigger();
        QCOMPARE(names(), (QStringList{"E", "B2", "C", "C1", "D"}));
    }

    void badFolderArgumentsAreSaid_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray("/no/such/folder") << "no such file or folder";
        QTest::newRow("a file") << QByteArray("FILE") << "not a folder";
    }

    void badFolderArgumentsAreSaid()
    {
        QFETCH(QByteArray, argument);
        QFETCH(QString, reason);
        touch(m_dir, "some-file.txt");
        argument.replace("FILE", m_dir + "/some-file.txt");
        m_controller->selectDirectoryPath(argument);
        auto* box = m_window->findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains(reason) && box->text().contains(QString::fromLocal8Bit(argument)),
                 qPrintable(box->text()));
        QVERIFY(!m_controller->hasFolder());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Ordinello"));
        QVERIFY(!action("actionRenameItems")->isEnabled());
        QVERIFY(!action("actionRemovePrefixes")->isEnabled());
    }

    // Home and End go to the list's ends.
    void homeAndEnd()
    {
        listFiveItems();
        ItemTableView* table = m_window->fileTable();
        table->setCurrentIndex(m_model->index(2, DirectoryItemsModel::NameColumn));
        QTest::keyClick(table, Qt::Key_End);
        QCOMPARE(table->currentIndex().row(), 4);
        QTest::keyClick(table, Qt::Key_Home);
        QCOMPARE(table->currentIndex().row(), 0);
        QCOMPARE(names(), (QStringList{"A", "B", "C", "D", "E"}));
    }

    // Through the view's own drag events, as a real mouse drag sends them: B over the
    // middle of D is refused while hovering and changes nothing; B at D's top edge
    // lands between C and D.
    void dropOntoTheMiddleOfARowIsRefused()
    {
        listFiveItems();
        ItemTableView* table = m_window->fileTable();
        m_window->resize(600, 600);
        QWidget* viewport = table->viewport();
        const QRect rowD = table->visualRect(m_model->index(3, DirectoryItemsModel::NameColumn));
        auto dragTo = [&](const QPoint& at) {
            std::unique_ptr<QMimeData> data(m_model->mimeData({m_model->index(1, 0)}));
            QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &enter);
            QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            const bool accepted = move.isAccepted();
            QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &drop);
            return accepted;
        };
        QVERIFY(!dragTo(rowD.center()));
        QCOMPARE(names(), (QStringList{"A", "B", "C", "D", "E"}));
        QVERIFY(dragTo(QPoint(rowD.center().x(), rowD.top() + 1)));
        QCOMPARE(names(), (QStringList{"A", "C", "B", "D", "E"}));
    }

    // The listed folder renamed or moved, by itself or with a folder above it, is followed:
    // title, label, represented file and paths follow it; the arranged order and the
    // selection stay.
    void movedFolderIsFollowed_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QByteArray>("now");   // where the listed folder is afterwards
        QTest::newRow("renamed") << QByteArray("Parent/Trip") << QByteArray("Parent/Trip 2") << QByteArray("Parent/Trip 2");
        QTest::newRow("moved into another folder")
            << QByteArray("Parent/Trip") << QByteArray("Other/Trip") << QByteArray("Other/Trip");
        QTest::newRow("the folder above renamed")
            << QByteArray("Parent") << QByteArray("Parent 2") << QByteArray("Parent 2/Trip");
    }

    void movedFolderIsFollowed()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QByteArray, now);
        const QByteArray d = m_dir;
        makeFolder(d, "Parent");
        makeFolder(d, "Other");
        makeFolder(d + "/Parent", "Trip");
        makeFiles(d + "/Parent/Trip", {"A", "B", "C", "D", "E"});
        m_controller->selectDirectoryPath(d + "/Parent/Trip");
        QVERIFY(drop({4}, 0));   // E A B C D
        select({2});
        QVERIFY(::rename((d + '/' + from).constData(), (d + '/' + to).constData()) == 0);
        // A move of the folder itself is seen at once; one of a folder above it, when the
        // folder is next read.
        if (from.contains('/'))
            QTRY_COMPARE(m_controller->folderRef().path, d + '/' + now);
        else
            action("actionReload")->trigger();
        const QString where = QString::fromLocal8Bit(d + '/' + now);
        QCOMPARE(m_controller->folderPath(), where);
        QCOMPARE(m_window->windowTitle(), where.section(u'/', -1));
        QCOMPARE(m_window->windowFilePath(), where);
        QCOMPARE(named<QLabel>(m_window.get(), "folderPathTextField")->text(), "Current Directory: " + where);
        QCOMPARE(names(), (QStringList{"E", "A", "B", "C", "D"}));
        QCOMPARE(m_controller->directoryItems().first(), where + "/E");
        QCOMPARE(m_controller->selectedRows(), QList<int>{2});
        QVERIFY(!m_window->findChild<QMessageBox*>());
        // Still watched where it is now.
        touch(d + '/' + now, "D2");
        QTRY_COMPARE(names(), (QStringList{"E", "A", "B", "C", "D", "D2"}));
    }

    // A folder deleted or put in the trash while listed is said; the window is left
    // without a folder, as at start.
    void goneFolderIsSaid_data()
    {
        QTest::addColumn<bool>("trash");
        QTest::addColumn<QString>("message");
        QTest::newRow("deleted") << false << "The folder “%1” was deleted.";
        QTest::newRow("moved to the trash") << true << "The folder “%1” was moved to the trash.";
    }

    void goneFolderIsSaid()
    {
        QFETCH(bool, trash);
        QFETCH(QString, message);
        const QByteArray d = m_dir;
        makeFolder(d, "Trip");
        touch(d + "/Trip", "A");
        m_controller->selectDirectoryPath(d + "/Trip");
        QCOMPARE(m_model->rowCount(), 1);
        if (trash) {
            const QByteArray files = qgetenv("XDG_DATA_HOME") + "/Trash/files";
            QVERIFY(QDir().mkpath(QString::fromLocal8Bit(files)));
            QVERIFY(::rename((d + "/Trip").constData(), (files + "/Trip").constData()) == 0);
        } else {
            QVERIFY(::unlink((d + "/Trip/A").constData()) == 0 && ::rmdir((d + "/Trip").constData()) == 0);
        }
        QTRY_VERIFY(!m_controller->hasFolder());
        auto* box = m_window->findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), message.arg(QString::fromLocal8Bit(d + "/Trip")));
        QCOMPARE(m_model->rowCount(), 0);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Ordinello"));
        QVERIFY(m_window->windowFilePath().isEmpty());
        QVERIFY(!action("actionReload")->isEnabled());
        if (trash)
            QDir(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME") + "/Trash")).removeRecursively();
    }

    // A folder opened through a symbolic link is the folder itself, at its own path:
    // outside changes and F5 keep it listed.
    void folderOpenedThroughALinkStaysListed()
    {
        const QByteArray d = m_dir;
        makeFolder(d, "Trip");
        touch(d + "/Trip", "A");
        QVERIFY(::symlink("Trip", (d + "/link").constData()) == 0);
        m_controller->selectDirectoryPath(d + "/link");
        QCOMPARE(m_controller->folderRef().path, d + "/Trip");
        QCOMPARE(names(), QStringList{"A"});
        touch(d + "/Trip", "B");
        QTRY_COMPARE(names(), (QStringList{"A", "B"}));
        action("actionReload")->trigger();
        QCOMPARE(names(), (QStringList{"A", "B"}));
        QVERIFY(m_controller->hasFolder());
    }

    void contextClickSelectsTheRowUnderThePointer()
    {
        listFiveItems();
        ItemTableView* table = m_window->fileTable();
        select({1, 3});
        const QRect row2 = table->visualRect(m_model->index(2, DirectoryItemsModel::NameColumn));
        QMenu* menu = table->menuForEvent(row2.center());
        QVERIFY(menu);
        QCOMPARE(m_controller->selectedRows(), QList<int>{2});
        QVERIFY(menu->actions().contains(action("actionOpen")));
        QVERIFY(menu->actions().contains(action("actionShowInFileManager")));
        QVERIFY(menu->actions().contains(action("actionMoveToBottom")));

        // An already selected row stays the only selection.
        QCOMPARE(table->menuForEvent(row2.center()), menu);
        QCOMPARE(m_controller->selectedRows(), QList<int>{2});

        // Below the last row: nothing selected, the menu still opens.
        QCOMPARE(table->menuForEvent(QPoint(5, table->viewport()->height() - 2)), menu);
        QVERIFY(m_controller->selectedRows().isEmpty());
        QVERIFY(!action("actionOpen")->isEnabled());
    }

    // Numbering: the width follows the item count, an item replaced after the listing is
    // skipped (its number too) and reported; without the automatic width, six digits.
    void renameItemsNumbersTheList()
    {
        for (int i = 10; i < 22; ++i)
            touch(m_dir, "f" + QByteArray::number(i));
        m_controller->renameItems();   // no folder yet: nothing happens
        QCOMPARE(m_finished->size(), 0);
        m_controller->selectDirectoryPath(m_dir);
        writeFile(m_dir + "/new", "newcomer");
        QCOMPARE(::rename((m_dir + "/new").constData(), (m_dir + "/f11").constData()), 0);
        QVERIFY(run("actionRenameItems"));
        QCOMPARE(names().mid(0, 2), (QStringList{"01 f10", "03 f12"}));   // 02 was skipped
        QCOMPARE(names().last(), "f11");
        QCOMPARE(m_finished->first().at(0).toInt(), 11);
        QCOMPARE(m_finished->first().at(1).toStringList(), QStringList{"f11"});
        QVERIFY(m_finished->first().at(2).toStringList().first().contains("took its place"));

        SetAutomaticNumberLength(false);   // "NumberLength" never stored
        QVERIFY(run("actionRemovePrefixes"));
        QVERIFY(run("actionRenameItems"));
        QCOMPARE(names().first(), "000001 f10");

        // Numbers that would leave the 32-bit range are refused before anything is shown
        // or renamed, naming the number the run would end at.
        SetInitialNumber(2147483647);
        QSignalSpy refused(m_controller, &OrdinelloController::runRefused);
        m_controller->renameItems();
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.first().at(0).toString().contains(QLocale().toString(2147483658LL)));
        QVERIFY(!m_controller->isRunning());
        QCOMPARE(names().first(), "000001 f10");
    }

    // Escape stops a run as the Cancel button does; the status bar says how far it went
    // and Undo names the items it renamed.
    void escapeCancelsARun()
    {
        const int count = 20000;
        for (int i = 0; i < count; ++i)
            touch(m_dir, "f" + QByteArray::number(i));
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_controller->selectDirectoryPath(m_dir);
        bool pressed = false;
        bool tooQuick = false;
        connect(m_controller, &OrdinelloController::runProgress, m_window.get(), [&](qsizetype done, qsizetype total) {
            if (done == 0 || std::exchange(pressed, true))
                return;
            tooQuick = done > total / 2;
            QTest::keyClick(m_window.get(), Qt::Key_Escape);
        });
        action("actionRenameItems")->trigger();
        QVERIFY(m_finished->wait(60000));
        if (tooQuick)
            QSKIP("this machine numbers 20,000 items before the progress is first shown");
        qsizetype renamed = 0;
        for (const QByteArray& name : entries(m_dir))
            renamed += name.contains(' ') ? 1 : 0;
        QVERIFY2(renamed > 0 && renamed < count, QByteArray::number(renamed).constData());
        const QLocale locale;
        QCOMPARE(m_window->statusBar()->findChild<RenameReportView*>()->account(),
                 QStringLiteral("Cancelled after %1 of %2 items").arg(locale.toString(renamed), locale.toString(count)));
        QCOMPARE(action("actionUndo")->text(),
                 QStringLiteral("Undo Numbering of %1 Items").arg(locale.toString(renamed)));
        QVERIFY(!action("actionCancelRun")->isEnabled());   // Escape is the table's again
        // Undo puts back what was renamed, and the items never reached are no news.
        action("actionUndo")->trigger();
        QVERIFY(m_finished->wait(60000));
        QCOMPARE(m_window->statusBar()->findChild<RenameReportView*>()->account(),
                 QStringLiteral("Done: %1 items").arg(locale.toString(renamed)));
    }

    // A run with failures says which items and why in a message over the window; the status
    // bar keeps the count, and a click there lists them again.
    void runFailuresAreReported()
    {
        const QByteArray longName(NAME_MAX - 1, 'x');   // "1 " makes it 256 bytes
        touch(m_dir, longName);
        touch(m_dir, "y");
        m_controller->selectDirectoryPath(m_dir);
        QVERIFY(run("actionRenameItems"));
        auto* report = m_window->statusBar()->findChild<RenameReportView*>();
        QVERIFY(report && !report->isHidden());
        QCOMPARE(report->text(), "1 item could not be renamed");
        // A message over the window, modal to it alone, lists the items and why...
        auto* message = m_window->findChild<QDialog*>(QStringLiteral("renameReportMessage"));
        QVERIFY(message && message->isVisible() && message->windowModality() == Qt::WindowModal);
        QVERIFY(named<QLabel>(message, "headline")->text().contains("1 of 2 items could not be renamed."));
        const QTreeWidget* list = message->findChild<QTreeWidget*>();
        QCOMPARE(list->topLevelItem(0)->text(0), QString::fromLatin1(longName));
        QCOMPARE(list->topLevelItem(0)->text(1), "name too long");
        message->close();
        // ...and a click in the status bar lists them again, in a window that blocks nothing.
        report->click();
        QVERIFY(report->detailsWindow()->isVisible() && !report->detailsWindow()->isModal());
        QCOMPARE(report->detailsWindow()->findChild<QTreeWidget*>()->topLevelItemCount(), 1);
        QVERIFY(report->detailsWindow()->windowTitle().contains(QString::fromLocal8Bit(m_dir).section(u'/', -1)));

        // The account belongs to its folder: choosing another folder clears it.
        QVERIFY(run("actionRenameItems"));
        QVERIFY(!report->isHidden());
        m_controller->selectDirectoryPath(temporaryFolder());
        QVERIFY(report->isHidden() && !report->detailsWindow()->isVisible());
        QTRY_VERIFY(!m_window->findChild<QDialog*>(QStringLiteral("renameReportMessage")));
        QCOMPARE(report->detailsWindow()->findChild<QTreeWidget*>()->topLevelItemCount(), 0);
        m_controller->selectDirectoryPath(m_dir);
        // The second run replaced the number ("2 y" looks numbered): "2 y" is what removal
        // takes off; the long name has no blank.
        QVERIFY(run("actionRemovePrefixes"));
        QVERIFY(report->isHidden());
        QCOMPARE(entries(m_dir), (QList<QByteArray>{longName, "y"}));
    }

    // The sheet before a run shows the count and the warning; Escape renames nothing; Enter
    // with "Do not ask again" renames and stores the choice; the preferences window turns
    // the sheet back on.
    void previewSheet()
    {
        SetConfirmRenaming(true);
        makeFiles(m_dir, {"1 a", "My b", "c"});
        m_controller->selectDirectoryPath(m_dir);
        action("actionRemovePrefixes")->trigger();
        QTRY_VERIFY(m_window->findChild<RenamePreview*>());
        auto* sheet = m_window->findChild<RenamePreview*>();
        new QAbstractItemModelTester(sheet->model(), QAbstractItemModelTester::FailureReportingMode::QtTest, sheet);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->summary()->text(), "1 name will be changed.");
        QCOMPARE(sheet->warning()->text(), "1 name starts with a word that is not a number.");
        QCOMPARE(sheet->model()->rowCount(), 3);
        QVERIFY(named<QPushButton>(sheet, "removeNumbersOnly")->isDefault());
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!m_window->findChild<RenamePreview*>());
        QCOMPARE(m_finished->size(), 0);
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"1 a", "My b", "c"}));

        action("actionRenameItems")->trigger();
        QTRY_VERIFY(m_window->findChild<RenamePreview*>());
        sheet = m_window->findChild<RenamePreview*>();
        QCOMPARE(sheet->summary()->text(), "3 names will be changed.");
        QCOMPARE(sheet->warning()->text(), "1 name already starts with a number.");
        QVERIFY(named<QPushButton>(sheet, "addNumbers")->isDefault());   // one of three: not a numbered set
        QVERIFY(!sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));   // the choices stand in its place
        sheet->doNotAskAgain()->setChecked(true);
        QTest::keyClick(sheet, Qt::Key_Return);
        QVERIFY(m_finished->wait());
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"1 1 a", "2 c", "3 My b"}));
        QVERIFY(!ConfirmRenaming());
        QTRY_VERIFY(!m_window->findChild<RenamePreview*>());
        action("actionRemovePrefixes")->trigger();   // no sheet now
        QVERIFY(!m_window->findChild<RenamePreview*>());
        QVERIFY(m_finished->wait());
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"1 a", "My b", "c"}));

        // A first word that is not a number: the choice is shown, whatever the preference.
        m_controller->reloadDirectoryItems();
        action("actionRemovePrefixes")->trigger();
        QTRY_VERIFY(m_window->findChild<RenamePreview*>());
        sheet = m_window->findChild<RenamePreview*>();
        named<QPushButton>(sheet, "removeFirstWordsToo")->click();
        QVERIFY(m_finished->wait());
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"a", "b", "c"}));

        PreferencesWindow* preferences = ShowPreferencesWindow(m_window.get());
        QVERIFY(!named<QCheckBox>(preferences, "confirmRenaming")->isChecked());
        named<QCheckBox>(preferences, "confirmRenaming")->setChecked(true);
        QVERIFY(ConfirmRenaming());
    }

    // Undo names the run and reverts it; a run that changed nothing offers none; a run left
    // unfinished is offered once per session, and found at start in any folder.
    void undoAndInterruptedRuns()
    {
        makeFiles(m_dir, {"a", "b", "c"});
        QSignalSpy offers(m_controller, &OrdinelloController::interruptedRunFound);
        m_controller->selectDirectoryPath(m_dir);
        QAction* undo = action("actionUndo");
        QVERIFY(!undo->isEnabled());
        QVERIFY(run("actionRenameItems"));
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"1 a", "2 b", "3 c"}));
        QVERIFY(undo->isEnabled());
        QCOMPARE(undo->text(), QStringLiteral("Undo Numbering of 3 Items"));
        QVERIFY(run("actionUndo"));
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"a", "b", "c"}));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(m_model->rowCount(), 3);

        m_controller->selectDirectoryPath(folderWith({QByteArray(NAME_MAX - 1, 'x')}));
        QVERIFY(run("actionRenameItems"));
        QCOMPARE(m_finished->last().at(0).toInt(), 0);
        QVERIFY(!undo->isEnabled());

        journaledRun(m_dir, RunKind::Numbering, 2);
        QCOMPARE(offers.size(), 0);
        m_controller->selectDirectoryPath(m_dir);
        QCOMPARE(offers.size(), 1);
        QCOMPARE(offers[0][0].toByteArray(), m_dir);
        m_controller->selectDirectoryPath(m_dir);
        QCOMPARE(offers.size(), 1);
        m_controller->undoInterruptedRun(m_dir);
        QVERIFY(m_finished->wait());
        QCOMPARE(entries(m_dir), (QList<QByteArray>{"a", "b", "c"}));
        journaledRun(m_dir, RunKind::PrefixRemoval, 0);   // nothing to strip: no journal
        journaledRun(m_dir, RunKind::Numbering, 1);
        const QList<JournalRun> interrupted = InterruptedRuns();
        QCOMPARE(interrupted.size(), 1);
        QCOMPARE(interrupted[0].folderPath, m_dir);

        // An undo says what it did not do and why: items that already had their old names
        // in the status bar, items it could not put back in a message; those stay to undo.
        const QByteArray left = folderWith({"a", "b", "c"});
        m_controller->selectDirectoryPath(left);
        QVERIFY(run("actionRenameItems"));
        QCOMPARE(::rename((left + "/2 b").constData(), (left + "/b").constData()), 0);
        QCOMPARE(::unlink((left + "/3 c").constData()), 0);
        touch(left, "3 c");
        QVERIFY(run("actionUndo"));
        QCOMPARE(entries(left), (QList<QByteArray>{"3 c", "a", "b"}));
        const RenameReportView* report = m_window->statusBar()->findChild<RenameReportView*>();
        QCOMPARE(report->account(), QStringLiteral("Done: 1 item; 1 item already had its old name"));
        QDialog* message = report->reportMessage();
        QVERIFY(message && named<QLabel>(message, "headline")->text().contains("1 of 3 items could not be put back."));
        QCOMPARE(message->findChild<QTreeWidget*>()->topLevelItem(0)->text(0), "3 c");
        QCOMPARE(undo->text(), "Undo Numbering of 1 Item");
    }

    // A second window does not open exactly on top of the first: places are handed out
    // lowest first and come free when a window goes, also when its program died.
    void windowPlacesAreTakenLowestFirstAndComeFree()
    {
        auto first = std::make_unique<WindowPlace>();
        const WindowPlace second;
        QCOMPARE(first->number(), 0);
        QCOMPARE(second.number(), 1);
        first.reset();
        QCOMPARE(WindowPlace().number(), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const WindowPlace held;
            ::_exit(held.number() == 0 ? 0 : 1);   // no destructor: the lock file stays
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(WindowPlace().number(), 0);
    }

    // A cascaded window stays on the screen.
    void cascadedWindowsStayOnScreen_data()
    {
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("number");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("first stays") << QPoint(100, 80) << QSize(800, 600) << 0 << QPoint(100, 80);
        QTest::newRow("second lower right") << QPoint(100, 80) << QSize(800, 600) << 1 << QPoint(130, 110);
        QTest::newRow("at the corner: upper left") << QPoint(1100, 580) << QSize(800, 600) << 1 << QPoint(1070, 550);
        QTest::newRow("larger than the screen") << QPoint(0, 0) << QSize(2500, 1500) << 1 << QPoint(0, 0);
    }

    void cascadedWindowsStayOnScreen()
    {
        QFETCH(QPoint, origin);
        QFETCH(QSize, size);
        QFETCH(int, number);
        QTEST(WindowPlace::cascaded(origin, size, QRect(0, 0, 1920, 1200), number, 30), "expected");
    }
};

QTEST_MAIN(TestController)
#include "tst_controller.moc"
