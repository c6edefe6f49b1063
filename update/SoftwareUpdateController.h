#pragma once
// Placeholder: the software-update window and version check.

#include <QObject>

class QWidget;

class SoftwareUpdateController : public QObject
{
    Q_OBJECT
public:
    explicit SoftwareUpdateController(QWidget* parentWindow, QObject* parent = nullptr);
    void awakeFromNib();

public Q_SLOTS:
    void showWindow();
};
