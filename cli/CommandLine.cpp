#include "cli/CommandLine.h"

#include "platform/Bundle.h"
#include "platform/NameCodec.h"
#include "renaming/FolderRun.h"
#include "support/LocalizedStrings.h"

#include <QCoreApplication>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>

namespace {

// In the user's language; the English text is the key and the fallback.
QByteArray usageText()
{
    return QCoreApplication::translate("CommandLine",
           "Usage: ordinello-cli COMMAND [OPTIONS] FOLDER\n"
           "\n"
           "Commands:\n"
           "  list [-0|--null] FOLDER     print the folder's listed items, one name per line,\n"
           "                              in the file manager's order (-0: NUL-terminated)\n"
           "  rename [OPTIONS] FOLDER     number the listed items in order\n"
           "  strip [--any-first-word] [--dry-run] [-v] FOLDER\n"
           "                              remove one number prefix from each listed item; names\n"
           "                              whose first word is not a number are left unchanged\n"
           "                              and named on standard error\n"
           "  undo [--dry-run] [-v] FOLDER\n"
           "                              undo the last renaming in the folder (again: the one\n"
           "                              before), never replacing an item\n"
           "\n"
           "Options of rename:\n"
           "  --first N        first number (default: the preferences)\n"
           "  --step N         step between numbers, may be 0 or negative (default: the preferences)\n"
           "  --width N        fixed width of the number, 0 to 255, padded with zeros\n"
           "  --auto-width     width follows the number of items\n"
           "  --order FILE     wanted order: every listed name exactly once, one per line, as\n"
           "                   'list' prints them ('-': standard input); otherwise nothing is renamed\n"
           "  -0, --null       names in --order are NUL-separated (as 'list -0' prints them)\n"
           "  --order-by KEY   the order instead of the file manager's: name (the file manager's),\n"
           "                   modified (date modified) or taken (the photo's capture date, else\n"
           "                   its date modified); earliest first, equal dates by name\n"
           "  --reverse        the order reversed (with --order-by, or the file manager's)\n"
           "  --replace-numbers  a name's number prefix is replaced by the new number instead of\n"
           "                   getting a second one in front of it\n"
           "\n"
           "Option of strip:\n"
           "  --any-first-word remove whatever stands before the first blank, number or not\n"
           "\n"
           "Options of rename, strip and undo:\n"
           "  --dry-run        print \"would rename 'a' -> '1 a'\" for each rename, change nothing\n"
           "  -v, --verbose    print \"renamed 'a' -> '1 a'\" for each rename, as mv -v does\n"
           "\n"
           "Names are quoted for the shell as GNU mv quotes them; an item's AppleDouble file\n"
           "(\"._name\") is renamed with it and printed on a line of its own. Each failed item is\n"
           "named on standard error as \"ordinello-cli: 'name': reason\"; the others are still renamed.\n"
           "A symbolic link that points at an item being renamed is named there too.\n"
           "\n"
           "  -h, --help       show this help\n"
           "      --version    show the version\n"
           "\n"
           "Exit status: 0 all items handled, 1 some items failed, 2 usage or folder error.\n")
        .toLocal8Bit();
}

} // namespace

