#include "app/Launch.h"

#include "app/MainWindow.h"
#include "app/OrdinelloController.h"
#include "app/WindowPlacement.h"
#include "platform/Bundle.h"
#include "platform/Sound.h"
#include "support/LocalizedStrings.h"

#include <QApplication>
#include <QIcon>
#include <QNetworkProxyFactory>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int OrdinelloMain(int argc, char** argv)
{
    QApplication app(argc, argv);   // takes Qt's own options out of argv
    QApplication::setOrganizationName(QStringLiteral("Ordinello"));
    QApplication::setApplicationName(QStringLiteral("Ordinello"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ordinello"));
    QApplication::setApplicationVersion(Bundle::shortVersionString());
    QApplication::setDesktopFileName(Bundle::identifier());
    InstallTranslations();
    // Runs rename on a worker thread: the alert is sounded on the GUI thread.
    SetSystemBeep([&app] { QMetaObject::invokeMethod(&app, [] { QApplication::beep(); }); });
    // The update check honours the desktop's proxy settings (http_proxy and friends).
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // Outside a desktop session (a bare X server, some window managers) no icon theme is
    // set and toolbar and file icons would be blank: fall back to the freedesktop theme
    // every Debian desktop installs.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
        QIcon::setThemeName(QStringLiteral("Adwaita"));

    // The folder is taken from the raw arguments: its bytes must reach the file system
    // exactly, also when they are not valid UTF-8.
    QByteArray folder;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            QTextStream(stdout) << QApplication::translate("Launch",
                "Usage: ordinello [FOLDER]\n"
                "Lists FOLDER's items in the file manager's order so you can drag them into the\n"
                "order you want and number them.\n\n"
                "  -h, --help     show this help\n"
                "      --version  show the version\n");
            return 0;
        } else if (!optionsEnded && std::strcmp(arg, "--version") == 0) {
            QTextStream(stdout) << "ordinello " << Bundle::shortVersionString() << '\n';
            return 0;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            QTextStream(stderr) << QApplication::translate("Launch", "ordinello: unknown option %1\n")
                                       .arg(QString::fromLocal8Bit(arg));
            return 2;
        } else if (folder.isEmpty()) {
            folder = arg;
        }
    }

    // Held until the program ends: a window opened meanwhile takes the next place.
    auto place = std::make_unique<WindowPlace>();
    auto window = std::make_unique<MainWindow>();
    place->cascade(window.get());
    window->applicationWillFinishLaunching();
    if (!folder.isEmpty())
        window->controller()->selectDirectoryPath(folder);
    const int status = app.exec();

    // The window saves what it keeps and ends its downloads as it goes. Nothing is left to
    // save after it: the program ends here rather than wait for pictures nobody will see,
    // unload the code making them while it runs, or join Qt's helper threads.
    window.reset();
    place.reset();
    std::fflush(nullptr);
    std::_Exit(status);
}
