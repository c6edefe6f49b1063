#include "app/FolderOpenEvents.h"

#include "app/OrdinelloController.h"

#include <QCoreApplication>
#include <QFileOpenEvent>

FolderOpenEvents::FolderOpenEvents(OrdinelloController* controller, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

bool FolderOpenEvents::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FileOpen || watched != QCoreApplication::instance())
        return QObject::eventFilter(watched, event);
    // The path's bytes come from the URL's percent-encoding: QFileOpenEvent::file() goes
    // through QString and loses names that are not UTF-8.
    const QUrl url = static_cast<QFileOpenEvent*>(event)->url();
    if (!url.isLocalFile())
        return false;
    m_controller->selectDirectoryPath(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    return true;
}
