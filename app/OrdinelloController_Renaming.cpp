// Numbering and prefix removal from the window: the runs themselves are app/Numbering's;
// here the controller feeds them its list and the preferences, reloads, and reports.

#include "app/OrdinelloController.h"

#include "app/Numbering.h"
#include "app/Preferences.h"
#include "platform/NameCodec.h"

void OrdinelloController::renameItems()
{
    // Before any folder was chosen there is nothing to number and nothing to reload.
    if (!hasFolder())
        return;
    NumberingSettings settings;
    settings.firstNumber = InitialNumber();
    settings.step = IncrementBy();
    // The width settings are read for every item, so the width always follows the
    // preferences as they stand.
    settings.width = [this] {
        const int automatic = automaticNumberLength();
        return automatic != 0 ? automatic : int(NumberLength());
    };

    Q_EMIT runStarted();
    startSpinner();
    QList<FSRef> items = listedReferences();
    const RenameReport report = NumberItems(items, settings);
    loadDirectoryItems();
    stopSpinner();
    finishRun(report);
}

void OrdinelloController::removeFilenamePrefixes()
{
    if (!hasFolder())
        return;
    Q_EMIT runStarted();
    QList<FSRef> items = listedReferences();
    const RenameReport report = RemoveNumberPrefixes(items);
    loadDirectoryItems();
    finishRun(report);
}

void OrdinelloController::finishRun(const RenameReport& report)
{
    QStringList names, reasons;
    for (const RenameFailure& failure : report.failures) {
        names.append(failure.name);
        reasons.append(failure.reason);
    }
    Q_EMIT runFinished(report.handled, names, reasons);
}

int OrdinelloController::automaticNumberLength() const
{
    if (!AutomaticNumberLength())
        return 0;
    // The width follows the number of items, not the largest number to be printed.
    return int(QString::number(m_directoryItems.size()).size());
}

QList<FSRef> OrdinelloController::listedReferences() const
{
    QList<FSRef> refs;
    refs.reserve(m_directoryItems.size());
    for (const QString& path : m_directoryItems) {
        // A path whose object was already gone when listed keeps an identity no object
        // has, so the run reports it instead of renaming whatever appears there later.
        FSRef ref = m_listedIdentities.value(path);
        if (ref.isNull()) {
            ref.path = EncodeFileName(path);
            ref.device = dev_t(-1);
            ref.inode = ino_t(-1);
        }
        refs.append(std::move(ref));
    }
    return refs;
}
