#pragma once
// The status bar's account of the last renaming run. After a run in which items failed
// it reads "3 items could not be renamed"; a click lists which items and why, in a
// window that does not block the main one. After a run without failures it hides and
// the status bar says briefly how many items were handled.

#include <QStringList>
#include <QToolButton>

class QDialog;
class QPlainTextEdit;
class QStatusBar;

class RenameReportView : public QToolButton
{
    Q_OBJECT
public:
    // Adds itself to the status bar as a permanent widget.
    explicit RenameReportView(QStatusBar* statusBar);

    const QStringList& failures() const { return m_failures; }
    // The list of failures; null until first shown.
    QDialog* detailsWindow() const { return m_details; }

public Q_SLOTS:
    // Connected to OrdinelloController::runFinished.
    void showRun(int handled, const QStringList& failures);
    void showDetails();

private:
    QStatusBar* m_statusBar;
    QStringList m_failures;
    QDialog* m_details = nullptr;
    QPlainTextEdit* m_detailsText = nullptr;
};
