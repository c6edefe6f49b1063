// The main window and its controller: choosing a folder (the chooser played by the test),
// the table model, drag reordering, keyboard moves and the context click.

#include "TestFolders.h"
#include "app/FolderChooser.h"
#include "app/Launch.h"
#include "renaming/Preferences.h"
#include "app/MainWindow.h"
#include "app/NSTableViewExtensions.h"
#include "app/OrdinelloController.h"
#include "platform/Launcher.h"
#include "platform/NameCodec.h"
#include "support/BundleServices.h"
#include "support/LocalizedStrings.h"

#include "Named.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <sys/stat.h>
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
    QTemporaryDir* m_dir = nullptr;
    QByteArray m_recorder;
    QByteArray m_ourselvesOpened;   // what the program's own desktop entry was asked to open

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
        for (const char* name : {"A", "B", "C", "D", "E"})
            touch(path(*m_dir), name);
        chooseNext(path(*m_dir));
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
        m_dir = new QTemporaryDir;
        m_window = std::make_unique<MainWindow>();
        m_controller = m_window->controller();
        m_model = m_controller->model();
        new QAbstractItemModelTester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest, m_model);
        m_window->applicationWillFinishLaunching();
    }

    void cleanup()
    {
        m_window.reset();
        delete m_dir;
    }

    void startsEmpty()
    {
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_model->rowCount(), 0);
        QVERIFY(m_controller->folderPath().isNull());
        QVERIFY(!named(m_window.get(), "actionRenameItems")->isEnabled());
        QVERIFY(!named(m_window.get(), "actionRemovePrefixes")->isEnabled());
    }

    void choosingAFolderListsIt()
    {
        const QByteArray dir = path(*m_dir) + "/Trip";
        makeFolder(path(*m_dir), "Trip");
        for (const char* name : {"file10", "file9", "a.txt", ".hidden", "B.txt"})
            touch(dir, name);
        chooseNext(dir);
        m_controller->selectDirectory();

        QCOMPARE(names(), (QStringList{"a.txt", "B.txt", "file9", "file10"}));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Trip"));
        QCOMPARE(named<QLabel>(m_window.get(), "folderPathTextField")->text(), "Current Directory: " + QString::fromLocal8Bit(dir));
        QCOMPARE(m_window->windowFilePath(), QString::fromLocal8Bit(dir));
        QVERIFY(named(m_window.get(), "actionRenameItems")->isEnabled());
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
        QVERIFY(!m_model->objectValue(QStringLiteral("Unknown"), 0).isValid());
        // The Index column is wide enough for the largest number.
        const ItemTableView* table = m_window->fileTable();
        QVERIFY(table->columnWidth(DirectoryItemsModel::IndexColumn)
                >= table->sizeHintForIndex(m_model->index(3, DirectoryItemsModel::IndexColumn)).width());
        QVERIFY(!(m_model->flags(m_model->index(0, 0)) & Qt::ItemIsEditable));
    }

    void cancellingKeepsTheListing()
    {
        listFiveItems();
        chooseNext({});
        m_controller->selectDirectory();
        // The folder listed before stays chosen, as reference and as text alike.
        QCOMPARE(m_controller->folderPath(), DecodeFileName(m_controller->folderRef().path));
        QCOMPARE(m_model->rowCount(), 5);
        QVERIFY(m_controller->hasFolder());
        QCOMPARE(m_window->windowTitle(), QFileInfo(m_dir->path()).fileName());
    }

    void choosingAgainReloadsFromDisk()
    {
        listFiveItems();
        QVERIFY(drop({4}, 0));
        QCOMPARE(names().first(), QStringLiteral("E"));
        touch(path(*m_dir), "F");
        chooseNext(path(*m_dir));
        m_controller->selectDirectory();
        QCOMPARE(names(), (QStringList{"A", "B", "C", "D", "E", "F"}));
    }

    void emptyAndUnlistableFolders()
    {
        chooseNext(path(*m_dir));
        m_controller->selectDirectory();
        QCOMPARE(m_model->rowCount(), 0);
        QVERIFY(m_controller->hasFolder());
        QVERIFY(!named(m_window.get(), "actionRenameItems")->isEnabled());   // nothing to number
        QVERIFY(named(m_window.get(), "actionReload")->isEnabled());

        // A folder whose items cannot be listed still names the choice in the window.
        const QByteArray locked = path(*m_dir) + "/locked";
        makeFolder(path(*m_dir), "locked");
        touch(locked, "x");
        ::chmod(path(*m_dir).constData(), 0755);
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
    // in the window; of several, the last stays. Names need not be UTF-8.
    void foldersSentToTheProgramAreListed()
    {
        const QByteArray odd = "Last \xE9t\xE9";
        for (const QByteArray& name : {QByteArray("First"), QByteArray("Second"), odd})
            makeFolder(path(*m_dir), name);
        touch(path(*m_dir) + '/' + odd, "photo\xFF.jpg");
        const FSSpec specs[] = {{path(*m_dir), "First"}, {path(*m_dir), "Second"}, {path(*m_dir), odd}};
        QCOMPARE(SendOpenDocAppleEventToSelf(3, specs), OSStatus(noErr));
        QTRY_COMPARE(EncodeFileName(m_controller->folderPath()), path(*m_dir) + '/' + odd);
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(EncodeFileName(m_controller->directoryItems().first()), path(*m_dir) + '/' + odd + "/photo\xFF.jpg");
    }

    void folderWithAnOddName()
    {
        const QByteArray odd = "Vacanze \xE9t\xE9";   // Latin-1 bytes
        makeFolder(path(*m_dir), odd);
        touch(path(*m_dir) + '/' + odd, "photo\xFF.jpg");
        m_controller->selectDirectoryPath(path(*m_dir) + '/' + odd);
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(EncodeFileName(m_controller->directoryItems().first()), path(*m_dir) + '/' + odd + "/photo\xFF.jpg");
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

    void keyboardMoves_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("move");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("selected");
        using M = OrdinelloController::Move;
        QTest::newRow("up") << QList<int>{1, 3} << int(M::Up) << "BADCE" << QList<int>{0, 2};
        QTest::newRow("up at the top stays") << QList<int>{0, 1} << int(M::Up) << "ABCDE" << QList<int>{0, 1};
        QTest::newRow("down") << QList<int>{1, 2} << int(M::Down) << "ADBCE" << QList<int>{2, 3};
        QTest::newRow("down at the bottom stays") << QList<int>{4} << int(M::Down) << "ABCDE" << QList<int>{4};
        QTest::newRow("to top") << QList<int>{2, 4} << int(M::ToTop) << "CEABD" << QList<int>{0, 1};
        QTest::newRow("to bottom") << QList<int>{0, 2} << int(M::ToBottom) << "BDEAC" << QList<int>{3, 4};
    }

    void keyboardMoves()
    {
        QFETCH(QList<int>, rows);
        QFETCH(int, move);
        QFETCH(QString, order);
        QFETCH(QList<int>, selected);
        listFiveItems();
        select(rows);
        m_controller->moveSelectedRows(OrdinelloController::Move(move));
        QCOMPARE(names().join(QString()), order);
        QCOMPARE(m_controller->selectedRows(), selected);
    }

    void moveShortcutsReachTheController()
    {
        listFiveItems();
        select({2});
        m_window->fileTable()->setFocus();
        QVERIFY(named(m_window.get(), "actionMoveToTop")->isEnabled());
        named(m_window.get(), "actionMoveToTop")->trigger();
        QCOMPARE(names().join(QString()), QStringLiteral("CABDE"));
        QCOMPARE(named(m_window.get(), "actionMoveUp")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Up")));
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
        QTRY_VERIFY(named(m_window.get(), "actionHelp")->isEnabled());
        named(m_window.get(), "actionHelp")->trigger();
        QTRY_COMPARE(recordedOpens(m_recorder).size(), 1);
        const QByteArray manual = recordedOpens(m_recorder).value(0);
        QVERIFY2(manual.endsWith("/share/ordinello/help/en/index.html"), manual.constData());
        QVERIFY(readFile(manual).contains("<h2 id=\"undo\">"));
        QVERIFY(!m_window->findChild<QMessageBox*>());

        // Nothing handles arbitrary bytes here: the user is told, with the reason.
        writeFile(path(*m_dir) + "/blob.unknown-to-anyone", QByteArray("\x01\x02\x03\xFF", 4));
        m_controller->selectDirectoryPath(path(*m_dir));
        select({0});
        named(m_window.get(), "actionOpen")->trigger();
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
        for (const QChar step : steps) {
            QAction* action = step == u'i' ? named(m_window.get(), "actionZoomIn")
                            : step == u'o' ? named(m_window.get(), "actionZoomOut") : named(m_window.get(), "actionNormalSize");
            action->trigger();
        }
        QCOMPARE(m_window->fileTable()->iconSize(), QSize(size, size));
        QVERIFY(m_window->fileTable()->verticalHeader()->defaultSectionSize() > size);
        QCOMPARE(named(m_window.get(), "actionZoomIn")->isEnabled(), size < 128);
        QCOMPARE(named(m_window.get(), "actionZoomOut")->isEnabled(), size > 32);
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
        QTest::newRow("version") << QByteArrayList{"--version"} << int(A::Version) << QByteArrayList{};
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
        named(m_window.get(), "actionShowInFileManager")->trigger();
        QTRY_COMPARE(manager.shown.size(), 1);
        QCOMPARE(manager.shown.at(0), (QStringList{QString::fromLatin1(FileUriFromPathBytes(path(*m_dir) + "/B")),
                                                   QString::fromLatin1(FileUriFromPathBytes(path(*m_dir) + "/D"))}));
        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));

        const qsizetype opened = recordedOpens(m_recorder).size();
        named(m_window.get(), "actionShowInFileManager")->trigger();
        QTRY_COMPARE(recordedOpens(m_recorder).size(), opened + 1);
        QCOMPARE(recordedOpens(m_recorder).last(), path(*m_dir));
        QCOMPARE(recordedOpens(m_ourselvesOpened), QList<QByteArray>{});
        QVERIFY(!m_window->findChild<QMessageBox*>());
    }

    // Outside changes reach the list on their own: the arranged order stays, an item
    // renamed outside keeps its place under its new name, a new item stands where the
    // file manager's order puts it. A row never goes blank meanwhile.
    void outsideChangesAreFollowed()
    {
        listFiveItems();
        QVERIFY(drop({4}, 0));   // E A B C D
        select({2});
        const QByteArray d = path(*m_dir);
        QCOMPARE(::rename((d + "/B").constData(), (d + "/B2").constData()), 0);
        touch(d, "C1");
        QCOMPARE(m_model->data(m_model->index(2, DirectoryItemsModel::NameColumn)).toString(), "B");
        QTRY_COMPARE(names(), (QStringList{"E", "A", "B2", "C", "C1", "D"}));
        QCOMPARE(m_controller->selectedRows(), QList<int>{2});
        QCOMPARE(named(m_window.get(), "actionReload")->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(::unlink((d + "/A").constData()), 0);
        named(m_window.get(), "actionReload")->trigger();
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
        touch(path(*m_dir), "some-file.txt");
        argument.replace("FILE", path(*m_dir) + "/some-file.txt");
        m_controller->selectDirectoryPath(argument);
        auto* box = m_window->findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains(reason) && box->text().contains(QString::fromLocal8Bit(argument)),
                 qPrintable(box->text()));
        QVERIFY(!m_controller->hasFolder());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Ordinello"));
        QVERIFY(!named(m_window.get(), "actionRenameItems")->isEnabled());
        QVERIFY(!named(m_window.get(), "actionRemovePrefixes")->isEnabled());
    }

    // Moves are offered only where they move something; Home and End go to the ends.
    void movesFollowTheListsEnds_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("up");
        QTest::addColumn<bool>("down");
        QTest::newRow("first row") << QList<int>{0} << false << true;
        QTest::newRow("last row") << QList<int>{4} << true << false;
        QTest::newRow("block at the top") << QList<int>{0, 1} << false << true;
        QTest::newRow("first and third") << QList<int>{0, 2} << true << true;
        QTest::newRow("everything") << QList<int>{0, 1, 2, 3, 4} << false << false;
    }

    void movesFollowTheListsEnds()
    {
        QFETCH(QList<int>, rows);
        QFETCH(bool, up);
        QFETCH(bool, down);
        listFiveItems();
        select(rows);
        QCOMPARE(named(m_window.get(), "actionMoveUp")->isEnabled(), up);
        QCOMPARE(named(m_window.get(), "actionMoveToTop")->isEnabled(), up);
        QCOMPARE(named(m_window.get(), "actionMoveDown")->isEnabled(), down);
        QCOMPARE(named(m_window.get(), "actionMoveToBottom")->isEnabled(), down);

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
        const QByteArray d = path(*m_dir);
        makeFolder(d, "Parent");
        makeFolder(d, "Other");
        makeFolder(d + "/Parent", "Trip");
        for (const char* name : {"A", "B", "C", "D", "E"})
            touch(d + "/Parent/Trip", name);
        m_controller->selectDirectoryPath(d + "/Parent/Trip");
        QVERIFY(drop({4}, 0));   // E A B C D
        select({2});
        QVERIFY(::rename((d + '/' + from).constData(), (d + '/' + to).constData()) == 0);
        // A move of the folder itself is seen at once; one of a folder above it, when the
        // folder is next read.
        if (from.contains('/'))
            QTRY_COMPARE(m_controller->folderRef().path, d + '/' + now);
        else
            named(m_window.get(), "actionReload")->trigger();
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
        const QByteArray d = path(*m_dir);
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
        QVERIFY(!named(m_window.get(), "actionReload")->isEnabled());
        if (trash)
            QDir(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME") + "/Trash")).removeRecursively();
    }

    // A folder opened through a symbolic link is the folder itself, at its own path:
    // outside changes and F5 keep it listed.
    void folderOpenedThroughALinkStaysListed()
    {
        const QByteArray d = path(*m_dir);
        makeFolder(d, "Trip");
        touch(d + "/Trip", "A");
        QVERIFY(::symlink("Trip", (d + "/link").constData()) == 0);
        m_controller->selectDirectoryPath(d + "/link");
        QCOMPARE(m_controller->folderRef().path, d + "/Trip");
        QCOMPARE(names(), QStringList{"A"});
        touch(d + "/Trip", "B");
        QTRY_COMPARE(names(), (QStringList{"A", "B"}));
        named(m_window.get(), "actionReload")->trigger();
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
        QVERIFY(menu->actions().contains(named(m_window.get(), "actionOpen")));
        QVERIFY(menu->actions().contains(named(m_window.get(), "actionShowInFileManager")));
        QVERIFY(menu->actions().contains(named(m_window.get(), "actionMoveToBottom")));

        // An already selected row stays the only selection.
        QCOMPARE(table->menuForEvent(row2.center()), menu);
        QCOMPARE(m_controller->selectedRows(), QList<int>{2});

        // Below the last row: nothing selected, the menu still opens.
        QCOMPARE(table->menuForEvent(QPoint(5, table->viewport()->height() - 2)), menu);
        QVERIFY(m_controller->selectedRows().isEmpty());
        QVERIFY(!named(m_window.get(), "actionOpen")->isEnabled());
    }
};

QTEST_MAIN(TestController)
#include "tst_controller.moc"
