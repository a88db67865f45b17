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

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

bool TForm1::equipped(ChannelSide side) const
{
    return m_services.clock && m_services.store && (side == ScreensaverSide || m_services.wallpaper);
}

plimbury::TickResult TForm1::runChannel(ChannelSide side, bool dueNow)
{
    plimbury::RotationEngine& engine = *m_engine;
    [[maybe_unused]] const std::uint64_t parsesBefore = engine.files.parseCount();
    plimbury::TickResult result;
    if (side == WallpaperSide) {
        const plimbury::IntervalGroup interval = wallpaperInterval();
        const std::string bitmap = plimbury::wallpaperBitmapPath(m_services.dataFolder);
        const plimbury::ApplyStep apply = [&](const std::string& entry) {
            plimbury::applyWallpaper(entry, *m_services.store, *m_services.wallpaper, bitmap);
        };
        result = engine.wallpaper.tick(engine.files, currentProjectFile(),
                                       {FileListBox1->lines(), interval, apply, dueNow}, m_wallpaperFirstTick,
                                       m_services.clock->now());
    } else {
        const plimbury::IntervalGroup interval = screensaverInterval();
        const plimbury::ApplyStep apply = [&](const std::string& entry) {
            plimbury::applyScreensaver(entry, *m_services.store, m_services.screenSaver);
        };
        result = engine.screensaver.tick(engine.files, currentProjectFile(),
                                         {FileListBox2->lines(), interval, apply, dueNow}, m_screensaverFirstTick,
                                         m_services.clock->now());
    }

#ifdef __GLIBC__
    // The parse of a large project leaves its memory in the allocator's free
    // lists, scattered between the lists' long-lived strings; the program then
    // rests for hours, so the free pages go back to the system.
    if (engine.files.parseCount() != parsesBefore)
        malloc_trim(0);
#endif
    return result;
}

void TForm1::rotationTick(ChannelSide side)
{
    QTimer& own = side == WallpaperSide ? Timer1 : Timer2;
    QTimer& partner = side == WallpaperSide ? Timer2 : Timer1;
    const auto handOver = [&] {
        own.stop();
        // Starting a running timer would restart its count.
        if (!partner.isActive())
            partner.start();
    };

    // A modal report keeps the timers firing, and the show goes on under it:
    // nobody may be there to click it for days. A paused show keeps its turns
    // going without looking at the file.
    if (!equipped(side) || paused()) {
        handOver();
        return;
    }
    const plimbury::TickResult result = runChannel(side, false);

    // Every tick passes the turn on, a failing one too, and before its report:
    // the report's modal loop must find the turn already passed on.
    handOver();
    if (!result.report)
        return;
    if (m_reporting[side]) {
        // One box per channel: a newer failure waits for the open one.
        m_heldReport[side] = *result.report;
        return;
    }
    m_reporting[side] = true;
    const QPointer<TForm1> alive(this); // the window may close meanwhile
    std::optional<std::string> text = *result.report;
    while (text) {
        dialogs::showError(this, *text);
        if (!alive)
            return;
        text = std::exchange(m_heldReport[side], std::nullopt);
    }
    m_reporting[side] = false;
}

void TForm1::Timer1Timer()
{
    rotationTick(WallpaperSide);
}

void TForm1::Timer2Timer()
{
    rotationTick(ScreensaverSide);
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
            if (!equipped(side))
                return {1, "The program cannot change the desktop"};
            if ((side == WallpaperSide ? FileListBox1 : FileListBox2)->lineCount() == 0)
                return {1, side == WallpaperSide ? "The wallpaper list is empty: there is nothing to change"
                                                 : "The screen-saver list is empty: there is nothing to change"};
            // The timers are left as they are: a change asked for does not
            // start a rotation the window has stopped.
            const plimbury::TickResult result = runChannel(side, true);
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
