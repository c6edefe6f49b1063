#pragma once
// Folders handed to the running program (Open With, a drop on its icon, Open Documents
// sent to itself) arrive as QFileOpenEvents posted to the application object: Qt gives
// them to no window. This filter, installed on the application, chooses each such folder
// in the window as if picked in the chooser; several in a row leave the last one listed.

#include <QObject>

class OrdinelloController;

class FolderOpenEvents : public QObject
{
    Q_OBJECT
public:
    // Installs itself on the application object; removed when destroyed.
    explicit FolderOpenEvents(OrdinelloController* controller, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OrdinelloController* m_controller;
};
