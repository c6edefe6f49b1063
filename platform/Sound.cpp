#include "platform/Sound.h"

namespace {
struct Handlers {
    std::function<void()> system;
    std::function<void()> testing;
};

Handlers& handlers()
{
    static Handlers instance;
    return instance;
}
} // namespace

void SysBeep(int /*duration: the desktop decides how long its alert sounds*/)
{
    Handlers& h = handlers();
    if (h.testing)
        h.testing();
    else if (h.system)
        h.system();
}

void SetSystemBeep(std::function<void()> beep)
{
    handlers().system = std::move(beep);
}

void SetBeepHandlerForTesting(std::function<void()> handler)
{
    handlers().testing = std::move(handler);
}
