#pragma once
// The window's account of the last renaming run or undo. The status bar says how it ended:
// "Done: 12 items" (for a few seconds), "Cancelled after 5,535 of 20,000 items", and for an
// undo how many items it left alone because they already had their old names; a menu's
// hints passing over the status bar do not wipe it. When items failed, a
// window-modal message lists which and why, name and reason side by side, and the status
// bar keeps "3 items could not be renamed"; a click there lists them again, in a window
// that does not block the main one and names the folder. A new folder or a new run clears
// it.

#include "app/RunAccount.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QToolButton>

class QLabel;
class QStatusBar;
class QTimer;
class QTreeWidget;

class RenameReportView : public QToolButton
{
    Q_OBJECT
public:
    // Adds itself to the status bar as a permanent widget.
    explicit RenameReportView(QStatusBar* statusBar);

    // The failed items' names (lossless) and why each failed.
    const QStringList& names() const { return m_names; }
    const QStringList& reasons() const { return m_reasons; }
    // The list of failures; null until first shown.
    QDialog* detailsWindow() const { return m_details; }
    // The message that opened when the last run ended with failures; null when none is open.
    QDialog* reportMessage() const { return m_message; }
    // How the last run ended, in the status bar; empty when there is nothing to say.
    QString account() const;

public Q_SLOTS:
    void showRun(const QString& folder, const RunAccount& account);
    void clear();
    void showDetails();

private:
    // A window listing the failures: a label over the list of names and reasons, and a
    // Close button.
    QDialog* makeDetailsWindow(QLabel** label, QTreeWidget** list);
    void fillDetails(QDialog* window, QLabel* label, QTreeWidget* list) const;
    void openReportMessage(const RunAccount& account);
    QString statusText(const RunAccount& account) const;

    QLabel* m_account;
    QTimer* m_accountTimeout;
    QString m_folder;
    bool m_undo = false;
    QStringList m_names;
    QStringList m_reasons;
    QDialog* m_details = nullptr;
    QLabel* m_detailsLabel = nullptr;
    QTreeWidget* m_detailsList = nullptr;
    QPointer<QDialog> m_message;
};
