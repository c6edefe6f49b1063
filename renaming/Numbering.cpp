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
#include <memory>
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

    // Renames the item to `newName`, with its companion; false after reporting a failure.
    // The companion is looked up unless the plan found it (planned: *companion, or null
    // for none; the plan's reference follows the companion's renames). A step of a plan
    // reports under the item's name before the run (reportedName), and a step to a
    // temporary name is neither reported nor counted (final false).
    bool rename(FSRef* item, QByteArrayView newName, bool planned = false, FSRef* companion = nullptr,
                QByteArrayView reportedName = {}, bool final = true)
    {
        FSRef found;
        if (!planned && findCompanion(*item, item->nameBytes(), &found))
            companion = &found;
        const bool done = m_run.dryRun ? planRename(*item, newName, companion)
                                       : doRename(item, newName, companion, reportedName, final);
        if (done && final) {
            ++m_report->handled;
            ++m_report->renamed;
        }
        return done;
    }

    // A step of a plan that failed is reported under the item's name before the run.
    void failStep(QByteArrayView reportedName, QByteArrayView newName, int error, const QString& reason)
    {
        fail(reportedName, newName, error, reason);
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

    bool doRename(FSRef* item, QByteArrayView newName, FSRef* companion, QByteArrayView reportedName, bool tell)
    {
        // The rename changes the reference's path: the old name is kept for what follows.
        m_name.truncate(0);
        m_name.append(item->nameBytes());
        const QByteArrayView name = m_name;
        const QByteArrayView reported = reportedName.isEmpty() ? name : reportedName;
        int error = 0;
        if (FSRenameBytes(item, newName, &error, folderHandle(*item)) != noErr) {
            // Gone or replaced since the listing: skipped quietly, and reported. Any other
            // refusal sounds the alert, as every refused rename does.
            if (error == ENOENT) {
                fail(staleFailure(*item));
            } else {
                SysBeep(30);
                fail(reported, newName, error, reasonFor(error));
            }
            return false;
        }
        if (tell)
            told(reported, newName);
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
            if (tell)
                told(companionName(reported), to);
            return true;
        }
        // Item and companion belong together: put the item back rather than leave its
        // companion describing a name that no longer exists.
        SysBeep(30);
        const QString why = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"))
                                .arg(DisplayFileName(DecodeFileName(from)), reasonFor(companionError));
        int undoError = 0;
        if (FSRenameBytes(item, name, &undoError, folderHandle(*item)) == noErr) {
            if (tell)
                told(newName, name);
            fail(reported, newName, companionError, why);
        } else {
            fail(reported, newName, companionError,
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

// The names in a folder as a run goes through its plan. Names are kept as 64-bit
// hashes, so a folder of a million items costs some tens of megabytes; two names sharing
// a hash (about one chance in 10^7 for such a folder) would make the second look taken,
// and its rename would be refused, never done unjournaled.
class NameSet
{
public:
    static size_t hash(QByteArrayView name)
    {
        return std::hash<std::string_view>()(std::string_view(name.data(), size_t(name.size())));
    }
    bool contains(QByteArrayView name) const { return m_names.contains(hash(name)); }
    void insert(QByteArrayView name) { m_names.insert(hash(name)); }
    void remove(QByteArrayView name) { m_names.remove(hash(name)); }

private:
    QSet<size_t> m_names;
};

// The names a folder holds when a run starts, looked up only: kept as a sorted block of
// hashes, a third of what a hash table of them costs.
class FolderNames
{
public:
    explicit FolderNames(QByteArrayView folder)
    {
        const QByteArray path = folder.isEmpty() ? QByteArray("/") : folder.toByteArray();
        if (DIR* dir = ::opendir(path.constData())) {
            while (const dirent* entry = ::readdir(dir))
                m_hashes.push_back(NameSet::hash(entry->d_name));
            ::closedir(dir);
        }
        std::sort(m_hashes.begin(), m_hashes.end());
    }
    bool contains(QByteArrayView name) const
    {
        return std::binary_search(m_hashes.begin(), m_hashes.end(), NameSet::hash(name));
    }

private:
    std::vector<size_t> m_hashes;
};

// A run's plan: which renames it makes, in which order, and which it refuses before
// trying. A new name that another object holds is refused, unless that object is an item
// of the same run that moves away first: then the item waits for it. Items that trade
// names in a cycle ("1 a" and "2 b" changing places) are broken up by moving one of them
// to a temporary name first. The order never depends on luck, and every step, temporary
// ones included, goes into the journal, so undo and crash recovery cover them all.
class RunPlan
{
public:
    enum Refusal : std::uint8_t { None, NameTaken, CompanionNameTaken };
    enum class Step : std::uint8_t { Direct, ToTemporary, FromTemporary };
    struct Scheduled {
        qsizetype item;
        Step step;
    };

    RunPlan(QList<FSRef>& items, const NewNameFor& newNameFor, Renamer& renamer)
        : m_items(items)
        , m_newNameFor(newNameFor)
        , m_refusal(size_t(items.size()), None)
        , m_moving(size_t(items.size()), false)
    {
        if (items.isEmpty())
            return;
        FolderNames there(items.first().parentPath());
        NameSet given;   // new names claimed so far, in list order
        std::vector<qsizetype> waiting;   // items whose new name is held by something now
        NewName buffer;
        for (qsizetype i = 0; i < items.size(); ++i) {
            const FSRef& item = items.at(i);
            const QByteArrayView name = item.nameBytes();
            m_newNameFor(i, name, &buffer);
            const QByteArrayView newName = buffer.view();
            // Unchanged names and names that cannot be given are the run's to report.
            if (newName == name || impossibleName(newName))
                continue;
            FSRef companion;
            const bool hasCompanion = renamer.findCompanion(item, name, &companion);
            const QByteArray companionNewName = hasCompanion ? companionName(newName) : QByteArray();
            // Two items asking for one name: the first gets it.
            if (given.contains(newName) || (hasCompanion && given.contains(companionNewName))) {
                m_refusal[size_t(i)] = given.contains(newName) ? NameTaken : CompanionNameTaken;
                continue;
            }
            given.insert(newName);
            if (hasCompanion) {
                given.insert(companionNewName);
                m_companions.insert(i, std::move(companion));
            }
            m_moving[size_t(i)] = true;
            if (there.contains(newName) || (hasCompanion && there.contains(companionNewName)))
                waiting.push_back(i);
        }
        m_waitingOn.assign(waiting.empty() ? 0 : size_t(items.size()), -1);
        resolveWaiting(waiting, there);
        schedule();
        findLinksToMovingItems();
        m_given = std::move(given);
        m_there = std::make_unique<FolderNames>(std::move(there));
    }

    Refusal refusal(qsizetype i) const { return m_refusal[size_t(i)]; }
    bool moving(qsizetype i) const { return m_moving[size_t(i)]; }
    FSRef* companion(qsizetype i)
    {
        const auto it = m_companions.find(i);
        return it == m_companions.end() ? nullptr : &*it;
    }
    const std::vector<Scheduled>& steps() const { return m_steps; }
    // Symbolic links among the items that point, relatively and inside the folder, at an
    // item the run renames: they will dangle after the run (a link is renamed itself,
    // never its target).
    const std::vector<qsizetype>& linksToMovingItems() const { return m_links; }

    // The temporary name of an item that breaks a cycle: visible, so an interrupted run
    // never hides an item, and free in the folder.
    const QByteArray& temporaryName(qsizetype i)
    {
        auto it = m_temporary.find(i);
        if (it != m_temporary.end())
            return *it;
        const QByteArrayView name = m_items.at(i).nameBytes();
        QByteArray candidate;
        for (int attempt = 0;; ++attempt) {
            candidate = "~ordinello-" + QByteArray::number(qlonglong(i), 36) + '-' + QByteArray::number(attempt, 36) + '~';
            candidate += name.first(std::min<qsizetype>(name.size(), NAME_MAX - 2 - candidate.size()));
            if (!m_there->contains(candidate) && !m_given.contains(candidate)
                && !m_there->contains(companionName(candidate)) && !m_given.contains(companionName(candidate)))
                break;
        }
        m_given.insert(candidate);
        m_given.insert(companionName(candidate));
        return *m_temporary.insert(i, candidate);
    }

private:
    // Each waiting item finds the item of the run that holds its new name now; when none
    // does (the name is another object's), or the holder does not move, it is refused,
    // and so is whatever waits for it in turn.
    void refuse(qsizetype i, Refusal why)
    {
        m_refusal[size_t(i)] = why;
        m_moving[size_t(i)] = false;
    }

    void resolveWaiting(const std::vector<qsizetype>& waiting, const FolderNames& there)
    {
        if (waiting.empty())
            return;
        QHash<size_t, qsizetype> byName;
        byName.reserve(m_items.size());
        for (qsizetype i = 0; i < m_items.size(); ++i)
            byName.insert(NameSet::hash(m_items.at(i).nameBytes()), i);
        NewName buffer;
        for (const qsizetype i : waiting) {
            m_newNameFor(i, m_items.at(i).nameBytes(), &buffer);
            const QByteArrayView newName = buffer.view();
            qsizetype holder = -1;
            if (there.contains(newName)) {
                const auto it = byName.constFind(NameSet::hash(newName));
                if (it != byName.constEnd() && *it != i && m_items.at(*it).nameBytes() == newName)
                    holder = *it;
                if (holder < 0) {   // another object's: it stays
                    refuse(i, NameTaken);
                    continue;
                }
            }
            // The companion's new name is free, or the holder's companion frees it.
            if (companion(i) && there.contains(companionName(newName)) && !(holder >= 0 && companion(holder))) {
                refuse(i, CompanionNameTaken);
                continue;
            }
            m_waitingOn[size_t(i)] = holder;
        }
        // A refusal passes down the chains of waiting items.
        for (bool changed = true; changed;) {
            changed = false;
            for (const qsizetype i : waiting) {
                const qsizetype holder = m_waitingOn[size_t(i)];
                if (m_moving[size_t(i)] && holder >= 0 && !m_moving[size_t(holder)]) {
                    refuse(i, NameTaken);
                    changed = true;
                }
            }
        }
    }

    void findLinksToMovingItems()
    {
        NameSet moving;
        bool anyLink = false;
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            anyLink = anyLink || S_ISLNK(m_items.at(i).mode);
            if (m_moving[size_t(i)])
                moving.insert(m_items.at(i).nameBytes());
        }
        if (!anyLink)
            return;
        char target[PATH_MAX];
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            if (!S_ISLNK(m_items.at(i).mode))
                continue;
            const ssize_t n = ::readlink(m_items.at(i).path.constData(), target, sizeof target);
            if (n <= 0)
                continue;
            QByteArrayView name(target, n);
            while (name.startsWith("./"))
                name = name.sliced(2);
            if (!name.contains('/') && moving.contains(name))
                m_links.push_back(i);
        }
    }

    // List order, except that an item moves after the item holding its new name.
    void schedule()
    {
        const qsizetype n = m_items.size();
        m_steps.reserve(size_t(n));
        if (m_waitingOn.empty()) {
            for (qsizetype i = 0; i < n; ++i) {
                if (m_moving[size_t(i)])
                    m_steps.push_back({i, Step::Direct});
            }
            return;
        }
        enum State : std::uint8_t { Unvisited, OnWalk, Done };
        std::vector<State> state(size_t(n), Unvisited);
        std::vector<qsizetype> walk;
        for (qsizetype start = 0; start < n; ++start) {
            if (!m_moving[size_t(start)] || state[size_t(start)] != Unvisited)
                continue;
            // Follow what each item waits for to an item that waits for nothing more.
            walk.clear();
            qsizetype at = start;
            while (at >= 0 && m_moving[size_t(at)] && state[size_t(at)] == Unvisited) {
                state[size_t(at)] = OnWalk;
                walk.push_back(at);
                at = m_waitingOn[size_t(at)];
            }
            qsizetype cycleStart = -1;
            if (at >= 0 && state[size_t(at)] == OnWalk)
                cycleStart = qsizetype(std::find(walk.begin(), walk.end(), at) - walk.begin());
            if (cycleStart >= 0)
                m_steps.push_back({walk[size_t(cycleStart)], Step::ToTemporary});
            for (qsizetype k = qsizetype(walk.size()) - 1; k >= 0; --k) {
                const qsizetype item = walk[size_t(k)];
                m_steps.push_back({item, k == cycleStart ? Step::FromTemporary : Step::Direct});
                state[size_t(item)] = Done;
            }
        }
    }

    QList<FSRef>& m_items;
    const NewNameFor& m_newNameFor;
    std::vector<Refusal> m_refusal;
    std::vector<bool> m_moving;
    std::vector<qsizetype> m_waitingOn;     // item -> the item holding its new name; empty: none wait
    QHash<qsizetype, FSRef> m_companions;   // item -> its AppleDouble file
    std::vector<Scheduled> m_steps;
    std::vector<qsizetype> m_links;
    QHash<qsizetype, QByteArray> m_temporary;
    std::unique_ptr<FolderNames> m_there;
    NameSet m_given;
};

// Walks the items and renames each to its new name, by a plan (RunPlan: the order, the
// temporary names, each item's companion as found now). A journaled run first writes the
// whole plan to its journal; a dry run makes the same plan and reports it, item by item
// in list order.
RenameReport runOver(QList<FSRef>& items, const RenameRun& run, const NewNameFor& newNameFor,
                     bool scanFolders = true)
{
    RenameReport report;
    Renamer renamer(run, &report, scanFolders);
    if (run.listedCompanionNames && !items.isEmpty())
        renamer.knowCompanionNames(items.first(), *run.listedCompanionNames);
    const bool journaled = run.journal && !run.dryRun;
    NewName newNameBuffer;   // one buffer for every item's new name
    const qsizetype total = items.size();
    FSRef* refs = items.data();
    auto control = [&](qsizetype done, qsizetype count) {
        return run.progress ? run.progress(done, count) : RunControl::Continue;
    };

    if (!scanFolders) {
        // One item's prefix: no plan to make.
        for (qsizetype i = 0; i < total; ++i) {
            const RunControl next = control(i, total);
            if (next == RunControl::Abandon)
                return report;
            if (next == RunControl::Cancel) {
                report.cancelled = true;
                break;
            }
            newNameFor(i, refs[i].nameBytes(), &newNameBuffer);
            if (newNameBuffer.view() == refs[i].nameBytes())
                renamer.unchanged();
            else
                renamer.rename(&refs[i], newNameBuffer.view());
        }
        return report;
    }

    RunPlan plan(items, newNameFor, renamer);
    if (run.noted) {
        const QString note = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "points at an item being renamed"));
        for (const qsizetype link : plan.linksToMovingItems())
            run.noted(DecodeFileName(refs[link].nameBytes()), note);
    }
    // What to report for an item the plan does not move: unchanged, impossible or refused.
    auto reportUnmoved = [&](qsizetype i) {
        newNameFor(i, refs[i].nameBytes(), &newNameBuffer);
        const QByteArrayView newName = newNameBuffer.view();
        if (newName == refs[i].nameBytes())
            renamer.unchanged();
        else if (plan.refusal(i) != RunPlan::None)
            renamer.refuse(refs[i], newName, plan.refusal(i) == RunPlan::CompanionNameTaken);
        else
            renamer.rename(&refs[i], newName, true, nullptr);   // impossible: the run reports why
    };

    if (run.dryRun) {
        for (qsizetype i = 0; i < total; ++i) {
            const RunControl next = control(i, total);
            if (next == RunControl::Abandon)
                return report;
            if (next == RunControl::Cancel) {
                report.cancelled = true;
                break;
            }
            if (!renamer.current(refs[i]))
                continue;
            if (!plan.moving(i)) {
                reportUnmoved(i);
                continue;
            }
            newNameFor(i, refs[i].nameBytes(), &newNameBuffer);
            renamer.rename(&refs[i], newNameBuffer.view(), true, plan.companion(i));
        }
        return report;
    }

    // The whole plan goes into the journal before the first rename, step by step.
    const std::vector<RunPlan::Scheduled>& steps = plan.steps();
    QHash<qsizetype, QByteArray> nameBefore;   // items moving through a temporary name
    if (journaled) {
        for (const RunPlan::Scheduled& scheduled : steps) {
            const qsizetype i = scheduled.item;
            QByteArrayView from = refs[i].nameBytes();
            QByteArrayView to;
            if (scheduled.step == RunPlan::Step::ToTemporary) {
                to = plan.temporaryName(i);
            } else {
                newNameFor(i, refs[i].nameBytes(), &newNameBuffer);
                to = newNameBuffer.view();
                if (scheduled.step == RunPlan::Step::FromTemporary)
                    from = plan.temporaryName(i);
            }
            run.journal->add(from, to, refs[i], false);
            // A companion whose new name cannot be given brings its item back (see doRename).
            const FSRef* companion = plan.companion(i);
            if (companion && !impossibleName(companionName(to)))
                run.journal->add(companionName(from), companionName(to), *companion, true);
        }
    }
    if (journaled && !run.journal->commit(&report.journalProblem))
        return report;

    // Items the plan does not move are reported where they stand in the list, among the
    // renames (which follow the list, but for items waiting for a name to be freed).
    qsizetype unreported = 0;
    auto reportUnmovedBefore = [&](qsizetype end) {
        for (; unreported < end; ++unreported) {
            if (!plan.moving(unreported))
                reportUnmoved(unreported);
        }
    };
    qsizetype done = 0;
    QSet<qsizetype> atTemporaryName;     // moved to a temporary name, not yet on
    QSet<qsizetype> temporaryFailed;     // its move to a temporary name failed
    for (const RunPlan::Scheduled& scheduled : steps) {
        // A cycle is finished before the run stops: no item is left at a temporary name.
        if (atTemporaryName.isEmpty()) {
            const RunControl next = control(done, qsizetype(steps.size()));
            if (next == RunControl::Abandon)
                return report;
            if (next == RunControl::Cancel) {
                report.cancelled = true;
                break;
            }
        } else if (control(done, qsizetype(steps.size())) == RunControl::Abandon) {
            return report;
        }
        ++done;
        const qsizetype i = scheduled.item;
        reportUnmovedBefore(i);
        FSRef& item = refs[i];
        switch (scheduled.step) {
        case RunPlan::Step::Direct:
            newNameFor(i, item.nameBytes(), &newNameBuffer);
            renamer.rename(&item, newNameBuffer.view(), true, plan.companion(i));
            break;
        case RunPlan::Step::ToTemporary:
            nameBefore.insert(i, item.nameBytes().toByteArray());
            newNameFor(i, item.nameBytes(), &newNameBuffer);
            if (renamer.rename(&item, plan.temporaryName(i), true, plan.companion(i), {}, false))
                atTemporaryName.insert(i);
            else
                temporaryFailed.insert(i);
            break;
        case RunPlan::Step::FromTemporary: {
            if (temporaryFailed.contains(i))
                break;   // reported when it failed; the item is where it was
            atTemporaryName.remove(i);
            const QByteArray before = nameBefore.value(i);
            newNameFor(i, before, &newNameBuffer);
            if (renamer.rename(&item, newNameBuffer.view(), true, plan.companion(i), before))
                break;
            // Back under its own name where that is free again; else it stays where the
            // failure (reported above) says, and undo puts it back.
            renamer.rename(&item, before, true, plan.companion(i), {}, false);
            break;
        }
        }
    }
    if (!report.cancelled)
        reportUnmovedBefore(total);
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

