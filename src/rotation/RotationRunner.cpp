#include "rotation/RotationRunner.h"

#include "desktop/Wallpaper.h"
#include "platform/Error.h"
#include "rotation/ApplySteps.h"
#include "rotation/Control.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace plimbury {

RotationRunner::RotationRunner(const RotationServices& services, TurnTimers& timers)
    : m_services(services), m_timers(timers)
{
}

void RotationRunner::start(bool paused)
{
    m_firstTick = {true, true};
    m_paused = paused;
}

void RotationRunner::resumeShow()
{
    m_timers.start(Channel::Wallpaper);
    m_timers.start(Channel::Screensaver);
}

void RotationRunner::runNewShow()
{
    if (m_paused)
        setPaused(false);
    resumeShow();
}

void RotationRunner::stopShow()
{
    m_timers.stop(Channel::Wallpaper);
    m_timers.stop(Channel::Screensaver);
}

void RotationRunner::setPaused(bool paused)
{
    setRotationPaused(*m_services.store, paused);
    m_paused = paused;
}

void RotationRunner::setDisplay(const DisplaySettings& display)
{
    m_display = display;
    if (m_services.wallpaper)
        m_services.wallpaper->setLayout({display.fit, display.background});
}

bool RotationRunner::equipped(Channel channel) const
{
    return m_services.clock && m_services.store && (channel == Channel::Screensaver || m_services.wallpaper);
}

TickResult RotationRunner::runChannel(Channel channel, const std::string& projectPath,
                                      const ChannelSettings& settings, bool dueNow)
{
    [[maybe_unused]] const std::uint64_t parsesBefore = m_engine.files.parseCount();
    TickResult result;
    bool& firstTick = m_firstTick[index(channel)];
    const LocalTime now = m_services.clock->now();
    if (channel == Channel::Wallpaper) {
        const std::string bitmap = wallpaperBitmapPath(m_services.dataFolder);
        const ApplyStep apply = [&](const std::string& entry) {
            applyWallpaper(entry, *m_services.store, *m_services.wallpaper, bitmap, m_display.fit);
        };
        const ApplyManyStep applyMany = [&](const std::vector<std::string>& entries) {
            applyWallpapers(entries, *m_services.store, *m_services.wallpaper, m_services.dataFolder, m_display.fit);
        };
        ChannelInput input{settings.lines, settings.interval, apply, dueNow};
        // Counted only when a change is due: the x11 desktop counts its
        // monitors through a connection of its own.
        if (m_display.monitors == MonitorMode::Each) {
            input.applyMany = &applyMany;
            input.count = [this] { return static_cast<std::size_t>(std::max(1, m_services.wallpaper->monitorCount())); };
        }
        result = m_engine.wallpaper.tick(m_engine.files, projectPath, input, firstTick, now);
    } else {
        const ApplyStep apply = [&](const std::string& entry) {
            applyScreensaver(entry, *m_services.store, m_services.screenSaver);
        };
        result = m_engine.screensaver.tick(m_engine.files, projectPath,
                                           {settings.lines, settings.interval, apply, dueNow}, firstTick, now);
    }

#ifdef __GLIBC__
    // The parse of a large project leaves its memory in the allocator's free
    // lists, scattered between the lists' long-lived strings; the program then
    // rests for hours, so the free pages go back to the system.
    if (m_engine.files.parseCount() != parsesBefore)
        malloc_trim(0);
#endif
    return result;
}

std::optional<std::string> RotationRunner::turn(Channel channel, const std::string& projectPath,
                                                const ChannelSettings& settings)
{
    const Channel partner = channel == Channel::Wallpaper ? Channel::Screensaver : Channel::Wallpaper;
    const auto handOver = [&] {
        m_timers.stop(channel);
        // Starting a running timer would restart its count.
        if (!m_timers.isActive(partner))
            m_timers.start(partner);
    };
    // A paused show keeps its turns going without looking at the file.
    if (!equipped(channel) || m_paused) {
        handOver();
        return std::nullopt;
    }
    const TickResult result = runChannel(channel, projectPath, settings, false);
    // Passed on before the report: the report's modal loop must find the
    // turn already passed on.
    handOver();
    if (!result.report)
        return std::nullopt;
    const std::size_t i = index(channel);
    if (m_reporting[i]) {
        m_heldReport[i] = result.report;
        return std::nullopt;
    }
    m_reporting[i] = true;
    return result.report;
}

std::optional<std::string> RotationRunner::reportClosed(Channel channel)
{
    const std::size_t i = index(channel);
    std::optional<std::string> waiting = std::exchange(m_heldReport[i], std::nullopt);
    m_reporting[i] = waiting.has_value();
    return waiting;
}

ControlReply RotationRunner::command(ControlCommand command, const std::string& projectPath,
                                     const std::array<ChannelSettings, 2>& settings)
{
    try {
        switch (command) {
        case ControlCommand::Next:
        case ControlCommand::NextScreensaver: {
            const Channel channel = command == ControlCommand::Next ? Channel::Wallpaper : Channel::Screensaver;
            if (projectPath.empty())
                return {1, "No project is selected: make one with Save and Run first"};
            if (!equipped(channel))
                return {1, "The program cannot change the desktop"};
            const ChannelSettings& chosen = settings[index(channel)];
            if (chosen.lines.empty())
                return {1, channel == Channel::Wallpaper
                               ? "The wallpaper list is empty: there is nothing to change"
                               : "The screen-saver list is empty: there is nothing to change"};
            const TickResult result = runChannel(channel, projectPath, chosen, true);
            if (result.failure)
                return {1, errorReportText(*result.failure)};
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
        return {1, errorReportText(e.what())};
    }
    return {1, std::string("The running copy does not answer ") + controlArgument(command)};
}

} // namespace plimbury
