#include "app/Skin.h"
#include "app/TForm1.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "platform/Clock.h"
#include "platform/Store.h"
#include "platform/System.h"
#include "platform/Wallpaper.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plimbury"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plimbury"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setWindowIcon(skin::applicationIcon());
    // Hidden in the notification area the program has no window at all; it
    // ends only through "Exit" or "Abandon  and  Exit".
    QApplication::setQuitOnLastWindowClosed(false);

    const std::unique_ptr<plimbury::Store> store = plimbury::makeSystemStore();
    const plimbury::SystemClock clock;
    const std::unique_ptr<plimbury::Wallpaper> wallpaper = plimbury::makeSystemWallpaper(*store);

    AppServices services;
    services.store = store.get();
    services.clock = &clock;
    services.wallpaper = wallpaper.get();
    services.executablePath = plimbury::executablePath();
    services.executableFolder = plimbury::executableFolder();
    services.dataFolder = plimbury::programDataFolder();
    services.arguments = QApplication::arguments().mid(1);

    // Created in this order, each once, for the whole run; the editors are
    // destroyed before the window they refer to.
    TForm1 form(services);
    Twall wall(&form, form.FileListBox1);
    Tscreensaver screensaver(&form, form.FileListBox2);
    wall.setPartner(&screensaver);
    screensaver.setPartner(&wall);
    form.setEditors(&wall, &screensaver);
    QObject::connect(&form, &TForm1::closed, &app, [] { QCoreApplication::exit(0); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        form.move(screen->geometry().center() - form.rect().center());
    form.show();
    return QApplication::exec();
}