void withoutNumberPrefix(qsizetype, QByteArrayView name, NewName* newName)
{
    const qsizetype length = NumberPrefixLength(name);
    newName->clear();
    newName->append(length > 0 ? name.sliced(length + 1) : name);
}

} // namespace

qsizetype NumberPrefixLength(QByteArrayView name)
{
    qsizetype i = 0;
    while (i < name.size() && name[i] == '0')
        ++i;
    if (i < name.size() && name[i] == '-')
        ++i;
    const qsizetype digitsStart = i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9')
        ++i;
    // Digits after the minus sign, or digits at all (the zeros count when alone).
    const bool digits = i > digitsStart || (digitsStart > 0 && name[0] == '0' && name[digitsStart - 1] != '-');
    return digits && i < name.size() && name[i] == ' ' ? i : 0;
}

bool HasFirstWordThatIsNotANumber(QByteArrayView name)
{
    return std::memchr(name.data(), ' ', size_t(name.size())) && NumberPrefixLength(name) == 0;
}

NumberPrefixSurvey SurveyNumberPrefixes(const QList<FSRef>& items)
{
    NumberPrefixSurvey survey;
    QHash<qsizetype, int> widths;
    for (const FSRef& item : items) {
        ++survey.names;
        if (const qsizetype width = NumberPrefixLength(item.nameBytes())) {
            ++survey.numbered;
            ++widths[width];
        }
    }
    int most = 0;
    for (auto it = widths.cbegin(); it != widths.cend(); ++it) {
        if (it.value() > most || (it.value() == most && int(it.key()) < survey.commonWidth)) {
            most = it.value();
            survey.commonWidth = int(it.key());
        }
    }
    survey.oneWidth = widths.size() <= 1;
    return survey;
}

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
        const qsizetype prefix = settings.replaceNumbers ? NumberPrefixLength(name) : 0;
        newName->append(prefix > 0 ? name.sliced(prefix + 1) : name);
    });
}

RenameReport RemoveNumberPrefixes(QList<FSRef>& items, PrefixRule rule, const RenameRun& run)
{
    if (rule == PrefixRule::AnyFirstWord)
        return runOver(items, run, withoutPrefix);
    if (run.noted) {
        const QString note = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "left unchanged: first word is not a number"));
        for (const FSRef& item : std::as_const(items)) {
            if (HasFirstWordThatIsNotANumber(item.nameBytes()))
                run.noted(DecodeFileName(item.nameBytes()), note);
        }
    }
    return runOver(items, run, withoutNumberPrefix);
}
