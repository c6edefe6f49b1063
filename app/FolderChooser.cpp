#include "app/FolderChooser.h"

#include "support/LocalizedStrings.h"

#include <QFileDialog>
#include <QUrl>

OSErr ChooseFolder(QWidget* parent, const char* prompt, QByteArray* result)
{
    if (!result)
        return paramErr;
    QFileDialog dialog(parent);
    dialog.setWindowTitle(LocalizedString(QT_TRANSLATE_NOOP("LocalizedStrings", "Choose")));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
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
