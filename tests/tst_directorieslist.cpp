// Directories lists (folder paths as lists of names), the folders and files they name,
// and the file-level routines beside them: listing files, changing and adding extensions.

#include "TestFolders.h"
#include "platform/NameCodec.h"
#include "support/CFile.h"
#include "support/DirectoriesList.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>

#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestFolders;

namespace {

CList<QString> listOf(const QStringList& names)
{
    CList<QString> list;
    for (const QString& name : names)
        list.append(name);
    return list;
}

QStringList namesOf(const CList<QString>& list)
{
    QStringList names;
    for (const QString& name : list)
        names.append(name);
    return names;
}

} // namespace

class TestDirectoriesList : public QObject
{
    Q_OBJECT

    QByteArray m_root;

private Q_SLOTS:
    void init() { m_root = temporaryFolder(); }

    void parsePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("appended");
        QTest::newRow("separators doubled and trailing") << "/Volumes/Disk//a/b/" << QStringList{"Volumes", "Disk", "a", "b"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("lone separator") << "/" << QStringList{};
        QTest::newRow("relative") << "a/b" << QStringList{"a", "b"};
    }

    void parsePath()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, appended);
        CList<QString> list = listOf({"kept"});
        ParsePath(path, list);
        QCOMPARE(namesOf(list), QStringList{"kept"} + appended);
    }

    void makeDirectoriesList()
    {
        makeFolder(m_root, "a");
        touch(m_root, "a/f");
        struct stat root, temporary;
        QCOMPARE(::stat("/", &root), 0);
        QCOMPARE(::stat(m_root.constData(), &temporary), 0);
        if (root.st_dev != temporary.st_dev)
            QSKIP("the temporary folder is on its own mount");
        const QStringList expected = QStringList{"/"} + QString::fromUtf8(m_root).split(u'/', Qt::SkipEmptyParts) + QStringList{"a"};

        CList<QString> list = listOf({"stale"});
        QCOMPARE(MakeDirectoriesList(refTo(m_root + "/a"), list), noErr);
        QCOMPARE(namesOf(list), expected);
        // A file's own name is left out.
        QCOMPARE(MakeDirectoriesList(refTo(m_root + "/a/f"), list), noErr);
        QCOMPARE(namesOf(list), expected);
        QCOMPARE(MakeDirectoriesList(refTo("/"), list), noErr);
        QCOMPARE(namesOf(list), QStringList{"/"});

        // A folder at the top of a mount is the volume itself.
        struct stat proc;
        if (::stat("/proc", &proc) == 0 && proc.st_dev != root.st_dev) {
            QCOMPARE(MakeDirectoriesList(refTo("/proc"), list), noErr);
            QCOMPARE(namesOf(list), QStringList{"proc"});
        }

        const FSRef gone = refTo(m_root + "/a/f");
        ::unlink(gone.path.constData());
        QCOMPARE(MakeDirectoriesList(gone, list), fnfErr);
    }

    // A reference's path is canonical: absolute, its folder resolved, no ".", ".." or
    // doubled "/"; its last component is never followed. Its name is the object's own.
    void referencesFromDottedPaths_data()
    {
        QTest::addColumn<QByteArray>("given");   // relative paths start at the test folder
        QTest::addColumn<QByteArray>("canonical");
        QTest::newRow("..") << QByteArray("a/b/..") << QByteArray("a");
        QTest::newRow(".") << QByteArray("a/./b/.") << QByteArray("a/b");
        QTest::newRow("doubled and trailing /") << QByteArray("a//b//") << QByteArray("a/b");
        QTest::newRow("link on the way") << QByteArray("toA/b") << QByteArray("a/b");
        QTest::newRow("final link kept") << QByteArray("a/../toA") << QByteArray("toA");
        QTest::newRow("absolute") << QByteArray("<root>/a/../a/b") << QByteArray("a/b");
    }

    void referencesFromDottedPaths()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, canonical);
        char resolved[PATH_MAX];
        QVERIFY(::realpath(m_root.constData(), resolved));
        const QByteArray root(resolved);
        makeFolder(root, "a");
        makeFolder(root, "a/b");
        QCOMPARE(::symlink("a", (root + "/toA").constData()), 0);
        const QByteArray working = QDir::currentPath().toLocal8Bit();
        const auto back = qScopeGuard([&working] { QVERIFY(::chdir(working.constData()) == 0); });
        QCOMPARE(::chdir(root.constData()), 0);
        FSRef ref;
        QCOMPARE(FSPathMakeRef(given.replace("<root>", root), &ref), noErr);
        QCOMPARE(ref.path, root + '/' + canonical);
        const QByteArray name = canonical.mid(canonical.lastIndexOf('/') + 1);
        QCOMPARE(CFile::FSGetObjectName(ref), QString::fromUtf8(name));
    }

    void trimAndCompare_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<long>("trim");
        QTest::addColumn<QStringList>("trimmed");
        QTest::addColumn<QStringList>("prefix");
        QTest::addColumn<bool>("beginsWith");
        const QStringList abc{"Alpha", "Beta", "Gamma"};
        QTest::newRow("trim one, case differs") << abc << 1L << QStringList{"Beta", "Gamma"} << QStringList{"alpha", "BETA"} << true;
        QTest::newRow("trim more than held") << abc << 5L << QStringList{} << QStringList{} << true;
        QTest::newRow("negative trims nothing") << abc << -2L << abc << QStringList{"Alpha", "Delta"} << false;
        QTest::newRow("prefix one longer") << abc << 0L << abc << (abc + QStringList{"Delta"}) << false;
    }

    void trimAndCompare()
    {
        QFETCH(QStringList, list);
        QFETCH(long, trim);
        QFETCH(QStringList, trimmed);
        QFETCH(QStringList, prefix);
        QFETCH(bool, beginsWith);
        CList<QString> entries = listOf(list);
        QCOMPARE(DirectoriesListBeginsWithDirectoriesList(entries, listOf(prefix)), beginsWith);
        TrimDirectoriesList(entries, trim);
        QCOMPARE(namesOf(entries), trimmed);
    }

    void makeDirectoryAndFile()
    {
        const FSRef parent = refTo(m_root);
        FSRef folder = parent;
        QCOMPARE(MakeDirectory(parent, CList<QString>(), folder), noErr);
        QCOMPARE(folder, parent);

        const CList<QString> chain = listOf({"a", "b", "c"});
        QCOMPARE(MakeDirectory(parent, chain, folder), noErr);
        QCOMPARE(folder, refTo(m_root + "/a/b/c"));
        FSRef again;
        QCOMPARE(MakeDirectory(parent, chain, again), noErr);   // all there: nothing new
        QCOMPARE(again, folder);

        writeFile(m_root + "/a/b/c/f", "content");
        FSRef file;
        QCOMPARE(CFile::FSSetType(refTo(m_root + "/a/b/c/f"), FourCharCode("TEXT")), noErr);
        QCOMPARE(MakeFile(parent, chain, QStringLiteral("f"), file), noErr);
        OSType type = 1;
        QCOMPARE(CFile::FSGetType(file, type), noErr);
        QCOMPARE(type, OSType(0));
        QCOMPARE(readFile(file.path), QByteArray("content"));

        // A file where a folder should be stops the walk there.
        touch(m_root, "x");
        QCOMPARE(MakeDirectory(parent, listOf({"x", "y"}), folder), errFSNotAFolder);
        QCOMPARE(folder, refTo(m_root + "/x"));
        QCOMPARE(MakeFile(parent, listOf({"x", "y"}), QStringLiteral("f"), file), errFSNotAFolder);
    }

    void directoryFilesList()
    {
        touch(m_root, "plain");
        touch(m_root, "caf\xE9");
        makeFolder(m_root, "folder");
        touch(m_root, "folder/inside");
        QCOMPARE(::symlink("folder", (m_root + "/link").constData()), 0);
        CList<FSRef> files;
        files.append(refTo(m_root + "/folder"));   // entries already there are kept
        QCOMPARE(GetDirectoryFilesList(refTo(m_root), files), noErr);
        QList<QByteArray> names;
        for (const FSRef& ref : files)
            names.append(ref.nameBytes().toByteArray());
        std::sort(names.begin() + 1, names.end());
        QCOMPARE(names, (QList<QByteArray>{"folder", "caf\xE9", "link", "plain"}));
        QCOMPARE(GetDirectoryFilesList(refTo(m_root + "/folder/inside"), files), errFSNotAFolder);
    }

    void changeFilesSuffix_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("oldSuffix");
        QTest::addColumn<QString>("newSuffix");
        QTest::addColumn<QByteArray>("taken");   // an item already there, never replaced
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("case differs") << QByteArray("photo.JPG") << "jpg" << "jpeg" << QByteArray() << QByteArray("photo.jpeg");
        QTest::newRow("other extension") << QByteArray("photo.png") << "jpg" << "jpeg" << QByteArray() << QByteArray("photo.png");
        QTest::newRow("no extension") << QByteArray("README") << "jpg" << "jpeg" << QByteArray() << QByteArray("README.jpeg");
        QTest::newRow("from the end") << QByteArray("a.txt.txt") << "txt" << "md" << QByteArray() << QByteArray("a.txt.md");
        QTest::newRow("not UTF-8") << QByteArray("caf\xE9.JPG") << "jpg" << "jpeg" << QByteArray() << QByteArray("caf\xE9.jpeg");
        QTest::newRow("name taken") << QByteArray("photo.JPG") << "jpg" << "jpeg" << QByteArray("photo.jpeg") << QByteArray("photo.JPG");
        // 250 bytes that would become 257: cut at 255 bytes, before a split character.
        const QByteArray stem = 'a' + QByteArray("\xC3\xA9").repeated(122);   // 245 bytes
        QTest::newRow("past NAME_MAX") << stem + ".jpeg" << "jpeg" << QString::fromUtf8("\xC3\xA9").repeated(6)
                                       << QByteArray() << stem + "." + QByteArray("\xC3\xA9").repeated(4);
    }

    void changeFilesSuffix()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, oldSuffix);
        QFETCH(QString, newSuffix);
        QFETCH(QByteArray, taken);
        QFETCH(QByteArray, result);
        writeFile(m_root + '/' + name, "item");
        if (!taken.isEmpty())
            writeFile(m_root + '/' + taken, "taken");
        FSRef item = refTo(m_root + '/' + name);
        ChangeFilesSuffix(item, oldSuffix, newSuffix);
        QCOMPARE(item.nameBytes().toByteArray(), result);
        QVERIFY(result.size() <= 255);
        QCOMPARE(readFile(m_root + '/' + result), QByteArray("item"));
        if (!taken.isEmpty())
            QCOMPARE(readFile(m_root + '/' + taken), QByteArray("taken"));
    }

    void setFilesExtension()
    {
        touch(m_root, "report");
        FSRef item = refTo(m_root + "/report");
        QCOMPARE(SetFilesExtension(item, QStringLiteral(".txt")), QString::fromUtf8(m_root + "/report.txt"));
        QCOMPARE(entries(m_root), QList<QByteArray>{"report.txt"});
        QVERIFY(SetFilesExtension(item, QStringLiteral(".doc")).isNull());   // has one already

        // The path form takes paths far past 255 bytes; a taken name gives null.
        const QByteArray deep = QByteArray(200, 'd');
        makeFolder(m_root, deep);
        touch(m_root, deep + "/notes");
        touch(m_root, deep + "/notes.md");
        const QString path = DecodeFileName(m_root + '/' + deep + "/notes");
        QVERIFY(SetFilesExtension(path, QStringLiteral(".md")).isNull());
        QCOMPARE(SetFilesExtension(path, QStringLiteral(".txt")), path + ".txt");
        QVERIFY(SetFilesExtension(path, QStringLiteral(".txt")).isNull());   // gone
    }
};

QTEST_GUILESS_MAIN(TestDirectoriesList)
#include "tst_directorieslist.moc"
