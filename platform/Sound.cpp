#include "platform/Sound.h"

#include <QApplication>

namespace {
std::function<void()>& beepHandler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

void SysBeep(int /*duration: the desktop decides how long its alert sounds*/)
{
    if (beepHandler()) {
        beepHandler()();
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

void SetBeepHandlerForTesting(std::function<void()> handler)
{
    beepHandler() = std::move(handler);
}
