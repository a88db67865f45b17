#pragma once
// The rotation as it runs: the two channels taking turns on two timers, the
// first tick after a start, the pause, the error reports and the commands of
// a later copy. The window owns the timers and the message boxes; what it
// does at each tick is asked here.
//
// Turns: each timer's tick stops its own timer and starts the partner's
// (unless it runs already), a failing tick too, so one timer runs at a time
// and neither channel can hold the other up.
//
// Reports: a failing entry is reported (once per text, as the channel's
// report gate decides) and the channel goes on with its schedule while the
// report is on the screen: the program runs unattended, and nobody may be
// there to close the box for days. One report per channel is open at a time;
// a newer report of the same channel waits for it, replacing any report that
// waited before.

#include "platform/Clock.h"
#include "project/ProjectFormat.h"
#include "rotation/RotationTick.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plimbury {

class ScreenSaverSelector;
class Store;
class Wallpaper;
enum class ControlCommand;

enum class Channel : std::size_t { Wallpaper = 0, Screensaver = 1 };

// The two timers that carry the turns: the window's, or a test's.
class TurnTimers {
public:
    virtual ~TurnTimers() = default;
    virtual void start(Channel channel) = 0;
    virtual void stop(Channel channel) = 0;
    virtual bool isActive(Channel channel) const = 0;
};

// What the rotation needs from the system. A channel without its services
// (tests leave some out) passes its turns on and changes nothing.
struct RotationServices {
    Store* store = nullptr;
    const Clock* clock = nullptr;
    Wallpaper* wallpaper = nullptr;
    // Tells the system's screen saver about each change; without one only
    // SCRNSAVE.EXE is recorded.
    ScreenSaverSelector* screenSaver = nullptr;
    std::string dataFolder;   // where "lumavue.bmp" is written
};

// A channel as the window holds it at a tick: the list and the interval group.
struct ChannelSettings {
    std::vector<std::string> lines;
    IntervalGroup interval;
};

// What a later copy's command prints, and its exit status.
struct ControlReply {
    int status = 0;
    std::string text;
};

class RotationRunner {
public:
    RotationRunner(const RotationServices& services, TurnTimers& timers);
    RotationRunner(const RotationRunner&) = delete;
    RotationRunner& operator=(const RotationRunner&) = delete;

    // The program started: each channel's first tick resynchronises its
    // stored schedule to now; `paused` is the pause the store kept.
    void start(bool paused);

    // The selected project resumed at start: both timers run; a pause holds.
    void resumeShow();
    // A new show from Save and Run: both timers run and the pause is lifted
    // (in the store too). Throws the store's Error.
    void runNewShow();
    // Both timers stopped: nothing changes until the show runs again.
    void stopShow();

    // A timer's tick: the channel's turn against `projectPath`, the turn
    // handed to the partner, and the text to show in the channel's error
    // report now. nullopt when there is nothing new to show, or when the
    // channel's report is on the screen already (the text then waits for it).
    std::optional<std::string> turn(Channel channel, const std::string& projectPath,
                                    const ChannelSettings& settings);
    // The channel's report was closed: the newest text that waited for it,
    // to show now (the report then counts as open again), or nullopt.
    std::optional<std::string> reportClosed(Channel channel);

    // --next and --next-screensaver change the channel now; --pause and
    // --resume set the pause. Errors come back as the error report's text.
    // The timers are left as they are: a change asked for starts no rotation.
    ControlReply command(ControlCommand command, const std::string& projectPath,
                         const std::array<ChannelSettings, 2>& settings);

    bool paused() const { return m_paused; }
    // Sets the pause and keeps it in the store. Throws the store's Error.
    void setPaused(bool paused);

    bool firstTick(Channel channel) const { return m_firstTick[index(channel)]; }

    // How the pictures meet the monitors from the next change on: the
    // project's display settings as the window holds them.
    void setDisplay(const DisplaySettings& display);
    const DisplaySettings& display() const { return m_display; }

private:
    static std::size_t index(Channel channel) { return static_cast<std::size_t>(channel); }
    bool equipped(Channel channel) const;
    TickResult runChannel(Channel channel, const std::string& projectPath, const ChannelSettings& settings,
                          bool dueNow);

    RotationServices m_services;
    TurnTimers& m_timers;
    RotationEngine m_engine;
    std::array<bool, 2> m_firstTick{true, true};
    bool m_paused = false;
    DisplaySettings m_display;
    std::array<bool, 2> m_reporting{};
    std::array<std::optional<std::string>, 2> m_heldReport;
};

} // namespace plimbury
