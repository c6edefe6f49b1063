// ordinello-cli rename, strip and undo: the renaming engine's runs (renaming/FolderRun)
// over a folder listed as the window lists it.
//
// Output, for scripts: -v prints each rename as GNU mv -v does,
//     renamed 'a.txt' -> '1 a.txt'
// and --dry-run prints the same lines as "would rename ..." and changes nothing. Names
// are quoted as GNU tools quote them for a shell, so any name, whatever bytes it holds,
// can be read back. Failures go to standard error as "ordinello-cli: 'name': reason".

#include "cli/CommandLine.h"

#include "renaming/DateOrder.h"
#include "renaming/FolderRun.h"
#include "renaming/UndoRun.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

bool isShellSafe(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80
           || QByteArrayView("_-.,+:@%=/ ").contains(char(c));
}

// Characters a terminal would act on or not show: they are written as $'\ooo' escapes.
bool needsEscape(char32_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

void appendEscaped(QByteArray& out, QByteArrayView bytes)
{
    for (const char byte : bytes) {
        switch (byte) {
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\v': out += "\\v"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        default: {
            const auto b = static_cast<unsigned char>(byte);
            out += '\\';
            out += char('0' + (b >> 6));
            out += char('0' + ((b >> 3) & 7));
            out += char('0' + (b & 7));
        }
        }
    }
}

// Calls f(unit, c) for each character of the text: a surrogate pair is one character,
// and an escaped byte (a name that is not UTF-8) is a unit of its own.
template <typename F>
void forEachCharacter(QStringView text, F f)
{
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        const QStringView unit = text.mid(i, length);
        f(unit, length == 2 ? QChar::surrogateToUcs4(unit[0], unit[1]) : char32_t(unit[0].unicode()));
        i += length;
    }
}

// The name quoted as GNU mv -v quotes it: in single quotes; in double quotes when it
// holds a single quote and nothing else a shell would act on; a single quote elsewhere
// as '\''; unprintable characters and bytes that are not UTF-8 as $'\ooo' outside the
// quotes.
QByteArray shellQuoted(const QString& name)
{
    bool quote = false, escapes = false, plain = true;
    forEachCharacter(name, [&](QStringView unit, char32_t c) {
        if (HasEscapedBytes(unit) || needsEscape(c))
            escapes = true;
        else if (c == '\'')
            quote = true;
        else if (!isShellSafe(c))
            plain = false;
    });
    if (quote && !escapes && plain)
        return '"' + EncodeFileName(name) + '"';

    QByteArray out = "'";
    bool open = true;
    forEachCharacter(name, [&](QStringView unit, char32_t c) {
        if (HasEscapedBytes(unit) || needsEscape(c)) {
            if (open)
                out += '\'';
            open = false;
            out += "$'";
            appendEscaped(out, EncodeFileName(unit));
            out += '\'';
            return;
        }
        if (!open)
            out += '\'';
        open = true;
        out += c == '\'' ? QByteArray("'\\''") : EncodeFileName(unit);
    });
    if (open)
        out += '\'';
    return out;
}

void printItemError(const QString& name, const QString& reason)
{
    Cli::writeBytes(stderr, "ordinello-cli: " + shellQuoted(name) + ": " + reason.toLocal8Bit() + '\n');
}

void printRename(const char* verb, const QString& name, const QString& newName)
{
    Cli::writeBytes(stdout, verb + shellQuoted(name) + " -> " + shellQuoted(newName) + '\n');
}

std::optional<std::int32_t> parseInt32(const QByteArray& text)
{
    // Strict: an optional sign and decimal digits, nothing else, within 32 bits.
    const qsizetype start = text.startsWith('-') || text.startsWith('+') ? 1 : 0;
    if (text.size() == start || text.size() > start + 10)
        return std::nullopt;
    long long value = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (text.startsWith('-'))
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return std::int32_t(value);
}

struct Options {
    std::optional<std::int32_t> first;
    std::optional<std::int32_t> step;
    std::optional<int> width;
    bool autoWidth = false;
    std::optional<QByteArray> order;
    std::optional<QByteArray> orderBy;     // "name", "modified" or "taken"
    bool reverse = false;
    bool nulSeparated = false;
    bool dryRun = false;
    bool verbose = false;
    bool replaceNumbers = false;
    bool anyFirstWord = false;
    QList<QByteArray> operands;
};

