#include "app/ControlClient.h"
#include "app/MonitorFollower.h"
#include "app/SingleInstance.h"
#include "app/Skin.h"
#include "app/TForm1.h"
#include "desktop/ScreenSaverSelection.h"
#include "desktop/Wallpaper.h"
#include "widgets/Dialogs.h"
#include "widgets/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "platform/Clock.h"
#include "platform/Store.h"
#include "platform/System.h"
#include "rotation/Control.h"
#include "rotation/RotationRunner.h"
#ifndef _WIN32
#include "desktop/Session.h"
#endif

#include <QApplication>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // A command for the running copy (plimbury --next, ...) needs no window
    // and no display.
    if (const auto command = plimbury::controlCommandOf(std::vector<std::string>(argv + std::min(argc, 1), argv + argc)))
        return runControlCommand(argc, argv, *command);

#ifndef _WIN32
    // Qt's own choice on a Wayland session would be its Wayland plugin even
    // where Xwayland serves, and there a window cannot place itself: the
    // platform is given as Qt's "-platform" option, which Qt takes out of the
    // arguments again, so that programs started from here still choose their own.
    std::string platform = plimbury::desktop::windowPlatform();
    char platformOption[] = "-platform";
    std::vector<char*> arguments(argv, argv + argc);
    if (!platform.empty() && !arguments.empty())
        arguments.insert(arguments.begin() + 1, {platformOption, platform.data()});
    int argumentCount = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(argumentCount, arguments.data());
#else
    QApplication app(argc, argv);
#endif
    QApplication::setApplicationName(QStringLiteral("plimbury"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plimbury"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setWindowIcon(skin::applicationIcon());
    // Hidden in the notification area the program has no window at all; it
    // ends only through "Exit" or "Abandon  and  Exit".
    QApplication::setQuitOnLastWindowClosed(false);

#ifndef _WIN32
    // Qt cannot paint windows on X displays of fewer than 16 bits per pixel
    // (it crashes in the first paint); say so instead.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (const int depth = plimbury::desktop::x11ScreenDepth(); depth < 16) {
            std::fprintf(stderr, "plimbury: the X display \"%s\" has %d bits per pixel; the program's windows need 16 or more\n",
                         plimbury::environmentValue("DISPLAY").c_str(), depth);
            return 1;
        }
    }
#endif

    // A second start (typically the user's, while the log-on copy sits in the
    // tray) shows the running copy's window instead of rotating the same
    // project twice.
    SingleInstance single;
    if (!single.start(QApplication::arguments().mid(1)))
        return 0;

    const std::unique_ptr<plimbury::Store> store = plimbury::makeSystemStore();
    const plimbury::SystemClock clock;
    const std::unique_ptr<plimbury::Wallpaper> wallpaper = plimbury::makeSystemWallpaper(*store);
    plimbury::ScreenSaverSelector screenSaver;

    AppServices services;
    services.store = store.get();
    services.clock = &clock;
    services.wallpaper = wallpaper.get();
    services.screenSaver = &screenSaver;
    services.executablePath = plimbury::executablePath();
    services.executableFolder = plimbury::executableFolder();
    services.dataFolder = plimbury::programDataFolder();
    services.arguments = QApplication::arguments().mid(1);

    // Created in this order, each once, for the whole run; the editors are
    // destroyed before the window they refer to.
    TForm1 form(services);
    Twall wall(&form, form.findChild<SortedListBox*>(QStringLiteral("FileListBox1")));
    Tscreensaver screensaver(&form, form.findChild<SortedListBox*>(QStringLiteral("FileListBox2")));
    wall.setPartner(&screensaver);
    screensaver.setPartner(&wall);
    form.setEditors(&wall, &screensaver);
    QObject::connect(&form, &TForm1::closed, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&single, &SingleInstance::showRequested, &form,
                     [&form] { dialogs::guarded(&form, [&form] { form.comeBackFromTray(); }); });
    single.setCommandHandler([&form](const QString& argument) {
        const auto command = plimbury::controlCommandOf({argument.toStdString()});
        if (!command)
            return SingleInstance::Reply{1, QStringLiteral("unknown command %1").arg(argument)};
        const plimbury::ControlReply reply = form.controlCommand(*command);
        return SingleInstance::Reply{reply.status, QString::fromStdString(reply.text)};
    });

    // Where the program paints the wallpaper itself, it follows the monitors.
    const MonitorFollower monitors(*wallpaper, &form);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        form.move(screen->geometry().center() - form.rect().center());
    form.show();
    return QApplication::exec();
}
