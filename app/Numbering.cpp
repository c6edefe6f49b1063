#include "app/Numbering.h"

#include "app/RenameJournal.h"
#include "fsobjects/ObjectNames.h"
#include "platform/NameCodec.h"
#include "platform/Sound.h"
#include "support/LocalizedStrings.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A number text wider than a whole name cannot fit in one, so wider widths only cost
// memory: a stored width of two billion would otherwise allocate gigabytes. The rename
// then fails with "name too long" exactly as it would at the full width.
constexpr int kMaxNumberWidth = NAME_MAX;

QString companionName(const QString& name)
{
    return QStringLiteral("._") + name;
}

QByteArray siblingPath(const FSRef& item, const QByteArray& name)
{
    QByteArray path = item.parentPath().toByteArray();
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

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

    // The item's name, or a null string after reporting that it is stale. A real run
    // takes the name from the reference: the rename itself refuses an item that is gone
    // or was replaced, and that refusal is reported the same way.
    QString currentName(const FSRef& item)
    {
        if (!m_run.dryRun)
            return DecodeFileName(item.nameBytes());
        const QString name = GetObjectName(&item);
        if (name.isNull())
            fail(staleFailure(item));
        return name;
    }

    void unchanged() { ++m_report->handled; }

    // Renames the item from `name` to `newName`; false after reporting a failure.
    // knownCompanion: the companion as planned (null: none), when it was looked up before.
    bool rename(FSRef* item, const QString& name, const QString& newName, const FSRef* const* knownCompanion = nullptr)
    {
        FSRef companion;
        bool hasCompanion = false;
        if (knownCompanion) {
            hasCompanion = *knownCompanion != nullptr;
            if (hasCompanion)
                companion = **knownCompanion;
        } else {
            hasCompanion = findCompanion(*item, name, &companion);
        }
        const bool done = m_run.dryRun ? planRename(*item, name, newName, hasCompanion ? &companion : nullptr)
                                       : doRename(item, name, newName, hasCompanion ? &companion : nullptr);
        if (done)
            ++m_report->handled;
        return done;
    }

    // Only a regular file counts: a folder or a link that happens to carry the name is
    // an item of its own and stays where it is.
    bool findCompanion(const FSRef& item, const QString& name, FSRef* companion)
    {
        const QByteArray companionBytes = EncodeFileName(companionName(name));
        const QByteArray path = siblingPath(item, companionBytes);
        if (m_run.dryRun) {
            if (const std::optional<bool> planned = plannedExistence(path))
                return *planned;
        }
        if (m_scanFolders) {
            const bool listed = companionNames(item).contains(companionBytes);
            if (m_scanFolders && !listed)   // still scanning: the folder could be read
                return false;
        }
        return FSPathMakeRef(path, companion) == noErr && S_ISREG(companion->mode);
    }

private:
    void fail(RenameFailure failure)
    {
        if (m_run.failed)
            m_run.failed(failure);
        m_report->failures.append(std::move(failure));
    }

    void fail(const QString& name, const QString& newName, int error, const QString& reason)
    {
        fail(RenameFailure{name, newName, error, reason});
    }

    void told(const QString& name, const QString& newName)
    {
        if (m_run.renamed)
            m_run.renamed(name, newName);
    }

    // The "._" names in the item's folder, read once per run: asking for each item's
    // companion by name would cost a failed lookup per item, which on ext4 takes as long
    // as a third of the rename itself. A companion made during the run is not followed.
    QSet<QByteArray>& companionNames(const FSRef& item)
    {
        const QByteArray folder = item.parentPath().toByteArray();
        auto it = m_companionNames.find(folder);
        if (it != m_companionNames.end())
            return *it;
        QSet<QByteArray>& names = m_companionNames[folder];
        if (DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData())) {
            while (const dirent* entry = ::readdir(dir)) {
                if (entry->d_name[0] == '.' && entry->d_name[1] == '_')
                    names.insert(QByteArray(entry->d_name));
            }
            ::closedir(dir);
        } else {
            // Unreadable as a whole: fall back to asking for each companion by name.
            m_scanFolders = false;
        }
        return names;
    }

    bool doRename(FSRef* item, const QString& name, const QString& newName, FSRef* companion)
    {
        int error = 0;
        if (FSRenameUnicode(item, newName, &error, folderHandle(*item)) != noErr) {
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

        const QString from = companionName(name);
        const QString to = companionName(newName);
        int companionError = 0;
        if (FSRenameUnicode(companion, to, &companionError, folderHandle(*companion)) == noErr) {
            if (m_scanFolders) {
                QSet<QByteArray>& names = companionNames(*item);
                names.remove(EncodeFileName(from));
                names.insert(EncodeFileName(to));
            }
            told(from, to);
            return true;
        }
        // Item and companion belong together: put the item back rather than leave its
        // companion describing a name that no longer exists.
        SysBeep(30);
        const QString why = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"))
                                .arg(DisplayFileName(from), reasonFor(companionError));
        int undoError = 0;
        if (FSRenameUnicode(item, name, &undoError, folderHandle(*item)) == noErr) {
            told(newName, name);
            fail(name, newName, companionError, why);
        } else {
            fail(name, newName, companionError,
                 LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "renamed to “%1”, but %2")).arg(DisplayFileName(newName), why));
        }
        return false;
    }

    // The refusals FSRenameUnicode would give, judged against the names planned so far.
    int plannedRefusal(const FSRef& item, const QString& newName)
    {
        const QByteArray to = EncodeFileName(newName);
        if (to.isEmpty() || to == "." || to == ".." || to.contains('/'))
            return EINVAL;
        if (to.size() > NAME_MAX)
            return ENAMETOOLONG;
        if (to == item.nameBytes())
            return 0;
        return exists(siblingPath(item, to)) ? EEXIST : 0;
    }

    bool planRename(const FSRef& item, const QString& name, const QString& newName, const FSRef* companion)
    {
        if (const int error = plannedRefusal(item, newName)) {
            fail(name, newName, error, reasonFor(error));
            return false;
        }
        if (companion) {
            if (const int error = plannedRefusal(item, companionName(newName))) {
                fail(name, newName, error,
                     LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "its AppleDouble file “%1” could not be renamed with it: %2"))
                         .arg(DisplayFileName(companionName(name)), reasonFor(error)));
                return false;
            }
        }
        plan(item, name, newName);
        told(name, newName);
        if (companion) {
            plan(item, companionName(name), companionName(newName));
            told(companionName(name), companionName(newName));
        }
        return true;
    }

    void plan(const FSRef& item, const QString& name, const QString& newName)
    {
        m_planned.insert(siblingPath(item, EncodeFileName(name)), false);
        m_planned.insert(siblingPath(item, EncodeFileName(newName)), true);
    }

    std::optional<bool> plannedExistence(const QByteArray& path) const
    {
        const auto it = m_planned.constFind(path);
        return it == m_planned.constEnd() ? std::nullopt : std::optional<bool>(*it);
    }

    bool exists(const QByteArray& path) const
    {
        if (const std::optional<bool> planned = plannedExistence(path))
            return *planned;
        struct stat st;
        return ::lstat(path.constData(), &st) == 0;
    }

    const RenameRun& m_run;
    RenameReport* m_report;
    bool m_scanFolders;
    QHash<QByteArray, QSet<QByteArray>> m_companionNames;   // folder -> its "._" names
    QHash<QByteArray, bool> m_planned;   // dry run: path -> would exist

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
        return m_folderFd;   // -1: FSRenameUnicode opens the folder itself and says why it cannot
    }
    QByteArray m_folderPath;
    int m_folderFd = -1;
};

