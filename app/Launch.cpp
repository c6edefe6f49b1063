#include "app/Launch.h"

#include "app/MainWindow.h"
#include "app/OrdinelloController.h"
#include "app/SoftwareUpdateWindow.h"
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
#include <vector>

namespace {

// Qt's own command-line options, which the application object takes out of argv: with one
// or two dashes, the value in the next argument or after "=".
bool isQtOption(QByteArrayView arg, bool* takesValue)
{
    static const char* const withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                            "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                            "display", "geometry", "style", "stylesheet", "name", "title"};
    static const char* const alone[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    QByteArrayView name = arg.sliced(arg.startsWith("--") ? 2 : 1);
    const qsizetype equals = name.indexOf('=');
    const bool valueAttached = equals >= 0;
    if (valueAttached)
        name = name.first(equals);
    if (name.startsWith("qmljsdebugger")) {
        *takesValue = false;
        return true;
    }
    for (const char* option : withValue) {
        if (name == option) {
            *takesValue = !valueAttached;
            return true;
        }
    }
    for (const char* option : alone) {
        if (name == option && !valueAttached) {
            *takesValue = false;
            return true;
        }
    }
    return false;
}

} // namespace

LaunchArguments ParseLaunchArguments(int argc, char** argv)
{
    LaunchArguments parsed;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            parsed.action = LaunchArguments::Action::Help;
            return parsed;
        } else if (!optionsEnded && std::strcmp(arg, "--version") == 0) {
            parsed.action = LaunchArguments::Action::Version;
            return parsed;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            bool takesValue = false;
            if (isQtOption(QByteArrayView(arg), &takesValue)) {
                i += takesValue ? 1 : 0;
            } else if (parsed.action != LaunchArguments::Action::Error) {
                parsed.action = LaunchArguments::Action::Error;
                parsed.badOption = arg;
            }
        } else {
            parsed.folders.append(QByteArray(arg));
        }
    }
    return parsed;
}

namespace {

void setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ordinello"));
    QCoreApplication::setApplicationName(QStringLiteral("Ordinello"));
    QCoreApplication::setApplicationVersion(Bundle::shortVersionString());
}

// --help and --version need no window system: a plain application object is enough for
// the translated texts.
int answerWithoutWindows(int argc, char** argv, const LaunchArguments& arguments)
{
    QCoreApplication app(argc, argv);
    setIdentity();
    InstallTranslations();
    if (arguments.action == LaunchArguments::Action::Error) {
        QTextStream(stderr) << QCoreApplication::translate("Launch", "ordinello: unknown option %1\n")
                                   .arg(QString::fromLocal8Bit(arguments.badOption));
        return 2;
    }
    if (arguments.action == LaunchArguments::Action::Version) {
        QTextStream(stdout) << "ordinello " << Bundle::shortVersionString() << '\n';
        return 0;
    }
    QTextStream(stdout) << QCoreApplication::translate("Launch",
        "Usage: ordinello [FOLDER...]\n"
        "Lists each FOLDER's items, in a window of its own, in the file manager's order so\n"
        "you can drag them into the order you want and number them.\n\n"
        "  -h, --help     show this help\n"
        "      --version  show the version\n");
    return 0;
}

} // namespace

int OrdinelloMain(int argc, char** argv)
{
    // The application object needs a display: the command line is read before it, so help,
    // version and a mistyped option are answered anywhere.
    const LaunchArguments early = ParseLaunchArguments(argc, argv);
    if (early.action != LaunchArguments::Action::Run)
        return answerWithoutWindows(argc, argv, early);

    QApplication app(argc, argv);   // takes Qt's own options out of argv
    setIdentity();
    QApplication::setApplicationDisplayName(QStringLiteral("Ordinello"));
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

    // Qt took its own options out of argv.
    const LaunchArguments arguments = ParseLaunchArguments(argc, argv);

    // One update service and one update window for the whole program, whatever the number
    // of main windows: the automatic check alerts once.
    auto update = std::make_unique<SoftwareUpdateController>();
    auto updateWindow = std::make_unique<SoftwareUpdateWindow>(update.get());
    updateWindow->awakeFromNib();

    // A window for each folder given, or one without a folder. Each holds its place until
    // the program ends: a window opened meanwhile takes the next place.
    struct OpenWindow {
        std::unique_ptr<WindowPlace> place;
        std::unique_ptr<MainWindow> window;
    };
    std::vector<OpenWindow> windows;
    const qsizetype count = std::max<qsizetype>(1, arguments.folders.size());
    for (qsizetype i = 0; i < count; ++i) {
        OpenWindow open{std::make_unique<WindowPlace>(), std::make_unique<MainWindow>(updateWindow.get())};
        open.place->cascade(open.window.get());
        // Runs interrupted earlier are offered once, by the first window.
        if (i == 0)
            open.window->applicationWillFinishLaunching();
        else
            open.window->controller()->applicationWillFinishLaunching();
        if (i < arguments.folders.size())
            open.window->controller()->selectDirectoryPath(arguments.folders.at(i));
        windows.push_back(std::move(open));
    }
    const int status = app.exec();

    // The windows save what they keep and end their downloads as they go. Nothing is left to
    // save after them: the program ends here rather than wait for pictures nobody will see,
    // unload the code making them while it runs, or join Qt's helper threads.
    windows.clear();
    updateWindow.reset();
    update.reset();
    std::fflush(nullptr);
    std::_Exit(status);
}
