#pragma once
// The status bar's account of the last renaming run. After a run in which items failed
// it reads "3 items could not be renamed"; a click lists which items and why, name and
// reason side by side, in a window that does not block the main one and names the
// folder. After a run without failures it hides and the status bar says briefly how many
// items were handled. A new folder or a new run clears it.

#include <QStringList>
#include <QToolButton>

class QDialog;
class QLabel;
class QStatusBar;
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

public Q_SLOTS:
    void showRun(const QString& folder, int handled, const QStringList& names, const QStringList& reasons);
    void clear();
    void showDetails();

private:
    void fillDetails();

    QStatusBar* m_statusBar;
    QString m_folder;
    QStringList m_names;
    QStringList m_reasons;
    QDialog* m_details = nullptr;
    QLabel* m_detailsLabel = nullptr;
    QTreeWidget* m_detailsList = nullptr;
};
