#include "update/SoftwareUpdateController.h"

SoftwareUpdateController::SoftwareUpdateController(QWidget*, QObject* parent)
    : QObject(parent)
{
}

void SoftwareUpdateController::awakeFromNib()
{
}

void SoftwareUpdateController::showWindow()
{
}
