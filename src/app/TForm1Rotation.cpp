// The two rotation timers. Each handler only gathers its channel from the
// widgets, runs the engine's tick and passes the turn to the other timer;
// the schedule itself lives in src/rotation.
#include "app/TForm1.h"

#include "app/TrayIcon.h"
#include "editors/SortedListBox.h"
#include "platform/Clock.h"
#include "rotation/ApplySteps.h"
#include "rotation/Control.h"
#include "rotation/RotationTick.h"

#include <QPointer>

#include <array>
#include <exception>
#include <cstddef>
#include <cstdint>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

enum ChannelSide : std::size_t { WallpaperSide = 0, ScreensaverSide = 1 };

// What the rotation keeps between ticks: the engine (the parsed project file,
// each channel's last report) and whether a channel's error report is on the
// screen. A child of the window, so it lives and dies with it.
class RotationRuntime final : public QObject {
public:
    static constexpr const char* kName = "plimbury-rotation-runtime";

    explicit RotationRuntime(QObject* parent)
        : QObject(parent)
    {
        setObjectName(QString::fromLatin1(kName));
    }

    static RotationRuntime& of(TForm1& window)
    {
        QObject* found = window.findChild<QObject*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly);
        if (auto* runtime = dynamic_cast<RotationRuntime*>(found))
            return *runtime;
        return *new RotationRuntime(&window);
    }

    plimbury::RotationEngine engine;
    std::array<bool, 2> reporting{};
};

// One channel's tick against the project file, with what it applies.
plimbury::TickResult runChannel(TForm1& window, RotationRuntime& runtime, ChannelSide side, bool dueNow)
{
    const AppServices& services = window.m_services;
    [[maybe_unused]] const std::uint64_t parsesBefore = runtime.engine.files.parseCount();
    plimbury::TickResult result;
    if (side == WallpaperSide) {
        const plimbury::IntervalGroup interval = window.wallpaperInterval();
        const std::string bitmap = plimbury::wallpaperBitmapPath(services.dataFolder);
        const plimbury::ApplyStep apply = [&](const std::string& entry) {
            plimbury::applyWallpaper(entry, *services.store, *services.wallpaper, bitmap);
        };
        result = runtime.engine.wallpaper.tick(runtime.engine.files, window.currentProjectFile(),
                                               {window.FileListBox1->lines(), interval, apply, dueNow},
                                               window.m_wallpaperFirstTick, services.clock->now());
    } else {
        const plimbury::IntervalGroup interval = window.screensaverInterval();
        const plimbury::ApplyStep apply = [&](const std::string& entry) {
            plimbury::applyScreensaver(entry, *services.store, services.screenSaver);
        };
        result = runtime.engine.screensaver.tick(runtime.engine.files, window.currentProjectFile(),
                                                 {window.FileListBox2->lines(), interval, apply, dueNow},
                                                 window.m_screensaverFirstTick, services.clock->now());
    }

#ifdef __GLIBC__
    // The parse of a large project leaves its memory in the allocator's free
    // lists, scattered between the lists' long-lived strings; the program then
    // rests for hours, so the free pages go back to the system.
    if (runtime.engine.files.parseCount() != parsesBefore)
        malloc_trim(0);
#endif
    return result;
}

bool equipped(const AppServices& services, ChannelSide side)
{
    return services.clock && services.store && (side == ScreensaverSide || services.wallpaper);
}

void rotationTick(TForm1& window, ChannelSide side)
{
    RotationRuntime& runtime = RotationRuntime::of(window);
    QTimer& own = side == WallpaperSide ? window.Timer1 : window.Timer2;
    QTimer& partner = side == WallpaperSide ? window.Timer2 : window.Timer1;
    const auto handOver = [&] {
        own.stop();
        // Starting a running timer would restart its count.
        if (!partner.isActive())
            partner.start();
    };

    // While this channel's error report is open (its modal loop keeps the
    // timers firing) the channel sits its turns out; the other one goes on.
    // A paused show keeps its turns going without looking at the file.
    if (runtime.reporting[side] || !equipped(window.m_services, side) || window.paused()) {
        handOver();
        return;
    }
    const plimbury::TickResult result = runChannel(window, runtime, side, false);

    // Every tick passes the turn on, a failing one too, and before its report:
    // the report's modal loop must find the turn already passed on.
    handOver();
    if (result.report) {
        runtime.reporting[side] = true;
        const QPointer<RotationRuntime> alive(&runtime); // the window may close meanwhile
        dialogs::showError(&window, *result.report);
        if (alive)
            alive->reporting[side] = false;
    }
}

} // namespace

void TForm1::Timer1Timer()
{
    rotationTick(*this, WallpaperSide);
}

void TForm1::Timer2Timer()
{
    rotationTick(*this, ScreensaverSide);
}

TForm1::ControlReply TForm1::controlCommand(plimbury::ControlCommand command)
{
    using plimbury::ControlCommand;
    try {
        switch (command) {
        case ControlCommand::Next:
        case ControlCommand::NextScreensaver: {
            const ChannelSide side = command == ControlCommand::Next ? WallpaperSide : ScreensaverSide;
            if (currentProjectFile().empty())
                return {1, "No project is selected: make one with Save and Run first"};
            if (!equipped(m_services, side))
                return {1, "The program cannot change the desktop"};
            if ((side == WallpaperSide ? FileListBox1 : FileListBox2)->lineCount() == 0)
                return {1, side == WallpaperSide ? "The wallpaper list is empty: there is nothing to change"
                                                 : "The screen-saver list is empty: there is nothing to change"};
            // The timers are left as they are: a change asked for does not
            // start a rotation the window has stopped.
            const plimbury::TickResult result = runChannel(*this, RotationRuntime::of(*this), side, true);
            if (result.failure)
                return {1, dialogs::errorReportText(*result.failure)};
            return {0, {}};
        }
        case ControlCommand::Pause:
            setPaused(true);
            return {0, "Paused; plimbury --resume goes on"};
        case ControlCommand::Resume:
            setPaused(false);
            return {0, "Resumed"};
        case ControlCommand::Status:
        case ControlCommand::Help:
            break;
        }
    } catch (const std::exception& e) {
        return {1, dialogs::errorReportText(e.what())};
    }
    return {1, std::string("The running copy does not answer ") + plimbury::controlArgument(command)};
}

void TForm1::setPaused(bool paused)
{
    plimbury::setRotationPaused(*m_services.store, paused);
    m_paused = paused;
    if (m_tray->isPresent())
        m_tray->add(paused ? m_trayTip + QStringLiteral(" (paused)") : m_trayTip);
}
