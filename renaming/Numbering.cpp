#include "renaming/Numbering.h"

#include "renaming/RenameJournal.h"
#include "fsobjects/ObjectNames.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"
#include "support/LocalizedStrings.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A number text wider than a whole name cannot fit in one, so wider widths only cost
// memory: a stored width of two billion would otherwise allocate gigabytes. The rename
// then fails with "name too long" exactly as it would at the full width.
constexpr int kMaxNumberWidth = NAME_MAX;

// Names are handled as the bytes they have on disk: the number prefix is ASCII and the
// blank is the byte 0x20 wherever it stands, so working on bytes gives exactly the names
// the text would, without converting each name twice.

QByteArray companionName(QByteArrayView name)
{
    QByteArray companion;
    companion.reserve(name.size() + 2);
    companion.append("._", 2).append(name);
    return companion;
}

QByteArray siblingPath(const FSRef& item, QByteArrayView name)
{
    const QByteArrayView folder = item.parentPath();
    QByteArray path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (!path.endsWith('/'))
        path += '/';
    return path.append(name);
}

bool holds(QByteArrayView bytes, char c)
{
    return std::memchr(bytes.data(), c, size_t(bytes.size())) != nullptr;
}

// The new name is empty, ".", "..", holds a separator or is longer than a name can be:
// the rename is refused before anything is touched.
bool impossibleName(QByteArrayView name)
{
    return name.isEmpty() || name == "." || name == ".." || holds(name, '/') || holds(name, '\0')
           || name.size() > NAME_MAX;
}

// The number as a signed 32-bit decimal, padded with zeros on the left to `width`
// characters (clamped to 0..NAME_MAX): the blanks a right-aligned field would carry become
// zeros, so they stand before a minus sign ("0000-5"). Written to out, which has room for
// NAME_MAX + 11 bytes; returns the length.
qsizetype numberText(std::uint32_t number, int width, char* out)
{
    width = std::clamp(width, 0, kMaxNumberWidth);
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, std::int32_t(number));
    const qsizetype length = end.ptr - digits;
    const qsizetype padding = std::max<qsizetype>(width - length, 0);
    std::memset(out, '0', size_t(padding));
    std::memcpy(out + padding, digits, size_t(length));
    return padding + length;
}

// An item's new name, made in place for every item in turn. There is room for the
// widest number, a blank and a whole name.
class NewName
{
public:
    QByteArrayView view() const { return QByteArrayView(m_bytes, m_size); }

    void clear() { m_size = 0; }
    // The number text (see numberText), the width at most NAME_MAX.
    void appendNumber(std::uint32_t number, int width) { m_size += numberText(number, width, m_bytes + m_size); }
    // A name is at most NAME_MAX bytes; anything longer could not be given anyway, and
    // is cut only here, where it fails as too long.
    void append(QByteArrayView bytes)
    {
        const qsizetype length = std::min<qsizetype>(bytes.size(), qsizetype(sizeof m_bytes) - m_size);
        std::memcpy(m_bytes + m_size, bytes.data(), size_t(length));
        m_size += length;
    }

private:
    char m_bytes[2 * NAME_MAX + 16];
    qsizetype m_size = 0;
};

QString reasonFor(int error)
{
    if (error == EINVAL)
        return LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "the new name would not be a valid name"));
    return DescribeErrno(error);
}

// A listed item that can no longer be renamed: either nothing is at its path any more,
// or another object took its place (the identity differs).
RenameFailure staleFailure(const FSRef& item)
{
    RenameFailure failure;
    failure.name = DecodeFileName(item.nameBytes());
    failure.error = ENOENT;
    struct stat st;
    if (::lstat(item.path.constData(), &st) == 0)
        failure.reason = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "another item took its place since the folder was listed"));
    else
        failure.reason = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "the item was removed or moved away since the folder was listed"));
    return failure;
}