// Parses the options of one command; options that take a value accept it as the next
// argument (so "--step -2" works) or after "=". Prints the problem and returns false.
bool parseOptions(const char* command, const QList<QByteArray>& args, bool numbering, Options* options)
{
    auto usage = [command](const QString& message) {
        Cli::printError(QStringLiteral("%1: %2").arg(QLatin1String(command), message));
        return false;
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QByteArray arg = args[i];
        if (optionsEnded || arg == "-" || !arg.startsWith('-')) {
            options->operands.append(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--dry-run") {
            options->dryRun = true;
            continue;
        }
        if (arg == "-v" || arg == "--verbose") {
            options->verbose = true;
            continue;
        }
        if (numbering && (arg == "-0" || arg == "--null")) {
            options->nulSeparated = true;
            continue;
        }
        if (numbering && arg == "--auto-width") {
            options->autoWidth = true;
            continue;
        }
        if (numbering && arg == "--replace-numbers") {
            options->replaceNumbers = true;
            continue;
        }
        if (!numbering && qstrcmp(command, "strip") == 0 && arg == "--any-first-word") {
            options->anyFirstWord = true;
            continue;
        }
        if (numbering && arg == "--reverse") {
            options->reverse = true;
            continue;
        }
        QByteArray value;
        bool hasValue = false;
        if (const qsizetype equals = arg.indexOf('='); arg.startsWith("--") && equals > 0) {
            value = arg.mid(equals + 1);
            arg.truncate(equals);
            hasValue = true;
        }
        const bool takesValue = numbering
                                && (arg == "--first" || arg == "--step" || arg == "--width" || arg == "--order"
                                    || arg == "--order-by");
        if (!takesValue)
            return usage(QCoreApplication::translate("CommandLine", "unknown option %1 (see --help)")
                             .arg(Cli::displayArgument(args[i])));
        if (!hasValue) {
            if (i + 1 >= args.size())
                return usage(QCoreApplication::translate("CommandLine", "%1 needs a value").arg(QLatin1String(arg)));
            value = args[++i];
        }
        if (arg == "--order") {
            options->order = value;
            continue;
        }
        if (arg == "--order-by") {
            if (value != "name" && value != "modified" && value != "taken")
                return usage(QCoreApplication::translate("CommandLine", "--order-by: name, modified or taken, not %1")
                                 .arg(Cli::displayArgument(value)));
            options->orderBy = value;
            continue;
        }
        const std::optional<std::int32_t> number = parseInt32(value);
        if (!number)
            return usage(QCoreApplication::translate("CommandLine",
                                                     "%1: not a whole number from -2147483648 to 2147483647: %2")
                             .arg(QLatin1String(arg), Cli::displayArgument(value)));
        if (arg == "--first") {
            options->first = *number;
        } else if (arg == "--step") {
            options->step = *number;
        } else {
            // Wider numbers cannot fit in a name (255 bytes) anyway.
            if (*number < 0 || *number > NAME_MAX)
                return usage(QCoreApplication::translate("CommandLine", "--width: must be from 0 to 255"));
            options->width = *number;
        }
    }
    if (options->width && options->autoWidth)
        return usage(QCoreApplication::translate("CommandLine", "--width and --auto-width exclude each other"));
    if (options->order && (options->orderBy || options->reverse))
        return usage(
            QCoreApplication::translate("CommandLine", "--order and --order-by or --reverse exclude each other"));
    if (options->nulSeparated && !options->order)
        return usage(QCoreApplication::translate("CommandLine", "-0 applies to the names given with --order"));
    if (options->operands.size() != 1)
        return usage(QCoreApplication::translate("CommandLine", "expected one FOLDER (see --help)"));
    return true;
}

// Resolves FOLDER and lists it as the window does, keeping each item's identity and the
// names of the AppleDouble files. A real run begins first (taking the folder's run lock
// until it ends): no other run changes the folder between the listing and the renames.
bool listFolderItems(const QByteArray& argument, ListOrder order, QList<FSRef>* items, FSRef* folder,
                     QSet<QByteArray>* companionNames, std::unique_ptr<FolderRun>* folderRun)
{
    if (!Cli::resolveFolder(argument, folder))
        return false;
    if (folderRun) {
        QString problem;
        *folderRun = FolderRun::begin(*folder, &problem);
        if (!*folderRun) {
            Cli::printError(QStringLiteral("%1: %2").arg(Cli::displayArgument(argument), problem));
            return false;
        }
    }
    int error = 0;
    const OSErr listed = folderRun ? (*folderRun)->list(items, order, &error, companionNames)
                                   : ListDirectoryItemRefs(*folder, items, order, &error, nullptr, companionNames);
    if (listed != noErr) {
        Cli::printUnreadableFolder(argument, error);
        return false;
    }
    return true;
}

// Reads at most limit bytes; EFBIG when there is more (an endless pipe or /dev/zero
// must not take all memory).
bool readAll(int fd, qsizetype limit, QByteArray* data)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (data->size() + n > limit) {
            errno = EFBIG;
            return false;
        }
        data->append(buffer, n);
    }
}

