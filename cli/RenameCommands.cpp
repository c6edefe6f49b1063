// Placeholder until the numbering work lands.
#include "cli/CommandLine.h"

namespace Cli {

int renameCommand(const QList<QByteArray>&)
{
    printError(QStringLiteral("rename: not available yet"));
    return UsageError;
}

int stripCommand(const QList<QByteArray>&)
{
    printError(QStringLiteral("strip: not available yet"));
    return UsageError;
}

} // namespace Cli