// Renames items one at a time, with their AppleDouble companions, and keeps the report.
// In a dry run it renames nothing and instead tracks, path by path, what the run would
// have created and freed, so a later item meets the names an earlier one would have
// taken or left.
class Renamer
{
public:
    // scanFolders: find companions from one reading of each folder (runs over many items)
    // instead of one lookup per item.
    Renamer(const RenameRun& run, RenameReport* report, bool scanFolders = true)
        : m_run(run)
        , m_report(report)
        , m_scanFolders(scanFolders)
    {
    }

    ~Renamer()
    {
        if (m_folderFd >= 0)
            ::close(m_folderFd);
    }

    // The "._" names of a folder as its listing found them: no second reading of it.
    void knowCompanionNames(const FSRef& item, const QSet<QByteArray>& names)
    {
        m_companionNames.insert(item.parentPath().toByteArray(), names);
    }

    // False after reporting that the item is stale. A real run takes the name from the
    // reference as it is: the rename itself refuses an item that is gone or was replaced,
    // and that refusal is reported the same way.
    bool current(const FSRef& item)
    {
        if (!m_run.dryRun || FSIsFSRefValid(&item))
            return true;
        fail(staleFailure(item));
        return false;
    }

    void unchanged() { ++m_report->handled; }

    // A rename the plan found impossible: its new name, or its companion's, is taken.
    void refuse(const FSRef& item, QByteArrayView newName, bool companionTaken)
    {
        if (!m_run.dryRun)
            SysBeep(30);
        if (companionTaken)
            fail(item.nameBytes(), newName, EEXIST,
                 LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"))
                     .arg(DisplayFileName(DecodeFileName(companionName(item.nameBytes()))), reasonFor(EEXIST)));
        else
            fail(item.nameBytes(), newName, EEXIST, reasonFor(EEXIST));
    }

    // Renames the item to `newName`; false after reporting a failure.
    // knownCompanion: the companion as planned (null: none), when it was looked up before.
    bool rename(FSRef* item, QByteArrayView newName, const FSRef* const* knownCompanion = nullptr)
    {
        FSRef companion;
        bool hasCompanion = false;
        if (knownCompanion) {
            hasCompanion = *knownCompanion != nullptr;
            if (hasCompanion)
                companion = **knownCompanion;
        } else {
            hasCompanion = findCompanion(*item, item->nameBytes(), &companion);
        }
        const bool done = m_run.dryRun ? planRename(*item, newName, hasCompanion ? &companion : nullptr)
                                       : doRename(item, newName, hasCompanion ? &companion : nullptr);
        if (done) {
            ++m_report->handled;
            ++m_report->renamed;
        }
        return done;
    }

    // Only a regular file counts: a folder or a link that happens to carry the name is
    // an item of its own and stays where it is.
    bool findCompanion(const FSRef& item, QByteArrayView name, FSRef* companion)
    {
        m_companion.truncate(0);
        m_companion.append("._", 2).append(name);
        // A folder read once tells which items have one (most folders have none).
        if (m_scanFolders) {
            const QSet<QByteArray>& names = companionNames(item);
            if (m_scanFolders && (names.isEmpty() || !names.contains(m_companion)))
                return false;   // still scanning: the folder could be read
        }
        return FSPathMakeRef(siblingPath(item, m_companion), companion) == noErr && S_ISREG(companion->mode);
    }

private:
    void fail(RenameFailure failure)
    {
        if (m_run.failed)
            m_run.failed(failure);
        m_report->failures.append(std::move(failure));
    }

    void fail(QByteArrayView name, QByteArrayView newName, int error, const QString& reason)
    {
        fail(RenameFailure{DecodeFileName(name), DecodeFileName(newName), error, reason});
    }

    void told(QByteArrayView name, QByteArrayView newName)
    {
        if (m_run.renamed)
            m_run.renamed(DecodeFileName(name), DecodeFileName(newName));
    }