// The most an order list of these items can sensibly hold: every name sixteen times
// over, and never less than 64 MiB, so separators, blank lines and repeats still fit.
qsizetype orderInputLimit(const QList<FSRef>& items)
{
    qsizetype names = 0;
    for (const FSRef& item : items)
        names += item.nameBytes().size() + 1;
    return std::max<qsizetype>(qsizetype(64) << 20, 16 * names);
}

// Puts the items into the order the file gives. The file must name every listed item
// exactly once; otherwise every missing, unknown and repeated name is reported and
// false returned, and nothing may be renamed.
bool applyOrder(const QByteArray& file, bool nulSeparated, QList<FSRef>* items)
{
    QByteArray data;
    int fd = STDIN_FILENO;
    if (file != "-")
        fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    const qsizetype limit = orderInputLimit(*items);
    const bool read = fd >= 0 && readAll(fd, limit, &data);
    const int error = errno;
    if (fd >= 0 && fd != STDIN_FILENO)
        ::close(fd);
    if (!read && error == EFBIG) {
        Cli::printError(QCoreApplication::translate("CommandLine",
                                                    "--order: %1: more than %2 bytes, too long for a list of "
                                                    "this folder's items")
                            .arg(Cli::displayArgument(file))
                            .arg(limit));
        return false;
    }
    if (!read) {
        Cli::printError(QCoreApplication::translate("CommandLine", "--order: %1: %2")
                            .arg(Cli::displayArgument(file), DescribeErrno(error)));
        return false;
    }

    QHash<QByteArray, qsizetype> listed;
    listed.reserve(items->size());
    for (qsizetype i = 0; i < items->size(); ++i)
        listed.insert(items->at(i).nameBytes().toByteArray(), i);

    bool valid = true;
    QList<FSRef> ordered;
    ordered.reserve(items->size());
    QList<bool> used(items->size(), false);
    QSet<QByteArray> reportedRepeats;
    // A name cannot be empty, so empty entries (blank lines, the end after the last
    // separator) are not names.
    for (const QByteArray& name : data.split(nulSeparated ? '\0' : '\n')) {
        if (name.isEmpty())
            continue;
        const auto it = listed.constFind(name);
        if (it == listed.constEnd()) {
            Cli::printError(QCoreApplication::translate("CommandLine", "--order: %1: not a listed item of the folder")
                                .arg(QString::fromUtf8(shellQuoted(DecodeFileName(name)))));
            valid = false;
        } else if (used[*it]) {
            if (!reportedRepeats.contains(name)) {
                Cli::printError(QCoreApplication::translate("CommandLine", "--order: %1: named more than once")
                                    .arg(QString::fromUtf8(shellQuoted(DecodeFileName(name)))));
                reportedRepeats.insert(name);
            }
            valid = false;
        } else {
            used[*it] = true;
            ordered.append(items->at(*it));
        }
    }
    // The items the file leaves out, in the order the window lists them: the folder was
    // read in the order the disk keeps (see ListOrder::Enumeration), which means nothing
    // to a reader.
    QStringList missing;
    for (qsizetype i = 0; i < items->size(); ++i) {
        if (!used[i])
            missing.append(DecodeFileName(items->at(i).nameBytes()));
    }
    SortCFMutableArrayOfCFStringsLikeTheFinder(missing);
    for (const QString& name : std::as_const(missing)) {
        Cli::printError(QCoreApplication::translate("CommandLine", "--order: %1: missing")
                            .arg(QString::fromUtf8(shellQuoted(name))));
        valid = false;
    }
    if (valid)
        *items = std::move(ordered);
    return valid;
}