// The new name for item i (whose current name is given); equal to the name when the
// item is to stay as it is. Called twice per item in a journaled run, so it must give the
// same answer both times.
using NewNameFor = std::function<QString(qsizetype i, const QString& name)>;

// Walks the items in order and renames each to its new name. A journaled run first
// writes the whole plan (with each item's companion as found now) and renames by it.
RenameReport runOver(QList<FSRef>& items, const RenameRun& run, const NewNameFor& newNameFor,
                     bool scanFolders = true)
{
    RenameReport report;
    Renamer renamer(run, &report, scanFolders);
    const bool journaled = run.journal && !run.dryRun;
    QHash<qsizetype, FSRef> companions;     // journaled: item index -> its companion
    if (journaled) {
        // Each entry: the old name, the new one (a number and a blank longer at most) and
        // fixed fields.
        qsizetype estimate = 0;
        for (const FSRef& item : std::as_const(items))
            estimate += 2 * item.nameBytes().size() + 64;
        run.journal->reserve(estimate);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const FSRef& item = items.at(i);
            const QString name = DecodeFileName(item.nameBytes());
            const QString newName = newNameFor(i, name);
            if (newName == name)
                continue;
            const QByteArray newBytes = EncodeFileName(newName);
            run.journal->add(item.nameBytes(), newBytes, item, false);
            FSRef companion;
            if (renamer.findCompanion(item, name, &companion)) {
                run.journal->add(companion.nameBytes(), EncodeFileName(companionName(newName)), companion, true);
                companions.insert(i, std::move(companion));
            }
        }
        if (!run.journal->commit(&report.journalProblem))
            return report;
    }
    const qsizetype total = items.size();
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
        FSRef& item = items[i];
        const QString name = renamer.currentName(item);
        if (name.isNull())
            continue;
        const QString newName = newNameFor(i, name);
        if (newName.size() == name.size() && newName == name) {
            renamer.unchanged();
        } else if (journaled) {
            const auto it = companions.constFind(i);
            const FSRef* companion = it == companions.constEnd() ? nullptr : &*it;
            renamer.rename(&item, name, newName, &companion);
        } else {
            renamer.rename(&item, name, newName);
        }
    }
    if (journaled)
        run.journal->finish(report.cancelled);
    return report;
}

} // namespace