    // The "._" names in the item's folder, read once per run: asking for each item's
    // companion by name would cost a failed lookup per item, which on ext4 takes as long
    // as a third of the rename itself. A companion made during the run is not followed.
    QSet<QByteArray>& companionNames(const FSRef& item)
    {
        const QByteArrayView folder = item.parentPath();
        if (folder == m_companionFolder && m_companionNamesOfFolder)
            return *m_companionNamesOfFolder;
        m_companionFolder = folder.toByteArray();
        auto it = m_companionNames.find(m_companionFolder);
        if (it == m_companionNames.end()) {
            it = m_companionNames.insert(m_companionFolder, {});
            if (DIR* dir = ::opendir(folder.isEmpty() ? "/" : m_companionFolder.constData())) {
                while (const dirent* entry = ::readdir(dir)) {
                    if (entry->d_name[0] == '.' && entry->d_name[1] == '_')
                        it->insert(QByteArray(entry->d_name));
                }
                ::closedir(dir);
            } else {
                // Unreadable as a whole: fall back to asking for each companion by name.
                m_scanFolders = false;
            }
        }
        m_companionNamesOfFolder = &*it;
        return *it;
    }

    bool doRename(FSRef* item, QByteArrayView newName, FSRef* companion)
    {
        // The rename changes the reference's path: the old name is kept for what follows.
        m_name.truncate(0);
        m_name.append(item->nameBytes());
        const QByteArrayView name = m_name;
        int error = 0;
        if (FSRenameBytes(item, newName, &error, folderHandle(*item)) != noErr) {
            // Gone or replaced since the listing: skipped quietly, and reported. Any other
            // refusal sounds the alert, as every refused rename does.
            if (error == ENOENT) {
                fail(staleFailure(*item));
            } else {
                SysBeep(30);
                fail(name, newName, error, reasonFor(error));
            }
            return false;
        }
        told(name, newName);
        if (!companion)
            return true;

        const QByteArray from = companionName(name);
        const QByteArray to = companionName(newName);
        int companionError = 0;
        if (FSRenameBytes(companion, to, &companionError, folderHandle(*companion)) == noErr) {
            if (m_scanFolders) {
                QSet<QByteArray>& names = companionNames(*item);
                names.remove(from);
                names.insert(to);
            }
            told(from, to);
            return true;
        }
        // Item and companion belong together: put the item back rather than leave its
        // companion describing a name that no longer exists.
        SysBeep(30);
        const QString why = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"))
                                .arg(DisplayFileName(DecodeFileName(from)), reasonFor(companionError));
        int undoError = 0;
        if (FSRenameBytes(item, name, &undoError, folderHandle(*item)) == noErr) {
            told(newName, name);
            fail(name, newName, companionError, why);
        } else {
            fail(name, newName, companionError,
                 LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "renamed to “%1”, but %2")).arg(DisplayFileName(DecodeFileName(newName)), why));
        }
        return false;
    }

    // A dry run's rename: what the run would do, as far as it can be known beforehand.
    // Names taken by other objects were found by the plan (see runOver).
    bool planRename(const FSRef& item, QByteArrayView newName, const FSRef* companion)
    {
        const QByteArrayView name = item.nameBytes();
        if (const int error = refusalOfName(newName)) {
            fail(name, newName, error, reasonFor(error));
            return false;
        }
        const QByteArray companionNewName = companion ? companionName(newName) : QByteArray();
        if (companion) {
            if (const int error = refusalOfName(companionNewName)) {
                fail(name, newName, error,
                     LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"))
                         .arg(DisplayFileName(DecodeFileName(companionName(name))), reasonFor(error)));
                return false;
            }
        }
        told(name, newName);
        if (companion)
            told(companionName(name), companionNewName);
        return true;
    }

    static int refusalOfName(QByteArrayView name)
    {
        if (name.size() > NAME_MAX)
            return ENAMETOOLONG;
        return impossibleName(name) ? EINVAL : 0;
    }

    // One open handle on the folder being worked in, kept for the run: opening the folder
    // for every rename would double the system calls of a run.
    int folderHandle(const FSRef& item)
    {
        const QByteArrayView folder = item.parentPath();
        if (m_folderFd >= 0 && folder == m_folderPath)
            return m_folderFd;
        if (m_folderFd >= 0)
            ::close(m_folderFd);
        m_folderPath = folder.toByteArray();
        m_folderFd = ::open(m_folderPath.isEmpty() ? "/" : m_folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        return m_folderFd;   // -1: FSRenameBytes opens the folder itself and says why it cannot
    }

    const RenameRun& m_run;
    RenameReport* m_report;
    bool m_scanFolders;
    QHash<QByteArray, QSet<QByteArray>> m_companionNames;   // folder -> its "._" names
    QByteArray m_companionFolder;                           // the folder last asked about
    QSet<QByteArray>* m_companionNamesOfFolder = nullptr;   // and its names
    QByteArray m_folderPath;
    int m_folderFd = -1;
    QByteArray m_name;        // the old name of the item being renamed
    QByteArray m_companion;   // the companion name being looked for
};