namespace Cli {

void printError(const QString& message)
{
    const QByteArray bytes = "ordinello-cli: " + message.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

void writeBytes(std::FILE* stream, QByteArrayView bytes)
{
    std::fwrite(bytes.data(), 1, size_t(bytes.size()), stream);
}

QString displayArgument(const QByteArray& argument)
{
    return DisplayFileName(DecodeFileName(argument));
}

bool resolveFolder(const QByteArray& argument, FSRef* folder)
{
    int error = 0;
    if (CheckFolder(argument, folder, &error) != noErr) {
        printError(QCoreApplication::translate("CommandLine", "%1: %2")
                       .arg(displayArgument(argument), DescribeErrno(error)));
        return false;
    }
    return true;
}

void printUnreadableFolder(const QByteArray& argument, int error)
{
    printError(QCoreApplication::translate("CommandLine", "%1: cannot be read: %2")
                   .arg(displayArgument(argument), DescribeErrno(error)));
}

bool listFolder(const QByteArray& argument, FSRef* folder, QStringList* paths)
{
    if (!resolveFolder(argument, folder))
        return false;
    int error = 0;
    if (ListDirectoryItems(*folder, paths, &error) != noErr) {
        printUnreadableFolder(argument, error);
        return false;
    }
    return true;
}

int listCommand(const QList<QByteArray>& args)
{
    bool nul = false;
    QList<QByteArray> operands;
    bool optionsEnded = false;
    for (const QByteArray& arg : args) {
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (!optionsEnded && (arg == "-0" || arg == "--null"))
            nul = true;
        else if (!optionsEnded && arg.startsWith('-') && arg.size() > 1) {
            printError(QCoreApplication::translate("CommandLine", "list: unknown option %1").arg(displayArgument(arg)));
            return UsageError;
        } else
            operands.append(arg);
    }
    if (operands.size() != 1) {
        printError(QCoreApplication::translate("CommandLine", "list: expected one FOLDER (see --help)"));
        return UsageError;
    }
    FSRef folder;
    QStringList paths;
    if (!listFolder(operands.first(), &folder, &paths))
        return UsageError;

    const char terminator = nul ? '\0' : '\n';
    QByteArray buffer;
    buffer.reserve(1 << 16);
    QStringEncoder utf8(QStringEncoder::Utf8);
    for (const QString& path : std::as_const(paths)) {
        const QStringView name = QStringView(path).sliced(path.lastIndexOf(u'/') + 1);
        if (HasEscapedBytes(name)) {
            buffer.append(EncodeFileName(name));
        } else {
            // Straight into the buffer: no string made per name.
            const qsizetype used = buffer.size();
            buffer.resize(used + utf8.requiredSpace(name.size()));
            buffer.truncate(utf8.appendToBuffer(buffer.data() + used, name) - buffer.constData());
        }
        buffer.append(terminator);
        if (buffer.size() >= (1 << 16) - 1024) {
            writeBytes(stdout, buffer);
            buffer.truncate(0);   // keeps the capacity
        }
    }
    writeBytes(stdout, buffer);
    return std::fflush(stdout) == 0 ? Success : UsageError;
}

} // namespace Cli

int RunCommandLine(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Ordinello"));
    QCoreApplication::setApplicationName(QStringLiteral("Ordinello"));
    QCoreApplication::setApplicationVersion(Bundle::shortVersionString());
    InstallTranslations();

    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    if (args.isEmpty()) {
        Cli::writeBytes(stderr, usageText());
        return Cli::UsageError;
    }
    const QByteArray command = args.takeFirst();
    if (command == "-h" || command == "--help" || command == "help") {
        Cli::writeBytes(stdout, usageText());
        return Cli::Success;
    }
    if (command == "--version") {
        Cli::writeBytes(stdout, "ordinello-cli " + Bundle::shortVersionString().toUtf8() + '\n');
        return Cli::Success;
    }
    // After "--" every argument is an operand: "list -- --help" lists a folder of that name.
    const QList<QByteArray> options = args.mid(0, args.indexOf("--"));
    if (options.contains("--help") || options.contains("-h")) {
        Cli::writeBytes(stdout, usageText());
        return Cli::Success;
    }
    if (command == "list")
        return Cli::listCommand(args);
    if (command == "rename")
        return Cli::renameCommand(args);
    if (command == "strip")
        return Cli::stripCommand(args);
    if (command == "undo")
        return Cli::undoCommand(args);
    Cli::printError(QCoreApplication::translate("CommandLine", "unknown command %1 (see --help)")
                        .arg(Cli::displayArgument(command)));
    return Cli::UsageError;
}
