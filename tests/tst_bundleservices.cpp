// The installation prefix, resources, preference values in both domains, system version,
// opening items with the default application, Open Documents to the program itself,
// permissions and resource-fork copies.

#include "TestFolders.h"
#include "platform/NameCodec.h"
#include "platform/ProgramSettings.h"
#include "support/BundleServices.h"

#include <QDateTime>
#include <QFileOpenEvent>
#include <QTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace TestFolders;

namespace {

constexpr const char kFork[] = "user.com.apple.ResourceFork";

mode_t modeOf(const QByteArray& path)
{
    struct stat st {};
    ::lstat(path.constData(), &st);
    return st.st_mode & 07777;
}

// Points the any-user domain somewhere for one test, and back to the process's own value
// afterwards: GLib reads XDG_CONFIG_DIRS once, whenever it first needs it.
class SystemScope
{
public:
    explicit SystemScope(const QByteArray& dirs) : m_saved(qgetenv("XDG_CONFIG_DIRS")) { qputenv("XDG_CONFIG_DIRS", dirs); }
    ~SystemScope() { qputenv("XDG_CONFIG_DIRS", m_saved); }
private:
    QByteArray m_saved;
};

} // namespace

class TestBundleServices : public QObject
{
    Q_OBJECT

    QByteArray m_dir;

    QByteArray file(const QByteArray& name, const QByteArray& contents = "hello\n", mode_t mode = 0644)
    {
        const QByteArray p = m_dir + '/' + name;
        writeFile(p, contents);
        ::chmod(p.constData(), mode);
        return p;
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateUserFolders();
        m_dir = temporaryFolder();
    }

    // In the build tree the prefix is the folder holding bin/.
    void prefix()
    {
        char real[PATH_MAX];
        QVERIFY(realpath((qgetenv("ORDINELLO_BIN_DIR") + "/..").constData(), real));
        FSRef ref, bundle;
        QCOMPARE(EncodeFileName(GetPathToAppBundle(&ref)), QByteArray(real));
        QCOMPARE(ref.path, QByteArray(real));
        QVERIFY(GetBundleFSRef(&bundle) && bundle == ref);
    }