// Gives the new name for item i (whose current name is given) in *newName; equal to the
// name when the item is to stay as it is. Called twice per item in a journaled run, so
// it must give the same answer both times.
using NewNameFor = std::function<void(qsizetype i, QByteArrayView name, NewName* newName)>;

// The names in a folder as a run goes through its plan: what is there when the run
// starts, less the names the plan frees, plus those it gives. Names are kept as 64-bit
// hashes, so a folder of a million items costs some tens of megabytes; two names sharing
// a hash (about one chance in 10^7 for such a folder) would make the second look taken,
// and its rename would be refused, never done unjournaled.
class PlannedNames
{
public:
    explicit PlannedNames(QByteArrayView folder)
    {
        const QByteArray path = folder.isEmpty() ? QByteArray("/") : folder.toByteArray();
        if (DIR* dir = ::opendir(path.constData())) {
            while (const dirent* entry = ::readdir(dir))
                m_names.insert(hash(entry->d_name));
            ::closedir(dir);
        }
    }
    bool taken(QByteArrayView name) const { return m_names.contains(hash(name)); }
    void move(QByteArrayView from, QByteArrayView to)
    {
        m_names.remove(hash(from));
        m_names.insert(hash(to));
    }

private:
    static size_t hash(QByteArrayView name)
    {
        return std::hash<std::string_view>()(std::string_view(name.data(), size_t(name.size())));
    }
    QSet<size_t> m_names;
};

// Walks the items in order and renames each to its new name. A journaled run first
// writes the whole plan (with each item's companion as found now) and renames by it; a
// dry run makes the same plan and reports it. The plan holds only renames whose new name
// is free at that point of the plan: a name another object holds is refused without being
// tried, so nothing in the journal can be mistaken for a rename of ours (an object the
// user gave two names stays as it is).
RenameReport runOver(QList<FSRef>& items, const RenameRun& run, const NewNameFor& newNameFor,
                     bool scanFolders = true)
{
    RenameReport report;
    Renamer renamer(run, &report, scanFolders);
    if (run.listedCompanionNames && !items.isEmpty())
        renamer.knowCompanionNames(items.first(), *run.listedCompanionNames);
    const bool journaled = run.journal && !run.dryRun;
    const bool planned = journaled || run.dryRun;
    QHash<qsizetype, FSRef> companions;     // planned: item index -> its companion
    enum Taken : std::uint8_t { Free, NameTaken, CompanionNameTaken };
    std::vector<Taken> taken;               // planned: whether another object holds a new name
    NewName newNameBuffer;                  // one buffer for every item's new name
    if (planned && !items.isEmpty()) {
        PlannedNames names(items.first().parentPath());
        taken.resize(size_t(items.size()), Free);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const FSRef& item = items.at(i);
            const QByteArrayView name = item.nameBytes();
            newNameFor(i, name, &newNameBuffer);
            const QByteArrayView newName = newNameBuffer.view();
            // A name that cannot be given is refused before anything is touched: there
            // is nothing to undo for it.
            if (newName == name || impossibleName(newName))
                continue;
            FSRef companion;
            const bool hasCompanion = renamer.findCompanion(item, name, &companion);
            const QByteArray companionNewName = hasCompanion ? companionName(newName) : QByteArray();
            // An item whose companion's new name is taken is refused with it.
            if (names.taken(newName) || (hasCompanion && names.taken(companionNewName))) {
                taken[size_t(i)] = names.taken(newName) ? NameTaken : CompanionNameTaken;
                continue;
            }
            if (journaled)
                run.journal->add(name, newName, item, false);
            names.move(name, newName);
            if (hasCompanion) {
                // A companion whose new name cannot be given brings its item back.
                if (!impossibleName(companionNewName)) {
                    if (journaled)
                        run.journal->add(companion.nameBytes(), companionNewName, companion, true);
                    names.move(companion.nameBytes(), companionNewName);
                }
                companions.insert(i, std::move(companion));
            }
        }
        if (journaled && !run.journal->commit(&report.journalProblem))
            return report;
    }
    const qsizetype total = items.size();
    FSRef* refs = items.data();
    for (qsizetype i = 0; i < total; ++i) {
        if (run.progress) {
            const RunControl control = run.progress(i, total);
            if (control == RunControl::Abandon)
                return report;
            if (control == RunControl::Cancel) {
                report.cancelled = true;
                break;
            }
        }
        FSRef& item = refs[i];
        if (!renamer.current(item))
            continue;
        newNameFor(i, item.nameBytes(), &newNameBuffer);
        const QByteArrayView newName = newNameBuffer.view();
        if (newName == item.nameBytes()) {
            renamer.unchanged();
        } else if (planned && taken[size_t(i)] != Free) {
            renamer.refuse(item, newName, taken[size_t(i)] == CompanionNameTaken);
        } else if (planned) {
            const auto it = companions.constFind(i);
            const FSRef* companion = it == companions.constEnd() ? nullptr : &*it;
            renamer.rename(&item, newName, &companion);
        } else {
            renamer.rename(&item, newName);
        }
    }
    if (journaled)
        run.journal->finish(report.cancelled, report.renamed);
    return report;
}

} // namespace