// One line of progress on standard error, rewritten in place, once a run has taken a
// second; only when standard error is a terminal, so pipes and logs never see it.
class ProgressLine
{
public:
    explicit ProgressLine(const char* verbText)
        : m_verbText(verbText)
        , m_terminal(::isatty(STDERR_FILENO) == 1)
    {
        m_clock.start();
    }
    ~ProgressLine() { clear(); }

    RunControl operator()(qsizetype done, qsizetype total)
    {
        // Looking at the clock costs little, but not nothing: every 256 items.
        if (!m_terminal || (done & 255) != 0 || m_clock.elapsed() < 1000)
            return RunControl::Continue;
        const QLocale locale;
        const QString text = QCoreApplication::translate("CommandLine", m_verbText)
                                 .arg(locale.toString(qlonglong(done)), locale.toString(qlonglong(total)));
        Cli::writeBytes(stderr, "\r" + text.toLocal8Bit() + "\x1b[K");
        std::fflush(stderr);
        m_shown = true;
        return RunControl::Continue;
    }

    // Takes the line away before other output goes to the terminal.
    void clear()
    {
        if (m_shown) {
            Cli::writeBytes(stderr, "\r\x1b[K");
            std::fflush(stderr);
            m_shown = false;
        }
    }

private:
    const char* m_verbText;
    bool m_terminal;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

// Puts the listed items (in the file manager's order) into the order --order-by and
// --reverse ask for; equal dates keep the file manager's order.
void arrangeItems(const Options& options, QList<FSRef>* items)
{
    if (options.orderBy && *options.orderBy != "name") {
        ProgressLine progress(QT_TRANSLATE_NOOP("CommandLine", "Reading dates %1 of %2"));
        PhotoDateReading reading;
        reading.progress = [&progress](qsizetype done, qsizetype total) { progress(done, total); };
        SortByDate(*items, *options.orderBy == "taken" ? ItemDate::Taken : ItemDate::Modified, reading);
    }
    if (options.reverse)
        std::reverse(items->begin(), items->end());
}

RenameRun makeRun(const Options& options, ProgressLine* progress = nullptr)
{
    RenameRun run;
    if (progress)
        run.progress = [progress](qsizetype done, qsizetype total) { return (*progress)(done, total); };
    run.dryRun = options.dryRun;
    if (options.dryRun) {
        run.renamed = [progress](const QString& name, const QString& newName) {
            if (progress)
                progress->clear();
            printRename("would rename ", name, newName);
        };
    } else if (options.verbose) {
        run.renamed = [progress](const QString& name, const QString& newName) {
            if (progress)
                progress->clear();
            printRename("renamed ", name, newName);
        };
    }
    run.failed = [progress](const RenameFailure& failure) {
        if (progress)
            progress->clear();
        printItemError(failure.name, failure.reason);
    };
    run.noted = [progress](const QString& name, const QString& note) {
        if (progress)
            progress->clear();
        printItemError(name, note);
    };
    return run;
}

int finish(const RenameReport& report)
{
    if (!report.journalProblem.isEmpty()) {
        Cli::printError(report.journalProblem + u' '
                        + QCoreApplication::translate("CommandLine", "Nothing was renamed."));
        return Cli::UsageError;
    }
    if (std::fflush(stdout) != 0) {
        Cli::printError(
            QCoreApplication::translate("CommandLine", "cannot write the output: %1").arg(DescribeErrno(errno)));
        return Cli::SomeFailed;
    }
    return report.failures.isEmpty() ? Cli::Success : Cli::SomeFailed;
}

} // namespace

