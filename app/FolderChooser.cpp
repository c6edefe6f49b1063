#include "app/FolderChooser.h"

#include "support/LocalizedStrings.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QUrl>

namespace {

// The chooser's Type column is named by Qt under this context, which Qt's own Italian
// catalogue (qtbase_it, Debian's qt6-translations-l10n) does not translate: "Folder" would
// stand in English beside translated columns. The program's catalogue carries them; Qt
// looks them up in every installed catalogue.
[[maybe_unused]] const char* const kQtFileTypeTexts[][2] = {
    QT_TRANSLATE_NOOP3("QAbstractFileIconProvider", "Folder", "All other platforms"),
    QT_TRANSLATE_NOOP3("QAbstractFileIconProvider", "Shortcut", "All other platforms"),
};
[[maybe_unused]] const char* const kQtOtherFileTypeTexts[] = {
    QT_TRANSLATE_NOOP("QAbstractFileIconProvider", "Drive"),
    QT_TRANSLATE_NOOP("QAbstractFileIconProvider", "Unknown"),
};

} // namespace

OSErr ChooseFolder(QWidget* parent, const char* prompt, QByteArray* result, const QByteArray& shownFolder)
{
    if (!result)
        return paramErr;
    QFileDialog dialog(parent);
    dialog.setWindowTitle(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "Choose")));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // Not the directory the program was started from, which means nothing to the person.
    if (const qsizetype slash = shownFolder.lastIndexOf('/'); slash >= 0 && shownFolder.size() > 1) {
        dialog.setDirectory(QFile::decodeName(slash == 0 ? QByteArray("/") : shownFolder.left(slash)));
        dialog.selectFile(QFile::decodeName(shownFolder.mid(slash + 1)));
    } else {
        dialog.setDirectory(QDir::homePath());
    }
    if (prompt) {
        // The message stands where the folder's name is typed.
        const QString& message = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "Choose folder"));
        if (!message.isNull())
            dialog.setLabelText(QFileDialog::FileName, message);
    }
    const QString& button = LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "Choose"));
    if (!button.isNull())
        dialog.setLabelText(QFileDialog::Accept, button);

    if (dialog.exec() != QDialog::Accepted)
        return userCanceledErr;
    const QList<QUrl> urls = dialog.selectedUrls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return userCanceledErr;
    // The fully encoded path keeps the name's bytes where the dialog preserved them.
    *result = QByteArray::fromPercentEncoding(urls.first().path(QUrl::FullyEncoded).toLatin1());
    return noErr;
}