QString FormatNumber(std::uint32_t number, int width)
{
    char digits[kMaxNumberWidth + 16];
    const QString text = QString::fromLatin1(digits, numberText(number, 0, digits));
    // Wider than a name can be: padded here, as the run's names never are (see above).
    return width > text.size() ? QString(width - text.size(), u'0') + text : text;
}

namespace {

void withoutPrefix(qsizetype, QByteArrayView name, NewName* newName)
{
    const char* blank = static_cast<const char*>(std::memchr(name.data(), ' ', size_t(name.size())));
    newName->clear();
    newName->append(blank ? name.sliced(blank - name.data() + 1) : name);
}

} // namespace

OSErr RemovePrefixFromFilename(FSRef* item, QString* reason)
{
    if (!item) {
        if (reason)
            reason->clear();
        return paramErr;
    }
    QList<FSRef> items{*item};
    const RenameReport report = runOver(items, {}, withoutPrefix, false);
    *item = items.first();
    const RenameFailure failure = report.failures.value(0);
    if (reason)
        *reason = failure.reason;
    return report.failures.isEmpty() ? OSErr(noErr) : OSErrFromErrno(failure.error);
}

QStringList RenameReport::failureLines() const
{
    QStringList lines;
    lines.reserve(failures.size());
    for (const RenameFailure& failure : failures)
        lines.append(DisplayFileName(failure.name) + QStringLiteral(": ") + failure.reason);
    return lines;
}

RenameReport NumberItems(QList<FSRef>& items, const NumberingSettings& settings, const RenameRun& run)
{
    // Item i's number is the first number plus i times the step, whether or not the items
    // before it could be renamed. The running number lives in 32 bits and wraps
    // (unsigned arithmetic, so the wrap is defined); it is printed as a signed number.
    return runOver(items, run, [&](qsizetype i, QByteArrayView name, NewName* newName) {
        const std::uint32_t number = std::uint32_t(settings.firstNumber) + std::uint32_t(i) * std::uint32_t(settings.step);
        newName->clear();
        newName->appendNumber(number, settings.width);
        newName->append(" ");
        newName->append(name);
    });
}

RenameReport RemoveNumberPrefixes(QList<FSRef>& items, const RenameRun& run)
{
    return runOver(items, run, withoutPrefix);
}