namespace Cli {

int renameCommand(const QList<QByteArray>& args)
{
    Options options;
    if (!parseOptions("rename", args, true, &options))
        return UsageError;
    QList<FSRef> items;
    FSRef folder;
    QSet<QByteArray> companionNames;
    std::unique_ptr<FolderRun> folderRun;
    if (!listFolderItems(options.operands.first(), options.order ? ListOrder::Enumeration : ListOrder::FileManager,
                         &items, &folder, &companionNames, options.dryRun ? nullptr : &folderRun))
        return UsageError;
    if (options.order && !applyOrder(*options.order, options.nulSeparated, &items))
        return UsageError;
    arrangeItems(options, &items);

    // Options override the preferences for this run only.
    NumberingSettings settings = NumberingSettingsFromPreferences(items.size());
    settings.firstNumber = options.first.value_or(settings.firstNumber);
    settings.step = options.step.value_or(settings.step);
    if (options.width)
        settings.width = *options.width;
    else if (options.autoWidth)
        settings.width = AutomaticNumberWidth(items.size());
    // The command line never guesses: numbers are replaced only when asked.
    settings.replaceNumbers = options.replaceNumbers;
    if (const std::optional<std::int64_t> last = NumberBeyond32Bits(settings, items.size())) {
        Cli::printError(QCoreApplication::translate("CommandLine",
                                                    "rename: %1 items numbered from %2 in steps of %3 would end at "
                                                    "%4, outside -2147483648 to 2147483647; nothing was renamed")
                            .arg(items.size())
                            .arg(settings.firstNumber)
                            .arg(settings.step)
                            .arg(*last));
        return UsageError;
    }

    ProgressLine progress(QT_TRANSLATE_NOOP("CommandLine", "Numbering %1 of %2"));
    RenameRun run = makeRun(options, &progress);
    run.listedCompanionNames = &companionNames;
    const RenameReport report = folderRun ? folderRun->number(items, settings, run) : NumberItems(items, settings, run);
    progress.clear();
    return finish(report);
}

int stripCommand(const QList<QByteArray>& args)
{
    Options options;
    if (!parseOptions("strip", args, false, &options))
        return UsageError;
    QList<FSRef> items;
    FSRef folder;
    QSet<QByteArray> companionNames;
    std::unique_ptr<FolderRun> folderRun;
    if (!listFolderItems(options.operands.first(), ListOrder::FileManager, &items, &folder, &companionNames,
                         options.dryRun ? nullptr : &folderRun))
        return UsageError;
    ProgressLine progress(QT_TRANSLATE_NOOP("CommandLine", "Removing prefixes %1 of %2"));
    RenameRun run = makeRun(options, &progress);
    run.listedCompanionNames = &companionNames;
    const PrefixRule rule = options.anyFirstWord ? PrefixRule::AnyFirstWord : PrefixRule::NumbersOnly;
    const RenameReport report = folderRun ? folderRun->removePrefixes(items, rule, run) : RemoveNumberPrefixes(items, rule, run);
    progress.clear();
    return finish(report);
}

int undoCommand(const QList<QByteArray>& args)
{
    Options options;
    if (!parseOptions("undo", args, false, &options))
        return UsageError;
    FSRef folder;
    if (!resolveFolder(options.operands.first(), &folder))
        return UsageError;
    ProgressLine progress(QT_TRANSLATE_NOOP("CommandLine", "Undoing %1 of %2"));
    const UndoResult result = UndoLastRun(folder, makeRun(options, &progress));
    progress.clear();
    switch (result.status) {
    case UndoResult::Status::NothingToUndo:
        printError(QCoreApplication::translate("CommandLine", "%1: no renaming to undo")
                       .arg(displayArgument(options.operands.first())));
        return UsageError;
    case UndoResult::Status::Busy:
        printError(QStringLiteral("%1: %2").arg(displayArgument(options.operands.first()), result.problem));
        return UsageError;
    case UndoResult::Status::Refused:
        printError(result.problem + u' ' + QCoreApplication::translate("CommandLine", "Nothing was renamed."));
        return UsageError;
    case UndoResult::Status::Undone:
        break;
    }
    return finish(result.report);
}

} // namespace Cli