QString FormatNumber(std::uint32_t number, int width)
{
    // Printed as a signed 32-bit value; the blanks a right-aligned field would carry
    // become zeros, so they stand before a minus sign ("0000-5").
    QString text = QString::number(std::int32_t(number));
    if (width > text.size())
        text.prepend(QString(width - text.size(), u'0'));
    return text;
}

QString NameWithoutPrefix(const QString& name)
{
    const qsizetype blank = name.indexOf(u' ');
    return blank < 0 ? name : name.mid(blank + 1);
}

OSErr RemovePrefixFromFilename(FSRef* item, QString* reason)
{
    if (!item) {
        if (reason)
            reason->clear();
        return paramErr;
    }
    QList<FSRef> items{*item};
    const RenameReport report =
        runOver(items, {}, [](qsizetype, const QString& name) { return NameWithoutPrefix(name); }, false);
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
    // The width is asked once per item; a journaled run keeps the answers so the plan and
    // the run agree.
    QList<int> widths;
    return runOver(items, run, [&](qsizetype i, const QString& name) {
        while (widths.size() <= i)
            widths.append(std::clamp(settings.width ? settings.width() : 0, 0, kMaxNumberWidth));
        const std::uint32_t number = std::uint32_t(settings.firstNumber) + std::uint32_t(i) * std::uint32_t(settings.step);
        return FormatNumber(number, widths.at(i)) + u' ' + name;
    });
}

RenameReport RemoveNumberPrefixes(QList<FSRef>& items, const RenameRun& run)
{
    return runOver(items, run, [](qsizetype, const QString& name) { return NameWithoutPrefix(name); });
}
