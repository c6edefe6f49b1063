#include "platform/SystemLog.h"

#include "platform/Bundle.h"

#include <mutex>
#include <syslog.h>

namespace {

struct Log {
    std::mutex mutex;
    std::function<void(const QString&)> handler;
    std::once_flag opened;
};

Log& systemLog()
{
    static Log* instance = new Log;   // never freed: messages may come during static teardown
    return *instance;
}

} // namespace

void NSLog(const QString& message)
{
    Log& log = systemLog();
    std::function<void(const QString&)> handler;
    {
        std::lock_guard lock(log.mutex);
        handler = log.handler;
    }
    if (handler) {
        handler(message);
        return;
    }
    std::call_once(log.opened, [] {
        // openlog keeps the pointer, so the name must live as long as the process. The
        // executable's own name rather than argv[0]: the journal entries keep one tag however
        // the program was started. LOG_PERROR copies each line to standard error, as NSLog did.
        static const QByteArray ident = Bundle::executableName().toUtf8();
        ::openlog(ident.constData(), LOG_PID | LOG_PERROR, LOG_USER);
    });
    ::syslog(LOG_NOTICE, "%s", message.toUtf8().constData());
}

void SetSystemLogHandlerForTesting(std::function<void(const QString& message)> handler)
{
    Log& log = systemLog();
    std::lock_guard lock(log.mutex);
    log.handler = std::move(handler);
}