    void resources_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("found");
        QTest::newRow("program icon") << QByteArray("org.ordinello.Ordinello") << QByteArray("svg") << true;
        QTest::newRow("wrong type") << QByteArray("org.ordinello.Ordinello") << QByteArray("png") << false;
        QTest::newRow("missing") << QByteArray("Nothing") << QByteArray("icns") << false;
        QTest::newRow("outside the folder") << QByteArray("../../bin/ordinello") << QByteArray() << false;
        QTest::newRow("the folder itself") << QByteArray("..") << QByteArray() << false;
    }

    void resources()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, type);
        QFETCH(bool, found);
        FSRef ref;
        QCOMPARE(MakeFSRefForBundleResource(name.constData(), type.constData(), ref), found);
        if (found)
            QVERIFY(ref.path.endsWith("/share/ordinello/" + name + '.' + type));
    }

    void iconResources()
    {
        QIcon icon;
        QCOMPARE(GetIconRefForResource("org.ordinello.Ordinello", OSType(0x4150504C), icon), OSStatus(noErr));
        QVERIFY(!icon.pixmap(32, 32).isNull());
        QIcon none;
        QVERIFY(GetIconRefForResource("Nothing", OSType(0x4150504C), none) != noErr);
        QVERIFY(none.isNull());
    }

    void preferenceValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("string") << QVariant(QStringLiteral("Perché"));
        QTest::newRow("data") << QVariant(QByteArray("\x00\xFF\x7F", 3));
        QTest::newRow("date") << QVariant(QDateTime(QDate(2007, 3, 4), QTime(5, 6, 7), Qt::UTC));
        QTest::newRow("map") << QVariant(QVariantMap{{"n", 3}, {"b", true}, {"s", "x"}});
        QTest::newRow("strings") << QVariant(QStringList{"a", "b"});
        QTest::newRow("one string in a list") << QVariant(QStringList{"a"});
        QTest::newRow("number") << QVariant(5);
        QTest::newRow("real") << QVariant(2.5);
        QTest::newRow("boolean") << QVariant(true);
        QTest::newRow("list") << QVariant(QVariantList{7, "a", false});
    }

    // Values come back with their type and content, in both domains, also in the next run
    // (the settings file read anew, not the values this process holds).
    void preferenceValues()
    {
        QFETCH(QVariant, value);
        SystemScope scope(temporaryFolder());
        const auto name = pascal(QTest::currentDataTag());
        for (bool anyUser : {false, true}) {
            WritePreferenceValue(value, name.data(), anyUser);
            QCOMPARE(ReadPreferenceValue(name.data(), anyUser), value);
            const QString file = anyUser ? SystemSettingsFileName() : ProgramSettings().fileName();
            setModificationTime(QFile::encodeName(file), 1000000000);
            const QVariant read = ReadPreferenceValue(name.data(), anyUser);
            QCOMPARE(read.metaType(), value.metaType());   // "5" would equal 5
            QCOMPARE(read, value);
        }
    }

    void domains()
    {
        const QByteArray system = temporaryFolder();
        SystemScope scope(system);
        const auto name = pascal("Shared");
        WritePreferenceValue(QStringLiteral("everyone"), name.data(), true);
        WritePreferenceValue(QStringLiteral("me"), name.data(), false);
        QCOMPARE(ReadPreferenceValue(name.data(), true).toString(), QStringLiteral("everyone"));
        QCOMPARE(ReadPreferenceValue(name.data(), false).toString(), QStringLiteral("me"));
        QVERIFY(QFile::exists(QFile::decodeName(system + "/Ordinello/Ordinello.conf")));
    }

    // The any-user file lies under a regular file: its folder cannot be made, by root either.
    void unwritableAnyUserDomainFallsBackToTheUser()
    {
        const QByteArray blocker = file("not-a-folder");
        SystemScope scope(blocker);
        const auto name = pascal("Fallback");
        QCOMPARE(WritePreferenceValue(QStringLiteral("kept"), name.data(), true), OSStatus(noErr));
        QVERIFY(!ProgramSettings(QSettings::SystemScope).contains(QStringLiteral("Fallback")));
        QCOMPARE(ProgramSettings().value(QStringLiteral("Fallback")).toString(), QStringLiteral("kept"));
        QCOMPARE(ReadPreferenceValue(name.data(), true).toString(), QStringLiteral("kept"));
    }

    // Keys are Mac Roman.
    void macRomanKeys()
    {
        const auto name = pascal("Helper\xA5http");   // Mac Roman bullet
        WritePreferenceValue(42, name.data(), false);
        QVERIFY(ProgramSettings().contains(QString::fromUtf8("Helper\u2022http")));
        QCOMPARE(ReadPreferenceValue(name.data(), false), QVariant(42));
        WritePreferenceValue(1, nullptr, false);   // no key: nothing written, nothing read
        QVERIFY(!ReadPreferenceValue(nullptr, true).isValid());
        QVERIFY(!ReadPreferenceValue(pascal("Never written").data(), true).isValid());
    }

    void systemVersion_data()
    {
        QTest::addColumn<QByteArray>("release");
        QTest::addColumn<long>("version");
        QTest::newRow("debian") << QByteArray("6.1.0-18-amd64") << 0x610L;
        QTest::newRow("two-digit major") << QByteArray("10.4.8") << 0x1048L;
        QTest::newRow("minor capped") << QByteArray("6.17.2") << 0x6F2L;
        QTest::newRow("patch capped") << QByteArray("5.10.209-rt") << 0x5AFL;
        QTest::newRow("no patch") << QByteArray("4.19") << 0x4F0L;
        QTest::newRow("not a number") << QByteArray("linux") << 0L;
        QTest::newRow("empty") << QByteArray() << 0L;
    }

    void systemVersion()
    {
        QFETCH(QByteArray, release);
        QTEST(SystemVersionFromRelease(release), "version");
    }

    void unicodeString()
    {
        const QString text = QString::fromUtf8("Caf\u00E9 \U0001D11E");
        unsigned long length = 0;
        Ptr block = GetUnicodeString(text, &length);
        QVERIFY(block);
        QCOMPARE(length, 7ul);
        QCOMPARE(GetPtrSize(block), Size(14));
        QCOMPARE(QStringView(reinterpret_cast<const char16_t*>(block), 7), QStringView(text));
        DisposePtr(block);
    }

    // The default application (the fixture's recorder) receives the item's exact bytes.
    void launching_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("throughAlias");
        QTest::newRow("plain") << QByteArray("note.txt") << false;
        QTest::newRow("not UTF-8") << QByteArray("caf\xE9 \xFF.txt") << false;
        QTest::newRow("alias") << QByteArray("target.txt") << true;
        QTest::newRow("alias, not UTF-8") << QByteArray("t\xE9.txt") << true;
    }

    void launching()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, throughAlias);
        const QByteArray target = file(name);
        const QByteArray record = m_dir + "/record-" + QTest::currentDataTag();
        qputenv("ORDINELLO_RECORDER_FILE", record);
        if (throughAlias) {
            const QByteArray link = m_dir + "/alias to " + name;
            QCOMPARE(::symlink(target.constData(), link.constData()), 0);
            QCOMPARE(OpenAlias(refTo(link)), OSStatus(noErr));
        } else {
            QCOMPARE(LaunchFSRef(refTo(target)), OSStatus(noErr));
        }
        QTRY_COMPARE_WITH_TIMEOUT(readFile(record), target, 20000);
    }

    void launchFailures()
    {
        const QByteArray gone = file("gone.txt");
        const FSRef stale = refTo(gone);
        ::unlink(gone.constData());
        QCOMPARE(LaunchFSRef(stale), OSStatus(fnfErr));
        QCOMPARE(LaunchFSRef(FSRef()), OSStatus(paramErr));

        const QByteArray dangling = m_dir + "/dangling";
        QCOMPARE(::symlink((m_dir + "/nowhere").constData(), dangling.constData()), 0);
        QCOMPARE(OpenAlias(refTo(dangling)), OSStatus(fnfErr));
        QCOMPARE(OpenAlias(refTo(file("not-a-link.txt"))), OSStatus(paramErr));
    }

    // Items go to the application object in order; bad or missing items are left out, and
    // when the last is one of them nothing is sent. (tst_controller: the window opens them.)
    void openDocuments()
    {
        struct Catcher : QObject {
            QList<QByteArray> paths;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                if (watched == qApp && event->type() == QEvent::FileOpen)
                    paths.append(QByteArray::fromPercentEncoding(
                        static_cast<QFileOpenEvent*>(event)->url().path(QUrl::FullyEncoded).toLatin1()));
                return false;
            }
        } catcher;
        qApp->installEventFilter(&catcher);
        const QByteArray odd = file("\xE9t\xE9");
        const FSSpec specs[] = {{m_dir, "\xE9t\xE9"}, {m_dir, "missing"}, {m_dir, "../x"}, {m_dir, "\xE9t\xE9"}};
        QCOMPARE(SendOpenDocAppleEventToSelf(0, specs), OSStatus(paramErr));
        QCOMPARE(SendOpenDocAppleEventToSelf(1, nullptr), OSStatus(paramErr));
        QCOMPARE(SendOpenDocAppleEventToSelf(2, specs), OSStatus(fnfErr));
        QCOMPARE(SendOpenDocAppleEventToSelf(3, specs), OSStatus(paramErr));
        QCoreApplication::processEvents();
        QVERIFY(catcher.paths.isEmpty());
        QCOMPARE(SendOpenDocAppleEventToSelf(4, specs), OSStatus(noErr));
        QTRY_COMPARE(catcher.paths, (QList<QByteArray>{odd, odd}));
    }

    void accessibleToAll_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("0600") << 0600 << 0666;
        QTest::newRow("0755") << 0755 << 0777;
        QTest::newRow("setgid kept") << 02700 << 02766;
        QTest::newRow("0000") << 0000 << 0666;
    }

    void accessibleToAll()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        const QByteArray p = file(QByteArray("mode-") + QTest::currentDataTag(), "x", mode_t(before));
        FSRef ref = refTo(p);
        QCOMPARE(MakeFileAccessibleToAll(&ref), OSStatus(noErr));
        QCOMPARE(int(modeOf(p)), after);
    }

    // A link is refused and its target left alone; stale and null references are errors.
    void accessibleToAllRefusals()
    {
        const QByteArray target = file("private", "x", 0600);
        const QByteArray link = m_dir + "/link to private";
        QCOMPARE(::symlink(target.constData(), link.constData()), 0);
        FSRef linkRef = refTo(link);
        QVERIFY(MakeFileAccessibleToAll(&linkRef) != noErr);
        QCOMPARE(int(modeOf(target)), 0600);

        // Another object takes the name (made first, so it cannot reuse the inode).
        FSRef stale = refTo(file("stale", "x", 0600));
        QCOMPARE(::rename(file("newcomer", "x", 0600).constData(), stale.path.constData()), 0);
        QCOMPARE(MakeFileAccessibleToAll(&stale), OSStatus(fnfErr));
        QCOMPARE(int(modeOf(stale.path)), 0600);
        QCOMPARE(MakeFileAccessibleToAll(nullptr), OSStatus(paramErr));
    }

    void resourceForks()
    {
        const QByteArray source = file("with fork");
        const QByteArray fork(3000, 'r');
        if (::lsetxattr(source.constData(), kFork, fork.constData(), size_t(fork.size()), 0) != 0)
            QSKIP("this file system keeps no user extended attributes");

        // An existing, longer destination fork is replaced, not overlaid.
        const QByteArray destination = file("destination");
        const QByteArray old(3500, 'o');
        QCOMPARE(::lsetxattr(destination.constData(), kFork, old.constData(), size_t(old.size()), 0), 0);
        FSRef from = refTo(source), to = refTo(destination);
        QCOMPARE(FSCopyResourceFork(&from, &to), OSErr(noErr));
        QCOMPARE(attribute(destination, kFork), fork);

        // No fork on the source: the destination keeps its own.
        FSRef bare = refTo(file("bare"));
        QCOMPARE(FSCopyResourceFork(&bare, &to), OSErr(noErr));
        QCOMPARE(attribute(destination, kFork), fork);

        // A link as source is not followed: it has no fork of its own.
        const QByteArray link = m_dir + "/link to fork";
        QCOMPARE(::symlink(source.constData(), link.constData()), 0);
        FSRef linkRef = refTo(link), empty = refTo(file("empty"));
        QCOMPARE(FSCopyResourceFork(&linkRef, &empty), OSErr(noErr));
        QVERIFY(attribute(empty.path, kFork).isEmpty());
    }
};

QTEST_MAIN(TestBundleServices)
#include "tst_bundleservices.moc"
